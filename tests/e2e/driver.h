// The end-to-end driver: steers the real guisla.exe from a second process, as a person would, through
// window messages. Every wait polls with a timeout, so a failed expectation ends the test instead of
// hanging it. Functions that can fail return false, nullptr or an empty optional and leave the reason
// in LastError(), ready to be streamed into a test's failure message.
//
// The settings come from the environment, set by run_e2e.sh (Windows paths):
//   GUISLA_E2E_PROGRAM  folder holding guisla.exe and its folder "guisla"
//   GUISLA_E2E_SCRATCH  folder under which each test gets a fresh copy of the program
//   GUISLA_E2E_SHOTS    folder under which each test's screenshots are written
//   GUISLA_E2E_PROBE    (optional) menu_probe.dll; by default the one beside the test program
#ifndef GUISLA_TESTS_E2E_DRIVER_H
#define GUISLA_TESTS_E2E_DRIVER_H

#include <windows.h>

#include "menu_probe_protocol.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

constexpr DWORD kDefaultTimeoutMs = 10000;

// Why the last failing driver call failed (UTF-8, for test messages).
const std::string &LastError();

// Names the running test ("Suite.Case"): its scratch folder and screenshot folder are named after it,
// and both are emptied here. The test main calls it at the start of every test.
void BeginTest(const std::string &testName);
const std::string &CurrentTestName();

// Polls `condition` every `pollMs` until it holds (true) or `timeoutMs` has passed (false).
bool WaitUntil(const std::function<bool()> &condition, DWORD timeoutMs = kDefaultTimeoutMs, DWORD pollMs = 20);

// Text conversion for messages: UTF-16 to UTF-8.
std::string Utf8(const std::wstring &text);

// The folder of the running test program (where menu_probe.dll and test data sit).
std::wstring TestProgramFolder();

// The program.

// A started guisla.exe. Not copyable; when it goes out of scope a program still running is killed,
// so a failed test never leaves it behind (a job object also ends it if the driver itself dies).
struct AppProcess {
    HANDLE process = nullptr;
    HANDLE job = nullptr;
    DWORD pid = 0;
    std::wstring folder;              // the scratch folder holding guisla.exe
    unsigned long long probeBase = 0; // where menu_probe.dll sits in the program, once loaded

    AppProcess() = default;
    AppProcess(const AppProcess &) = delete;
    AppProcess &operator=(const AppProcess &) = delete;
    ~AppProcess();
};

// Makes a fresh scratch folder for the current test (removing an earlier one) with a copy of
// guisla.exe and its folder "guisla"; returns its path, or "" on failure. A test that needs a store
// with recipes in it can put its files into <folder>\guisla before starting the program.
std::wstring PrepareProgramFolder(const std::wstring &subfolder = L"program");

// Starts <folder>\<exeName> with <folder> as its working directory.
bool StartProgram(AppProcess &app, const std::wstring &folder, const std::wstring &exeName = L"guisla.exe");

// PrepareProgramFolder + StartProgram + WaitForMainWindow; returns the main window or nullptr.
HWND LaunchProgram(AppProcess &app, DWORD timeoutMs = kDefaultTimeoutMs);

bool IsRunning(const AppProcess &app);

// Waits for the program to end; its exit code, or nothing on timeout.
std::optional<DWORD> WaitForExit(AppProcess &app, DWORD timeoutMs = kDefaultTimeoutMs);

// Ends the program at once (TerminateProcess) and waits for it.
void KillProgram(AppProcess &app);

// Windows.

// The visible top-level windows of the program; className or title nullptr matches any.
std::vector<HWND> TopWindows(const AppProcess &app, const wchar_t *className = nullptr, const wchar_t *title = nullptr);

// Waits for a visible top-level window of the program with this class and title (nullptr: any).
HWND WaitForWindow(const AppProcess &app, const wchar_t *className, const wchar_t *title,
                   DWORD timeoutMs = kDefaultTimeoutMs);

// The window "Mi guisla".
HWND WaitForMainWindow(const AppProcess &app, DWORD timeoutMs = kDefaultTimeoutMs);

bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs = kDefaultTimeoutMs);

// Returns once the window's thread has handled everything sent before, and gives it `quietMs`
// more to paint (for screenshots). False when the thread does not answer.
bool Settle(HWND hwnd, DWORD quietMs = 300);

// A window's class, text (WM_GETTEXT, so it works for controls of the other process), id, style.
struct WindowInfo {
    HWND hwnd = nullptr;
    std::wstring className;
    std::wstring text;
    int id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect = {}; // in screen coordinates
};
std::optional<WindowInfo> DescribeWindow(HWND hwnd);

// The direct children of a window, in Z order (which is creation order for dialogs).
std::vector<WindowInfo> ChildWindows(HWND parent);

HWND Control(HWND dialog, int id);

std::wstring ClassName(HWND hwnd);

// Input.

// Chooses a menu command: posts WM_COMMAND with the id (as a menu does, notification 0). This
// bypasses the item's grey state, so check the state through ReadMenu first where it matters.
bool PostCommand(HWND window, UINT id);

// Posts WM_SYSCOMMAND (SC_CLOSE is what Alt+F4 and the title bar ask for).
bool PostSysCommand(HWND window, WPARAM command);

