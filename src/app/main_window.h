// The main window "Mi guisla": the dish name, ingredients and elaboration boxes, the picture box
// and the menu. It is run as the program's outermost modal dialog.
#ifndef GUISLA_APP_MAIN_WINDOW_H
#define GUISLA_APP_MAIN_WINDOW_H

#include <windows.h>

// Builds the main window, runs it until it is destroyed, releases its fonts and pictures.
// Returns 0 (the value the window was ended with).
int BuildMainWindow(HWND owner);

// Shows the recipe's dish name, ingredients and elaboration in the three boxes.
void ShowRecipeTexts();

// Clears the picture box to the background colour and repaints it.
void ClearPictureBox();

#endif
