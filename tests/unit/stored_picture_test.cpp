// Locating and streaming a recipe's picture against ReadFieldValue, on generated well-formed and
// malformed stores, and in pieces for a picture larger than a read block.
#include "search/stored_picture.h"

#include "search/cache_name.h"
#include "store/schema_table.h"
#include "store/store.h"
#include "store_oracle.h"

#include <gtest/gtest.h>

#include <set>

namespace {

const std::string &PictureName() {
    return SchemaTable()[kFieldPicture - 1].fieldName;
}
const std::string &ExtensionName() {
    return SchemaTable()[kFieldExtension - 1].fieldName;
}

// The picture streamed whole, or "<failed>".
std::string StreamWhole(const StoredPicture &picture, size_t *largestPiece = nullptr, size_t *pieces = nullptr) {
    std::string bytes;
    const FileStatus status = StreamStoredPicture(picture, [&](const uint8_t *data, size_t count) {
        bytes.append(reinterpret_cast<const char *>(data), count);
        if (largestPiece != nullptr) {
            *largestPiece = std::max(*largestPiece, count);
        }
        if (pieces != nullptr) {
            ++*pieces;
        }
        return true;
    });
    return status == FileStatus::Ok ? bytes : "<failed>";
}

// Compares the located picture of every key of the store (and a few more) with ReadFieldValue.
std::string Compare(const std::vector<uint8_t> &bytes, const std::filesystem::path &folder) {
    WriteWholeFile(folder / "guisla.zbd", bytes);
    SetStoreLocation(folder, "guisla");
    std::set<int64_t> keys = {0, -1, INT64_MAX};
    for (const DataRecord &record : DecodeDataFile(bytes)) {
        keys.insert(record.recipeKey);
    }
    for (int64_t key : keys) {
        const StoredPicture picture = LocateStoredPicture(key);
        const std::string expectedPicture = ReadFieldValue(PictureName(), key);
        const std::string expectedExtension = SafeCacheExtension(ReadFieldValue(ExtensionName(), key));
        if (picture.key != key || picture.hasPicture != !expectedPicture.empty() ||
            StreamWhole(picture) != expectedPicture || picture.extension != expectedExtension) {
            return "key " + std::to_string(key) + " differs";
        }
    }
    return "";
}

class StoredPictureTest : public testing::Test {
protected:
    StoredPictureTest() : folder_("picture") {}
    TempFolder folder_;
};

TEST_F(StoredPictureTest, AgreesWithReadFieldValueOnGeneratedStores) {
    for (uint64_t seed = 1; seed <= GeneratedStoreCount(200); ++seed) {
        std::mt19937_64 random(seed);
        const std::vector<uint8_t> bytes = GenerateRandomStore(random, false, 1 + static_cast<int>(seed % 10));
        ASSERT_EQ(Compare(bytes, folder_.Path()), "") << "well-formed store of seed " << seed;
    }
    for (uint64_t seed = 1; seed <= GeneratedStoreCount(600); ++seed) {
        std::mt19937_64 random(seed * 104729);
        const std::vector<uint8_t> bytes = GenerateRandomStore(random, true, 1 + static_cast<int>(seed % 25));
        ASSERT_EQ(Compare(bytes, folder_.Path()), "") << "malformed store of seed " << seed * 104729;
    }
}

TEST_F(StoredPictureTest, LargePictureArrivesWholeInPieces) {
    std::mt19937_64 random(5);
    const size_t pictureBytes = 3 * kLongReadBlockBytes / kRecordSize + 123; // spans four read blocks
    const std::vector<uint8_t> bytes = GenerateWellFormedStore(random, 3, pictureBytes);
    ASSERT_EQ(Compare(bytes, folder_.Path()), "");
    const StoredPicture picture = LocateStoredPicture(2);
    ASSERT_TRUE(picture.hasPicture);
    EXPECT_EQ(picture.pictureSpan.length, static_cast<int64_t>(pictureBytes));
    EXPECT_EQ(picture.extension, "jpg");
    size_t largest = 0;
    size_t pieces = 0;
    EXPECT_EQ(StreamWhole(picture, &largest, &pieces), ReadFieldValue(PictureName(), 2));
    EXPECT_GE(pieces, 4u);
    EXPECT_LE(largest, kLongReadBlockBytes / kRecordSize); // never more than one block's worth at once
}

TEST_F(StoredPictureTest, HostileAndHugeExtensionsAreReducedWhileRead) {
    const std::vector<FieldDescriptor> &schema = SchemaTable();
    std::vector<uint8_t> bytes;
    AppendValueRecords(bytes, schema[kFieldPicture - 1], 1, "PIC1");
    AppendValueRecords(bytes, schema[kFieldExtension - 1], 1, "..\\..\\evil:$DATA");
    AppendValueRecords(bytes, schema[kFieldPicture - 1], 2, std::string("\0\1\2", 3));
    // A huge extension: only its first letters and digits matter.
    AppendValueRecords(bytes, schema[kFieldExtension - 1], 2, std::string(200000, '.') + "png" + std::string(50, 'x'));
    AppendValueRecords(bytes, schema[kFieldCategory - 1], 3, "Arroz"); // recipe 3 without picture
    ASSERT_EQ(Compare(bytes, folder_.Path()), "");

    EXPECT_EQ(LocateStoredPicture(1).extension, "evilDATA");
    const StoredPicture second = LocateStoredPicture(2);
    EXPECT_EQ(second.extension, "png" + std::string(13, 'x'));
    EXPECT_EQ(StreamWhole(second), std::string("\0\1\2", 3));
    const StoredPicture third = LocateStoredPicture(3);
    EXPECT_FALSE(third.hasPicture);
    EXPECT_EQ(third.extension, "");
    EXPECT_EQ(StreamWhole(third), "");
}

TEST_F(StoredPictureTest, StoreChangedAfterLocatingFailsTheStream) {
    const std::vector<FieldDescriptor> &schema = SchemaTable();
    std::vector<uint8_t> bytes;
    AppendValueRecords(bytes, schema[kFieldPicture - 1], 1, "abcdef");
    AppendValueRecords(bytes, schema[kFieldExtension - 1], 1, "gif");
    ASSERT_EQ(Compare(bytes, folder_.Path()), "");
    const StoredPicture picture = LocateStoredPicture(1);
    bytes.resize(3 * kRecordSize); // the file was cut in the middle of the picture
    WriteWholeFile(folder_.Path() / "guisla.zbd", bytes);
    EXPECT_EQ(StreamWhole(picture), "<failed>");
}

TEST_F(StoredPictureTest, MissingStoreGivesNoPicture) {
    SetStoreLocation(folder_.Path() / "absent", "guisla");
    const StoredPicture picture = LocateStoredPicture(1);
    EXPECT_FALSE(picture.hasPicture);
    EXPECT_EQ(picture.extension, "");
    EXPECT_EQ(StreamWhole(picture), "");
}

} // namespace
