// The system half of the file layer (file_win.cpp or file_posix.cpp); file.cpp adds the
// retries and the fault injection on top. Only the file layer includes this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "store/file.h"

FileStatus PlatformOpen(const std::filesystem::path &path, FileAccess access, intptr_t &handle);
FileStatus PlatformClose(intptr_t handle);
FileStatus PlatformSize(intptr_t handle, int64_t &size);
FileStatus PlatformIdentity(intptr_t handle, FileIdentity &identity);
void PlatformWillRead(intptr_t handle, int64_t offset, int64_t count);
FileStatus PlatformRead(intptr_t handle, int64_t offset, uint8_t *buffer, size_t count, size_t &got);
FileStatus PlatformWrite(intptr_t handle, int64_t offset, const uint8_t *data, size_t count);
FileStatus PlatformSetLength(intptr_t handle, int64_t length);
FileStatus PlatformFlush(intptr_t handle);
FileStatus PlatformReplace(const std::filesystem::path &from, const std::filesystem::path &to);
