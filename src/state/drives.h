// The drive probe and the picture cache folder: the program looks for the machine's fixed
// drives at start-up and keeps its short-lived picture files in "quelmo cache" on the first one.
#ifndef GUISLA_STATE_DRIVES_H
#define GUISLA_STATE_DRIVES_H

#include <string>

constexpr int kMaxFixedDrives = 16;
constexpr unsigned kDriveRemovable = 2;
constexpr unsigned kDriveFixed = 3;

// Process-wide list, filled in the order found: each entry holds a letter and a colon ("C:"),
// entries never filled are empty. Only the first 16 fixed drives are kept.
extern char FixedDrives[kMaxFixedDrives][3];

// The cache folder path, ending in a separator: entry 0 of FixedDrives, "\quelmo cache\".
extern std::string PictureCacheFolder;

// The platform's drive type for a root such as "C:\" (the GetDriveType numbering).
using DriveTypeQuery = unsigned (*)(const char *root);
// One pass of the message pump; never blocks.
using PumpPass = void (*)();

// Asks the type of the 26 drive letters A..Z in order and fills FixedDrives with the fixed ones.
// Letters that are neither fixed nor removable (absent, CD-ROM, network, RAM disk, unknown)
// each run one pump pass, so the window stays alive while slow drives answer. Then sets
// PictureCacheFolder.
void ProbeDrives(DriveTypeQuery driveType, PumpPass pump);

#endif
