// Scheduling work inside modal runs and reading window properties for the Win32 tests.
#include "win_test_support.h"

#include <map>
#include <unordered_map>
#include <vector>
#include <memory>

namespace {

struct Pending {
    std::function<bool()> condition;
    std::function<void()> work;
    DWORD deadline;
};

std::map<UINT_PTR, std::unique_ptr<Pending>> pendingWork;

void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
    auto found = pendingWork.find(id);
    if (found == pendingWork.end()) {
        KillTimer(nullptr, id);
        return;
    }
    Pending *pending = found->second.get();
    const bool ready = !pending->condition || pending->condition();
    if (!ready && GetTickCount() < pending->deadline) {
        return;
    }
    KillTimer(nullptr, id);
    std::unique_ptr<Pending> owned = std::move(found->second);
    pendingWork.erase(found);
    owned->work(); // may enter a nested modal run
}

} // namespace

void CallSoon(std::function<void()> work, UINT delayMs) {
    auto pending = std::make_unique<Pending>();
    pending->work = std::move(work);
    pending->deadline = 0;
    const UINT_PTR id = SetTimer(nullptr, 0, delayMs, OnTimer);
    pendingWork[id] = std::move(pending);
}

void WhenReady(std::function<bool()> condition, std::function<void()> work, UINT timeoutMs) {
    auto pending = std::make_unique<Pending>();
    pending->condition = std::move(condition);
    pending->work = std::move(work);
    pending->deadline = GetTickCount() + timeoutMs;
    const UINT_PTR id = SetTimer(nullptr, 0, 10, OnTimer);
    pendingWork[id] = std::move(pending);
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

std::wstring TextOf(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

RECT RectInParent(HWND hwnd) {
    RECT rect = {};
    GetWindowRect(hwnd, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT *>(&rect), 2);
    return rect;
}

namespace {

bool FontMetricsOf(HWND hwnd, TEXTMETRICW *metrics, LOGFONTW *logical) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    if (font == nullptr) {
        return false;
    }
    GetObjectW(font, sizeof(*logical), logical);
    HDC dc = GetDC(hwnd);
    HGDIOBJ previous = SelectObject(dc, font);
    GetTextMetricsW(dc, metrics);
    SelectObject(dc, previous);
    ReleaseDC(hwnd, dc);
    return true;
}

} // namespace

int FontHeightOf(HWND hwnd) {
    TEXTMETRICW metrics = {};
    LOGFONTW logical = {};
    return FontMetricsOf(hwnd, &metrics, &logical) ? -logical.lfHeight : 0;
}

LONG FontWeightOf(HWND hwnd) {
    TEXTMETRICW metrics = {};
    LOGFONTW logical = {};
    return FontMetricsOf(hwnd, &metrics, &logical) ? logical.lfWeight : 0;
}

std::wstring FontFaceOf(HWND hwnd) {
    TEXTMETRICW metrics = {};
    LOGFONTW logical = {};
    return FontMetricsOf(hwnd, &metrics, &logical) ? std::wstring(logical.lfFaceName) : std::wstring();
}

HWND FindOwnWindow(const wchar_t *className, const wchar_t *title) {
    struct Search {
        const wchar_t *className;
        const wchar_t *title;
        HWND found;
    } search = {className, title, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto *s = reinterpret_cast<Search *>(param);
            if ((s->className == nullptr || ClassOf(hwnd) == s->className) &&
                (s->title == nullptr || TextOf(hwnd) == s->title) && IsWindowVisible(hwnd)) {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring ReadAndCloseMessageBox(HWND box) {
    std::wstring text = TextOf(GetDlgItem(box, 0xFFFF));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return text;
}

COLORREF ScreenPixel(HWND hwnd, int x, int y) {
    HDC window = GetDC(hwnd);
    HDC memory = CreateCompatibleDC(window);
    HBITMAP pixel = CreateCompatibleBitmap(window, 1, 1);
    HGDIOBJ previous = SelectObject(memory, pixel);
    BitBlt(memory, 0, 0, 1, 1, window, x, y, SRCCOPY);
    const COLORREF colour = GetPixel(memory, 0, 0);
    SelectObject(memory, previous);
    DeleteObject(pixel);
    DeleteDC(memory);
    ReleaseDC(hwnd, window);
    return colour;
}

DominantColourResult DominantColour(HWND hwnd, bool outsideChildren) {
    DominantColourResult result;
    RECT rect = {};
    GetClientRect(hwnd, &rect);
    const int width = rect.right;
    const int height = rect.bottom;
    if (width <= 0 || height <= 0) {
        return result;
    }
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    std::vector<RECT> children;
    for (HWND child = GetWindow(hwnd, GW_CHILD); outsideChildren && child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (IsWindowVisible(child)) {
            children.push_back(RectInParent(child));
        }
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HDC window = GetDC(hwnd);
    HDC memory = CreateCompatibleDC(window);
    HBITMAP copy = CreateDIBSection(window, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, copy);
    BitBlt(memory, 0, 0, width, height, window, 0, 0, SRCCOPY);
    GdiFlush();
    std::unordered_map<uint32_t, int> counts;
    int counted = 0;
    const auto *pixels = static_cast<const uint32_t *>(bits);
    for (int y = 0; pixels != nullptr && y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const POINT point = {x, y};
            bool covered = false;
            for (const RECT &child : children) {
                covered = covered || PtInRect(&child, point);
            }
            if (!covered) {
                ++counts[pixels[y * width + x] & 0xFFFFFF];
                ++counted;
            }
        }
    }
    SelectObject(memory, previous);
    DeleteObject(copy);
    DeleteDC(memory);
    ReleaseDC(hwnd, window);
    int best = 0;
    for (const auto &[pixel, count] : counts) {
        if (count > best) {
            best = count;
            // DIB pixels are 0x00RRGGBB; COLORREF is 0x00BBGGRR.
            result.colour = RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
        }
    }
    result.share = counted > 0 ? static_cast<double>(best) / counted : 0;
    return result;
}
