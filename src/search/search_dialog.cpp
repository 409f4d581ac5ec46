// The search dialog: layout, the search with its messages, and opening a found recipe.
#include "search/search_dialog.h"

#include <algorithm>
#include <string>

#include "state/app_state.h"
#include "state/category_combo.h"
#include "state/main_menu.h"
#include "resources/resource_ids.h"
#include "search/picture_display.h"
#include "search/search.h"
#include "search/stored_picture.h"
#include "store/file.h"
#include "store/schema_table.h"
#include "store/store.h"
#include "ui/dialog.h"
#include "ui/gdi.h"
#include "ui/text.h"

int32_t lastSearchedCategory = 0;

namespace {

// A caption but no system menu (no close box), not resizable, above all other windows.
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_3DLOOK | DS_NOFAILCREATE;
const DialogLayout kDialogLayout = {L"Buscar Receta", kDialogStyle, WS_EX_TOPMOST, 70, 70, 393, 271};

constexpr DWORD kListDrawIntervalMs = 100;
// While the lines are added, messages are serviced this often (asking for them is a call to the
// window server under Wine, which would cost more than the line itself).
constexpr DWORD kFillServiceIntervalMs = 10;
// While the store is read, messages are serviced this often, not after every read block: each
// pass of the pump is a call into the window system (under Wine a round trip to its server), and
// one per block made the reading several times slower than the file. A pass that lasts longer
// than kSearchCaptionDelayMs shows in the caption how far it has read.
constexpr ULONGLONG kSearchServiceIntervalMs = 50;
constexpr ULONGLONG kSearchCaptionDelayMs = 500;
constexpr int kMessagesPerService = 50;

constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

// In creation order, which is the tab order. The combo's height includes its dropped list. No
// button is the default button, so Enter and Escape reach no command.
const ControlLayout kCategoryComboLayout = {IDC_SEARCH_CATEGORY,
                                            L"ComboBoxEx32",
                                            L"",
                                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST,
                                            0,
                                            5,
                                            1,
                                            385,
                                            250};
const ControlLayout kOtherControls[] = {
    {IDC_SEARCH_RESULTS, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_SORT,
     WS_EX_CLIENTEDGE, 5, 30, 385, 220},
    {IDC_SEARCH_BUTTON, L"BUTTON", L"Buscar", kButtonStyle, 0, 5, 250, 50, 15},
    {IDC_SEARCH_EXIT, L"BUTTON", L"Salir", kButtonStyle, 0, 340, 250, 50, 15},
};

// While a search runs (it services messages as it reads and fills the list, and while its
// message box is up), the dialog's commands are held off: a second "Buscar" and a double-click
// are dropped; a category change empties the list and "Salir" or a close request ends the
// dialog once the search is over. So nothing replaces the results while their lines are built
// and no line goes to a list that is gone.
struct SearchState {
    bool searching = false;
    bool clearRequested = false;
    bool endRequested = false;
};
SearchState searchState;

// Said when the data file stays held by another program (a second copy of the program saving).
const char kStoreBusySearchMessage[] = "Otro programa est\xE1 usando la Base de Datos ...\r\nInt\xE9ntalo de nuevo ...";
const char kStoreBusyOpenMessage[] = "Otro programa est\xE1 usando la Base de Datos ...\r\nNo se ha podido abrir la "
                                     "receta: int\xE9ntalo de nuevo ...";

void ShowProgramMessage(const std::string &text) {
    MessageBoxW(nullptr, AnsiToWide(text).c_str(), L"Programador", MB_OK | MB_SYSTEMMODAL);
}

bool IsButtonPress(WPARAM wParam, int id) {
    return LOWORD(wParam) == id && (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == 1);
}

void ClearResultList(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_SEARCH_RESULTS);
    if (list != nullptr) {
        SendMessageW(list, LB_RESETCONTENT, 0, 0);
    }
}

