// Reading many values in one pass over the data file, for the search and the display.
//
// ScanFieldValues reads the data file once, in blocks, and reports for each wanted field name
// the value that ReadFieldValue(name, key) would return, for every key that has one, in the
// order in which the values complete in the file. A key that is not reported for a name reads as
// empty under that name. The rule of store.h, applied to all keys at once, becomes: for a name
// N, a record with another name empties the accumulators of every key; a record with name N and
// key K touches only K's accumulator; K's value is its accumulator at K's first record with
// lastFlag 1, and later records of N and K change nothing.
//
// Memory: only the values being accumulated in the current run of a name are held, plus the
// set of keys already reported. A field wanted without bytes (WantedField::wantBytes false, for
// pictures) holds only lengths and offsets; its bytes can be read later with ReadValueSpan.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/file.h"
#include "store/record_codec.h"

struct WantedField {
    std::string name;
    bool wantBytes = true; // false: report only the value's span and length
};

// Where a value lies in the data file: between the record offsets firstOffset and lastOffset
// (both inclusive, multiples of 38) every record carries the value's name; those with the
// value's key hold its bytes in order, and the one at lastOffset has lastFlag 1.
struct ValueSpan {
    int64_t firstOffset = 0;
    int64_t lastOffset = 0;
    int64_t length = 0; // bytes of the value (at least 1)
};

struct FoundValue {
    size_t field = 0; // index into the wanted list
    int64_t key = 0;
    ValueSpan span;
    std::string bytes; // the value when the field wants bytes, else empty; the sink may move it out
};

// Return false to stop the scan early.
using FoundValueSink = std::function<bool(FoundValue &value)>;
// Called after each block with the bytes scanned so far and the bytes to scan in all; return
// false to stop the scan early (for a caller that pumps messages while it waits).
using ScanProgress = std::function<bool(int64_t scanned, int64_t total)>;

// Scans the store's data file (opened exclusively for the scan's duration). Returns Ok when the
// file was read to its end or the scan was stopped, otherwise the failure; values reported
// before a failure remain valid. `scannedSize`, when given, receives the file size at the scan.
FileStatus ScanFieldValues(const std::vector<WantedField> &wanted, const FoundValueSink &sink,
                           const ScanProgress &progress = {}, int64_t *scannedSize = nullptr);

// The same on a data file the caller holds open.
FileStatus ScanFieldValuesOf(const StoreFile &dataFile, const std::vector<WantedField> &wanted,
                             const FoundValueSink &sink, const ScanProgress &progress = {},
                             int64_t *scannedSize = nullptr);

// A pass that can stop at the end of the file and go on later from there, when records are
// appended: ScanFieldValues is one such pass from offset 0 to the end. The state is plain data so
// that it can be kept between runs of the program (store_index.h).
struct PendingValue {
    std::string bytes; // when the field wants bytes
    int64_t length = 0;
    int64_t firstOffset = 0;
};

// A reported value: its span, and its bytes when the field wants bytes and the pass keeps values.
struct KeptValue {
    ValueSpan span;
    std::string bytes;
};

struct FieldScanState {
    std::string name;
    bool wantBytes = true;
    NameMatcher matcher;
    std::unordered_map<int64_t, PendingValue> pending; // keys with records in the current run of the name
    std::unordered_map<int64_t, KeptValue> reported;   // keys whose value is known (values kept or not)
    // The last key looked up and its entry (nullptr: already reported); runs rarely mix keys.
    bool cacheValid = false;
    int64_t cachedKey = 0;
    PendingValue *cachedValue = nullptr;
};

struct ScanState {
    std::vector<FieldScanState> fields; // in the order of the wanted list
    bool keepValues = false;            // reported values stay in `reported` (else only their keys)
    int64_t end = 0;                    // offset of the next record to scan (a multiple of 38)
};

// A pass at offset 0 that has seen nothing yet.
ScanState StartScan(const std::vector<WantedField> &wanted, bool keepValues);

// Applies `count` whole records that lie at state.end, reporting each completed value to `sink`
// (optional) and advancing state.end. False when the sink stopped the pass (state.end then lies
// after the record that completed the value; the rest was not applied).
bool ScanRecords(ScanState &state, const uint8_t *records, size_t count, const FoundValueSink &sink = {});

// Applies a value as a writer appends it at state.end: `count` (at least 1) records that carry the
// name field and key of `record` (a whole encoded record), the last one with lastFlag 1.
// `bytes` holds the value's bytes (count of them), or is nullptr when the caller does not have
// them: then nothing is applied and the result is false if a field that wants bytes would take
// them. Reports to `sink` (optional) as ScanRecords does.
bool ScanValueRun(ScanState &state, const uint8_t *record, int64_t count, const std::string *bytes,
                  const FoundValueSink &sink = {});

// Reads a value found earlier by ScanFieldValues from its span, handing its bytes to `chunk` in
// order, in pieces. Checks that the span still holds the value (the records between the offsets
// carry the name, the last one is the key's only record there with lastFlag 1, the length
// agrees); returns Failed when it does not (the file was replaced or cut), after which bytes
// already handed over must be discarded. `chunk` returns false to stop (the result is then Ok).
FileStatus ReadValueSpan(const std::string &name, int64_t key, const ValueSpan &span,
                         const std::function<bool(const uint8_t *bytes, size_t count)> &chunk);

// The same on a data file the caller holds open.
FileStatus ReadValueSpanOf(const StoreFile &file, const std::string &name, int64_t key, const ValueSpan &span,
                           const std::function<bool(const uint8_t *bytes, size_t count)> &chunk);

// The same, collecting the value; empty unless Ok.
FileStatus ReadValueSpan(const std::string &name, int64_t key, const ValueSpan &span, std::string &value);
