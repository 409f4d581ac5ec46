// The end-to-end driver: starting the program in a scratch folder, finding and steering its windows
// from outside, reading its menu through the injected probe, and asking the wrapper script for
// screenshots.
#include "driver.h"

#include "menu_probe_protocol.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <memory>
#include <system_error>

namespace fs = std::filesystem;

namespace e2e {
namespace {

std::string lastError;
std::string currentTest;

// Records why a call failed; returns false so that callers can `return Fail(...)`.
bool Fail(const std::string &why) {
    lastError = why;
    return false;
}

std::string SystemMessage(DWORD code) {
    return " (error " + std::to_string(code) + ")";
}

std::wstring Environment(const wchar_t *name) {
    wchar_t buffer[2048];
    const DWORD length = GetEnvironmentVariableW(name, buffer, static_cast<DWORD>(std::size(buffer)));
    if (length == 0 || length >= std::size(buffer)) {
        return {};
    }
    return std::wstring(buffer, length);
}

std::wstring Widen(const std::string &text) {
    if (text.empty()) {
        return {};
    }
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

bool SameTextIgnoringCase(const std::wstring &a, const std::wstring &b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// A test name as a folder name: the characters a file name cannot hold become '_'.
std::wstring FolderNameOfTest() {
    std::wstring name = Widen(currentTest.empty() ? std::string("unnamed") : currentTest);
    for (wchar_t &c : name) {
        if (c < 32 || std::wcschr(L"<>:\"/\\|?*", c) != nullptr) {
            c = L'_';
        }
    }
    return name;
}

// A folder named by an environment variable, or "" with the reason recorded.
std::wstring SettingFolder(const wchar_t *variable) {
    std::wstring folder = Environment(variable);
    if (folder.empty()) {
        Fail("environment variable " + Utf8(variable) + " is not set (run the test through run_e2e.sh)");
    }
    return folder;
}

// Holds a kernel handle and closes it.
struct HandleHolder {
    HANDLE handle = nullptr;
    explicit HandleHolder(HANDLE h) : handle(h) {}
    HandleHolder(const HandleHolder &) = delete;
    HandleHolder &operator=(const HandleHolder &) = delete;
    ~HandleHolder() {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
};

// Memory allocated in the program; freed unless a remote thread may still be using it.
struct RemoteMemory {
    HANDLE process;
    void *address;
    RemoteMemory(HANDLE p, size_t size)
        : process(p), address(VirtualAllocEx(p, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
    RemoteMemory(const RemoteMemory &) = delete;
    RemoteMemory &operator=(const RemoteMemory &) = delete;
    ~RemoteMemory() {
        if (address != nullptr) {
            VirtualFreeEx(process, address, 0, MEM_RELEASE);
        }
    }
    void Abandon() { address = nullptr; }
};

std::wstring WindowTitle(HWND hwnd) {
    wchar_t buffer[512] = {};
    GetWindowTextW(hwnd, buffer, static_cast<int>(std::size(buffer)));
    return buffer;
}

bool SendWithTimeout(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR *result, DWORD timeoutMs = 5000) {
    DWORD_PTR value = 0;
    if (SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, timeoutMs, &value) == 0) {
        return Fail("message " + std::to_string(message) + " to window " +
                    std::to_string(reinterpret_cast<ULONG_PTR>(hwnd)) + " got no answer" +
                    SystemMessage(GetLastError()));
    }
    if (result != nullptr) {
        *result = value;
    }
    return true;
}

// A message whose answer is a count or index; LB_ERR / CB_ERR (-1) counts as failure.
std::optional<int> AskIndex(HWND hwnd, UINT message, WPARAM wParam = 0) {
    DWORD_PTR result = 0;
    if (!SendWithTimeout(hwnd, message, wParam, 0, &result)) {
        return std::nullopt;
    }
    const auto value = static_cast<LRESULT>(result);
    if (value < 0) {
        Fail("message " + std::to_string(message) + " answered " + std::to_string(value));
        return std::nullopt;
    }
    return static_cast<int>(value);
}

// CB_GETLBTEXT / LB_GETTEXT with their length messages.
std::optional<std::wstring> AskItemText(HWND hwnd, UINT lengthMessage, UINT textMessage, int index) {
    std::optional<int> length = AskIndex(hwnd, lengthMessage, static_cast<WPARAM>(index));
    if (!length) {
        return std::nullopt;
    }
    std::wstring text(static_cast<size_t>(*length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendWithTimeout(hwnd, textMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()),
                         &copied)) {
        return std::nullopt;
    }
    if (static_cast<LRESULT>(copied) < 0) {
        Fail("item " + std::to_string(index) + " has no text");
        return std::nullopt;
    }
    text.resize(std::min(static_cast<size_t>(copied), text.size() - 1));
    return text;
}

bool NotifyParent(HWND control, WORD code) {
    HWND parent = GetParent(control);
    if (parent == nullptr) {
        return Fail("control has no parent to notify");
    }
    const int id = GetDlgCtrlID(control);
    if (!PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control))) {
        return Fail("posting the notification failed" + SystemMessage(GetLastError()));
    }
    return true;
}

// The base address of a module loaded in another process, by file name (path parts ignored) or by
// full path; 0 when it is not loaded.
unsigned long long RemoteModuleBase(DWORD pid, const std::wstring &name) {
    HandleHolder snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, pid));
    if (snapshot.handle == INVALID_HANDLE_VALUE) {
        return 0;
    }
    const bool byPath = name.find(L'\\') != std::wstring::npos;
    MODULEENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Module32FirstW(snapshot.handle, &entry); more; more = Module32NextW(snapshot.handle, &entry)) {
        if (SameTextIgnoringCase(byPath ? entry.szExePath : entry.szModule, name)) {
            return reinterpret_cast<unsigned long long>(entry.modBaseAddr);
        }
    }
    return 0;
}

// The file name (no folder) of the module of this process that holds `address`.
std::wstring ModuleNameOf(const void *address, HMODULE *module) {
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), module)) {
        return {};
    }
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(*module, path, MAX_PATH);
    return fs::path(path).filename().wstring();
}

