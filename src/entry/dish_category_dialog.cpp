// The dish name and category dialog: a category list with pictures, the dish-name box, a prompt
// and "Aceptar". Results go into the current recipe only on "Aceptar".
#include "entry/dish_category_dialog.h"

#include "state/app_state.h"
#include "state/category_combo.h"
#include "entry/entry_dialog.h"
#include "resources/resource_ids.h"
#include "ui/dialog.h"
#include "ui/gdi.h"
#include "ui/text.h"

namespace {

const DialogLayout kDialogLayout = {L"Introduce Datos", kEntryDialogStyle, kEntryDialogExStyle, 107, 68, 201, 135};

// In creation order, which is the tab order. The list's height includes its dropped part.
const ControlLayout kCategoryListLayout = {
    IDC_CATEGORY_LIST, L"ComboBoxEx32", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 0, 5, 25, 195, 130};
const ControlLayout kOtherControls[] = {
    // Word-wrapped, no scroll bar; without ES_WANTRETURN, Enter adds no line.
    {IDC_DISH_NAME_EDIT, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL,
     WS_EX_CLIENTEDGE, 5, 60, 195, 50},
    {IDC_DISH_NAME_PROMPT, L"STATIC", L"Introduce nombre del plato y elige categoria ...",
     WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 5, 0, 195, 25},
    {IDC_DISH_NAME_ACCEPT, L"BUTTON", L"Aceptar", kAcceptButtonStyle, 0, 5, 115, 50, 15},
};

void OnInitialise(HWND dialog) {
    SelectCategory(GetDlgItem(dialog, IDC_CATEGORY_LIST), currentRecipe.categoryNumber);
    SetWindowTextAnsi(GetDlgItem(dialog, IDC_DISH_NAME_EDIT), currentRecipe.dishName);
}

// The number comes from the selected entry's text, the name from the catalogue; the dish name
// is taken whole, as typed (no trimming, line breaks kept).
void OnAccept(HWND dialog) {
    const int number = SelectedCategoryNumber(GetDlgItem(dialog, IDC_CATEGORY_LIST));
    currentRecipe.categoryNumber = number;
    currentRecipe.categoryName =
        number >= 1 && number <= kCategoryCount ? CategoryCatalogue.displayName[number] : std::string();
    currentRecipe.dishName = GetWindowTextAnsi(GetDlgItem(dialog, IDC_DISH_NAME_EDIT));
    EndDialogWindow(dialog);
}

void DishNameCategoryHandler(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    if (message == WM_INITDIALOG) {
        OnInitialise(dialog);
    } else if (message == WM_COMMAND && IsButtonPress(wParam, IDC_DISH_NAME_ACCEPT)) {
        OnAccept(dialog);
    } else if (IsSystemClose(message, wParam)) {
        EndDialogWindow(dialog);
    }
}

} // namespace

int DishNameCategoryDialog(HWND owner) {
    HWND dialog = CreateDialogWindow(kDialogLayout, owner, DishNameCategoryHandler);
    if (dialog == nullptr) {
        return 0;
    }
    SetBackgroundColour(dialog, kBackgroundColour);
    HWND categoryList = AddControl(dialog, kCategoryListLayout);
    // Made at every opening; released below, once the list that shows it is gone.
    ImageListHolder pictures = FillCategoryCombo(categoryList);
    for (const ControlLayout &control : kOtherControls) {
        HWND hwnd = AddControl(dialog, control);
        if (control.id == IDC_DISH_NAME_EDIT || control.id == IDC_DISH_NAME_PROMPT) {
            SetBackgroundColour(hwnd, kBackgroundColour);
        }
    }
    FontHolder font = MakeFont(10, FW_BOLD);
    for (int id : {IDC_CATEGORY_LIST, IDC_DISH_NAME_EDIT, IDC_DISH_NAME_PROMPT, IDC_DISH_NAME_ACCEPT}) {
        ApplyFont(GetDlgItem(dialog, id), font.Get());
    }
    RunModalDialog(dialog);
    return 0;
}