// Adds the result lines, servicing the pending messages every few milliseconds so the window
// stays alive. Drawing the list after every line would cost far more than adding it, so the list
// shows what it holds about ten times a second and once more at the end. The lines come in the
// order the sorted list keeps them (equal-width ordinals first), so each is put at the end
// instead of being sorted in. Stops when the list is gone.
void FillResultList(HWND list) {
    if (list == nullptr) {
        return;
    }
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_INITSTORAGE, static_cast<WPARAM>(resultCount), static_cast<LPARAM>(resultCount * 64));
    DWORD lastDrawn = GetTickCount();
    DWORD lastService = lastDrawn;
    for (int64_t i = 1; i <= resultCount && IsWindow(list); ++i) {
        SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(AnsiToWide(ResultLine(i)).c_str()));
        const DWORD now = GetTickCount();
        if (now - lastDrawn >= kListDrawIntervalMs) {
            SendMessageW(list, WM_SETREDRAW, TRUE, 0);
            RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            SendMessageW(list, WM_SETREDRAW, FALSE, 0);
            lastDrawn = now;
        }
        if (now - lastService >= kFillServiceIntervalMs) {
            for (int m = 0; m < kMessagesPerService && PumpOneMessage(); ++m) {
            }
            lastService = GetTickCount();
        }
    }
    if (IsWindow(list)) {
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
}

void OnInitialise(HWND dialog) {
    searchState = SearchState();
    SelectCategory(GetDlgItem(dialog, IDC_SEARCH_CATEGORY), lastSearchedCategory > 0 ? lastSearchedCategory : 1);
}

void OnSearch(HWND dialog) {
    const int number = SelectedCategoryNumber(GetDlgItem(dialog, IDC_SEARCH_CATEGORY));
    if (number < 1 || number > kCategoryCount) {
        return;
    }
    lastSearchedCategory = number;
    SearchRecipes(dialog, SchemaTable()[kFieldCategory - 1].fieldName, CategoryCatalogue.displayName[number]);
}

// The ordinal of the selected line; 0 when no line is selected or it is not a result line.
int64_t SelectedOrdinal(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_SEARCH_RESULTS);
    const LRESULT selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR) {
        return 0;
    }
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(selected), 0);
    if (length == LB_ERR) {
        return 0;
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT got =
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == LB_ERR ? 0 : static_cast<size_t>(got));
    return OrdinalOfResultLine(WideToAnsi(text));
}

// Whether the data file is held by another program, after the file layer's retries (about a
// second): asked before anything is read, so that a busy store costs one wait, not one per value.
bool StoreHeldElsewhere() {
    StoreFile file;
    return OpenStoreFile(DataFilePath(), FileAccess::Read, file) == FileStatus::Busy;
}

// Loads the recipe of the double-clicked line into the current recipe and the main window, gives
// the window a fresh menu in the state Browsing and ends the dialog. The category and picture
// path of the current recipe stay as they were. Everything is read before anything is shown: a
// store held by another program (the readers would give empty values) is said so, and the main
// window, its menu and the dialog stay as they were, for the user to try again.
void OnOpenResult(HWND dialog) {
    const int64_t ordinal = SelectedOrdinal(dialog);
    if (ordinal == 0) {
        return;
    }
    const int64_t busyBefore = BusyOpenCount();
    if (StoreHeldElsewhere()) {
        ShowProgramMessage(kStoreBusyOpenMessage);
        return;
    }
    const FoundRecipeTexts texts = ReadFoundRecipe(ordinal);
    StoredPicture picture;
    if (!FoundStoredPicture(ordinal, picture)) {
        picture = LocateStoredPicture(SearchResults[static_cast<size_t>(ordinal - 1)]);
    }
    if (BusyOpenCount() != busyBefore) {
        ShowProgramMessage(kStoreBusyOpenMessage);
        return;
    }
    // No menu command can arrive while the recipe is being shown.
    RemoveMainMenu(MainWindow);
    ShowStoredPicture(picture);
    currentRecipe.dishName = texts.dishName;
    currentRecipe.ingredients = texts.ingredients;
    currentRecipe.elaboration = texts.elaboration;
    if (MainWindow != nullptr) {
        SetWindowTextAnsi(GetDlgItem(MainWindow, IDC_DISH_NAME_BOX), currentRecipe.dishName);
        SetWindowTextAnsi(GetDlgItem(MainWindow, IDC_INGREDIENTS_BOX), currentRecipe.ingredients);
        SetWindowTextAnsi(GetDlgItem(MainWindow, IDC_ELABORATION_BOX), currentRecipe.elaboration);
        BuildMainMenu(MainWindow);
        LockEditingCommands();
    }
    EndDialogWindow(dialog);
}

