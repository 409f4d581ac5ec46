// Reading a stretch of an open file block after block, with the next blocks read by a second
// thread while the caller works on the one it has: a pass over gigabytes then costs about what
// the slower of the two costs, the disk (or the copy out of the system's cache) or the caller's
// work, instead of both. A stretch of at most two blocks is read on the caller's thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "store/file.h"

class BlockReader {
public:
    // Reads [from, to) of `file` (which must stay open while the reader lives) in blocks of
    // `blockBytes` bytes (the last may be shorter).
    BlockReader(const StoreFile &file, int64_t from, int64_t to, size_t blockBytes);
    ~BlockReader(); // stops the reading thread, whatever it was doing
    BlockReader(const BlockReader &) = delete;
    BlockReader &operator=(const BlockReader &) = delete;

    // The next block: `bytes` and `count` (0 at the end of the stretch). The block stays valid
    // until the next call. Ok, or the read's failure; a block that the file ended before is Failed.
    FileStatus Next(const uint8_t *&bytes, size_t &count);

private:
    static constexpr int kBuffers = 3;
    struct Slot {
        std::unique_ptr<uint8_t[]> bytes;
        size_t count = 0;
        FileStatus status = FileStatus::Ok;
    };
    void ReadAhead();
    bool ReadInto(Slot &slot, int64_t offset);

    const StoreFile &file;
    const int64_t from;
    const int64_t to;
    const size_t blockBytes;
    const int64_t blocks;
    Slot slots[kBuffers];
    std::atomic<int64_t> consumed = 0; // blocks handed to the caller (the last one still in use)
    template <typename Condition> void SpinFor(const Condition &condition);

    // Shared with the reading thread (changed under the mutex, so that a waiter never misses it).
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<int64_t> filled = 0; // blocks read
    std::atomic<bool> stop = false;
    std::thread reader;
};
