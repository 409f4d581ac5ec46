// The About box "Autor": layout, and the event handler that runs the icon animation.
#include "app/about_box.h"

#include "resources/resource_ids.h"
#include "ui/dialog.h"
#include "ui/gdi.h"

#include <cwchar>

std::uint16_t animationFrame = IDI_ANIMATION_FIRST;

namespace {

constexpr UINT kAnimationPeriodMs = 100;

// No WS_SYSMENU: the title bar has no close button; Alt+F4 still arrives as SC_CLOSE.
const DialogLayout kAboutLayout = {
    L"Autor",
    WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_NOFAILCREATE | DS_3DLOOK | DS_CENTER,
    WS_EX_TOPMOST,
    0,
    0,
    201,
    121,
};

constexpr DWORD kLabelStyle = WS_CHILD | WS_VISIBLE | SS_LEFT;

// In creation order, which is the tab order. The icon is given to 6018 after it is created, so
// that the box owns it (an icon the static loads from its text would be a shared one).
const ControlLayout kAboutControls[] = {
    {IDC_ABOUT_ICON, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_ICON, 0, 5, 5, 30, 30},
    {IDC_ABOUT_THANKS, L"STATIC", L"Quelmo te da las Gracias por usar este programa.", kLabelStyle, 0, 40, 10, 155, 25},
    {IDC_ABOUT_CREDIT, L"STATIC",
     L"Programa hecho para los amantes de la buena cocina; vis\u00EDtanos en www.miguisla.es", kLabelStyle, 0, 5, 50,
     190, 40},
    {IDC_ABOUT_EXIT, L"BUTTON", L"Salir", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 5, 100, 50, 15},
};

// Shows icon resource "#<frame>" in the animated icon. The control holds the one icon the box
// owns at a time: the icon it showed before is destroyed here. When the resource cannot be
// loaded the previous frame stays.
void ShowFrame(HWND box, unsigned frame) {
    wchar_t name[16];
    std::swprintf(name, 16, L"#%u", frame);
    auto icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), name, IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
    if (icon == nullptr) {
        return;
    }
    auto previous = reinterpret_cast<HICON>(
        SendDlgItemMessageW(box, IDC_ABOUT_ICON, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon)));
    if (previous != nullptr) {
        DestroyIcon(previous);
    }
}

void OnInitialise(HWND box) {
    SetTimer(box, IDT_ABOUT_ANIMATION, kAnimationPeriodMs, nullptr);
    animationFrame = IDI_ANIMATION_FIRST;
}

// The first tick shows 701 again, so the first frame stays up for two periods.
void OnTick(HWND box) {
    ShowFrame(box, animationFrame);
    ++animationFrame;
    if (animationFrame > IDI_ANIMATION_LAST) {
        animationFrame = IDI_ANIMATION_FIRST;
    }
}

void OnCommand(HWND box, WORD id, WORD code) {
    // "Salir" clicked (or its accelerator code 1), or IDOK from Enter. IDCANCEL (Escape) is ignored.
    if ((id == IDC_ABOUT_EXIT && (code == BN_CLICKED || code == 1)) || id == IDOK) {
        EndDialogWindow(box);
    }
}

void OnDestroy(HWND box) {
    KillTimer(box, IDT_ABOUT_ANIMATION);
    // The icon control does not destroy the icon it shows; take it back and release it.
    auto last = reinterpret_cast<HICON>(SendDlgItemMessageW(box, IDC_ABOUT_ICON, STM_SETIMAGE, IMAGE_ICON, 0));
    if (last != nullptr) {
        DestroyIcon(last);
    }
}

void AboutEventHandler(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitialise(box);
        break;
    case WM_TIMER:
        if (wParam == IDT_ABOUT_ANIMATION) {
            OnTick(box);
        }
        break;
    case WM_COMMAND:
        OnCommand(box, LOWORD(wParam), HIWORD(wParam));
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            EndDialogWindow(box); // Alt+F4 ends the box like "Salir"
        }
        break;
    case WM_DESTROY:
        OnDestroy(box);
        break;
    default:
        break;
    }
    (void)lParam;
}

} // namespace

int AboutBox(HWND owner) {
    HWND box = CreateDialogWindow(kAboutLayout, owner, AboutEventHandler);
    if (box == nullptr) {
        return 0;
    }
    SetBackgroundColour(box, kBackgroundColour);
    for (const ControlLayout &control : kAboutControls) {
        HWND hwnd = AddControl(box, control);
        switch (control.id) {
        case IDC_ABOUT_ICON:
            ShowFrame(box, IDI_ANIMATION_FIRST);
            break;
        case IDC_ABOUT_THANKS:
        case IDC_ABOUT_CREDIT:
            SetBackgroundColour(hwnd, kBackgroundColour);
            break;
        default:
            break;
        }
    }
    FontHolder font10Bold = MakeFont(10, FW_BOLD);
    FontHolder font14Bold = MakeFont(14, FW_BOLD);
    ApplyFont(GetDlgItem(box, IDC_ABOUT_THANKS), font10Bold.Get());
    ApplyFont(GetDlgItem(box, IDC_ABOUT_CREDIT), font10Bold.Get());
    ApplyFont(GetDlgItem(box, IDC_ABOUT_EXIT), font14Bold.Get());
    return RunModalDialog(box);
}
