// The tool's view of a store folder: its schema, its data file held open for reading, the
// recipes read in one pass, and the record-level shape that the health check reports on.
// Nothing here writes to the store or creates a file in it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "store/field_scan.h"
#include "store/file.h"
#include "store/record_codec.h"

enum class StoreOpenResult {
    Ok,
    FolderMissing,    // the folder does not exist, or is not a folder
    SchemaMissing,    // no guisla.z04 in the folder
    SchemaEmpty,      // guisla.z04 holds no complete descriptor
    SchemaUnreadable, // it could not be opened or read
    DataUnreadable,   // guisla.zbd exists but could not be opened or read
};

struct ToolStore {
    std::filesystem::path folder;
    std::vector<FieldDescriptor> schema; // the schema file's descriptors, in file order
    int64_t schemaFileSize = 0;
    bool dataMissing = false; // no data file: a store where nothing was saved yet
    StoreFile data;           // open for reading unless dataMissing
    int64_t dataSize = 0;
};

// Opens the store in `folder` (files guisla.z04 and guisla.zbd) for reading only. The data file
// stays open, and the program kept from writing to it, until `store` goes.
StoreOpenResult OpenToolStore(const std::filesystem::path &folder, ToolStore &store);

// The message for a failed open, in Spanish, naming the path (UTF-8).
std::string OpenFailureMessage(StoreOpenResult result, const std::filesystem::path &folder);

// One recipe as the program reads it back: the first complete value of each field for its key
// (empty when none). Texts are the stored Windows-1252 bytes.
struct ToolRecipe {
    int64_t key = 0;
    std::string dishName;
    std::string ingredients;
    std::string elaboration;
    std::string category;
    std::string extension;
    int64_t pictureLength = 0; // bytes of the stored picture; 0 when it has none
};

// Receives a recipe's picture bytes as the scan completes them (before its extension is known);
// returns false to stop the scan (a write failure).
using PictureSink = std::function<bool(int64_t key, const std::string &bytes)>;

// Reads every recipe in one pass over the data file: the recipes are the keys that have a complete
// value under at least one of the six field names, in ascending key order. Pictures go to
// `pictures` when it is given (else only their lengths are kept). Ok also for a missing data
// file (no recipes); `stopped` tells whether the sink or the progress stopped the scan.
FileStatus ReadRecipes(const ToolStore &store, const PictureSink &pictures, const ScanProgress &progress,
                       std::vector<ToolRecipe> &recipes, bool *stopped = nullptr);

// The record-level shape of a data file, for the health check.
struct InterruptedValue {
    std::string name; // stored field name (Windows-1252)
    int64_t key = 0;
    int64_t firstRecord = 0; // record number (from 1) where the run of the value began
    int64_t records = 0;     // records it had when it was interrupted
};
struct KeyStepBack {
    int64_t record = 0; // record number (from 1) whose key is smaller than the one before it
    int64_t from = 0;
    int64_t to = 0;
};
struct RecordShape {
    int64_t records = 0;
    int64_t tailBytes = 0; // bytes of an incomplete last record
    int64_t interruptedCount = 0;
    std::vector<InterruptedValue> interrupted; // the first kShapeDetailLimit of them
    int64_t stepBackCount = 0;
    std::vector<KeyStepBack> stepBacks; // the first kShapeDetailLimit of them
};
inline constexpr size_t kShapeDetailLimit = 20;

// Walks the records of the data file once. A value is interrupted when its run (the records of
// one name in a row) ends, or the file ends, before the key's record with lastFlag 1: the program
// reads nothing from such a run.
FileStatus ScanRecordShape(const ToolStore &store, RecordShape &shape);
