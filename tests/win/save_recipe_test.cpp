// Saving from the real main window: the progress window's layout, the command "Grabar Receta"
// with its messages and menu states, a save that fails leaving the window in Editing and the
// data file as it was, and the recipe taken as it stood when the save started.
#include "state/app_state.h"
#include "state/main_menu.h"
#include "app/main_window.h"
#include "picture_test_support.h"
#include "resources/resource_ids.h"
#include "store/file.h"
#include "state/progress_dialog.h"
#include "state/save_recipe.h"
#include "store/schema_table.h"
#include "store/store.h"
#include "ui/dialog.h"
#include "win_test_support.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr DWORD kDialogStyles = DS_MODALFRAME | DS_SETFONT | DS_NOFAILCREATE | DS_3DLOOK | DS_CENTER;

TEST(SaveProgressDialog, LayoutAsLaidOutInDialogUnits) {
    HWND dialog = ProgressDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ClassOf(dialog), L"#32770");
    EXPECT_EQ(TextOf(dialog), L"Dialog1");
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog));
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE));
    EXPECT_EQ(style & (WS_POPUP | WS_CLIPSIBLINGS | kDialogStyles), WS_POPUP | WS_CLIPSIBLINGS | kDialogStyles);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_CHILD), 0u) << "no caption bar";
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE));
    EXPECT_EQ(exStyle & (WS_EX_CONTROLPARENT | WS_EX_TOPMOST), static_cast<DWORD>(WS_EX_CONTROLPARENT | WS_EX_TOPMOST));

    const RECT size = DialogUnitsToPixels(dialog, 0, 0, 100, 10);
    RECT client = {};
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    // Centred on the screen's work area (within a pixel of rounding).
    RECT window = {};
    GetWindowRect(dialog, &window);
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((window.left + window.right) / 2.0, (work.left + work.right) / 2.0, 1.0);
    EXPECT_NEAR((window.top + window.bottom) / 2.0, (work.top + work.bottom) / 2.0, 1.0);

    HWND bar = GetDlgItem(dialog, IDC_PROGRESS_BAR);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(GetWindow(dialog, GW_CHILD), bar) << "its only control";
    EXPECT_EQ(GetWindow(bar, GW_HWNDNEXT), nullptr);
    EXPECT_EQ(ClassOf(bar), L"msctls_progress32");
    EXPECT_EQ(TextOf(bar), L"ProgressBar1");
    const DWORD barStyle = static_cast<DWORD>(GetWindowLongPtrW(bar, GWL_STYLE));
    EXPECT_EQ(barStyle & (WS_CHILD | WS_VISIBLE | WS_BORDER), static_cast<DWORD>(WS_CHILD | WS_VISIBLE | WS_BORDER));
    EXPECT_EQ(barStyle & (PBS_SMOOTH | PBS_VERTICAL | WS_TABSTOP), 0u);
    const RECT expected = DialogUnitsToPixels(dialog, 0, 0, 100, 10);
    const RECT actual = RectInParent(bar);
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right, expected.right);
    EXPECT_EQ(actual.bottom, expected.bottom);

    PBRANGE range = {};
    SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 100);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 0);
    SetProgressPosition(dialog, 42);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 42);
    // Drawn at once: filled on the left, empty on the right.
    RECT barClient = {};
    GetClientRect(bar, &barClient);
    EXPECT_NE(ScreenPixel(bar, barClient.right / 5, barClient.bottom / 2),
              ScreenPixel(bar, barClient.right * 4 / 5, barClient.bottom / 2));

    DestroyProgressDialog(dialog);
    EXPECT_FALSE(IsWindow(dialog));
    DestroyProgressDialog(dialog); // a window already gone is fine
}

