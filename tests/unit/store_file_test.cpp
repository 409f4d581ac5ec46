// The file layer: exclusive opens with bounded retries, positioned I/O, injected faults.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "store/file.h"
#include "store/schema_table.h"
#include "store/store.h"
#include "store_oracle.h"

namespace {

class StoreFileLayer : public testing::Test {
protected:
    StoreFileLayer() : folder_("file") { SetStoreLocation(folder_.Path(), "guisla"); }
    ~StoreFileLayer() override { SetFileFaultPlan({}); }

    TempFolder folder_;
};

using Clock = std::chrono::steady_clock;

TEST_F(StoreFileLayer, SecondOpenerIsRefusedAfterAboutASecondOfRetries) {
    const std::filesystem::path path = folder_.Path() / "held.bin";
    StoreFile holder;
    ASSERT_EQ(OpenStoreFile(path, FileAccess::Read, holder), FileStatus::Ok);
    StoreFile second;
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(OpenStoreFile(path, FileAccess::Read, second), FileStatus::Busy);
    // The retries must have waited (a bound of the back-off, not a timing assertion on speed).
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(CloseStoreFile(holder), FileStatus::Ok);
    EXPECT_EQ(OpenStoreFile(path, FileAccess::Read, second), FileStatus::Ok);
}

// The readers give "" for a store held by another program as for a missing value; the count of
// busy opens tells them apart: it grows by one for each operation that gave up, never for one
// that got through on a retry.
TEST_F(StoreFileLayer, OperationsWaitForAShortHoldAndGiveUpOnALongOne) {
    const FieldDescriptor &dish = SchemaTable()[0];
    ASSERT_EQ(AppendDataRecord('P', dish, 3, true), FileStatus::Ok);
    const int64_t busyBefore = BusyOpenCount();
    {
        StoreFile holder;
        ASSERT_EQ(OpenStoreFile(DataFilePath(), FileAccess::Read, holder), FileStatus::Ok);
        std::thread release([&holder] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            CloseStoreFile(holder);
        });
        EXPECT_EQ(LastRecipeKey(), 3); // succeeds on a retry once the holder lets go
        release.join();
    }
    EXPECT_EQ(BusyOpenCount(), busyBefore);
    StoreFile holder;
    ASSERT_EQ(OpenStoreFile(DataFilePath(), FileAccess::ReadWrite, holder), FileStatus::Ok);
    EXPECT_EQ(LastRecipeKey(), 0);
    EXPECT_EQ(ReadFieldValue("Plato", 3), "");
    EXPECT_EQ(AppendDataRecord('Q', dish, 4, true), FileStatus::Busy);
    CloseStoreFile(holder);
    EXPECT_EQ(std::filesystem::file_size(DataFilePath()), static_cast<uintmax_t>(kRecordSize));
    EXPECT_EQ(BusyOpenCount(), busyBefore + 3);

    SetFileFaultPlan({.busyOpens = 2});
    EXPECT_EQ(ReadFieldValue("Plato", 3), "P");
    EXPECT_EQ(BusyOpenCount(), busyBefore + 3);
}

TEST_F(StoreFileLayer, PositionedReadsWritesLengthAndFlush) {
    StoreFile file;
    ASSERT_EQ(OpenStoreFile(folder_.Path() / "rw.bin", FileAccess::ReadWrite, file), FileStatus::Ok);
    const uint8_t data[] = {1, 2, 3, 4, 5};
    ASSERT_EQ(StoreFileWrite(file, 10, data, sizeof data), FileStatus::Ok);
    int64_t size = 0;
    ASSERT_EQ(StoreFileSize(file, size), FileStatus::Ok);
    EXPECT_EQ(size, 15);
    uint8_t back[20] = {};
    size_t got = 0;
    ASSERT_EQ(StoreFileRead(file, 8, back, sizeof back, got), FileStatus::Ok);
    EXPECT_EQ(got, 7u);
    EXPECT_EQ(back[0], 0);
    EXPECT_EQ(back[2], 1);
    EXPECT_EQ(back[6], 5);
    EXPECT_EQ(StoreFileFlush(file), FileStatus::Ok);
    EXPECT_EQ(StoreFileSetLength(file, 12), FileStatus::Ok);
    ASSERT_EQ(StoreFileSize(file, size), FileStatus::Ok);
    EXPECT_EQ(size, 12);
    ASSERT_EQ(StoreFileRead(file, 100, back, sizeof back, got), FileStatus::Ok);
    EXPECT_EQ(got, 0u);
}

TEST_F(StoreFileLayer, FailedAppendLeavesOnlyATailThatTheNextAppendOverwrites) {
    const FieldDescriptor &dish = SchemaTable()[0];
    ASSERT_EQ(AppendDataRecord('a', dish, 1, false), FileStatus::Ok);
    SetFileFaultPlan({.failWriteNumber = 1, .partialWriteBytes = 17, .writeFailure = FileStatus::DiskFull});
    EXPECT_EQ(AppendDataRecord('b', dish, 1, true), FileStatus::DiskFull);
    EXPECT_EQ(std::filesystem::file_size(DataFilePath()), static_cast<uintmax_t>(kRecordSize + 17));
    EXPECT_EQ(ReadFieldValue("Plato", 1), ""); // the value lacks its last record
    EXPECT_EQ(LastRecipeKey(), 1);
    ASSERT_EQ(AppendDataRecord('c', dish, 1, true), FileStatus::Ok);
    EXPECT_EQ(std::filesystem::file_size(DataFilePath()), static_cast<uintmax_t>(2 * kRecordSize));
    EXPECT_EQ(ReadFieldValue("Plato", 1), "ac");

    SetFileFaultPlan({.failReadNumber = 1});
    EXPECT_EQ(ReadFieldValue("Plato", 1), ""); // a read error reads as empty
}

} // namespace
