// The search dialog "Buscar Receta": a category list with pictures, the numbered result list,
// "Buscar" and "Salir"; a double-click on a result loads that recipe into the main window.
#ifndef GUISLA_SEARCH_SEARCH_DIALOG_H
#define GUISLA_SEARCH_SEARCH_DIALOG_H

#include <windows.h>

#include <cstdint>
#include <string>

// The category number (1..29) searched last; 0 until the first search. The next opening of the
// dialog selects it.
extern int32_t lastSearchedCategory;

// Opens the dialog (no owner from the menu: a top-level window above the others) and returns,
// always 0, once it has closed.
int SearchDialog(HWND owner);

// Searches the store for the recipes whose `fieldName` equals `target` (search.h), fills the
// dialog's result list with their numbered lines when there is at least one (servicing a pending
// message after each line so the window stays alive) and shows how many were found. The dialog
// holds off its own commands meanwhile.
void SearchRecipes(HWND dialog, const std::string &fieldName, const std::string &target);

#endif
