// The extended combo box drawn in its background colour.
#include "ui/combo_colour.h"

#include <commctrl.h>

#include "ui/gdi.h"

namespace {

constexpr UINT_PTR kSubclassId = 0x6775; // any number unique among this window's subclasses
constexpr int kMargin = 2;               // pixels left of the picture and between picture and text
constexpr int kIndentPixels = 10;        // per indent level of a dropped entry, as the control does

// Draws one entry (or the selection field) over the background colour: the picture of the entry
// (its selected picture when highlighted) at the left, centred vertically, then its text.
void DrawEntry(HWND combo, const DRAWITEMSTRUCT &item, COLORREF colour) {
    HDC hdc = item.hDC;
    FillRect(hdc, &item.rcItem, SharedBrush(colour));
    if (item.itemID == static_cast<UINT>(-1)) {
        return; // no entry selected: an empty field
    }
    wchar_t text[260] = {};
    COMBOBOXEXITEMW entry = {};
    entry.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE | CBEIF_INDENT;
    entry.iItem = static_cast<INT_PTR>(item.itemID);
    entry.pszText = text;
    entry.cchTextMax = static_cast<int>(sizeof(text) / sizeof(text[0]));
    if (!SendMessageW(combo, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry))) {
        return;
    }
    const bool field = (item.itemState & ODS_COMBOBOXEDIT) != 0;
    const bool highlighted = (item.itemState & ODS_SELECTED) != 0;
    int x = item.rcItem.left + kMargin + (field ? 0 : entry.iIndent * kIndentPixels);
    auto pictures = reinterpret_cast<HIMAGELIST>(SendMessageW(combo, CBEM_GETIMAGELIST, 0, 0));
    const int picture = highlighted ? entry.iSelectedImage : entry.iImage;
    if (pictures != nullptr) {
        int width = 0;
        int height = 0;
        ImageList_GetIconSize(pictures, &width, &height);
        if (picture >= 0) {
            const int y = item.rcItem.top + (item.rcItem.bottom - item.rcItem.top - height) / 2;
            ImageList_Draw(pictures, picture, hdc, x, y, ILD_NORMAL);
        }
        x += width + kMargin;
    }
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(combo, WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = font != nullptr ? SelectObject(hdc, font) : nullptr;
    RECT textRect = {x, item.rcItem.top, item.rcItem.right, item.rcItem.bottom};
    const UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    RECT measured = textRect;
    DrawTextW(hdc, text, -1, &measured, format | DT_CALCRECT);
    RECT behindText = {x, item.rcItem.top + 1, x + (measured.right - measured.left) + 2 * kMargin,
                       item.rcItem.bottom - 1};
    if (behindText.right > item.rcItem.right) {
        behindText.right = item.rcItem.right;
    }
    if (highlighted) {
        FillRect(hdc, &behindText, GetSysColorBrush(COLOR_HIGHLIGHT));
    }
    const COLORREF textColour = (item.itemState & ODS_DISABLED) != 0 ? GetSysColor(COLOR_GRAYTEXT)
                                : highlighted                        ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                                                                     : GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF oldColour = SetTextColor(hdc, textColour);
    const int oldMode = SetBkMode(hdc, TRANSPARENT);
    textRect.left += kMargin;
    DrawTextW(hdc, text, -1, &textRect, format);
    SetBkMode(hdc, oldMode);
    SetTextColor(hdc, oldColour);
    if (highlighted && (item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0) {
        DrawFocusRect(hdc, &behindText);
    }
    if (oldFont != nullptr) {
        SelectObject(hdc, oldFont);
    }
}

LRESULT CALLBACK ColouredComboProc(HWND combo, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    COLORREF colour = 0;
    switch (message) {
    case WM_DRAWITEM: {
        const auto *item = reinterpret_cast<const DRAWITEMSTRUCT *>(lParam);
        if (item != nullptr && item->CtlType == ODT_COMBOBOX && GetBackgroundColour(combo, &colour)) {
            DrawEntry(combo, *item, colour);
            return TRUE;
        }
        break;
    }
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        // From the inner combo box and its dropped list: the part that no entry covers.
        if (GetBackgroundColour(combo, &colour)) {
            HDC hdc = reinterpret_cast<HDC>(wParam);
            SetBkColor(hdc, colour);
            SetTextColor(hdc, GetSysColor(COLOR_WINDOWTEXT));
            return reinterpret_cast<LRESULT>(SharedBrush(colour));
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(combo, ColouredComboProc, kSubclassId);
        break;
    default:
        break;
    }
    return DefSubclassProc(combo, message, wParam, lParam);
}

} // namespace

void PaintComboBoxExInBackgroundColour(HWND combo) {
    wchar_t className[32] = {};
    if (combo == nullptr || GetClassNameW(combo, className, 32) == 0 || lstrcmpiW(className, WC_COMBOBOXEXW) != 0) {
        return;
    }
    // Setting the same procedure and id again only replaces its data: never a second subclass.
    SetWindowSubclass(combo, ColouredComboProc, kSubclassId, 0);
    InvalidateRect(combo, nullptr, TRUE);
}
