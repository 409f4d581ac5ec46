// The progress window shown while a picture's bytes are saved: a captionless window, centred and
// above the others, holding one progress bar (0 to 100). It is not run modally: the save creates
// it, moves its bar while it writes and services messages now and then, and destroys it.
#ifndef GUISLA_STATE_PROGRESS_DIALOG_H
#define GUISLA_STATE_PROGRESS_DIALOG_H

#include <windows.h>

// Creates the window with its bar (range 0 to 100, position 0) and shows it. Returns nullptr when
// it cannot be created; the caller destroys it with DestroyProgressDialog.
HWND ProgressDialog();

// Sets the bar's position and redraws the window at once. Does nothing on nullptr.
void SetProgressPosition(HWND dialog, int position);

// Destroys the window (nullptr and a window already gone are fine).
void DestroyProgressDialog(HWND dialog);

#endif
