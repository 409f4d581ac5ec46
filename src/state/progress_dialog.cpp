// The progress window: layout table, creation, bar updates.
#include "state/progress_dialog.h"

#include <commctrl.h>

#include "resources/resource_ids.h"
#include "ui/dialog.h"

namespace {

const DialogLayout kProgressLayout = {
    L"Dialog1", // never shown: the window has no caption bar
    WS_POPUP | WS_CLIPSIBLINGS | DS_MODALFRAME | DS_SETFONT | DS_NOFAILCREATE | DS_3DLOOK | DS_CENTER,
    WS_EX_CONTROLPARENT | WS_EX_TOPMOST,
    0,
    0,
    100,
    10,
};

const ControlLayout kProgressControls[] = {
    {IDC_PROGRESS_BAR, PROGRESS_CLASSW, L"ProgressBar1", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, 0, 100, 10},
};

} // namespace

HWND ProgressDialog() {
    // No handler of its own: no commands, and the shared dialog procedure already keeps the
    // focus across activation changes. It is never run modally, so it sets its range here.
    HWND dialog = CreateDialogWindow(kProgressLayout, nullptr, nullptr);
    if (dialog == nullptr) {
        return nullptr;
    }
    AddControls(dialog, kProgressControls);
    SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, 100);
    SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    return dialog;
}

void SetProgressPosition(HWND dialog, int position) {
    if (dialog == nullptr || !IsWindow(dialog)) {
        return;
    }
    SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void DestroyProgressDialog(HWND dialog) {
    if (dialog != nullptr && IsWindow(dialog)) {
        DestroyWindow(dialog);
    }
}
