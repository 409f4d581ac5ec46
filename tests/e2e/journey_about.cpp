// The About box "Autor" in the real program: opened from the menu, a second "Autor" refused while it
// is open, the animated icon seen moving on two screenshots, and closed with "Salir" and with Alt+F4.
#include "driver.h"
#include "recipe_steps.h"

#include "resources/resource_ids.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace e2e;

namespace {

// How many pixels of a screen rectangle differ between two shots.
int DifferingPixels(const ScreenPixels &a, const ScreenPixels &b, const RECT &area) {
    int differing = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            differing += a.At({x, y}) != b.At({x, y}) ? 1 : 0;
        }
    }
    return differing;
}

// How many pixels of a screen rectangle are not the background colour.
int InkPixels(const ScreenPixels &shot, const RECT &area) {
    int ink = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            ink += shot.At({x, y}) != kWindowBackground ? 1 : 0;
        }
    }
    return ink;
}

std::vector<HWND> AboutBoxes(const AppProcess &app) {
    return TopWindows(app, L"#32770", L"Autor");
}

HWND OpenAboutBox(const AppProcess &app, HWND main) {
    if (!PostCommand(main, IDM_AUTHOR)) {
        return nullptr;
    }
    return WaitForWindow(app, L"#32770", L"Autor");
}

RECT ScreenRectOf(HWND hwnd) {
    std::optional<WindowInfo> info = DescribeWindow(hwnd);
    return info ? info->rect : RECT{};
}

} // namespace

TEST(About, OpensOnceAnimatesAndClosesWithSalirThenAltF4) {
    AppProcess app;
    HWND main = LaunchProgram(app);
    ASSERT_NE(main, nullptr) << LastError();

    HWND box = OpenAboutBox(app, main);
    ASSERT_NE(box, nullptr) << LastError();

    // The box as it stands: no close button, above the others, centred, its four controls in order.
    std::optional<WindowInfo> boxInfo = DescribeWindow(box);
    ASSERT_TRUE(boxInfo) << LastError();
    EXPECT_EQ(boxInfo->style & WS_SYSMENU, 0u);
    EXPECT_NE(boxInfo->exStyle & WS_EX_TOPMOST, 0u);
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_LE(std::abs((boxInfo->rect.left + boxInfo->rect.right) - (work.left + work.right)), 2);
    EXPECT_LE(std::abs((boxInfo->rect.top + boxInfo->rect.bottom) - (work.top + work.bottom)), 2);
    std::vector<WindowInfo> children = ChildWindows(box);
    ASSERT_EQ(children.size(), 4u);
    EXPECT_EQ(children[0].id, IDC_ABOUT_ICON);
    EXPECT_EQ(children[1].id, IDC_ABOUT_THANKS);
    EXPECT_EQ(children[1].text, L"Quelmo te da las Gracias por usar este programa.");
    EXPECT_EQ(children[2].id, IDC_ABOUT_CREDIT);
    EXPECT_NE(children[2].text.find(L"www.miguisla.es"), std::wstring::npos);
    EXPECT_EQ(children[3].id, IDC_ABOUT_EXIT);
    EXPECT_EQ(children[3].text, L"Salir");
    EXPECT_TRUE(IsWindowEnabled(main)) << "the box has no owner: the main window stays usable";

    // A second "Autor" while the box is open does nothing.
    ASSERT_TRUE(PostCommand(main, IDM_AUTHOR)) << LastError();
    ASSERT_TRUE(Settle(main, 400)) << LastError();
    EXPECT_EQ(AboutBoxes(app).size(), 1u);
    EXPECT_TRUE(IsWindow(box));

    // The icon moves: of a few shots a few hundred milliseconds apart, one differs from the first in
    // the icon's square (a cycle lasts 700 ms, so shots that fall a whole cycle apart may match).
    ASSERT_TRUE(Settle(box, 300)) << LastError();
    const std::wstring firstPath = TakeScreenshot(L"autor-1");
    ASSERT_FALSE(firstPath.empty()) << LastError();
    ScreenPixels first(firstPath);
    ASSERT_TRUE(first.Loaded()) << Utf8(firstPath);
    const RECT icon = ScreenRectOf(GetDlgItem(box, IDC_ABOUT_ICON));
    ASSERT_EQ(icon.right - icon.left, 32);
    ASSERT_EQ(icon.bottom - icon.top, 32);
    EXPECT_GT(InkPixels(first, icon), 0) << "an icon is drawn";
    int differing = 0;
    for (int attempt = 2; attempt <= 5 && differing == 0; ++attempt) {
        Sleep(300);
        const std::wstring path = TakeScreenshot(L"autor-" + std::to_wstring(attempt));
        ASSERT_FALSE(path.empty()) << LastError();
        ScreenPixels later(path);
        ASSERT_TRUE(later.Loaded()) << Utf8(path);
        differing = DifferingPixels(first, later, icon);
        // Only the icon moves: the texts stay as they were.
        EXPECT_EQ(DifferingPixels(first, later, ScreenRectOf(GetDlgItem(box, IDC_ABOUT_THANKS))), 0);
    }
    EXPECT_GT(differing, 0) << "the icon looked the same on every shot";

    // What the shot shows: the box's background colour, the texts drawn on it.
    RECT client = {};
    GetClientRect(box, &client);
    POINT corner = {client.right - 4, client.bottom - 4};
    ClientToScreen(box, &corner);
    EXPECT_EQ(first.At({corner.x, corner.y}), kWindowBackground);
    EXPECT_GT(InkPixels(first, ScreenRectOf(GetDlgItem(box, IDC_ABOUT_THANKS))), 100);
    EXPECT_GT(InkPixels(first, ScreenRectOf(GetDlgItem(box, IDC_ABOUT_CREDIT))), 100);

    // Escape does nothing; "Salir" ends the box and leaves the program running.
    ASSERT_TRUE(PostKey(box, VK_ESCAPE)) << LastError();
    ASSERT_TRUE(Settle(box, 200)) << LastError();
    EXPECT_TRUE(IsWindowVisible(box));
    ASSERT_TRUE(PostClick(GetDlgItem(box, IDC_ABOUT_EXIT))) << LastError();
    ASSERT_TRUE(WaitForWindowGone(box)) << LastError();
    EXPECT_TRUE(IsRunning(app));

    // Another opening, ended with Alt+F4; the guard is free again afterwards.
    HWND again = OpenAboutBox(app, main);
    ASSERT_NE(again, nullptr) << LastError();
    ASSERT_TRUE(Settle(again, 200)) << LastError();
    ASSERT_TRUE(PostKey(again, VK_F4, true)) << LastError();
    ASSERT_TRUE(WaitForWindowGone(again)) << LastError();
    EXPECT_TRUE(IsRunning(app));
    HWND third = OpenAboutBox(app, main);
    ASSERT_NE(third, nullptr) << LastError();
    ASSERT_TRUE(PostClick(GetDlgItem(third, IDC_ABOUT_EXIT))) << LastError();
    ASSERT_TRUE(WaitForWindowGone(third)) << LastError();

    ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
    std::optional<DWORD> code = WaitForExit(app);
    ASSERT_TRUE(code) << LastError();
    EXPECT_EQ(*code, 0u);
}
