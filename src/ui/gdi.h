// Fonts, colours and small owners for GDI handles, shared by every window of the program.
#ifndef GUISLA_UI_GDI_H
#define GUISLA_UI_GDI_H

#include <windows.h>

// The background of the program's windows, labels and text boxes.
constexpr COLORREF kBackgroundColour = RGB(232, 222, 153);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// Owns one GDI object (font, bitmap, brush) and deletes it when it goes out of scope.
template <typename Handle> class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : handle_(handle) {}
    ~GdiObject() { Reset(); }
    GdiObject(const GdiObject &) = delete;
    GdiObject &operator=(const GdiObject &) = delete;
    GdiObject(GdiObject &&other) noexcept : handle_(other.Release()) {}
    GdiObject &operator=(GdiObject &&other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    Handle Get() const { return handle_; }
    Handle Release() {
        Handle handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    void Reset(Handle handle = nullptr) {
        if (handle_ != nullptr) {
            DeleteObject(handle_);
        }
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};

using FontHolder = GdiObject<HFONT>;
using BitmapHolder = GdiObject<HBITMAP>;

// Owns an icon loaded from the resources.
class IconHolder {
public:
    explicit IconHolder(HICON icon = nullptr) : icon_(icon) {}
    ~IconHolder() {
        if (icon_ != nullptr) {
            DestroyIcon(icon_);
        }
    }
    IconHolder(const IconHolder &) = delete;
    IconHolder &operator=(const IconHolder &) = delete;
    HICON Get() const { return icon_; }

private:
    HICON icon_;
};

// Character height in pixels of a point size on this screen: points x vertical dpi / 72, rounded.
int PointsToPixels(int points);

// A "MS Sans Serif" font of the given point size and weight (400 normal, 700 bold), ANSI
// character set. Returns an empty holder when the font cannot be made.
FontHolder MakeFont(int points, int weight);

// Gives a font to a control (WM_SETFONT, redrawn).
void ApplyFont(HWND control, HFONT font);

// A solid brush of the given colour, kept for the whole process (one per colour).
HBRUSH SharedBrush(COLORREF colour);

// Gives a window (dialog or control) its background colour. The shared dialog procedure
// answers the WM_CTLCOLOR messages with it, and draws the text in the system text colour; an
// extended combo box draws itself in it (combo_colour.h).
void SetBackgroundColour(HWND hwnd, COLORREF colour);

// The colour set with SetBackgroundColour; false when none was set.
bool GetBackgroundColour(HWND hwnd, COLORREF *colour);

#endif
