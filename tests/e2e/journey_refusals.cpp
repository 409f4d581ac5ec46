// The refusals and messages a person meets when saving: each text empty or one byte too long (and
// every text at its longest, accepted), a picture moved away after it was chosen, and a file that is
// not an image. Each refusal keeps the recipe on the screen and writes nothing.
#include "driver.h"
#include "menu_mode.h"
#include "recipe_steps.h"

#include "resources/resource_ids.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace e2e;

namespace {

const wchar_t kSaved[] = L"Receta Guardada ...\r\nQue disfrutes tu receta uuuuummmm!!! ....";
const wchar_t kRefused[] = L"No puedo grabar, Error ...\r\nAlgun dato esta vac\u00EDo o lleva demasiados datos ...";
const wchar_t kPictureUnreadable[] =
    L"No puedo leer la imagen ...\r\nLa receta no se ha guardado: elige otra imagen o int\u00E9ntalo de nuevo ...";

uintmax_t FileSize(const std::wstring &path) {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(std::filesystem::path(path), error);
    return error ? 0 : size;
}

bool WriteText(const std::wstring &path, const std::string &text) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

// "Grabar Receta" and the message it ends with (closed); "" when none came.
std::wstring SaveAndReadMessage(const AppProcess &app, HWND main) {
    if (!PostCommand(main, IDM_SAVE_RECIPE)) {
        return L"";
    }
    HWND box = WaitForMessageBox(app, L"Programador", 30000);
    if (box == nullptr) {
        return L"";
    }
    const std::wstring text = MessageBoxText(box).value_or(L"<unreadable>");
    CloseMessageBox(box);
    return text;
}

// A 24-bit BMP of 8 x 8 blue pixels.
std::string SmallBmp() {
    std::string bmp(54 + 8 * 8 * 3, '\0');
    auto put = [&bmp](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            bmp[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
        }
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put(2, static_cast<uint32_t>(bmp.size()));
    put(10, 54);
    put(14, 40);
    put(18, 8);
    put(22, 8);
    put(26, 1 | (24u << 16));
    for (size_t p = 54; p < bmp.size(); p += 3) {
        bmp[p] = static_cast<char>(255);
    }
    return bmp;
}

struct TextCase {
    const char *what;
    std::wstring dish;   // entered with the category of list line 1
    bool noDish = false; // the dish name and category dialog is never opened
    std::wstring ingredients;
    std::wstring elaboration;
};

} // namespace

TEST(Refusals, EachTextEmptyOrOneTooLongRefusedAndNothingWritten) {
    AppProcess app;
    HWND main = LaunchProgram(app);
    ASSERT_NE(main, nullptr) << LastError();
    const std::wstring data = app.folder + L"\\guisla\\guisla.zbd";
    const std::wstring ok = L"Tomate";
    const TextCase cases[] = {
        {"empty dish name", L"", false, ok, ok},
        {"dish name of 251 characters", std::wstring(251, L'a'), false, ok, ok},
        {"no dish name nor category chosen", L"", true, ok, ok},
        {"ingredients of 8001 characters", L"Gazpacho", false, std::wstring(8001, L'i'), ok},
        {"empty elaboration", L"Gazpacho", false, ok, L""},
        {"elaboration of 32001 characters", L"Gazpacho", false, ok, std::wstring(32001, L'e')},
    };
    for (const TextCase &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(PostCommand(main, IDM_NEW)) << LastError();
        ASSERT_EQ(WaitForMenuMode(app, main, MenuMode::Editing), "");
        if (!c.noDish) {
            ASSERT_TRUE(EnterDishAndCategory(app, main, c.dish, 1)) << LastError();
        }
        if (!c.ingredients.empty()) {
            ASSERT_TRUE(EnterText(app, main, IDM_INSERT_INGREDIENTS, IDC_INGREDIENTS_TEXT, IDC_INGREDIENTS_ACCEPT,
                                  c.ingredients))
                << LastError();
        }
        if (!c.elaboration.empty()) {
            ASSERT_TRUE(EnterText(app, main, IDM_INSERT_ELABORATION, IDC_ELABORATION_TEXT, IDC_ELABORATION_ACCEPT,
                                  c.elaboration))
                << LastError();
        }
        EXPECT_EQ(SaveAndReadMessage(app, main), kRefused) << LastError();
        EXPECT_EQ(WaitForMenuMode(app, main, MenuMode::Editing), "") << "the recipe stays to be corrected";
        EXPECT_EQ(ControlText(Control(main, IDC_DISH_NAME_BOX)).value_or(L"?").size(), c.dish.size());
        EXPECT_EQ(FileSize(data), 0u) << "nothing written";
    }

    // Every text at its longest is accepted.
    ASSERT_TRUE(PostCommand(main, IDM_NEW)) << LastError();
    ASSERT_TRUE(EnterDishAndCategory(app, main, std::wstring(250, L'a'), 1)) << LastError();
    ASSERT_TRUE(EnterText(app, main, IDM_INSERT_INGREDIENTS, IDC_INGREDIENTS_TEXT, IDC_INGREDIENTS_ACCEPT,
                          std::wstring(8000, L'i')))
        << LastError();
    ASSERT_TRUE(EnterText(app, main, IDM_INSERT_ELABORATION, IDC_ELABORATION_TEXT, IDC_ELABORATION_ACCEPT,
                          std::wstring(32000, L'e')))
        << LastError();
    EXPECT_EQ(SaveAndReadMessage(app, main), kSaved) << LastError();
    EXPECT_GT(FileSize(data), 0u);
    ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
    EXPECT_EQ(WaitForExit(app).value_or(999), 0u) << LastError();
}

TEST(Refusals, PictureMovedAwayAfterChoosingItThenBack) {
    AppProcess app;
    HWND main = LaunchProgram(app);
    ASSERT_NE(main, nullptr) << LastError();
    const std::wstring data = app.folder + L"\\guisla\\guisla.zbd";
    const std::wstring picture = app.folder + L"\\tortilla.bmp";
    const std::wstring movedTo = app.folder + L"\\otra carpeta.bmp";
    ASSERT_TRUE(WriteText(picture, SmallBmp()));
    ASSERT_TRUE(PostCommand(main, IDM_NEW)) << LastError();
    ASSERT_TRUE(EnterDishAndCategory(app, main, L"Tortilla", 1)) << LastError();
    ASSERT_TRUE(EnterText(app, main, IDM_INSERT_INGREDIENTS, IDC_INGREDIENTS_TEXT, IDC_INGREDIENTS_ACCEPT, L"Huevos"))
        << LastError();
    ASSERT_TRUE(EnterText(app, main, IDM_INSERT_ELABORATION, IDC_ELABORATION_TEXT, IDC_ELABORATION_ACCEPT, L"Batir."))
        << LastError();
    ASSERT_TRUE(ChoosePicture(app, main, picture)) << LastError();
    ASSERT_TRUE(Settle(main, 100)) << LastError();
    ASSERT_TRUE(MoveFileW(picture.c_str(), movedTo.c_str()));

    EXPECT_EQ(SaveAndReadMessage(app, main), kPictureUnreadable) << LastError();
    EXPECT_EQ(WaitForMenuMode(app, main, MenuMode::Editing), "");
    EXPECT_EQ(FileSize(data), 0u) << "nothing written";

    // Put back where it was chosen, the same recipe saves.
    ASSERT_TRUE(MoveFileW(movedTo.c_str(), picture.c_str()));
    EXPECT_EQ(SaveAndReadMessage(app, main), kSaved) << LastError();
    EXPECT_EQ(WaitForMenuMode(app, main, MenuMode::Browsing), "");
    EXPECT_GT(FileSize(data), 0u);
    ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
    EXPECT_EQ(WaitForExit(app).value_or(999), 0u) << LastError();
}

TEST(Refusals, AFileThatIsNotAnImageIsReportedWhenChosen) {
    AppProcess app;
    HWND main = LaunchProgram(app);
    ASSERT_NE(main, nullptr) << LastError();
    const std::wstring notAPicture = app.folder + L"\\receta.jpg";
    ASSERT_TRUE(WriteText(notAPicture, "Esto es una receta escrita a mano, no una foto.\r\n"));
    ASSERT_TRUE(PostCommand(main, IDM_NEW)) << LastError();
    ASSERT_EQ(WaitForMenuMode(app, main, MenuMode::Editing), "");
    ASSERT_TRUE(ChoosePicture(app, main, notAPicture)) << LastError();
    HWND box = WaitForMessageBox(app, nullptr);
    ASSERT_NE(box, nullptr) << LastError();
    const std::wstring text = MessageBoxText(box).value_or(L"");
    EXPECT_EQ(text.rfind(L"[GraphicLoadImageFileToBitmap]", 0), 0u) << Utf8(text);
    EXPECT_NE(text.find(notAPicture), std::wstring::npos) << "the message names the file: " << Utf8(text);
    ASSERT_TRUE(Settle(box, 200)) << LastError();
    EXPECT_FALSE(TakeScreenshot(L"no-es-imagen").empty()) << LastError();
    ASSERT_TRUE(CloseMessageBox(box)) << LastError();
    EXPECT_EQ(WaitForMenuMode(app, main, MenuMode::Editing), "") << "the program carries on";
    EXPECT_EQ(TopWindows(app, L"#32770", nullptr).size(), 1u) << "one message only";
    ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
    EXPECT_EQ(WaitForExit(app).value_or(999), 0u) << LastError();
}
