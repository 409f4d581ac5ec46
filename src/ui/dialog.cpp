// In-memory dialog templates, controls from layout tables, the shared dialog procedure (colours,
// picture boxes, the activation focus rule) and the modal run.
#include "ui/dialog.h"

#include "ui/gdi.h"
#include "ui/picture_box.h"

#include <cstring>
#include <vector>

namespace {

// Per-dialog state, owned by the window from creation to WM_NCDESTROY.
struct DialogState {
    DialogHandler handler = nullptr;
    bool running = false;           // the modal run has delivered initialisation
    HWND rememberedFocus = nullptr; // focus to give back when the dialog is activated again
};

int modalDepth = 0;

DialogState *StateOf(HWND dialog) {
    return reinterpret_cast<DialogState *>(GetWindowLongPtrW(dialog, DWLP_USER));
}

void AppendWord(std::vector<WORD> &out, WORD value) {
    out.push_back(value);
}

void AppendDword(std::vector<WORD> &out, DWORD value) {
    out.push_back(LOWORD(value));
    out.push_back(HIWORD(value));
}

void AppendString(std::vector<WORD> &out, const wchar_t *text) {
    for (const wchar_t *c = text; *c != L'\0'; ++c) {
        out.push_back(static_cast<WORD>(*c));
    }
    out.push_back(0);
}

// DLGTEMPLATEEX with no items: the extended form is the one that carries a font weight.
std::vector<WORD> BuildTemplate(const DialogLayout &layout) {
    std::vector<WORD> words;
    AppendWord(words, 1);      // dlgVer
    AppendWord(words, 0xFFFF); // signature
    AppendDword(words, 0);     // helpID
    AppendDword(words, layout.exStyle);
    AppendDword(words, layout.style | DS_SETFONT);
    AppendWord(words, 0); // cDlgItems
    AppendWord(words, static_cast<WORD>(layout.x));
    AppendWord(words, static_cast<WORD>(layout.y));
    AppendWord(words, static_cast<WORD>(layout.width));
    AppendWord(words, static_cast<WORD>(layout.height));
    AppendWord(words, 0); // no menu
    AppendWord(words, 0); // the standard dialog class
    AppendString(words, layout.title);
    AppendWord(words, 8);   // point size
    AppendWord(words, 700); // weight
    AppendWord(words, 0);   // italic (low byte), character set ANSI (high byte)
    AppendString(words, L"MS Sans Serif");
    return words;
}

INT_PTR AnswerControlColour(HWND control, HDC hdc) {
    COLORREF colour;
    if (!GetBackgroundColour(control, &colour)) {
        return FALSE;
    }
    SetBkColor(hdc, colour);
    SetTextColor(hdc, GetSysColor(COLOR_WINDOWTEXT));
    return reinterpret_cast<INT_PTR>(SharedBrush(colour));
}

void ApplyActivationFocusRule(HWND dialog, DialogState *state, WPARAM active) {
    if (active == FALSE) {
        state->rememberedFocus = GetFocus();
    } else if (state->rememberedFocus != nullptr) {
        if (IsWindow(state->rememberedFocus)) {
            SetFocus(state->rememberedFocus);
        }
        state->rememberedFocus = nullptr;
    }
    (void)dialog;
}

INT_PTR CALLBACK SharedDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogState *state = StateOf(dialog);
    switch (message) {
    case WM_INITDIALOG:
        if (state == nullptr) {
            // Sent while the window is created: keep the state, wait for the modal run.
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            return FALSE;
        }
        break;
    case WM_CTLCOLORDLG:
        return AnswerControlColour(dialog, reinterpret_cast<HDC>(wParam));
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
        return AnswerControlColour(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam));
    case WM_DRAWITEM: {
        const auto *item = reinterpret_cast<const DRAWITEMSTRUCT *>(lParam);
        if (item != nullptr && PictureBoxPaint(*item)) {
            return TRUE;
        }
        break;
    }
    case WM_NCACTIVATE:
        if (state != nullptr) {
            ApplyActivationFocusRule(dialog, state, wParam);
        }
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrW(dialog, DWLP_USER, 0);
        delete state;
        return FALSE;
    default:
        break;
    }
    if (state != nullptr && state->running && state->handler != nullptr) {
        state->handler(dialog, message, wParam, lParam);
        if (!IsWindow(dialog)) {
            return TRUE; // the handler ended the dialog: no default handling on a dead window
        }
    }
    return FALSE;
}

