// Searching in the real program over a store written by the test's own writer (with an interrupted
// value, a value of another recipe in between and an incomplete tail): "Buscar Receta", a category
// picked, "Buscar", the count message and the numbered lines, a double-click that loads a recipe
// with its picture into the main window, and the menu in Browsing afterwards; screenshots of both.
#include "driver.h"
#include "menu_mode.h"

#include "resources/resource_ids.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace e2e;

namespace {

const wchar_t kSearchTitle[] = L"Buscar Receta";

// The data record, written here from its documented layout: 38 bytes, little-endian.
void PutLE(std::vector<uint8_t> &bytes, size_t at, uint64_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    }
}

void AppendRecord(std::vector<uint8_t> &bytes, const std::string &name, uint8_t value, int64_t key, bool last) {
    const size_t at = bytes.size();
    bytes.resize(at + 38, 0);
    PutLE(bytes, at + 0, 1, 4);
    bytes[at + 4] = value;
    for (size_t i = 0; i < name.size() && i < 14; ++i) {
        bytes[at + 5 + i] = static_cast<uint8_t>(name[i]);
    }
    PutLE(bytes, at + 22, 50, 2);
    PutLE(bytes, at + 24, static_cast<uint64_t>(key), 8);
    PutLE(bytes, at + 34, last ? 1 : 0, 4);
}

void AppendValue(std::vector<uint8_t> &bytes, const std::string &name, int64_t key, const std::string &value,
                 bool complete = true) {
    for (size_t i = 0; i < value.size(); ++i) {
        AppendRecord(bytes, name, static_cast<uint8_t>(value[i]), key, complete && i + 1 == value.size());
    }
}

// A 24-bit BMP of 40 x 30 pixels: red left half, blue right half.
std::string SmallBitmap() {
    const int width = 40, height = 30, row = width * 3;
    std::vector<uint8_t> file(54 + static_cast<size_t>(row * height), 0);
    file[0] = 'B';
    file[1] = 'M';
    PutLE(file, 2, file.size(), 4);
    PutLE(file, 10, 54, 4);
    PutLE(file, 14, 40, 4);
    PutLE(file, 18, width, 4);
    PutLE(file, 22, height, 4);
    PutLE(file, 26, 1, 2);
    PutLE(file, 28, 24, 2);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const size_t p = 54 + static_cast<size_t>(y * row + x * 3);
            file[p + (x < width / 2 ? 2 : 0)] = 255; // BGR
        }
    }
    return std::string(file.begin(), file.end());
}

void AppendRecipe(std::vector<uint8_t> &bytes, int64_t key, const std::string &dish, const std::string &category,
                  const std::string &picture = "") {
    AppendValue(bytes, "Plato", key, dish);
    AppendValue(bytes, "Ingredientes", key, "Ingredientes de " + dish + "\r\nsal");
    AppendValue(bytes, "Preparaci\xF3n", key, "Preparaci\xF3n de " + dish);
    AppendValue(bytes, "Imagen", key, picture);
    AppendValue(bytes, "Categoria", key, category);
    AppendValue(bytes, "extensi\xF3n", key, picture.empty() ? "" : "bmp");
}

std::vector<uint8_t> TestStore() {
    std::vector<uint8_t> bytes;
    AppendRecipe(bytes, 1, "Caldo gallego", "Sopas");
    AppendRecipe(bytes, 2, "Paella", "Arroz");
    // An interrupted save of key 3 (its category never completes), then the save again.
    AppendValue(bytes, "Plato", 3, "Sopa de ajo");
    AppendValue(bytes, "Categoria", 3, "Sopas", false);
    AppendRecipe(bytes, 3, "Sopa de ajo", "Sopas", SmallBitmap());
    AppendRecipe(bytes, 4,
                 "Sopa fr\xED"
                 "a",
                 "sopas"); // another case: not found
    AppendRecipe(bytes, 5, "Gazpacho", "Sopas");
    bytes.resize(bytes.size() + 17, 0x55); // an incomplete tail
    return bytes;
}

std::wstring TextOf(HWND control) {
    std::optional<std::wstring> text = ControlText(control);
    return text ? *text : L"<unreadable>";
}

