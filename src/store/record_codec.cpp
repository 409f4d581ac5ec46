// Byte codecs of the field descriptor and the data record (layouts in record_codec.h).
#include "store/record_codec.h"

std::string GetNameField(const uint8_t *field) {
    size_t length = 0;
    while (length < kMaxNameLength && field[length] != 0) {
        ++length;
    }
    return std::string(reinterpret_cast<const char *>(field), length);
}

void PutNameField(uint8_t *field, const std::string &name) {
    std::memset(field, 0, kNameFieldSize);
    std::memcpy(field, name.data(), name.size() < kMaxNameLength ? name.size() : kMaxNameLength);
}

void EncodeFieldDescriptor(const FieldDescriptor &descriptor, uint8_t *bytes) {
    PutI32LE(bytes + kDescriptorAttribute0, descriptor.attribute0);
    PutNameField(bytes + kDescriptorFieldName, descriptor.fieldName);
    PutI16LE(bytes + kDescriptorAttribute1, descriptor.attribute1);
    PutI16LE(bytes + kDescriptorMaxLength, descriptor.maxLength);
    PutI16LE(bytes + kDescriptorAttribute2, descriptor.attribute2);
}

FieldDescriptor DecodeFieldDescriptor(const uint8_t *bytes) {
    FieldDescriptor descriptor;
    descriptor.attribute0 = GetI32LE(bytes + kDescriptorAttribute0);
    descriptor.fieldName = GetNameField(bytes + kDescriptorFieldName);
    descriptor.attribute1 = GetI16LE(bytes + kDescriptorAttribute1);
    descriptor.maxLength = GetI16LE(bytes + kDescriptorMaxLength);
    descriptor.attribute2 = GetI16LE(bytes + kDescriptorAttribute2);
    return descriptor;
}

void EncodeDataRecord(const FieldDescriptor &descriptor, uint8_t valueByte, int64_t recipeKey, bool last,
                      uint8_t *bytes) {
    PutI32LE(bytes + kRecordAttribute0, descriptor.attribute0);
    bytes[kRecordValueByte] = valueByte;
    PutNameField(bytes + kRecordFieldName, descriptor.fieldName);
    PutI16LE(bytes + kRecordAttribute1, descriptor.attribute1);
    PutI16LE(bytes + kRecordMaxLength, descriptor.maxLength);
    PutI64LE(bytes + kRecordKey, recipeKey);
    PutI16LE(bytes + kRecordAttribute2, descriptor.attribute2);
    PutI32LE(bytes + kRecordLastFlag, last ? 1 : 0);
}

void EncodeDataRecord(const DataRecord &record, uint8_t *bytes) {
    PutI32LE(bytes + kRecordAttribute0, record.attribute0);
    bytes[kRecordValueByte] = record.valueByte;
    PutNameField(bytes + kRecordFieldName, record.fieldName);
    PutI16LE(bytes + kRecordAttribute1, record.attribute1);
    PutI16LE(bytes + kRecordMaxLength, record.maxLength);
    PutI64LE(bytes + kRecordKey, record.recipeKey);
    PutI16LE(bytes + kRecordAttribute2, record.attribute2);
    PutI32LE(bytes + kRecordLastFlag, record.lastFlag);
}

DataRecord DecodeDataRecord(const uint8_t *bytes) {
    DataRecord record;
    record.attribute0 = GetI32LE(bytes + kRecordAttribute0);
    record.valueByte = bytes[kRecordValueByte];
    record.fieldName = GetNameField(bytes + kRecordFieldName);
    record.attribute1 = GetI16LE(bytes + kRecordAttribute1);
    record.maxLength = GetI16LE(bytes + kRecordMaxLength);
    record.recipeKey = GetI64LE(bytes + kRecordKey);
    record.attribute2 = GetI16LE(bytes + kRecordAttribute2);
    record.lastFlag = GetI32LE(bytes + kRecordLastFlag);
    return record;
}

NameMatcher MakeNameMatcher(const std::string &name) {
    NameMatcher matcher;
    if (name.size() > kMaxNameLength || name.find('\0') != std::string::npos) {
        return matcher;
    }
    // Significant bytes of the field: the name and its terminator; a 14-byte name needs none,
    // since the rule stops after 14 bytes whatever follows.
    uint8_t expected[16] = {};
    std::memcpy(expected, name.data(), name.size());
    const size_t significant = name.size() < kMaxNameLength ? name.size() + 1 : kMaxNameLength;
    for (size_t i = 0; i < significant; ++i) {
        const uint64_t byteMask = uint64_t{0xFF} << (8 * (i % 8));
        const uint64_t byteValue = uint64_t{expected[i]} << (8 * (i % 8));
        if (i < 8) {
            matcher.lowMask |= byteMask;
            matcher.lowBytes |= byteValue;
        } else {
            matcher.highMask |= byteMask;
            matcher.highBytes |= byteValue;
        }
    }
    matcher.possible = true;
    return matcher;
}
