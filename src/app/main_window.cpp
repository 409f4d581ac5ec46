// The main window: layout, start-up of the shell's state, and the event handler.
#include "app/main_window.h"

#include "state/app_state.h"
#include "app/commands.h"
#include "state/main_menu.h"
#include "resources/resource_ids.h"
#include "store/store.h"
#include "ui/dialog.h"
#include "ui/gdi.h"
#include "ui/picture_box.h"
#include "ui/text.h"

namespace {

const DialogLayout kMainWindowLayout = {
    L"Mi guisla",
    WS_POPUP | WS_CLIPSIBLINGS | WS_CAPTION | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SETFONT | DS_NOFAILCREATE | DS_3DLOOK,
    WS_EX_CONTROLPARENT,
    46,
    60,
    515,
    453,
};

constexpr DWORD kTextBoxStyle =
    WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_WANTRETURN;

// In creation order, which is the tab order.
const ControlLayout kMainControls[] = {
    {IDC_PICTURE_BOX, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOTIFY | SS_SUNKEN | SS_OWNERDRAW, 0, 5, 5, 220, 220},
    {IDC_DISH_NAME_BOX, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | SS_CENTER, 0, 230, 5, 283, 40},
    {IDC_INGREDIENTS_BOX, L"EDIT", L"", kTextBoxStyle, WS_EX_CLIENTEDGE, 230, 70, 285, 155},
    {IDC_ELABORATION_BOX, L"EDIT", L"", kTextBoxStyle, WS_EX_CLIENTEDGE, 0, 250, 515, 190},
    {IDC_INGREDIENTS_HEADING, L"STATIC", L"Ingredientes", WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 260, 50, 285, 20},
    {IDC_INGREDIENTS_EMBLEM, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BITMAP, 0, 230, 46, 36, 39},
    {IDC_ELABORATION_HEADING, L"STATIC", L"Elaboraci\u00F3n", WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 36, 230, 510, 20},
    {IDC_ELABORATION_EMBLEM, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BITMAP, 0, 5, 226, 36, 39},
};

HWND Control(int id) {
    return GetDlgItem(MainWindow, id);
}

unsigned DriveTypeOf(const char *root) {
    return GetDriveTypeA(root);
}

void PumpPassForProbe() {
    PumpOneMessage();
}

void OnInitialise(HWND window) {
    LockEditingCommands();
    ProbeDrives(DriveTypeOf, PumpPassForProbe);
    // Only the last level is made; an existing folder or any failure is ignored.
    CreateDirectoryW(AnsiToWide(PictureCacheFolder).c_str(), nullptr);
    storeBaseName = "guisla";
    SetStoreLocation(ExecutableFolder() / "guisla", storeBaseName);
    FillCategoryCatalogue();
    (void)window;
}

void MainEventHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitialise(window);
        break;
    case WM_COMMAND:
        RunMainCommand(window, LOWORD(wParam));
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            EndDialogWindow(window); // Alt+F4 ends the program like "Salir"
        }
        break;
    default:
        break;
    }
    (void)lParam;
}

// Gives a control its picture from the resources (the control shows it, the caller keeps it).
void ShowEmblem(HWND window, int id, int resource, BitmapHolder &holder) {
    holder.Reset(static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    if (holder.Get() != nullptr) {
        SendDlgItemMessageW(window, id, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(holder.Get()));
    }
}

} // namespace

void ShowRecipeTexts() {
    SetWindowTextAnsi(Control(IDC_DISH_NAME_BOX), currentRecipe.dishName);
    SetWindowTextAnsi(Control(IDC_INGREDIENTS_BOX), currentRecipe.ingredients);
    SetWindowTextAnsi(Control(IDC_ELABORATION_BOX), currentRecipe.elaboration);
}

void ClearPictureBox() {
    HWND box = Control(IDC_PICTURE_BOX);
    PictureBoxClear(box, kBackgroundColour);
    PictureBoxRedraw(box);
}

int BuildMainWindow(HWND owner) {
    HWND window = CreateDialogWindow(kMainWindowLayout, owner, MainEventHandler);
    if (window == nullptr) {
        return 0;
    }
    MainWindow = window;
    SetBackgroundColour(window, kBackgroundColour);
    IconHolder bigIcon(static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON, 32, 32, 0)));
    IconHolder smallIcon(static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON, 16, 16, 0)));
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon.Get()));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.Get()));

    for (const ControlLayout &control : kMainControls) {
        HWND hwnd = AddControl(window, control);
        switch (control.id) {
        case IDC_PICTURE_BOX:
            PictureBoxClear(hwnd, kBackgroundColour);
            break;
        case IDC_DISH_NAME_BOX:
            SetBackgroundColour(hwnd, kWhite);
            break;
        case IDC_INGREDIENTS_BOX:
        case IDC_ELABORATION_BOX:
        case IDC_INGREDIENTS_HEADING:
        case IDC_ELABORATION_HEADING:
            SetBackgroundColour(hwnd, kBackgroundColour);
            break;
        default:
            break;
        }
    }
    BitmapHolder ingredientsEmblem;
    BitmapHolder elaborationEmblem;
    ShowEmblem(window, IDC_INGREDIENTS_EMBLEM, IDB_INGREDIENTS_EMBLEM, ingredientsEmblem);
    ShowEmblem(window, IDC_ELABORATION_EMBLEM, IDB_SAUCES, elaborationEmblem);

    FontHolder font14 = MakeFont(14, FW_NORMAL);
    FontHolder font10 = MakeFont(10, FW_NORMAL);
    FontHolder font14Bold = MakeFont(14, FW_BOLD);
    ApplyFont(Control(IDC_DISH_NAME_BOX), font14.Get());
    ApplyFont(Control(IDC_INGREDIENTS_BOX), font10.Get());
    ApplyFont(Control(IDC_ELABORATION_BOX), font10.Get());
    ApplyFont(Control(IDC_INGREDIENTS_HEADING), font14Bold.Get());
    ApplyFont(Control(IDC_ELABORATION_HEADING), font14Bold.Get());

    BuildMainMenu(window);
    const int result = RunModalDialog(window);
    MainWindow = nullptr;
    currentMenuBar = nullptr; // destroyed with the window
    return result;
}
