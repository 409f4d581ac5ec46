// The ingredients and elaboration dialogs: one description of a text entry dialog, two values of
// it. Each has a large multi-line text box, "Aceptar" and a prompt; the recipe's text is
// replaced only on "Aceptar".
#include "entry/text_entry_dialogs.h"

#include "state/app_state.h"
#include "entry/entry_dialog.h"
#include "resources/resource_ids.h"
#include "ui/dialog.h"
#include "ui/gdi.h"
#include "ui/text.h"

#include <string>

namespace {

// Everything in which the two dialogs differ. The controls are in creation order, which is the
// tab order: text box, "Aceptar", prompt.
struct TextEntryDialog {
    DialogLayout dialog;
    ControlLayout textBox;
    ControlLayout accept;
    ControlLayout prompt;
    std::string Recipe::*field;
    DialogHandler handler;
};

// Word-wrapped (no horizontal scrolling), a vertical scroll bar, Enter starts a new line, and no
// length limit of the program's own.
constexpr DWORD kTextBoxStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN;
constexpr DWORD kPromptStyle = WS_CHILD | WS_VISIBLE | SS_LEFT;

void IngredientsHandler(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void ElaborationHandler(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

const TextEntryDialog kIngredientsDialog = {
    {L"Introduce Datos", kEntryDialogStyle, kEntryDialogExStyle, 70, 70, 356, 155},
    {IDC_INGREDIENTS_TEXT, L"EDIT", L"", kTextBoxStyle, WS_EX_CLIENTEDGE, 0, 0, 285, 155},
    // Right of the box, at the top; the prompt is a narrow column under it.
    {IDC_INGREDIENTS_ACCEPT, L"BUTTON", L"Aceptar", kAcceptButtonStyle, 0, 295, 5, 50, 15},
    {IDC_INGREDIENTS_PROMPT, L"STATIC", L"Introduzca los Ingredientes del plato que desea grabar y dele a aceptar ...",
     kPromptStyle, 0, 286, 24, 69, 130},
    &Recipe::ingredients,
    IngredientsHandler,
};

const TextEntryDialog kElaborationDialog = {
    {L"Introduce Datos", kEntryDialogStyle, kEntryDialogExStyle, 70, 70, 515, 226},
    {IDC_ELABORATION_TEXT, L"EDIT", L"", kTextBoxStyle, WS_EX_CLIENTEDGE, 0, 0, 515, 190},
    // Under the box at the left; the prompt is a framed strip right of it.
    {IDC_ELABORATION_ACCEPT, L"BUTTON", L"Aceptar", kAcceptButtonStyle, 0, 5, 205, 50, 15},
    {IDC_ELABORATION_PROMPT, L"STATIC",
     L"Introduzca explicaci\u00F3n de la elaboraci\u00F3n del plato  que desea grabar ...", kPromptStyle | WS_BORDER, 0,
     60, 190, 455, 35},
    &Recipe::elaboration,
    ElaborationHandler,
};

void TextEntryHandler(const TextEntryDialog &description, HWND dialog, UINT message, WPARAM wParam) {
    HWND textBox = GetDlgItem(dialog, description.textBox.id);
    if (message == WM_INITDIALOG) {
        SetWindowTextAnsi(textBox, currentRecipe.*description.field);
    } else if (message == WM_COMMAND && IsButtonPress(wParam, description.accept.id)) {
        // Stored exactly as the box holds it: CR LF between lines, nothing trimmed.
        currentRecipe.*description.field = GetWindowTextAnsi(textBox);
        EndDialogWindow(dialog);
    } else if (IsSystemClose(message, wParam)) {
        EndDialogWindow(dialog);
    }
}

void IngredientsHandler(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    TextEntryHandler(kIngredientsDialog, dialog, message, wParam);
}

void ElaborationHandler(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    TextEntryHandler(kElaborationDialog, dialog, message, wParam);
}

int RunTextEntryDialog(const TextEntryDialog &description, HWND owner) {
    HWND dialog = CreateDialogWindow(description.dialog, owner, description.handler);
    if (dialog == nullptr) {
        return 0;
    }
    SetBackgroundColour(dialog, kBackgroundColour);
    SetBackgroundColour(AddControl(dialog, description.textBox), kBackgroundColour);
    HWND accept = AddControl(dialog, description.accept);
    HWND prompt = AddControl(dialog, description.prompt);
    SetBackgroundColour(prompt, kBackgroundColour);
    FontHolder normal = MakeFont(10, FW_NORMAL);
    FontHolder bold = MakeFont(10, FW_BOLD);
    ApplyFont(GetDlgItem(dialog, description.textBox.id), normal.Get());
    ApplyFont(accept, bold.Get());
    ApplyFont(prompt, bold.Get());
    RunModalDialog(dialog);
    return 0; // the fonts are deleted here, after the dialog has closed
}

} // namespace

int IngredientsDialog(HWND owner) {
    return RunTextEntryDialog(kIngredientsDialog, owner);
}

int ElaborationDialog(HWND owner) {
    return RunTextEntryDialog(kElaborationDialog, owner);
}
