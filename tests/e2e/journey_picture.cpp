// A recipe with a picture, as a person enters it: the texts through the entry dialogs, the picture
// chosen in the real file dialog "Navegador de ficheros para imagen" (placed beside the main
// window), seen in the picture box of a screenshot, then saved; the data file then holds the
// picture file's bytes exactly and its extension. And the way back: a saved recipe opened from the
// search shows its picture and leaves no file in the picture cache folder.
#include "driver.h"
#include "menu_mode.h"
#include "recipe_steps.h"

#include "resources/resource_ids.h"

#include <dlgs.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

using namespace e2e;

namespace {

const wchar_t kPictureDialogTitle[] = L"Navegador de ficheros para imagen";

// An 800 x 600 picture, red on the left half and blue on the right, as an 8-bit run-length BMP
// (small, so the save is quick, and exact, so the screen can be compared pixel by pixel).
std::vector<uint8_t> TwoColourBmp() {
    constexpr int32_t kWidth = 800;
    constexpr int32_t kHeight = 600;
    std::vector<uint8_t> rows;
    for (int y = 0; y < kHeight; ++y) {
        for (uint8_t colour : {uint8_t{0}, uint8_t{1}}) { // 400 pixels of each: runs of 255 and 145
            rows.insert(rows.end(), {255, colour, 145, colour});
        }
        rows.insert(rows.end(), {0, 0}); // end of line
    }
    rows.insert(rows.end(), {0, 1}); // end of bitmap
    std::vector<uint8_t> bytes = {'B', 'M'};
    auto put = [&bytes](uint32_t value, int size) {
        for (int i = 0; i < size; ++i) {
            bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
        }
    };
    const uint32_t dataOffset = 14 + 40 + 2 * 4;
    put(dataOffset + static_cast<uint32_t>(rows.size()), 4);
    put(0, 4);
    put(dataOffset, 4);
    put(40, 4);
    put(kWidth, 4);
    put(kHeight, 4);
    put(1, 2);
    put(8, 2);
    put(1, 4); // BI_RLE8
    put(static_cast<uint32_t>(rows.size()), 4);
    put(2835, 4);
    put(2835, 4);
    put(2, 4); // two colours
    put(0, 4);
    put(0x00FF0000, 4); // red (the table is blue, green, red, 0)
    put(0x000000FF, 4); // blue
    bytes.insert(bytes.end(), rows.begin(), rows.end());
    return bytes;
}

// The value of a field for a key, read from the data file's 38-byte records as they are laid out
// (byte at 4, name at 5, key at 24, last flag at 34); for a store written by one save of each key.
std::string StoredValue(const std::vector<uint8_t> &data, const std::string &name, int64_t key) {
    std::string value;
    for (size_t at = 0; at + 38 <= data.size(); at += 38) {
        const uint8_t *record = data.data() + at;
        const std::string recordName(reinterpret_cast<const char *>(record + 5),
                                     strnlen(reinterpret_cast<const char *>(record + 5), 14));
        int64_t recordKey = 0;
        for (int i = 7; i >= 0; --i) {
            recordKey = (recordKey << 8) | record[24 + i];
        }
        if (recordName == name && recordKey == key) {
            value.push_back(static_cast<char>(record[4]));
            if (record[34] == 1) {
                return value;
            }
        }
    }
    return "";
}

// The records of one value, appended to a data file image.
void AppendValue(std::vector<uint8_t> &data, int32_t attribute0, const std::string &name, int16_t maxLength,
                 int64_t key, const std::string &value) {
    for (size_t i = 0; i < value.size(); ++i) {
        uint8_t record[38] = {};
        for (int b = 0; b < 4; ++b) {
            record[b] = static_cast<uint8_t>(attribute0 >> (8 * b));
        }
        record[4] = static_cast<uint8_t>(value[i]);
        name.copy(reinterpret_cast<char *>(record + 5), 14);
        record[22] = static_cast<uint8_t>(maxLength);
        record[23] = static_cast<uint8_t>(maxLength >> 8);
        for (int b = 0; b < 8; ++b) {
            record[24 + b] = static_cast<uint8_t>(key >> (8 * b));
        }
        record[34] = i + 1 == value.size() ? 1 : 0;
        data.insert(data.end(), record, record + 38);
    }
}

POINT Offset(POINT origin, int x, int y) {
    return {origin.x + x, origin.y + y};
}

// The red-and-blue picture fitted to 327 x 245 at the box's top-left corner, the background
// colour around it.
void ExpectPictureInTheBox(const std::wstring &shot, HWND main) {
    ScreenPixels screen(shot);
    ASSERT_TRUE(screen.Loaded());
    POINT origin = {};
    SIZE box = {};
    ASSERT_TRUE(ClientAreaOnScreen(Control(main, IDC_PICTURE_BOX), origin, box));
    ASSERT_GT(box.cx, 327);
    EXPECT_EQ(screen.At(Offset(origin, 2, 2)), RGB(255, 0, 0));
    EXPECT_EQ(screen.At(Offset(origin, 150, 200)), RGB(255, 0, 0));
    EXPECT_EQ(screen.At(Offset(origin, 180, 20)), RGB(0, 0, 255));
    EXPECT_EQ(screen.At(Offset(origin, 320, 240)), RGB(0, 0, 255));
    EXPECT_EQ(screen.At(Offset(origin, 330, 100)), kWindowBackground); // right of the picture
    EXPECT_EQ(screen.At(Offset(origin, 100, 250)), kWindowBackground); // below it
    EXPECT_EQ(screen.At(Offset(origin, box.cx - 1, box.cy - 1)), kWindowBackground);
}

} // namespace

