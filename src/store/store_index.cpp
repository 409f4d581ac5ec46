// The kept index of the data file: its bytes, its checks against the data file, and keeping it
// up to date by scanning only what was appended.
#include "store/store_index.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <system_error>

#include "store/block_reader.h"
#include "store/schema_table.h"
#include "store/store.h"

namespace {

constexpr char kMagic[8] = {'G', 'U', 'I', 'S', 'L', 'A', 'I', 'X'};
constexpr size_t kHeaderBytes = 84;
// A kept file larger than this is not read (the index of a store of millions of recipes is far
// smaller): a hostile length must not make the program allocate without bound.
constexpr int64_t kMaxIndexFileBytes = int64_t{1} << 31;

// The index of this run: for which data file and searched field it was made.
struct HeldIndex {
    std::filesystem::path dataFile;
    std::string searchedField;
    StoreIndex index;
    // The data file as it was when the index was last seen to fit it; while the file stays so,
    // its bytes need not be read again to know that the index still fits.
    bool verified = false;
    FileIdentity verifiedAs;
};
std::unique_ptr<HeldIndex> held;
int64_t bytesRead = 0;

void PutU64(std::string &out, uint64_t value) {
    uint8_t bytes[8];
    PutU64LE(bytes, value);
    out.append(reinterpret_cast<const char *>(bytes), 8);
}

// Bounds-checked reading of the kept file's bytes.
struct Reader {
    const uint8_t *at;
    const uint8_t *end;
    bool Take(size_t count, const uint8_t *&bytes) {
        if (static_cast<size_t>(end - at) < count) {
            return false;
        }
        bytes = at;
        at += count;
        return true;
    }
    bool U8(uint8_t &value) {
        const uint8_t *p = nullptr;
        if (!Take(1, p)) {
            return false;
        }
        value = *p;
        return true;
    }
    bool I64(int64_t &value) {
        const uint8_t *p = nullptr;
        if (!Take(8, p)) {
            return false;
        }
        value = GetI64LE(p);
        return true;
    }
    size_t Left() const { return static_cast<size_t>(end - at); }
};

// Takes a value's bytes (its length already checked to be at least 1) into text.
bool TakeBytes(Reader &reader, int64_t length, std::string &text) {
    const uint8_t *bytes = nullptr;
    if (!reader.Take(static_cast<size_t>(length), bytes)) {
        return false;
    }
    text.assign(reinterpret_cast<const char *>(bytes), static_cast<size_t>(length));
    return true;
}

bool IsRecordOffset(int64_t offset, int64_t end) {
    return offset >= 0 && offset < end && offset % kRecordSize == 0;
}

bool DecodeField(Reader &reader, int64_t end, FieldScanState &field) {
    uint8_t nameLength = 0;
    uint8_t wantBytes = 0;
    const uint8_t *name = nullptr;
    if (!reader.U8(nameLength) || !reader.Take(nameLength, name) || !reader.U8(wantBytes) || wantBytes > 1) {
        return false;
    }
    field.name.assign(reinterpret_cast<const char *>(name), nameLength);
    field.wantBytes = wantBytes == 1;
    field.matcher = MakeNameMatcher(field.name);
    int64_t count = 0;
    // Each value takes at least 32 bytes of the file: a count beyond that is not believed.
    if (!reader.I64(count) || count < 0 || static_cast<uint64_t>(count) > reader.Left() / 32) {
        return false;
    }
    field.reported.reserve(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i) {
        int64_t key = 0;
        KeptValue value;
        if (!reader.I64(key) || !reader.I64(value.span.firstOffset) || !reader.I64(value.span.lastOffset) ||
            !reader.I64(value.span.length)) {
            return false;
        }
        const ValueSpan &span = value.span;
        if (!IsRecordOffset(span.firstOffset, end) || !IsRecordOffset(span.lastOffset, end) ||
            span.lastOffset < span.firstOffset || span.length < 1 ||
            span.length > (span.lastOffset - span.firstOffset) / kRecordSize + 1) {
            return false;
        }
        if (field.wantBytes && !TakeBytes(reader, span.length, value.bytes)) {
            return false;
        }
        if (!field.reported.emplace(key, std::move(value)).second) {
            return false;
        }
    }
    if (!reader.I64(count) || count < 0 || static_cast<uint64_t>(count) > reader.Left() / 24) {
        return false;
    }
    for (int64_t i = 0; i < count; ++i) {
        int64_t key = 0;
        PendingValue value;
        if (!reader.I64(key) || !reader.I64(value.length) || !reader.I64(value.firstOffset)) {
            return false;
        }
        if (!IsRecordOffset(value.firstOffset, end) || value.length < 1 ||
            value.length > (end - value.firstOffset) / kRecordSize || field.reported.count(key) != 0) {
            return false;
        }
        if (field.wantBytes && !TakeBytes(reader, value.length, value.bytes)) {
            return false;
        }
        if (!field.pending.emplace(key, std::move(value)).second) {
            return false;
        }
    }
    return true;
}

// The kept file's bytes; empty when it is missing, unreadable or too large.
std::vector<uint8_t> ReadKeptFile(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {};
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0 || size > kMaxIndexFileBytes) {
        return {};
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char *>(bytes.data()), size)) {
        return {};
    }
    return bytes;
}

