// What several journeys check the same way: the menu's two command states.
#ifndef GUISLA_TESTS_E2E_MENU_MODE_H
#define GUISLA_TESTS_E2E_MENU_MODE_H

#include "driver.h"

#include <string>

namespace e2e {

// Browsing: the editing commands grey, "Buscar Receta" enabled. Editing: the reverse.
enum class MenuMode { Browsing, Editing };

// Compares the grey/enabled state of the nine commands with the mode; "" when all agree, else one
// line per command that differs (or is missing).
std::string MenuModeMismatches(const MenuBar &bar, MenuMode mode);

// Polls the menu until it is in `mode`; "" on success, else the last mismatches or the probe's error.
std::string WaitForMenuMode(AppProcess &app, HWND window, MenuMode mode, DWORD timeoutMs = kDefaultTimeoutMs);

} // namespace e2e

#endif
