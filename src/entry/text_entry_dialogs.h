// The twin dialogs "Introduce Datos" in which the user writes the ingredients and the
// elaboration of the current recipe.
#ifndef GUISLA_ENTRY_TEXT_ENTRY_DIALOGS_H
#define GUISLA_ENTRY_TEXT_ENTRY_DIALOGS_H

#include <windows.h>

// Each shows its text of the current recipe in a large text box and runs the dialog modally.
// "Aceptar" replaces the recipe's text with the box's whole text (lines separated by CR LF,
// characters the ANSI code page cannot hold replaced by its default character) and closes it;
// the system close command closes it writing nothing. The owner is nullptr from the menu.
// Both return 0.
int IngredientsDialog(HWND owner);
int ElaborationDialog(HWND owner);

#endif
