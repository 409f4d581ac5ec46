// The four store operations on real files: counts, appends, the reading rule's edge cases,
// missing files and folders, schema files of odd sizes.
#include <gtest/gtest.h>

#include "store/field_scan.h"
#include "store/schema_table.h"
#include "store/store.h"
#include "store_oracle.h"

namespace {

class StoreOperations : public testing::Test {
protected:
    StoreOperations() : folder_("ops") { SetStoreLocation(folder_.Path(), "guisla"); }
    ~StoreOperations() override { SetFileFaultPlan({}); }

    std::filesystem::path Data() const { return folder_.Path() / "guisla.zbd"; }
    std::filesystem::path Schema() const { return folder_.Path() / "guisla.z04"; }

    // Appends a value through AppendDataRecord, byte by byte as the save does.
    static void Append(const FieldDescriptor &descriptor, int64_t key, const std::string &value) {
        for (size_t i = 0; i < value.size(); ++i) {
            ASSERT_EQ(AppendDataRecord(static_cast<uint8_t>(value[i]), descriptor, key, i + 1 == value.size()),
                      FileStatus::Ok);
        }
    }

    static const FieldDescriptor &Field(int position) { return SchemaTable()[static_cast<size_t>(position) - 1]; }

    TempFolder folder_;
};

TEST_F(StoreOperations, AbsentDataFileReadsEmptyAndIsCreatedEmpty) {
    EXPECT_EQ(LastRecipeKey(), 0);
    EXPECT_TRUE(std::filesystem::exists(Data()));
    EXPECT_EQ(std::filesystem::file_size(Data()), 0u);
    EXPECT_EQ(ReadFieldValue("Plato", 1), "");
    EXPECT_EQ(ReadFieldValue("Plato", 0), "");
}

TEST_F(StoreOperations, ValuesAreRunsOfOneRecordPerByteWithTheLastFlagOnTheLast) {
    Append(Field(kFieldDishName), 1, "T");
    Append(Field(kFieldIngredients), 1, "abc");
    Append(Field(kFieldElaboration), 1, "a\r\nb");
    const std::vector<DataRecord> records = DecodeDataFile(ReadWholeFile(Data()));
    ASSERT_EQ(records.size(), 8u);
    EXPECT_EQ(records[0].lastFlag, 1);
    EXPECT_EQ(records[1].lastFlag, 0);
    EXPECT_EQ(records[2].lastFlag, 0);
    EXPECT_EQ(records[3].lastFlag, 1);
    const uint8_t expectedBytes[] = {0x61, 0x0D, 0x0A, 0x62};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(records[4 + i].valueByte, expectedBytes[i]);
        EXPECT_EQ(records[4 + i].fieldName, "Preparaci\xF3n");
        EXPECT_EQ(records[4 + i].lastFlag, i == 3 ? 1 : 0);
        EXPECT_EQ(records[4 + i].maxLength, Field(kFieldElaboration).maxLength);
    }
    EXPECT_EQ(ReadFieldValue("Preparaci\xF3n", 1), "a\r\nb");
    EXPECT_EQ(ReadFieldValue("Ingredientes", 1), "abc");
    EXPECT_EQ(ReadFieldValue("Plato", 1), "T");
    EXPECT_EQ(LastRecipeKey(), 1);
}

