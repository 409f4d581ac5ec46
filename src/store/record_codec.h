// The two record formats of the recipe store and their byte codecs.
//
// Both store files are plain arrays of fixed-size records: no header, no trailer, no padding.
// Record k (counted from 1) lies at byte offset (k - 1) * record size; the number of records is
// the file size divided by the record size, rounded down (a trailing incomplete record is ignored).
// Integers are little-endian and signed; text is single-byte ANSI (Windows-1252) text.
//
// Field descriptor, schema file "<base>.z04", 25 bytes:
//
//   offset  size  type      field
//   0       4     int32     attribute0   carried attribute, copied into every data record of the field
//   4       15    char[15]  fieldName    name, zero-terminated, at most 14 bytes of text
//   19      2     int16     attribute1   carried attribute
//   21      2     int16     maxLength    maximum length in bytes of a value of the field
//   23      2     int16     attribute2   carried attribute
//
// Data record, data file "<base>.zbd", 38 bytes, one per byte of a stored value:
//
//   offset  size  type      field
//   0       4     int32     attribute0   copy of the descriptor's attribute0
//   4       1     uint8     valueByte    one byte of the value
//   5       15    char[15]  fieldName    copy of the descriptor's name, zero-terminated
//   20      2     int16     attribute1   copy of the descriptor's attribute1
//   22      2     int16     maxLength    copy of the descriptor's maxLength
//   24      8     int64     recipeKey    key of the recipe the byte belongs to
//   32      2     int16     attribute2   copy of the descriptor's attribute2
//   34      4     int32     lastFlag     1 on the record of the value's last byte, 0 on the others
//
// Name fields: readers take the bytes up to the first zero byte and keep at most 14 of them (a
// field without a zero byte reads as its first 14 bytes); bytes after the zero carry no meaning.
// Writers put at most 14 bytes of the name, then zeros up to the end of the field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

inline constexpr int64_t kDescriptorSize = 25;
inline constexpr int64_t kRecordSize = 38;
inline constexpr size_t kNameFieldSize = 15;
inline constexpr size_t kMaxNameLength = 14;

// Offsets of the data record's fields (see the table above).
inline constexpr size_t kRecordAttribute0 = 0;
inline constexpr size_t kRecordValueByte = 4;
inline constexpr size_t kRecordFieldName = 5;
inline constexpr size_t kRecordAttribute1 = 20;
inline constexpr size_t kRecordMaxLength = 22;
inline constexpr size_t kRecordKey = 24;
inline constexpr size_t kRecordAttribute2 = 32;
inline constexpr size_t kRecordLastFlag = 34;

// Offsets of the field descriptor's fields.
inline constexpr size_t kDescriptorAttribute0 = 0;
inline constexpr size_t kDescriptorFieldName = 4;
inline constexpr size_t kDescriptorAttribute1 = 19;
inline constexpr size_t kDescriptorMaxLength = 21;
inline constexpr size_t kDescriptorAttribute2 = 23;

struct FieldDescriptor {
    int32_t attribute0 = 0;
    std::string fieldName; // as read: at most 14 bytes, no zero byte
    int16_t attribute1 = 0;
    int16_t maxLength = 0;
    int16_t attribute2 = 0;
};

struct DataRecord {
    int32_t attribute0 = 0;
    uint8_t valueByte = 0;
    std::string fieldName; // as read: at most 14 bytes, no zero byte
    int16_t attribute1 = 0;
    int16_t maxLength = 0;
    int64_t recipeKey = 0;
    int16_t attribute2 = 0;
    int32_t lastFlag = 0;
};

// Little-endian helpers. The caller guarantees that the bytes at p are within its buffer.
inline uint16_t GetU16LE(const uint8_t *p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t GetU32LE(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t GetU64LE(const uint8_t *p) {
    return static_cast<uint64_t>(GetU32LE(p)) | (static_cast<uint64_t>(GetU32LE(p + 4)) << 32);
}
inline int16_t GetI16LE(const uint8_t *p) {
    return static_cast<int16_t>(GetU16LE(p));
}
inline int32_t GetI32LE(const uint8_t *p) {
    return static_cast<int32_t>(GetU32LE(p));
}
inline int64_t GetI64LE(const uint8_t *p) {
    return static_cast<int64_t>(GetU64LE(p));
}

inline void PutU16LE(uint8_t *p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32LE(uint8_t *p, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}
inline void PutU64LE(uint8_t *p, uint64_t v) {
    for (int i = 0; i < 8; ++i) {
        p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}
inline void PutI16LE(uint8_t *p, int16_t v) {
    PutU16LE(p, static_cast<uint16_t>(v));
}
inline void PutI32LE(uint8_t *p, int32_t v) {
    PutU32LE(p, static_cast<uint32_t>(v));
}
inline void PutI64LE(uint8_t *p, int64_t v) {
    PutU64LE(p, static_cast<uint64_t>(v));
}

// Reads a 15-byte name field by the name rule.
std::string GetNameField(const uint8_t *field);

// Writes name into a 15-byte name field: at most its first 14 bytes, then zeros. A name that
// holds a zero byte is thereby cut at that byte when read back.
void PutNameField(uint8_t *field, const std::string &name);

// Codecs of whole records. `bytes` must hold kDescriptorSize or kRecordSize bytes.
void EncodeFieldDescriptor(const FieldDescriptor &descriptor, uint8_t *bytes);
FieldDescriptor DecodeFieldDescriptor(const uint8_t *bytes);

// Builds the data record of one value byte written under `descriptor`; the name follows the
// name rule and the lastFlag is 1 or 0.
void EncodeDataRecord(const FieldDescriptor &descriptor, uint8_t valueByte, int64_t recipeKey, bool last,
                      uint8_t *bytes);
void EncodeDataRecord(const DataRecord &record, uint8_t *bytes);
DataRecord DecodeDataRecord(const uint8_t *bytes);

// Compares the name field of encoded data records with one fixed name, without building
// strings: a record matches when its name, read by the name rule, equals the name byte for
// byte. A name longer than 14 bytes or holding a zero byte matches no record.
struct NameMatcher {
    bool possible = false; // false: the name can match no record
    uint64_t lowMask = 0, lowBytes = 0, highMask = 0, highBytes = 0;
};
NameMatcher MakeNameMatcher(const std::string &name);

// The 16 bytes at offsets 5..20 of a data record, which cover its name field, as two words.
struct NameWords {
    uint64_t low = 0, high = 0;
};
inline NameWords GetNameWords(const uint8_t *record) {
    return {GetU64LE(record + kRecordFieldName), GetU64LE(record + kRecordFieldName + 8)};
}

// The masks select the significant part of the name field: the name's bytes and its
// terminator, or the first 14 bytes for a 14-byte name.
inline bool NameWordsMatch(const NameWords &words, const NameMatcher &matcher) {
    return matcher.possible && (words.low & matcher.lowMask) == matcher.lowBytes &&
           (words.high & matcher.highMask) == matcher.highBytes;
}

// `record` points at a whole 38-byte data record.
inline bool RecordNameMatches(const uint8_t *record, const NameMatcher &matcher) {
    return NameWordsMatch(GetNameWords(record), matcher);
}
