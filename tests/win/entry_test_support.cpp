// Running and inspecting the entry dialogs in-process.
#include "entry_test_support.h"

#include "state/category_combo.h"
#include "ui/dialog.h"
#include "ui/gdi.h"
#include "win_test_support.h"

#include <gtest/gtest.h>

const wchar_t kEntryTitle[] = L"Introduce Datos";

void WithEntryDialog(int (*open)(HWND), const std::function<void(HWND)> &checks) {
    bool seen = false;
    CallSoon([&] {
        HWND dialog = FindOwnWindow(L"#32770", kEntryTitle);
        if (dialog == nullptr) {
            ADD_FAILURE() << "no dialog titled Introduce Datos";
            PostQuitMessage(0); // ends the run that could not be found
            return;
        }
        seen = true;
        checks(dialog);
        if (IsWindow(dialog)) {
            SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        EXPECT_FALSE(IsWindow(dialog)) << "the system close command ends the dialog";
        EndDialogWindow(dialog); // so that a failing dialog does not hang the run
    });
    EXPECT_EQ(open(nullptr), 0);
    EXPECT_TRUE(seen);
    EXPECT_EQ(CountEntryDialogs(), 0);
}

int CountEntryDialogs() {
    int count = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM param) -> BOOL {
            if (IsWindowVisible(hwnd) && TextOf(hwnd) == kEntryTitle) {
                ++*reinterpret_cast<int *>(param);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

void ExpectEntryDialogFrame(HWND dialog, short x, short y, short width, short height) {
    EXPECT_EQ(TextOf(dialog), kEntryTitle);
    EXPECT_TRUE(IsWindowVisible(dialog));
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE));
    const DWORD required = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_NOFAILCREATE | DS_3DLOOK;
    EXPECT_EQ(style & required, required);
    EXPECT_EQ(style & (WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u) << "no close box";
    EXPECT_NE(GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST, 0) << "above all other windows";
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);

    // The template's position places the client area, measured from the screen's corner.
    POINT corner = {0, 0};
    ClientToScreen(dialog, &corner);
    const RECT origin = DialogUnitsToPixels(dialog, x, y, 0, 0);
    EXPECT_EQ(corner.x, origin.left);
    EXPECT_EQ(corner.y, origin.top);
    RECT client = {};
    GetClientRect(dialog, &client);
    const RECT size = DialogUnitsToPixels(dialog, 0, 0, width, height);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    EXPECT_EQ(DominantColour(dialog, true).colour, kBackgroundColour) << "painted dialog background";
}

HWND ExpectEntryControl(HWND dialog, const ExpectedEntryControl &e, HWND previous) {
    SCOPED_TRACE(e.id);
    HWND control = GetDlgItem(dialog, e.id);
    EXPECT_NE(control, nullptr);
    if (control == nullptr) {
        return nullptr;
    }
    EXPECT_EQ(ClassOf(control), e.className);
    EXPECT_EQ(TextOf(control), e.text);
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
    EXPECT_EQ(style & e.style, e.style);
    EXPECT_EQ(style & e.forbidden, 0u);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(control, GWL_EXSTYLE)) & WS_EX_CLIENTEDGE, e.exStyle);

    const RECT expected = DialogUnitsToPixels(dialog, e.x, e.y, e.width, e.height);
    const RECT actual = RectInParent(control);
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right, expected.right);
    if (e.className != std::wstring(L"ComboBoxEx32")) {
        EXPECT_EQ(actual.bottom, expected.bottom);
    } else {
        // The closed list is as high as its selection field, which the control fits to its font
        // and pictures after it was created at the layout's height; the list dropped under the
        // field keeps the rest of that height, so it reaches the layout's bottom edge or a little
        // beyond by as much as the field grew.
        HWND inner = FindWindowExW(control, nullptr, L"ComboBox", nullptr);
        COMBOBOXINFO info = {};
        info.cbSize = sizeof(info);
        EXPECT_TRUE(GetComboBoxInfo(inner, &info));
        SendMessageW(inner, CB_SHOWDROPDOWN, TRUE, 0);
        RECT dropped = {};
        GetWindowRect(info.hwndList, &dropped);
        const COLORREF listColour = DominantColour(info.hwndList).colour;
        if (e.coloured) {
            EXPECT_EQ(listColour, kBackgroundColour) << "the dropped list";
        } else {
            EXPECT_NE(listColour, kBackgroundColour) << "the dropped list";
        }
        SendMessageW(inner, CB_SHOWDROPDOWN, FALSE, 0);
        MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT *>(&dropped), 2);
        EXPECT_EQ(dropped.top, actual.bottom) << "the list drops under the selection field";
        EXPECT_GE(dropped.bottom, expected.bottom);
        EXPECT_LE(dropped.bottom, expected.bottom + (actual.bottom - actual.top));
        EXPECT_GE(actual.bottom - actual.top, kCategoryPictureHeight) << "the field shows a whole picture";
    }

    EXPECT_EQ(FontHeightOf(control), PointsToPixels(10));
    EXPECT_EQ(FontWeightOf(control), e.weight);
    EXPECT_EQ(FontFaceOf(control), L"MS Sans Serif");

    // As painted on screen: a coloured control in the background colour, the others in the
    // system's colours.
    const COLORREF painted = DominantColour(control).colour;
    if (e.coloured) {
        EXPECT_EQ(painted, kBackgroundColour);
    } else {
        EXPECT_NE(painted, kBackgroundColour);
    }
    // Creation order is the tab order.
    EXPECT_EQ(GetWindow(control, GW_HWNDPREV), previous);
    return control;
}

bool PumpUntilGone(HWND hwnd, DWORD timeoutMs) {
    const DWORD deadline = GetTickCount() + timeoutMs;
    while (IsWindow(hwnd) && GetTickCount() < deadline) {
        if (!PumpOneMessage()) {
            Sleep(1);
        }
    }
    return !IsWindow(hwnd);
}

void PressKey(HWND target, UINT key) {
    for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
        MSG msg = {target, message, key, message == WM_KEYUP ? 0xC0000001 : 1, GetTickCount(), {0, 0}};
        HWND root = GetAncestor(target, GA_ROOT);
        if (!IsDialogMessageW(root, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    // The characters TranslateMessage posted.
    MSG pending;
    while (PeekMessageW(&pending, target, WM_CHAR, WM_CHAR, PM_REMOVE)) {
        HWND root = GetAncestor(target, GA_ROOT);
        if (!IsDialogMessageW(root, &pending)) {
            DispatchMessageW(&pending);
        }
    }
}
