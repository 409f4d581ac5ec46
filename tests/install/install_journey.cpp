// The installer end to end: installed silently for the current user, the installed program started
// from its Start menu place and used to save a recipe, installed again over itself, uninstalled;
// the recipes must come through every step byte for byte. A second journey checks that without
// recipes the uninstaller leaves nothing behind.
//
// Settings from the environment (set by tests/install/CMakeLists.txt, Windows paths):
//   GUISLA_INSTALLER  the installer to test
//   GUISLA_VERSION    the version it must carry (the project's version)
// The journeys install into the real per-user places of the test's Wine prefix and remove what
// they leave at the start and at the end.
#include "driver.h"
#include "recipe_steps.h"
#include "menu_mode.h"

#include "resources/resource_ids.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

using namespace e2e;

namespace {

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mi guisla";
const wchar_t kSaved[] = L"Receta Guardada ...\r\nQue disfrutes tu receta uuuuummmm!!! ....";
constexpr DWORD kPackageTimeoutMs = 120000;

std::wstring Environment(const wchar_t *name) {
    wchar_t value[MAX_PATH * 2] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, static_cast<DWORD>(std::size(value)));
    return length > 0 && length < std::size(value) ? std::wstring(value, length) : std::wstring();
}

std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : L"";
}

std::wstring InstallFolder() {
    return ShellFolder(CSIDL_LOCAL_APPDATA) + L"\\Programs\\Mi guisla";
}

std::wstring ShortcutPath() {
    return ShellFolder(CSIDL_PROGRAMS) + L"\\Mi guisla.lnk";
}

bool Exists(const std::wstring &path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool UninstallKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// Removes whatever an earlier (failed) run left: the folder, the shortcut and the uninstall entry.
void RemoveInstallation() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(InstallFolder()), ignored);
    DeleteFileW(ShortcutPath().c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, kUninstallKey);
}

// Runs a command line (as typed, unquoted arguments kept as they are) and waits for it; its exit
// code, or nothing when it could not start or did not end in time.
std::optional<DWORD> RunAndWait(std::wstring commandLine, DWORD timeoutMs = kPackageTimeoutMs) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        return std::nullopt;
    }
    std::optional<DWORD> result;
    if (WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD code = 0;
        if (GetExitCodeProcess(info.hProcess, &code)) {
            result = code;
        }
    } else {
        TerminateProcess(info.hProcess, 99);
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return result;
}

std::optional<DWORD> RunInstaller() {
    return RunAndWait(L"\"" + Environment(L"GUISLA_INSTALLER") + L"\" /S");
}

// The uninstaller copies itself elsewhere and returns at once unless told its folder with "_?=",
// which must come last and unquoted.
std::optional<DWORD> RunUninstaller() {
    return RunAndWait(L"\"" + InstallFolder() + L"\\Uninstall.exe\" /S _?=" + InstallFolder());
}

// A string of the executable's version resource, in the resource's first language.
std::wstring VersionString(const std::wstring &exe, const wchar_t *name) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    if (size == 0) {
        return L"";
    }
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(exe.c_str(), 0, size, block.data())) {
        return L"";
    }
    struct Translation {
        WORD language;
        WORD codePage;
    } *translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void **>(&translation),
                        &length) ||
        length < sizeof(Translation)) {
        return L"";
    }
    wchar_t query[128];
    swprintf(query, std::size(query), L"\\StringFileInfo\\%04x%04x\\%ls", translation->language, translation->codePage,
             name);
    wchar_t *value = nullptr;
    if (!VerQueryValueW(block.data(), query, reinterpret_cast<void **>(&value), &length) || length == 0) {
        return L"";
    }
    return value;
}

// What a shell link points at and where its icon comes from.
struct Shortcut {
    std::wstring target;
    std::wstring iconPath;
    int iconIndex = -1;
};