TEST(Picture, ChosenInTheFileDialogShownAndSavedByteForByte) {
    AppProcess app;
    const std::wstring folder = PrepareProgramFolder();
    ASSERT_FALSE(folder.empty()) << LastError();
    const std::wstring photos = folder + L"\\fotos";
    ASSERT_TRUE(CreateDirectoryW(photos.c_str(), nullptr));
    const std::wstring picture = photos + L"\\tarta.bmp";
    const std::vector<uint8_t> pictureBytes = TwoColourBmp();
    ASSERT_TRUE(WriteFileBytes(picture, pictureBytes));
    ASSERT_TRUE(StartProgram(app, folder)) << LastError();
    HWND main = WaitForMainWindow(app);
    ASSERT_NE(main, nullptr) << LastError();

    ASSERT_TRUE(PostCommand(main, IDM_NEW)) << LastError();
    ASSERT_EQ(WaitForMenuMode(app, main, MenuMode::Editing), "");
    ASSERT_TRUE(
        EnterText(app, main, IDM_INSERT_DISH_CATEGORY, IDC_DISH_NAME_EDIT, IDC_DISH_NAME_ACCEPT, L"Tarta de Santiago"))
        << LastError();
    ASSERT_TRUE(EnterText(app, main, IDM_INSERT_INGREDIENTS, IDC_INGREDIENTS_TEXT, IDC_INGREDIENTS_ACCEPT,
                          L"250 g de almendra molida\r\n250 g de az\u00FAcar\r\n5 huevos"))
        << LastError();
    ASSERT_TRUE(EnterText(app, main, IDM_INSERT_ELABORATION, IDC_ELABORATION_TEXT, IDC_ELABORATION_ACCEPT,
                          L"Mezclar, hornear 40 minutos y espolvorear con az\u00FAcar glas."))
        << LastError();

    // "Insertar Imagen": the file dialog opens 30 pixels right of and below the main window.
    ASSERT_TRUE(PostCommand(main, IDM_INSERT_PICTURE)) << LastError();
    HWND dialog = WaitForWindow(app, L"#32770", kPictureDialogTitle);
    ASSERT_NE(dialog, nullptr) << LastError();
    RECT mainRect = {};
    RECT dialogRect = {};
    GetWindowRect(main, &mainRect);
    ASSERT_TRUE(WaitUntil([&] {
        GetWindowRect(dialog, &dialogRect);
        return dialogRect.left == mainRect.left + 30 && dialogRect.top == mainRect.top + 30;
    })) << "dialog at "
        << dialogRect.left << "," << dialogRect.top << ", main window at " << mainRect.left << "," << mainRect.top;
    HWND fileName = Control(dialog, cmb13);
    ASSERT_NE(fileName, nullptr);
    ASSERT_TRUE(Settle(dialog, 300)) << LastError();
    EXPECT_FALSE(TakeScreenshot(L"file-dialog").empty()) << LastError();
    ASSERT_TRUE(SetControlText(fileName, picture)) << LastError();
    ASSERT_TRUE(PostMessageW(dialog, WM_COMMAND, IDOK, 0));
    ASSERT_TRUE(WaitForWindowGone(dialog)) << LastError();

    ASSERT_TRUE(Settle(main, 500)) << LastError();
    const std::wstring shot = TakeScreenshot(L"main-window-picture");
    ASSERT_FALSE(shot.empty()) << LastError();
    ExpectPictureInTheBox(shot, main);

    // "Grabar Receta": the picture's bytes go into the store as they are, with the extension.
    ASSERT_TRUE(PostCommand(main, IDM_SAVE_RECIPE)) << LastError();
    HWND saved = WaitForMessageBox(app, L"Programador", 60000);
    ASSERT_NE(saved, nullptr) << LastError();
    EXPECT_EQ(MessageBoxText(saved).value_or(L""), L"Receta Guardada ...\r\nQue disfrutes tu receta uuuuummmm!!! ....");
    ASSERT_TRUE(CloseMessageBox(saved)) << LastError();
    ASSERT_EQ(WaitForMenuMode(app, main, MenuMode::Browsing), "");

    const std::vector<uint8_t> data = ReadFileBytes(folder + L"\\guisla\\guisla.zbd");
    const std::string stored = StoredValue(data, "Imagen", 1);
    EXPECT_EQ(stored.size(), pictureBytes.size());
    EXPECT_TRUE(stored == std::string(pictureBytes.begin(), pictureBytes.end())) << "the stored picture differs";
    EXPECT_EQ(StoredValue(data, "extensi\xF3n", 1), "bmp");
    EXPECT_EQ(StoredValue(data, "Plato", 1), "Tarta de Santiago");

    ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
    EXPECT_EQ(WaitForExit(app).value_or(999), 0u) << LastError();
}

