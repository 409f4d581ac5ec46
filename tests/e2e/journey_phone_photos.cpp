// Photos as phones take them, in the real program: a 200 MP photo chosen, shown fitted, saved,
// found and opened again; a portrait photo stored sideways with EXIF orientation 6 shown upright;
// and a recipe saved without a picture, opened after one with a picture, shows the empty box
// without any message. The photos are made at test time (handmade_jpeg.h), never committed.
#include "driver.h"
#include "menu_mode.h"
#include "recipe_steps.h"

#include "../unit/handmade_jpeg.h"
#include "resources/resource_ids.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace e2e;

namespace {

constexpr COLORREF kLight = RGB(200, 200, 200);
constexpr COLORREF kDark = RGB(56, 56, 56);
constexpr COLORREF kMidDark = RGB(104, 104, 104);
constexpr COLORREF kMidLight = RGB(152, 152, 152);

// No message box of the program is open (the main window is the only dialog it shows).
void ExpectNoMessage(const AppProcess &app, HWND main) {
    for (HWND w : TopWindows(app, L"#32770", nullptr)) {
        if (w != main) {
            ADD_FAILURE() << "unexpected window: " << Utf8(MessageBoxText(w).value_or(L"(no text)"));
        }
    }
}

bool Near(COLORREF actual, COLORREF expected) {
    auto off = [](int a, int b) { return a > b ? a - b : b - a; };
    return off(GetRValue(actual), GetRValue(expected)) <= 6 && off(GetGValue(actual), GetGValue(expected)) <= 6 &&
           off(GetBValue(actual), GetBValue(expected)) <= 6;
}

struct Spot {
    int x, y;
    COLORREF colour;
};

// Takes a screenshot and checks pixels of the picture box (coordinates inside the box).
void ExpectInTheBox(HWND main, const std::wstring &shotName, const std::vector<Spot> &spots) {
    ASSERT_TRUE(Settle(main, 300)) << LastError();
    const std::wstring shot = TakeScreenshot(shotName);
    ASSERT_FALSE(shot.empty()) << LastError();
    ScreenPixels screen(shot);
    ASSERT_TRUE(screen.Loaded());
    POINT origin = {};
    SIZE box = {};
    ASSERT_TRUE(ClientAreaOnScreen(Control(main, IDC_PICTURE_BOX), origin, box));
    for (const Spot &s : spots) {
        const COLORREF seen = screen.At({origin.x + s.x, origin.y + s.y});
        EXPECT_TRUE(Near(seen, s.colour)) << shotName.c_str() << " at " << s.x << "," << s.y << ": " << std::hex << seen
                                          << " instead of " << s.colour;
    }
}

void EnterRecipe(AppProcess &app, HWND main, const std::wstring &dish, const std::wstring &picture) {
    ASSERT_TRUE(PostCommand(main, IDM_NEW)) << LastError();
    ASSERT_EQ(WaitForMenuMode(app, main, MenuMode::Editing), "");
    ASSERT_TRUE(EnterDishAndCategory(app, main, dish, 0)) << LastError(); // "01 - Aperitivos"
    ASSERT_TRUE(EnterText(app, main, IDM_INSERT_INGREDIENTS, IDC_INGREDIENTS_TEXT, IDC_INGREDIENTS_ACCEPT,
                          L"patatas, huevos, aceite"))
        << LastError();
    ASSERT_TRUE(EnterText(app, main, IDM_INSERT_ELABORATION, IDC_ELABORATION_TEXT, IDC_ELABORATION_ACCEPT,
                          L"Fre\u00EDr y cuajar."))
        << LastError();
    if (!picture.empty()) {
        ASSERT_TRUE(ChoosePicture(app, main, picture)) << LastError();
        ASSERT_TRUE(Settle(main, 100)) << LastError();
        ExpectNoMessage(app, main);
    }
}

void Save(AppProcess &app, HWND main) {
    ASSERT_TRUE(PostCommand(main, IDM_SAVE_RECIPE)) << LastError();
    HWND saved = WaitForMessageBox(app, L"Programador", 120000);
    ASSERT_NE(saved, nullptr) << LastError();
    ASSERT_TRUE(CloseMessageBox(saved)) << LastError();
    ASSERT_EQ(WaitForMenuMode(app, main, MenuMode::Browsing), "");
}

// Searches "01 - Aperitivos" and double-clicks line `line` (0-based) of `count` results.
void OpenFound(const AppProcess &app, HWND main, int count, int line) {
    ASSERT_TRUE(PostCommand(main, IDM_SEARCH_RECIPE)) << LastError();
    HWND search = WaitForWindow(app, L"#32770", L"Buscar Receta");
    ASSERT_NE(search, nullptr) << LastError();
    ASSERT_TRUE(ComboSelect(Control(search, IDC_SEARCH_CATEGORY), 0)) << LastError();
    ASSERT_TRUE(PostClick(Control(search, IDC_SEARCH_BUTTON))) << LastError();
    HWND box = WaitForMessageBox(app, L"Programador");
    ASSERT_NE(box, nullptr) << LastError();
    ASSERT_TRUE(CloseMessageBox(box)) << LastError();
    HWND results = Control(search, IDC_SEARCH_RESULTS);
    ASSERT_TRUE(WaitUntil([&] { return ListCount(results).value_or(0) == count; })) << LastError();
    ASSERT_TRUE(ListDoubleClick(results, line)) << LastError();
    ASSERT_TRUE(WaitForWindowGone(search, 30000)) << LastError();
}

} // namespace