// Writes the kept file through a new file that then replaces it; silent on any failure.
void WriteKeptFile(const StoreIndex &index) {
    const std::filesystem::path path = StoreIndexPath();
    if (path.empty()) {
        return;
    }
    std::filesystem::path fresh = path;
    fresh += ".nuevo";
    const std::string bytes = EncodeStoreIndex(index);
    {
        std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(fresh, ignored);
            return;
        }
    }
    if (ReplaceStoreFile(fresh, path) != FileStatus::Ok) {
        std::error_code ignored;
        std::filesystem::remove(fresh, ignored);
    }
}

bool FieldsAre(const ScanState &scan, const std::vector<WantedField> &wanted) {
    if (scan.fields.size() != wanted.size()) {
        return false;
    }
    for (size_t i = 0; i < wanted.size(); ++i) {
        if (scan.fields[i].name != wanted[i].name || scan.fields[i].wantBytes != wanted[i].wantBytes) {
            return false;
        }
    }
    return true;
}

DataFileStamp StampOf(const FileIdentity &identity) {
    return {identity.volume, identity.file, identity.size, identity.modified};
}

// Whether what the system says of the data file (`now`, nullptr when it says nothing) allows it to
// be the file the index was made from: not another file (another file number: a copy put in its
// place, whatever its bytes), nor the same file written since while it kept its length.
bool StampAllows(const DataFileStamp &stamp, const FileIdentity *now) {
    if (now == nullptr || stamp.modified == 0 || now->modified == 0) {
        return true; // the bytes decide
    }
    if (stamp.file != 0 && (stamp.volume != now->volume || stamp.file != now->file)) {
        return false;
    }
    return now->size != stamp.size || now->modified == stamp.modified;
}

// Whether `index` covers a part of the open data file of length `size` (whose identity is
// `identity`, nullptr when not known) that still holds the bytes it was made from.
bool Fits(const StoreIndex &index, const StoreFile &dataFile, int64_t size, const FileIdentity *identity) {
    if (index.print.end > size || !StampAllows(index.stamp, identity)) {
        return false;
    }
    DataFilePrint now;
    return PrintDataFile(dataFile, index.print.end, now) && now == index.print;
}

// Scans the data file's records from index.scan.end up to `end`. False when a read fails.
bool ScanUpTo(StoreIndex &index, const StoreFile &dataFile, int64_t end, const ScanProgress &progress) {
    if (index.scan.end >= end) {
        return true;
    }
    BlockReader reader(dataFile, index.scan.end, end, kLongReadBlockBytes);
    while (index.scan.end < end) {
        const uint8_t *block = nullptr;
        size_t got = 0;
        if (reader.Next(block, got) != FileStatus::Ok || got == 0) {
            return false;
        }
        bytesRead += static_cast<int64_t>(got);
        ScanRecords(index.scan, block, got / kRecordSize);
        if (progress) {
            progress(index.scan.end, end);
        }
    }
    return true;
}

// The held index for this data file, taken from memory or from the kept file, when it fits the
// file; else nullptr. `searchedField` empty: any field list. `identity`: the data file's, nullptr
// when not known; `settled`: it has been left alone long enough for it to be trusted that an
// index seen to fit the file with this identity still does.
HeldIndex *FittingIndex(const StoreFile &dataFile, int64_t size, const std::string &searchedField,
                        const FileIdentity *identity, bool settled) {
    const std::filesystem::path dataPath = DataFilePath();
    const bool anyFields = searchedField.empty();
    if (held != nullptr && held->dataFile == dataPath && (anyFields || held->searchedField == searchedField)) {
        if (settled && identity != nullptr && held->verified && held->verifiedAs == *identity) {
            return held.get();
        }
        if (Fits(held->index, dataFile, size, identity)) {
            return held.get();
        }
    }
    held.reset();
    const std::vector<uint8_t> bytes = ReadKeptFile(StoreIndexPath());
    auto loaded = std::make_unique<HeldIndex>();
    if (bytes.empty() || !DecodeStoreIndex(bytes.data(), bytes.size(), loaded->index) ||
        loaded->index.scan.fields.empty()) {
        return nullptr;
    }
    loaded->searchedField = loaded->index.scan.fields[kIndexSearched].name;
    if (!anyFields && !FieldsAre(loaded->index.scan, IndexedFields(searchedField))) {
        return nullptr;
    }
    if (anyFields && !FieldsAre(loaded->index.scan, IndexedFields(loaded->searchedField))) {
        return nullptr;
    }
    if (!Fits(loaded->index, dataFile, size, identity)) {
        return nullptr;
    }
    loaded->dataFile = dataPath;
    held = std::move(loaded);
    return held.get();
}

} // namespace