std::wstring ProbePath() {
    std::wstring configured = Environment(L"GUISLA_E2E_PROBE");
    if (!configured.empty()) {
        return configured;
    }
    return (fs::path(TestProgramFolder()) / L"menu_probe.dll").wstring();
}

// Runs `start(parameter)` on a new thread in the program and waits for it; its exit code.
std::optional<DWORD> RunRemoteThread(HANDLE process, unsigned long long start, void *parameter, DWORD timeoutMs,
                                     bool *stillRunning) {
    *stillRunning = false;
    HandleHolder thread(CreateRemoteThread(process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(start),
                                           parameter, 0, nullptr));
    if (thread.handle == nullptr) {
        Fail("CreateRemoteThread failed" + SystemMessage(GetLastError()));
        return std::nullopt;
    }
    if (WaitForSingleObject(thread.handle, timeoutMs) != WAIT_OBJECT_0) {
        *stillRunning = true;
        Fail("the thread started in the program did not end within " + std::to_string(timeoutMs) + " ms");
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeThread(thread.handle, &code);
    return code;
}

// Loads menu_probe.dll into the program once and records where it landed.
bool EnsureProbe(AppProcess &app, DWORD timeoutMs) {
    if (app.probeBase != 0) {
        return true;
    }
    const std::wstring path = ProbePath();
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return Fail("menu probe not found: " + Utf8(path));
    }
    // The address of LoadLibraryW in the program: same module, same offset as here (the module may
    // sit elsewhere in the other process, so its base is looked up there).
    HMODULE kernelModule = GetModuleHandleW(L"kernel32.dll");
    auto loadLibrary = reinterpret_cast<const void *>(GetProcAddress(kernelModule, "LoadLibraryW"));
    HMODULE holder = nullptr;
    const std::wstring holderName = ModuleNameOf(loadLibrary, &holder);
    const unsigned long long remoteHolder = RemoteModuleBase(app.pid, holderName);
    if (loadLibrary == nullptr || holderName.empty() || remoteHolder == 0) {
        return Fail("cannot find " + Utf8(holderName) + " in the program");
    }
    const unsigned long long remoteLoadLibrary =
        remoteHolder + (reinterpret_cast<ULONG_PTR>(loadLibrary) - reinterpret_cast<ULONG_PTR>(holder));

    const size_t bytes = (path.size() + 1) * sizeof(wchar_t);
    RemoteMemory memory(app.process, bytes);
    if (memory.address == nullptr) {
        return Fail("VirtualAllocEx failed" + SystemMessage(GetLastError()));
    }
    if (!WriteProcessMemory(app.process, memory.address, path.c_str(), bytes, nullptr)) {
        return Fail("WriteProcessMemory failed" + SystemMessage(GetLastError()));
    }
    bool stillRunning = false;
    std::optional<DWORD> loaded =
        RunRemoteThread(app.process, remoteLoadLibrary, memory.address, timeoutMs, &stillRunning);
    if (stillRunning) {
        memory.Abandon();
    }
    if (!loaded) {
        return false;
    }
    if (*loaded == 0) {
        return Fail("LoadLibraryW of the menu probe failed inside the program");
    }
    app.probeBase = RemoteModuleBase(app.pid, path);
    if (app.probeBase == 0) {
        app.probeBase = RemoteModuleBase(app.pid, fs::path(path).filename().wstring());
    }
    if (app.probeBase == 0) {
        return Fail("the menu probe was loaded but does not appear among the program's modules");
    }
    return true;
}