// Posts a key press and release (WM_KEYDOWN/UP, or WM_SYSKEYDOWN/UP with the Alt context bit set).
bool PostKey(HWND window, UINT virtualKey, bool alt = false);

// Presses a button (posts BM_CLICK, which sends the parent its BN_CLICKED).
bool PostClick(HWND button);

// WM_SETTEXT / WM_GETTEXT through SendMessageTimeoutW, non-ASCII text included.
// A long text takes an edit control seconds to lay out under Wine on a loaded machine: the default
// wait is generous, since only a program that never answers should fail here.
bool SetControlText(HWND control, const std::wstring &text, DWORD timeoutMs = 30000);
std::optional<std::wstring> ControlText(HWND control, DWORD timeoutMs = 5000);

// Combo boxes and list boxes.
// ComboBoxEx32 answers the CB_ messages too. The Select functions post the parent the notification
// that a person's choice would bring (CBN_SELCHANGE / LBN_SELCHANGE), since CB_SETCURSEL and
// LB_SETCURSEL send none.

std::optional<int> ComboCount(HWND combo);
std::optional<int> ComboSelection(HWND combo);
std::optional<std::wstring> ComboItemText(HWND combo, int index);
bool ComboSelect(HWND combo, int index, bool notifyParent = true);

std::optional<int> ListCount(HWND list);
std::optional<int> ListSelection(HWND list);
std::optional<std::wstring> ListItemText(HWND list, int index);
bool ListSelect(HWND list, int index, bool notifyParent = true);
// Selects the line and posts the parent LBN_DBLCLK, as a double-click on it does.
bool ListDoubleClick(HWND list, int index);

// Message boxes.

// Waits for a message box (class "#32770") of the program; caption nullptr matches any caption.
HWND WaitForMessageBox(const AppProcess &app, const wchar_t *caption, DWORD timeoutMs = kDefaultTimeoutMs);

// The message text (the static with id 0xFFFF).
std::optional<std::wstring> MessageBoxText(HWND box);

// The buttons of a dialog or message box.
std::vector<WindowInfo> Buttons(HWND dialog);

// Presses a button of the box (IDOK by default) and waits until the box has gone.
bool CloseMessageBox(HWND box, int buttonId = IDOK, DWORD timeoutMs = kDefaultTimeoutMs);

// Menus (read from inside the program by menu_probe.dll).

struct MenuItem {
    int level = 0;    // 0: bar item ("Archivos"), 1: item of a popup
    int popup = 0;    // position of the bar item it belongs to
    int position = 0; // within its menu
    UINT id = 0;
    UINT type = 0;  // MFT_*
    UINT state = 0; // MFS_*
    std::wstring text;
    bool separator = false;
    bool grey = false; // MFS_GRAYED (or MFS_DISABLED)
    bool hasSubMenu = false;
    bool hasCheckedBitmap = false;
    bool hasUncheckedBitmap = false;
};

struct MenuBar {
    bool present = false;        // false: the window has no menu bar at all (as during a save)
    std::vector<MenuItem> items; // bar items and popup items, in menu order
};

// Reads the window's menu bar from inside the program; loads the probe on first use.
std::optional<MenuBar> ReadMenu(AppProcess &app, HWND window, DWORD timeoutMs = kDefaultTimeoutMs);

// Whether the window has a menu bar right now; nothing when the probe failed.
std::optional<bool> HasMenuBar(AppProcess &app, HWND window, DWORD timeoutMs = kDefaultTimeoutMs);

// The items of the bar's popup with this text, in order; empty when there is no such popup.
std::vector<MenuItem> PopupItems(const MenuBar &bar, const std::wstring &popupText);

// The popup item with this command id, or nullptr.
const MenuItem *FindMenuItem(const MenuBar &bar, UINT id);

// Screenshots.

// Asks run_e2e.sh for a picture of the whole screen, saved as <shots>\<test>\<name>.png, and waits
// until it is there (or the wrapper reports failure, or the timeout passes). Returns the path or "".
std::wstring TakeScreenshot(const std::wstring &name, DWORD timeoutMs = 30000);

// The machine.

// The picture cache folder the program is expected to create: "quelmo cache" in the root of the
// first fixed drive (without a trailing separator), found the way the program finds it.
std::wstring ExpectedPictureCacheFolder();

bool IsDirectory(const std::wstring &path);

// CPU time (user + kernel) the program has used so far, in 100 ns units.
std::optional<unsigned long long> ProcessCpuTime(const AppProcess &app);

// Resources, for leak checks.

// The highest slot that a batch of fresh GDI or USER objects takes in the program's handle tables
// (measured from inside by the probe): it moves up by one for every object the program holds on
// to, where GetGuiResources counts nothing (Wine).
std::optional<unsigned> HandleHighWater(AppProcess &app, HandleProbeKind kind, DWORD timeoutMs = kDefaultTimeoutMs);

// The program's memory: working set and private (committed) bytes, from GetProcessMemoryInfo.
struct ProgramMemory {
    size_t workingSet = 0;
    size_t privateBytes = 0;
    size_t peakWorkingSet = 0; // the highest since the program started
    size_t peakPrivateBytes = 0;
};
std::optional<ProgramMemory> MemoryOf(const AppProcess &app);

} // namespace e2e

#endif
