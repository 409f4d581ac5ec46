// Entering a recipe's texts in the real program: "Nuevo", then the three entry dialogs opened from the
// "Recetas" menu, typed into as a person types (accents and several lines), a category picked with the
// keyboard, "Aceptar" and Alt+F4; the main window's boxes afterwards; a second entry dialog refused
// while one is open; a screenshot of each dialog.
#include "driver.h"
#include "menu_mode.h"

#include "resources/resource_ids.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

const wchar_t kEntryTitle[] = L"Introduce Datos";

std::vector<HWND> EntryDialogs(const AppProcess &app) {
    return TopWindows(app, L"#32770", kEntryTitle);
}

std::wstring TextOf(HWND control) {
    std::optional<std::wstring> text = ControlText(control);
    return text ? *text : L"<unreadable>";
}

// Clicks into a text box and types into it: one character message per character (as the keyboard
// brings them after translation), Enter for each line break. Waits until the box shows it all.
bool TypeInto(HWND box, const std::wstring &text) {
    const std::wstring before = TextOf(box);
    PostMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    PostMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    // Typing goes after what the box already holds.
    if (!PostKey(box, VK_END) || !Settle(box, 50)) {
        return false;
    }
    std::wstring typed;
    for (wchar_t c : text) {
        if (c == L'\n') {
            // The key itself: the program's loop turns it into the line break. Wait for it, so that
            // the characters posted next come after it.
            typed += L"\r\n";
            if (!PostKey(box, VK_RETURN) || !WaitUntil([&] { return TextOf(box) == before + typed; }, 5000)) {
                return false;
            }
            continue;
        }
        typed += c;
        if (!PostMessageW(box, WM_CHAR, c, 1)) {
            return false;
        }
    }
    return WaitUntil([&] { return TextOf(box) == before + typed; }, 5000);
}

// Chooses a menu command and waits for the entry dialog it opens.
HWND OpenEntryDialog(const AppProcess &app, HWND main, UINT command) {
    if (!PostCommand(main, command)) {
        return nullptr;
    }
    return WaitForWindow(app, L"#32770", kEntryTitle);
}

// While one entry dialog is open, the other entry commands open nothing.
void ExpectSecondDialogRefused(const AppProcess &app, HWND main, HWND open) {
    for (UINT command : {IDM_INSERT_DISH_CATEGORY, IDM_INSERT_INGREDIENTS, IDM_INSERT_ELABORATION}) {
        ASSERT_TRUE(PostCommand(main, command)) << LastError();
    }
    ASSERT_TRUE(Settle(main, 400)) << LastError();
    const std::vector<HWND> dialogs = EntryDialogs(app);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs.front(), open);
}

// The dialog as the user sees it: no close box, above the others, no owner, the main window usable.
void ExpectFreeStandingDialog(HWND dialog, HWND main) {
    std::optional<WindowInfo> info = DescribeWindow(dialog);
    ASSERT_TRUE(info) << LastError();
    EXPECT_EQ(info->style & WS_SYSMENU, 0u);
    EXPECT_NE(info->exStyle & WS_EX_TOPMOST, 0u);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);
    EXPECT_TRUE(IsWindowEnabled(main));
}

bool Accept(HWND dialog, int button) {
    return PostClick(Control(dialog, button)) && WaitForWindowGone(dialog);
}

} // namespace

