// The search dialog run in-process over stores written by the test: layout, the category list
// with its pictures and pre-selection, the two messages, the numbered lines, the list emptied on
// a category change, commands held off while a search fills the list, and the double-click that
// loads a recipe into the main window.
#include "state/app_state.h"
#include "state/catalogue.h"
#include "state/main_menu.h"
#include "app/main_window.h"
#include "entry_test_support.h"
#include "picture_test_support.h"
#include "resources/resource_ids.h"
#include "search/search.h"
#include "search/search_dialog.h"
#include "store/record_codec.h"
#include "store/schema_table.h"
#include "store/store.h"
#include "ui/dialog.h"
#include "ui/gdi.h"
#include "ui/text.h"
#include "win_test_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

const wchar_t kSearchTitle[] = L"Buscar Receta";

const ExpectedEntryControl kExpected[] = {
    {IDC_SEARCH_CATEGORY, L"ComboBoxEx32", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 0, 0, 5, 1, 385,
     250, 700, true},
    {IDC_SEARCH_BUTTON, L"Button", L"Buscar", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, BS_DEFPUSHBUTTON, 0,
     5, 250, 50, 15, 700, false},
    {IDC_SEARCH_EXIT, L"Button", L"Salir", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, BS_DEFPUSHBUTTON, 0, 340,
     250, 50, 15, 700, false},
};

void AppendValue(std::vector<uint8_t> &bytes, int position, int64_t key, const std::string &value) {
    const FieldDescriptor &descriptor = SchemaTable()[static_cast<size_t>(position) - 1];
    for (size_t i = 0; i < value.size(); ++i) {
        const size_t at = bytes.size();
        bytes.resize(at + kRecordSize);
        EncodeDataRecord(descriptor, static_cast<uint8_t>(value[i]), key, i + 1 == value.size(), bytes.data() + at);
    }
}

void AppendRecipe(std::vector<uint8_t> &bytes, int64_t key, const std::string &dish, const std::string &category) {
    AppendValue(bytes, kFieldDishName, key, dish);
    AppendValue(bytes, kFieldIngredients, key, "ingredientes " + std::to_string(key));
    AppendValue(bytes, kFieldElaboration, key, "preparaci\xF3n " + std::to_string(key));
    AppendValue(bytes, kFieldCategory, key, category);
}

class SearchDialogTest : public testing::Test {
protected:
    SearchDialogTest() : folder_(L"searchdlg") {}
    void SetUp() override {
        FillCategoryCatalogue();
        currentRecipe = Recipe{};
        lastSearchedCategory = 0;
        UseStore({});
    }
    void TearDown() override {
        currentRecipe = Recipe{};
        lastSearchedCategory = 0;
        secondaryDialogOpen = false;
        ForgetSearchPass();
    }
    void UseStore(const std::vector<uint8_t> &bytes) {
        WriteBytes(folder_.Path() + L"guisla.zbd", bytes);
        SetStoreLocation(std::filesystem::path(folder_.Path()), "guisla");
    }
    PictureTempFolder folder_;
};

// Opens the dialog and runs `checks` from inside its modal run; ends it with Salir if still open.
void WithSearchDialog(const std::function<void(HWND)> &checks) {
    bool seen = false;
    CallSoon([&] {
        HWND dialog = FindOwnWindow(L"#32770", kSearchTitle);
        if (dialog == nullptr) {
            ADD_FAILURE() << "no dialog titled Buscar Receta";
            PostQuitMessage(0);
            return;
        }
        seen = true;
        checks(dialog);
        if (IsWindow(dialog)) {
            SendMessageW(GetDlgItem(dialog, IDC_SEARCH_EXIT), BM_CLICK, 0, 0);
        }
        EXPECT_FALSE(IsWindow(dialog)) << "Salir ends the dialog";
        EndDialogWindow(dialog);
    });
    EXPECT_EQ(SearchDialog(nullptr), 0);
    EXPECT_TRUE(seen);
}

// Presses "Buscar" and returns the texts of the message boxes shown meanwhile.
std::vector<CaughtMessageBox> PressSearch(HWND dialog) {
    return RunCatchingMessageBoxes([dialog] { SendMessageW(GetDlgItem(dialog, IDC_SEARCH_BUTTON), BM_CLICK, 0, 0); });
}

