// The real main window, built and run in-process: layout, fonts, colours, menu and its states,
// "Nuevo", and the ways the window ends.
#include "state/app_state.h"
#include "state/main_menu.h"
#include "app/main_window.h"
#include "resources/resource_ids.h"
#include "ui/dialog.h"
#include "ui/gdi.h"
#include "ui/picture_box.h"
#include "win_test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct ExpectedControl {
    int id;
    const wchar_t *className;
    const wchar_t *text;
    DWORD style;
    DWORD exStyle;
    short x, y, width, height;
    int points; // 0: no font of ours
    LONG weight;
};

constexpr DWORD kBoxStyle =
    WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_WANTRETURN;

const ExpectedControl kExpected[] = {
    {IDC_PICTURE_BOX, L"Static", L"", WS_CHILD | WS_VISIBLE | SS_NOTIFY | SS_SUNKEN | SS_OWNERDRAW, 0, 5, 5, 220, 220,
     0, 0},
    {IDC_DISH_NAME_BOX, L"Static", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | SS_CENTER, 0, 230, 5, 283, 40, 14, 400},
    {IDC_INGREDIENTS_BOX, L"Edit", L"", kBoxStyle, WS_EX_CLIENTEDGE, 230, 70, 285, 155, 10, 400},
    {IDC_ELABORATION_BOX, L"Edit", L"", kBoxStyle, WS_EX_CLIENTEDGE, 0, 250, 515, 190, 10, 400},
    {IDC_INGREDIENTS_HEADING, L"Static", L"Ingredientes", WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 260, 50, 285, 20, 14,
     700},
    {IDC_INGREDIENTS_EMBLEM, L"Static", L"", WS_CHILD | WS_VISIBLE | SS_BITMAP, 0, 230, 46, 36, 39, 0, 0},
    {IDC_ELABORATION_HEADING, L"Static", L"Elaboraci\u00F3n", WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 36, 230, 510, 20, 14,
     700},
    {IDC_ELABORATION_EMBLEM, L"Static", L"", WS_CHILD | WS_VISIBLE | SS_BITMAP, 0, 5, 226, 36, 39, 0, 0},
};

struct MenuItemState {
    std::wstring text;
    UINT id;
    UINT type;
    UINT state;
    HBITMAP checked;
    HBITMAP unchecked;
};

std::vector<MenuItemState> ReadPopup(HMENU popup) {
    std::vector<MenuItemState> items;
    const int count = GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_CHECKMARKS;
        info.dwTypeData = text;
        info.cch = 128;
        GetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &info);
        items.push_back({text, info.wID, info.fType, info.fState, info.hbmpChecked, info.hbmpUnchecked});
    }
    return items;
}

bool IsGrey(UINT id) {
    return (GetMenuState(currentMenuBar, id, MF_BYCOMMAND) & MF_GRAYED) != 0;
}

// Runs the main window with `checks` called from inside its modal run; the window is then ended.
// Runs `work` once the main window is shown: its initialisation pumps messages while it probes
// the drives, so work scheduled earlier could run before the window is complete.
void WhenMainWindowShown(std::function<void()> work) {
    WhenReady([] { return MainWindow != nullptr && IsWindowVisible(MainWindow); }, std::move(work));
}

void WithMainWindow(std::function<void(HWND)> checks) {
    WhenMainWindowShown([checks] {
        checks(MainWindow);
        EndDialogWindow(MainWindow);
    });
    BuildMainWindow(nullptr);
}

