// Fonts, brushes and the background colours of windows and controls.
#include "ui/gdi.h"

#include "ui/combo_colour.h"

#include <map>

namespace {

const wchar_t kColourProperty[] = L"guisla.background";
const wchar_t kHasColourProperty[] = L"guisla.hasBackground";

} // namespace

int PointsToPixels(int points) {
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    return MulDiv(points, dpi, 72);
}

FontHolder MakeFont(int points, int weight) {
    LOGFONTW font = {};
    font.lfHeight = -PointsToPixels(points);
    font.lfWeight = weight;
    font.lfCharSet = ANSI_CHARSET;
    lstrcpynW(font.lfFaceName, L"MS Sans Serif", LF_FACESIZE);
    return FontHolder(CreateFontIndirectW(&font));
}

void ApplyFont(HWND control, HFONT font) {
    if (control != nullptr && font != nullptr) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
}

HBRUSH SharedBrush(COLORREF colour) {
    // A handful of colours for the whole run; the brushes are released by the system at exit.
    static std::map<COLORREF, HBRUSH> brushes;
    auto found = brushes.find(colour);
    if (found != brushes.end()) {
        return found->second;
    }
    HBRUSH brush = CreateSolidBrush(colour);
    brushes.emplace(colour, brush);
    return brush;
}

void SetBackgroundColour(HWND hwnd, COLORREF colour) {
    // The colour itself fits in a property's handle value.
    SetPropW(hwnd, kColourProperty, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(colour)));
    SetPropW(hwnd, kHasColourProperty, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(1)));
    PaintComboBoxExInBackgroundColour(hwnd); // the one control that asks nobody for its colours
    InvalidateRect(hwnd, nullptr, TRUE);
}

bool GetBackgroundColour(HWND hwnd, COLORREF *colour) {
    if (hwnd == nullptr || GetPropW(hwnd, kHasColourProperty) == nullptr) {
        return false;
    }
    *colour = static_cast<COLORREF>(reinterpret_cast<ULONG_PTR>(GetPropW(hwnd, kColourProperty)));
    return true;
}