std::vector<std::wstring> ListLines(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_SEARCH_RESULTS);
    std::vector<std::wstring> lines;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring line(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
        line.resize(static_cast<size_t>(SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()))));
        lines.push_back(line);
    }
    return lines;
}

void SelectCategoryByUser(HWND dialog, int number) {
    HWND combo = GetDlgItem(dialog, IDC_SEARCH_CATEGORY);
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(number - 1), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH_CATEGORY, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

// The result list: the list box shows whole lines only, so its height is the layout's rounded
// down to a whole number of lines; it shows its scroll bar (WS_VSCROLL) only when lines overflow.
void ExpectResultList(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_SEARCH_RESULTS);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ClassOf(list), L"ListBox");
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(list, GWL_STYLE));
    const DWORD required = WS_CHILD | WS_VISIBLE | WS_TABSTOP | LBS_NOTIFY | LBS_SORT;
    EXPECT_EQ(style & required, required);
    EXPECT_EQ(style & (LBS_OWNERDRAWFIXED | LBS_MULTIPLESEL | LBS_NOINTEGRALHEIGHT), 0u);
    EXPECT_NE(GetWindowLongPtrW(list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    const RECT expected = DialogUnitsToPixels(dialog, 5, 30, 385, 220);
    const RECT actual = RectInParent(list);
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right, expected.right);
    const LRESULT lineHeight = SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
    EXPECT_LE(actual.bottom, expected.bottom);
    EXPECT_GT(actual.bottom, expected.bottom - lineHeight);
    EXPECT_EQ(FontHeightOf(list), PointsToPixels(10));
    EXPECT_EQ(FontWeightOf(list), 700);
    EXPECT_EQ(FontFaceOf(list), L"MS Sans Serif");
    EXPECT_EQ(DominantColour(list).colour, kBackgroundColour) << "painted list";
    EXPECT_EQ(GetWindow(list, GW_HWNDPREV), GetDlgItem(dialog, IDC_SEARCH_CATEGORY));
}

TEST_F(SearchDialogTest, LayoutPicturesAndFirstSelection) {
    WithSearchDialog([](HWND dialog) {
        EXPECT_TRUE(IsWindowVisible(dialog));
        const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE));
        const DWORD required = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_NOFAILCREATE | DS_3DLOOK;
        EXPECT_EQ(style & required, required);
        EXPECT_EQ(style & (WS_SYSMENU | WS_THICKFRAME), 0u) << "no system menu";
        EXPECT_NE(GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);
        POINT corner = {0, 0};
        ClientToScreen(dialog, &corner);
        const RECT origin = DialogUnitsToPixels(dialog, 70, 70, 393, 271);
        EXPECT_EQ(corner.x, origin.left);
        EXPECT_EQ(corner.y, origin.top);
        RECT client = {};
        GetClientRect(dialog, &client);
        const RECT size = DialogUnitsToPixels(dialog, 0, 0, 393, 271);
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);
        EXPECT_EQ(DominantColour(dialog, true).colour, kBackgroundColour) << "painted dialog background";

        HWND previous = nullptr;
        for (const ExpectedEntryControl &expected : kExpected) {
            previous = ExpectEntryControl(dialog, expected, previous);
            if (expected.id == IDC_SEARCH_CATEGORY) {
                previous = GetDlgItem(dialog, IDC_SEARCH_RESULTS); // checked below
            }
        }
        ExpectResultList(dialog);
        HWND combo = GetDlgItem(dialog, IDC_SEARCH_CATEGORY);
        ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), kCategoryCount);
        HIMAGELIST pictures = reinterpret_cast<HIMAGELIST>(SendMessageW(combo, CBEM_GETIMAGELIST, 0, 0));
        ASSERT_NE(pictures, nullptr);
        EXPECT_EQ(ImageList_GetImageCount(pictures), kCategoryCount);
        for (int i = 0; i < kCategoryCount; ++i) {
            wchar_t text[64] = {};
            COMBOBOXEXITEMW item = {};
            item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
            item.iItem = i;
            item.pszText = text;
            item.cchTextMax = 64;
            ASSERT_TRUE(SendMessageW(combo, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
            EXPECT_EQ(WideToAnsi(text), CategoryEntryText(i + 1));
            EXPECT_EQ(item.iImage, i);
            EXPECT_EQ(item.iSelectedImage, i);
        }
        EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0) << "first opening: Aperitivos";
        // Escape and Enter reach no command; WM_SYSCOLORCHANGE is harmless.
        PressKey(GetDlgItem(dialog, IDC_SEARCH_RESULTS), VK_ESCAPE);
        PressKey(GetDlgItem(dialog, IDC_SEARCH_RESULTS), VK_RETURN);
        SendMessageW(dialog, WM_SYSCOLORCHANGE, 0, 0);
        EXPECT_TRUE(IsWindow(dialog));
    });
}

