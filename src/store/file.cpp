// The portable half of the file layer: the open retries, the RAII holder and fault injection.
#include "store/file.h"

#include <chrono>
#include <thread>
#include <utility>

#include "store/file_platform.h"

namespace {

FileFaultPlan faultPlan;
int64_t writesSincePlan = 0;
int64_t readsSincePlan = 0;
int64_t busyOpens = 0;

// Waits between attempts to open a file that another opener holds: about one second in all.
constexpr int kOpenRetryDelaysMs[] = {10, 20, 40, 80, 150, 200, 250, 250};

FileStatus OpenOnce(const std::filesystem::path &path, FileAccess access, intptr_t &handle) {
    if (faultPlan.busyOpens > 0) {
        --faultPlan.busyOpens;
        return FileStatus::Busy;
    }
    return PlatformOpen(path, access, handle);
}

} // namespace

StoreFile::~StoreFile() {
    if (IsOpen()) {
        PlatformClose(handle);
    }
}

StoreFile::StoreFile(StoreFile &&other) noexcept : handle(std::exchange(other.handle, kNoHandle)) {}

StoreFile &StoreFile::operator=(StoreFile &&other) noexcept {
    if (this != &other) {
        if (IsOpen()) {
            PlatformClose(handle);
        }
        handle = std::exchange(other.handle, kNoHandle);
    }
    return *this;
}

FileStatus OpenStoreFile(const std::filesystem::path &path, FileAccess access, StoreFile &file) {
    file = StoreFile();
    if (path.empty()) {
        return FileStatus::Missing;
    }
    intptr_t handle = StoreFile::kNoHandle;
    FileStatus status = OpenOnce(path, access, handle);
    for (int delayMs : kOpenRetryDelaysMs) {
        if (status != FileStatus::Busy) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        status = OpenOnce(path, access, handle);
    }
    if (status == FileStatus::Ok) {
        file.handle = handle;
    } else if (status == FileStatus::Busy) {
        ++busyOpens;
    }
    return status;
}

int64_t BusyOpenCount() {
    return busyOpens;
}

FileStatus CloseStoreFile(StoreFile &file) {
    if (!file.IsOpen()) {
        return FileStatus::Ok;
    }
    return PlatformClose(std::exchange(file.handle, StoreFile::kNoHandle));
}

FileStatus StoreFileSize(const StoreFile &file, int64_t &size) {
    size = 0;
    if (!file.IsOpen()) {
        return FileStatus::Failed;
    }
    return PlatformSize(file.handle, size);
}

FileStatus StoreFileIdentityOf(const StoreFile &file, FileIdentity &identity) {
    identity = FileIdentity();
    if (!file.IsOpen()) {
        return FileStatus::Failed;
    }
    return PlatformIdentity(file.handle, identity);
}

void StoreFileWillRead(const StoreFile &file, int64_t offset, int64_t count) {
    if (file.IsOpen() && offset >= 0 && count > 0) {
        PlatformWillRead(file.handle, offset, count);
    }
}

FileStatus StoreFileRead(const StoreFile &file, int64_t offset, uint8_t *buffer, size_t count, size_t &got) {
    got = 0;
    if (!file.IsOpen() || offset < 0) {
        return FileStatus::Failed;
    }
    ++readsSincePlan;
    if (faultPlan.failReadNumber != 0 && readsSincePlan == faultPlan.failReadNumber) {
        return FileStatus::Failed;
    }
    return PlatformRead(file.handle, offset, buffer, count, got);
}

FileStatus StoreFileWrite(const StoreFile &file, int64_t offset, const uint8_t *data, size_t count) {
    if (!file.IsOpen() || offset < 0) {
        return FileStatus::Failed;
    }
    ++writesSincePlan;
    if (faultPlan.failWriteNumber != 0 && writesSincePlan == faultPlan.failWriteNumber) {
        const size_t partial = faultPlan.partialWriteBytes < count ? faultPlan.partialWriteBytes : count;
        if (partial > 0) {
            PlatformWrite(file.handle, offset, data, partial);
        }
        return faultPlan.writeFailure;
    }
    return PlatformWrite(file.handle, offset, data, count);
}

FileStatus StoreFileSetLength(const StoreFile &file, int64_t length) {
    if (!file.IsOpen() || length < 0 || faultPlan.failSetLength) {
        return FileStatus::Failed;
    }
    return PlatformSetLength(file.handle, length);
}

FileStatus StoreFileFlush(const StoreFile &file) {
    if (!file.IsOpen() || faultPlan.failFlush) {
        return FileStatus::Failed;
    }
    return PlatformFlush(file.handle);
}

FileStatus ReplaceStoreFile(const std::filesystem::path &from, const std::filesystem::path &to) {
    return PlatformReplace(from, to);
}

void SetFileFaultPlan(const FileFaultPlan &plan) {
    faultPlan = plan;
    writesSincePlan = 0;
    readsSincePlan = 0;
}