std::vector<WantedField> IndexedFields(const std::string &searchedField) {
    const auto name = [](int position) { return SchemaTable()[static_cast<size_t>(position) - 1].fieldName; };
    return {{searchedField, true},
            {name(kFieldDishName), true},
            {name(kFieldIngredients), false},
            {name(kFieldElaboration), false},
            {name(kFieldPicture), false},
            {name(kFieldExtension), false}};
}

std::filesystem::path StoreIndexPath() {
    std::filesystem::path path = DataFilePath();
    if (path.empty()) {
        return path;
    }
    return path.replace_extension(".indice");
}

uint64_t IndexHash(const uint8_t *bytes, size_t count) {
    uint64_t hash = 0x9E3779B97F4A7C15ull ^ count;
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        hash = (hash ^ GetU64LE(bytes + i)) * 0xFF51AFD7ED558CCDull;
        hash ^= hash >> 32;
    }
    for (; i < count; ++i) {
        hash = (hash ^ bytes[i]) * 0x100000001B3ull;
    }
    hash ^= hash >> 29;
    return hash * 0xC4CEB9FE1A85EC53ull;
}

std::string EncodeStoreIndex(const StoreIndex &index) {
    std::string out(kMagic, sizeof kMagic);
    uint8_t word[4];
    PutU32LE(word, kStoreIndexVersion);
    out.append(reinterpret_cast<const char *>(word), 4);
    PutU32LE(word, 0);
    out.append(reinterpret_cast<const char *>(word), 4);
    PutU64(out, 0); // the length, set at the end
    PutU64(out, static_cast<uint64_t>(index.print.end));
    PutU64(out, index.print.head);
    PutU64(out, index.print.tail);
    PutU64(out, index.stamp.volume);
    PutU64(out, index.stamp.file);
    PutU64(out, static_cast<uint64_t>(index.stamp.size));
    PutU64(out, static_cast<uint64_t>(index.stamp.modified));
    PutU32LE(word, static_cast<uint32_t>(index.scan.fields.size()));
    out.append(reinterpret_cast<const char *>(word), 4);
    for (const FieldScanState &field : index.scan.fields) {
        out.push_back(static_cast<char>(field.name.size()));
        out += field.name;
        out.push_back(field.wantBytes ? 1 : 0);
        PutU64(out, field.reported.size());
        for (const auto &[key, value] : field.reported) {
            PutU64(out, static_cast<uint64_t>(key));
            PutU64(out, static_cast<uint64_t>(value.span.firstOffset));
            PutU64(out, static_cast<uint64_t>(value.span.lastOffset));
            PutU64(out, static_cast<uint64_t>(value.span.length));
            if (field.wantBytes) {
                out += value.bytes;
            }
        }
        PutU64(out, field.pending.size());
        for (const auto &[key, value] : field.pending) {
            PutU64(out, static_cast<uint64_t>(key));
            PutU64(out, static_cast<uint64_t>(value.length));
            PutU64(out, static_cast<uint64_t>(value.firstOffset));
            if (field.wantBytes) {
                out += value.bytes;
            }
        }
    }
    PutU64LE(reinterpret_cast<uint8_t *>(out.data()) + 16, out.size() + 8);
    PutU64(out, IndexHash(reinterpret_cast<const uint8_t *>(out.data()), out.size()));
    return out;
}

bool DecodeStoreIndex(const uint8_t *bytes, size_t size, StoreIndex &index) {
    index = StoreIndex();
    if (size < kHeaderBytes + 8 || std::memcmp(bytes, kMagic, sizeof kMagic) != 0 ||
        GetU32LE(bytes + 8) != kStoreIndexVersion || GetU32LE(bytes + 12) != 0 || GetU64LE(bytes + 16) != size ||
        GetU64LE(bytes + size - 8) != IndexHash(bytes, size - 8)) {
        return false;
    }
    const int64_t end = GetI64LE(bytes + 24);
    if (end < 0 || end % kRecordSize != 0) {
        return false;
    }
    index.print = {end, GetU64LE(bytes + 32), GetU64LE(bytes + 40)};
    index.stamp = {GetU64LE(bytes + 48), GetU64LE(bytes + 56), GetI64LE(bytes + 64), GetI64LE(bytes + 72)};
    const uint32_t fieldCount = GetU32LE(bytes + 80);
    Reader reader{bytes + kHeaderBytes, bytes + size - 8};
    // Each field takes at least 18 bytes.
    if (fieldCount > reader.Left() / 18) {
        return false;
    }
    index.scan.keepValues = true;
    index.scan.end = end;
    index.scan.fields.resize(fieldCount);
    for (FieldScanState &field : index.scan.fields) {
        if (!DecodeField(reader, end, field)) {
            index = StoreIndex();
            return false;
        }
    }
    if (reader.Left() != 0) {
        index = StoreIndex();
        return false;
    }
    return true;
}

