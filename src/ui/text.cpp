// Conversions between the ANSI code page and UTF-16 at the window boundary.
#include "ui/text.h"

std::wstring AnsiToWide(const std::string &text) {
    if (text.empty()) {
        return {};
    }
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string WideToAnsi(const std::wstring &text) {
    if (text.empty()) {
        return {};
    }
    // No "best fit": a character the code page cannot hold becomes its default character, never a
    // look-alike (a full-width solidus must not turn into a path separator).
    const DWORD flags = WC_NO_BEST_FIT_CHARS;
    const int length =
        WideCharToMultiByte(CP_ACP, flags, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return {};
    }
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, flags, text.data(), static_cast<int>(text.size()), bytes.data(), length, nullptr,
                        nullptr);
    return bytes;
}

std::wstring GetWindowTextWide(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

std::string GetWindowTextAnsi(HWND hwnd) {
    return WideToAnsi(GetWindowTextWide(hwnd));
}

void SetWindowTextAnsi(HWND hwnd, const std::string &text) {
    SetWindowTextW(hwnd, AnsiToWide(text).c_str());
}
