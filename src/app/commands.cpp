// The command dispatch: the one place that reaches the dialogs of every part of the program.
#include "app/commands.h"

#include "app/about_box.h"
#include "state/app_state.h"
#include "state/main_menu.h"
#include "app/main_window.h"
#include "entry/dish_category_dialog.h"
#include "entry/picture_file_dialog.h"
#include "entry/text_entry_dialogs.h"
#include "resources/resource_ids.h"
#include "search/picture_display.h"
#include "search/search_dialog.h"
#include "state/save_recipe.h"
#include "ui/dialog.h"
#include "ui/text.h"

namespace {

// "Nuevo": an empty recipe (the category number is kept for the next pre-selection), empty
// boxes, and the editing commands enabled.
void NewRecipe() {
    currentRecipe.dishName.clear();
    currentRecipe.categoryName.clear();
    currentRecipe.ingredients.clear();
    currentRecipe.elaboration.clear();
    currentRecipe.picturePath.clear();
    currentRecipe.picturePathWide.clear();
    ShowRecipeTexts();
    ClearPictureBox();
    UnlockEditingCommands();
}

// Runs a dialog guarded by secondaryDialogOpen: a second guarded dialog chosen while one is
// open is dropped without a message. `after` runs before the flag is cleared (the box update).
template <typename Dialog, typename After> void RunGuarded(Dialog dialog, After after) {
    if (secondaryDialogOpen) {
        return;
    }
    secondaryDialogOpen = true;
    dialog(nullptr);
    after();
    secondaryDialogOpen = false;
}

// "Grabar Receta": a refused recipe keeps the menu and everything entered; a recipe ready to
// save is written with the menu bar removed, so that no command arrives meanwhile. Stored, the
// window moves to Browsing; a save that failed (and has said why) leaves it in Editing with the
// recipe intact, for another try.
void SaveCurrentRecipe(HWND mainWindow) {
    static bool saving = false; // a command posted to the window during the save is dropped
    if (saving) {
        return;
    }
    switch (CheckRecipe(currentRecipe)) {
    case SaveOutcome::NoDatabase:
        return;
    case SaveOutcome::Invalid:
        MessageBoxW(nullptr, kRefusedMessage, kMessageCaption, MB_OK);
        return;
    case SaveOutcome::Ready:
        break;
    }
    saving = true;
    RemoveMainMenu(mainWindow);
    const bool stored = SaveRecipe(currentRecipe);
    if (stored) {
        MessageBoxW(nullptr, kSavedMessage, kMessageCaption, MB_OK);
    }
    BuildMainMenu(mainWindow);
    if (stored) {
        LockEditingCommands();
    } else {
        UnlockEditingCommands();
    }
    saving = false;
}

} // namespace

void RunMainCommand(HWND mainWindow, WORD id) {
    switch (id) {
    case IDM_NEW:
        NewRecipe();
        break;
    case IDM_SAVE_RECIPE:
        SaveCurrentRecipe(mainWindow);
        break;
    case IDM_SEARCH_RECIPE: // the dialog itself loads a found recipe into the window
        RunGuarded(SearchDialog, [] {});
        break;
    case IDM_AUTHOR:
        RunGuarded(AboutBox, [] {});
        break;
    case IDM_EXIT:
        EndDialogWindow(mainWindow);
        break;
    // The box shows the recipe's text whichever way the dialog was closed.
    case IDM_INSERT_DISH_CATEGORY:
        RunGuarded(DishNameCategoryDialog, [mainWindow] {
            SetWindowTextAnsi(GetDlgItem(mainWindow, IDC_DISH_NAME_BOX), currentRecipe.dishName);
        });
        break;
    case IDM_INSERT_INGREDIENTS:
        RunGuarded(IngredientsDialog, [mainWindow] {
            SetWindowTextAnsi(GetDlgItem(mainWindow, IDC_INGREDIENTS_BOX), currentRecipe.ingredients);
        });
        break;
    case IDM_INSERT_ELABORATION:
        RunGuarded(ElaborationDialog, [mainWindow] {
            SetWindowTextAnsi(GetDlgItem(mainWindow, IDC_ELABORATION_BOX), currentRecipe.elaboration);
        });
        break;
    case IDM_INSERT_PICTURE: // not guarded: it may run while an entry dialog is open
        ChoosePictureFile(mainWindow, currentRecipe.picturePath, currentRecipe.picturePathWide);
        if (currentRecipe.picturePath.size() > 3) {
            ShowPictureFile(currentRecipe.picturePathWide);
        }
        break;
    default:
        // The picture box and the text boxes notify too; those ids are not commands.
        break;
    }
}