// Where one of the probe's functions sits, relative to the probe's base.
std::optional<ULONG_PTR> ProbeExportOffset(const char *exportName) {
    static HMODULE local = nullptr;
    if (local == nullptr) {
        local = LoadLibraryW(ProbePath().c_str());
        if (local == nullptr) {
            Fail("cannot load the menu probe here" + SystemMessage(GetLastError()));
            return std::nullopt;
        }
    }
    auto query = reinterpret_cast<const void *>(GetProcAddress(local, exportName));
    if (query == nullptr) {
        Fail(std::string("the menu probe exports no ") + exportName);
        return std::nullopt;
    }
    return reinterpret_cast<ULONG_PTR>(query) - reinterpret_cast<ULONG_PTR>(local);
}

MenuItem ToMenuItem(const MenuProbeItem &raw) {
    MenuItem item;
    item.level = static_cast<int>(raw.level);
    item.popup = static_cast<int>(raw.popup);
    item.position = static_cast<int>(raw.position);
    item.id = raw.id;
    item.type = raw.type;
    item.state = raw.state;
    item.text = raw.text;
    item.separator = (raw.type & MFT_SEPARATOR) != 0;
    item.grey = (raw.state & (MFS_GRAYED | MFS_DISABLED)) != 0;
    item.hasSubMenu = raw.hasSubMenu != 0;
    item.hasCheckedBitmap = raw.hasCheckedBitmap != 0;
    item.hasUncheckedBitmap = raw.hasUncheckedBitmap != 0;
    return item;
}

bool RemoveFolder(const std::wstring &folder) {
    std::error_code error;
    fs::remove_all(folder, error);
    if (error) {
        return Fail("cannot remove " + Utf8(folder) + ": " + error.message());
    }
    return true;
}

} // namespace

const std::string &LastError() {
    return lastError;
}

std::string Utf8(const std::wstring &text) {
    if (text.empty()) {
        return {};
    }
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), length, nullptr,
                        nullptr);
    return narrow;
}

std::wstring TestProgramFolder() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return fs::path(self).parent_path().wstring();
}