TEST(Search, FindsAndOpensRecipesOfAStoreWrittenOutside) {
    const std::wstring folder = PrepareProgramFolder();
    ASSERT_FALSE(folder.empty()) << LastError();
    {
        const std::vector<uint8_t> bytes = TestStore();
        std::ofstream out(std::filesystem::path(folder) / L"guisla" / L"guisla.zbd", std::ios::binary);
        out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(out.good());
    }
    AppProcess app;
    ASSERT_TRUE(StartProgram(app, folder)) << LastError();
    HWND main = WaitForMainWindow(app);
    ASSERT_NE(main, nullptr) << LastError();

    ASSERT_TRUE(PostCommand(main, IDM_SEARCH_RECIPE)) << LastError();
    HWND dialog = WaitForWindow(app, L"#32770", kSearchTitle);
    ASSERT_NE(dialog, nullptr) << LastError();
    HWND combo = Control(dialog, IDC_SEARCH_CATEGORY);
    HWND list = Control(dialog, IDC_SEARCH_RESULTS);
    EXPECT_EQ(ComboCount(combo).value_or(0), 29);
    EXPECT_EQ(ComboSelection(combo).value_or(-1), 0);
    ASSERT_TRUE(ComboSelect(combo, 7)) << LastError();
    EXPECT_EQ(ComboItemText(combo, 7).value_or(L""), L"08 - Sopas");

    ASSERT_TRUE(PostClick(Control(dialog, IDC_SEARCH_BUTTON))) << LastError();
    HWND box = WaitForMessageBox(app, L"Programador");
    ASSERT_NE(box, nullptr) << LastError();
    EXPECT_EQ(MessageBoxText(box).value_or(L""), L"3 Resultados ...");
    EXPECT_TRUE(Buttons(box).size() == 1u);
    ASSERT_TRUE(CloseMessageBox(box)) << LastError();
    ASSERT_EQ(ListCount(list).value_or(0), 3);
    EXPECT_EQ(ListItemText(list, 0).value_or(L""), L"0001 Caldo gallego");
    EXPECT_EQ(ListItemText(list, 1).value_or(L""), L"0002 Sopa de ajo");
    EXPECT_EQ(ListItemText(list, 2).value_or(L""), L"0003 Gazpacho");
    ASSERT_TRUE(ListSelect(list, 1)) << LastError();
    ASSERT_TRUE(Settle(dialog)) << LastError();
    EXPECT_FALSE(TakeScreenshot(L"buscar-receta").empty()) << LastError();

    // A category change empties the list at once.
    ASSERT_TRUE(ComboSelect(combo, 10)) << LastError();
    EXPECT_TRUE(WaitUntil([&] { return ListCount(list).value_or(-1) == 0; }));
    ASSERT_TRUE(ComboSelect(combo, 7)) << LastError();
    ASSERT_TRUE(PostClick(Control(dialog, IDC_SEARCH_BUTTON))) << LastError();
    box = WaitForMessageBox(app, L"Programador");
    ASSERT_NE(box, nullptr) << LastError();
    ASSERT_TRUE(CloseMessageBox(box)) << LastError();

    ASSERT_TRUE(ListDoubleClick(list, 1)) << LastError();
    EXPECT_TRUE(WaitForWindowGone(dialog)) << "the dialog closes after loading";
    EXPECT_EQ(TextOf(Control(main, IDC_DISH_NAME_BOX)), L"Sopa de ajo");
    EXPECT_EQ(TextOf(Control(main, IDC_INGREDIENTS_BOX)), L"Ingredientes de Sopa de ajo\r\nsal");
    EXPECT_EQ(TextOf(Control(main, IDC_ELABORATION_BOX)), L"Preparaci\u00f3n de Sopa de ajo");
    EXPECT_EQ(WaitForMenuMode(app, main, MenuMode::Browsing), "");
    EXPECT_TRUE(TopWindows(app, L"#32770", nullptr).size() == 1u) << "no loader message for the picture";
    ASSERT_TRUE(Settle(main)) << LastError();
    EXPECT_FALSE(TakeScreenshot(L"receta-encontrada").empty()) << LastError();

    // The next opening selects the category searched last.
    ASSERT_TRUE(PostCommand(main, IDM_SEARCH_RECIPE)) << LastError();
    dialog = WaitForWindow(app, L"#32770", kSearchTitle);
    ASSERT_NE(dialog, nullptr) << LastError();
    EXPECT_EQ(ComboSelection(Control(dialog, IDC_SEARCH_CATEGORY)).value_or(-1), 7);
    ASSERT_TRUE(PostClick(Control(dialog, IDC_SEARCH_EXIT))) << LastError();
    EXPECT_TRUE(WaitForWindowGone(dialog));
    EXPECT_EQ(TextOf(Control(main, IDC_DISH_NAME_BOX)), L"Sopa de ajo") << "Salir changes nothing";

    ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
    EXPECT_EQ(WaitForExit(app).value_or(999), 0u) << LastError();
}

} // namespace
