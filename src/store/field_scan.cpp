// One pass over the data file yielding the values of several names for every key.
#include "store/field_scan.h"

#include <algorithm>

#include "store/block_reader.h"
#include "store/record_codec.h"
#include "store/store.h"

namespace {

void EndRun(FieldScanState &state) {
    if (state.pending.bucket_count() > 64) {
        state.pending = {}; // clear() would keep (and walk) the buckets of a large malformed run
    } else {
        state.pending.clear();
    }
    state.cacheValid = false;
}

// Looks up (or starts) the pending value of `key`; nullptr when its value was reported.
PendingValue *PendingFor(FieldScanState &state, int64_t key) {
    if (state.cacheValid && state.cachedKey == key) {
        return state.cachedValue;
    }
    PendingValue *value = nullptr;
    if (state.reported.count(key) == 0) {
        value = &state.pending[key]; // node-based: the pointer stays valid until the entry goes
    }
    state.cacheValid = true;
    state.cachedKey = key;
    state.cachedValue = value;
    return value;
}

// Ends `key`'s pending value at the record at `lastOffset`: the value is reported. Returns what
// the sink returned (true without a sink).
bool Report(ScanState &scan, size_t f, int64_t key, PendingValue &value, int64_t lastOffset,
            const FoundValueSink &sink) {
    FieldScanState &state = scan.fields[f];
    FoundValue found;
    found.field = f;
    found.key = key;
    found.span = {value.firstOffset, lastOffset, value.length};
    found.bytes = std::move(value.bytes);
    state.pending.erase(key);
    KeptValue &kept = state.reported[key];
    if (scan.keepValues) {
        kept.span = found.span;
        kept.bytes = sink ? found.bytes : std::move(found.bytes);
    }
    state.cachedValue = nullptr; // the cache holds this key: now reported
    return !sink || sink(found);
}

// The bytes that tell whether a record continues the run of another: its name field (offsets
// 5..19, read as two overlapping words) and its key. Records with equal RunBytes carry the same
// name and key.
struct RunBytes {
    uint64_t nameLow, nameHigh, key;
    bool operator==(const RunBytes &) const = default;
};
inline RunBytes GetRunBytes(const uint8_t *record) {
    return {GetU64LE(record + kRecordFieldName), GetU64LE(record + kRecordFieldName + kNameFieldSize - 8),
            GetU64LE(record + kRecordKey)};
}

// The number of records after `record` (and before `stop`) that carry its name field and key
// bytes, none of them with lastFlag 1: they only add their bytes to the value that `record` adds
// to, and can be taken together.
size_t RepeatsAfter(const uint8_t *record, const uint8_t *stop) {
    const RunBytes run = GetRunBytes(record);
    const uint8_t *next = record + kRecordSize;
    while (next != stop && GetRunBytes(next) == run && GetI32LE(next + kRecordLastFlag) != 1) {
        next += kRecordSize;
    }
    return static_cast<size_t>(next - record) / kRecordSize - 1;
}

// Applies `count` records that follow `record` with the same name field and key bytes and
// lastFlag other than 1, as the record loop would: each adds its byte to the key's pending value
// under the fields whose name matches (unless that key was reported); the other fields saw their
// run end at `record` already, so nothing changes for them. `bytes` (nullptr: take them from the
// records) holds the value bytes of the `count` records.
void ApplyRepeats(std::vector<FieldScanState> &states, const uint8_t *record, size_t count, const char *bytes) {
    const NameWords words = GetNameWords(record);
    const int64_t key = GetI64LE(record + kRecordKey);
    for (FieldScanState &state : states) {
        if (!NameWordsMatch(words, state.matcher)) {
            continue;
        }
        PendingValue *value = PendingFor(state, key);
        if (value == nullptr) {
            continue;
        }
        value->length += static_cast<int64_t>(count);
        if (!state.wantBytes) {
            continue;
        }
        if (bytes != nullptr) {
            value->bytes.append(bytes, count);
            continue;
        }
        const uint8_t *next = record + kRecordSize;
        for (size_t i = 0; i < count; ++i, next += kRecordSize) {
            value->bytes.push_back(static_cast<char>(next[kRecordValueByte]));
        }
    }
}

// Applies one record at `recordOffset` with value byte `byte` and the name field, key and
// lastFlag of `record`. False when the sink stopped the pass.
bool ApplyRecord(ScanState &scan, const uint8_t *record, uint8_t byte, bool last, int64_t recordOffset,
                 const FoundValueSink &sink) {
    const NameWords words = GetNameWords(record);
    bool go = true;
    for (size_t f = 0; f < scan.fields.size() && go; ++f) {
        FieldScanState &state = scan.fields[f];
        if (!NameWordsMatch(words, state.matcher)) {
            if (!state.pending.empty()) {
                EndRun(state);
            }
            continue;
        }
        const int64_t key = GetI64LE(record + kRecordKey);
        PendingValue *value = PendingFor(state, key);
        if (value == nullptr) {
            continue; // the first complete value of this key was reported already
        }
        if (value->length == 0) {
            value->firstOffset = recordOffset;
        }
        ++value->length;
        if (state.wantBytes) {
            value->bytes.push_back(static_cast<char>(byte));
        }
        if (last) {
            go = Report(scan, f, key, *value, recordOffset, sink);
        }
    }
    return go;
}

} // namespace