void BeginTest(const std::string &testName) {
    currentTest = testName;
    lastError.clear();
    const std::wstring scratch = Environment(L"GUISLA_E2E_SCRATCH");
    if (!scratch.empty()) {
        RemoveFolder(scratch + L"\\" + FolderNameOfTest());
    }
    const std::wstring shots = Environment(L"GUISLA_E2E_SHOTS");
    if (!shots.empty()) {
        RemoveFolder(shots + L"\\" + FolderNameOfTest());
    }
}

const std::string &CurrentTestName() {
    return currentTest;
}

bool WaitUntil(const std::function<bool()> &condition, DWORD timeoutMs, DWORD pollMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(pollMs);
    }
}

AppProcess::~AppProcess() {
    if (process != nullptr) {
        KillProgram(*this);
        CloseHandle(process);
    }
    if (job != nullptr) {
        CloseHandle(job);
    }
}

std::wstring PrepareProgramFolder(const std::wstring &subfolder) {
    const std::wstring source = SettingFolder(L"GUISLA_E2E_PROGRAM");
    const std::wstring scratch = SettingFolder(L"GUISLA_E2E_SCRATCH");
    if (source.empty() || scratch.empty()) {
        return {};
    }
    const fs::path folder = fs::path(scratch) / FolderNameOfTest() / subfolder;
    if (!RemoveFolder(folder.wstring())) {
        return {};
    }
    std::error_code error;
    fs::create_directories(folder, error);
    if (!error) {
        fs::copy_file(fs::path(source) / L"guisla.exe", folder / L"guisla.exe", error);
    }
    if (!error) {
        fs::copy(fs::path(source) / L"guisla", folder / L"guisla", fs::copy_options::recursive, error);
    }
    if (error) {
        Fail("cannot lay out the program in " + Utf8(folder.wstring()) + ": " + error.message());
        return {};
    }
    return folder.wstring();
}

bool StartProgram(AppProcess &app, const std::wstring &folder, const std::wstring &exeName) {
    if (app.process != nullptr) {
        return Fail("this AppProcess already holds a program");
    }
    const std::wstring exe = folder + L"\\" + exeName;
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        folder.c_str(), &startup, &info)) {
        return Fail("cannot start " + Utf8(exe) + SystemMessage(GetLastError()));
    }
    // The job ends the program when the driver's last handle to it closes, even if the driver dies.
    app.job = CreateJobObjectW(nullptr, nullptr);
    if (app.job != nullptr) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!SetInformationJobObject(app.job, JobObjectExtendedLimitInformation, &limits, sizeof(limits)) ||
            !AssignProcessToJobObject(app.job, info.hProcess)) {
            CloseHandle(app.job);
            app.job = nullptr;
        }
    }
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    app.process = info.hProcess;
    app.pid = info.dwProcessId;
    app.folder = folder;
    app.probeBase = 0;
    return true;
}

HWND LaunchProgram(AppProcess &app, DWORD timeoutMs) {
    const std::wstring folder = PrepareProgramFolder();
    if (folder.empty() || !StartProgram(app, folder)) {
        return nullptr;
    }
    return WaitForMainWindow(app, timeoutMs);
}

