// The picture file dialog "Navegador de ficheros para imagen": the system's open-file dialog,
// placed next to the main window, that sets the recipe's picture path.
#ifndef GUISLA_ENTRY_PICTURE_FILE_DIALOG_H
#define GUISLA_ENTRY_PICTURE_FILE_DIALOG_H

#include <windows.h>

#include <commdlg.h>

#include <string>
#include <vector>

// The initial folder is cut to this many characters.
constexpr size_t kMaxInitialFolderLength = 254;

// Room for the chosen path in the dialog's buffer (characters, terminator included). Longer than
// the picture path may be, so that the dialog itself does not fail on a long path and the
// decision stays with AcceptPicturePath.
constexpr size_t kPictureFileBufferLength = 4096;

// A path split for pre-filling the dialog: the folder is everything up to and including the
// last "\" or ":", the name everything after it. An empty path gives two empty parts.
struct PicturePathParts {
    std::wstring folder;
    std::wstring name;
};
PicturePathParts SplitPicturePath(const std::wstring &path);

// The recipe's current picture path as UTF-16: the wide path kept beside the bytes when it
// still corresponds to them (it may hold characters that the ANSI code page cannot), otherwise
// the bytes converted.
std::wstring CurrentPicturePath(const std::string &picturePath, const std::wstring &picturePathWide);

// The dialog's request and the buffers it points into. Filled in place, so not copyable.
struct PictureFileRequest {
    PictureFileRequest() = default;
    PictureFileRequest(const PictureFileRequest &) = delete;
    PictureFileRequest &operator=(const PictureFileRequest &) = delete;
    OPENFILENAMEW dialog = {};
    std::vector<wchar_t> file;  // lpstrFile: the name part on entry, the chosen path on return
    std::wstring initialFolder; // lpstrInitialDir
};

// Fills the request for the current picture path (UTF-16): the "Images" and "All Files" filters
// with the first in force, the name part in the file buffer, the folder part (cut to 254
// characters, or the current directory when empty) as the initial folder, the title, the
// default extension "jpg", the flags and the placement hook; every other member 0.
void PreparePictureFileRequest(HWND owner, const std::wstring &currentPath, PictureFileRequest &request);

// Takes a path the dialog returned: sets the picture path to its ANSI code page bytes and keeps
// the path itself beside them, and returns true. A path whose bytes would exceed the 259 bytes
// of the picture path is refused (false, nothing changed): cutting it would name another file
// and lose its extension. An empty path is refused too.
bool AcceptPicturePath(const std::wstring &chosen, std::string &picturePath, std::wstring &picturePathWide);

// Runs the dialog modally for `owner` and replaces the picture path: the chosen file's full path,
// or empty when the user cancels, the dialog fails or the path is refused. The process's
// current directory is unchanged afterwards.
void ChoosePictureFile(HWND owner, std::string &picturePath, std::wstring &picturePathWide);

#endif
