// The picture file dialog: the open-file request, its placement hook and the chosen path.
#include "entry/picture_file_dialog.h"

#include "state/recipe.h"
#include "ui/text.h"

namespace {

// Each string ends with a zero character; the literal's own terminator ends the list.
const wchar_t kPictureFilter[] = L"Images\0*.jpg;*.png;*.gif;*.bmp;*.tif\0All Files\0*.*\0";
const wchar_t kPictureDialogTitle[] = L"Navegador de ficheros para imagen";
const wchar_t kDefaultExtension[] = L"jpg";

// The dialog's top-left corner lies this many pixels right of and below the owner's.
constexpr int kPlacementOffset = 30;

// Places the open-file dialog (the parent of the hook's child dialog) relative to its owner and
// brings it to the foreground.
void PlaceDialog(HWND hookDialog) {
    HWND dialog = GetParent(hookDialog);
    if (dialog == nullptr) {
        return;
    }
    if (HWND owner = GetWindow(dialog, GW_OWNER)) {
        RECT ownerRect = {};
        GetWindowRect(owner, &ownerRect);
        SetWindowPos(dialog, nullptr, ownerRect.left + kPlacementOffset, ownerRect.top + kPlacementOffset, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER);
    }
    SetForegroundWindow(dialog);
}

// The explorer-style hook: it only places the dialog when it initialises, and once more when
// the dialog reports its initialisation done (the dialog may still move itself in between).
UINT_PTR CALLBACK PlacementHook(HWND hookDialog, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        PlaceDialog(hookDialog);
    } else if (message == WM_NOTIFY && reinterpret_cast<const NMHDR *>(lParam)->code == CDN_INITDONE) {
        PlaceDialog(hookDialog);
    }
    return 0; // the dialog's default handling follows
}

} // namespace

PicturePathParts SplitPicturePath(const std::wstring &path) {
    const size_t cut = path.find_last_of(L"\\:");
    if (cut == std::wstring::npos) {
        return {L"", path};
    }
    return {path.substr(0, cut + 1), path.substr(cut + 1)};
}

std::wstring CurrentPicturePath(const std::string &picturePath, const std::wstring &picturePathWide) {
    if (!picturePathWide.empty() && WideToAnsi(picturePathWide) == picturePath) {
        return picturePathWide;
    }
    return AnsiToWide(picturePath);
}

void PreparePictureFileRequest(HWND owner, const std::wstring &currentPath, PictureFileRequest &request) {
    const PicturePathParts parts = SplitPicturePath(currentPath);
    request.file.assign(kPictureFileBufferLength, L'\0');
    const size_t nameLength = parts.name.size() < kPictureFileBufferLength ? parts.name.size() : 0;
    parts.name.copy(request.file.data(), nameLength);

    request.initialFolder = parts.folder.substr(0, kMaxInitialFolderLength);
    if (request.initialFolder.empty()) {
        const DWORD length = GetCurrentDirectoryW(0, nullptr);
        if (length > 0) {
            request.initialFolder.assign(length, L'\0');
            const DWORD copied = GetCurrentDirectoryW(length, request.initialFolder.data());
            request.initialFolder.resize(copied < length ? copied : 0);
        }
    }

    OPENFILENAMEW &dialog = request.dialog;
    dialog = {};
    dialog.lStructSize = sizeof(OPENFILENAMEW);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = kPictureFilter;
    dialog.nFilterIndex = 0;
    dialog.lpstrFile = request.file.data();
    dialog.nMaxFile = static_cast<DWORD>(request.file.size());
    dialog.lpstrInitialDir = request.initialFolder.c_str();
    dialog.lpstrTitle = kPictureDialogTitle;
    dialog.Flags =
        OFN_FILEMUSTEXIST | OFN_ENABLESIZING | OFN_EXPLORER | OFN_ENABLEHOOK | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    dialog.lpstrDefExt = kDefaultExtension;
    dialog.lpfnHook = PlacementHook;
}

bool AcceptPicturePath(const std::wstring &chosen, std::string &picturePath, std::wstring &picturePathWide) {
    if (chosen.empty()) {
        return false;
    }
    std::string bytes = WideToAnsi(chosen);
    if (bytes.empty() || bytes.size() > kMaxPicturePathBytes) {
        return false;
    }
    picturePath = std::move(bytes);
    picturePathWide = chosen;
    return true;
}

void ChoosePictureFile(HWND owner, std::string &picturePath, std::wstring &picturePathWide) {
    PictureFileRequest request;
    PreparePictureFileRequest(owner, CurrentPicturePath(picturePath, picturePathWide), request);
    if (GetOpenFileNameW(&request.dialog) && AcceptPicturePath(request.file.data(), picturePath, picturePathWide)) {
        return;
    }
    picturePath.clear();
    picturePathWide.clear();
}