TEST_F(StoreOperations, IncompleteTailIsIgnoredAndOverwrittenByTheNextAppend) {
    std::vector<uint8_t> bytes;
    AppendValueRecords(bytes, Field(kFieldDishName), 1, "Sopa");
    AppendValueRecords(bytes, Field(kFieldCategory), 4, "S");
    for (int i = 0; i < 20; ++i) {
        bytes.push_back(0xEE);
    }
    WriteWholeFile(Data(), bytes);
    ASSERT_EQ(std::filesystem::file_size(Data()), 38u * 5 + 20);

    EXPECT_EQ(LastRecipeKey(), 4);
    EXPECT_EQ(ReadFieldValue("Plato", 1), "Sopa");
    ASSERT_EQ(AppendDataRecord('X', Field(kFieldDishName), 5, true), FileStatus::Ok);
    const std::vector<uint8_t> after = ReadWholeFile(Data());
    ASSERT_EQ(after.size(), 228u);
    EXPECT_EQ(after[190 + kRecordValueByte], 'X');
    EXPECT_EQ(LastRecipeKey(), 5);
    EXPECT_EQ(ReadFieldValue("Plato", 5), "X");
}

TEST_F(StoreOperations, SecondRecipesDishNameIsFoundPastTheFirst) {
    for (int64_t key = 1; key <= 2; ++key) {
        Append(Field(kFieldDishName), key, key == 1 ? "Gazpacho" : "Paella");
        Append(Field(kFieldIngredients), key, "arroz");
        Append(Field(kFieldCategory), key, "Arroz");
    }
    EXPECT_EQ(ReadFieldValue("Plato", 2), "Paella");
    EXPECT_EQ(ReadFieldValue("Plato", 1), "Gazpacho");
    EXPECT_EQ(ReadFieldValue("Plato", 3), "");
    EXPECT_EQ(ReadFieldValue("Plat", 1), "");
    EXPECT_EQ(ReadFieldValue("Postre", 1), "");
}

TEST_F(StoreOperations, FourteenByteNamesRoundTripAndLongerNamesAreCut) {
    const FieldDescriptor fourteen{1, "ABCDEFGHIJKLMN", 0, 10, 0};
    const FieldDescriptor longer{1, "abcdefghijklmnopq", 0, 10, 0};
    Append(fourteen, 1, "xy");
    Append(longer, 1, "zw");
    EXPECT_EQ(ReadFieldValue("ABCDEFGHIJKLMN", 1), "xy");
    EXPECT_EQ(ReadFieldValue("abcdefghijklmn", 1), "zw");
    EXPECT_EQ(ReadFieldValue("abcdefghijklmno", 1), "");
    EXPECT_EQ(ReadFieldValue("abcdefghijklmnopq", 1), "");
    for (const DataRecord &record : DecodeDataFile(ReadWholeFile(Data()))) {
        EXPECT_EQ(record.fieldName.size(), 14u);
    }
}

TEST_F(StoreOperations, PictureWithZeroBytesReadsBackWhole) {
    std::string picture("\x89PNG\0\0\0\rIHDR\0", 13);
    picture += std::string(300, '\0');
    picture += "end";
    Append(Field(kFieldPicture), 1, picture);
    Append(Field(kFieldExtension), 1, "png");
    EXPECT_EQ(ReadFieldValue("Imagen", 1), picture);
    EXPECT_EQ(ReadFieldValue("extensi\xF3n", 1), "png");
}

