// The store's small file layer: exclusive opens and positioned reads and writes.
//
// Every open is exclusive: while one opener holds a file, any other open of it (from this or
// another process) is refused. On Windows that is CreateFileW without sharing; on POSIX systems
// an advisory flock() taken right after open() stands in for it, which keeps the store's own
// openers apart (other programs that do not lock are not held off there).
//
// An open refused because another opener holds the file is retried with a short back-off
// (about one second in all) before it fails with FileStatus::Busy.
//
// Offsets and sizes are 64-bit. Nothing here shows a message: results are FileStatus values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

enum class FileStatus {
    Ok,
    Missing,  // the folder (or a path component) does not exist, or the path is not usable
    Busy,     // another opener held the file for longer than the retries waited
    DiskFull, // no space left for a write
    Failed,   // any other failure of the system call
};

enum class FileAccess {
    Read,      // reading only
    Write,     // writing only (the size can still be asked)
    ReadWrite, // both
};

// An open file. Movable, not copyable; the destructor closes the file.
class StoreFile {
public:
    StoreFile() = default;
    ~StoreFile();
    StoreFile(StoreFile &&other) noexcept;
    StoreFile &operator=(StoreFile &&other) noexcept;
    StoreFile(const StoreFile &) = delete;
    StoreFile &operator=(const StoreFile &) = delete;

    bool IsOpen() const { return handle != kNoHandle; }

    static constexpr intptr_t kNoHandle = -1;
    intptr_t handle = kNoHandle; // HANDLE on Windows, file descriptor elsewhere
};

// Opens `path` exclusively; a missing file is created empty (the folder never is). On failure
// `file` stays closed.
FileStatus OpenStoreFile(const std::filesystem::path &path, FileAccess access, StoreFile &file);

// How many opens have failed with FileStatus::Busy since the process started. The readers absorb
// failures (a value that cannot be read reads as empty); a caller that runs several of them
// compares this count before and after to tell a store held by another program from empty values.
int64_t BusyOpenCount();

// Closes the file and reports whether the system accepted the close.
FileStatus CloseStoreFile(StoreFile &file);

FileStatus StoreFileSize(const StoreFile &file, int64_t &size);

// What tells one state of a file from another without reading it: the file itself (volume and
// file number), its size and its times of last change. A write or a replacement changes it, with
// two exceptions: the system's clock for file times is coarse (milliseconds), so a change soon
// after the previous one may keep the times; and a copy may set the time of last modification to
// that of its source. Only a settled identity tells changes apart: one whose file also keeps the
// time of its last change of any kind (which nobody sets), and whose last change lay at least
// two seconds back when it was taken.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t file = 0;
    int64_t size = 0;
    int64_t modified = 0; // the system's own units
    int64_t changed = 0;  // 0: not kept by the file system
    bool settled = false;
    bool operator==(const FileIdentity &) const = default;
};
FileStatus StoreFileIdentityOf(const StoreFile &file, FileIdentity &identity);

// Says that `count` bytes at `offset` will be read soon, so that the system can start reading
// them while the caller works on what it has; only a hint (nothing where the system has none).
void StoreFileWillRead(const StoreFile &file, int64_t offset, int64_t count);

// Reads up to `count` bytes at `offset`; `got` receives the number read, less than `count` only
// at the end of the file.
FileStatus StoreFileRead(const StoreFile &file, int64_t offset, uint8_t *buffer, size_t count, size_t &got);

// Writes all `count` bytes at `offset`, growing the file as needed. On failure part of the
// bytes may have reached the file.
FileStatus StoreFileWrite(const StoreFile &file, int64_t offset, const uint8_t *data, size_t count);

// Sets the file's length (shortening or zero-extending it).
FileStatus StoreFileSetLength(const StoreFile &file, int64_t length);

// Forces written data to the disk.
FileStatus StoreFileFlush(const StoreFile &file);

// Renames `from` to `to`, replacing `to` when it exists, in one step: a reader sees the old file
// or the new one, never a mix.
FileStatus ReplaceStoreFile(const std::filesystem::path &from, const std::filesystem::path &to);

// Fault injection for tests: the plan replaces any earlier one; a default plan injects nothing.
// Counts run from the moment the plan is set. Process-wide, for the one thread that uses the store.
struct FileFaultPlan {
    int busyOpens = 0;            // the next N opens find the file held by another opener
    int64_t failWriteNumber = 0;  // the Nth write from now fails (1 = the next one); 0 = none
    size_t partialWriteBytes = 0; // bytes of that write that reach the file before it fails
    FileStatus writeFailure = FileStatus::DiskFull;
    int64_t failReadNumber = 0; // the Nth read from now fails with Failed; 0 = none
    bool failFlush = false;     // every flush fails with Failed
    bool failSetLength = false; // every length change fails with Failed
};
void SetFileFaultPlan(const FileFaultPlan &plan);