bool IsRunning(const AppProcess &app) {
    return app.process != nullptr && WaitForSingleObject(app.process, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> WaitForExit(AppProcess &app, DWORD timeoutMs) {
    if (app.process == nullptr) {
        Fail("no program was started");
        return std::nullopt;
    }
    if (WaitForSingleObject(app.process, timeoutMs) != WAIT_OBJECT_0) {
        Fail("the program did not end within " + std::to_string(timeoutMs) + " ms");
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(app.process, &code);
    return code;
}

void KillProgram(AppProcess &app) {
    if (IsRunning(app)) {
        TerminateProcess(app.process, 0xDEAD);
        WaitForSingleObject(app.process, 5000);
    }
}

std::vector<HWND> TopWindows(const AppProcess &app, const wchar_t *className, const wchar_t *title) {
    struct Search {
        DWORD pid;
        const wchar_t *className;
        const wchar_t *title;
        std::vector<HWND> found;
    } search{app.pid, className, title, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM parameter) -> BOOL {
            auto &s = *reinterpret_cast<Search *>(parameter);
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            if (pid != s.pid || !IsWindowVisible(hwnd)) {
                return TRUE;
            }
            if (s.className != nullptr && ClassName(hwnd) != s.className) {
                return TRUE;
            }
            if (s.title != nullptr && WindowTitle(hwnd) != s.title) {
                return TRUE;
            }
            s.found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(const AppProcess &app, const wchar_t *className, const wchar_t *title, DWORD timeoutMs) {
    HWND found = nullptr;
    bool exited = false;
    WaitUntil(
        [&] {
            std::vector<HWND> windows = TopWindows(app, className, title);
            if (!windows.empty()) {
                found = windows.front();
                return true;
            }
            exited = !IsRunning(app);
            return exited;
        },
        timeoutMs);
    if (found == nullptr) {
        Fail(std::string(exited ? "the program ended" : "timed out") + " while waiting for a window of class '" +
             (className ? Utf8(className) : "*") + "' titled '" + (title ? Utf8(title) : "*") + "'");
    }
    return found;
}

HWND WaitForMainWindow(const AppProcess &app, DWORD timeoutMs) {
    return WaitForWindow(app, nullptr, L"Mi guisla", timeoutMs);
}

bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs) {
    if (WaitUntil([&] { return !IsWindow(hwnd); }, timeoutMs)) {
        return true;
    }
    return Fail("window still there after " + std::to_string(timeoutMs) + " ms");
}

bool Settle(HWND hwnd, DWORD quietMs) {
    if (!SendWithTimeout(hwnd, WM_NULL, 0, 0, nullptr)) {
        return false;
    }
    Sleep(quietMs);
    return SendWithTimeout(hwnd, WM_NULL, 0, 0, nullptr);
}

std::wstring ClassName(HWND hwnd) {
    wchar_t buffer[256] = {};
    GetClassNameW(hwnd, buffer, static_cast<int>(std::size(buffer)));
    return buffer;
}

std::optional<WindowInfo> DescribeWindow(HWND hwnd) {
    if (!IsWindow(hwnd)) {
        Fail("not a window");
        return std::nullopt;
    }
    WindowInfo info;
    info.hwnd = hwnd;
    info.className = ClassName(hwnd);
    std::optional<std::wstring> text = ControlText(hwnd);
    info.text = text ? *text : WindowTitle(hwnd);
    info.id = GetDlgCtrlID(hwnd);
    info.style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    info.exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
    GetWindowRect(hwnd, &info.rect);
    return info;
}

std::vector<WindowInfo> ChildWindows(HWND parent) {
    std::vector<WindowInfo> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (std::optional<WindowInfo> info = DescribeWindow(child)) {
            children.push_back(*info);
        }
    }
    return children;
}

HWND Control(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) {
        Fail("no control with id " + std::to_string(id));
    }
    return control;
}

bool PostCommand(HWND window, UINT id) {
    if (!PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0)) {
        return Fail("posting command " + std::to_string(id) + " failed" + SystemMessage(GetLastError()));
    }
    return true;
}

bool PostSysCommand(HWND window, WPARAM command) {
    if (!PostMessageW(window, WM_SYSCOMMAND, command, 0)) {
        return Fail("posting WM_SYSCOMMAND failed" + SystemMessage(GetLastError()));
    }
    return true;
}

bool PostKey(HWND window, UINT virtualKey, bool alt) {
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)) << 16;
    const LPARAM context = alt ? (1 << 29) : 0;
    const LPARAM down = 1 | scan | context;
    const LPARAM up = down | (1 << 30) | (static_cast<LPARAM>(1) << 31);
    const UINT downMessage = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
    const UINT upMessage = alt ? WM_SYSKEYUP : WM_KEYUP;
    if (!PostMessageW(window, downMessage, virtualKey, down) || !PostMessageW(window, upMessage, virtualKey, up)) {
        return Fail("posting the key failed" + SystemMessage(GetLastError()));
    }
    return true;
}