void OnCommand(HWND dialog, WPARAM wParam) {
    const int id = LOWORD(wParam);
    if (id == IDC_SEARCH_CATEGORY && HIWORD(wParam) == CBN_SELCHANGE) {
        if (searchState.searching) {
            searchState.clearRequested = true;
        } else {
            ClearResultList(dialog); // the results themselves stay until the next search
        }
    } else if (IsButtonPress(wParam, IDC_SEARCH_BUTTON)) {
        if (!searchState.searching) {
            OnSearch(dialog);
        }
    } else if (IsButtonPress(wParam, IDC_SEARCH_EXIT)) {
        if (searchState.searching) {
            searchState.endRequested = true;
        } else {
            EndDialogWindow(dialog);
        }
    } else if (id == IDC_SEARCH_RESULTS && HIWORD(wParam) == LBN_DBLCLK) {
        if (!searchState.searching) {
            OnOpenResult(dialog);
        }
    }
}

void SearchDialogHandler(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitialise(dialog);
        break;
    case WM_COMMAND:
        OnCommand(dialog, wParam);
        break;
    case WM_SYSCOLORCHANGE:
        // The extended combo box redraws its pictures on it.
        SendMessageW(GetDlgItem(dialog, IDC_SEARCH_CATEGORY), WM_SYSCOLORCHANGE, wParam, lParam);
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            if (searchState.searching) {
                searchState.endRequested = true;
            } else {
                EndDialogWindow(dialog);
            }
        }
        break;
    default:
        break;
    }
}

} // namespace

void SearchRecipes(HWND dialog, const std::string &fieldName, const std::string &target) {
    const bool nested = searchState.searching;
    searchState.searching = true;
    // The lines of an earlier search go at once: its results are replaced now, and a line left
    // in view (or double-clicked) would stand for a recipe this search may not have found.
    ClearResultList(dialog);
    const ULONGLONG started = GetTickCount64();
    ULONGLONG lastService = started;
    bool captionChanged = false;
    SearchStoreRecipes(fieldName, target, [&](int64_t done, int64_t total) {
        const ULONGLONG now = GetTickCount64();
        if (now - lastService < kSearchServiceIntervalMs) {
            return;
        }
        lastService = now;
        if (now - started >= kSearchCaptionDelayMs && IsWindow(dialog)) {
            const int64_t percent = total > 0 ? done / (total / 100 + 1) : 100;
            const std::wstring caption = std::wstring(kDialogLayout.title) + L" - leyendo la Base de Datos: " +
                                         std::to_wstring(std::min<int64_t>(percent, 100)) + L" %";
            SetWindowTextW(dialog, caption.c_str());
            captionChanged = true;
        }
        for (int i = 0; i < kMessagesPerService && PumpOneMessage(); ++i) {
        }
    });
    if (captionChanged && IsWindow(dialog)) {
        SetWindowTextW(dialog, kDialogLayout.title);
    }
    if (resultCount > 0) {
        FillResultList(GetDlgItem(dialog, IDC_SEARCH_RESULTS));
    }
    // A store held by another program (a second copy saving) is not an empty store: say so.
    ShowProgramMessage(LastSearchStoreBusy() ? kStoreBusySearchMessage : SearchCountMessage(resultCount));
    if (nested) {
        return;
    }
    searchState.searching = false;
    if (searchState.clearRequested && IsWindow(dialog)) {
        ClearResultList(dialog);
    }
    searchState.clearRequested = false;
    if (searchState.endRequested) {
        searchState.endRequested = false;
        EndDialogWindow(dialog);
    }
}

int SearchDialog(HWND owner) {
    HWND dialog = CreateDialogWindow(kDialogLayout, owner, SearchDialogHandler);
    if (dialog == nullptr) {
        return 0;
    }
    SetBackgroundColour(dialog, kBackgroundColour);
    HWND combo = AddControl(dialog, kCategoryComboLayout);
    SetBackgroundColour(combo, kBackgroundColour);
    // Made at every opening; released below, once the combo that shows it is gone.
    ImageListHolder pictures = FillCategoryCombo(combo);
    for (const ControlLayout &control : kOtherControls) {
        HWND hwnd = AddControl(dialog, control);
        if (control.id == IDC_SEARCH_RESULTS) {
            SetBackgroundColour(hwnd, kBackgroundColour);
        }
    }
    FontHolder font = MakeFont(10, FW_BOLD);
    for (int id : {IDC_SEARCH_CATEGORY, IDC_SEARCH_RESULTS, IDC_SEARCH_BUTTON, IDC_SEARCH_EXIT}) {
        ApplyFont(GetDlgItem(dialog, id), font.Get());
    }
    RunModalDialog(dialog);
    return 0;
}