TEST_F(SearchDialogTest, EmptyStoreSaysSoAndTheSystemCloseEndsLikeSalir) {
    WithSearchDialog([](HWND dialog) {
        const std::vector<CaughtMessageBox> boxes = PressSearch(dialog);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, L"Programador");
        EXPECT_EQ(boxes[0].text, L"No hay Resultados ...");
        EXPECT_TRUE(ListLines(dialog).empty());
        SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_FALSE(IsWindow(dialog));
    });
    EXPECT_EQ(lastSearchedCategory, 1);
}

TEST_F(SearchDialogTest, LinesCountCategoryChangeAndPreselection) {
    std::vector<uint8_t> bytes;
    for (int64_t key = 1; key <= 12; ++key) {
        const bool soup = key == 2 || key == 5 || key == 9 || key > 10;
        AppendRecipe(bytes, key, key == 5 ? "" : "Plato " + std::to_string(key), soup ? "Sopas" : "Arroz");
    }
    AppendRecipe(bytes, 13, "casi", "sopas");
    UseStore(bytes);
    WithSearchDialog([](HWND dialog) {
        SelectCategoryByUser(dialog, 8); // "08 - Sopas"
        for (int round = 0; round < 2; ++round) {
            const std::vector<CaughtMessageBox> boxes = PressSearch(dialog);
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, L"5 Resultados ...");
            EXPECT_EQ(ListLines(dialog), (std::vector<std::wstring>{L"0001 Plato 2", L"0002 ", L"0003 Plato 9",
                                                                    L"0004 Plato 11", L"0005 Plato 12"}));
        }
        EXPECT_EQ(lastSearchedCategory, 8);
        SelectCategoryByUser(dialog, 11);
        EXPECT_TRUE(ListLines(dialog).empty()) << "emptied before Buscar is pressed";
        EXPECT_EQ(resultCount, 5) << "the results stay until the next search";
    });
    WithSearchDialog(
        [](HWND dialog) { EXPECT_EQ(SendMessageW(GetDlgItem(dialog, IDC_SEARCH_CATEGORY), CB_GETCURSEL, 0, 0), 7); });
}

TEST_F(SearchDialogTest, CommandsArrivingWhileTheListFillsAreHeldOff) {
    std::vector<uint8_t> bytes;
    for (int64_t key = 1; key <= 300; ++key) {
        AppendRecipe(bytes, key, "Plato " + std::to_string(key), "Aperitivos");
    }
    UseStore(bytes);
    WithSearchDialog([](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_SEARCH_RESULTS);
        HWND combo = GetDlgItem(dialog, IDC_SEARCH_CATEGORY);
        // Waiting in the queue when the search starts, serviced while it fills the list.
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH_BUTTON, BN_CLICKED), 0);
        PostMessageW(list, LB_SETCURSEL, 0, 0);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH_RESULTS, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH_CATEGORY, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
        std::vector<CaughtMessageBox> boxes = PressSearch(dialog);
        ASSERT_EQ(boxes.size(), 1u) << "the second Buscar was dropped";
        EXPECT_EQ(boxes[0].text, L"300 Resultados ...");
        EXPECT_EQ(resultCount, 300);
        EXPECT_EQ(currentRecipe.dishName, "") << "the double-click was dropped";
        EXPECT_TRUE(IsWindow(dialog));
        EXPECT_TRUE(ListLines(dialog).empty()) << "the category change emptied the list after the search";

        boxes = PressSearch(dialog);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(ListLines(dialog).size(), 300u);
        EXPECT_NE(GetWindowLongPtrW(list, GWL_STYLE) & WS_VSCROLL, 0) << "300 lines overflow the list";
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH_EXIT, BN_CLICKED), 0);
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        boxes = PressSearch(dialog);
        EXPECT_EQ(boxes.size(), 1u);
        EXPECT_FALSE(IsWindow(dialog)) << "Salir took effect once the search was over";
    });
}

