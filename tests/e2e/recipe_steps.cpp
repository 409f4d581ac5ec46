#include "recipe_steps.h"

#include "resources/resource_ids.h"

#include <dlgs.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace e2e {

namespace {

const wchar_t kEntryTitle[] = L"Introduce Datos";
const wchar_t kPictureDialogTitle[] = L"Navegador de ficheros para imagen";

void PutLE(std::vector<uint8_t> &bytes, size_t at, uint32_t value, int width) {
    for (int i = 0; i < width; ++i) {
        bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    }
}

} // namespace

bool WriteFileBytes(const std::wstring &path, const std::vector<uint8_t> &bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::vector<uint8_t> ReadFileBytes(const std::wstring &path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> GradientBmp(int32_t width, int32_t height, uint8_t red) {
    const uint32_t row = static_cast<uint32_t>(width * 3 + 3) & ~3u;
    const uint32_t pixels = row * static_cast<uint32_t>(height);
    std::vector<uint8_t> bmp(54 + pixels);
    bmp[0] = 'B';
    bmp[1] = 'M';
    PutLE(bmp, 2, static_cast<uint32_t>(bmp.size()), 4);
    PutLE(bmp, 10, 54, 4);
    PutLE(bmp, 14, 40, 4);
    PutLE(bmp, 18, static_cast<uint32_t>(width), 4);
    PutLE(bmp, 22, static_cast<uint32_t>(height), 4);
    PutLE(bmp, 26, 1, 2);
    PutLE(bmp, 28, 24, 2);
    PutLE(bmp, 34, pixels, 4);
    for (int32_t y = 0; y < height; ++y) {
        uint8_t *line = &bmp[54 + static_cast<size_t>(y) * row];
        for (int32_t x = 0; x < width; ++x) {
            line[x * 3] = static_cast<uint8_t>(x * 255 / width);      // blue
            line[x * 3 + 1] = static_cast<uint8_t>(y * 255 / height); // green
            line[x * 3 + 2] = red;
        }
    }
    return bmp;
}

bool EnterText(const AppProcess &app, HWND main, UINT command, int textId, int acceptId, const std::wstring &text) {
    if (!PostCommand(main, command)) {
        return false;
    }
    HWND dialog = WaitForWindow(app, L"#32770", kEntryTitle);
    return dialog != nullptr && SetControlText(Control(dialog, textId), text) && PostClick(Control(dialog, acceptId)) &&
           WaitForWindowGone(dialog);
}

bool EnterDishAndCategory(const AppProcess &app, HWND main, const std::wstring &name, int category) {
    if (!PostCommand(main, IDM_INSERT_DISH_CATEGORY)) {
        return false;
    }
    HWND dialog = WaitForWindow(app, L"#32770", kEntryTitle);
    return dialog != nullptr && SetControlText(Control(dialog, IDC_DISH_NAME_EDIT), name) &&
           ComboSelect(Control(dialog, IDC_CATEGORY_LIST), category) && Settle(dialog, 100) &&
           PostClick(Control(dialog, IDC_DISH_NAME_ACCEPT)) && WaitForWindowGone(dialog);
}

bool ChoosePicture(const AppProcess &app, HWND main, const std::wstring &path) {
    if (!PostCommand(main, IDM_INSERT_PICTURE)) {
        return false;
    }
    HWND dialog = WaitForWindow(app, L"#32770", kPictureDialogTitle);
    return dialog != nullptr && SetControlText(Control(dialog, cmb13), path) &&
           PostMessageW(dialog, WM_COMMAND, IDOK, 0) && WaitForWindowGone(dialog);
}

ScreenPixels::ScreenPixels(const std::wstring &png) {
    library_ = LoadLibraryW(L"gdiplus.dll");
    if (library_ == nullptr) {
        return;
    }
    struct StartupInput {
        UINT32 version = 1;
        void *callback = nullptr;
        BOOL suppressBackgroundThread = FALSE;
        BOOL suppressExternalCodecs = FALSE;
    } input;
    auto startup = reinterpret_cast<int(WINAPI *)(ULONG_PTR *, const StartupInput *, void *)>(
        reinterpret_cast<void *>(GetProcAddress(library_, "GdiplusStartup")));
    auto load = reinterpret_cast<int(WINAPI *)(const wchar_t *, void **)>(
        reinterpret_cast<void *>(GetProcAddress(library_, "GdipCreateBitmapFromFile")));
    getPixel_ = reinterpret_cast<int(WINAPI *)(void *, int, int, DWORD *)>(
        reinterpret_cast<void *>(GetProcAddress(library_, "GdipBitmapGetPixel")));
    dispose_ =
        reinterpret_cast<int(WINAPI *)(void *)>(reinterpret_cast<void *>(GetProcAddress(library_, "GdipDisposeImage")));
    shutdown_ = reinterpret_cast<void(WINAPI *)(ULONG_PTR)>(
        reinterpret_cast<void *>(GetProcAddress(library_, "GdiplusShutdown")));
    if (startup == nullptr || load == nullptr || getPixel_ == nullptr || dispose_ == nullptr || shutdown_ == nullptr ||
        startup(&token_, &input, nullptr) != 0) {
        return;
    }
    started_ = true;
    if (load(png.c_str(), &bitmap_) != 0) {
        bitmap_ = nullptr;
    }
}

ScreenPixels::~ScreenPixels() {
    if (bitmap_ != nullptr) {
        dispose_(bitmap_);
    }
    if (started_) {
        shutdown_(token_);
    }
    if (library_ != nullptr) {
        FreeLibrary(library_);
    }
}

COLORREF ScreenPixels::At(POINT p) const {
    DWORD argb = 0;
    if (bitmap_ == nullptr || getPixel_(bitmap_, p.x, p.y, &argb) != 0) {
        return CLR_INVALID;
    }
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

bool ClientAreaOnScreen(HWND window, POINT &origin, SIZE &size) {
    RECT client = {};
    origin = {0, 0};
    if (window == nullptr || !GetClientRect(window, &client) || !ClientToScreen(window, &origin)) {
        return false;
    }
    size = {client.right, client.bottom};
    return true;
}

} // namespace e2e
