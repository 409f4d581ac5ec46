// Helpers for the entry dialog tests: running a dialog with checks from inside its modal run,
// and checking a control against its expected class, text, styles, rectangle and font.
#ifndef GUISLA_TESTS_WIN_ENTRY_SUPPORT_H
#define GUISLA_TESTS_WIN_ENTRY_SUPPORT_H

#include <windows.h>

#include <functional>
#include <string>

extern const wchar_t kEntryTitle[]; // "Introduce Datos"

struct ExpectedEntryControl {
    int id;
    const wchar_t *className;
    const wchar_t *text;
    DWORD style;     // bits that must be set
    DWORD forbidden; // bits that must be clear
    DWORD exStyle;   // WS_EX_CLIENTEDGE or 0
    short x, y, width, height;
    LONG weight; // of the 10-point "MS Sans Serif" font
    bool coloured;
};

// Opens an entry dialog (`open(nullptr)`) and calls `checks` with it from inside its modal run.
// When the checks leave it open, it is then ended as the window system ends it (WM_SYSCOMMAND
// SC_CLOSE). Fails the test when no dialog shows or the entry point returns non-zero.
void WithEntryDialog(int (*open)(HWND), const std::function<void(HWND)> &checks);

// The number of visible top-level windows of this thread titled "Introduce Datos".
int CountEntryDialogs();

// The dialog's frame: styles, no owner, top-most, its place from the screen's corner and its
// client size, all from dialog units.
void ExpectEntryDialogFrame(HWND dialog, short x, short y, short width, short height);

// One control: class, text, styles, pixel rectangle, font, background colour; `previous` is the
// control that must come before it in the tab order. Returns the control (nullptr if missing).
HWND ExpectEntryControl(HWND dialog, const ExpectedEntryControl &expected, HWND previous);

// Services the thread's messages until the window is gone or `timeoutMs` has passed. Returns
// whether it is gone.
bool PumpUntilGone(HWND hwnd, DWORD timeoutMs = 1000);

// Feeds a key press (down and up) through the dialog manager, as the modal run does.
void PressKey(HWND target, UINT key);

#endif