TEST_F(SearchDialogTest, DoubleClickLoadsTheRecipeOfTheLineIntoTheMainWindow) {
    std::vector<uint8_t> bytes;
    for (int64_t key = 1; key <= 10; ++key) {
        AppendRecipe(bytes, key, "Plato " + std::to_string(key),
                     key == 2 || key == 5 || key == 9 ? "Aperitivos" : "Arroz");
    }
    WhenReady([] { return MainWindow != nullptr && IsWindowVisible(MainWindow); },
              [&] {
                  UseStore(bytes);
                  SendMessageW(MainWindow, WM_COMMAND, MAKEWPARAM(IDM_NEW, 0), 0);
                  currentRecipe.categoryName = "Setas";
                  currentRecipe.picturePath = "C:\\x.png";
                  CallSoon([] {
                      HWND dialog = FindOwnWindow(L"#32770", kSearchTitle);
                      ASSERT_NE(dialog, nullptr);
                      EXPECT_TRUE(secondaryDialogOpen);
                      EXPECT_EQ(PressSearch(dialog).size(), 1u);
                      HWND list = GetDlgItem(dialog, IDC_SEARCH_RESULTS);
                      // No line selected: nothing happens.
                      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH_RESULTS, LBN_DBLCLK),
                                   reinterpret_cast<LPARAM>(list));
                      EXPECT_TRUE(IsWindow(dialog));
                      SendMessageW(list, LB_SETCURSEL, 2, 0);
                      // Any picture message goes (a recipe without picture gives the read error).
                      RunCatchingMessageBoxes([&] {
                          SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH_RESULTS, LBN_DBLCLK),
                                       reinterpret_cast<LPARAM>(list));
                      });
                      EXPECT_FALSE(IsWindow(dialog)) << "the dialog closes";
                  });
                  SendMessageW(MainWindow, WM_COMMAND, MAKEWPARAM(IDM_SEARCH_RECIPE, 0), 0);
                  EXPECT_FALSE(secondaryDialogOpen);
                  EXPECT_EQ(currentRecipe.dishName, "Plato 9");
                  EXPECT_EQ(currentRecipe.ingredients, "ingredientes 9");
                  EXPECT_EQ(currentRecipe.elaboration, "preparaci\xF3n 9");
                  EXPECT_EQ(currentRecipe.categoryName, "Setas") << "the category is not changed";
                  EXPECT_EQ(currentRecipe.picturePath, "C:\\x.png");
                  EXPECT_EQ(GetWindowTextAnsi(GetDlgItem(MainWindow, IDC_DISH_NAME_BOX)), "Plato 9");
                  EXPECT_EQ(GetWindowTextAnsi(GetDlgItem(MainWindow, IDC_INGREDIENTS_BOX)), "ingredientes 9");
                  EXPECT_EQ(GetWindowTextAnsi(GetDlgItem(MainWindow, IDC_ELABORATION_BOX)), "preparaci\xF3n 9");
                  HMENU bar = GetMenu(MainWindow);
                  ASSERT_NE(bar, nullptr);
                  EXPECT_EQ(bar, currentMenuBar);
                  for (UINT id : {IDM_SAVE_RECIPE, IDM_INSERT_DISH_CATEGORY, IDM_INSERT_INGREDIENTS,
                                  IDM_INSERT_ELABORATION, IDM_INSERT_PICTURE}) {
                      EXPECT_NE(GetMenuState(bar, id, MF_BYCOMMAND) & MF_GRAYED, 0u) << id;
                  }
                  for (UINT id : {IDM_NEW, IDM_SEARCH_RECIPE, IDM_AUTHOR, IDM_EXIT}) {
                      EXPECT_EQ(GetMenuState(bar, id, MF_BYCOMMAND) & MF_GRAYED, 0u) << id;
                  }
                  EndDialogWindow(MainWindow);
              });
    BuildMainWindow(nullptr);
}