void DispatchToDialogManager(MSG &msg) {
    HWND root = msg.hwnd != nullptr ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root != nullptr && StateOf(root) != nullptr && IsDialogMessageW(root, &msg)) {
        return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

} // namespace

HWND CreateDialogWindow(const DialogLayout &layout, HWND owner, DialogHandler handler) {
    std::vector<WORD> words = BuildTemplate(layout);
    auto *state = new DialogState;
    state->handler = handler;
    HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(words.data()),
                                             owner, SharedDialogProc, reinterpret_cast<LPARAM>(state));
    if (dialog == nullptr) {
        delete state;
    }
    return dialog;
}

RECT DialogUnitsToPixels(HWND dialog, short x, short y, short width, short height) {
    RECT rect = {x, y, x + width, y + height};
    MapDialogRect(dialog, &rect);
    return rect;
}

HWND AddControl(HWND dialog, const ControlLayout &control) {
    const RECT rect = DialogUnitsToPixels(dialog, control.x, control.y, control.width, control.height);
    return CreateWindowExW(control.exStyle, control.className, control.text, control.style, rect.left, rect.top,
                           rect.right - rect.left, rect.bottom - rect.top, dialog,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), GetModuleHandleW(nullptr),
                           nullptr);
}

bool AddControls(HWND dialog, std::span<const ControlLayout> controls) {
    bool all = true;
    for (const ControlLayout &control : controls) {
        all = AddControl(dialog, control) != nullptr && all;
    }
    return all;
}

int RunModalDialog(HWND dialog) {
    DialogState *state = dialog != nullptr ? StateOf(dialog) : nullptr;
    if (state == nullptr) {
        return 0;
    }
    ++modalDepth;
    SetForegroundWindow(dialog);
    state->running = true;
    SendMessageW(dialog, WM_INITDIALOG, 0, 0);
    RECT client = {};
    GetClientRect(dialog, &client);
    SendMessageW(dialog, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    HWND owner = GetWindow(dialog, GW_OWNER);
    if (owner != nullptr) {
        EnableWindow(owner, FALSE);
    }
    if (IsWindow(dialog)) {
        ShowWindow(dialog, SW_SHOW);
    }
    while (IsWindow(dialog)) {
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            WaitMessage();
            continue;
        }
        if (msg.message == WM_QUIT) {
            if (modalDepth > 1) {
                PostQuitMessage(static_cast<int>(msg.wParam)); // for the run outside this one
            }
            EndDialogWindow(dialog);
            break;
        }
        DispatchToDialogManager(msg);
    }
    if (owner != nullptr && IsWindow(owner)) {
        SetFocus(owner);
    }
    --modalDepth;
    return 0;
}

void EndDialogWindow(HWND dialog) {
    if (dialog == nullptr || !IsWindow(dialog)) {
        return;
    }
    SendMessageW(dialog, WM_CLOSE, 0, 0);
    HWND owner = GetWindow(dialog, GW_OWNER);
    if (owner != nullptr) {
        EnableWindow(owner, TRUE);
    }
    DestroyWindow(dialog);
}

bool PumpOneMessage() {
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        return false;
    }
    if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam)); // the modal run ends on it
        return false;
    }
    DispatchToDialogManager(msg);
    return true;
}

int ModalDepth() {
    return modalDepth;
}