// A visible message box of this thread (a dialog with the text static 0xFFFF), or nullptr.
HWND FindMessageBox() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM param) -> BOOL {
            if (ClassOf(hwnd) == L"#32770" && IsWindowVisible(hwnd) && GetDlgItem(hwnd, 0xFFFF) != nullptr) {
                *reinterpret_cast<HWND *>(param) = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// A message box as the user sees it when it shows.
struct SeenBox {
    std::wstring caption;
    std::wstring text;
    bool ownerless = false;
    bool onlyOk = false;
    bool hasIcon = false;
    bool mainHasMenu = false;
};

// Catches every message box of this thread while `action` runs, noting whether the main window
// had a menu bar at that moment, and closes it with OK.
std::vector<SeenBox> CatchBoxes(const std::function<void()> &action) {
    static std::vector<SeenBox> *seen = nullptr;
    std::vector<SeenBox> boxes;
    std::vector<SeenBox> *outer = std::exchange(seen, &boxes);
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
        HWND box = FindMessageBox();
        if (box == nullptr || seen == nullptr) {
            return;
        }
        SeenBox one;
        one.caption = TextOf(box);
        one.text = TextOf(GetDlgItem(box, 0xFFFF));
        one.ownerless = GetWindow(box, GW_OWNER) == nullptr;
        one.onlyOk = GetDlgItem(box, IDOK) != nullptr && GetDlgItem(box, IDCANCEL) == nullptr;
        HWND icon = GetDlgItem(box, 0x440);
        one.hasIcon = icon != nullptr && IsWindowVisible(icon) && SendMessageW(icon, STM_GETICON, 0, 0) != 0;
        one.mainHasMenu = MainWindow != nullptr && GetMenu(MainWindow) != nullptr;
        seen->push_back(one);
        SendMessageW(box, WM_COMMAND, IDOK, 0);
    });
    action();
    KillTimer(nullptr, timer);
    seen = outer;
    return boxes;
}

bool Grey(UINT id) {
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_STATE;
    return GetMenuItemInfoW(GetMenu(MainWindow), id, FALSE, &item) && (item.fState & MFS_GRAYED) != 0;
}

// "" when the bar is attached and its commands are in the state (Browsing or Editing).
std::string MenuStateMismatch(bool browsing) {
    if (GetMenu(MainWindow) == nullptr) {
        return "no menu bar";
    }
    std::string mismatches;
    for (UINT id : {IDM_SAVE_RECIPE, IDM_INSERT_DISH_CATEGORY, IDM_INSERT_INGREDIENTS, IDM_INSERT_ELABORATION,
                    IDM_INSERT_PICTURE}) {
        if (Grey(id) != browsing) {
            mismatches += std::to_string(id) + " ";
        }
    }
    if (Grey(IDM_SEARCH_RECIPE) == browsing) {
        mismatches += "1024 ";
    }
    for (UINT id : {IDM_NEW, IDM_AUTHOR, IDM_EXIT}) {
        if (Grey(id)) {
            mismatches += std::to_string(id) + " ";
        }
    }
    return mismatches;
}

class SaveCommandTest : public testing::Test {
protected:
    SaveCommandTest() : folder_(L"save") {
        CreateDirectoryW(Store().c_str(), nullptr);
        const std::vector<uint8_t> schema = SchemaFileBytes();
        WriteBytes(Store() + L"guisla.z04", schema);
    }
    ~SaveCommandTest() override {
        currentRecipe = Recipe{};
        SetFileFaultPlan({});
        SetStoreLocation({}, "guisla");
    }

    std::wstring Store() const { return folder_.Path() + L"store\\"; }
    std::wstring Data() const { return Store() + L"guisla.zbd"; }

    // Runs the main window; once it shows, points the store at the test's folder, chooses "Nuevo",
    // fills the recipe and runs `checks`; then ends the window.
    void WithEditingWindow(const Recipe &recipe, const std::function<void(HWND)> &checks) {
        WhenReady([] { return MainWindow != nullptr && IsWindowVisible(MainWindow); },
                  [this, recipe, checks] {
                      SetStoreLocation(Store(), "guisla");
                      SendMessageW(MainWindow, WM_COMMAND, MAKEWPARAM(IDM_NEW, 0), 0);
                      currentRecipe = recipe;
                      checks(MainWindow);
                      EndDialogWindow(MainWindow);
                  });
        BuildMainWindow(nullptr);
    }

    static Recipe Paella() {
        Recipe recipe;
        recipe.dishName = "Paella valenciana";
        recipe.categoryName = "Arroces";
        recipe.categoryNumber = 4;
        recipe.ingredients = "400 g de arroz\r\n1 pollo\r\nazafr\xE1n";
        recipe.elaboration = "Sofre\xEDr el pollo y a\xF1"
                             "adir el arroz.";
        return recipe;
    }

    static bool SameRecipe(const Recipe &a, const Recipe &b) {
        return a.dishName == b.dishName && a.categoryName == b.categoryName && a.ingredients == b.ingredients &&
               a.elaboration == b.elaboration && a.picturePath == b.picturePath &&
               a.picturePathWide == b.picturePathWide;
    }

    PictureTempFolder folder_;
};

// What a timer sees of the progress window while a save runs.
struct ProgressWatch {
    HWND window = nullptr;
    int seen = 0;
    bool menuDuringSave = false;
    std::vector<int> positions; // every position given to the bar, in order
} watch;

