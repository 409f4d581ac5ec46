// The file layer's system half on POSIX systems (the native build and its tests).
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/file_platform.h"

namespace {

FileStatus StatusFromErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
        return FileStatus::Missing;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return FileStatus::DiskFull;
    case EWOULDBLOCK:
        return FileStatus::Busy;
    default:
        return FileStatus::Failed;
    }
}

int Descriptor(intptr_t handle) {
    return static_cast<int>(handle);
}

} // namespace

FileStatus PlatformOpen(const std::filesystem::path &path, FileAccess access, intptr_t &handle) {
    int flags = O_CREAT | O_CLOEXEC;
    switch (access) {
    case FileAccess::Read:
        flags |= O_RDONLY;
        break;
    case FileAccess::Write:
        flags |= O_WRONLY;
        break;
    case FileAccess::ReadWrite:
        flags |= O_RDWR;
        break;
    }
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return StatusFromErrno(errno);
    }
    // flock() locks belong to the open file description, so a second open in this same process
    // is refused as well, as it would be on Windows.
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? FileStatus::Busy : StatusFromErrno(error);
    }
    handle = fd;
    return FileStatus::Ok;
}

FileStatus PlatformClose(intptr_t handle) {
    // The lock goes with the descriptor. close() is not retried on EINTR: the descriptor is gone.
    return ::close(Descriptor(handle)) == 0 || errno == EINTR ? FileStatus::Ok : StatusFromErrno(errno);
}

FileStatus PlatformSize(intptr_t handle, int64_t &size) {
    struct stat info;
    if (::fstat(Descriptor(handle), &info) != 0) {
        return StatusFromErrno(errno);
    }
    size = static_cast<int64_t>(info.st_size);
    return FileStatus::Ok;
}

FileStatus PlatformIdentity(intptr_t handle, FileIdentity &identity) {
    struct stat info;
    if (::fstat(Descriptor(handle), &info) != 0) {
        return StatusFromErrno(errno);
    }
    identity.volume = static_cast<uint64_t>(info.st_dev);
    identity.file = static_cast<uint64_t>(info.st_ino);
    identity.size = static_cast<int64_t>(info.st_size);
    identity.modified = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    identity.changed = static_cast<int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    struct timespec now;
    if (::clock_gettime(CLOCK_REALTIME, &now) == 0) {
        const int64_t nowNs = static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
        identity.settled = nowNs - std::max(identity.modified, identity.changed) >= int64_t{2} * 1000000000;
    }
    return FileStatus::Ok;
}

void PlatformWillRead(intptr_t handle, int64_t offset, int64_t count) {
    ::posix_fadvise(Descriptor(handle), static_cast<off_t>(offset), static_cast<off_t>(count), POSIX_FADV_WILLNEED);
}

FileStatus PlatformRead(intptr_t handle, int64_t offset, uint8_t *buffer, size_t count, size_t &got) {
    got = 0;
    while (got < count) {
        const ssize_t n = ::pread(Descriptor(handle), buffer + got, count - got, static_cast<off_t>(offset + got));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return StatusFromErrno(errno);
        }
        if (n == 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    return FileStatus::Ok;
}

FileStatus PlatformWrite(intptr_t handle, int64_t offset, const uint8_t *data, size_t count) {
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(Descriptor(handle), data + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return StatusFromErrno(errno);
        }
        if (n == 0) {
            return FileStatus::DiskFull;
        }
        done += static_cast<size_t>(n);
    }
    return FileStatus::Ok;
}

FileStatus PlatformSetLength(intptr_t handle, int64_t length) {
    int result;
    do {
        result = ::ftruncate(Descriptor(handle), static_cast<off_t>(length));
    } while (result != 0 && errno == EINTR);
    return result == 0 ? FileStatus::Ok : StatusFromErrno(errno);
}

FileStatus PlatformFlush(intptr_t handle) {
    return ::fsync(Descriptor(handle)) == 0 ? FileStatus::Ok : StatusFromErrno(errno);
}

FileStatus PlatformReplace(const std::filesystem::path &from, const std::filesystem::path &to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? FileStatus::Ok : StatusFromErrno(errno);
}
