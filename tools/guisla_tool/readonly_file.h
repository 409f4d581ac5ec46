// Opening the store's files for the tool: reading only, and never creating a missing file (the
// store's own OpenStoreFile creates it, which a tool that only looks must not do).
#pragma once

#include <filesystem>

#include "store/file.h"

// Opens an existing file for reading, in a mode that keeps the program from writing to it
// meanwhile (a shared lock on POSIX systems, sharing for reading only on Windows), retrying for
// about a second while the program holds it. Missing when the file (or its folder) does not
// exist; the file is then left as it was, absent. On failure `file` stays closed.
FileStatus OpenExistingForReading(const std::filesystem::path &path, StoreFile &file);
