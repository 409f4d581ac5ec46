// The first journey through the real program: start it, read its menu, choose "Nuevo", leave it with
// "Salir", Alt+F4 or a system close request; and the picture cache folder made at start-up.
#include "driver.h"
#include "menu_mode.h"

#include "resources/resource_ids.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

struct ExpectedItem {
    const wchar_t *text; // nullptr: separator
    UINT id;
};

const ExpectedItem kFileItems[] = {
    {L"Nuevo", IDM_NEW},
    {nullptr, 0},
    {L"Grabar Receta", IDM_SAVE_RECIPE},
    {nullptr, 0},
    {L"Buscar Receta", IDM_SEARCH_RECIPE},
    {nullptr, 0},
    {L"Autor", IDM_AUTHOR},
    {nullptr, 0},
    {L"Salir", IDM_EXIT},
};

const ExpectedItem kRecipeItems[] = {
    {L"Insertar Plato y Categoria", IDM_INSERT_DISH_CATEGORY},
    {L"Insertar Ingredientes", IDM_INSERT_INGREDIENTS},
    {L"Insertar Elaboraci\u00F3n", IDM_INSERT_ELABORATION},
    {L"Insertar Imagen", IDM_INSERT_PICTURE},
};

template <size_t N>
void ExpectPopup(const MenuBar &bar, const std::wstring &popupText, const ExpectedItem (&expected)[N]) {
    const std::vector<MenuItem> items = PopupItems(bar, popupText);
    ASSERT_EQ(items.size(), N) << "items of " << Utf8(popupText);
    for (size_t i = 0; i < N; ++i) {
        SCOPED_TRACE(Utf8(popupText) + " position " + std::to_string(i));
        if (expected[i].text == nullptr) {
            EXPECT_TRUE(items[i].separator);
            continue;
        }
        EXPECT_FALSE(items[i].separator);
        EXPECT_EQ(items[i].text, expected[i].text);
        EXPECT_EQ(items[i].id, expected[i].id);
        EXPECT_FALSE(items[i].hasSubMenu);
        // Every command shows its 16 x 16 picture, the same for both check-mark states.
        EXPECT_TRUE(items[i].hasCheckedBitmap);
        EXPECT_TRUE(items[i].hasUncheckedBitmap);
    }
}

std::wstring TextOfBox(HWND main, int id) {
    std::optional<std::wstring> text = ControlText(Control(main, id));
    return text ? *text : L"<unreadable>";
}

bool BoxesEmpty(HWND main) {
    return TextOfBox(main, IDC_DISH_NAME_BOX).empty() && TextOfBox(main, IDC_INGREDIENTS_BOX).empty() &&
           TextOfBox(main, IDC_ELABORATION_BOX).empty();
}

// The program must end by itself, with exit code 0, and take its window with it.
void ExpectEndsCleanly(AppProcess &app, HWND main) {
    std::optional<DWORD> code = WaitForExit(app);
    ASSERT_TRUE(code) << LastError();
    EXPECT_EQ(*code, 0u);
    EXPECT_FALSE(IsWindow(main));
}

} // namespace