TEST(Picture, FoundRecipeShowsItsStoredPictureAndLeavesNoCacheFile) {
    AppProcess app;
    const std::wstring folder = PrepareProgramFolder();
    ASSERT_FALSE(folder.empty()) << LastError();
    // A store holding one recipe of the category "Aperitivos" with the red-and-blue picture.
    const std::vector<uint8_t> pictureBytes = TwoColourBmp();
    std::vector<uint8_t> data;
    AppendValue(data, 1, "Plato", 100, 1, "Tarta de Santiago");
    AppendValue(data, 2, "Ingredientes", 2000, 1, "almendra");
    AppendValue(data, 3, "Preparaci\xF3n", 4000, 1, "hornear");
    AppendValue(data, 4, "Imagen", 32767, 1, std::string(pictureBytes.begin(), pictureBytes.end()));
    AppendValue(data, 5, "Categoria", 30, 1, "Aperitivos");
    AppendValue(data, 6, "extensi\xF3n", 259, 1, "bmp");
    ASSERT_TRUE(WriteFileBytes(folder + L"\\guisla\\guisla.zbd", data));
    ASSERT_TRUE(StartProgram(app, folder)) << LastError();
    HWND main = WaitForMainWindow(app);
    ASSERT_NE(main, nullptr) << LastError();

    ASSERT_TRUE(PostCommand(main, IDM_SEARCH_RECIPE)) << LastError();
    HWND search = WaitForWindow(app, L"#32770", L"Buscar Receta");
    ASSERT_NE(search, nullptr) << LastError();
    ASSERT_TRUE(ComboSelect(Control(search, IDC_SEARCH_CATEGORY), 0)) << LastError(); // "01 - Aperitivos"
    ASSERT_TRUE(PostClick(Control(search, IDC_SEARCH_BUTTON))) << LastError();
    HWND count = WaitForMessageBox(app, L"Programador");
    ASSERT_NE(count, nullptr) << LastError();
    ASSERT_TRUE(CloseMessageBox(count)) << LastError();
    HWND results = Control(search, IDC_SEARCH_RESULTS);
    ASSERT_TRUE(WaitUntil([&] { return ListCount(results).value_or(0) == 1; })) << LastError();
    ASSERT_TRUE(ListDoubleClick(results, 0)) << LastError();
    ASSERT_TRUE(WaitUntil([&] {
        std::optional<std::wstring> name = ControlText(Control(main, IDC_DISH_NAME_BOX));
        return name && *name == L"Tarta de Santiago";
    })) << LastError();
    if (IsWindow(search)) {
        PostSysCommand(search, SC_CLOSE);
        WaitForWindowGone(search);
    }
    ASSERT_TRUE(Settle(main, 500)) << LastError();
    const std::wstring shot = TakeScreenshot(L"found-recipe-picture");
    ASSERT_FALSE(shot.empty()) << LastError();
    ExpectPictureInTheBox(shot, main);
    const std::wstring cacheFile = ExpectedPictureCacheFolder() + L"\\image_1.bmp";
    EXPECT_EQ(GetFileAttributesW(cacheFile.c_str()), INVALID_FILE_ATTRIBUTES) << "the cache file is still there";

    ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
    EXPECT_EQ(WaitForExit(app).value_or(999), 0u) << LastError();
}
