// Text at the window boundary: the program keeps its texts as byte strings in the ANSI code
// page and converts them to UTF-16 only where they meet a window, a file name or GDI+.
#ifndef GUISLA_UI_TEXT_H
#define GUISLA_UI_TEXT_H

#include <windows.h>

#include <string>

// ANSI code page bytes to UTF-16. Never fails; an empty input gives an empty result.
std::wstring AnsiToWide(const std::string &text);

// UTF-16 to the ANSI code page; characters the code page cannot hold become its default
// character (a question mark for Windows-1252).
std::string WideToAnsi(const std::wstring &text);

// The whole text of a window (control), as UTF-16 or converted to the ANSI code page.
std::wstring GetWindowTextWide(HWND hwnd);
std::string GetWindowTextAnsi(HWND hwnd);

// Sets a window's text from ANSI code page bytes.
void SetWindowTextAnsi(HWND hwnd, const std::string &text);

#endif
