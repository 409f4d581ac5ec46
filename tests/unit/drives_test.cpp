// The drive probe through an injected drive-type query: which drives are fixed, which pass a
// pump, and where the picture cache folder lands.
#include "state/drives.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

std::map<char, unsigned> drives;
std::string asked;
int pumps = 0;

unsigned FakeDriveType(const char *root) {
    asked += root[0];
    EXPECT_EQ(std::string(root).substr(1), ":\\");
    auto found = drives.find(root[0]);
    return found == drives.end() ? 1u /* no root */ : found->second;
}

void CountPump() {
    ++pumps;
}

void Probe(std::map<char, unsigned> machine) {
    drives = std::move(machine);
    asked.clear();
    pumps = 0;
    ProbeDrives(FakeDriveType, CountPump);
}

constexpr unsigned kCdRom = 5;
constexpr unsigned kRemote = 4;

TEST(ProbeDrives, FixedDrivesInOrderAndCacheOnTheFirst) {
    Probe({{'C', kDriveFixed}, {'D', kDriveFixed}, {'E', kCdRom}});
    EXPECT_EQ(asked, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_STREQ(FixedDrives[0], "C:");
    EXPECT_STREQ(FixedDrives[1], "D:");
    EXPECT_STREQ(FixedDrives[2], "");
    EXPECT_EQ(PictureCacheFolder, "C:\\quelmo cache\\");
    EXPECT_EQ(pumps, 24) << "one pump pass per letter that is neither fixed nor removable";
}

TEST(ProbeDrives, RemovableAndNetworkDrivesAreSkipped) {
    Probe({{'A', kDriveRemovable}, {'C', kDriveFixed}});
    EXPECT_STREQ(FixedDrives[0], "C:");
    EXPECT_EQ(PictureCacheFolder, "C:\\quelmo cache\\");
    EXPECT_EQ(pumps, 24) << "the removable drive passes no pump";

    Probe({{'C', kRemote}, {'D', kDriveFixed}});
    EXPECT_STREQ(FixedDrives[0], "D:");
    EXPECT_EQ(PictureCacheFolder, "D:\\quelmo cache\\");
}

TEST(ProbeDrives, NoFixedDriveAndMoreThanSixteen) {
    Probe({});
    EXPECT_STREQ(FixedDrives[0], "");
    EXPECT_EQ(PictureCacheFolder, "\\quelmo cache\\");

    std::map<char, unsigned> many;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        many[letter] = kDriveFixed;
    }
    Probe(many);
    EXPECT_STREQ(FixedDrives[0], "A:");
    EXPECT_STREQ(FixedDrives[15], "P:") << "the first sixteen are kept";
    EXPECT_EQ(pumps, 0);

    // A second probe starts afresh.
    Probe({{'Z', kDriveFixed}});
    EXPECT_STREQ(FixedDrives[0], "Z:");
    EXPECT_STREQ(FixedDrives[1], "");
}

} // namespace