// Another program holds the data file (as a second copy does while it saves): a search says so and
// leaves no line of the earlier search; opening a line says so and changes nothing, with no
// picture message; once the file is free the same line opens.
TEST_F(SearchDialogTest, AStoreHeldByAnotherProgramIsSaidAndChangesNothing) {
    std::vector<uint8_t> bytes;
    for (int64_t key = 1; key <= 3; ++key) {
        AppendRecipe(bytes, key, "Plato " + std::to_string(key), "Aperitivos");
    }
    const std::wstring dataFile = folder_.Path() + L"guisla.zbd";
    const std::wstring busyText = L"Otro programa est\u00E1 usando la Base de Datos ...\r\nInt\u00E9ntalo de nuevo ...";
    const std::wstring busyOpenText = L"Otro programa est\u00E1 usando la Base de Datos ...\r\nNo se ha podido abrir "
                                      L"la receta: int\u00E9ntalo de nuevo ...";
    WhenReady([] { return MainWindow != nullptr && IsWindowVisible(MainWindow); },
              [&] {
                  UseStore(bytes);
                  currentRecipe.dishName = "Antes";
                  SetWindowTextAnsi(GetDlgItem(MainWindow, IDC_DISH_NAME_BOX), "Antes");
                  const HMENU menuBefore = GetMenu(MainWindow);
                  CallSoon([&] {
                      HWND dialog = FindOwnWindow(L"#32770", kSearchTitle);
                      ASSERT_NE(dialog, nullptr);
                      HWND list = GetDlgItem(dialog, IDC_SEARCH_RESULTS);
                      auto doubleClickLine = [&](int index) {
                          SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
                          return RunCatchingMessageBoxes([&] {
                              SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH_RESULTS, LBN_DBLCLK),
                                           reinterpret_cast<LPARAM>(list));
                          });
                      };
                      ASSERT_EQ(PressSearch(dialog).size(), 1u);
                      ASSERT_EQ(ListLines(dialog).size(), 3u);

                      HANDLE held = CreateFileW(dataFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                                FILE_ATTRIBUTE_NORMAL, nullptr);
                      ASSERT_NE(held, INVALID_HANDLE_VALUE);
                      std::vector<CaughtMessageBox> boxes = doubleClickLine(1);
                      ASSERT_EQ(boxes.size(), 1u) << "no picture message";
                      EXPECT_EQ(boxes[0].caption, L"Programador");
                      EXPECT_EQ(boxes[0].text, busyOpenText);
                      EXPECT_TRUE(IsWindow(dialog)) << "the dialog stays for another try";
                      EXPECT_EQ(currentRecipe.dishName, "Antes");
                      EXPECT_EQ(GetWindowTextAnsi(GetDlgItem(MainWindow, IDC_DISH_NAME_BOX)), "Antes");
                      EXPECT_EQ(GetMenu(MainWindow), menuBefore) << "the menu stays as it was";

                      boxes = PressSearch(dialog);
                      ASSERT_EQ(boxes.size(), 1u);
                      EXPECT_EQ(boxes[0].text, busyText);
                      EXPECT_TRUE(ListLines(dialog).empty()) << "no line of the earlier search stays";
                      CloseHandle(held);

                      ASSERT_EQ(PressSearch(dialog).size(), 1u);
                      ASSERT_EQ(ListLines(dialog).size(), 3u);
                      boxes = doubleClickLine(1);
                      EXPECT_FALSE(IsWindow(dialog)) << "opened once the file is free";
                  });
                  SendMessageW(MainWindow, WM_COMMAND, MAKEWPARAM(IDM_SEARCH_RECIPE, 0), 0);
                  EXPECT_EQ(currentRecipe.dishName, "Plato 2");
                  EXPECT_EQ(GetWindowTextAnsi(GetDlgItem(MainWindow, IDC_INGREDIENTS_BOX)), "ingredientes 2");
                  EndDialogWindow(MainWindow);
              });
    BuildMainWindow(nullptr);
}

} // namespace
