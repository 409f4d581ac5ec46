// Test support for the store: reference reader, generators, comparison of the readers.
#include "store_oracle.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <map>
#include <set>
#include <sstream>

#include "store/field_scan.h"
#include "store/file.h"
#include "store/schema_table.h"
#include "store/store.h"

std::string OracleReadFieldValue(const std::vector<DataRecord> &records, const std::string &name, int64_t key) {
    std::string accumulator;
    for (const DataRecord &record : records) {
        if (record.fieldName == name && record.recipeKey == key) {
            accumulator.push_back(static_cast<char>(record.valueByte));
            if (record.lastFlag == 1) {
                return accumulator;
            }
        } else if (record.fieldName != name) {
            accumulator.clear();
        }
    }
    return {};
}

std::vector<DataRecord> DecodeDataFile(const std::vector<uint8_t> &bytes) {
    std::vector<DataRecord> records;
    for (size_t offset = 0; offset + kRecordSize <= bytes.size(); offset += kRecordSize) {
        records.push_back(DecodeDataRecord(bytes.data() + offset));
    }
    return records;
}

std::string OracleReadFieldValueFromFile(const std::filesystem::path &dataFile, const std::string &name, int64_t key) {
    StoreFile file;
    if (OpenStoreFile(dataFile, FileAccess::Read, file) != FileStatus::Ok) {
        return {};
    }
    int64_t size = 0;
    StoreFileSize(file, size);
    const int64_t n = size / kRecordSize;
    std::string accumulator;
    for (int64_t k = 1; k <= n; ++k) {
        uint8_t bytes[kRecordSize];
        size_t got = 0;
        if (StoreFileRead(file, (k - 1) * kRecordSize, bytes, sizeof bytes, got) != FileStatus::Ok ||
            got != sizeof bytes) {
            return {};
        }
        const DataRecord record = DecodeDataRecord(bytes);
        if (record.fieldName == name && record.recipeKey == key) {
            accumulator.push_back(static_cast<char>(record.valueByte));
            if (record.lastFlag == 1) {
                return accumulator;
            }
        } else if (record.fieldName != name) {
            accumulator.clear();
        }
    }
    return {};
}

void AppendValueRecords(std::vector<uint8_t> &bytes, const FieldDescriptor &descriptor, int64_t key,
                        const std::string &value) {
    for (size_t i = 0; i < value.size(); ++i) {
        const size_t at = bytes.size();
        bytes.resize(at + kRecordSize);
        EncodeDataRecord(descriptor, static_cast<uint8_t>(value[i]), key, i + 1 == value.size(), bytes.data() + at);
    }
}

namespace {

std::string RandomBytes(std::mt19937_64 &random, size_t length, bool text) {
    std::string value(length, '\0');
    for (char &c : value) {
        c = static_cast<char>(text ? 0x20 + random() % 0xE0 : random() % 256);
    }
    return value;
}

size_t Below(std::mt19937_64 &random, size_t bound) {
    return static_cast<size_t>(random() % bound);
}

// Key arithmetic that wraps around instead of overflowing: generated keys may be anything.
int64_t KeyPlus(int64_t key, int64_t step) {
    return static_cast<int64_t>(static_cast<uint64_t>(key) + static_cast<uint64_t>(step));
}

// Appends one raw record whose 15-byte name field is `nameField` exactly.
void AppendRawRecord(std::vector<uint8_t> &bytes, const uint8_t *nameField, uint8_t valueByte, int64_t key,
                     int32_t lastFlag) {
    DataRecord record;
    record.valueByte = valueByte;
    record.recipeKey = key;
    record.lastFlag = lastFlag;
    record.attribute0 = 7;
    const size_t at = bytes.size();
    bytes.resize(at + kRecordSize);
    EncodeDataRecord(record, bytes.data() + at);
    std::memcpy(bytes.data() + at + kRecordFieldName, nameField, kNameFieldSize);
}

// Name fields that read as a pool name, written in the odd ways a file may hold them.
void OddNameField(std::mt19937_64 &random, uint8_t *field) {
    static const char *const kNames[] = {"Plato", "Categoria", "Imagen", "Ingredientes", "ABCDEFGHIJKLMN"};
    const std::string name = kNames[Below(random, 5)];
    std::memset(field, 0, kNameFieldSize);
    std::memcpy(field, name.data(), name.size());
    switch (Below(random, 3)) {
    case 0: // leftovers of a longer name after the zero byte
        for (size_t i = name.size() + 1; i < kNameFieldSize; ++i) {
            field[i] = static_cast<uint8_t>('a' + Below(random, 26));
        }
        break;
    case 1: // a 15-byte field without zero byte: reads as its first 14 bytes
        if (name.size() == kMaxNameLength) {
            field[14] = 'O';
        }
        break;
    default:
        break;
    }
}

} // namespace

