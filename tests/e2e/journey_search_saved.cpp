// The whole way round in the real program: three recipes of one category entered through the entry
// dialogs and saved (one with a picture chosen in the file dialog), the program closed and started
// again, the category searched, the count message and the numbered lines read, and the recipe with
// the picture opened by a double-click: its texts in the main window's boxes, its picture in the
// picture box, the menu in Browsing; screenshots of the results and of the opened recipe. Then
// another program appends a recipe to the store, and the program started again finds it; with
// its kept index of the store deleted, a further start shows exactly the same.
#include "driver.h"
#include "menu_mode.h"
#include "recipe_steps.h"

#include "resources/resource_ids.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace e2e;

namespace {

constexpr int kStews = 6; // "07 - Potajes", in the entry dialog's list and in the search combo
constexpr COLORREF kPictureColour = RGB(40, 120, 200);

struct Recipe {
    std::wstring dish;
    std::wstring ingredients;
    std::wstring elaboration;
    bool withPicture = false;
};

// Saved in this order, so the keys are 1, 2, 3 and the lines follow the keys, not the names.
const Recipe kRecipes[] = {
    {L"Potaje de vigilia", L"300 g de garbanzos\r\n250 g de bacalao desalado\r\n200 g de espinacas",
     L"Cocer los garbanzos y a\u00F1adir el bacalao y las espinacas al final.", false},
    {L"Cocido madrile\u00F1o", L"400 g de garbanzos\r\n1 trozo de morcillo\r\nchorizo, morcilla y tocino\r\nrepollo",
     L"Cocer a fuego lento tres horas.\r\nServir en tres vuelcos: sopa, garbanzos y carnes.", true},
    {L"Fabada asturiana", L"500 g de fabes\r\ncompango (chorizo, morcilla y lac\u00F3n)\r\nazafr\u00E1n",
     L"Cubrir las fabes con agua fr\u00EDa y cocer despacio, \u00A1sin remover!", false},
};

// A 24-bit BMP of one colour, 160 x 120 pixels.
std::vector<uint8_t> OneColourBmp(COLORREF colour) {
    constexpr uint32_t kWidth = 160;
    constexpr uint32_t kHeight = 120;
    std::vector<uint8_t> bytes;
    auto put = [&bytes](uint32_t value, int size) {
        for (int i = 0; i < size; ++i) {
            bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
        }
    };
    const uint32_t pixels = kWidth * 3 * kHeight; // rows of 480 bytes need no padding
    bytes = {'B', 'M'};
    put(54 + pixels, 4);
    put(0, 4);
    put(54, 4);
    put(40, 4);
    put(kWidth, 4);
    put(kHeight, 4);
    put(1, 2);
    put(24, 2);
    put(0, 4); // BI_RGB
    put(pixels, 4);
    put(2835, 4);
    put(2835, 4);
    put(0, 4);
    put(0, 4);
    for (uint32_t i = 0; i < kWidth * kHeight; ++i) {
        bytes.insert(bytes.end(), {GetBValue(colour), GetGValue(colour), GetRValue(colour)});
    }
    return bytes;
}

std::wstring TextOf(HWND control) {
    std::optional<std::wstring> text = ControlText(control);
    return text ? *text : L"<unreadable>";
}

// Enters one recipe from "Nueva Receta" and saves it with "Grabar Receta".
void EnterAndSave(AppProcess &app, HWND main, const Recipe &recipe, const std::wstring &picture) {
    SCOPED_TRACE(Utf8(recipe.dish));
    ASSERT_TRUE(PostCommand(main, IDM_NEW)) << LastError();
    ASSERT_EQ(WaitForMenuMode(app, main, MenuMode::Editing), "");
    ASSERT_TRUE(EnterDishAndCategory(app, main, recipe.dish, kStews)) << LastError();
    ASSERT_TRUE(
        EnterText(app, main, IDM_INSERT_INGREDIENTS, IDC_INGREDIENTS_TEXT, IDC_INGREDIENTS_ACCEPT, recipe.ingredients))
        << LastError();
    ASSERT_TRUE(
        EnterText(app, main, IDM_INSERT_ELABORATION, IDC_ELABORATION_TEXT, IDC_ELABORATION_ACCEPT, recipe.elaboration))
        << LastError();
    if (recipe.withPicture) {
        ASSERT_TRUE(ChoosePicture(app, main, picture)) << LastError();
    }
    ASSERT_TRUE(PostCommand(main, IDM_SAVE_RECIPE)) << LastError();
    HWND box = WaitForMessageBox(app, L"Programador", 30000);
    ASSERT_NE(box, nullptr) << LastError();
    EXPECT_EQ(MessageBoxText(box).value_or(L""), L"Receta Guardada ...\r\nQue disfrutes tu receta uuuuummmm!!! ....");
    ASSERT_TRUE(CloseMessageBox(box)) << LastError();
    ASSERT_EQ(WaitForMenuMode(app, main, MenuMode::Browsing), "");
}

// Starts the program on `folder`, searches the stews and returns the count message and the
// lines of the result list; the program is closed again.
std::vector<std::wstring> SearchStewsInANewRun(const std::wstring &folder) {
    std::vector<std::wstring> seen;
    AppProcess app;
    EXPECT_TRUE(StartProgram(app, folder)) << LastError();
    HWND main = WaitForMainWindow(app);
    EXPECT_NE(main, nullptr) << LastError();
    EXPECT_TRUE(PostCommand(main, IDM_SEARCH_RECIPE)) << LastError();
    HWND dialog = WaitForWindow(app, L"#32770", L"Buscar Receta");
    EXPECT_NE(dialog, nullptr) << LastError();
    HWND list = Control(dialog, IDC_SEARCH_RESULTS);
    EXPECT_TRUE(ComboSelect(Control(dialog, IDC_SEARCH_CATEGORY), kStews)) << LastError();
    EXPECT_TRUE(PostClick(Control(dialog, IDC_SEARCH_BUTTON))) << LastError();
    HWND box = WaitForMessageBox(app, L"Programador");
    EXPECT_NE(box, nullptr) << LastError();
    seen.push_back(MessageBoxText(box).value_or(L""));
    EXPECT_TRUE(CloseMessageBox(box)) << LastError();
    for (int i = 0; i < ListCount(list).value_or(0); ++i) {
        seen.push_back(ListItemText(list, i).value_or(L"<unreadable>"));
    }
    EXPECT_TRUE(PostClick(Control(dialog, IDC_SEARCH_EXIT))) << LastError();
    EXPECT_TRUE(WaitForWindowGone(dialog)) << LastError();
    EXPECT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
    EXPECT_EQ(WaitForExit(app).value_or(999), 0u) << LastError();
    return seen;
}

// What another program that writes the store's format does: appends the records of recipe 1
// again under `key` (the key is the 8 bytes at offset 24 of each 38-byte record).
void AppendFirstRecipeAs(const std::wstring &dataFile, int64_t key) {
    std::ifstream in(dataFile.c_str(), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    std::vector<char> copy;
    for (size_t at = 0; at + 38 <= bytes.size() && bytes[at + 24] == 1; at += 38) {
        copy.insert(copy.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                    bytes.begin() + static_cast<std::ptrdiff_t>(at + 38));
        for (int i = 0; i < 8; ++i) {
            copy[copy.size() - 38 + 24 + i] = static_cast<char>(static_cast<uint64_t>(key) >> (8 * i));
        }
    }
    ASSERT_FALSE(copy.empty());
    std::ofstream out(dataFile.c_str(), std::ios::binary | std::ios::app);
    out.write(copy.data(), static_cast<std::streamsize>(copy.size()));
    ASSERT_TRUE(out.good());
}

} // namespace

TEST(SearchSaved, RecipesSavedThenFoundAfterARestartAndOpenedWithTheirPicture) {
    const std::wstring folder = PrepareProgramFolder();
    ASSERT_FALSE(folder.empty()) << LastError();
    const std::wstring picture = folder + L"\\cocido.bmp";
    {
        const std::vector<uint8_t> bytes = OneColourBmp(kPictureColour);
        std::ofstream out(picture.c_str(), std::ios::binary);
        out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(out.good());
    }

    // First run: the three recipes saved, then "Salir".
    {
        AppProcess app;
        ASSERT_TRUE(StartProgram(app, folder)) << LastError();
        HWND main = WaitForMainWindow(app);
        ASSERT_NE(main, nullptr) << LastError();
        for (const Recipe &recipe : kRecipes) {
            ASSERT_NO_FATAL_FAILURE(EnterAndSave(app, main, recipe, picture));
        }
        ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
        ASSERT_EQ(WaitForExit(app).value_or(999), 0u) << LastError();
    }

    // Second run: the category searched.
    AppProcess app;
    ASSERT_TRUE(StartProgram(app, folder)) << LastError();
    HWND main = WaitForMainWindow(app);
    ASSERT_NE(main, nullptr) << LastError();
    EXPECT_EQ(TextOf(Control(main, IDC_DISH_NAME_BOX)), L"") << "a fresh start shows no recipe";

    ASSERT_TRUE(PostCommand(main, IDM_SEARCH_RECIPE)) << LastError();
    HWND dialog = WaitForWindow(app, L"#32770", L"Buscar Receta");
    ASSERT_NE(dialog, nullptr) << LastError();
    HWND combo = Control(dialog, IDC_SEARCH_CATEGORY);
    HWND list = Control(dialog, IDC_SEARCH_RESULTS);
    ASSERT_TRUE(ComboSelect(combo, kStews)) << LastError();
    EXPECT_EQ(ComboItemText(combo, kStews).value_or(L""), L"07 - Potajes");
    ASSERT_TRUE(PostClick(Control(dialog, IDC_SEARCH_BUTTON))) << LastError();
    HWND box = WaitForMessageBox(app, L"Programador");
    ASSERT_NE(box, nullptr) << LastError();
    EXPECT_EQ(MessageBoxText(box).value_or(L""), L"3 Resultados ...");
    ASSERT_TRUE(CloseMessageBox(box)) << LastError();
    ASSERT_EQ(ListCount(list).value_or(0), 3);
    EXPECT_EQ(ListItemText(list, 0).value_or(L""), L"0001 Potaje de vigilia");
    EXPECT_EQ(ListItemText(list, 1).value_or(L""), L"0002 Cocido madrile\u00F1o");
    EXPECT_EQ(ListItemText(list, 2).value_or(L""), L"0003 Fabada asturiana");
    ASSERT_TRUE(ListSelect(list, 1)) << LastError();
    ASSERT_TRUE(Settle(dialog)) << LastError();
    EXPECT_FALSE(TakeScreenshot(L"resultados-potajes").empty()) << LastError();

    // The double-click on the cocido: texts, picture and menu.
    ASSERT_TRUE(ListDoubleClick(list, 1)) << LastError();
    EXPECT_TRUE(WaitForWindowGone(dialog)) << "the dialog closes after loading";
    const Recipe &cocido = kRecipes[1];
    EXPECT_EQ(TextOf(Control(main, IDC_DISH_NAME_BOX)), cocido.dish);
    EXPECT_EQ(TextOf(Control(main, IDC_INGREDIENTS_BOX)), cocido.ingredients);
    EXPECT_EQ(TextOf(Control(main, IDC_ELABORATION_BOX)), cocido.elaboration);
    EXPECT_EQ(WaitForMenuMode(app, main, MenuMode::Browsing), "");
    EXPECT_EQ(TopWindows(app, L"#32770", nullptr).size(), 1u) << "only the main window: no message about the picture";
    ASSERT_TRUE(Settle(main, 500)) << LastError();
    const std::wstring shot = TakeScreenshot(L"cocido-abierto");
    ASSERT_FALSE(shot.empty()) << LastError();

    // The picture fills the box's top-left corner in its own colour; the far corner stays background.
    ScreenPixels screen(shot);
    ASSERT_TRUE(screen.Loaded()) << Utf8(shot);
    POINT origin = {};
    SIZE size = {};
    ASSERT_TRUE(ClientAreaOnScreen(Control(main, IDC_PICTURE_BOX), origin, size));
    ASSERT_GT(size.cx, 200);
    ASSERT_GT(size.cy, 150);
    for (POINT at : {POINT{2, 2}, POINT{40, 30}, POINT{100, 80}, POINT{150, 110}}) {
        EXPECT_EQ(screen.At({origin.x + at.x, origin.y + at.y}), kPictureColour) << "at " << at.x << "," << at.y;
    }
    EXPECT_EQ(screen.At({origin.x + size.cx - 2, origin.y + size.cy - 2}), kWindowBackground);

    ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
    EXPECT_EQ(WaitForExit(app).value_or(999), 0u) << LastError();

    // Another program appends a fourth stew meanwhile; the search kept its index of the store.
    const std::wstring store = folder + L"\\guisla\\guisla.zbd";
    const std::wstring kept = folder + L"\\guisla\\guisla.indice";
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(kept)));
    ASSERT_NO_FATAL_FAILURE(AppendFirstRecipeAs(store, 4));
    const std::vector<std::wstring> expected = {L"4 Resultados ...", L"0001 Potaje de vigilia",
                                                L"0002 Cocido madrile\u00F1o", L"0003 Fabada asturiana",
                                                L"0004 Potaje de vigilia"};
    EXPECT_EQ(SearchStewsInANewRun(folder), expected) << "the appended recipe is found after a restart";
    // The kept index deleted: the next run reads the whole store and shows the same.
    ASSERT_TRUE(std::filesystem::remove(std::filesystem::path(kept)));
    EXPECT_EQ(SearchStewsInANewRun(folder), expected) << "without the kept index";
}
