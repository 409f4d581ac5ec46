// Start-up and shut-down of the program: GDI+, the common controls, the main window.
#ifndef GUISLA_APP_STARTUP_H
#define GUISLA_APP_STARTUP_H

#include <windows.h>

// The GDI+ start function (GdiplusStartup's shape, the status as an int: 0 is Ok).
using GdiplusStartFn = int (*)(ULONG_PTR *token);

// The text shown when GDI+ cannot start.
extern const wchar_t kGdiplusFailureMessage[];

// Starts GDI+ with the given function; on failure shows the one message box (no owner, OK,
// task-modal, foreground) and returns false.
bool StartGraphics(GdiplusStartFn start, ULONG_PTR *token);

// GDI+ as the program starts it: version 1, background thread, external codecs.
int StartGdiplus(ULONG_PTR *token);
void StopGdiplus(ULONG_PTR token);

// Registers the common controls (COMCTL32.DLL loaded at run time), including the extended combo
// box class that the category lists need.
void RegisterCommonControls();

// The whole program: graphics, controls, the main window until it is destroyed, shut-down.
// Returns the process exit code (0, or 1 when GDI+ could not start).
int RunProgram(GdiplusStartFn start);

#endif