std::vector<uint8_t> GenerateWellFormedStore(std::mt19937_64 &random, int recipes, size_t pictureBytes) {
    const std::vector<FieldDescriptor> &schema = SchemaTable();
    std::vector<uint8_t> bytes;
    for (int64_t key = 1; key <= recipes; ++key) {
        AppendValueRecords(bytes, schema[0], key, "Plato " + std::to_string(key));
        AppendValueRecords(bytes, schema[1], key, RandomBytes(random, 200, true));
        AppendValueRecords(bytes, schema[2], key, RandomBytes(random, 600, true));
        AppendValueRecords(bytes, schema[3], key, RandomBytes(random, pictureBytes, false));
        AppendValueRecords(bytes, schema[4], key, "Arroz");
        AppendValueRecords(bytes, schema[5], key, "jpg");
    }
    return bytes;
}

std::vector<uint8_t> GenerateRandomStore(std::mt19937_64 &random, bool malformed, int events) {
    const std::vector<FieldDescriptor> &schema = SchemaTable();
    std::vector<FieldDescriptor> pool = schema;
    pool.push_back({9, "Platos", 0, 10, 0});
    pool.push_back({9, "ABCDEFGHIJKLMN", 0, 10, 0});
    pool.push_back({9, "ABCDEFGHIJKLMNOPQ", 0, 10, 0}); // written cut to its first 14 bytes
    std::vector<uint8_t> bytes;
    int64_t key = 0;
    for (int e = 0; e < events; ++e) {
        const size_t op = malformed ? Below(random, 10) : 0;
        switch (op) {
        case 0:
        case 1:
        case 2: { // a whole recipe
            key = KeyPlus(key, 1);
            for (size_t f = 0; f < schema.size(); ++f) {
                if ((f == 3 || f == 5) && Below(random, 3) == 0) {
                    continue; // no picture
                }
                const size_t length = f == 3 ? Below(random, 40) : Below(random, 9);
                AppendValueRecords(bytes, schema[f], key, RandomBytes(random, length, f != 3));
            }
            break;
        }
        case 3: { // an interrupted value: its run lacks the last record
            const std::string value = RandomBytes(random, 1 + Below(random, 6), false);
            std::vector<uint8_t> run;
            AppendValueRecords(run, pool[Below(random, pool.size())], key, value);
            run.resize(run.size() - kRecordSize * (1 + Below(random, value.size())));
            bytes.insert(bytes.end(), run.begin(), run.end());
            break;
        }
        case 4: // the key repeats, goes back, or jumps
            switch (Below(random, 4)) {
            case 0:
                key = KeyPlus(key, -static_cast<int64_t>(Below(random, 4)));
                break;
            case 1:
                key = KeyPlus(key, static_cast<int64_t>(Below(random, 5)));
                break;
            case 2:
                key = static_cast<int64_t>(0 - static_cast<uint64_t>(key)); // negated, wrapping
                break;
            default:
                key = Below(random, 2) == 0 ? std::numeric_limits<int64_t>::max() : KeyPlus(key, 1000);
                break;
            }
            break;
        case 5: { // records of a few keys and names interleaved, with random last flags
            const size_t count = 1 + Below(random, 12);
            const FieldDescriptor &first = pool[Below(random, pool.size())];
            const FieldDescriptor &second = Below(random, 2) == 0 ? first : pool[Below(random, pool.size())];
            for (size_t i = 0; i < count; ++i) {
                const size_t at = bytes.size();
                bytes.resize(at + kRecordSize);
                const int64_t k = KeyPlus(key, -static_cast<int64_t>(Below(random, 3)));
                EncodeDataRecord(Below(random, 4) == 0 ? second : first, static_cast<uint8_t>(random()), k,
                                 Below(random, 4) == 0, bytes.data() + at);
            }
            break;
        }
        case 6: { // lastFlag values other than 0 and 1
            static const int32_t kFlags[] = {2, -1, 256, 0x01000001, 0};
            uint8_t field[kNameFieldSize];
            PutNameField(field, pool[Below(random, pool.size())].fieldName);
            for (size_t i = 0, n = 1 + Below(random, 4); i < n; ++i) {
                AppendRawRecord(bytes, field, static_cast<uint8_t>(random()), key, kFlags[Below(random, 5)]);
            }
            break;
        }
        case 7: { // a value under a name field written oddly
            uint8_t field[kNameFieldSize];
            OddNameField(random, field);
            const size_t length = 1 + Below(random, 5);
            for (size_t i = 0; i < length; ++i) {
                AppendRawRecord(bytes, field, static_cast<uint8_t>(random()), key, i + 1 == length ? 1 : 0);
            }
            break;
        }
        case 8: { // a noise record
            const size_t at = bytes.size();
            bytes.resize(at + kRecordSize);
            for (size_t i = 0; i < kRecordSize; ++i) {
                bytes[at + i] = static_cast<uint8_t>(random());
            }
            if (Below(random, 2) == 0) {
                PutI64LE(bytes.data() + at + kRecordKey, key);
            }
            break;
        }
        default: { // a second complete value for a key that may have one already
            const int64_t k = KeyPlus(key, -static_cast<int64_t>(Below(random, 3)));
            AppendValueRecords(bytes, pool[Below(random, pool.size())], k,
                               RandomBytes(random, 1 + Below(random, 5), false));
            break;
        }
        }
    }
    if (malformed && Below(random, 2) == 0) {
        const std::string tail = RandomBytes(random, 1 + Below(random, kRecordSize - 1), false);
        bytes.insert(bytes.end(), tail.begin(), tail.end());
    }
    return bytes;
}