std::optional<Shortcut> ReadShortcut(const std::wstring &path) {
    std::optional<Shortcut> result;
    IShellLinkW *link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void **>(&link)))) {
        return result;
    }
    IPersistFile *file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file)))) {
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
            wchar_t target[MAX_PATH] = {};
            wchar_t icon[MAX_PATH] = {};
            int index = -1;
            if (SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, 0)) &&
                SUCCEEDED(link->GetIconLocation(icon, MAX_PATH, &index))) {
                result = Shortcut{target, icon, index};
            }
        }
        file->Release();
    }
    link->Release();
    return result;
}

// Paths compare without regard to case, as the file system does.
bool SamePath(const std::wstring &a, const std::wstring &b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// Under Wine, saving a shell link runs winemenubuilder, which puts a menu entry and icons into the
// desktop of the machine running the tests. Disabled in the test prefix's own settings (an override
// in the environment does not reach the processes the shell starts); nothing to do on Windows.
void DisableWineMenuBuilder() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr) {
        return;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        const wchar_t disabled[] = L"";
        RegSetValueExW(key, L"winemenubuilder.exe", 0, REG_SZ, reinterpret_cast<const BYTE *>(disabled),
                       sizeof(disabled));
        RegCloseKey(key);
    }
}

class Install : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(Environment(L"GUISLA_INSTALLER").empty()) << "GUISLA_INSTALLER is not set";
        ASSERT_TRUE(Exists(Environment(L"GUISLA_INSTALLER")));
        ASSERT_FALSE(ShellFolder(CSIDL_LOCAL_APPDATA).empty());
        DisableWineMenuBuilder();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        RemoveInstallation();
    }
    void TearDown() override {
        RemoveInstallation();
        CoUninitialize();
    }
};

