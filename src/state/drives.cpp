// The drive probe behind the picture cache folder.
#include "state/drives.h"

#include <cstring>

char FixedDrives[kMaxFixedDrives][3];
std::string PictureCacheFolder;

void ProbeDrives(DriveTypeQuery driveType, PumpPass pump) {
    std::memset(FixedDrives, 0, sizeof(FixedDrives));
    int found = 0;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const char root[4] = {letter, ':', '\\', '\0'};
        const unsigned type = driveType(root);
        if (type == kDriveFixed) {
            if (found < kMaxFixedDrives) {
                // The 3-byte entry keeps the letter and the colon.
                FixedDrives[found][0] = root[0];
                FixedDrives[found][1] = root[1];
                FixedDrives[found][2] = '\0';
            }
            ++found;
        } else if (type != kDriveRemovable && pump != nullptr) {
            pump();
        }
    }
    PictureCacheFolder = std::string(FixedDrives[0]) + "\\quelmo cache\\";
}
