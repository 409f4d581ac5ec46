// Scheduling work inside modal runs and reading window properties for the Win32 tests.
#include "win_test_support.h"

#include <map>
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