ScanState StartScan(const std::vector<WantedField> &wanted, bool keepValues) {
    ScanState scan;
    scan.keepValues = keepValues;
    scan.fields.resize(wanted.size());
    for (size_t i = 0; i < wanted.size(); ++i) {
        scan.fields[i].name = wanted[i].name;
        scan.fields[i].wantBytes = wanted[i].wantBytes;
        scan.fields[i].matcher = MakeNameMatcher(wanted[i].name);
    }
    return scan;
}

bool ScanRecords(ScanState &scan, const uint8_t *records, size_t count, const FoundValueSink &sink) {
    for (size_t r = 0; r < count;) {
        const uint8_t *record = records + r * kRecordSize;
        // The records after this one that repeat its name and key without ending a value (the
        // bulk of a long value such as a picture) are taken together after it.
        const size_t repeats = RepeatsAfter(record, records + count * kRecordSize);
        const bool last = GetI32LE(record + kRecordLastFlag) == 1;
        if (!ApplyRecord(scan, record, record[kRecordValueByte], last, scan.end, sink)) {
            scan.end += kRecordSize;
            return false;
        }
        if (repeats > 0) {
            ApplyRepeats(scan.fields, record, repeats, nullptr);
        }
        scan.end += static_cast<int64_t>((1 + repeats) * kRecordSize);
        r += 1 + repeats;
    }
    return true;
}

bool ScanValueRun(ScanState &scan, const uint8_t *record, int64_t count, const std::string *bytes,
                  const FoundValueSink &sink) {
    if (count < 1 || (bytes != nullptr && bytes->size() != static_cast<size_t>(count))) {
        return false;
    }
    const NameWords words = GetNameWords(record);
    if (bytes == nullptr) {
        for (const FieldScanState &state : scan.fields) {
            if (state.wantBytes && NameWordsMatch(words, state.matcher)) {
                return false;
            }
        }
    }
    const uint8_t first = bytes != nullptr ? static_cast<uint8_t>((*bytes)[0]) : 0;
    if (count == 1) {
        const bool go = ApplyRecord(scan, record, first, true, scan.end, sink);
        scan.end += kRecordSize;
        return go;
    }
    if (!ApplyRecord(scan, record, first, false, scan.end, sink)) {
        return false;
    }
    if (count > 2) {
        ApplyRepeats(scan.fields, record, static_cast<size_t>(count - 2),
                     bytes != nullptr ? bytes->data() + 1
                                      : ""); // without bytes, no field that takes them matches (checked above)
    }
    const uint8_t lastByte = bytes != nullptr ? static_cast<uint8_t>(bytes->back()) : 0;
    const int64_t lastOffset = scan.end + (count - 1) * kRecordSize;
    const bool go = ApplyRecord(scan, record, lastByte, true, lastOffset, sink);
    scan.end = lastOffset + kRecordSize;
    return go;
}

FileStatus ScanFieldValuesOf(const StoreFile &dataFile, const std::vector<WantedField> &wanted,
                             const FoundValueSink &sink, const ScanProgress &progress, int64_t *scannedSize) {
    int64_t size = 0;
    FileStatus status = StoreFileSize(dataFile, size);
    if (scannedSize != nullptr) {
        *scannedSize = size;
    }
    if (status != FileStatus::Ok) {
        return status;
    }
    ScanState scan = StartScan(wanted, false);
    bool anyPossible = false;
    for (const FieldScanState &state : scan.fields) {
        anyPossible = anyPossible || state.matcher.possible;
    }
    if (!anyPossible) {
        return FileStatus::Ok;
    }
    const int64_t end = size / kRecordSize * kRecordSize;
    std::unique_ptr<uint8_t[]> block = NewReadBlock(end);
    while (scan.end < end) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(end - scan.end, kReadBlockBytes));
        size_t got = 0;
        status = StoreFileRead(dataFile, scan.end, block.get(), want, got);
        if (status != FileStatus::Ok) {
            return status;
        }
        if (!ScanRecords(scan, block.get(), got / kRecordSize, sink)) {
            return FileStatus::Ok;
        }
        if (progress && !progress(scan.end, end)) {
            return FileStatus::Ok;
        }
        if (got < want) {
            break; // the file became shorter while it was read
        }
    }
    return FileStatus::Ok;
}