bool PostClick(HWND button) {
    if (!PostMessageW(button, BM_CLICK, 0, 0)) {
        return Fail("posting BM_CLICK failed" + SystemMessage(GetLastError()));
    }
    return true;
}

bool SetControlText(HWND control, const std::wstring &text, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    if (!SendWithTimeout(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &result, timeoutMs)) {
        return false;
    }
    if (result == 0) {
        return Fail("the control refused the text");
    }
    return true;
}

std::optional<std::wstring> ControlText(HWND control, DWORD timeoutMs) {
    DWORD_PTR length = 0;
    if (!SendWithTimeout(control, WM_GETTEXTLENGTH, 0, 0, &length, timeoutMs)) {
        return std::nullopt;
    }
    // WM_GETTEXTLENGTH may overestimate (never underestimate); the copy's result is exact.
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendWithTimeout(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied, timeoutMs)) {
        return std::nullopt;
    }
    text.resize(std::min(static_cast<size_t>(copied), text.size() - 1));
    return text;
}

std::optional<int> ComboCount(HWND combo) {
    return AskIndex(combo, CB_GETCOUNT);
}

std::optional<int> ComboSelection(HWND combo) {
    DWORD_PTR result = 0;
    if (!SendWithTimeout(combo, CB_GETCURSEL, 0, 0, &result)) {
        return std::nullopt;
    }
    return static_cast<int>(static_cast<LRESULT>(result)); // -1: nothing selected
}

std::optional<std::wstring> ComboItemText(HWND combo, int index) {
    return AskItemText(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, index);
}

bool ComboSelect(HWND combo, int index, bool notifyParent) {
    DWORD_PTR result = 0;
    if (!SendWithTimeout(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, &result)) {
        return false;
    }
    if (static_cast<LRESULT>(result) != index) {
        return Fail("CB_SETCURSEL " + std::to_string(index) + " answered " +
                    std::to_string(static_cast<LRESULT>(result)));
    }
    return !notifyParent || NotifyParent(combo, CBN_SELCHANGE);
}

std::optional<int> ListCount(HWND list) {
    return AskIndex(list, LB_GETCOUNT);
}

std::optional<int> ListSelection(HWND list) {
    DWORD_PTR result = 0;
    if (!SendWithTimeout(list, LB_GETCURSEL, 0, 0, &result)) {
        return std::nullopt;
    }
    return static_cast<int>(static_cast<LRESULT>(result)); // -1: nothing selected
}

std::optional<std::wstring> ListItemText(HWND list, int index) {
    return AskItemText(list, LB_GETTEXTLEN, LB_GETTEXT, index);
}

bool ListSelect(HWND list, int index, bool notifyParent) {
    DWORD_PTR result = 0;
    if (!SendWithTimeout(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0, &result)) {
        return false;
    }
    if (static_cast<LRESULT>(result) == LB_ERR) {
        return Fail("LB_SETCURSEL " + std::to_string(index) + " failed");
    }
    return !notifyParent || NotifyParent(list, LBN_SELCHANGE);
}

bool ListDoubleClick(HWND list, int index) {
    return ListSelect(list, index, false) && NotifyParent(list, LBN_DBLCLK);
}

HWND WaitForMessageBox(const AppProcess &app, const wchar_t *caption, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            // A message box is a dialog with the text static 0xFFFF; the program's own dialogs
            // share the class "#32770" but have no such child.
            for (HWND box : TopWindows(app, L"#32770", caption)) {
                if (GetDlgItem(box, 0xFFFF) != nullptr) {
                    found = box;
                    return true;
                }
            }
            return !IsRunning(app);
        },
        timeoutMs);
    if (found == nullptr) {
        Fail("no message box" + (caption ? " titled '" + Utf8(caption) + "'" : std::string()) + " appeared within " +
             std::to_string(timeoutMs) + " ms");
    }
    return found;
}

