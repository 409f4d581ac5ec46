// The recipe store: the schema file and the data file in the store folder, and the four store
// operations over them. Record layouts are in record_codec.h.
//
// Each operation opens the file it needs exclusively, does its work and closes it; nothing stays
// open between operations. A missing file is created empty when it is opened (the folder never
// is). Readers absorb failures: a file that cannot be opened or read reads as empty.
//
// Reading a value follows one rule, record by record from record 1, for a name N and a key K:
// a record with name N and key K adds its byte to an accumulator and, when its lastFlag is 1,
// the accumulator is the value (the first complete value wins); a record with another name
// empties the accumulator; a record with name N and another key leaves it alone. A run without
// a record whose lastFlag is 1 therefore reads as empty. ReadFieldValue applies the rule to
// blocks of records read at once; ScanFieldValues (field_scan.h) applies it to every key at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "store/file.h"
#include "store/record_codec.h"

// Readers read the data file in blocks of this many bytes (a whole number of records).
inline constexpr size_t kReadBlockBytes = 4096 * kRecordSize;
// Long reads (a pass for the index, a picture) take larger blocks, read ahead by a second thread
// (block_reader.h): fewer system calls, which under Wine cost more.
inline constexpr size_t kLongReadBlockBytes = 65536 * kRecordSize;

// A block buffer for reading `bytesToRead` bytes: kReadBlockBytes, or less for a smaller read
// (at least one byte). Not initialised.
std::unique_ptr<uint8_t[]> NewReadBlock(int64_t bytesToRead);

// Sets where the store lives: the files are storeFolder/baseName + ".z04" and + ".zbd". The
// base name is plain ASCII ("guisla"); the folder may hold any characters. Until this is called
// the store has no location and behaves as a store whose folder is missing.
void SetStoreLocation(const std::filesystem::path &storeFolder, const std::string &baseName);
std::filesystem::path SchemaFilePath();
std::filesystem::path DataFilePath();

// The descriptors read by the last LoadFieldSchema, in file order: FieldSchema[0] is
// descriptor 1. SchemaDescriptor gives descriptor `position` (1-based), or nullptr when the
// schema holds no such descriptor.
extern std::vector<FieldDescriptor> FieldSchema;
const FieldDescriptor *SchemaDescriptor(int position);

// A schema file larger than this many descriptors is read only that far: the installed one has
// six, and a huge file must not make the store allocate without bound.
inline constexpr int32_t kMaxSchemaDescriptors = 65536;

// Replaces FieldSchema with the descriptors of the schema file and returns their number: the
// file size divided by 25, rounded down (up to kMaxSchemaDescriptors). 0 with FieldSchema empty
// when the file is missing, empty or cannot be opened or read.
int32_t LoadFieldSchema();

// Appends one data record (valueByte of a value of `descriptor`'s field, for recipe `key`,
// lastFlag 1 when `last`) at record number (file size / 38, rounded down) + 1, so that an
// incomplete tail is overwritten. Opens, writes and closes the data file. Returns Ok when the
// record was written; otherwise the file holds at most part of it (an incomplete tail, ignored
// by every reader).
FileStatus AppendDataRecord(uint8_t valueByte, const FieldDescriptor &descriptor, int64_t key, bool last);

// The recipeKey of the data file's last complete record; 0 when it has none or cannot be read.
int64_t LastRecipeKey();

// The same on a data file the caller holds open (for a save that keeps the file open).
FileStatus LastRecipeKeyOf(const StoreFile &dataFile, int64_t &key);

// The first complete value stored under `name` for `key`, by the rule above; empty when there
// is none or the data file cannot be opened or read.
std::string ReadFieldValue(const std::string &name, int64_t key);

// The same on a data file the caller holds open. On a read failure `value` is empty.
FileStatus ReadFieldValueOf(const StoreFile &dataFile, const std::string &name, int64_t key, std::string &value);