TEST(MainWindow, WindowAndControlsHaveTheirLayoutStylesAndFonts) {
    WithMainWindow([](HWND window) {
        EXPECT_EQ(TextOf(window), L"Mi guisla");
        EXPECT_TRUE(IsWindowVisible(window));
        const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
        EXPECT_EQ(style & (WS_POPUP | WS_CLIPSIBLINGS | WS_CAPTION | WS_MINIMIZEBOX | DS_MODALFRAME),
                  WS_POPUP | WS_CLIPSIBLINGS | WS_CAPTION | WS_MINIMIZEBOX | DS_MODALFRAME);
        EXPECT_EQ(style & (WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX), 0u) << "no system menu, not resizable";
        EXPECT_NE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_CONTROLPARENT, 0);
        EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
        EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_BIG, 0), 0);
        EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_SMALL, 0), 0);

        // The window's place and size are dialog units of the template font, from the screen's corner.
        RECT outer = {};
        GetWindowRect(window, &outer);
        const RECT origin = DialogUnitsToPixels(window, 46, 60, 0, 0);
        const RECT size = DialogUnitsToPixels(window, 0, 0, 515, 453);
        RECT client = {};
        GetClientRect(window, &client);
        RECT frame = {0, 0, size.right, size.bottom};
        AdjustWindowRectEx(&frame, style, FALSE, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
        // The template's position places the frame on Windows and the client area under Wine.
        POINT clientCorner = {0, 0};
        ClientToScreen(window, &clientCorner);
        EXPECT_LE(outer.left, origin.left);
        EXPECT_GE(clientCorner.x, origin.left);
        EXPECT_LE(outer.top, origin.top);
        EXPECT_GE(clientCorner.y, origin.top);
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(outer.right - outer.left, frame.right - frame.left);

        HWND previous = nullptr;
        for (const ExpectedControl &e : kExpected) {
            SCOPED_TRACE(e.id);
            HWND control = GetDlgItem(window, e.id);
            ASSERT_NE(control, nullptr);
            EXPECT_EQ(ClassOf(control), e.className);
            EXPECT_EQ(TextOf(control), e.text);
            const DWORD controlStyle = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
            EXPECT_EQ(controlStyle & e.style, e.style);
            if (std::wstring(e.className) == L"Static") {
                EXPECT_EQ(controlStyle & SS_TYPEMASK, e.style & SS_TYPEMASK);
            }
            EXPECT_EQ(GetWindowLongPtrW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, static_cast<LONG_PTR>(e.exStyle));
            const RECT expected = DialogUnitsToPixels(window, e.x, e.y, e.width, e.height);
            const RECT actual = RectInParent(control);
            EXPECT_EQ(actual.left, expected.left);
            EXPECT_EQ(actual.top, expected.top);
            const bool bitmapStatic = std::wstring(e.className) == L"Static" && (e.style & SS_TYPEMASK) == SS_BITMAP;
            if (bitmapStatic) {
                // A bitmap static takes the size of its picture (38 x 38 pixels).
                EXPECT_EQ(actual.right - actual.left, 38);
                EXPECT_EQ(actual.bottom - actual.top, 38);
                EXPECT_NE(SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
            } else {
                EXPECT_EQ(actual.right, expected.right);
                EXPECT_EQ(actual.bottom, expected.bottom);
            }
            if (e.points != 0) {
                EXPECT_EQ(FontHeightOf(control), PointsToPixels(e.points));
                EXPECT_EQ(FontWeightOf(control), e.weight);
                EXPECT_EQ(FontFaceOf(control), L"MS Sans Serif");
            }
            // Creation order is the tab order.
            EXPECT_EQ(GetWindow(control, GW_HWNDPREV), previous);
            previous = control;
        }

        // Colours as painted on screen.
        EXPECT_EQ(DominantColour(window, true).colour, kBackgroundColour) << "window background";
        EXPECT_EQ(DominantColour(GetDlgItem(window, IDC_DISH_NAME_BOX)).colour, kWhite);
        for (int id : {IDC_INGREDIENTS_BOX, IDC_ELABORATION_BOX, IDC_INGREDIENTS_HEADING, IDC_ELABORATION_HEADING,
                       IDC_PICTURE_BOX}) {
            EXPECT_EQ(DominantColour(GetDlgItem(window, id)).colour, kBackgroundColour) << id;
        }
        HWND box = GetDlgItem(window, IDC_PICTURE_BOX);
        EXPECT_EQ(PictureBoxPixel(box, 0, 0), kBackgroundColour);
        EXPECT_EQ(PictureBoxPixel(box, 100, 200), kBackgroundColour);
    });
}

