// The file layer's system half on Windows: CreateFileW with no sharing, positioned I/O on a
// synchronous handle (writes through OVERLAPPED offsets, reads through NtReadFile's offset).
#include <windows.h>
#include <winternl.h>

#include "store/file_platform.h"

// The call that ReadFile makes with an OVERLAPPED offset, made here without the completion
// context that ReadFile adds (the OVERLAPPED itself): given one, Wine asks its server after every
// read whether a completion port waits on the handle, about 50 microseconds a read, which made a
// pass over 1.5 GB in 2.5 MB blocks a third slower than the plain read of the file. On a
// synchronous handle the system serialises the reads and moves the file pointer alike.
extern "C" NTSTATUS NTAPI NtReadFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE apc, PVOID apcContext,
                                     PIO_STATUS_BLOCK status, PVOID buffer, ULONG length, PLARGE_INTEGER offset,
                                     PULONG key);

namespace {

FileStatus StatusFromError(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
    case ERROR_FILENAME_EXCED_RANGE:
        return FileStatus::Missing;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return FileStatus::Busy;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return FileStatus::DiskFull;
    default:
        return FileStatus::Failed;
    }
}

HANDLE Handle(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

OVERLAPPED OverlappedAt(int64_t offset) {
    OVERLAPPED overlapped = {};
    overlapped.Offset = static_cast<DWORD>(static_cast<uint64_t>(offset) & 0xFFFFFFFFu);
    overlapped.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
    return overlapped;
}

// ReadFile and WriteFile take a 32-bit count; larger requests go in pieces of this size.
constexpr size_t kMaxChunk = 1u << 30;

constexpr NTSTATUS kStatusEndOfFile = static_cast<NTSTATUS>(0xC0000011L);

} // namespace

FileStatus PlatformOpen(const std::filesystem::path &path, FileAccess access, intptr_t &handle) {
    DWORD desired = 0;
    switch (access) {
    case FileAccess::Read:
        desired = GENERIC_READ;
        break;
    case FileAccess::Write:
        // The size of the file must still be readable through a write-only handle.
        desired = GENERIC_WRITE | FILE_READ_ATTRIBUTES;
        break;
    case FileAccess::ReadWrite:
        desired = GENERIC_READ | GENERIC_WRITE;
        break;
    }
    // Share mode 0: no other opener, in this process or another, while this handle is open.
    const HANDLE file = CreateFileW(path.c_str(), desired, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return StatusFromError(GetLastError());
    }
    handle = reinterpret_cast<intptr_t>(file);
    return FileStatus::Ok;
}

FileStatus PlatformClose(intptr_t handle) {
    return CloseHandle(Handle(handle)) ? FileStatus::Ok : StatusFromError(GetLastError());
}

FileStatus PlatformSize(intptr_t handle, int64_t &size) {
    LARGE_INTEGER value;
    if (!GetFileSizeEx(Handle(handle), &value)) {
        return StatusFromError(GetLastError());
    }
    size = value.QuadPart;
    return FileStatus::Ok;
}

FileStatus PlatformIdentity(intptr_t handle, FileIdentity &identity) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(Handle(handle), &info)) {
        return StatusFromError(GetLastError());
    }
    const auto wide = [](DWORD high, DWORD low) { return (static_cast<uint64_t>(high) << 32) | low; };
    identity.volume = info.dwVolumeSerialNumber;
    identity.file = wide(info.nFileIndexHigh, info.nFileIndexLow);
    identity.size = static_cast<int64_t>(wide(info.nFileSizeHigh, info.nFileSizeLow));
    identity.modified =
        static_cast<int64_t>(wide(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime));
    FILE_BASIC_INFO basic;
    if (GetFileInformationByHandleEx(Handle(handle), FileBasicInfo, &basic, sizeof basic)) {
        identity.changed = basic.ChangeTime.QuadPart;
    }
    if (identity.changed != 0) {
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        const int64_t nowTicks = static_cast<int64_t>(wide(now.dwHighDateTime, now.dwLowDateTime));
        identity.settled = nowTicks - std::max(identity.modified, identity.changed) >= int64_t{2} * 10000000;
    }
    return FileStatus::Ok;
}

// Windows reads ahead on its own where a file is read in order.
void PlatformWillRead(intptr_t, int64_t, int64_t) {}

FileStatus PlatformRead(intptr_t handle, int64_t offset, uint8_t *buffer, size_t count, size_t &got) {
    got = 0;
    while (got < count) {
        const size_t want = count - got < kMaxChunk ? count - got : kMaxChunk;
        LARGE_INTEGER at;
        at.QuadPart = offset + static_cast<int64_t>(got);
        IO_STATUS_BLOCK io = {};
        const NTSTATUS status = NtReadFile(Handle(handle), nullptr, nullptr, nullptr, &io, buffer + got,
                                           static_cast<ULONG>(want), &at, nullptr);
        if (status == kStatusEndOfFile) {
            break;
        }
        if (status < 0) { // an error status
            return StatusFromError(RtlNtStatusToDosError(status));
        }
        if (io.Information == 0) {
            break;
        }
        got += static_cast<size_t>(io.Information);
    }
    return FileStatus::Ok;
}

FileStatus PlatformWrite(intptr_t handle, int64_t offset, const uint8_t *data, size_t count) {
    size_t done = 0;
    while (done < count) {
        const size_t want = count - done < kMaxChunk ? count - done : kMaxChunk;
        OVERLAPPED overlapped = OverlappedAt(offset + static_cast<int64_t>(done));
        DWORD n = 0;
        if (!WriteFile(Handle(handle), data + done, static_cast<DWORD>(want), &n, &overlapped)) {
            return StatusFromError(GetLastError());
        }
        if (n == 0) {
            return FileStatus::DiskFull;
        }
        done += n;
    }
    return FileStatus::Ok;
}

FileStatus PlatformSetLength(intptr_t handle, int64_t length) {
    LARGE_INTEGER position;
    position.QuadPart = length;
    if (!SetFilePointerEx(Handle(handle), position, nullptr, FILE_BEGIN) || !SetEndOfFile(Handle(handle))) {
        return StatusFromError(GetLastError());
    }
    return FileStatus::Ok;
}

FileStatus PlatformFlush(intptr_t handle) {
    return FlushFileBuffers(Handle(handle)) ? FileStatus::Ok : StatusFromError(GetLastError());
}

FileStatus PlatformReplace(const std::filesystem::path &from, const std::filesystem::path &to) {
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return StatusFromError(GetLastError());
    }
    return FileStatus::Ok;
}
