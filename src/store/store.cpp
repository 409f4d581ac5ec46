// The store's location, its schema and the four store operations.
#include "store/store.h"

#include <algorithm>

std::vector<FieldDescriptor> FieldSchema;

namespace {

std::filesystem::path storeFolder;
std::string storeBaseName;

std::filesystem::path StoreFilePath(const char *extension) {
    if (storeFolder.empty() || storeBaseName.empty()) {
        return {};
    }
    return storeFolder / std::filesystem::path(storeBaseName + extension);
}

} // namespace

void SetStoreLocation(const std::filesystem::path &folder, const std::string &baseName) {
    storeFolder = folder;
    storeBaseName = baseName;
}

std::filesystem::path SchemaFilePath() {
    return StoreFilePath(".z04");
}

std::filesystem::path DataFilePath() {
    return StoreFilePath(".zbd");
}

std::unique_ptr<uint8_t[]> NewReadBlock(int64_t bytesToRead) {
    const int64_t bytes = std::clamp<int64_t>(bytesToRead, 1, kReadBlockBytes);
    return std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(bytes));
}

const FieldDescriptor *SchemaDescriptor(int position) {
    if (position < 1 || static_cast<size_t>(position) > FieldSchema.size()) {
        return nullptr;
    }
    return &FieldSchema[static_cast<size_t>(position) - 1];
}

int32_t LoadFieldSchema() {
    FieldSchema.clear();
    StoreFile file;
    if (OpenStoreFile(SchemaFilePath(), FileAccess::Read, file) != FileStatus::Ok) {
        return 0;
    }
    int64_t size = 0;
    if (StoreFileSize(file, size) != FileStatus::Ok) {
        return 0;
    }
    const int64_t count = std::min<int64_t>(size / kDescriptorSize, kMaxSchemaDescriptors);
    std::vector<uint8_t> bytes(static_cast<size_t>(count * kDescriptorSize));
    size_t got = 0;
    if (StoreFileRead(file, 0, bytes.data(), bytes.size(), got) != FileStatus::Ok || got != bytes.size()) {
        return 0;
    }
    std::vector<FieldDescriptor> schema;
    schema.reserve(static_cast<size_t>(count));
    for (int64_t k = 0; k < count; ++k) {
        schema.push_back(DecodeFieldDescriptor(bytes.data() + k * kDescriptorSize));
    }
    FieldSchema = std::move(schema);
    return static_cast<int32_t>(count);
}

FileStatus AppendDataRecord(uint8_t valueByte, const FieldDescriptor &descriptor, int64_t key, bool last) {
    uint8_t record[kRecordSize];
    EncodeDataRecord(descriptor, valueByte, key, last, record);
    StoreFile file;
    FileStatus status = OpenStoreFile(DataFilePath(), FileAccess::Write, file);
    if (status != FileStatus::Ok) {
        return status;
    }
    int64_t size = 0;
    status = StoreFileSize(file, size);
    if (status != FileStatus::Ok) {
        return status;
    }
    status = StoreFileWrite(file, size / kRecordSize * kRecordSize, record, sizeof record);
    const FileStatus closed = CloseStoreFile(file);
    return status != FileStatus::Ok ? status : closed;
}

FileStatus LastRecipeKeyOf(const StoreFile &dataFile, int64_t &key) {
    key = 0;
    int64_t size = 0;
    FileStatus status = StoreFileSize(dataFile, size);
    if (status != FileStatus::Ok || size < kRecordSize) {
        return status;
    }
    uint8_t record[kRecordSize];
    size_t got = 0;
    status = StoreFileRead(dataFile, (size / kRecordSize - 1) * kRecordSize, record, sizeof record, got);
    if (status != FileStatus::Ok) {
        return status;
    }
    if (got != sizeof record) {
        return FileStatus::Failed;
    }
    key = GetI64LE(record + kRecordKey);
    return FileStatus::Ok;
}

int64_t LastRecipeKey() {
    StoreFile file;
    int64_t key = 0;
    if (OpenStoreFile(DataFilePath(), FileAccess::Read, file) != FileStatus::Ok ||
        LastRecipeKeyOf(file, key) != FileStatus::Ok) {
        return 0;
    }
    return key;
}

FileStatus ReadFieldValueOf(const StoreFile &dataFile, const std::string &name, int64_t key, std::string &value) {
    value.clear();
    const NameMatcher matcher = MakeNameMatcher(name);
    if (!matcher.possible) {
        return FileStatus::Ok; // no record can carry this name
    }
    int64_t size = 0;
    FileStatus status = StoreFileSize(dataFile, size);
    if (status != FileStatus::Ok) {
        return status;
    }
    const int64_t end = size / kRecordSize * kRecordSize;
    std::unique_ptr<uint8_t[]> block = NewReadBlock(end);
    std::string accumulator;
    for (int64_t offset = 0; offset < end;) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(end - offset, kReadBlockBytes));
        size_t got = 0;
        status = StoreFileRead(dataFile, offset, block.get(), want, got);
        if (status != FileStatus::Ok) {
            return status;
        }
        const uint8_t *record = block.get();
        const uint8_t *const stop = record + got / kRecordSize * kRecordSize;
        for (; record != stop; record += kRecordSize) {
            if (!RecordNameMatches(record, matcher)) {
                accumulator.clear();
            } else if (GetI64LE(record + kRecordKey) == key) {
                accumulator.push_back(static_cast<char>(record[kRecordValueByte]));
                if (GetI32LE(record + kRecordLastFlag) == 1) {
                    value = std::move(accumulator);
                    return FileStatus::Ok;
                }
            }
        }
        if (got < want) {
            break; // the file became shorter while it was read: what is there has been read
        }
        offset += static_cast<int64_t>(want);
    }
    return FileStatus::Ok;
}

std::string ReadFieldValue(const std::string &name, int64_t key) {
    StoreFile file;
    std::string value;
    if (OpenStoreFile(DataFilePath(), FileAccess::Read, file) == FileStatus::Ok) {
        ReadFieldValueOf(file, name, key, value);
    }
    return value;
}
