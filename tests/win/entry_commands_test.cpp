// The three entry commands of the main window's menu: the guard that keeps a second one from
// opening, the main window usable behind the dialog, and the box updates after each dialog
// whichever way it was closed.
#include "state/app_state.h"
#include "app/main_window.h"
#include "entry_test_support.h"
#include "resources/resource_ids.h"
#include "ui/dialog.h"
#include "win_test_support.h"

#include <gtest/gtest.h>

namespace {

class EntryCommandsTest : public testing::Test {
protected:
    void SetUp() override { currentRecipe = Recipe{}; }
    void TearDown() override {
        currentRecipe = Recipe{};
        secondaryDialogOpen = false;
    }
};

// Runs the main window with `checks` called from inside its modal run once the window shows (its
// initialisation pumps messages while it probes the drives, before the catalogue is filled); the
// window is then ended.
void WithMainWindow(const std::function<void(HWND)> &checks) {
    WhenReady([] { return MainWindow != nullptr && IsWindowVisible(MainWindow); },
              [checks] {
                  ASSERT_NE(MainWindow, nullptr);
                  checks(MainWindow);
                  EndDialogWindow(MainWindow);
              });
    BuildMainWindow(nullptr);
}

// Chooses a menu command and runs `inDialog` with the entry dialog it opened, from inside the
// dialog's run. Returns when the command is over.
void ChooseAndDrive(HWND window, WORD command, const std::function<void(HWND)> &inDialog) {
    bool seen = false;
    CallSoon([&] {
        HWND dialog = FindOwnWindow(L"#32770", kEntryTitle);
        if (dialog == nullptr) {
            ADD_FAILURE() << "no dialog for command " << command;
            return;
        }
        seen = true;
        inDialog(dialog);
        if (IsWindow(dialog)) {
            ADD_FAILURE() << "the dialog was left open";
            EndDialogWindow(dialog);
        }
    });
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    EXPECT_TRUE(seen);
}

TEST_F(EntryCommandsTest, SecondGuardedDialogDoesNotOpenWhileOneIsOpen) {
    WithMainWindow([](HWND window) {
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_NEW, 0), 0);
        for (WORD first : {IDM_INSERT_DISH_CATEGORY, IDM_INSERT_INGREDIENTS, IDM_INSERT_ELABORATION}) {
            SCOPED_TRACE(first);
            ChooseAndDrive(window, first, [&](HWND dialog) {
                EXPECT_TRUE(secondaryDialogOpen);
                EXPECT_TRUE(IsWindowEnabled(window)) << "the main window stays usable";
                EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);
                const int depth = ModalDepth();
                for (WORD second : {IDM_INSERT_DISH_CATEGORY, IDM_INSERT_INGREDIENTS, IDM_INSERT_ELABORATION,
                                    IDM_SEARCH_RECIPE, IDM_AUTHOR}) {
                    SendMessageW(window, WM_COMMAND, MAKEWPARAM(second, 0), 0); // returns at once
                    EXPECT_EQ(ModalDepth(), depth) << second;
                }
                EXPECT_EQ(CountEntryDialogs(), 1);
                EXPECT_TRUE(IsWindow(dialog));
                SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            });
            EXPECT_FALSE(secondaryDialogOpen) << "cleared once the command is over";
        }
    });
}

TEST_F(EntryCommandsTest, BoxesShowTheNewTextsAfterAceptar) {
    WithMainWindow([](HWND window) {
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_NEW, 0), 0);
        ChooseAndDrive(window, IDM_INSERT_DISH_CATEGORY, [](HWND dialog) {
            SendDlgItemMessageW(dialog, IDC_CATEGORY_LIST, CB_SETCURSEL, 6, 0);
            SetDlgItemTextW(dialog, IDC_DISH_NAME_EDIT, L"Cocido madrile\u00F1o");
            SendDlgItemMessageW(dialog, IDC_DISH_NAME_ACCEPT, BM_CLICK, 0, 0);
        });
        EXPECT_EQ(TextOf(GetDlgItem(window, IDC_DISH_NAME_BOX)), L"Cocido madrile\u00F1o");
        EXPECT_EQ(currentRecipe.categoryName, "Potajes");

        ChooseAndDrive(window, IDM_INSERT_INGREDIENTS, [](HWND dialog) {
            SetDlgItemTextW(dialog, IDC_INGREDIENTS_TEXT, L"garbanzos\r\nchorizo\r\nmorcilla");
            SendDlgItemMessageW(dialog, IDC_INGREDIENTS_ACCEPT, BM_CLICK, 0, 0);
        });
        EXPECT_EQ(TextOf(GetDlgItem(window, IDC_INGREDIENTS_BOX)), L"garbanzos\r\nchorizo\r\nmorcilla");

        ChooseAndDrive(window, IDM_INSERT_ELABORATION, [](HWND dialog) {
            SetDlgItemTextW(dialog, IDC_ELABORATION_TEXT, L"Cocer a fuego lento.");
            SendDlgItemMessageW(dialog, IDC_ELABORATION_ACCEPT, BM_CLICK, 0, 0);
        });
        EXPECT_EQ(TextOf(GetDlgItem(window, IDC_ELABORATION_BOX)), L"Cocer a fuego lento.");
        // Each command sets only its own box.
        EXPECT_EQ(TextOf(GetDlgItem(window, IDC_DISH_NAME_BOX)), L"Cocido madrile\u00F1o");
        EXPECT_EQ(TextOf(GetDlgItem(window, IDC_INGREDIENTS_BOX)), L"garbanzos\r\nchorizo\r\nmorcilla");
    });
}

TEST_F(EntryCommandsTest, SystemCloseLeavesTheBoxesWithTheRecipesTexts) {
    WithMainWindow([](HWND window) {
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_NEW, 0), 0);
        currentRecipe.dishName = "Paella";
        currentRecipe.ingredients = "arroz";
        currentRecipe.elaboration = "Sofrito.";
        const struct {
            WORD command;
            int textBox;
            int mainBox;
            const wchar_t *shown;
        } kCases[] = {
            {IDM_INSERT_DISH_CATEGORY, IDC_DISH_NAME_EDIT, IDC_DISH_NAME_BOX, L"Paella"},
            {IDM_INSERT_INGREDIENTS, IDC_INGREDIENTS_TEXT, IDC_INGREDIENTS_BOX, L"arroz"},
            {IDM_INSERT_ELABORATION, IDC_ELABORATION_TEXT, IDC_ELABORATION_BOX, L"Sofrito."},
        };
        for (const auto &c : kCases) {
            SCOPED_TRACE(c.command);
            ChooseAndDrive(window, c.command, [&](HWND dialog) {
                EXPECT_EQ(TextOf(GetDlgItem(dialog, c.textBox)), c.shown);
                SetDlgItemTextW(dialog, c.textBox, L"descartado");
                SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            });
            EXPECT_EQ(TextOf(GetDlgItem(window, c.mainBox)), c.shown);
        }
        EXPECT_EQ(currentRecipe.dishName, "Paella");
        EXPECT_EQ(currentRecipe.ingredients, "arroz");
        EXPECT_EQ(currentRecipe.elaboration, "Sofrito.");
    });
}

} // namespace