// Notes every position the program gives a progress bar.
LRESULT CALLBACK WatchBarPositions(int code, WPARAM wParam, LPARAM lParam) {
    const auto *call = reinterpret_cast<const CWPSTRUCT *>(lParam);
    if (code == HC_ACTION && call != nullptr && call->message == PBM_SETPOS && ClassOf(call->hwnd) == PROGRESS_CLASSW) {
        watch.positions.push_back(static_cast<int>(call->wParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK WatchProgress(HWND, UINT, UINT_PTR, DWORD) {
    HWND progress = FindOwnWindow(L"#32770", L"Dialog1");
    if (progress == nullptr) {
        return;
    }
    ++watch.seen;
    watch.menuDuringSave = watch.menuDuringSave || GetMenu(watch.window) != nullptr;
    // An entry dialog may change the recipe while the save runs; the save keeps its own copy.
    currentRecipe.dishName = "otro plato";
    currentRecipe.ingredients.clear();
}

TEST_F(SaveCommandTest, SavedWithoutMenuBarThenBrowsing) {
    // A picture large enough for the progress window to be serviced while it is written.
    std::vector<uint8_t> picture(2 * 1024 * 1024);
    for (size_t i = 0; i < picture.size(); ++i) {
        picture[i] = static_cast<uint8_t>((i * 2654435761u) >> 24);
    }
    const std::wstring picturePath = folder_.Path() + L"paella \u00E1rabe.jpg";
    WriteBytes(picturePath, picture);
    Recipe recipe = Paella();
    recipe.picturePathWide = picturePath;
    recipe.picturePath = "C:\\fotos\\paella arabe.jpg"; // the bytes give the extension; the wide path opens

    WithEditingWindow(recipe, [&](HWND window) {
        ASSERT_EQ(MenuStateMismatch(false), "");
        watch = {};
        watch.window = window;
        const UINT_PTR timer = SetTimer(nullptr, 0, 10, WatchProgress);
        HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchBarPositions, nullptr, GetCurrentThreadId());
        const std::vector<SeenBox> boxes =
            CatchBoxes([&] { SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_SAVE_RECIPE, 0), 0); });
        UnhookWindowsHookEx(hook);
        KillTimer(nullptr, timer);
        EXPECT_GT(watch.seen, 0) << "the progress window was serviced while the picture was written";
        // The bar starts empty and moves block by block (32 KB each: 64 blocks) through rising
        // values up to the position after the last byte, 100 * (size - 1) / size rounded down.
        ASSERT_GE(watch.positions.size(), 10u);
        EXPECT_EQ(watch.positions.front(), 0);
        for (size_t i = 1; i < watch.positions.size(); ++i) {
            EXPECT_GT(watch.positions[i], watch.positions[i - 1]) << "position " << i;
        }
        EXPECT_EQ(watch.positions.back(), 99);
        EXPECT_FALSE(watch.menuDuringSave) << "no menu bar while the recipe is written";
        EXPECT_EQ(FindOwnWindow(L"#32770", L"Dialog1"), nullptr) << "the progress window is gone";
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, L"Programador");
        EXPECT_EQ(boxes[0].text, L"Receta Guardada ...\r\nQue disfrutes tu receta uuuuummmm!!! ....");
        EXPECT_TRUE(boxes[0].ownerless);
        EXPECT_TRUE(boxes[0].onlyOk);
        EXPECT_FALSE(boxes[0].hasIcon);
        EXPECT_FALSE(boxes[0].mainHasMenu) << "the message shows while the window has no menu bar";
        EXPECT_EQ(MenuStateMismatch(true), "") << "Browsing after the save";

        EXPECT_EQ(LastRecipeKey(), 1);
        EXPECT_EQ(ReadFieldValue("Plato", 1), "Paella valenciana");
        EXPECT_EQ(ReadFieldValue("Ingredientes", 1), recipe.ingredients);
        EXPECT_EQ(ReadFieldValue("Preparaci\xF3n", 1), recipe.elaboration);
        EXPECT_EQ(ReadFieldValue("Categoria", 1), "Arroces");
        EXPECT_EQ(ReadFieldValue("extensi\xF3n", 1), "jpg");
        EXPECT_TRUE(ReadFieldValue("Imagen", 1) == std::string(picture.begin(), picture.end()));
    });
}