TEST(Entry, DishCategoryIngredientsAndElaborationFromTheMenu) {
    AppProcess app;
    HWND main = LaunchProgram(app);
    ASSERT_NE(main, nullptr) << LastError();
    ASSERT_TRUE(PostCommand(main, IDM_NEW)) << LastError();
    ASSERT_EQ(WaitForMenuMode(app, main, MenuMode::Editing), "");

    // "Insertar Plato y Categoria": the first opening selects "01 - Aperitivos" and shows no name.
    HWND dialog = OpenEntryDialog(app, main, IDM_INSERT_DISH_CATEGORY);
    ASSERT_NE(dialog, nullptr) << LastError();
    ExpectFreeStandingDialog(dialog, main);
    HWND list = Control(dialog, IDC_CATEGORY_LIST);
    HWND name = Control(dialog, IDC_DISH_NAME_EDIT);
    ASSERT_NE(list, nullptr);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(ComboCount(list), std::optional<int>(29));
    EXPECT_EQ(ComboSelection(list), std::optional<int>(0));
    EXPECT_EQ(ComboItemText(list, 0), std::optional<std::wstring>(L"01 - Aperitivos"));
    EXPECT_EQ(ComboItemText(list, 6), std::optional<std::wstring>(L"07 - Potajes"));
    EXPECT_EQ(ComboItemText(list, 28), std::optional<std::wstring>(L"29 - Boller\u00EDa"));
    EXPECT_EQ(TextOf(name), L"");
    ExpectSecondDialogRefused(app, main, dialog);

    ASSERT_TRUE(TypeInto(name, L"Cocido madrile\u00F1o")) << "the box shows '" << Utf8(TextOf(name)) << "'";
    // Down six times in the closed list: "07 - Potajes".
    HWND inner = FindWindowExW(list, nullptr, L"ComboBox", nullptr);
    ASSERT_NE(inner, nullptr);
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(PostKey(inner, VK_DOWN)) << LastError();
    }
    EXPECT_TRUE(WaitUntil([&] { return ComboSelection(list) == std::optional<int>(6); }, 5000));
    ASSERT_TRUE(Settle(dialog, 300)) << LastError();
    EXPECT_FALSE(TakeScreenshot(L"dialog-plato-categoria").empty()) << LastError();
    // The list dropped, with the categories' pictures.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(inner, CB_SHOWDROPDOWN, TRUE, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    ASSERT_TRUE(Settle(dialog, 300)) << LastError();
    EXPECT_FALSE(TakeScreenshot(L"dialog-plato-categoria-lista").empty()) << LastError();
    SendMessageTimeoutW(inner, CB_SHOWDROPDOWN, FALSE, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    EXPECT_EQ(ComboSelection(list), std::optional<int>(6));

    ASSERT_TRUE(Accept(dialog, IDC_DISH_NAME_ACCEPT)) << LastError();
    EXPECT_TRUE(WaitUntil([&] { return TextOf(Control(main, IDC_DISH_NAME_BOX)) == L"Cocido madrile\u00F1o"; }))
        << "dish-name box: '" << Utf8(TextOf(Control(main, IDC_DISH_NAME_BOX))) << "'";

    // Reopened: the category and the name come back; Alt+F4 after typing keeps them.
    dialog = OpenEntryDialog(app, main, IDM_INSERT_DISH_CATEGORY);
    ASSERT_NE(dialog, nullptr) << LastError();
    EXPECT_EQ(ComboSelection(Control(dialog, IDC_CATEGORY_LIST)), std::optional<int>(6));
    EXPECT_EQ(TextOf(Control(dialog, IDC_DISH_NAME_EDIT)), L"Cocido madrile\u00F1o");
    ASSERT_TRUE(TypeInto(Control(dialog, IDC_DISH_NAME_EDIT), L" con pelotas")) << LastError();
    ASSERT_TRUE(PostKey(dialog, VK_F4, true)) << LastError();
    ASSERT_TRUE(WaitForWindowGone(dialog)) << LastError();
    ASSERT_TRUE(Settle(main, 100)) << LastError();
    EXPECT_EQ(TextOf(Control(main, IDC_DISH_NAME_BOX)), L"Cocido madrile\u00F1o");

    // "Insertar Ingredientes": several lines typed with Enter.
    dialog = OpenEntryDialog(app, main, IDM_INSERT_INGREDIENTS);
    ASSERT_NE(dialog, nullptr) << LastError();
    ExpectFreeStandingDialog(dialog, main);
    ExpectSecondDialogRefused(app, main, dialog);
    HWND ingredients = Control(dialog, IDC_INGREDIENTS_TEXT);
    EXPECT_EQ(TextOf(ingredients), L"");
    ASSERT_TRUE(TypeInto(ingredients, L"300 g de garbanzos\n200 g de morcillo\n1 trozo de tocino\n1 chorizo y 1 "
                                      L"morcilla\n2 zanahorias\n1 repollo\nfideos finos"))
        << "the box shows '" << Utf8(TextOf(ingredients)) << "'";
    ASSERT_TRUE(Settle(dialog, 300)) << LastError();
    EXPECT_FALSE(TakeScreenshot(L"dialog-ingredientes").empty()) << LastError();
    ASSERT_TRUE(Accept(dialog, IDC_INGREDIENTS_ACCEPT)) << LastError();
    const std::wstring kIngredients = L"300 g de garbanzos\r\n200 g de morcillo\r\n1 trozo de tocino\r\n1 chorizo y 1 "
                                      L"morcilla\r\n2 zanahorias\r\n1 repollo\r\nfideos finos";
    EXPECT_TRUE(WaitUntil([&] { return TextOf(Control(main, IDC_INGREDIENTS_BOX)) == kIngredients; }))
        << "ingredients box: '" << Utf8(TextOf(Control(main, IDC_INGREDIENTS_BOX))) << "'";

    // "Insertar Elaboración".
    dialog = OpenEntryDialog(app, main, IDM_INSERT_ELABORATION);
    ASSERT_NE(dialog, nullptr) << LastError();
    ExpectFreeStandingDialog(dialog, main);
    ExpectSecondDialogRefused(app, main, dialog);
    HWND elaboration = Control(dialog, IDC_ELABORATION_TEXT);
    ASSERT_TRUE(TypeInto(elaboration, L"Poner los garbanzos en remojo la v\u00EDspera.\nCocer la carne y el tocino "
                                      L"con los garbanzos a fuego lento, dos horas y media.\nServir primero la "
                                      L"sopa, luego los garbanzos y la verdura, y al final las carnes (\u00A1los "
                                      L"tres vuelcos!)."))
        << "the box shows '" << Utf8(TextOf(elaboration)) << "'";
    ASSERT_TRUE(Settle(dialog, 300)) << LastError();
    EXPECT_FALSE(TakeScreenshot(L"dialog-elaboracion").empty()) << LastError();
    ASSERT_TRUE(Accept(dialog, IDC_ELABORATION_ACCEPT)) << LastError();
    EXPECT_TRUE(WaitUntil([&] {
        return TextOf(Control(main, IDC_ELABORATION_BOX)).find(L"remojo la v\u00EDspera.\r\nCocer") !=
               std::wstring::npos;
    })) << "elaboration box: '"
        << Utf8(TextOf(Control(main, IDC_ELABORATION_BOX))) << "'";

    // Each dialog set only its own box; the guard is free again.
    EXPECT_EQ(TextOf(Control(main, IDC_DISH_NAME_BOX)), L"Cocido madrile\u00F1o");
    EXPECT_EQ(TextOf(Control(main, IDC_INGREDIENTS_BOX)), kIngredients);
    ASSERT_TRUE(Settle(main, 300)) << LastError();
    EXPECT_FALSE(TakeScreenshot(L"main-after-entry").empty()) << LastError();
    dialog = OpenEntryDialog(app, main, IDM_INSERT_ELABORATION);
    ASSERT_NE(dialog, nullptr) << LastError();
    ASSERT_TRUE(PostSysCommand(dialog, SC_CLOSE)) << LastError();
    ASSERT_TRUE(WaitForWindowGone(dialog)) << LastError();

    ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
    std::optional<DWORD> code = WaitForExit(app);
    ASSERT_TRUE(code) << LastError();
    EXPECT_EQ(*code, 0u);
}