TEST(Shell, MenuStatesAcrossNuevoThenSalir) {
    AppProcess app;
    HWND main = LaunchProgram(app);
    ASSERT_NE(main, nullptr) << LastError();

    std::optional<MenuBar> bar = ReadMenu(app, main);
    ASSERT_TRUE(bar) << LastError();
    ASSERT_TRUE(bar->present);
    std::vector<std::wstring> barTexts;
    for (const MenuItem &item : bar->items) {
        if (item.level == 0) {
            barTexts.push_back(item.text);
            EXPECT_TRUE(item.hasSubMenu) << Utf8(item.text);
        }
    }
    EXPECT_EQ(barTexts, (std::vector<std::wstring>{L"Archivos", L"Recetas"}));
    ExpectPopup(*bar, L"Archivos", kFileItems);
    ExpectPopup(*bar, L"Recetas", kRecipeItems);
    EXPECT_EQ(MenuModeMismatches(*bar, MenuMode::Browsing), "");
    EXPECT_TRUE(BoxesEmpty(main));
    EXPECT_FALSE(TakeScreenshot(L"browsing").empty()) << LastError();

    // Text in the boxes as if a recipe were shown; "Nuevo" must empty them.
    ASSERT_TRUE(SetControlText(Control(main, IDC_DISH_NAME_BOX), L"Tortilla espa\u00F1ola")) << LastError();
    ASSERT_TRUE(SetControlText(Control(main, IDC_INGREDIENTS_BOX), L"4 huevos\r\n3 patatas")) << LastError();
    ASSERT_TRUE(SetControlText(Control(main, IDC_ELABORATION_BOX), L"Fre\u00EDr las patatas.")) << LastError();
    EXPECT_EQ(TextOfBox(main, IDC_DISH_NAME_BOX), L"Tortilla espa\u00F1ola");
    EXPECT_EQ(TextOfBox(main, IDC_INGREDIENTS_BOX), L"4 huevos\r\n3 patatas");

    ASSERT_TRUE(PostCommand(main, IDM_NEW)) << LastError();
    EXPECT_EQ(WaitForMenuMode(app, main, MenuMode::Editing), "");
    EXPECT_TRUE(WaitUntil([&] { return BoxesEmpty(main); }, 5000))
        << "dish name '" << Utf8(TextOfBox(main, IDC_DISH_NAME_BOX)) << "', ingredients '"
        << Utf8(TextOfBox(main, IDC_INGREDIENTS_BOX)) << "', elaboration '"
        << Utf8(TextOfBox(main, IDC_ELABORATION_BOX)) << "'";
    std::optional<bool> hasMenu = HasMenuBar(app, main);
    ASSERT_TRUE(hasMenu) << LastError();
    EXPECT_TRUE(*hasMenu);
    ASSERT_TRUE(Settle(main)) << LastError();
    EXPECT_FALSE(TakeScreenshot(L"editing").empty()) << LastError();

    ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
    ExpectEndsCleanly(app, main);
}

TEST(Shell, EscapeIsIgnoredAndAltF4Ends) {
    AppProcess app;
    HWND main = LaunchProgram(app);
    ASSERT_NE(main, nullptr) << LastError();

    ASSERT_TRUE(PostKey(main, VK_ESCAPE)) << LastError();
    ASSERT_TRUE(Settle(main, 200)) << LastError();
    EXPECT_TRUE(IsRunning(app));
    EXPECT_TRUE(IsWindowVisible(main));

    ASSERT_TRUE(PostKey(main, VK_F4, true)) << LastError();
    ExpectEndsCleanly(app, main);
}

TEST(Shell, SystemCloseRequestEnds) {
    AppProcess app;
    HWND main = LaunchProgram(app);
    ASSERT_NE(main, nullptr) << LastError();
    ASSERT_TRUE(PostCommand(main, IDM_NEW)) << LastError();
    EXPECT_EQ(WaitForMenuMode(app, main, MenuMode::Editing), "");

    ASSERT_TRUE(PostSysCommand(main, SC_CLOSE)) << LastError();
    ExpectEndsCleanly(app, main);
}

TEST(Shell, PictureCacheFolderMadeAtStartAndKept) {
    const std::wstring cache = ExpectedPictureCacheFolder();
    // Start without the folder when it can be removed (it holds only short-lived files, so it is
    // normally empty); otherwise the run can only show that the program copes with it existing.
    RemoveDirectoryW(cache.c_str());
    const bool existedBefore = IsDirectory(cache);
    if (existedBefore) {
        std::printf("note: %s is not empty and was kept; its creation is not observed\n", Utf8(cache).c_str());
    }
    {
        AppProcess app;
        HWND main = LaunchProgram(app);
        ASSERT_NE(main, nullptr) << LastError();
        EXPECT_TRUE(IsDirectory(cache)) << Utf8(cache);
        ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
        ExpectEndsCleanly(app, main);
    }
    EXPECT_TRUE(IsDirectory(cache)) << "the program must not remove the cache folder";

    // A second run finds the folder there and starts without a message.
    AppProcess again;
    HWND main = LaunchProgram(again);
    ASSERT_NE(main, nullptr) << LastError();
    ASSERT_TRUE(Settle(main)) << LastError();
    std::vector<HWND> windows = TopWindows(again);
    ASSERT_EQ(windows.size(), 1u) << "a second window (message box?) appeared";
    EXPECT_EQ(windows.front(), main);
    ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
    ExpectEndsCleanly(again, main);
}
