// The process-wide state shared by the shell and the dialogs.
#include "state/app_state.h"

HWND MainWindow = nullptr;
bool secondaryDialogOpen = false;
std::string storeBaseName;
Recipe currentRecipe;

std::filesystem::path ExecutableFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return std::filesystem::path(path).parent_path();
}
