// Helpers for tests that drive real windows in-process: work scheduled to run from inside a
// modal run (the program's own message loop), and readers of window properties.
#ifndef GUISLA_TESTS_WIN_SUPPORT_H
#define GUISLA_TESTS_WIN_SUPPORT_H

#include <windows.h>

#include <functional>
#include <string>

// Runs `work` once, from the thread's message loop, after about `delayMs` milliseconds. Use it
// before entering a modal run to act on the windows while the run is going.
void CallSoon(std::function<void()> work, UINT delayMs = 20);

// Runs `work` each time the condition holds, polling every 10 ms, until it returns true or
// `timeoutMs` passes; then ends. For waiting on a window that appears asynchronously.
void WhenReady(std::function<bool()> condition, std::function<void()> work, UINT timeoutMs = 5000);

// A window's class name, text (wide), and its rectangle relative to its parent's client area.
std::wstring ClassOf(HWND hwnd);
std::wstring TextOf(HWND hwnd);
RECT RectInParent(HWND hwnd);

// The pixel height of the font a control uses (its tmHeight from the font's metrics).
int FontHeightOf(HWND hwnd);
LONG FontWeightOf(HWND hwnd);
std::wstring FontFaceOf(HWND hwnd);

// The colour on screen at a point of a window's client area, read back through a copy of the
// screen (reading a window DC's pixel directly is not supported everywhere).
COLORREF ScreenPixel(HWND hwnd, int x, int y);

// The colour that covers most pixels of a window's client area as it is on screen, and the share
// of the counted pixels it covers (0..1): a control's background, whatever text it shows. With
// `outsideChildren`, only the pixels that no visible child window covers count (a dialog's own
// background). The window is repainted first.
struct DominantColourResult {
    COLORREF colour = CLR_INVALID;
    double share = 0;
};
DominantColourResult DominantColour(HWND hwnd, bool outsideChildren = false);

// A top-level window of this process with the given class and title, or nullptr.
HWND FindOwnWindow(const wchar_t *className, const wchar_t *title);

// Waits for a top-level message box (class "#32770") of this process with the given caption,
// from inside a modal run, and returns the text of its static 0xFFFF; presses its OK button.
// caption nullptr matches any caption.
std::wstring ReadAndCloseMessageBox(HWND box);

#endif