std::vector<std::string> QueryNames() {
    std::vector<std::string> names;
    for (const FieldDescriptor &descriptor : SchemaTable()) {
        names.push_back(descriptor.fieldName);
    }
    names.push_back("Platos");
    names.push_back("Plat");
    names.push_back("plato");
    names.push_back("ABCDEFGHIJKLMN");
    names.push_back("ABCDEFGHIJKLMNO");
    names.push_back("");
    names.push_back(std::string("Pla\0to", 6));
    return names;
}

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::filesystem::path &path, const std::vector<uint8_t> &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TempFolder::TempFolder(const std::string &tag) {
    static std::mt19937_64 random(std::random_device{}());
    for (;;) {
        path_ =
            std::filesystem::temp_directory_path() / ("guisla-" + tag + "-" + std::to_string(random() % 1000000000));
        std::error_code error;
        if (std::filesystem::create_directory(path_, error)) {
            return;
        }
    }
}

TempFolder::~TempFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

namespace {

// Compares ReadFieldValue, ScanFieldValues (bytes and spans) and ReadValueSpan with the
// reference reader for every query name and every key of the file plus `extraKeys`. The store
// location must point at the folder holding the data file `fileBytes`.
std::string CompareReaders(const std::vector<uint8_t> &fileBytes, const std::vector<int64_t> &extraKeys) {
    const std::vector<DataRecord> records = DecodeDataFile(fileBytes);
    std::set<int64_t> keys(extraKeys.begin(), extraKeys.end());
    for (const DataRecord &record : records) {
        keys.insert(record.recipeKey);
    }
    const std::vector<std::string> names = QueryNames();
    std::ostringstream problems;
    auto describe = [](const std::string &name, int64_t key) {
        std::string shown;
        for (char c : name) {
            shown += c == '\0' ? std::string("\\0") : std::string(1, c);
        }
        return "name \"" + shown + "\" key " + std::to_string(key);
    };

    const int64_t expectedLastKey = records.empty() ? 0 : records.back().recipeKey;
    if (LastRecipeKey() != expectedLastKey) {
        problems << "LastRecipeKey " << LastRecipeKey() << " instead of " << expectedLastKey << "\n";
    }

    std::map<std::pair<size_t, int64_t>, std::string> expected;
    {
        StoreFile file;
        if (OpenStoreFile(DataFilePath(), FileAccess::Read, file) != FileStatus::Ok) {
            return "cannot open the data file\n";
        }
        for (size_t n = 0; n < names.size(); ++n) {
            for (int64_t key : keys) {
                const std::string oracle = OracleReadFieldValue(records, names[n], key);
                std::string fast;
                if (ReadFieldValueOf(file, names[n], key, fast) != FileStatus::Ok || fast != oracle) {
                    problems << "ReadFieldValue differs for " << describe(names[n], key) << "\n";
                }
                if (!oracle.empty()) {
                    expected[{n, key}] = oracle;
                }
            }
        }
    }
    if (!keys.empty() &&
        ReadFieldValue(names[0], *keys.rbegin()) != OracleReadFieldValue(records, names[0], *keys.rbegin())) {
        problems << "ReadFieldValue (own open) differs for " << describe(names[0], *keys.rbegin()) << "\n";
    }

    // One pass for all names with bytes, and again for all names with spans only.
    for (bool wantBytes : {true, false}) {
        std::vector<WantedField> wanted;
        for (const std::string &name : names) {
            wanted.push_back({name, wantBytes});
        }
        std::map<std::pair<size_t, int64_t>, FoundValue> found;
        bool repeated = false;
        const FileStatus status = ScanFieldValues(wanted, [&](FoundValue &value) {
            repeated = repeated || found.count({value.field, value.key}) != 0;
            found[{value.field, value.key}] = std::move(value);
            return true;
        });
        if (status != FileStatus::Ok || repeated) {
            problems << "ScanFieldValues failed or reported a value twice\n";
        }
        for (const auto &[at, value] : found) {
            const auto e = expected.find(at);
            const std::string oracle = e == expected.end() ? std::string() : e->second;
            const bool same = wantBytes
                                  ? value.bytes == oracle
                                  : value.bytes.empty() && value.span.length == static_cast<int64_t>(oracle.size());
            if (!same || oracle.empty()) {
                problems << "ScanFieldValues differs for " << describe(names[at.first], at.second) << "\n";
                continue;
            }
            std::string spanValue;
            if (!wantBytes && (ReadValueSpan(names[at.first], at.second, value.span, spanValue) != FileStatus::Ok ||
                               spanValue != oracle)) {
                problems << "ReadValueSpan differs for " << describe(names[at.first], at.second) << "\n";
            }
        }
        for (const auto &[at, value] : expected) {
            if (found.count(at) == 0) {
                problems << "ScanFieldValues misses " << describe(names[at.first], at.second) << "\n";
            }
        }
    }
    return problems.str();
}

} // namespace

