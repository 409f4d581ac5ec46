// The category list with pictures, filled from the catalogue.
#include "state/category_combo.h"

#include "state/catalogue.h"
#include "ui/gdi.h"
#include "ui/text.h"

#include <vector>

namespace {

// A cell-sized copy of a picture: the bitmap placed at the cell's top-left corner and cut at its
// edges. The picture list would otherwise stretch a bitmap of another height to fill the cell.
// What the bitmap does not cover stays empty (transparent). nullptr on failure.
BitmapHolder CellPicture(HBITMAP bitmap) {
    BITMAP size = {};
    if (GetObjectW(bitmap, sizeof(size), &size) == 0) {
        return BitmapHolder();
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kCategoryPictureWidth;
    info.bmiHeader.biHeight = -kCategoryPictureHeight; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    BitmapHolder cell(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    HDC source = CreateCompatibleDC(nullptr);
    HDC target = CreateCompatibleDC(nullptr);
    if (cell.Get() != nullptr && source != nullptr && target != nullptr) {
        HGDIOBJ oldSource = SelectObject(source, bitmap);
        HGDIOBJ oldTarget = SelectObject(target, cell.Get());
        const int width = size.bmWidth < kCategoryPictureWidth ? size.bmWidth : kCategoryPictureWidth;
        const int height = size.bmHeight < kCategoryPictureHeight ? size.bmHeight : kCategoryPictureHeight;
        if (!BitBlt(target, 0, 0, width, height, source, 0, 0, SRCCOPY)) {
            cell.Reset();
        }
        SelectObject(target, oldTarget);
        SelectObject(source, oldSource);
    } else {
        cell.Reset();
    }
    if (target != nullptr) {
        DeleteDC(target);
    }
    if (source != nullptr) {
        DeleteDC(source);
    }
    return cell;
}

} // namespace

int AddCategoryItem(HWND combo, const std::string &entryText, const std::string &pictureName) {
    auto list = reinterpret_cast<HIMAGELIST>(SendMessageW(combo, CBEM_GETIMAGELIST, 0, 0));
    // "#300" names bitmap resource 300; the loader reads such names as numbers.
    BitmapHolder bitmap(static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), AnsiToWide(pictureName).c_str(), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    int index = -1;
    if (list != nullptr && bitmap.Get() != nullptr) {
        BitmapHolder cell = CellPicture(bitmap.Get());
        if (cell.Get() != nullptr) {
            index = ImageList_Add(list, cell.Get(), nullptr);
        }
    }

    std::wstring text = AnsiToWide(entryText);
    COMBOBOXEXITEMW item = {};
    item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
    item.iItem = -1;
    item.pszText = text.data();
    item.iImage = index;
    item.iSelectedImage = index;
    SendMessageW(combo, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return index;
}

ImageListHolder FillCategoryCombo(HWND combo) {
    ImageListHolder list(
        ImageList_Create(kCategoryPictureWidth, kCategoryPictureHeight, ILC_COLOR32, kCategoryCount, 1));
    SendMessageW(combo, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(list.Get()));
    for (int number = 1; number <= kCategoryCount; ++number) {
        AddCategoryItem(combo, CategoryEntryText(number), CategoryCatalogue.pictureName[number]);
    }
    return list;
}

void SelectCategory(HWND combo, int number) {
    const int index = number >= 1 && number <= kCategoryCount ? number - 1 : 0;
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int SelectedCategoryNumber(HWND combo) {
    const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) {
        return 0;
    }
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length < 0) {
        return 0;
    }
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    return CategoryNumberFromEntryText(WideToAnsi(text.data()));
}
