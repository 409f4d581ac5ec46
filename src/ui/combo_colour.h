// Painting an extended combo box ("ComboBoxEx32") in a background colour of its own. The control
// draws its selection field and the entries of its dropped list itself, always in the system's
// window colour, and does not ask its parent for colours; so it is subclassed and draws them here.
#ifndef GUISLA_UI_COMBO_COLOUR_H
#define GUISLA_UI_COMBO_COLOUR_H

#include <windows.h>

// From now on the extended combo box draws its selection field, the entries of its dropped list
// and the list's empty part in its background colour (GetBackgroundColour), each entry with its
// picture and text; a highlighted entry keeps the system's highlight behind its text. Does
// nothing for a window of another class, or when already done.
void PaintComboBoxExInBackgroundColour(HWND combo);

#endif
