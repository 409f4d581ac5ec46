// The main window's menu bar ("Archivos", "Recetas") and its two states: Browsing (editing
// commands grey) and Editing (editing commands enabled, "Buscar Receta" grey).
#ifndef GUISLA_STATE_MAIN_MENU_H
#define GUISLA_STATE_MAIN_MENU_H

#include <windows.h>

// The menu bar attached last; every build replaces (and destroys) the previous one.
extern HMENU currentMenuBar;

// Builds a new menu bar with all items enabled, with their pictures, attaches it to the window,
// records it as the current bar and returns it.
HMENU BuildMainMenu(HWND mainWindow);

// Greys "Grabar Receta" and the four "Recetas" items on the current bar.
void LockEditingCommands();

// Enables "Grabar Receta" and the four "Recetas" items and greys "Buscar Receta".
void UnlockEditingCommands();

// Detaches the menu bar from the window (during a save and while a found recipe is loaded).
void RemoveMainMenu(HWND mainWindow);

#endif
