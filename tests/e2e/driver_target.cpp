// driver_target.exe: a small window that the driver's own tests steer, so that the parts of the
// driver no journey has needed yet (a menu bar taken away, check marks, list and combo boxes, message
// boxes with two buttons, an exit code) are known to work before a journey relies on them.
// Every notification it receives is written into the static kLastEvent, for the tests to read.
#include <windows.h>

#include <cwchar>
#include <initializer_list>

namespace {

enum : int {
    kEdit = 10,
    kList = 11,
    kCombo = 12,
    kLastEvent = 13,
    kRemoveMenu = 100,
    kChecked = 101,
    kGrey = 102,
    kAskQuestion = 103,
    kQuit = 104,
};

void ShowEvent(HWND window, const wchar_t *text) {
    SetDlgItemTextW(window, kLastEvent, text);
}

void OnCommand(HWND window, WORD id, WORD code) {
    wchar_t event[64];
    switch (id) {
    case kRemoveMenu:
        SetMenu(window, nullptr);
        ShowEvent(window, L"menu removed");
        break;
    case kAskQuestion: {
        const int answer = MessageBoxW(nullptr, L"L\u00EDnea uno\nL\u00EDnea dos", L"Programador", MB_OKCANCEL);
        std::swprintf(event, 64, L"answer %d", answer);
        ShowEvent(window, event);
        break;
    }
    case kQuit:
        PostQuitMessage(7);
        break;
    case kList:
    case kCombo:
        if (code == LBN_SELCHANGE || code == LBN_DBLCLK) { // CBN_SELCHANGE is also 1
            const int selection =
                static_cast<int>(SendDlgItemMessageW(window, id, id == kList ? LB_GETCURSEL : CB_GETCURSEL, 0, 0));
            std::swprintf(event, 64, L"%ls %ls %d", id == kList ? L"list" : L"combo",
                          code == LBN_DBLCLK ? L"dblclk" : L"selchange", selection);
            ShowEvent(window, event);
        }
        break;
    default:
        break;
    }
}

LRESULT CALLBACK TargetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

HMENU BuildMenu() {
    HMENU bar = CreateMenu();
    HMENU popup = CreatePopupMenu();
    AppendMenuW(popup, MF_STRING, kRemoveMenu, L"Quitar men\u00FA");
    AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(popup, MF_STRING | MF_CHECKED, kChecked, L"Marcado");
    AppendMenuW(popup, MF_STRING | MF_GRAYED, kGrey, L"Gris");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), L"Archivo");
    return bar;
}

HWND AddChild(HWND parent, const wchar_t *className, DWORD style, int id, int x, int y, int width, int height) {
    return CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = TargetProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"GuislaDriverTarget";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, L"GuislaDriverTarget", L"Driver target", WS_OVERLAPPEDWINDOW, 40, 40, 400, 300,
                                  nullptr, BuildMenu(), instance, nullptr);
    AddChild(window, L"EDIT", WS_BORDER, kEdit, 10, 10, 200, 24);
    HWND list = AddChild(window, L"LISTBOX", WS_BORDER | LBS_NOTIFY, kList, 10, 40, 120, 80);
    for (const wchar_t *line : {L"uno", L"dos", L"tres"}) {
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }
    HWND combo = AddChild(window, L"COMBOBOX", CBS_DROPDOWNLIST, kCombo, 150, 40, 120, 100);
    for (const wchar_t *colour : {L"rojo", L"verde"}) {
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(colour));
    }
    AddChild(window, L"STATIC", 0, kLastEvent, 10, 130, 300, 24);
    ShowWindow(window, SW_SHOW);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
