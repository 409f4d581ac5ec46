// The dialog "Introduce Datos" in which the user types the dish name and picks its category.
#ifndef GUISLA_ENTRY_DISH_CATEGORY_DIALOG_H
#define GUISLA_ENTRY_DISH_CATEGORY_DIALOG_H

#include <windows.h>

// Shows the dish name and the category of the current recipe (the category chosen last is
// pre-selected, the first one when none was ever chosen) and runs the dialog modally. "Aceptar"
// writes the dish name, the category number and the category name into the recipe and closes
// it; the system close command closes it writing nothing. The owner is nullptr from the menu.
// Returns 0.
int DishNameCategoryDialog(HWND owner);

#endif