TEST(MainWindow, PaintsPictureBoxAndColoursOnScreen) {
    WithMainWindow([](HWND window) {
        for (int i = 0; i < 20; ++i) {
            PumpOneMessage();
            Sleep(10);
        }
        UpdateWindow(window);
        HWND box = GetDlgItem(window, IDC_PICTURE_BOX);
        // The picture box shows its off-screen image: draw a red square into the image and
        // read it back from the screen.
        HDC screen = GetDC(nullptr);
        HBITMAP square = CreateCompatibleBitmap(screen, 10, 10);
        HDC memory = CreateCompatibleDC(screen);
        HGDIOBJ old = SelectObject(memory, square);
        RECT all = {0, 0, 10, 10};
        HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
        FillRect(memory, &all, brush);
        DeleteObject(brush);
        SelectObject(memory, old);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        PictureBoxCopyBitmap(box, square);
        PictureBoxRedraw(box);
        EXPECT_EQ(ScreenPixel(box, 3, 3), RGB(255, 0, 0));
        EXPECT_EQ(ScreenPixel(box, 50, 50), kBackgroundColour);
        EXPECT_EQ(ScreenPixel(window, 2, 2), kBackgroundColour) << "window background";
        DeleteObject(square);
        ClearPictureBox();
        EXPECT_EQ(PictureBoxPixel(box, 3, 3), kBackgroundColour);
    });
}

TEST(MainWindow, MenuHasItsItemsPicturesAndBrowsingStates) {
    WithMainWindow([](HWND window) {
        ASSERT_EQ(GetMenu(window), currentMenuBar);
        ASSERT_EQ(GetMenuItemCount(currentMenuBar), 2);
        wchar_t title[64] = {};
        GetMenuStringW(currentMenuBar, 0, title, 64, MF_BYPOSITION);
        EXPECT_STREQ(title, L"Archivos");
        GetMenuStringW(currentMenuBar, 1, title, 64, MF_BYPOSITION);
        EXPECT_STREQ(title, L"Recetas");

        const auto file = ReadPopup(GetSubMenu(currentMenuBar, 0));
        const struct {
            const wchar_t *text;
            UINT id;
        } kFile[] = {{L"Nuevo", IDM_NEW},
                     {L"", 0},
                     {L"Grabar Receta", IDM_SAVE_RECIPE},
                     {L"", 0},
                     {L"Buscar Receta", IDM_SEARCH_RECIPE},
                     {L"", 0},
                     {L"Autor", IDM_AUTHOR},
                     {L"", 0},
                     {L"Salir", IDM_EXIT}};
        ASSERT_EQ(file.size(), 9u);
        for (size_t i = 0; i < file.size(); ++i) {
            SCOPED_TRACE(i);
            if (i % 2 == 1) {
                EXPECT_NE(file[i].type & MFT_SEPARATOR, 0u);
                continue;
            }
            EXPECT_EQ(file[i].text, kFile[i].text);
            EXPECT_EQ(file[i].id, kFile[i].id);
            EXPECT_NE(file[i].checked, nullptr);
            EXPECT_EQ(file[i].checked, file[i].unchecked);
            BITMAP info = {};
            ASSERT_NE(GetObjectW(file[i].checked, sizeof(info), &info), 0);
            EXPECT_EQ(info.bmWidth, 16);
            EXPECT_EQ(info.bmHeight, 16);
        }
        const auto recipes = ReadPopup(GetSubMenu(currentMenuBar, 1));
        const wchar_t *kRecipes[] = {L"Insertar Plato y Categoria", L"Insertar Ingredientes",
                                     L"Insertar Elaboraci\u00F3n", L"Insertar Imagen"};
        ASSERT_EQ(recipes.size(), 4u);
        for (size_t i = 0; i < recipes.size(); ++i) {
            EXPECT_EQ(recipes[i].text, kRecipes[i]);
            EXPECT_EQ(recipes[i].id, IDM_INSERT_DISH_CATEGORY + i);
            EXPECT_NE(recipes[i].checked, nullptr);
        }

        // Browsing: editing commands grey; the rest enabled.
        for (UINT id : {IDM_SAVE_RECIPE, IDM_INSERT_DISH_CATEGORY, IDM_INSERT_INGREDIENTS, IDM_INSERT_ELABORATION,
                        IDM_INSERT_PICTURE}) {
            EXPECT_TRUE(IsGrey(id)) << id;
        }
        for (UINT id : {IDM_NEW, IDM_SEARCH_RECIPE, IDM_AUTHOR, IDM_EXIT}) {
            EXPECT_FALSE(IsGrey(id)) << id;
        }
        EXPECT_FALSE(secondaryDialogOpen);
    });
}

