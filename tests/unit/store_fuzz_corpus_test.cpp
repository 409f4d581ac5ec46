// Replays the fuzz target's committed seed corpus through the same check the fuzzer runs.
#include <gtest/gtest.h>

#include "store_oracle.h"

namespace {

TEST(StoreFuzzCorpus, EveryCommittedInputAgreesWithTheReference) {
    const std::filesystem::path corpus =
        (std::filesystem::path(GUISLA_TEST_DATA_DIR) / ".." / "fuzz" / "corpus").lexically_normal();
    ASSERT_TRUE(std::filesystem::is_directory(corpus)) << corpus.string();
    TempFolder folder("corpus");
    int inputs = 0;
    for (const auto &entry : std::filesystem::directory_iterator(corpus)) {
        const std::vector<uint8_t> data = ReadWholeFile(entry.path());
        EXPECT_EQ(CheckStoreInput(data.data(), data.size(), folder.Path()), "") << entry.path().filename().string();
        ++inputs;
    }
    EXPECT_GE(inputs, 10);
}

} // namespace
