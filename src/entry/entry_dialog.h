// What the entry dialogs have in common: their window style and the two ways they end.
#ifndef GUISLA_ENTRY_ENTRY_DIALOG_H
#define GUISLA_ENTRY_ENTRY_DIALOG_H

#include <windows.h>

// "Introduce Datos": a caption but no system menu (so no close box), not resizable, above all
// other windows. Opened without an owner, it leaves the main window usable behind it.
constexpr DWORD kEntryDialogStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_NOFAILCREATE | DS_3DLOOK;
constexpr DWORD kEntryDialogExStyle = WS_EX_TOPMOST;

constexpr DWORD kAcceptButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

// A press of the button `id`: BN_CLICKED (0), or 1 as an accelerator sends it. The dialogs have
// no IDOK or IDCANCEL button, so Escape and Enter away from the button reach no command.
inline bool IsButtonPress(WPARAM wParam, int id) {
    return LOWORD(wParam) == id && (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == 1);
}

// The system close command (Alt+F4): it ends an entry dialog without writing anything.
inline bool IsSystemClose(UINT message, WPARAM wParam) {
    return message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE;
}

#endif