std::string CompareReadersOnStore(const std::vector<uint8_t> &fileBytes, const std::filesystem::path &folder,
                                  const std::vector<int64_t> &extraKeys) {
    WriteWholeFile(folder / "guisla.zbd", fileBytes);
    SetStoreLocation(folder, "guisla");
    return CompareReaders(fileBytes, extraKeys);
}

std::string CheckStoreInput(const uint8_t *data, size_t size, const std::filesystem::path &folder) {
    // Input: eight bytes of a key to ask for besides those of the file, then the file's bytes.
    // The same file bytes serve as a schema file too.
    int64_t key = 1;
    if (size >= 8) {
        key = GetI64LE(data);
        data += 8;
        size -= 8;
    }
    const std::vector<uint8_t> bytes(data, data + size);
    WriteWholeFile(folder / "guisla.z04", bytes);
    std::string problems = CompareReadersOnStore(bytes, folder, {key, 0, -1, 1});

    const int64_t descriptors = std::min<int64_t>(static_cast<int64_t>(size) / kDescriptorSize, kMaxSchemaDescriptors);
    if (LoadFieldSchema() != descriptors || static_cast<int64_t>(FieldSchema.size()) != descriptors) {
        problems += "LoadFieldSchema count differs\n";
    } else {
        for (int64_t k = 0; k < descriptors; ++k) {
            const FieldDescriptor expected = DecodeFieldDescriptor(bytes.data() + k * kDescriptorSize);
            const FieldDescriptor &got = FieldSchema[static_cast<size_t>(k)];
            if (got.attribute0 != expected.attribute0 || got.fieldName != expected.fieldName ||
                got.attribute1 != expected.attribute1 || got.maxLength != expected.maxLength ||
                got.attribute2 != expected.attribute2 || got.fieldName.size() > kMaxNameLength ||
                got.fieldName.find('\0') != std::string::npos) {
                problems += "LoadFieldSchema descriptor " + std::to_string(k + 1) + " differs\n";
            }
        }
    }
    return problems;
}
