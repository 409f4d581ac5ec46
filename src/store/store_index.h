// The kept index of the data file: what a pass over the data file learned (for each indexed
// field, where every key's value lies, with the bytes of the fields that want them, and the
// values still being accumulated where the pass stopped), kept in a file of its own beside the
// store ("guisla.indice") so that the next run of the program reads only what was appended since.
//
// The kept file is a cache and is never trusted blindly. It names the data file's length it
// covers and hashes of the first and last bytes of that length; it is used only when the data
// file is at least that long and still holds those bytes there (the store only ever appends),
// and only when its own length, version, checksum and every offset and length in it are sound.
// It also names the data file as the system knew it then (volume, file number, length and
// modification time): another file put in its place, whatever its bytes, or the same file
// written since without growing (rewritten in place, or grown and cut back) is read anew.
// Otherwise the pass starts again from offset 0 and a fresh kept file replaces it. Deleting it is
// harmless. It is written whole to a new file which then replaces the old one, so a write cut
// short leaves either the old file or one that fails its checks. When it cannot be written or
// read, the index lives in memory for the run and nothing is said.
//
// Kept file layout (little-endian):
//
//   offset  size  field
//   0       8     magic "GUISLAIX"
//   8       4     version (kStoreIndexVersion)
//   12      4     zero
//   16      8     length of the whole kept file
//   24      8     data file length covered (a multiple of 38)
//   32      8     hash of the data file's first min(4096, covered) bytes
//   40      8     hash of the last min(4096, covered) bytes of the covered length
//   48      8     the data file's volume, then its file number (0: not known)
//   64      8     the data file's length, then its modification time (the system's units; 0: not
//                 known), as they were when the index last covered it
//   80      4     number of fields, then each field:
//                   1 byte name length, the name, 1 byte wantBytes (0 or 1),
//                   8 bytes count of reported values, each: key, firstOffset, lastOffset,
//                     length (8 bytes each), then `length` value bytes when wantBytes,
//                   8 bytes count of pending values, each: key, length, firstOffset (8 bytes
//                     each), then `length` bytes when wantBytes
//   end-8   8     hash of every byte before it
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "store/field_scan.h"
#include "store/file.h"
#include "store/record_codec.h"

inline constexpr uint32_t kStoreIndexVersion = 2;
// Bytes hashed at the start and at the end of the covered part of the data file.
inline constexpr int64_t kIndexPrintBytes = 4096;

// The covered part of the data file, as the kept file names it.
struct DataFilePrint {
    int64_t end = 0; // a multiple of 38
    uint64_t head = 0;
    uint64_t tail = 0;
    bool operator==(const DataFilePrint &) const = default;
};

// The data file as the system knew it when the index last covered it.
struct DataFileStamp {
    uint64_t volume = 0;
    uint64_t file = 0; // 0: not known
    int64_t size = 0;
    int64_t modified = 0; // 0: not known
    bool operator==(const DataFileStamp &) const = default;
};

struct StoreIndex {
    ScanState scan; // scan.end == print.end
    DataFilePrint print;
    DataFileStamp stamp;
};

// The fields an index for a search of `searchedField` holds, in this order: the searched field
// and "Plato" with their bytes, then the spans of "Ingredientes", "Preparación", "Imagen" and
// "extensión".
std::vector<WantedField> IndexedFields(const std::string &searchedField);
enum IndexedField { kIndexSearched, kIndexDish, kIndexIngredients, kIndexElaboration, kIndexPicture, kIndexExtension };

// The kept file of the store set with SetStoreLocation: base name + ".indice" in the store folder.
std::filesystem::path StoreIndexPath();

// The hash used for the print and the kept file's checksum.
uint64_t IndexHash(const uint8_t *bytes, size_t count);

// Bytes of the kept file for `index`, and back. DecodeStoreIndex checks everything it reads
// (length, magic, version, checksum, counts against the bytes that remain, offsets, lengths and
// keys against each other and the covered length) and returns false on the first fault.
std::string EncodeStoreIndex(const StoreIndex &index);
bool DecodeStoreIndex(const uint8_t *bytes, size_t size, StoreIndex &index);

// The print of the first `end` bytes of an open data file; false when they cannot be read.
bool PrintDataFile(const StoreFile &dataFile, int64_t end, DataFilePrint &print);

// Brings the process's index up to date with the open data file and returns it: the index in
// memory or else the kept file, when it holds the fields for `searchedField` and its print still
// fits the data file; otherwise a new pass from offset 0. Then the records appended after what it
// covers are scanned (`progress` after each block, as ScanFieldValues calls it) and, when that
// changed anything, the kept file is written. nullptr when the data file cannot be read; the
// index is then forgotten.
const StoreIndex *UpdateStoreIndex(const StoreFile &dataFile, const std::string &searchedField,
                                   const ScanProgress &progress = {});

// Forgets the index held in memory (the kept file stays): the next update reads the kept file.
void ForgetStoreIndex();

// Bytes read from data files by UpdateStoreIndex since the process started (for benchmarks).
int64_t StoreIndexBytesRead();

// One value of a finished save, in the order written: the descriptor it was written under, its
// length (at least 1; empty values write no records and are not listed) and its bytes, except
// for the picture, whose bytes are not kept (hasBytes false).
struct SavedValue {
    FieldDescriptor descriptor;
    int64_t length = 0;
    bool hasBytes = true;
    std::string bytes;
};

// What a save wrote: its values as runs of records starting at `start`, under `key`.
struct SavedRecords {
    int64_t start = 0;
    int64_t key = 0;
    std::vector<SavedValue> values;
};

// Extends the index (in memory, or the kept file) with a save that has just finished, without
// reading the saved records back: only what others appended before `start` is read. Does nothing
// when there is no index for this data file or it no longer fits; the next update then scans.
void ExtendStoreIndex(const SavedRecords &saved);
