// A stretch of a file read block after block, the next blocks by a second thread.
#include "store/block_reader.h"

#include <algorithm>
#include <chrono>

BlockReader::BlockReader(const StoreFile &file, int64_t from, int64_t to, size_t blockBytes)
    : file(file), from(from), to(std::max(from, to)), blockBytes(blockBytes),
      blocks((this->to - from + static_cast<int64_t>(blockBytes) - 1) / static_cast<int64_t>(blockBytes)) {
    const int buffers = blocks <= 2 ? 1 : kBuffers;
    const size_t size = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(blockBytes), this->to - from));
    for (int i = 0; i < buffers; ++i) {
        slots[i].bytes = std::make_unique_for_overwrite<uint8_t[]>(std::max<size_t>(size, 1));
    }
    if (buffers > 1) {
        reader = std::thread([this] { ReadAhead(); });
    }
}

BlockReader::~BlockReader() {
    if (reader.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stop = true;
        }
        changed.notify_all();
        reader.join();
    }
}

bool BlockReader::ReadInto(Slot &slot, int64_t offset) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(blockBytes), to - offset));
    size_t got = 0;
    slot.status = StoreFileRead(file, offset, slot.bytes.get(), want, got);
    if (slot.status == FileStatus::Ok && got != want) {
        slot.status = FileStatus::Failed;
    }
    slot.count = got;
    return slot.status == FileStatus::Ok;
}

void BlockReader::ReadAhead() {
    for (int64_t block = 0; block < blocks; ++block) {
        {
            // A slot is free once the caller has moved past the block it held: the caller uses
            // block `consumed - 1`, so blocks up to consumed - 1 + kBuffers - 1 may be read.
            const auto free = [this, block] { return stop.load() || block < consumed.load() + kBuffers - 1; };
            SpinFor(free);
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, free);
            if (stop) {
                return;
            }
        }
        const bool ok = ReadInto(slots[block % kBuffers], from + block * static_cast<int64_t>(blockBytes));
        {
            std::lock_guard<std::mutex> lock(mutex);
            filled = block + 1;
        }
        changed.notify_all();
        if (!ok) {
            return; // the caller stops at the failed block
        }
    }
}

// Waits a moment for `condition` without sleeping: the two threads mostly take about as long
// for a block, and putting a thread to sleep and waking it is slow (under Wine a call to the
// window server each).
template <typename Condition> void BlockReader::SpinFor(const Condition &condition) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(500);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= until) {
            return;
        }
        std::this_thread::yield();
    }
}

FileStatus BlockReader::Next(const uint8_t *&bytes, size_t &count) {
    bytes = nullptr;
    count = 0;
    if (consumed >= blocks) {
        return FileStatus::Ok;
    }
    const int64_t block = consumed;
    Slot *slot = nullptr;
    if (!reader.joinable()) {
        slot = &slots[0];
        ReadInto(*slot, from + block * static_cast<int64_t>(blockBytes));
        consumed = block + 1;
    } else {
        {
            // Handing out block `block` frees the slot of the block before it.
            std::lock_guard<std::mutex> lock(mutex);
            consumed = block + 1;
        }
        changed.notify_all();
        const auto ready = [this, block] { return filled.load() > block; };
        SpinFor(ready);
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, ready);
        slot = &slots[block % kBuffers];
    }
    if (slot->status != FileStatus::Ok) {
        consumed = blocks; // nothing after a failure
        return slot->status;
    }
    bytes = slot->bytes.get();
    count = slot->count;
    return FileStatus::Ok;
}
