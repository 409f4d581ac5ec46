// The nine menu commands of the main window.
#ifndef GUISLA_APP_COMMANDS_H
#define GUISLA_APP_COMMANDS_H

#include <windows.h>

// Carries out a menu command (the low 16 bits of WM_COMMAND's wParam). Ids other than the nine
// menu commands are ignored.
void RunMainCommand(HWND mainWindow, WORD id);

#endif
