// The dish name and category dialog, run in-process: layout, the category list with its pictures,
// pre-selection, and what "Aceptar" and the system close command leave in the recipe.
#include "state/app_state.h"
#include "state/category_combo.h"
#include "entry/dish_category_dialog.h"
#include "entry_test_support.h"
#include "resources/resource_ids.h"
#include "ui/gdi.h"
#include "ui/text.h"
#include "win_test_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>

namespace {

const ExpectedEntryControl kExpected[] = {
    {IDC_CATEGORY_LIST, L"ComboBoxEx32", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 0, 0, 5, 25, 195,
     130, 700, false},
    {IDC_DISH_NAME_EDIT, L"Edit", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL,
     ES_WANTRETURN | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL, WS_EX_CLIENTEDGE, 5, 60, 195, 50, 700, true},
    {IDC_DISH_NAME_PROMPT, L"Static", L"Introduce nombre del plato y elige categoria ...",
     WS_CHILD | WS_VISIBLE | SS_LEFT, WS_BORDER, 0, 5, 0, 195, 25, 700, true},
    {IDC_DISH_NAME_ACCEPT, L"Button", L"Aceptar", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, BS_DEFPUSHBUTTON,
     0, 5, 115, 50, 15, 700, false},
};

class DishNameCategoryDialogTest : public testing::Test {
protected:
    void SetUp() override {
        FillCategoryCatalogue();
        currentRecipe = Recipe{};
    }
    void TearDown() override { currentRecipe = Recipe{}; }
};

HWND CategoryList(HWND dialog) {
    return GetDlgItem(dialog, IDC_CATEGORY_LIST);
}

HWND NameBox(HWND dialog) {
    return GetDlgItem(dialog, IDC_DISH_NAME_EDIT);
}

LRESULT Selected(HWND dialog) {
    return SendMessageW(CategoryList(dialog), CB_GETCURSEL, 0, 0);
}

void ClickAceptar(HWND dialog) {
    SendMessageW(GetDlgItem(dialog, IDC_DISH_NAME_ACCEPT), BM_CLICK, 0, 0);
}

// The colour of pixel (x, y) of picture `index`, drawn on a background of the given colour.
COLORREF PicturePixel(HIMAGELIST list, int index, int x, int y, COLORREF background = RGB(0, 0, 0)) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, kCategoryPictureWidth, kCategoryPictureHeight);
    HGDIOBJ old = SelectObject(memory, canvas);
    HBRUSH brush = CreateSolidBrush(background);
    const RECT all = {0, 0, kCategoryPictureWidth, kCategoryPictureHeight};
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    ImageList_Draw(list, index, memory, 0, 0, ILD_NORMAL);
    const COLORREF pixel = GetPixel(memory, x, y);
    SelectObject(memory, old);
    DeleteObject(canvas);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixel;
}