TEST(PhonePhotos, LargeAndTurnedPhotosShowAndARecipeWithoutPictureShowsNothing) {
    AppProcess app;
    const std::wstring folder = PrepareProgramFolder();
    ASSERT_FALSE(folder.empty()) << LastError();
    // 16320 x 12240 (200 MP), light grey; and 400 x 300 stored sideways in four greys (dark, two
    // middle ones, light from top left to bottom right) with orientation 6: turned a quarter
    // clockwise it is 300 x 400, fitted 266 x 355, the stored bottom left quarter at its top left.
    const std::wstring phone = folder + L"\\movil.jpg";
    ASSERT_TRUE(WriteFileBytes(phone, UniformGreyJpeg(16320, 12240, 200)));
    const std::wstring portrait = folder + L"\\retrato.jpg";
    ASSERT_TRUE(WriteFileBytes(portrait, WithExifOrientation(QuarterGreyJpeg(400, 300, 56, 104, 152, 200), 6)));

    ASSERT_TRUE(StartProgram(app, folder)) << LastError();
    HWND main = WaitForMainWindow(app);
    ASSERT_NE(main, nullptr) << LastError();
    const std::vector<Spot> phoneFitted = {
        {2, 2, kLight}, {324, 242, kLight}, {330, 100, kWindowBackground}, {100, 248, kWindowBackground}};

    EnterRecipe(app, main, L"Tortilla de la foto", phone);
    ExpectInTheBox(main, L"phone-photo-inserted", phoneFitted);
    Save(app, main);
    EnterRecipe(app, main, L"Tortilla sin foto", L"");
    Save(app, main);

    // Found and opened: the saved 200 MP photo, then the recipe without picture.
    OpenFound(app, main, 2, 0);
    ExpectInTheBox(main, L"phone-photo-found", phoneFitted);
    ExpectNoMessage(app, main);
    OpenFound(app, main, 2, 1);
    ASSERT_TRUE(WaitUntil([&] {
        std::optional<std::wstring> name = ControlText(Control(main, IDC_DISH_NAME_BOX));
        return name && *name == L"Tortilla sin foto";
    })) << LastError();
    ExpectInTheBox(main, L"no-picture-found",
                   {{2, 2, kWindowBackground}, {160, 120, kWindowBackground}, {324, 242, kWindowBackground}});
    ExpectNoMessage(app, main);
    const std::wstring cacheFile = ExpectedPictureCacheFolder() + L"\\image_2.";
    EXPECT_EQ(GetFileAttributesW(cacheFile.c_str()), INVALID_FILE_ATTRIBUTES);

    EnterRecipe(app, main, L"Tortilla en retrato", portrait);
    // Any other turn or mirror puts another grey in at least one corner.
    ExpectInTheBox(main, L"portrait-upright",
                   {{20, 20, kMidLight},
                    {246, 20, kDark},
                    {20, 300, kLight},
                    {246, 300, kMidDark},
                    {270, 100, kWindowBackground}});

    ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
    EXPECT_EQ(WaitForExit(app).value_or(999), 0u) << LastError();
}
