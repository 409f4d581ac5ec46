// Off-screen images of picture boxes. Each box owns a memory DC with a screen-compatible
// bitmap, attached to the control and released with it (subclassed WM_NCDESTROY).
#include "ui/picture_box.h"

#include <commctrl.h>

namespace {

const wchar_t kImageProperty[] = L"guisla.pictureImage";

struct PictureImage {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    int width = 0;
    int height = 0;
};

PictureImage *ImageOf(HWND box) {
    return static_cast<PictureImage *>(GetPropW(box, kImageProperty));
}

void ReleaseImage(HWND box) {
    PictureImage *image = ImageOf(box);
    if (image == nullptr) {
        return;
    }
    RemovePropW(box, kImageProperty);
    SelectObject(image->dc, image->previous);
    DeleteObject(image->bitmap);
    DeleteDC(image->dc);
    delete image;
}

LRESULT CALLBACK PictureBoxSubclass(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
    if (message == WM_NCDESTROY) {
        ReleaseImage(box);
        RemoveWindowSubclass(box, PictureBoxSubclass, id);
    }
    return DefSubclassProc(box, message, wParam, lParam);
}

PictureImage *EnsureImage(HWND box) {
    if (box == nullptr || !IsWindow(box)) {
        return nullptr;
    }
    if (PictureImage *image = ImageOf(box)) {
        return image;
    }
    RECT client = {};
    GetClientRect(box, &client);
    HDC screen = GetDC(box);
    auto *image = new PictureImage;
    image->width = client.right;
    image->height = client.bottom;
    image->dc = CreateCompatibleDC(screen);
    image->bitmap =
        CreateCompatibleBitmap(screen, image->width > 0 ? image->width : 1, image->height > 0 ? image->height : 1);
    ReleaseDC(box, screen);
    if (image->dc == nullptr || image->bitmap == nullptr) {
        if (image->bitmap != nullptr) {
            DeleteObject(image->bitmap);
        }
        if (image->dc != nullptr) {
            DeleteDC(image->dc);
        }
        delete image;
        return nullptr;
    }
    image->previous = SelectObject(image->dc, image->bitmap);
    SetPropW(box, kImageProperty, image);
    SetWindowSubclass(box, PictureBoxSubclass, 1, 0);
    return image;
}

} // namespace

void PictureBoxClear(HWND box, COLORREF colour) {
    PictureImage *image = EnsureImage(box);
    if (image == nullptr) {
        return;
    }
    RECT all = {0, 0, image->width, image->height};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(image->dc, &all, brush);
    DeleteObject(brush);
}

void PictureBoxCopyBitmap(HWND box, HBITMAP bitmap) {
    PictureImage *image = EnsureImage(box);
    if (image == nullptr || bitmap == nullptr) {
        return;
    }
    BITMAP info = {};
    if (GetObjectW(bitmap, sizeof(info), &info) == 0) {
        return;
    }
    HDC source = CreateCompatibleDC(image->dc);
    HGDIOBJ previous = SelectObject(source, bitmap);
    const int width = info.bmWidth < image->width ? info.bmWidth : image->width;
    const int height = info.bmHeight < image->height ? info.bmHeight : image->height;
    BitBlt(image->dc, 0, 0, width, height, source, 0, 0, SRCCOPY);
    SelectObject(source, previous);
    DeleteDC(source);
}

void PictureBoxRedraw(HWND box) {
    if (box != nullptr) {
        InvalidateRect(box, nullptr, FALSE);
        UpdateWindow(box);
    }
}

COLORREF PictureBoxPixel(HWND box, int x, int y) {
    PictureImage *image = box != nullptr ? ImageOf(box) : nullptr;
    return image != nullptr ? GetPixel(image->dc, x, y) : CLR_INVALID;
}

bool PictureBoxPaint(const DRAWITEMSTRUCT &item) {
    if (item.CtlType != ODT_STATIC) {
        return false;
    }
    PictureImage *image = ImageOf(item.hwndItem);
    if (image == nullptr) {
        return false;
    }
    BitBlt(item.hDC, 0, 0, image->width, image->height, image->dc, 0, 0, SRCCOPY);
    return true;
}
