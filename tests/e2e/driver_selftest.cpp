// The driver's own tests, against driver_target.exe: the parts of the driver that later journeys
// will lean on (a window whose menu bar goes away, check marks and grey items read by the probe,
// list and combo boxes, a message box with two buttons, a program's own exit code).
#include "driver.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

constexpr int kEdit = 10;
constexpr int kList = 11;
constexpr int kCombo = 12;
constexpr int kLastEvent = 13;
constexpr UINT kRemoveMenu = 100;
constexpr UINT kChecked = 101;
constexpr UINT kGrey = 102;
constexpr UINT kAskQuestion = 103;
constexpr UINT kQuit = 104;

HWND StartTarget(AppProcess &app) {
    if (!StartProgram(app, TestProgramFolder(), L"driver_target.exe")) {
        return nullptr;
    }
    return WaitForWindow(app, L"GuislaDriverTarget", L"Driver target");
}

// Waits until the target reports this event; "" on success, else what it showed last.
std::string WaitForEvent(HWND target, const std::wstring &expected) {
    std::wstring last;
    const bool seen = WaitUntil([&] {
        std::optional<std::wstring> text = ControlText(Control(target, kLastEvent));
        last = text ? *text : L"<unreadable>";
        return last == expected;
    });
    return seen ? std::string() : "last event: '" + Utf8(last) + "'";
}

} // namespace

TEST(Driver, ReadsMenuStatesAndSeesTheMenuBarGo) {
    AppProcess app;
    HWND target = StartTarget(app);
    ASSERT_NE(target, nullptr) << LastError();

    std::optional<MenuBar> bar = ReadMenu(app, target);
    ASSERT_TRUE(bar) << LastError();
    ASSERT_TRUE(bar->present);
    const std::vector<MenuItem> items = PopupItems(*bar, L"Archivo");
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].text, L"Quitar men\u00FA");
    EXPECT_EQ(items[0].id, kRemoveMenu);
    EXPECT_FALSE(items[0].grey);
    EXPECT_TRUE(items[1].separator);
    EXPECT_EQ(items[2].text, L"Marcado");
    EXPECT_NE(items[2].state & MFS_CHECKED, 0u);
    EXPECT_FALSE(items[2].hasCheckedBitmap);
    EXPECT_TRUE(items[3].grey);
    ASSERT_NE(FindMenuItem(*bar, kGrey), nullptr);
    EXPECT_EQ(FindMenuItem(*bar, kGrey)->text, L"Gris");
    EXPECT_EQ(FindMenuItem(*bar, kChecked)->position, 2);
    EXPECT_EQ(FindMenuItem(*bar, 999), nullptr);

    ASSERT_TRUE(PostCommand(target, kRemoveMenu)) << LastError();
    EXPECT_EQ(WaitForEvent(target, L"menu removed"), "");
    std::optional<bool> hasMenu = HasMenuBar(app, target);
    ASSERT_TRUE(hasMenu) << LastError();
    EXPECT_FALSE(*hasMenu);

    ASSERT_TRUE(PostCommand(target, kQuit)) << LastError();
    std::optional<DWORD> code = WaitForExit(app);
    ASSERT_TRUE(code) << LastError();
    EXPECT_EQ(*code, 7u);
}

TEST(Driver, ControlsListsAndCombos) {
    AppProcess app;
    HWND target = StartTarget(app);
    ASSERT_NE(target, nullptr) << LastError();

    HWND edit = Control(target, kEdit);
    ASSERT_TRUE(SetControlText(edit, L"Pi\u00F1a \u20AC 3")) << LastError();
    EXPECT_EQ(ControlText(edit).value_or(L"?"), L"Pi\u00F1a \u20AC 3");

    HWND list = Control(target, kList);
    EXPECT_EQ(ListCount(list).value_or(-1), 3);
    EXPECT_EQ(ListSelection(list).value_or(-2), -1);
    EXPECT_EQ(ListItemText(list, 2).value_or(L"?"), L"tres");
    EXPECT_FALSE(ListItemText(list, 3)) << "a line past the end has no text";
    ASSERT_TRUE(ListSelect(list, 1)) << LastError();
    EXPECT_EQ(WaitForEvent(target, L"list selchange 1"), "");
    ASSERT_TRUE(ListDoubleClick(list, 2)) << LastError();
    EXPECT_EQ(WaitForEvent(target, L"list dblclk 2"), "");
    EXPECT_EQ(ListSelection(list).value_or(-2), 2);

    HWND combo = Control(target, kCombo);
    EXPECT_EQ(ComboCount(combo).value_or(-1), 2);
    EXPECT_EQ(ComboItemText(combo, 1).value_or(L"?"), L"verde");
    ASSERT_TRUE(ComboSelect(combo, 1)) << LastError();
    EXPECT_EQ(WaitForEvent(target, L"combo selchange 1"), "");
    EXPECT_EQ(ComboSelection(combo).value_or(-2), 1);
    EXPECT_FALSE(ComboSelect(combo, 5)) << "selecting past the end must fail";

    std::vector<WindowInfo> children = ChildWindows(target);
    ASSERT_EQ(children.size(), 4u);
    EXPECT_EQ(children[1].id, kList);
}

TEST(Driver, MessageBoxWithTwoButtons) {
    AppProcess app;
    HWND target = StartTarget(app);
    ASSERT_NE(target, nullptr) << LastError();

    ASSERT_TRUE(PostCommand(target, kAskQuestion)) << LastError();
    HWND box = WaitForMessageBox(app, L"Programador");
    ASSERT_NE(box, nullptr) << LastError();
    EXPECT_EQ(MessageBoxText(box).value_or(L"?"), L"L\u00EDnea uno\nL\u00EDnea dos");
    std::vector<int> ids;
    for (const WindowInfo &button : Buttons(box)) {
        ids.push_back(button.id);
    }
    EXPECT_EQ(ids, (std::vector<int>{IDOK, IDCANCEL}));
    // The target's own window is a top-level of the same process but no message box.
    EXPECT_EQ(TopWindows(app, L"#32770").size(), 1u);
    ASSERT_TRUE(CloseMessageBox(box, IDCANCEL)) << LastError();
    EXPECT_EQ(WaitForEvent(target, L"answer 2"), "");

    EXPECT_EQ(WaitForMessageBox(app, nullptr, 300), nullptr) << "no box is open any more";

    // Killing a program that does not end by itself.
    KillProgram(app);
    EXPECT_FALSE(IsRunning(app));
}