bool PrintDataFile(const StoreFile &dataFile, int64_t end, DataFilePrint &print) {
    print = DataFilePrint();
    print.end = end;
    const size_t count = static_cast<size_t>(std::min(end, kIndexPrintBytes));
    std::vector<uint8_t> buffer(count);
    const int64_t offsets[2] = {0, end - static_cast<int64_t>(count)};
    uint64_t *hashes[2] = {&print.head, &print.tail};
    for (int i = 0; i < 2; ++i) {
        size_t got = 0;
        if (StoreFileRead(dataFile, offsets[i], buffer.data(), count, got) != FileStatus::Ok || got != count) {
            return false;
        }
        bytesRead += static_cast<int64_t>(got);
        *hashes[i] = IndexHash(buffer.data(), count);
    }
    return true;
}

const StoreIndex *UpdateStoreIndex(const StoreFile &dataFile, const std::string &searchedField,
                                   const ScanProgress &progress) {
    // The file's identity is taken before its bytes are checked: a change after this makes it
    // differ from what is kept, so the next update checks the bytes again.
    FileIdentity identity;
    const bool identified = StoreFileIdentityOf(dataFile, identity) == FileStatus::Ok;
    int64_t size = 0;
    if (StoreFileSize(dataFile, size) != FileStatus::Ok) {
        held.reset();
        return nullptr;
    }
    const int64_t end = size / kRecordSize * kRecordSize;
    HeldIndex *index =
        FittingIndex(dataFile, size, searchedField, identified ? &identity : nullptr, identified && identity.settled);
    bool fresh = false;
    if (index == nullptr) {
        held = std::make_unique<HeldIndex>();
        held->dataFile = DataFilePath();
        held->searchedField = searchedField;
        held->index.scan = StartScan(IndexedFields(searchedField), true);
        index = held.get();
        fresh = true;
    }
    index->verified = identified && identity.settled;
    index->verifiedAs = identity;
    const DataFileStamp stamp = identified ? StampOf(identity) : DataFileStamp();
    if (!fresh && index->index.print.end == end && index->index.stamp == stamp) {
        return &index->index;
    }
    if (!ScanUpTo(index->index, dataFile, end, progress) || !PrintDataFile(dataFile, end, index->index.print)) {
        held.reset();
        return nullptr;
    }
    index->index.stamp = stamp;
    WriteKeptFile(index->index);
    return &index->index;
}

void ForgetStoreIndex() {
    held.reset();
}

int64_t StoreIndexBytesRead() {
    return bytesRead;
}

void ExtendStoreIndex(const SavedRecords &saved) {
    StoreFile dataFile;
    int64_t size = 0;
    FileIdentity identity;
    if (OpenStoreFile(DataFilePath(), FileAccess::Read, dataFile) != FileStatus::Ok ||
        StoreFileIdentityOf(dataFile, identity) != FileStatus::Ok || StoreFileSize(dataFile, size) != FileStatus::Ok) {
        return;
    }
    // The file has just grown by the save: its identity differs from the one kept, so the bytes
    // the index covers are checked.
    HeldIndex *index = FittingIndex(dataFile, size, std::string(), &identity, false);
    if (index == nullptr || index->index.scan.end > saved.start || saved.start % kRecordSize != 0) {
        return;
    }
    ScanState &scan = index->index.scan;
    if (!ScanUpTo(index->index, dataFile, saved.start, {})) {
        held.reset();
        return;
    }
    uint8_t record[kRecordSize];
    for (const SavedValue &value : saved.values) {
        EncodeDataRecord(value.descriptor, 0, saved.key, false, record);
        if (!ScanValueRun(scan, record, value.length, value.hasBytes ? &value.bytes : nullptr)) {
            held.reset(); // part of the save applied: the kept file on disk still fits
            return;
        }
    }
    if (scan.end > size / kRecordSize * kRecordSize || !PrintDataFile(dataFile, scan.end, index->index.print)) {
        held.reset();
        return;
    }
    index->verified = identity.settled;
    index->verifiedAs = identity;
    index->index.stamp = StampOf(identity);
    WriteKeptFile(index->index);
}
