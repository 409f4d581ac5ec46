// Test support for the store: the reference reader (the record-by-record algorithm the fast
// readers must agree with), seeded store generators and a temporary store folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "store/record_codec.h"

// The reference reader, record by record from record 1 over the decoded records:
// same name and key: append the byte, stop with the value at lastFlag 1; another name: clear;
// same name, another key: leave the accumulator alone.
std::string OracleReadFieldValue(const std::vector<DataRecord> &records, const std::string &name, int64_t key);

// The complete records of a data file's bytes, decoded (an incomplete tail is dropped).
std::vector<DataRecord> DecodeDataFile(const std::vector<uint8_t> &bytes);

// The reference reader on a file, reading one 38-byte record per read as the algorithm is
// written (slow on purpose: the benchmark's baseline).
std::string OracleReadFieldValueFromFile(const std::filesystem::path &dataFile, const std::string &name, int64_t key);

// Appends the records of one value (nothing for an empty value) to `bytes`.
void AppendValueRecords(std::vector<uint8_t> &bytes, const FieldDescriptor &descriptor, int64_t key,
                        const std::string &value);

// A data file of saved recipes with keys 1..recipes, each with all six schema fields; random
// texts, pictures of pictureBytes bytes on every recipe.
std::vector<uint8_t> GenerateWellFormedStore(std::mt19937_64 &random, int recipes, size_t pictureBytes);

// A random data file, well formed or (when `malformed`) with interrupted runs, keys that repeat,
// jump or go backwards, runs of interleaved keys and names, odd lastFlag values, names without
// a zero byte or with leftovers after it, noise records and an incomplete tail.
std::vector<uint8_t> GenerateRandomStore(std::mt19937_64 &random, bool malformed, int events);

// How many generated stores a property test goes through, out of `count`: all of them natively
// (and under the sanitizers); a fifth under Wine, where each file operation costs far more and
// what the run adds is the Windows half of the file layer, not more of the same logic.
inline uint64_t GeneratedStoreCount(uint64_t count) {
#ifdef _WIN32
    return count / 5;
#else
    return count;
#endif
}

// Names worth asking for on generated stores: the schema's, near misses, a 14-byte name and
// its 15-byte extension, the empty name, a name with a zero byte.
std::vector<std::string> QueryNames();

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path &path);
void WriteWholeFile(const std::filesystem::path &path, const std::vector<uint8_t> &bytes);

// A fresh empty folder under the system's temporary folder, removed with its content at the end.
class TempFolder {
public:
    explicit TempFolder(const std::string &tag);
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
    const std::filesystem::path &Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Writes `fileBytes` as the data file "guisla.zbd" in `folder`, points the store there and
// compares ReadFieldValue, ScanFieldValues (with bytes and with spans only) and ReadValueSpan
// with the reference reader, for every name of QueryNames() and every key of the file plus
// `extraKeys`; also LastRecipeKey. Returns "" when all agree, else what differs.
std::string CompareReadersOnStore(const std::vector<uint8_t> &fileBytes, const std::filesystem::path &folder,
                                  const std::vector<int64_t> &extraKeys);

// The fuzz target's check: `data` is eight bytes of a key, then the bytes of a data file that
// also serve as a schema file. Runs CompareReadersOnStore and checks LoadFieldSchema against the
// descriptor codec. Returns "" when all agree, else what differs.
std::string CheckStoreInput(const uint8_t *data, size_t size, const std::filesystem::path &folder);
