// The read-only open, on the same handles as the store's file layer (a descriptor on POSIX
// systems, a HANDLE on Windows) so that the store's readers can read through it.
#include "guisla_tool/readonly_file.h"

#include <chrono>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

constexpr int kRetryDelaysMs[] = {10, 20, 40, 80, 150, 200, 250, 250};

#ifdef _WIN32

FileStatus OpenOnce(const std::filesystem::path &path, intptr_t &handle) {
    // Other readers may share; the program, which opens without sharing, is refused meanwhile.
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_INVALID_DRIVE:
            return FileStatus::Missing;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return FileStatus::Busy;
        default:
            return FileStatus::Failed;
        }
    }
    handle = reinterpret_cast<intptr_t>(file);
    return FileStatus::Ok;
}

#else

FileStatus OpenOnce(const std::filesystem::path &path, intptr_t &handle) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return errno == ENOENT || errno == ENOTDIR ? FileStatus::Missing : FileStatus::Failed;
    }
    // A shared lock: other tool runs may read at once, the program's exclusive opens are refused.
    int locked;
    do {
        locked = ::flock(fd, LOCK_SH | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd);
        return busy ? FileStatus::Busy : FileStatus::Failed;
    }
    handle = fd;
    return FileStatus::Ok;
}

#endif

} // namespace

FileStatus OpenExistingForReading(const std::filesystem::path &path, StoreFile &file) {
    file = StoreFile();
    intptr_t handle = StoreFile::kNoHandle;
    FileStatus status = OpenOnce(path, handle);
    for (int delayMs : kRetryDelaysMs) {
        if (status != FileStatus::Busy) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        status = OpenOnce(path, handle);
    }
    if (status == FileStatus::Ok) {
        file.handle = handle;
    }
    return status;
}
