// The file layer: exclusive opens with bounded retries, positioned I/O, injected faults.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "store/block_reader.h"
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

// The bytes BlockReader hands out for [from, to), concatenated, or "<failed>".
std::string ReadInBlocks(const StoreFile &file, int64_t from, int64_t to, size_t blockBytes, size_t *blocks = nullptr) {
    BlockReader reader(file, from, to, blockBytes);
    std::string bytes;
    for (;;) {
        const uint8_t *block = nullptr;
        size_t count = 0;
        if (reader.Next(block, count) != FileStatus::Ok) {
            return "<failed>";
        }
        if (count == 0) {
            return bytes;
        }
        EXPECT_LE(count, blockBytes);
        bytes.append(reinterpret_cast<const char *>(block), count);
        if (blocks != nullptr) {
            ++*blocks;
        }
    }
}

TEST_F(StoreFileLayer, BlockReaderHandsOutTheStretchInOrderAndStopsAtAFailure) {
    const std::filesystem::path path = folder_.Path() / "blocks.bin";
    std::string content(100003, '\0');
    for (size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<char>(i * 131 + i / 251);
    }
    {
        StoreFile writer;
        ASSERT_EQ(OpenStoreFile(path, FileAccess::Write, writer), FileStatus::Ok);
        ASSERT_EQ(StoreFileWrite(writer, 0, reinterpret_cast<const uint8_t *>(content.data()), content.size()),
                  FileStatus::Ok);
    }
    StoreFile file;
    ASSERT_EQ(OpenStoreFile(path, FileAccess::Read, file), FileStatus::Ok);
    // Read ahead by the second thread (many blocks, the last one short), and on the caller's own
    // thread (at most two blocks).
    size_t blocks = 0;
    EXPECT_EQ(ReadInBlocks(file, 7, 100003, 997, &blocks), content.substr(7));
    EXPECT_EQ(blocks, 101u);
    EXPECT_EQ(ReadInBlocks(file, 50, 1500, 997), content.substr(50, 1450));
    EXPECT_EQ(ReadInBlocks(file, 10, 10, 997), "");
    // A caller that stops early leaves nothing running.
    for (int i = 0; i < 20; ++i) {
        BlockReader reader(file, 0, 100003, 101);
        const uint8_t *block = nullptr;
        size_t count = 0;
        ASSERT_EQ(reader.Next(block, count), FileStatus::Ok);
        EXPECT_EQ(std::string(reinterpret_cast<const char *>(block), count), content.substr(0, 101));
    }
    // A failed read, or a file shorter than the stretch, fails the stretch.
    SetFileFaultPlan({.failReadNumber = 5});
    EXPECT_EQ(ReadInBlocks(file, 0, 100003, 997), "<failed>");
    SetFileFaultPlan({});
    EXPECT_EQ(ReadInBlocks(file, 0, 100500, 997), "<failed>");
    EXPECT_EQ(ReadInBlocks(file, 99000, 100500, 997), "<failed>");

    // The file's identity stays while nothing changes and changes with a write of the same size.
    FileIdentity before;
    FileIdentity again;
    ASSERT_EQ(StoreFileIdentityOf(file, before), FileStatus::Ok);
    ASSERT_EQ(StoreFileIdentityOf(file, again), FileStatus::Ok);
    EXPECT_EQ(before, again);
    EXPECT_EQ(before.size, 100003);
    CloseStoreFile(file);
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // beyond the clock's grain
    StoreFile writer;
    ASSERT_EQ(OpenStoreFile(path, FileAccess::Write, writer), FileStatus::Ok);
    ASSERT_EQ(StoreFileWrite(writer, 500, reinterpret_cast<const uint8_t *>("x"), 1), FileStatus::Ok);
    FileIdentity after;
    ASSERT_EQ(StoreFileIdentityOf(writer, after), FileStatus::Ok);
    EXPECT_EQ(after.size, before.size);
    EXPECT_NE(after, before);
}

} // namespace
