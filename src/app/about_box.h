// The About box "Autor": the maker's thanks, the credit line with our web site, an animated icon
// and the "Salir" button.
#ifndef GUISLA_APP_ABOUT_BOX_H
#define GUISLA_APP_ABOUT_BOX_H

#include <windows.h>

#include <cstdint>

// The icon resource (701 to 707) that the next animation tick shows; process-wide, set to 701
// each time the box opens.
extern std::uint16_t animationFrame;

// Builds the box, runs it modally and returns 0 when it has closed ("Salir", Enter, or a system
// close request such as Alt+F4; Escape does nothing). Its fonts and icons are released before it
// returns. The command "Autor" passes no owner.
int AboutBox(HWND owner);

#endif