struct ResourcePicture {
    int width = 0;
    int height = 0;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    explicit ResourcePicture(int resource) {
        bitmap = static_cast<HBITMAP>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
        BITMAP info = {};
        GetObjectW(bitmap, sizeof(info), &info);
        width = info.bmWidth;
        height = info.bmHeight;
        dc = CreateCompatibleDC(nullptr);
        old = SelectObject(dc, bitmap);
    }
    ~ResourcePicture() {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    COLORREF Pixel(int x, int y) const { return GetPixel(dc, x, y); }
};

TEST_F(DishNameCategoryDialogTest, DialogAndControlsHaveTheirLayoutStylesFontsAndColours) {
    WithEntryDialog(DishNameCategoryDialog, [](HWND dialog) {
        ExpectEntryDialogFrame(dialog, 107, 68, 201, 135);
        HWND previous = nullptr;
        for (const ExpectedEntryControl &e : kExpected) {
            previous = ExpectEntryControl(dialog, e, previous);
        }
        // The list holds its entries in an inner drop-down list box.
        HWND inner = FindWindowExW(CategoryList(dialog), nullptr, L"ComboBox", nullptr);
        ASSERT_NE(inner, nullptr);
        EXPECT_EQ(GetWindowLongPtrW(inner, GWL_STYLE) & 3, CBS_DROPDOWNLIST);
        EXPECT_EQ(GetFocus(), inner) << "the first control has the focus";
    });
}

TEST_F(DishNameCategoryDialogTest, ListHasTheTwentyNineCategoriesEachWithItsOwnPicture) {
    HIMAGELIST seenList = nullptr;
    HBITMAP seenBitmap = nullptr;
    HFONT seenFont = nullptr;
    WithEntryDialog(DishNameCategoryDialog, [&](HWND dialog) {
        HWND list = CategoryList(dialog);
        ASSERT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 29);
        auto pictures = reinterpret_cast<HIMAGELIST>(SendMessageW(list, CBEM_GETIMAGELIST, 0, 0));
        ASSERT_NE(pictures, nullptr);
        EXPECT_EQ(ImageList_GetImageCount(pictures), 29) << "one picture per category, shared bitmaps too";
        int cx = 0;
        int cy = 0;
        ImageList_GetIconSize(pictures, &cx, &cy);
        EXPECT_EQ(cx, 36);
        EXPECT_EQ(cy, 37);

        for (int i = 0; i < 29; ++i) {
            SCOPED_TRACE(i + 1);
            wchar_t text[64] = {};
            COMBOBOXEXITEMW item = {};
            item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
            item.iItem = i;
            item.pszText = text;
            item.cchTextMax = 64;
            ASSERT_TRUE(SendMessageW(list, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
            EXPECT_EQ(std::wstring(text), AnsiToWide(CategoryEntryText(i + 1)));
            EXPECT_EQ(item.iImage, i);
            EXPECT_EQ(item.iSelectedImage, i);

            // Each picture is its category's bitmap from the cell's top-left corner, cut at 36 x 37.
            ResourcePicture source(CategoryPictureResource(i + 1));
            ASSERT_GE(source.width, 36);
            for (POINT p : {POINT{0, 0}, POINT{35, 0}, POINT{0, 34}, POINT{35, 34}, POINT{18, 17}, POINT{35, 35},
                            POINT{35, 36}}) {
                if (p.y < source.height) {
                    EXPECT_EQ(PicturePixel(pictures, i, p.x, p.y), source.Pixel(p.x, p.y)) << p.x << "," << p.y;
                } else {
                    // Below a shorter bitmap the cell stays empty: not stretched, not painted.
                    EXPECT_EQ(PicturePixel(pictures, i, p.x, p.y, RGB(255, 255, 255)), RGB(255, 255, 255));
                    EXPECT_EQ(PicturePixel(pictures, i, p.x, p.y, RGB(0, 0, 255)), RGB(0, 0, 255));
                }
            }
        }
        wchar_t text[64] = {};
        SendMessageW(list, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(text, L"01 - Aperitivos");
        SendMessageW(list, CB_GETLBTEXT, 6, reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(text, L"07 - Potajes");
        SendMessageW(list, CB_GETLBTEXT, 28, reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(text, L"29 - Boller\u00EDa");

        seenList = pictures;
        IMAGEINFO info = {};
        ImageList_GetImageInfo(pictures, 0, &info);
        seenBitmap = info.hbmImage;
        seenFont = reinterpret_cast<HFONT>(SendMessageW(NameBox(dialog), WM_GETFONT, 0, 0));
        EXPECT_NE(GetObjectType(seenBitmap), 0u);
        EXPECT_NE(GetObjectType(seenFont), 0u);
    });
    // The picture list and the font go with the dialog.
    ASSERT_NE(seenList, nullptr);
    EXPECT_EQ(GetObjectType(seenBitmap), 0u) << "picture list released";
    EXPECT_EQ(GetObjectType(seenFont), 0u) << "font deleted";
}

TEST_F(DishNameCategoryDialogTest, FirstOpeningSelectsTheFirstCategoryAndAcceptStoresIt) {
    WithEntryDialog(DishNameCategoryDialog, [](HWND dialog) {
        EXPECT_EQ(Selected(dialog), 0);
        EXPECT_EQ(TextOf(NameBox(dialog)), L"");
        ClickAceptar(dialog);
        EXPECT_FALSE(IsWindow(dialog));
    });
    EXPECT_EQ(currentRecipe.dishName, "");
    EXPECT_EQ(currentRecipe.categoryNumber, 1);
    EXPECT_EQ(currentRecipe.categoryName, "Aperitivos");
}

TEST_F(DishNameCategoryDialogTest, AcceptStoresNameNumberAndCatalogueNameAndReopeningShowsThem) {
    WithEntryDialog(DishNameCategoryDialog, [](HWND dialog) {
        SendMessageW(CategoryList(dialog), CB_SETCURSEL, 25, 0);
        SetWindowTextW(NameBox(dialog), L"Callos a la madrile\u00F1a\r\ncon garbanzos ");
        ClickAceptar(dialog);
    });
    EXPECT_EQ(currentRecipe.dishName, "Callos a la madrile\xF1"
                                      "a\r\ncon garbanzos ")
        << "whole, line breaks and spaces kept";
    EXPECT_EQ(currentRecipe.categoryNumber, 26);
    EXPECT_EQ(currentRecipe.categoryName, "Casquer\xED"
                                          "a");

    WithEntryDialog(DishNameCategoryDialog, [](HWND dialog) {
        EXPECT_EQ(Selected(dialog), 25);
        EXPECT_EQ(TextOf(NameBox(dialog)), L"Callos a la madrile\u00F1a\r\ncon garbanzos ");
        SendMessageW(CategoryList(dialog), CB_SETCURSEL, 6, 0);
        SetWindowTextW(NameBox(dialog), L"Cocido \u0416 \u20AC");
        // BN_CLICKED and 1 (as from an accelerator) both accept; other notifications do not.
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_DISH_NAME_ACCEPT, BN_DOUBLECLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_DISH_NAME_ACCEPT)));
        EXPECT_TRUE(IsWindow(dialog));
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_DISH_NAME_ACCEPT, 1), 0);
        EXPECT_FALSE(IsWindow(dialog));
    });
    EXPECT_EQ(currentRecipe.dishName, "Cocido ? \x80") << "the code page's default character, the euro sign";
    EXPECT_EQ(currentRecipe.categoryNumber, 7);
    EXPECT_EQ(currentRecipe.categoryName, "Potajes");
}