TEST_F(Install, SavedRecipesSurviveReinstallAndUninstall) {
    const std::wstring folder = InstallFolder();
    ASSERT_EQ(RunInstaller(), std::optional<DWORD>(0u));

    // What the installer lays down, and where.
    EXPECT_TRUE(Exists(folder + L"\\guisla.exe"));
    EXPECT_TRUE(Exists(folder + L"\\guisla-tool.exe"));
    EXPECT_TRUE(Exists(folder + L"\\Uninstall.exe"));
    const std::vector<uint8_t> builtSchema =
        ReadFileBytes(Environment(L"GUISLA_E2E_PROGRAM") + L"\\guisla\\guisla.z04");
    ASSERT_FALSE(builtSchema.empty());
    EXPECT_EQ(ReadFileBytes(folder + L"\\guisla\\guisla.z04"), builtSchema);
    EXPECT_FALSE(Exists(folder + L"\\guisla\\guisla.zbd")) << "the installer must not lay down a data file";
    EXPECT_TRUE(UninstallKeyExists());
    EXPECT_EQ(VersionString(folder + L"\\guisla.exe", L"ProductName"), L"Mi guisla");
    EXPECT_EQ(VersionString(folder + L"\\guisla.exe", L"ProductVersion"), Environment(L"GUISLA_VERSION"));
    const std::optional<Shortcut> shortcut = ReadShortcut(ShortcutPath());
    ASSERT_TRUE(shortcut.has_value()) << "no Start menu shortcut " << Utf8(ShortcutPath());
    EXPECT_TRUE(SamePath(shortcut->target, folder + L"\\guisla.exe")) << Utf8(shortcut->target);
    EXPECT_TRUE(SamePath(shortcut->iconPath, folder + L"\\guisla.exe")) << Utf8(shortcut->iconPath);
    EXPECT_EQ(shortcut->iconIndex, 0);

    // The installed program, started where the shortcut starts it, saves a recipe into its folder.
    {
        AppProcess app;
        ASSERT_TRUE(StartProgram(app, folder)) << LastError();
        HWND main = WaitForMainWindow(app);
        ASSERT_NE(main, nullptr) << LastError();
        ASSERT_TRUE(PostCommand(main, IDM_NEW)) << LastError();
        ASSERT_EQ(WaitForMenuMode(app, main, MenuMode::Editing), "");
        ASSERT_TRUE(EnterDishAndCategory(app, main, L"Cocido madrileño", 4)) << LastError();
        ASSERT_TRUE(EnterText(app, main, IDM_INSERT_INGREDIENTS, IDC_INGREDIENTS_TEXT, IDC_INGREDIENTS_ACCEPT,
                              L"Garbanzos, morcillo, tocino, chorizo, repollo."))
            << LastError();
        ASSERT_TRUE(EnterText(app, main, IDM_INSERT_ELABORATION, IDC_ELABORATION_TEXT, IDC_ELABORATION_ACCEPT,
                              L"Cocer a fuego lento tres horas."))
            << LastError();
        ASSERT_TRUE(PostCommand(main, IDM_SAVE_RECIPE)) << LastError();
        HWND box = WaitForMessageBox(app, L"Programador", 60000);
        ASSERT_NE(box, nullptr) << LastError();
        EXPECT_EQ(MessageBoxText(box).value_or(L""), kSaved);
        ASSERT_TRUE(CloseMessageBox(box)) << LastError();
        ASSERT_EQ(WaitForMenuMode(app, main, MenuMode::Browsing), "");
        ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
        EXPECT_EQ(WaitForExit(app).value_or(999), 0u) << LastError();
    }
    const std::wstring dataFile = folder + L"\\guisla\\guisla.zbd";
    const std::vector<uint8_t> recipes = ReadFileBytes(dataFile);
    ASSERT_FALSE(recipes.empty()) << "the save wrote nothing";
    EXPECT_EQ(recipes.size() % 38, 0u);

    // Installing over it: the program and the schema are laid down again (a damaged schema is
    // replaced), the recipes are kept as they were.
    {
        std::ofstream damage(std::filesystem::path(folder + L"\\guisla\\guisla.z04"),
                             std::ios::binary | std::ios::trunc);
        damage << "old";
    }
    ASSERT_EQ(RunInstaller(), std::optional<DWORD>(0u));
    EXPECT_EQ(ReadFileBytes(folder + L"\\guisla\\guisla.z04"), builtSchema);
    EXPECT_EQ(ReadFileBytes(dataFile), recipes);
    {
        AppProcess app;
        ASSERT_TRUE(StartProgram(app, folder)) << LastError();
        HWND main = WaitForMainWindow(app);
        ASSERT_NE(main, nullptr) << LastError();
        ASSERT_TRUE(Settle(main)) << LastError();
        EXPECT_FALSE(TakeScreenshot(L"instalado").empty()) << LastError();
        ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
        EXPECT_EQ(WaitForExit(app).value_or(999), 0u) << LastError();
    }

    // Uninstalling: the program, its shortcut and its entry go; the recipes stay, byte for byte,
    // in their folder with the schema they are read with.
    ASSERT_EQ(RunUninstaller(), std::optional<DWORD>(0u));
    EXPECT_FALSE(Exists(folder + L"\\guisla.exe"));
    EXPECT_FALSE(Exists(folder + L"\\guisla-tool.exe"));
    EXPECT_FALSE(Exists(ShortcutPath()));
    EXPECT_FALSE(UninstallKeyExists());
    EXPECT_EQ(ReadFileBytes(dataFile), recipes);
    EXPECT_EQ(ReadFileBytes(folder + L"\\guisla\\guisla.z04"), builtSchema);
}

TEST_F(Install, UninstallWithoutRecipesLeavesNothing) {
    const std::wstring folder = InstallFolder();
    ASSERT_EQ(RunInstaller(), std::optional<DWORD>(0u));
    ASSERT_TRUE(Exists(folder + L"\\guisla.exe"));
    ASSERT_EQ(RunUninstaller(), std::optional<DWORD>(0u));
    EXPECT_FALSE(Exists(folder + L"\\guisla.exe"));
    EXPECT_FALSE(Exists(folder + L"\\guisla")) << "the empty store folder should go";
    EXPECT_FALSE(Exists(ShortcutPath()));
    // Run with "_?=" the uninstaller cannot delete its own running file, so only it may remain.
    std::vector<std::wstring> left;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(std::filesystem::path(folder), error)) {
        left.push_back(entry.path().filename().wstring());
    }
    EXPECT_TRUE(left.empty() || (left.size() == 1 && SamePath(left[0], L"Uninstall.exe")))
        << left.size() << " entries left in the install folder";
}

} // namespace
