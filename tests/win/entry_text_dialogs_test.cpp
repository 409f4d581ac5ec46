// The ingredients and elaboration dialogs, run in-process: layout, pre-filling, what "Aceptar"
// and the system close command leave in the recipe, line breaks and the code page.
#include "state/app_state.h"
#include "entry/text_entry_dialogs.h"
#include "entry_test_support.h"
#include "resources/resource_ids.h"
#include "win_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr DWORD kTextBoxStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN;
constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

struct ExpectedTextDialog {
    const char *name;
    int (*open)(HWND);
    short x, y, width, height;
    ExpectedEntryControl controls[3]; // text box, "Aceptar", prompt
    std::string Recipe::*field;
};

const ExpectedTextDialog kDialogs[] = {
    {"Ingredients",
     IngredientsDialog,
     70,
     70,
     356,
     155,
     {
         {IDC_INGREDIENTS_TEXT, L"Edit", L"", kTextBoxStyle, ES_AUTOHSCROLL | WS_HSCROLL, WS_EX_CLIENTEDGE, 0, 0, 285,
          155, 400, true},
         {IDC_INGREDIENTS_ACCEPT, L"Button", L"Aceptar", kButtonStyle, BS_DEFPUSHBUTTON, 0, 295, 5, 50, 15, 700, false},
         {IDC_INGREDIENTS_PROMPT, L"Static",
          L"Introduzca los Ingredientes del plato que desea grabar y dele a aceptar ...",
          WS_CHILD | WS_VISIBLE | SS_LEFT, WS_BORDER, 0, 286, 24, 69, 130, 700, true},
     },
     &Recipe::ingredients},
    {"Elaboration",
     ElaborationDialog,
     70,
     70,
     515,
     226,
     {
         {IDC_ELABORATION_TEXT, L"Edit", L"", kTextBoxStyle, ES_AUTOHSCROLL | WS_HSCROLL, WS_EX_CLIENTEDGE, 0, 0, 515,
          190, 400, true},
         {IDC_ELABORATION_ACCEPT, L"Button", L"Aceptar", kButtonStyle, BS_DEFPUSHBUTTON, 0, 5, 205, 50, 15, 700, false},
         {IDC_ELABORATION_PROMPT, L"Static",
          L"Introduzca explicaci\u00F3n de la elaboraci\u00F3n del plato  que desea grabar ...",
          WS_CHILD | WS_VISIBLE | WS_BORDER | SS_LEFT, 0, 0, 60, 190, 455, 35, 700, true},
     },
     &Recipe::elaboration},
};

void PrintTo(const ExpectedTextDialog &dialog, std::ostream *out) {
    *out << dialog.name;
}

class TextEntryDialogTest : public testing::TestWithParam<ExpectedTextDialog> {
protected:
    void SetUp() override { currentRecipe = Recipe{}; }
    void TearDown() override { currentRecipe = Recipe{}; }
    std::string &Field() { return currentRecipe.*GetParam().field; }
    HWND TextBox(HWND dialog) { return GetDlgItem(dialog, GetParam().controls[0].id); }
    HWND Accept(HWND dialog) { return GetDlgItem(dialog, GetParam().controls[1].id); }
};

TEST_P(TextEntryDialogTest, DialogAndControlsHaveTheirLayoutStylesFontsAndColours) {
    const ExpectedTextDialog &expected = GetParam();
    HFONT normal = nullptr;
    HFONT bold = nullptr;
    WithEntryDialog(expected.open, [&](HWND dialog) {
        ExpectEntryDialogFrame(dialog, expected.x, expected.y, expected.width, expected.height);
        HWND previous = nullptr;
        for (const ExpectedEntryControl &control : expected.controls) {
            previous = ExpectEntryControl(dialog, control, previous);
        }
        EXPECT_EQ(GetFocus(), TextBox(dialog)) << "the text box has the focus";
        normal = reinterpret_cast<HFONT>(SendMessageW(TextBox(dialog), WM_GETFONT, 0, 0));
        bold = reinterpret_cast<HFONT>(SendMessageW(Accept(dialog), WM_GETFONT, 0, 0));
    });
    ASSERT_NE(normal, nullptr);
    EXPECT_EQ(GetObjectType(normal), 0u) << "fonts deleted after the dialog has closed";
    EXPECT_EQ(GetObjectType(bold), 0u);
}

TEST_P(TextEntryDialogTest, OpensEmptyAndAcceptStoresAnEmptyText) {
    Field() = "left over";
    Field().clear(); // as after "Nuevo"
    WithEntryDialog(GetParam().open, [&](HWND dialog) {
        EXPECT_EQ(TextOf(TextBox(dialog)), L"");
        SendMessageW(Accept(dialog), BM_CLICK, 0, 0);
        EXPECT_FALSE(IsWindow(dialog));
    });
    EXPECT_EQ(Field(), "");
}

TEST_P(TextEntryDialogTest, TypedLinesAreStoredWithCrLfAndShownAgainOnReopening) {
    WithEntryDialog(GetParam().open, [&](HWND dialog) {
        HWND box = TextBox(dialog);
        SetFocus(box);
        // Typed through the dialog manager, as the modal run passes keys: Enter adds a line.
        SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"garbanzos"));
        PressKey(box, VK_RETURN);
        SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"tocino"));
        EXPECT_TRUE(IsWindow(dialog)) << "Enter in the box does not close the dialog";
        PressKey(box, VK_ESCAPE);
        EXPECT_FALSE(PumpUntilGone(dialog, 200)) << "Escape does nothing";
        EXPECT_EQ(TextOf(box), L"garbanzos\r\ntocino");
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetParam().controls[1].id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(Accept(dialog)));
        EXPECT_FALSE(IsWindow(dialog));
    });
    EXPECT_EQ(Field(), "garbanzos\r\ntocino") << "no line end after the last line";

    WithEntryDialog(GetParam().open, [&](HWND dialog) {
        EXPECT_EQ(TextOf(TextBox(dialog)), L"garbanzos\r\ntocino");
        SetWindowTextW(TextBox(dialog), L"Sofre\u00EDr \u00E0 la \u0161ar\u017Ea\r\n\u2603 \u20AC\r\n");
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetParam().controls[1].id, 1), 0);
        EXPECT_FALSE(IsWindow(dialog));
    });
    // Windows-1252 holds the accents, š, ž and the euro sign; the snowman becomes '?'.
    EXPECT_EQ(Field(), "Sofre\xEDr \xE0 la \x9A"
                       "ar\x9E"
                       "a\r\n? \x80\r\n");
}

TEST_P(TextEntryDialogTest, SystemCloseAfterEditingLeavesTheTextAsItWas) {
    Field() = "uno\r\ndos";
    WithEntryDialog(GetParam().open, [&](HWND dialog) {
        EXPECT_EQ(TextOf(TextBox(dialog)), L"uno\r\ndos");
        SetWindowTextW(TextBox(dialog), L"cambiado");
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        SendMessageW(dialog, WM_CLOSE, 0, 0);
        EXPECT_FALSE(PumpUntilGone(dialog, 200)) << "only the system close command ends it";
        PostMessageW(TextBox(dialog), WM_SYSKEYDOWN, VK_F4, 1 << 29); // Alt+F4
        EXPECT_TRUE(PumpUntilGone(dialog));
    });
    EXPECT_EQ(Field(), "uno\r\ndos");
}

INSTANTIATE_TEST_SUITE_P(Entry, TextEntryDialogTest, testing::ValuesIn(kDialogs),
                         [](const testing::TestParamInfo<ExpectedTextDialog> &info) { return info.param.name; });

} // namespace