TEST(MainWindow, NuevoClearsTheRecipeKeepsTheCategoryAndEntersEditing) {
    WithMainWindow([](HWND window) {
        currentRecipe.dishName = "Cocido madrile\xF1o";
        currentRecipe.categoryName = "Potajes";
        currentRecipe.categoryNumber = 7;
        currentRecipe.ingredients = "garbanzos\r\ntocino";
        currentRecipe.elaboration = "Cocer.";
        currentRecipe.picturePath = "C:\\f.jpg";
        ShowRecipeTexts();
        EXPECT_EQ(TextOf(GetDlgItem(window, IDC_DISH_NAME_BOX)), L"Cocido madrile\u00F1o");
        EXPECT_EQ(TextOf(GetDlgItem(window, IDC_INGREDIENTS_BOX)), L"garbanzos\r\ntocino");

        SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_NEW, 0), 0);

        EXPECT_EQ(currentRecipe.dishName, "");
        EXPECT_EQ(currentRecipe.categoryName, "");
        EXPECT_EQ(currentRecipe.ingredients, "");
        EXPECT_EQ(currentRecipe.elaboration, "");
        EXPECT_EQ(currentRecipe.picturePath, "");
        EXPECT_EQ(currentRecipe.categoryNumber, 7) << "kept for the next pre-selection";
        for (int id : {IDC_DISH_NAME_BOX, IDC_INGREDIENTS_BOX, IDC_ELABORATION_BOX}) {
            EXPECT_EQ(TextOf(GetDlgItem(window, id)), L"") << id;
        }
        for (UINT id : {IDM_SAVE_RECIPE, IDM_INSERT_DISH_CATEGORY, IDM_INSERT_INGREDIENTS, IDM_INSERT_ELABORATION,
                        IDM_INSERT_PICTURE, IDM_NEW, IDM_AUTHOR, IDM_EXIT}) {
            EXPECT_FALSE(IsGrey(id)) << id;
        }
        EXPECT_TRUE(IsGrey(IDM_SEARCH_RECIPE));

        // Notifications of the window's own controls and unknown ids change nothing.
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_INGREDIENTS_BOX, EN_SETFOCUS), 0);
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(4242, 0), 0);
        EXPECT_TRUE(IsWindow(window));
        EXPECT_FALSE(IsGrey(IDM_SAVE_RECIPE));
        currentRecipe = Recipe{};
    });
}

TEST(MainWindow, EscapeAndEnterDoNothing) {
    WithMainWindow([](HWND window) {
        SetForegroundWindow(window);
        SetFocus(GetDlgItem(window, IDC_INGREDIENTS_BOX));
        MSG key = {window, WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
        key.hwnd = GetDlgItem(window, IDC_INGREDIENTS_BOX);
        IsDialogMessageW(window, &key);
        EXPECT_TRUE(IsWindow(window));
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
        SendMessageW(window, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(IsWindow(window));
    });
}

TEST(MainWindow, SalirEndsTheWindowAndTheRun) {
    bool checked = false;
    WhenMainWindowShown([&] {
        PostMessageW(MainWindow, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
        checked = true;
    });
    EXPECT_EQ(BuildMainWindow(nullptr), 0);
    EXPECT_TRUE(checked);
    EXPECT_EQ(MainWindow, nullptr);
    EXPECT_EQ(ModalDepth(), 0);
}

TEST(MainWindow, SystemCloseRequestEndsTheWindowLikeSalir) {
    HWND seen = nullptr;
    WhenMainWindowShown([&] {
        seen = MainWindow;
        PostMessageW(MainWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    BuildMainWindow(nullptr);
    EXPECT_NE(seen, nullptr);
    EXPECT_FALSE(IsWindow(seen));
}

TEST(MainWindow, QuitMessageSeenInANestedRunReachesTheOuterRun) {
    HWND inner = nullptr;
    WhenMainWindowShown([&] {
        const DialogLayout layout = {L"Inner", WS_POPUP | WS_CAPTION | DS_MODALFRAME, 0, 10, 10, 100, 50};
        inner = CreateDialogWindow(layout, nullptr, nullptr);
        CallSoon([] { PostQuitMessage(3); });
        RunModalDialog(inner); // ends on WM_QUIT and posts it again for the main window's run
    });
    BuildMainWindow(nullptr);
    EXPECT_NE(inner, nullptr);
    EXPECT_FALSE(IsWindow(inner));
    EXPECT_EQ(MainWindow, nullptr);
    MSG left;
    EXPECT_FALSE(PeekMessageW(&left, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the outer run consumed WM_QUIT";
}

} // namespace