TEST_F(StoreOperations, ReadingRuleEdgeCases) {
    // Keys 1 and 2 interleaved in one run of "Plato", an interrupted run, a second complete
    // value for key 1, and a value with lastFlag 2 on its last record.
    std::vector<uint8_t> bytes;
    auto put = [&bytes](const std::string &name, int64_t key, char byte, int32_t flag) {
        DataRecord record;
        record.fieldName = name;
        record.recipeKey = key;
        record.valueByte = static_cast<uint8_t>(byte);
        record.lastFlag = flag;
        bytes.resize(bytes.size() + kRecordSize);
        EncodeDataRecord(record, bytes.data() + bytes.size() - kRecordSize);
    };
    put("Plato", 1, 'a', 0);
    put("Plato", 2, 'x', 0);
    put("Plato", 1, 'b', 1); // key 1: "ab" (key 2's record leaves the accumulator alone)
    put("Plato", 2, 'y', 1); // key 2: "xy"
    put("Plato", 3, 'p', 0);
    put("Categoria", 3, 'C', 1);
    put("Plato", 3, 'q', 1); // key 3: "q" (another name emptied the accumulator)
    put("Plato", 1, 'z', 1); // a second value of key 1: the first wins
    put("Imagen", 4, 'i', 0);
    put("Imagen", 4, 'j', 2); // not 1: the run never ends
    put("Categoria", 4, 'K', 0);
    WriteWholeFile(Data(), bytes);

    EXPECT_EQ(ReadFieldValue("Plato", 1), "ab");
    EXPECT_EQ(ReadFieldValue("Plato", 2), "xy");
    EXPECT_EQ(ReadFieldValue("Plato", 3), "q");
    EXPECT_EQ(ReadFieldValue("Imagen", 4), "");
    EXPECT_EQ(ReadFieldValue("Categoria", 4), "");
    EXPECT_EQ(ReadFieldValue("Categoria", 3), "C");
    EXPECT_EQ(LastRecipeKey(), 4);

    std::vector<std::string> seen;
    ScanFieldValues({{"Plato"}, {"Imagen", false}}, [&seen](FoundValue &value) {
        seen.push_back(std::to_string(value.field) + ":" + std::to_string(value.key) + "=" + value.bytes + "@" +
                       std::to_string(value.span.firstOffset / kRecordSize) + "-" +
                       std::to_string(value.span.lastOffset / kRecordSize));
        return true;
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"0:1=ab@0-2", "0:2=xy@1-3", "0:3=q@6-6"}));
}

TEST_F(StoreOperations, ScanStopsWhenTheCallerSaysSoAndReportsProgress) {
    std::mt19937_64 random(5);
    WriteWholeFile(Data(), GenerateWellFormedStore(random, 30, 200));
    int reported = 0;
    EXPECT_EQ(ScanFieldValues({{"Plato"}}, [&reported](FoundValue &) { return ++reported < 3; }), FileStatus::Ok);
    EXPECT_EQ(reported, 3);

    int64_t lastScanned = 0, total = 0, size = 0;
    EXPECT_EQ(ScanFieldValues(
                  {{"Categoria"}}, [](FoundValue &) { return true; },
                  [&](int64_t scanned, int64_t all) {
                      lastScanned = scanned;
                      total = all;
                      return true;
                  },
                  &size),
              FileStatus::Ok);
    EXPECT_EQ(size, static_cast<int64_t>(std::filesystem::file_size(Data())));
    EXPECT_EQ(lastScanned, total);
    EXPECT_EQ(total, size);
}

TEST_F(StoreOperations, SpanReadRefusesASpanTheFileNoLongerHolds) {
    Append(Field(kFieldDishName), 1, "Tortilla");
    Append(Field(kFieldPicture), 1, std::string(1000, '\x7F'));
    ValueSpan span;
    ScanFieldValues({{"Imagen", false}}, [&span](FoundValue &value) {
        span = value.span;
        return true;
    });
    EXPECT_EQ(span.firstOffset, 8 * kRecordSize);
    EXPECT_EQ(span.length, 1000);
    std::string value;
    EXPECT_EQ(ReadValueSpan("Imagen", 1, span, value), FileStatus::Ok);
    EXPECT_EQ(value, std::string(1000, '\x7F'));
    EXPECT_EQ(ReadValueSpan("Imagen", 2, span, value), FileStatus::Failed);
    EXPECT_EQ(ReadValueSpan("Plato", 1, span, value), FileStatus::Failed);

    std::vector<uint8_t> bytes = ReadWholeFile(Data());
    bytes.resize(bytes.size() - kRecordSize); // the last record is gone
    WriteWholeFile(Data(), bytes);
    EXPECT_EQ(ReadValueSpan("Imagen", 1, span, value), FileStatus::Failed);
    EXPECT_EQ(value, "");
    bytes.resize(bytes.size() - 500 * kRecordSize); // cut inside the value, then a new value after
    AppendValueRecords(bytes, Field(kFieldCategory), 1, std::string(600, 'C'));
    WriteWholeFile(Data(), bytes);
    EXPECT_EQ(ReadValueSpan("Imagen", 1, span, value), FileStatus::Failed);
}

