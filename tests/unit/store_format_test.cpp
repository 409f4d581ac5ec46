// Byte layouts of the two record formats, the name rule and the installed schema table.
#include <gtest/gtest.h>

#include <algorithm>

#include "store/record_codec.h"
#include "store/schema_table.h"

namespace {

std::vector<uint8_t> Hex(std::initializer_list<int> bytes) {
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

TEST(StoreFormat, ExampleRecordIsByteForByte) {
    const FieldDescriptor descriptor{1, "Plato", 0, 50, 0};
    std::vector<uint8_t> first(kRecordSize), last(kRecordSize);
    EncodeDataRecord(descriptor, 0x54, 1, false, first.data());
    EncodeDataRecord(descriptor, 0x6F, 1, true, last.data());
    const std::vector<uint8_t> expected =
        Hex({0x01, 0x00, 0x00, 0x00, 0x54, 0x50, 0x6C, 0x61, 0x74, 0x6F, 0x00, 0x00, 0x00,
             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x32, 0x00, 0x01, 0x00,
             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    EXPECT_EQ(first, expected);
    for (size_t i = 0; i < kRecordSize; ++i) {
        if (i != kRecordValueByte && i != kRecordLastFlag) {
            EXPECT_EQ(last[i], first[i]) << "offset " << i;
        }
    }
    EXPECT_EQ(last[4], 0x6F);
    EXPECT_EQ(std::vector<uint8_t>(last.begin() + 34, last.end()), Hex({1, 0, 0, 0}));
}

TEST(StoreFormat, RecordsAndDescriptorsRoundTripWithSignedLittleEndianFields) {
    DataRecord record;
    record.attribute0 = -2;
    record.valueByte = 0xFF;
    record.fieldName = "extensi\xF3n";
    record.attribute1 = -32768;
    record.maxLength = 32767;
    record.recipeKey = 0x0102030405060708;
    record.attribute2 = -1;
    record.lastFlag = 0x7FFFFFFF;
    uint8_t bytes[kRecordSize];
    EncodeDataRecord(record, bytes);
    EXPECT_EQ(bytes[24], 0x08);
    EXPECT_EQ(bytes[31], 0x01);
    EXPECT_EQ(bytes[20], 0x00);
    EXPECT_EQ(bytes[21], 0x80);
    const DataRecord back = DecodeDataRecord(bytes);
    EXPECT_EQ(back.attribute0, -2);
    EXPECT_EQ(back.valueByte, 0xFF);
    EXPECT_EQ(back.fieldName, "extensi\xF3n");
    EXPECT_EQ(back.attribute1, -32768);
    EXPECT_EQ(back.maxLength, 32767);
    EXPECT_EQ(back.recipeKey, 0x0102030405060708);
    EXPECT_EQ(back.attribute2, -1);
    EXPECT_EQ(back.lastFlag, 0x7FFFFFFF);

    const FieldDescriptor descriptor{-7, "Categoria", 3, -5, 9};
    uint8_t schemaBytes[kDescriptorSize];
    EncodeFieldDescriptor(descriptor, schemaBytes);
    EXPECT_EQ(schemaBytes[0], 0xF9);
    EXPECT_EQ(schemaBytes[4], 'C');
    EXPECT_EQ(schemaBytes[13], 0);
    EXPECT_EQ(schemaBytes[21], 0xFB);
    const FieldDescriptor got = DecodeFieldDescriptor(schemaBytes);
    EXPECT_EQ(got.attribute0, -7);
    EXPECT_EQ(got.fieldName, "Categoria");
    EXPECT_EQ(got.attribute1, 3);
    EXPECT_EQ(got.maxLength, -5);
    EXPECT_EQ(got.attribute2, 9);
}

TEST(StoreFormat, NameRuleReadsUpToTheZeroAndAtMostFourteenBytes) {
    const uint8_t leftovers[kNameFieldSize] = {'P', 'l', 'a', 't', 'o', 0, 'x', 'y', 'z', 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(GetNameField(leftovers), "Plato");
    const uint8_t noZero[kNameFieldSize] = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O'};
    EXPECT_EQ(GetNameField(noZero), "ABCDEFGHIJKLMN");

    uint8_t field[kNameFieldSize];
    std::fill(field, field + kNameFieldSize, 0xEE);
    PutNameField(field, "ABCDEFGHIJKLMNOPQ"); // cut to 14 bytes, then the zero byte
    EXPECT_EQ(field[13], 'N');
    EXPECT_EQ(field[14], 0);
    EXPECT_EQ(GetNameField(field), "ABCDEFGHIJKLMN");
    PutNameField(field, "Sal"); // zeros after the terminator, nothing left of the longer name
    EXPECT_TRUE(std::all_of(field + 3, field + kNameFieldSize, [](uint8_t b) { return b == 0; }));
}

TEST(StoreFormat, NameMatcherAgreesWithTheNameRule) {
    // Every way a field may hold a name, against names that should and should not match it.
    const std::vector<std::string> names = {
        "Plato",        "Plat", "Platos", "", "ABCDEFGHIJKLMN", "ABCDEFGHIJKLMNO", "Pla\xF3", std::string("Pl\0to", 5),
        "ABCDEFGHIJKLM"};
    const std::vector<std::vector<uint8_t>> fields = {
        {'P', 'l', 'a', 't', 'o', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {'P', 'l', 'a', 't', 'o', 0, 's', 0, 0, 0, 0, 0, 0, 0, 0},
        {'P', 'l', 'a', 't', 'o', 's', 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {0, 'P', 'l', 'a', 't', 'o', 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O'},
        {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 0},
        {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 0, 'O'},
        {'P', 'l', 'a', 0xF3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const std::vector<uint8_t> &field : fields) {
        uint8_t record[kRecordSize];
        std::fill(record, record + kRecordSize, 0xAB); // bytes around the name field must not matter
        std::copy(field.begin(), field.end(), record + kRecordFieldName);
        for (const std::string &name : names) {
            EXPECT_EQ(RecordNameMatches(record, MakeNameMatcher(name)), GetNameField(field.data()) == name)
                << "name of " << name.size() << " bytes against field starting " << int(field[0]);
        }
    }
}

TEST(StoreFormat, SchemaTableHoldsTheSixFieldsInOrder) {
    const std::vector<FieldDescriptor> &table = SchemaTable();
    ASSERT_EQ(table.size(), static_cast<size_t>(kSchemaFieldCount));
    EXPECT_EQ(table[kFieldDishName - 1].fieldName, "Plato");
    EXPECT_EQ(table[kFieldIngredients - 1].fieldName, "Ingredientes");
    EXPECT_EQ(table[kFieldElaboration - 1].fieldName, "Preparaci\xF3n");
    EXPECT_EQ(table[kFieldPicture - 1].fieldName, "Imagen");
    EXPECT_EQ(table[kFieldCategory - 1].fieldName, "Categoria");
    EXPECT_EQ(table[kFieldExtension - 1].fieldName, "extensi\xF3n");
    EXPECT_GE(table[kFieldCategory - 1].maxLength, 14); // "Tartas saladas"
    for (const FieldDescriptor &descriptor : table) {
        EXPECT_GT(descriptor.maxLength, 0) << descriptor.fieldName;
    }

    const std::vector<uint8_t> bytes = SchemaFileBytes();
    ASSERT_EQ(bytes.size(), 150u);
    EXPECT_EQ(bytes[3 * kDescriptorSize + kDescriptorFieldName], 'I'); // "Imagen" in the fourth descriptor
    EXPECT_EQ(bytes[2 * kDescriptorSize + kDescriptorFieldName + 9], 0xF3);
}

} // namespace
