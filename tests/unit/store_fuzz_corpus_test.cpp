// Replays the fuzz targets' committed seed corpora through the same checks the fuzzers run.
#include <gtest/gtest.h>

#include <functional>

#include "index_check.h"
#include "store_oracle.h"

namespace {

// Runs `check` on every file of the target's hand-written seeds and of the corpus grown by
// scripts/fuzz (with every fault input it ever kept); returns the number of inputs.
int ReplayCorpus(const std::string &seeds, const std::string &target,
                 const std::function<std::string(const std::vector<uint8_t> &)> &check) {
    const std::filesystem::path fuzz = (std::filesystem::path(GUISLA_TEST_DATA_DIR) / ".." / "fuzz").lexically_normal();
    EXPECT_TRUE(std::filesystem::is_directory(fuzz / seeds)) << (fuzz / seeds).string();
    int inputs = 0;
    for (const auto &corpus : {fuzz / seeds, fuzz / "grown" / target}) {
        if (!std::filesystem::is_directory(corpus)) {
            continue;
        }
        for (const auto &entry : std::filesystem::directory_iterator(corpus)) {
            EXPECT_EQ(check(ReadWholeFile(entry.path())), "") << entry.path().string();
            ++inputs;
        }
    }
    return inputs;
}

TEST(StoreFuzzCorpus, EveryCommittedInputAgreesWithTheReference) {
    TempFolder folder("corpus");
    EXPECT_GE(ReplayCorpus("corpus", "store_fuzz",
                           [&folder](const std::vector<uint8_t> &data) {
                               return CheckStoreInput(data.data(), data.size(), folder.Path());
                           }),
              10);
}

TEST(StoreFuzzCorpus, EveryCommittedKeptIndexInputHolds) {
    TempFolder folder("index-corpus");
    EXPECT_GE(ReplayCorpus("index_corpus", "index_fuzz",
                           [&folder](const std::vector<uint8_t> &data) {
                               return CheckIndexInput(data.data(), data.size(), folder.Path());
                           }),
              4);
}

} // namespace