TEST_F(StoreOperations, SchemaCountsWholeDescriptorsOnly) {
    std::vector<uint8_t> bytes = SchemaFileBytes();
    WriteWholeFile(Schema(), bytes);
    EXPECT_EQ(LoadFieldSchema(), 6);
    ASSERT_EQ(FieldSchema.size(), 6u);
    for (int position = 1; position <= 6; ++position) {
        EXPECT_EQ(SchemaDescriptor(position)->fieldName, SchemaTable()[static_cast<size_t>(position) - 1].fieldName);
        EXPECT_EQ(SchemaDescriptor(position)->maxLength, SchemaTable()[static_cast<size_t>(position) - 1].maxLength);
    }
    EXPECT_EQ(SchemaDescriptor(0), nullptr);
    EXPECT_EQ(SchemaDescriptor(7), nullptr);

    bytes.pop_back();
    WriteWholeFile(Schema(), bytes);
    EXPECT_EQ(LoadFieldSchema(), 5);
    EXPECT_EQ(FieldSchema.size(), 5u);
    EXPECT_EQ(SchemaDescriptor(6), nullptr);

    WriteWholeFile(Schema(), {});
    EXPECT_EQ(LoadFieldSchema(), 0);
    EXPECT_TRUE(FieldSchema.empty());
}

TEST_F(StoreOperations, MissingSchemaIsCreatedEmpty) {
    EXPECT_EQ(LoadFieldSchema(), 0);
    EXPECT_TRUE(std::filesystem::exists(Schema()));
    EXPECT_EQ(std::filesystem::file_size(Schema()), 0u);
}

TEST_F(StoreOperations, MissingFolderIsNeverCreatedAndReadsEmpty) {
    WriteWholeFile(Schema(), SchemaFileBytes());
    EXPECT_EQ(LoadFieldSchema(), 6);
    const std::filesystem::path gone = folder_.Path() / "nowhere";
    SetStoreLocation(gone, "guisla");
    EXPECT_EQ(LoadFieldSchema(), 0);
    EXPECT_TRUE(FieldSchema.empty());
    EXPECT_EQ(LastRecipeKey(), 0);
    EXPECT_EQ(ReadFieldValue("Plato", 1), "");
    EXPECT_EQ(AppendDataRecord('a', Field(kFieldDishName), 1, true), FileStatus::Missing);
    EXPECT_EQ(ScanFieldValues({{"Plato"}}, [](FoundValue &) { return true; }), FileStatus::Missing);
    EXPECT_FALSE(std::filesystem::exists(gone));

    SetStoreLocation({}, "guisla"); // no location set at all
    EXPECT_EQ(LastRecipeKey(), 0);
    EXPECT_EQ(AppendDataRecord('a', Field(kFieldDishName), 1, true), FileStatus::Missing);
}

TEST_F(StoreOperations, FolderWithNonAsciiNameWorks) {
    const std::filesystem::path folder = folder_.Path() / std::filesystem::path(u8"Cocina \u00f1and\u00fa \u20ac");
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    SetStoreLocation(folder, "guisla");
    WriteWholeFile(folder / "guisla.z04", SchemaFileBytes());
    EXPECT_EQ(LoadFieldSchema(), 6);
    Append(*SchemaDescriptor(kFieldDishName), 1, "Flan");
    EXPECT_EQ(ReadFieldValue("Plato", 1), "Flan");
    EXPECT_EQ(LastRecipeKey(), 1);
    EXPECT_EQ(std::filesystem::file_size(folder / "guisla.zbd"), 4u * kRecordSize);
}

} // namespace
