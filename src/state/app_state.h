// Process-wide state of the application shell, shared with the dialogs.
#ifndef GUISLA_STATE_APP_STATE_H
#define GUISLA_STATE_APP_STATE_H

#include <windows.h>

#include "state/catalogue.h"
#include "state/drives.h"
#include "state/recipe.h"

#include <filesystem>
#include <string>

// The main window "Mi guisla"; nullptr until it is built and after it is destroyed.
extern HWND MainWindow;

// True exactly while a dialog opened by "Buscar Receta", "Autor" or one of the three entry
// commands runs; a second one is refused meanwhile.
extern bool secondaryDialogOpen;

// The store's base name, "guisla": it names the store's folder beside the program and its files.
extern std::string storeBaseName;

// The folder that holds the running program's executable.
std::filesystem::path ExecutableFolder();

#endif
