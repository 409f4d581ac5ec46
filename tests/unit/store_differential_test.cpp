// The fast reader and the one-pass reader against the reference reader on thousands of
// generated stores. Each store comes from its own seed: a failure names the seed to replay.
#include <gtest/gtest.h>

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
    for (uint64_t seed = 1; seed <= 1000; ++seed) {
        std::mt19937_64 random(seed);
        const std::vector<uint8_t> bytes = GenerateRandomStore(random, false, 1 + static_cast<int>(seed % 12));
        const std::string problems = CompareReadersOnStore(bytes, folder_.Path(), {0, -1, 1000000});
        ASSERT_EQ(problems, "") << "well-formed store of seed " << seed;
    }
}

TEST_F(StoreDifferential, MalformedStoresAgreeWithTheReference) {
    for (uint64_t seed = 1; seed <= 3000; ++seed) {
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

} // namespace