std::optional<std::wstring> MessageBoxText(HWND box) {
    HWND text = GetDlgItem(box, 0xFFFF);
    if (text == nullptr) {
        Fail("the window has no message text (static 0xFFFF)");
        return std::nullopt;
    }
    return ControlText(text);
}

std::vector<WindowInfo> Buttons(HWND dialog) {
    std::vector<WindowInfo> buttons;
    for (WindowInfo &child : ChildWindows(dialog)) {
        if (SameTextIgnoringCase(child.className, L"Button")) {
            buttons.push_back(child);
        }
    }
    return buttons;
}

bool CloseMessageBox(HWND box, int buttonId, DWORD timeoutMs) {
    HWND button = GetDlgItem(box, buttonId);
    if (button == nullptr) {
        return Fail("the box has no button " + std::to_string(buttonId));
    }
    // What a click on the button sends its dialog.
    if (!PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button))) {
        return Fail("posting the button's command failed" + SystemMessage(GetLastError()));
    }
    return WaitForWindowGone(box, timeoutMs);
}

std::optional<MenuBar> ReadMenu(AppProcess &app, HWND window, DWORD timeoutMs) {
    if (!IsRunning(app)) {
        Fail("the program is not running");
        return std::nullopt;
    }
    if (!EnsureProbe(app, timeoutMs)) {
        return std::nullopt;
    }
    std::optional<ULONG_PTR> offset = ProbeExportOffset(GUISLA_MENU_PROBE_EXPORT);
    if (!offset) {
        return std::nullopt;
    }
    auto block = std::make_unique<MenuProbeBlock>();
    *block = {};
    block->magic = kMenuProbeMagic;
    block->window = reinterpret_cast<ULONG_PTR>(window);
    RemoteMemory memory(app.process, sizeof(MenuProbeBlock));
    if (memory.address == nullptr) {
        Fail("VirtualAllocEx failed" + SystemMessage(GetLastError()));
        return std::nullopt;
    }
    if (!WriteProcessMemory(app.process, memory.address, block.get(), sizeof(MenuProbeBlock), nullptr)) {
        Fail("WriteProcessMemory failed" + SystemMessage(GetLastError()));
        return std::nullopt;
    }
    bool stillRunning = false;
    std::optional<DWORD> status =
        RunRemoteThread(app.process, app.probeBase + *offset, memory.address, timeoutMs, &stillRunning);
    if (stillRunning) {
        memory.Abandon();
    }
    if (!status) {
        return std::nullopt;
    }
    if (!ReadProcessMemory(app.process, memory.address, block.get(), sizeof(MenuProbeBlock), nullptr)) {
        Fail("ReadProcessMemory failed" + SystemMessage(GetLastError()));
        return std::nullopt;
    }
    if (block->status != kMenuProbeOk) {
        Fail("the menu probe answered status " + std::to_string(block->status));
        return std::nullopt;
    }
    MenuBar bar;
    bar.present = block->menuPresent != 0;
    for (std::uint32_t i = 0; i < block->count && i < kMenuProbeMaxItems; ++i) {
        bar.items.push_back(ToMenuItem(block->items[i]));
    }
    return bar;
}

std::optional<bool> HasMenuBar(AppProcess &app, HWND window, DWORD timeoutMs) {
    std::optional<MenuBar> bar = ReadMenu(app, window, timeoutMs);
    if (!bar) {
        return std::nullopt;
    }
    return bar->present;
}

std::vector<MenuItem> PopupItems(const MenuBar &bar, const std::wstring &popupText) {
    std::vector<MenuItem> items;
    int popup = -1;
    for (const MenuItem &item : bar.items) {
        if (item.level == 0 && item.text == popupText) {
            popup = item.popup;
        }
    }
    for (const MenuItem &item : bar.items) {
        if (item.level == 1 && item.popup == popup) {
            items.push_back(item);
        }
    }
    return items;
}

