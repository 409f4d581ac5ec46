// Start-up and shut-down.
#include "app/startup.h"

#include "app/main_window.h"

#include <commctrl.h>
#include <gdiplus.h>

const wchar_t kGdiplusFailureMessage[] = L"Error inicializando GDI+ ... (El programa necesita XP \u00F3 superior ...)";

bool StartGraphics(GdiplusStartFn start, ULONG_PTR *token) {
    if (start(token) == 0) {
        return true;
    }
    // No caption of its own: the platform's default one is shown.
    MessageBoxW(nullptr, kGdiplusFailureMessage, nullptr, MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
    return false;
}

int StartGdiplus(ULONG_PTR *token) {
    Gdiplus::GdiplusStartupInput input;
    input.GdiplusVersion = 1;
    input.DebugEventCallback = nullptr;
    input.SuppressBackgroundThread = FALSE;
    input.SuppressExternalCodecs = FALSE;
    return static_cast<int>(Gdiplus::GdiplusStartup(token, &input, nullptr));
}

void StopGdiplus(ULONG_PTR token) {
    Gdiplus::GdiplusShutdown(token);
}

void RegisterCommonControls() {
    using InitExFn = BOOL(WINAPI *)(const INITCOMMONCONTROLSEX *);
    using InitFn = void(WINAPI *)();
    HMODULE library = LoadLibraryA("COMCTL32.DLL");
    if (library == nullptr) {
        return;
    }
    auto initEx = reinterpret_cast<InitExFn>(reinterpret_cast<void *>(GetProcAddress(library, "InitCommonControlsEx")));
    if (initEx != nullptr) {
        INITCOMMONCONTROLSEX controls = {};
        controls.dwSize = sizeof(controls);
        // ICC_WIN95_CLASSES, ICC_DATE_CLASSES, ICC_INTERNET_CLASSES and the extended combo box.
        controls.dwICC = 0x9FF | ICC_USEREX_CLASSES;
        initEx(&controls);
    } else if (auto init =
                   reinterpret_cast<InitFn>(reinterpret_cast<void *>(GetProcAddress(library, "InitCommonControls")))) {
        init();
    }
    FreeLibrary(library);
}

int RunProgram(GdiplusStartFn start) {
    ULONG_PTR token = 0;
    if (!StartGraphics(start, &token)) {
        return 1;
    }
    RegisterCommonControls();
    BuildMainWindow(nullptr);
    StopGdiplus(token);
    return 0;
}