TEST_F(SaveCommandTest, RefusedRecipeKeepsMenuAndData) {
    Recipe recipe = Paella();
    recipe.ingredients.clear();
    WriteBytes(Data(), {1, 2, 3});
    WithEditingWindow(recipe, [&](HWND window) {
        const std::vector<SeenBox> boxes =
            CatchBoxes([&] { SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_SAVE_RECIPE, 0), 0); });
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, L"Programador");
        EXPECT_EQ(boxes[0].text,
                  L"No puedo grabar, Error ...\r\nAlgun dato esta vac\u00EDo o lleva demasiados datos ...");
        EXPECT_TRUE(boxes[0].ownerless && boxes[0].onlyOk && !boxes[0].hasIcon);
        EXPECT_TRUE(boxes[0].mainHasMenu) << "a refusal keeps the menu bar";
        EXPECT_EQ(MenuStateMismatch(false), "") << "still Editing";
        EXPECT_TRUE(SameRecipe(currentRecipe, recipe));
        EXPECT_EQ(ReadBytes(Data()), (std::vector<uint8_t>{1, 2, 3}));
    });
}

TEST_F(SaveCommandTest, NoSchemaSaysNoDatabase) {
    DeleteFileW((Store() + L"guisla.z04").c_str());
    WithEditingWindow(Paella(), [&](HWND window) {
        const std::vector<SeenBox> boxes =
            CatchBoxes([&] { SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_SAVE_RECIPE, 0), 0); });
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, L"Programador");
        EXPECT_EQ(boxes[0].text, L"No existe Base de Datos ...");
        EXPECT_TRUE(boxes[0].mainHasMenu);
        EXPECT_EQ(MenuStateMismatch(false), "");
        EXPECT_FALSE(FileExists(Data())) << "nothing written";
    });
}

TEST_F(SaveCommandTest, FailedSaveStaysInEditingWithTheFileAsItWas) {
    const std::vector<uint8_t> before = {9, 9, 9, 9, 9};
    WriteBytes(Data(), before);
    struct Case {
        const char *name;
        std::function<void()> arrange;
        std::wstring message;
    };
    const std::wstring refused = L"No puedo grabar, Error ...\r\n";
    StoreFile holder;
    Recipe recipe = Paella();
    const std::vector<Case> cases = {
        {"disk full",
         [] {
             FileFaultPlan plan;
             plan.failWriteNumber = 1;
             plan.partialWriteBytes = 40;
             SetFileFaultPlan(plan);
         },
         refused + L"No queda espacio en el disco. La receta no se ha guardado ..."},
        {"flush fails",
         [] {
             FileFaultPlan plan;
             plan.failFlush = true;
             SetFileFaultPlan(plan);
         },
         refused + L"No se ha podido escribir en la Base de Datos. La receta no se ha guardado ..."},
        {"held by another program", [&] { ASSERT_EQ(OpenStoreFile(Data(), FileAccess::Read, holder), FileStatus::Ok); },
         refused + L"Otro programa est\u00E1 usando la Base de Datos. La receta no se ha guardado: int\u00E9ntalo "
                   L"de nuevo ..."},
        {"picture that cannot be read",
         [&] {
             currentRecipe.picturePath = "C:\\no\\existe.jpg";
             currentRecipe.picturePathWide = folder_.Path() + L"no existe.jpg";
         },
         L"No puedo leer la imagen ...\r\nLa receta no se ha guardado: elige otra imagen o int\u00E9ntalo de nuevo "
         L"..."},
    };
    WithEditingWindow(recipe, [&](HWND window) {
        for (const Case &c : cases) {
            SCOPED_TRACE(c.name);
            currentRecipe = recipe;
            c.arrange();
            const Recipe arranged = currentRecipe;
            const std::vector<SeenBox> boxes =
                CatchBoxes([&] { SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_SAVE_RECIPE, 0), 0); });
            SetFileFaultPlan({});
            CloseStoreFile(holder);
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].caption, L"Programador");
            EXPECT_EQ(boxes[0].text, c.message);
            EXPECT_TRUE(boxes[0].ownerless && boxes[0].onlyOk && !boxes[0].hasIcon);
            EXPECT_EQ(MenuStateMismatch(false), "") << "back in Editing for another try";
            EXPECT_TRUE(SameRecipe(currentRecipe, arranged)) << "the recipe is intact";
            EXPECT_EQ(ReadBytes(Data()), before);
        }
        // And the next try goes through.
        currentRecipe = recipe;
        const std::vector<SeenBox> boxes =
            CatchBoxes([&] { SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_SAVE_RECIPE, 0), 0); });
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text.substr(0, 15), L"Receta Guardada");
        EXPECT_EQ(MenuStateMismatch(true), "");
        EXPECT_EQ(ReadFieldValue("Plato", 1), "Paella valenciana");
    });
}

} // namespace
