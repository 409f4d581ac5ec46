// The About box "Autor", built and run in-process: layout, the icon animation driven tick by
// tick, the ways it closes, what it releases, and the guard of the command "Autor".
#include "app/about_box.h"
#include "state/app_state.h"
#include "app/main_window.h"
#include "resources/resource_ids.h"
#include "ui/dialog.h"
#include "ui/gdi.h"
#include "win_test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <vector>

namespace {

// The colour and mask pixels of an icon, as 32-bit values; empty for an invalid handle.
std::vector<std::uint32_t> IconPixels(HICON icon) {
    ICONINFO info = {};
    if (icon == nullptr || !GetIconInfo(icon, &info)) {
        return {};
    }
    std::vector<std::uint32_t> pixels;
    HDC screen = GetDC(nullptr);
    for (HBITMAP bitmap : {info.hbmColor, info.hbmMask}) {
        BITMAP size = {};
        if (bitmap == nullptr || GetObjectW(bitmap, sizeof(size), &size) == 0) {
            continue;
        }
        BITMAPINFO format = {};
        format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        format.bmiHeader.biWidth = size.bmWidth;
        format.bmiHeader.biHeight = -size.bmHeight;
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        format.bmiHeader.biCompression = BI_RGB;
        std::vector<std::uint32_t> part(static_cast<size_t>(size.bmWidth) * static_cast<size_t>(size.bmHeight));
        GetDIBits(screen, bitmap, 0, static_cast<UINT>(size.bmHeight), part.data(), &format, DIB_RGB_COLORS);
        pixels.insert(pixels.end(), part.begin(), part.end());
    }
    ReleaseDC(nullptr, screen);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return pixels;
}

// The pixels of the seven animation frames, loaded as the box loads them.
const std::map<int, std::vector<std::uint32_t>> &FramePixels() {
    static const std::map<int, std::vector<std::uint32_t>> frames = [] {
        std::map<int, std::vector<std::uint32_t>> loaded;
        for (int id = IDI_ANIMATION_FIRST; id <= IDI_ANIMATION_LAST; ++id) {
            auto icon = static_cast<HICON>(
                LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
            loaded[id] = IconPixels(icon);
            DestroyIcon(icon);
        }
        return loaded;
    }();
    return frames;
}

HICON IconShown(HWND box) {
    return reinterpret_cast<HICON>(SendDlgItemMessageW(box, IDC_ABOUT_ICON, STM_GETIMAGE, IMAGE_ICON, 0));
}

// Which of the frames 701 to 707 the box shows, told by its pixels; 0 when none matches.
int FrameShown(HWND box) {
    const std::vector<std::uint32_t> shown = IconPixels(IconShown(box));
    for (const auto &[id, pixels] : FramePixels()) {
        if (!shown.empty() && shown == pixels) {
            return id;
        }
    }
    return 0;
}

HWND FindAboutBox() {
    return FindOwnWindow(L"#32770", L"Autor");
}

int CountAboutBoxes() {
    int count = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM param) -> BOOL {
            if (ClassOf(hwnd) == L"#32770" && TextOf(hwnd) == L"Autor") {
                ++*reinterpret_cast<int *>(param);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

void Tick(HWND box, WPARAM id = IDT_ABOUT_ANIMATION) {
    SendMessageW(box, WM_TIMER, id, 0);
}

void PressSalir(HWND box) {
    SendMessageW(GetDlgItem(box, IDC_ABOUT_EXIT), BM_CLICK, 0, 0);
}

// Runs the box with `checks` called from inside its modal run; `checks` closes it (or the box is
// closed with "Salir" afterwards). Returns AboutBox's result.
int WithAboutBox(std::function<void(HWND)> checks) {
    CallSoon([checks] {
        HWND box = FindAboutBox();
        ASSERT_NE(box, nullptr);
        checks(box);
        if (IsWindow(box)) {
            PressSalir(box);
        }
    });
    return AboutBox(nullptr);
}

struct ExpectedControl {
    int id;
    const wchar_t *className;
    const wchar_t *text;
    short x, y, width, height;
    int points; // 0: no font of ours
};

const ExpectedControl kExpected[] = {
    {IDC_ABOUT_ICON, L"Static", L"", 5, 5, 30, 30, 0},
    {IDC_ABOUT_THANKS, L"Static", L"Quelmo te da las Gracias por usar este programa.", 40, 10, 155, 25, 10},
    {IDC_ABOUT_CREDIT, L"Static", nullptr, 5, 50, 190, 40, 10},
    {IDC_ABOUT_EXIT, L"Button", L"Salir", 5, 100, 50, 15, 14},
};

TEST(AboutBox, BoxAndControlsHaveTheirLayoutStylesFontsAndColours) {
    WithAboutBox([](HWND box) {
        EXPECT_TRUE(IsWindowVisible(box));
        EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
        const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(box, GWL_STYLE));
        const DWORD wanted = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_3DLOOK | DS_CENTER;
        EXPECT_EQ(style & wanted, wanted);
        EXPECT_EQ(style & (WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u) << "no close button";
        EXPECT_NE(GetWindowLongPtrW(box, GWL_EXSTYLE) & WS_EX_TOPMOST, 0) << "stays above the other windows";

        // 201 x 121 dialog units of client area, centred on the screen.
        const RECT size = DialogUnitsToPixels(box, 0, 0, 201, 121);
        RECT client = {};
        GetClientRect(box, &client);
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);
        RECT outer = {};
        GetWindowRect(box, &outer);
        MONITORINFO monitor = {};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(box, MONITOR_DEFAULTTOPRIMARY), &monitor);
        EXPECT_LE(std::abs((outer.left + outer.right) - (monitor.rcWork.left + monitor.rcWork.right)), 2);
        EXPECT_LE(std::abs((outer.top + outer.bottom) - (monitor.rcWork.top + monitor.rcWork.bottom)), 2);

        HWND previous = nullptr;
        for (const ExpectedControl &e : kExpected) {
            SCOPED_TRACE(e.id);
            HWND control = GetDlgItem(box, e.id);
            ASSERT_NE(control, nullptr);
            EXPECT_EQ(ClassOf(control), e.className);
            if (e.text != nullptr) {
                EXPECT_EQ(TextOf(control), e.text);
            }
            const DWORD controlStyle = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
            EXPECT_EQ(controlStyle & (WS_CHILD | WS_VISIBLE), static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
            const RECT expected = DialogUnitsToPixels(box, e.x, e.y, e.width, e.height);
            const RECT actual = RectInParent(control);
            EXPECT_EQ(actual.left, expected.left);
            EXPECT_EQ(actual.top, expected.top);
            if (e.id == IDC_ABOUT_ICON) {
                // An icon static takes the size of its icon.
                EXPECT_EQ(controlStyle & SS_TYPEMASK, static_cast<DWORD>(SS_ICON));
                EXPECT_EQ(actual.right - actual.left, 32);
                EXPECT_EQ(actual.bottom - actual.top, 32);
            } else {
                EXPECT_EQ(actual.right, expected.right);
                EXPECT_EQ(actual.bottom, expected.bottom);
            }
            if (e.id == IDC_ABOUT_EXIT) {
                EXPECT_NE(controlStyle & WS_TABSTOP, 0u);
                // The dialog manager makes the focused push button the default one.
                const DWORD type = controlStyle & BS_TYPEMASK;
                EXPECT_TRUE(type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) << type;
            } else if (e.id != IDC_ABOUT_ICON) {
                EXPECT_EQ(controlStyle & SS_TYPEMASK, static_cast<DWORD>(SS_LEFT));
                EXPECT_EQ(DominantColour(control).colour, kBackgroundColour) << "painted background";
            }
            if (e.points != 0) {
                EXPECT_EQ(FontHeightOf(control), PointsToPixels(e.points));
                EXPECT_EQ(FontWeightOf(control), FW_BOLD);
                EXPECT_EQ(FontFaceOf(control), L"MS Sans Serif");
            }
            EXPECT_EQ(GetWindow(control, GW_HWNDPREV), previous) << "creation order is the tab order";
            previous = control;
        }

        // The credit line: one Spanish sentence of about eighty characters that ends inviting to our site.
        const std::wstring credit = TextOf(GetDlgItem(box, IDC_ABOUT_CREDIT));
        EXPECT_GE(credit.size(), 70u);
        EXPECT_LE(credit.size(), 90u);
        EXPECT_NE(credit.find(L"www.miguisla.es"), std::wstring::npos);

        EXPECT_EQ(DominantColour(box, true).colour, kBackgroundColour);
        EXPECT_NE(DominantColour(GetDlgItem(box, IDC_ABOUT_EXIT)).colour, kBackgroundColour) << "system button";
        UpdateWindow(box);
        HDC dc = GetDC(box);
        EXPECT_EQ(GetPixel(dc, client.right - 3, client.bottom - 3), kBackgroundColour) << "painted background";
        ReleaseDC(box, dc);
    });
}

TEST(AboutBox, TicksCycleTheSevenIconsStartingWith701Twice) {
    // Frames told apart by their pixels need seven different pictures.
    const auto &frames = FramePixels();
    for (int a = IDI_ANIMATION_FIRST; a <= IDI_ANIMATION_LAST; ++a) {
        ASSERT_FALSE(frames.at(a).empty()) << "icon " << a << " missing";
        for (int b = a + 1; b <= IDI_ANIMATION_LAST; ++b) {
            ASSERT_NE(frames.at(a), frames.at(b)) << "icons " << a << " and " << b << " look the same";
        }
    }
    WithAboutBox([](HWND box) {
        // The real timer has not ticked yet (it is 100 ms away).
        ASSERT_EQ(animationFrame, IDI_ANIMATION_FIRST);

        // What shows at the opening and after each of the next ten ticks: the first tick shows
        // 701 again, so 701 stays up for two periods.
        std::vector<int> shown = {FrameShown(box)};
        HICON before = IconShown(box);
        for (int tick = 1; tick <= 10; ++tick) {
            SCOPED_TRACE(tick);
            const std::uint16_t next = animationFrame;
            Tick(box);
            shown.push_back(FrameShown(box));
            EXPECT_EQ(shown.back(), next) << "the tick shows the frame animationFrame named";
            HICON now = IconShown(box);
            EXPECT_NE(now, before);
            ICONINFO info = {};
            EXPECT_FALSE(GetIconInfo(before, &info)) << "the icon shown before was released";
            before = now;
        }
        const std::vector<int> expected = {701, 701, 702, 703, 704, 705, 706, 707, 701, 702, 703};
        EXPECT_EQ(shown, expected);
        EXPECT_EQ(animationFrame, 704);

        // A tick of another timer changes nothing.
        Tick(box, IDT_ABOUT_ANIMATION + 1);
        Tick(box, 1);
        EXPECT_EQ(animationFrame, 704);
        EXPECT_EQ(IconShown(box), before);
        EXPECT_EQ(FrameShown(box), 703);
    });
}

// Set by the hook below when the About box handles its destruction: whether its animation timer
// was still there at that moment (KillTimer succeeds only on a timer that exists). The system
// removes a window's timers only after WM_DESTROY, so this sees whether the box stopped its own.
struct DestroyWatch {
    HWND box = nullptr;
    bool destroyed = false;
    bool timerLeftRunning = false;
} destroyWatch;

LRESULT CALLBACK WatchDestroy(int code, WPARAM wParam, LPARAM lParam) {
    const auto *call = reinterpret_cast<const CWPRETSTRUCT *>(lParam);
    if (code == HC_ACTION && call != nullptr && call->hwnd == destroyWatch.box && call->message == WM_DESTROY) {
        destroyWatch.destroyed = true;
        destroyWatch.timerLeftRunning = KillTimer(call->hwnd, IDT_ABOUT_ANIMATION) != FALSE;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(AboutBox, RealTimerAnimatesAndStopsWithTheBoxAltF4Closing) {
    HWND seen = nullptr;
    HICON lastIcon = nullptr;
    bool realTicks = false;
    std::vector<HFONT> fonts;
    destroyWatch = {};
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, WatchDestroy, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    CallSoon([&] {
        seen = FindAboutBox();
        ASSERT_NE(seen, nullptr);
        destroyWatch.box = seen;
        for (int id : {IDC_ABOUT_THANKS, IDC_ABOUT_EXIT}) {
            fonts.push_back(reinterpret_cast<HFONT>(SendDlgItemMessageW(seen, id, WM_GETFONT, 0, 0)));
        }
        // Wait for real ticks to move the animation past its doubled first frame, then press Alt+F4.
        WhenReady([&] { return animationFrame >= 703; },
                  [&] {
                      realTicks = animationFrame >= 703;
                      lastIcon = IconShown(seen);
                      SendMessageW(seen, WM_SYSKEYDOWN, VK_F4, 0x20000001); // Alt held: bit 29
                  });
    });
    EXPECT_EQ(AboutBox(nullptr), 0);
    UnhookWindowsHookEx(hook);
    ASSERT_NE(seen, nullptr);
    EXPECT_FALSE(IsWindow(seen));
    EXPECT_TRUE(realTicks) << "the timer ticked by itself";
    EXPECT_TRUE(destroyWatch.destroyed);
    EXPECT_FALSE(destroyWatch.timerLeftRunning) << "the box stops its timer when it is destroyed";

    // Fonts and the last icon were released with the box.
    ASSERT_EQ(fonts.size(), 2u);
    EXPECT_NE(fonts[0], fonts[1]);
    for (HFONT font : fonts) {
        EXPECT_NE(font, nullptr);
        EXPECT_EQ(GetObjectType(font), 0u) << "font deleted";
    }
    ICONINFO info = {};
    EXPECT_NE(lastIcon, nullptr);
    EXPECT_FALSE(GetIconInfo(lastIcon, &info)) << "last icon released";
}

TEST(AboutBox, EscapeAndCloseMessageKeepItOpenSalirEnterAndOkEndIt) {
    WithAboutBox([](HWND box) {
        HWND salir = GetDlgItem(box, IDC_ABOUT_EXIT);
        SetFocus(salir);
        MSG key = {salir, WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
        IsDialogMessageW(box, &key);
        SendMessageW(box, WM_COMMAND, IDCANCEL, 0);
        SendMessageW(box, WM_CLOSE, 0, 0); // answered with an IDCANCEL command, which is ignored
        EXPECT_TRUE(IsWindow(box));
        PressSalir(box);
        EXPECT_FALSE(IsWindow(box));
    });
    WithAboutBox([](HWND box) {
        SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_EXIT, 1), 0);
        EXPECT_FALSE(IsWindow(box));
    });
    WithAboutBox([](HWND box) {
        HWND salir = GetDlgItem(box, IDC_ABOUT_EXIT);
        SetFocus(salir);
        MSG key = {salir, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
        IsDialogMessageW(box, &key);
        EXPECT_FALSE(IsWindow(box)) << "Enter presses the focused Salir";
    });
}

TEST(AboutBox, ReopeningStartsAgainFrom701) {
    WithAboutBox([](HWND box) {
        for (int i = 0; i < 5; ++i) {
            Tick(box);
        }
        EXPECT_EQ(FrameShown(box), 705);
    });
    EXPECT_EQ(animationFrame, 706);
    WithAboutBox([](HWND box) {
        EXPECT_EQ(animationFrame, IDI_ANIMATION_FIRST);
        EXPECT_EQ(FrameShown(box), IDI_ANIMATION_FIRST);
        Tick(box);
        EXPECT_EQ(FrameShown(box), IDI_ANIMATION_FIRST);
        Tick(box);
        EXPECT_EQ(FrameShown(box), IDI_ANIMATION_FIRST + 1);
    });
}

TEST(AboutBox, CommandAutorOpensOneBoxUnderTheGuard) {
    int boxesWhileOpen = 0;
    bool guardWhileOpen = false;
    HWND mainWindowSeen = nullptr;
    CallSoon([&] {
        mainWindowSeen = MainWindow;
        // Closes every "Autor" box later; a second box opened by mistake would be counted here.
        CallSoon(
            [&] {
                boxesWhileOpen = CountAboutBoxes();
                guardWhileOpen = secondaryDialogOpen;
                while (HWND box = FindAboutBox()) {
                    PressSalir(box);
                }
            },
            300);
        // Inside the box's run: a second "Autor" is dropped and returns at once.
        WhenReady([] { return FindAboutBox() != nullptr; },
                  [&] { SendMessageW(MainWindow, WM_COMMAND, MAKEWPARAM(IDM_AUTHOR, 0), 0); });
        SendMessageW(MainWindow, WM_COMMAND, MAKEWPARAM(IDM_AUTHOR, 0), 0); // runs the box modally
        EXPECT_FALSE(secondaryDialogOpen) << "cleared when the box has closed";
        EXPECT_EQ(FindAboutBox(), nullptr);
        EndDialogWindow(MainWindow);
    });
    BuildMainWindow(nullptr);
    EXPECT_NE(mainWindowSeen, nullptr);
    EXPECT_EQ(boxesWhileOpen, 1);
    EXPECT_TRUE(guardWhileOpen);
}

} // namespace