const MenuItem *FindMenuItem(const MenuBar &bar, UINT id) {
    for (const MenuItem &item : bar.items) {
        if (item.level == 1 && !item.separator && item.id == id) {
            return &item;
        }
    }
    return nullptr;
}

std::wstring TakeScreenshot(const std::wstring &name, DWORD timeoutMs) {
    const std::wstring root = SettingFolder(L"GUISLA_E2E_SHOTS");
    if (root.empty()) {
        return {};
    }
    const fs::path folder = fs::path(root) / FolderNameOfTest();
    std::error_code error;
    fs::create_directories(folder, error);
    const fs::path picture = folder / (name + L".png");
    const fs::path failed = folder / (name + L".failed");
    const fs::path request = folder / (name + L".request");
    fs::remove(picture, error);
    fs::remove(failed, error);
    // The wrapper script serves requests: it writes the picture under a temporary name and renames
    // it, so the picture appears whole; on failure it writes <name>.failed with the reason.
    HandleHolder file(CreateFileW(request.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (file.handle == INVALID_HANDLE_VALUE) {
        Fail("cannot write the screenshot request " + Utf8(request.wstring()) + SystemMessage(GetLastError()));
        return {};
    }
    const std::string content = Utf8(name) + "\n";
    DWORD written = 0;
    WriteFile(file.handle, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file.handle);
    file.handle = nullptr;

    if (!WaitUntil([&] { return fs::exists(picture, error) || fs::exists(failed, error); }, timeoutMs, 50)) {
        fs::remove(request, error);
        Fail("no screenshot after " + std::to_string(timeoutMs) + " ms (is run_e2e.sh serving requests?)");
        return {};
    }
    if (!fs::exists(picture, error)) {
        Fail("the screenshot failed; see " + Utf8(failed.wstring()));
        return {};
    }
    return picture.wstring();
}

std::wstring ExpectedPictureCacheFolder() {
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        const wchar_t root[] = {letter, L':', L'\\', L'\0'};
        if (GetDriveTypeW(root) == DRIVE_FIXED) {
            return std::wstring(root) + L"quelmo cache";
        }
    }
    return L"\\quelmo cache";
}

bool IsDirectory(const std::wstring &path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<unsigned long long> ProcessCpuTime(const AppProcess &app) {
    FILETIME created, ended, kernel, user;
    if (app.process == nullptr || !GetProcessTimes(app.process, &created, &ended, &kernel, &user)) {
        Fail("GetProcessTimes failed" + SystemMessage(GetLastError()));
        return std::nullopt;
    }
    auto value = [](const FILETIME &t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return value(kernel) + value(user);
}

std::optional<unsigned> HandleHighWater(AppProcess &app, HandleProbeKind kind, DWORD timeoutMs) {
    if (!IsRunning(app)) {
        Fail("the program is not running");
        return std::nullopt;
    }
    if (!EnsureProbe(app, timeoutMs)) {
        return std::nullopt;
    }
    std::optional<ULONG_PTR> offset = ProbeExportOffset(GUISLA_HANDLE_PROBE_EXPORT);
    if (!offset) {
        return std::nullopt;
    }
    bool stillRunning = false;
    std::optional<DWORD> highest =
        RunRemoteThread(app.process, app.probeBase + *offset, reinterpret_cast<void *>(static_cast<ULONG_PTR>(kind)),
                        timeoutMs, &stillRunning);
    if (!highest) {
        return std::nullopt;
    }
    return static_cast<unsigned>(*highest);
}

std::optional<ProgramMemory> MemoryOf(const AppProcess &app) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(app.process, &counters, sizeof(counters))) {
        Fail("GetProcessMemoryInfo failed" + SystemMessage(GetLastError()));
        return std::nullopt;
    }
    ProgramMemory memory;
    memory.workingSet = counters.WorkingSetSize;
    memory.privateBytes = counters.PagefileUsage;
    memory.peakWorkingSet = counters.PeakWorkingSetSize;
    memory.peakPrivateBytes = counters.PeakPagefileUsage;
    return memory;
}

} // namespace e2e
