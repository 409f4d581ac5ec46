// The shared dialog machinery: every window of the program is a dialog built at run time from
// an in-memory template in dialog units, filled with controls from a layout table, coloured,
// and run in the program's modal loop.
#ifndef GUISLA_UI_DIALOG_H
#define GUISLA_UI_DIALOG_H

#include <windows.h>

#include <span>

// A window's event handler: (window, message, wParam, lParam). The default dialog handling
// always follows, so it has no result. Initialisation (WM_INITDIALOG) reaches it once, from
// the modal run, after every control exists and before the window is shown.
using DialogHandler = void (*)(HWND, UINT, WPARAM, LPARAM);

// The dialog itself. Positions and sizes are dialog units of the template font, "MS Sans Serif"
// 8 point bold; without an owner (or DS_CENTER) the position is measured from the screen's corner.
struct DialogLayout {
    const wchar_t *title;
    DWORD style;
    DWORD exStyle;
    short x;
    short y;
    short width;
    short height;
};

// One row of a dialog's control table, in dialog units.
struct ControlLayout {
    int id;
    const wchar_t *className;
    const wchar_t *text;
    DWORD style;
    DWORD exStyle;
    short x;
    short y;
    short width;
    short height;
};

// Creates the dialog hidden, with no controls yet. Returns nullptr when the window cannot be
// created. The handler is called from the modal run on; the window belongs to the caller until
// RunModalDialog ends it.
HWND CreateDialogWindow(const DialogLayout &layout, HWND owner, DialogHandler handler);

// The pixel rectangle of a dialog-unit rectangle (x, y, x + width, y + height) in this dialog.
RECT DialogUnitsToPixels(HWND dialog, short x, short y, short width, short height);

// Creates one control at its dialog-unit rectangle; returns nullptr on failure.
HWND AddControl(HWND dialog, const ControlLayout &control);

// Creates the controls of a table in order (which is the tab order). Returns false when one
// could not be created; the others are created all the same.
bool AddControls(HWND dialog, std::span<const ControlLayout> controls);

// Runs a dialog modally: foreground, initialisation and size events, owner disabled, shown,
// then messages until the window is gone. Blocks in WaitMessage when the queue is empty, so an
// idle program uses no processor time. A WM_QUIT ends the dialog; a nested run posts it again
// for the run outside it. Returns 0.
int RunModalDialog(HWND dialog);

// Ends a dialog: WM_CLOSE, the owner re-enabled, the window destroyed. The modal run then
// returns. Safe to call on a window that is already gone.
void EndDialogWindow(HWND dialog);

// One pass of the message pump for long work: services at most one pending message (dialog
// keys included) and returns at once when none is pending. Never blocks. Returns whether a
// message was serviced. A WM_QUIT is left for the modal run to see.
bool PumpOneMessage();

// How many modal runs are active on this thread (1 while only the main window runs).
int ModalDepth();

#endif
