// Replays the fuzz target's committed seed corpus through the same check the fuzzer runs.
#include <gtest/gtest.h>

#include "store_oracle.h"

namespace {

// The hand-written seeds and the corpus grown by scripts/fuzz, with every fault input it ever kept.
TEST(StoreFuzzCorpus, EveryCommittedInputAgreesWithTheReference) {
    const std::filesystem::path fuzz = (std::filesystem::path(GUISLA_TEST_DATA_DIR) / ".." / "fuzz").lexically_normal();
    ASSERT_TRUE(std::filesystem::is_directory(fuzz / "corpus")) << fuzz.string();
    TempFolder folder("corpus");
    int inputs = 0;
    for (const auto &corpus : {fuzz / "corpus", fuzz / "grown" / "store_fuzz"}) {
        if (!std::filesystem::is_directory(corpus)) {
            continue;
        }
        for (const auto &entry : std::filesystem::directory_iterator(corpus)) {
            const std::vector<uint8_t> data = ReadWholeFile(entry.path());
            EXPECT_EQ(CheckStoreInput(data.data(), data.size(), folder.Path()), "") << entry.path().string();
            ++inputs;
        }
    }
    EXPECT_GE(inputs, 10);
}

} // namespace
