// The fast reader and the one-pass reader against the reference reader on thousands of
// generated stores. Each store comes from its own seed: a failure names the seed to replay.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "store/field_scan.h"
#include "store/store.h"
#include "store_oracle.h"

namespace {

class StoreDifferential : public testing::Test {
protected:
    StoreDifferential() : folder_("diff") {}
    TempFolder folder_;
};

TEST_F(StoreDifferential, WellFormedStoresAgreeWithTheReference) {
    for (uint64_t seed = 1; seed <= GeneratedStoreCount(1000); ++seed) {
        std::mt19937_64 random(seed);
        const std::vector<uint8_t> bytes = GenerateRandomStore(random, false, 1 + static_cast<int>(seed % 12));
        const std::string problems = CompareReadersOnStore(bytes, folder_.Path(), {0, -1, 1000000});
        ASSERT_EQ(problems, "") << "well-formed store of seed " << seed;
    }
}

TEST_F(StoreDifferential, MalformedStoresAgreeWithTheReference) {
    for (uint64_t seed = 1; seed <= GeneratedStoreCount(3000); ++seed) {
        std::mt19937_64 random(seed * 7919);
        const std::vector<uint8_t> bytes = GenerateRandomStore(random, true, 1 + static_cast<int>(seed % 25));
        const std::string problems = CompareReadersOnStore(bytes, folder_.Path(), {0, -1, INT64_MIN, INT64_MAX});
        ASSERT_EQ(problems, "") << "malformed store of seed " << seed * 7919;
    }
}

TEST_F(StoreDifferential, StoresLargerThanAReadBlockAgreeWithTheReference) {
    // Values that straddle the boundaries of the readers' blocks, well formed and malformed.
    for (uint64_t seed = 1; seed <= 6; ++seed) {
        std::mt19937_64 random(seed);
        std::vector<uint8_t> bytes = GenerateWellFormedStore(random, 4 + static_cast<int>(seed), 2000 + 997 * seed);
        if (seed % 2 == 0) {
            const std::vector<uint8_t> more = GenerateRandomStore(random, true, 300);
            bytes.insert(bytes.end(), more.begin(), more.end());
        }
        ASSERT_GT(bytes.size(), 2 * kReadBlockBytes);
        const std::string problems = CompareReadersOnStore(bytes, folder_.Path(), {0});
        ASSERT_EQ(problems, "") << "large store of seed " << seed;
    }
}

TEST_F(StoreDifferential, LongRunsThatChangeInTheirMiddleAgreeWithTheReference) {
    // Long runs of one name and key, read in bulk by the one-pass reader, broken now and then by
    // records that differ from their neighbours in a single byte of the name field or the key, or
    // that carry an odd lastFlag; the runs cross the readers' block boundaries.
    std::mt19937_64 random(42);
    const auto nameField = [](const std::string &name, uint8_t fifteenth, uint8_t leftover) {
        std::vector<uint8_t> field(kNameFieldSize, 0);
        std::copy(name.begin(), name.end(), field.begin());
        field[14] = fifteenth;
        if (name.size() < 13) {
            field[13] = leftover; // after the zero byte: carries no meaning
        }
        return field;
    };
    const std::vector<std::vector<uint8_t>> fields = {
        nameField("Imagen", 0, 0),         nameField("Imagen", 0, 'x'),         nameField("Imagen", 'y', 'x'),
        nameField("ABCDEFGHIJKLMN", 0, 0), nameField("ABCDEFGHIJKLMN", 'O', 0), nameField("ABCDEFGHIJKLMO", 0, 0),
    };
    const int32_t flags[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, -1, 256, 0x01000001};
    const int64_t keys[] = {1, 2, 1 + (int64_t{1} << 56), 3};
    std::vector<uint8_t> bytes;
    size_t field = 0, key = 0;
    while (bytes.size() < 3 * kReadBlockBytes) {
        const size_t runLength = random() % 4 == 0 ? 1 + random() % 4 : 500 + random() % 9000;
        for (size_t i = 0; i < runLength; ++i) {
            DataRecord record;
            record.valueByte = static_cast<uint8_t>(random());
            record.recipeKey = keys[key];
            record.lastFlag = random() % 64 == 0 ? flags[random() % std::size(flags)] : 0;
            const size_t at = bytes.size();
            bytes.resize(at + kRecordSize);
            EncodeDataRecord(record, bytes.data() + at);
            std::copy(fields[field].begin(), fields[field].end(), bytes.begin() + at + kRecordFieldName);
        }
        if (random() % 3 == 0) {
            PutI32LE(bytes.data() + bytes.size() - kRecordSize + kRecordLastFlag, 1); // the run ends a value
        }
        if (random() % 2 == 0) {
            field = random() % fields.size();
        } else {
            key = random() % std::size(keys);
        }
    }
    const std::string problems =
        CompareReadersOnStore(bytes, folder_.Path(), {1, 2, 3, 1 + (int64_t{1} << 56), int64_t{1} << 56});
    ASSERT_EQ(problems, "");
}

} // namespace
