// Steps several journeys take the same way: entering a recipe through the entry dialogs, choosing a
// picture in the file dialog, and reading screen pixels from a screenshot.
#ifndef GUISLA_TESTS_E2E_RECIPE_STEPS_H
#define GUISLA_TESTS_E2E_RECIPE_STEPS_H

#include "driver.h"

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// The background colour of the program's windows and of an empty picture box.
constexpr COLORREF kWindowBackground = RGB(232, 222, 153);

// Opens an entry dialog from the menu, puts the text into its box as typed text arrives, and
// presses "Aceptar".
bool EnterText(const AppProcess &app, HWND main, UINT command, int textId, int acceptId, const std::wstring &text);

// Dish name and category (line `category` of the list, 0-based: 6 is "07 - Potajes").
bool EnterDishAndCategory(const AppProcess &app, HWND main, const std::wstring &name, int category);

// "Insertar Imagen": types the file's full path into the file dialog's name box and presses "Abrir".
bool ChoosePicture(const AppProcess &app, HWND main, const std::wstring &path);

// A screenshot's pixels, read with GDI+ (loaded at run time: the driver links nothing else).
class ScreenPixels {
public:
    explicit ScreenPixels(const std::wstring &png);
    ~ScreenPixels();
    ScreenPixels(const ScreenPixels &) = delete;
    ScreenPixels &operator=(const ScreenPixels &) = delete;

    bool Loaded() const { return bitmap_ != nullptr; }
    // The colour at a screen point (the shot is the whole screen); CLR_INVALID when unreadable.
    COLORREF At(POINT p) const;

private:
    HMODULE library_ = nullptr;
    ULONG_PTR token_ = 0;
    bool started_ = false;
    void *bitmap_ = nullptr;
    int(WINAPI *getPixel_)(void *, int, int, DWORD *) = nullptr;
    int(WINAPI *dispose_)(void *) = nullptr;
    void(WINAPI *shutdown_)(ULONG_PTR) = nullptr;
};

// Whole files as bytes (a missing file reads as empty); WriteFileBytes replaces the file.
bool WriteFileBytes(const std::wstring &path, const std::vector<uint8_t> &bytes);
std::vector<uint8_t> ReadFileBytes(const std::wstring &path);

// A 24-bit BMP of width x height pixels with a blue-green gradient and a fixed red: about 3 bytes
// per pixel, so its size is easy to choose.
std::vector<uint8_t> GradientBmp(int32_t width, int32_t height, uint8_t red);

// Where a window's client area begins on the screen, and its size; false when it has none.
bool ClientAreaOnScreen(HWND window, POINT &origin, SIZE &size);

} // namespace e2e

#endif