FileStatus ScanFieldValues(const std::vector<WantedField> &wanted, const FoundValueSink &sink,
                           const ScanProgress &progress, int64_t *scannedSize) {
    if (scannedSize != nullptr) {
        *scannedSize = 0;
    }
    StoreFile file;
    const FileStatus status = OpenStoreFile(DataFilePath(), FileAccess::Read, file);
    if (status != FileStatus::Ok) {
        return status;
    }
    return ScanFieldValuesOf(file, wanted, sink, progress, scannedSize);
}

FileStatus ReadValueSpan(const std::string &name, int64_t key, const ValueSpan &span,
                         const std::function<bool(const uint8_t *bytes, size_t count)> &chunk) {
    StoreFile file;
    const FileStatus status = OpenStoreFile(DataFilePath(), FileAccess::Read, file);
    if (status != FileStatus::Ok) {
        return status;
    }
    return ReadValueSpanOf(file, name, key, span, chunk);
}

FileStatus ReadValueSpanOf(const StoreFile &file, const std::string &name, int64_t key, const ValueSpan &span,
                           const std::function<bool(const uint8_t *bytes, size_t count)> &chunk) {
    const NameMatcher matcher = MakeNameMatcher(name);
    if (!matcher.possible || span.firstOffset < 0 || span.firstOffset % kRecordSize != 0 ||
        span.lastOffset < span.firstOffset || span.lastOffset % kRecordSize != 0 || span.length < 1 ||
        span.length > (span.lastOffset - span.firstOffset) / kRecordSize + 1) {
        return FileStatus::Failed;
    }
    int64_t size = 0;
    FileStatus status = StoreFileSize(file, size);
    if (status != FileStatus::Ok) {
        return status;
    }
    const int64_t end = span.lastOffset + kRecordSize;
    if (size < end) {
        return FileStatus::Failed;
    }
    std::string bytes; // the value's bytes of one block
    int64_t length = 0;
    bool reachedLast = false;
    // A long value (a picture) is read ahead by a second thread while a block is taken apart.
    BlockReader reader(file, span.firstOffset, end, kLongReadBlockBytes);
    for (int64_t offset = span.firstOffset; offset < end;) {
        const uint8_t *block = nullptr;
        size_t want = 0;
        status = reader.Next(block, want);
        if (status != FileStatus::Ok) {
            return status;
        }
        bytes.clear();
        const size_t records = want / kRecordSize;
        // Records that repeat an accepted one's name field and key without lastFlag 1 pass the
        // same checks and only add their bytes; the record at lastOffset is always checked alone.
        const bool finalBlock = offset + static_cast<int64_t>(want) == end;
        const uint8_t *repeatStop = block + (finalBlock ? records - 1 : records) * kRecordSize;
        for (size_t r = 0; r < records; ++r) {
            const uint8_t *record = block + r * kRecordSize;
            if (!RecordNameMatches(record, matcher)) {
                return FileStatus::Failed;
            }
            if (GetI64LE(record + kRecordKey) != key) {
                continue;
            }
            const bool last = GetI32LE(record + kRecordLastFlag) == 1;
            const bool atEnd = offset + static_cast<int64_t>(r * kRecordSize) == span.lastOffset;
            if (last != atEnd) {
                return FileStatus::Failed;
            }
            reachedLast = reachedLast || atEnd;
            bytes.push_back(static_cast<char>(record[kRecordValueByte]));
            ++length;
            if (!atEnd && record < repeatStop) {
                const size_t repeats = RepeatsAfter(record, repeatStop);
                const uint8_t *next = record + kRecordSize;
                for (size_t i = 0; i < repeats; ++i, next += kRecordSize) {
                    bytes.push_back(static_cast<char>(next[kRecordValueByte]));
                }
                length += static_cast<int64_t>(repeats);
                r += repeats;
            }
        }
        if (length > span.length) {
            return FileStatus::Failed;
        }
        if (offset + static_cast<int64_t>(want) == end && (length != span.length || !reachedLast)) {
            return FileStatus::Failed;
        }
        if (!bytes.empty() && !chunk(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size())) {
            return FileStatus::Ok;
        }
        offset += static_cast<int64_t>(want);
    }
    return FileStatus::Ok;
}

FileStatus ReadValueSpan(const std::string &name, int64_t key, const ValueSpan &span, std::string &value) {
    value.clear();
    const FileStatus status = ReadValueSpan(name, key, span, [&value](const uint8_t *bytes, size_t count) {
        value.append(reinterpret_cast<const char *>(bytes), count);
        return true;
    });
    if (status != FileStatus::Ok) {
        value.clear();
    }
    return status;
}