TEST_F(DishNameCategoryDialogTest, EnterOnAceptarReachedWithTabAcceptsALongNameWhole) {
    std::wstring longName;
    for (int i = 0; i < 40; ++i) {
        longName += L"Pimientos rellenos ";
    }
    WithEntryDialog(DishNameCategoryDialog, [&](HWND dialog) {
        SetFocus(NameBox(dialog));
        SetWindowTextW(NameBox(dialog), longName.c_str());
        PressKey(NameBox(dialog), VK_TAB); // the dialog manager moves the focus to "Aceptar"
        ASSERT_EQ(GetFocus(), GetDlgItem(dialog, IDC_DISH_NAME_ACCEPT));
        PressKey(GetFocus(), VK_RETURN);
        EXPECT_FALSE(IsWindow(dialog));
    });
    EXPECT_EQ(currentRecipe.dishName, WideToAnsi(longName)) << "wrapping only affects the display";
    EXPECT_EQ(currentRecipe.categoryNumber, 1);
}

TEST_F(DishNameCategoryDialogTest, CategoryChosenLastIsPreselectedAfterNuevo) {
    currentRecipe.categoryNumber = 29; // "Nuevo" keeps it and empties the rest
    WithEntryDialog(DishNameCategoryDialog, [](HWND dialog) {
        EXPECT_EQ(Selected(dialog), 28);
        EXPECT_EQ(TextOf(NameBox(dialog)), L"");
    });
    currentRecipe.categoryNumber = 0;
    WithEntryDialog(DishNameCategoryDialog, [](HWND dialog) { EXPECT_EQ(Selected(dialog), 0); });
}

TEST_F(DishNameCategoryDialogTest, SystemCloseEscapeAndEnterWriteNothing) {
    currentRecipe.dishName = "Potaje";
    currentRecipe.categoryNumber = 7;
    currentRecipe.categoryName = "Potajes";
    WithEntryDialog(DishNameCategoryDialog, [](HWND dialog) {
        SendMessageW(CategoryList(dialog), CB_SETCURSEL, 2, 0);
        SetFocus(NameBox(dialog));
        SetWindowTextW(NameBox(dialog), L"Otra cosa");
        SendMessageW(NameBox(dialog), EM_SETSEL, 9, 9);
        PressKey(NameBox(dialog), VK_ESCAPE);
        PressKey(NameBox(dialog), VK_RETURN);
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        EXPECT_FALSE(PumpUntilGone(dialog, 200)) << "Escape and Enter do nothing";
        EXPECT_EQ(TextOf(NameBox(dialog)), L"Otra cosa") << "Enter starts no new line";
        // Alt+F4, as the window system turns it into the system close command.
        PostMessageW(NameBox(dialog), WM_SYSKEYDOWN, VK_F4, 1 << 29);
        EXPECT_TRUE(PumpUntilGone(dialog));
    });
    EXPECT_EQ(currentRecipe.dishName, "Potaje");
    EXPECT_EQ(currentRecipe.categoryNumber, 7);
    EXPECT_EQ(currentRecipe.categoryName, "Potajes");
}

} // namespace
