// Faults the program must survive without losing recipes: killed in the middle of saving a big
// picture, its data file held by another program while it searches and saves, and two copies of it
// working on one store at once. The data file is checked from outside with its documented record
// layout, and through the program's own search after a restart.
#include "driver.h"
#include "recipe_steps.h"
#include "menu_mode.h"

#include "resources/resource_ids.h"
#include "store/record_codec.h"

#include <commctrl.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

using namespace e2e;

namespace {

const wchar_t kEntryTitle[] = L"Introduce Datos";
const wchar_t kPictureDialogTitle[] = L"Navegador de ficheros para imagen";
const wchar_t kSearchTitle[] = L"Buscar Receta";
const wchar_t kSaved[] = L"Receta Guardada ...\r\nQue disfrutes tu receta uuuuummmm!!! ....";
const wchar_t kSaveBusy[] =
    L"No puedo grabar, Error ...\r\nOtro programa est\u00E1 usando la Base de Datos. La receta no "
    L"se ha guardado: int\u00E9ntalo de nuevo ...";
const wchar_t kSearchBusy[] = L"Otro programa est\u00E1 usando la Base de Datos ...\r\nInt\u00E9ntalo de nuevo ...";
constexpr int kSopas = 7; // list line of "08 - Sopas"

// One data record of the documented 38-byte layout.
void AppendRecord(std::vector<uint8_t> &bytes, const std::string &name, uint8_t value, int64_t key, bool last) {
    const size_t at = bytes.size();
    bytes.resize(at + kRecordSize, 0);
    uint8_t *p = &bytes[at];
    PutI32LE(p + kRecordAttribute0, 1);
    p[kRecordValueByte] = value;
    std::copy(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(std::min(name.size(), kMaxNameLength)),
              p + kRecordFieldName);
    PutI16LE(p + kRecordMaxLength, 50);
    PutI64LE(p + kRecordKey, key);
    PutI32LE(p + kRecordLastFlag, last ? 1 : 0);
}

void AppendRecipe(std::vector<uint8_t> &bytes, int64_t key, const std::string &dish, const std::string &category) {
    const std::pair<const char *, std::string> values[] = {
        {"Plato", dish}, {"Ingredientes", "Agua\r\nsal"}, {"Preparaci\xF3n", "Cocer."}, {"Categoria", category}};
    for (const auto &[name, value] : values) {
        for (size_t i = 0; i < value.size(); ++i) {
            AppendRecord(bytes, name, static_cast<uint8_t>(value[i]), key, i + 1 == value.size());
        }
    }
}

// The complete values of a data file by key and field name, read by the store's rule (a run of one
// name and key ends at lastFlag 1; a record of another name in between starts it again; the first
// complete value wins); records of an incomplete tail are ignored.
using StoreValues = std::map<int64_t, std::map<std::string, std::string>>;
StoreValues ReadStoreValues(const std::vector<uint8_t> &data, int64_t *lastKey = nullptr) {
    StoreValues values;
    std::map<std::pair<std::string, int64_t>, std::string> pending;
    std::string previousName;
    for (size_t at = 0; at + kRecordSize <= data.size(); at += kRecordSize) {
        const uint8_t *p = &data[at];
        const char *raw = reinterpret_cast<const char *>(p + kRecordFieldName);
        const std::string name(raw, strnlen(raw, kNameFieldSize));
        const int64_t key = GetI64LE(p + kRecordKey);
        if (lastKey != nullptr) {
            *lastKey = key;
        }
        if (name != previousName) {
            pending.clear();
        }
        previousName = name;
        std::string &run = pending[{name, key}];
        run.push_back(static_cast<char>(p[kRecordValueByte]));
        if (GetI32LE(p + kRecordLastFlag) == 1) {
            values[key].emplace(name, run); // the first complete value wins
            run.clear();
        }
    }
    return values;
}

// "Nuevo", then a dish of "08 - Sopas" with its two texts, and a picture when `picture` is given.
bool EnterRecipe(const AppProcess &app, HWND main, const std::wstring &dish, const std::wstring &picture = L"") {
    if (!PostCommand(main, IDM_NEW) || !PostCommand(main, IDM_INSERT_DISH_CATEGORY)) {
        return false;
    }
    HWND dialog = WaitForWindow(app, L"#32770", kEntryTitle);
    if (dialog == nullptr || !SetControlText(Control(dialog, IDC_DISH_NAME_EDIT), dish) ||
        !ComboSelect(Control(dialog, IDC_CATEGORY_LIST), kSopas) || !Settle(dialog, 50) ||
        !PostClick(Control(dialog, IDC_DISH_NAME_ACCEPT)) || !WaitForWindowGone(dialog)) {
        return false;
    }
    if (!EnterText(app, main, IDM_INSERT_INGREDIENTS, IDC_INGREDIENTS_TEXT, IDC_INGREDIENTS_ACCEPT,
                   L"Ingredientes de " + dish) ||
        !EnterText(app, main, IDM_INSERT_ELABORATION, IDC_ELABORATION_TEXT, IDC_ELABORATION_ACCEPT,
                   L"Elaboraci\u00F3n de " + dish)) {
        return false;
    }
    if (picture.empty()) {
        return true;
    }
    if (!PostCommand(main, IDM_INSERT_PICTURE)) {
        return false;
    }
    HWND fileDialog = WaitForWindow(app, L"#32770", kPictureDialogTitle);
    return fileDialog != nullptr && SetControlText(Control(fileDialog, cmb13), picture) &&
           PostMessageW(fileDialog, WM_COMMAND, IDOK, 0) && WaitForWindowGone(fileDialog) && Settle(main, 100);
}

// "Grabar Receta" and the message it ends with (closed); "" when none came.
std::wstring SaveAndReadMessage(const AppProcess &app, HWND main, DWORD timeoutMs = 60000) {
    if (!PostCommand(main, IDM_SAVE_RECIPE)) {
        return L"";
    }
    HWND box = WaitForMessageBox(app, L"Programador", timeoutMs);
    if (box == nullptr) {
        return L"";
    }
    const std::wstring text = MessageBoxText(box).value_or(L"<unreadable>");
    CloseMessageBox(box);
    return text;
}

// Waits for the progress window of a save and for its bar to reach `position`; false when the
// save ended before that.
bool WaitForProgress(const AppProcess &app, int position) {
    HWND progress = WaitForWindow(app, L"#32770", L"Dialog1", 20000);
    if (progress == nullptr) {
        return false;
    }
    return WaitUntil(
               [&] {
                   DWORD_PTR at = 0;
                   return !IsWindow(progress) || (SendMessageTimeoutW(Control(progress, IDC_PROGRESS_BAR), PBM_GETPOS,
                                                                      0, 0, SMTO_ABORTIFHUNG, 1000, &at) &&
                                                  static_cast<int>(at) >= position);
               },
               20000, 5) &&
           IsWindow(progress);
}

// "Buscar Receta" in "08 - Sopas": the message after "Buscar" (closed) and the result lines. The
// dialog is left open in *dialogOut when given, else closed with "Salir".
struct SearchOutcome {
    std::wstring message;
    std::vector<std::wstring> lines;
};
std::optional<SearchOutcome> SearchSopas(const AppProcess &app, HWND main, HWND *dialogOut = nullptr,
                                         DWORD messageTimeoutMs = 20000) {
    if (!PostCommand(main, IDM_SEARCH_RECIPE)) {
        return std::nullopt;
    }
    HWND dialog = WaitForWindow(app, L"#32770", kSearchTitle);
    if (dialog == nullptr || !ComboSelect(Control(dialog, IDC_SEARCH_CATEGORY), kSopas) || !Settle(dialog, 50) ||
        !PostClick(Control(dialog, IDC_SEARCH_BUTTON))) {
        return std::nullopt;
    }
    HWND box = WaitForMessageBox(app, L"Programador", messageTimeoutMs);
    if (box == nullptr) {
        return std::nullopt;
    }
    SearchOutcome outcome;
    outcome.message = MessageBoxText(box).value_or(L"<unreadable>");
    // The dialog holds its commands off until the search has ended behind the message.
    if (!CloseMessageBox(box) || !Settle(dialog, 100)) {
        return std::nullopt;
    }
    HWND list = Control(dialog, IDC_SEARCH_RESULTS);
    for (int i = 0; i < ListCount(list).value_or(0); ++i) {
        outcome.lines.push_back(ListItemText(list, i).value_or(L"<unreadable>"));
    }
    if (dialogOut != nullptr) {
        *dialogOut = dialog;
    } else if (!PostClick(Control(dialog, IDC_SEARCH_EXIT)) || !WaitForWindowGone(dialog)) {
        return std::nullopt;
    }
    return outcome;
}

// The store every fault test starts from: three recipes, two of them soups.
std::vector<uint8_t> StartingStore() {
    std::vector<uint8_t> bytes;
    AppendRecipe(bytes, 1, "Caldo gallego", "Sopas");
    AppendRecipe(bytes, 2, "Paella", "Arroz");
    AppendRecipe(bytes, 3, "Sopa de ajo", "Sopas");
    return bytes;
}

// Holds a file open with no sharing, as another program writing it would.
struct HeldFile {
    HANDLE handle = INVALID_HANDLE_VALUE;
    explicit HeldFile(const std::wstring &path)
        : handle(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    void Release() {
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
            handle = INVALID_HANDLE_VALUE;
        }
    }
    ~HeldFile() { Release(); }
};

} // namespace

TEST(Faults, KilledWhileSavingABigPictureLosesNothingSavedBefore) {
    const std::wstring folder = PrepareProgramFolder();
    ASSERT_FALSE(folder.empty()) << LastError();
    const std::wstring dataPath = folder + L"\\guisla\\guisla.zbd";
    ASSERT_TRUE(WriteFileBytes(dataPath, StartingStore()));
    const std::wstring picture = folder + L"\\olla grande.bmp";
    ASSERT_TRUE(WriteFileBytes(picture, GradientBmp(2400, 1700, 120))); // 12 MB
    AppProcess app;
    ASSERT_TRUE(StartProgram(app, folder)) << LastError();
    HWND main = WaitForMainWindow(app);
    ASSERT_NE(main, nullptr) << LastError();

    // One recipe saved by the program itself, then the big one, killed while its picture is written.
    ASSERT_TRUE(EnterRecipe(app, main, L"Sopa castellana")) << LastError();
    ASSERT_EQ(SaveAndReadMessage(app, main), kSaved) << LastError();
    const std::vector<uint8_t> before = ReadFileBytes(dataPath);
    ASSERT_TRUE(EnterRecipe(app, main, L"Cocido madrile\u00F1o", picture)) << LastError();
    ASSERT_TRUE(PostCommand(main, IDM_SAVE_RECIPE)) << LastError();
    ASSERT_TRUE(WaitForProgress(app, 10)) << "the save ended before it could be cut short " << LastError();
    KillProgram(app);

    const std::vector<uint8_t> after = ReadFileBytes(dataPath);
    ASSERT_GT(after.size(), before.size()) << "the cut-short save wrote something";
    EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin())) << "what was saved before is untouched";
    int64_t lastKey = 0;
    StoreValues values = ReadStoreValues(after, &lastKey);
    EXPECT_EQ(lastKey, 5);
    EXPECT_EQ(values[5].count("Categoria"), 0u) << "the cut-short recipe has no category";
    EXPECT_EQ(values[4]["Plato"], "Sopa castellana");
    EXPECT_EQ(values[4]["Categoria"], "Sopas");

    // On restart the search lists the earlier soups only, and they open intact.
    AppProcess again;
    ASSERT_TRUE(StartProgram(again, folder)) << LastError();
    main = WaitForMainWindow(again);
    ASSERT_NE(main, nullptr) << LastError();
    HWND dialog = nullptr;
    std::optional<SearchOutcome> found = SearchSopas(again, main, &dialog);
    ASSERT_TRUE(found) << LastError();
    EXPECT_EQ(found->message, L"3 Resultados ...");
    EXPECT_EQ(found->lines,
              (std::vector<std::wstring>{L"0001 Caldo gallego", L"0002 Sopa de ajo", L"0003 Sopa castellana"}));
    ASSERT_TRUE(ListDoubleClick(Control(dialog, IDC_SEARCH_RESULTS), 2)) << LastError();
    // It was saved without a picture: it opens with an empty picture box and no message.
    ASSERT_TRUE(WaitForWindowGone(dialog)) << LastError();
    HWND box = WaitForMessageBox(again, nullptr, 1500);
    EXPECT_EQ(box, nullptr) << Utf8(MessageBoxText(box).value_or(L""));
    if (box != nullptr) {
        CloseMessageBox(box);
    }
    EXPECT_EQ(ControlText(Control(main, IDC_INGREDIENTS_BOX)).value_or(L""), L"Ingredientes de Sopa castellana");
    EXPECT_EQ(ControlText(Control(main, IDC_ELABORATION_BOX)).value_or(L""), L"Elaboraci\u00F3n de Sopa castellana");

    // The next save works, under the key after the cut-short one, and is found.
    ASSERT_TRUE(EnterRecipe(again, main, L"Sopa de pescado")) << LastError();
    ASSERT_EQ(SaveAndReadMessage(again, main), kSaved) << LastError();
    values = ReadStoreValues(ReadFileBytes(dataPath), &lastKey);
    EXPECT_EQ(lastKey, 6);
    EXPECT_EQ(values[6]["Plato"], "Sopa de pescado");
    EXPECT_EQ(values[6]["Categoria"], "Sopas");
    found = SearchSopas(again, main);
    ASSERT_TRUE(found) << LastError();
    EXPECT_EQ(found->message, L"4 Resultados ...");
    ASSERT_EQ(found->lines.size(), 4u);
    EXPECT_EQ(found->lines[3], L"0004 Sopa de pescado");
    ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
    EXPECT_EQ(WaitForExit(again).value_or(999), 0u) << LastError();
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::path(dataPath), ignored); // hundreds of megabytes
}

TEST(Faults, StoreHeldByAnotherProgramSearchAndSaveSayWhyOrWait) {
    const std::wstring folder = PrepareProgramFolder();
    ASSERT_FALSE(folder.empty()) << LastError();
    const std::wstring dataPath = folder + L"\\guisla\\guisla.zbd";
    const std::vector<uint8_t> store = StartingStore();
    ASSERT_TRUE(WriteFileBytes(dataPath, store));
    AppProcess app;
    ASSERT_TRUE(StartProgram(app, folder)) << LastError();
    HWND main = WaitForMainWindow(app);
    ASSERT_NE(main, nullptr) << LastError();

    // Held for good: the search and the save both say why they could not act.
    {
        HeldFile held(dataPath);
        ASSERT_NE(held.handle, INVALID_HANDLE_VALUE);
        std::optional<SearchOutcome> found = SearchSopas(app, main);
        ASSERT_TRUE(found) << LastError();
        EXPECT_EQ(found->message, kSearchBusy);
        EXPECT_TRUE(found->lines.empty());
        ASSERT_TRUE(EnterRecipe(app, main, L"Sopa de cebolla")) << LastError();
        EXPECT_EQ(SaveAndReadMessage(app, main), kSaveBusy);
        EXPECT_EQ(WaitForMenuMode(app, main, MenuMode::Editing), "") << "the recipe stays to be saved again";
    }
    EXPECT_EQ(ReadFileBytes(dataPath), store) << "nothing written while held";

    // Held briefly: both wait and then act.
    {
        auto held = std::make_unique<HeldFile>(dataPath);
        std::thread release([&held] {
            Sleep(300);
            held->Release();
        });
        std::optional<SearchOutcome> found = SearchSopas(app, main);
        release.join();
        ASSERT_TRUE(found) << LastError();
        EXPECT_EQ(found->message, L"2 Resultados ...");
    }
    {
        auto held = std::make_unique<HeldFile>(dataPath);
        std::thread release([&held] {
            Sleep(300);
            held->Release();
        });
        const std::wstring message = SaveAndReadMessage(app, main);
        release.join();
        EXPECT_EQ(message, kSaved);
    }
    StoreValues values = ReadStoreValues(ReadFileBytes(dataPath));
    EXPECT_EQ(values[4]["Plato"], "Sopa de cebolla");
    EXPECT_EQ(values[4]["Categoria"], "Sopas");
    ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
    EXPECT_EQ(WaitForExit(app).value_or(999), 0u) << LastError();
}

TEST(Faults, TwoCopiesOnOneStoreLoseNothing) {
    const std::wstring folder = PrepareProgramFolder();
    ASSERT_FALSE(folder.empty()) << LastError();
    const std::wstring dataPath = folder + L"\\guisla\\guisla.zbd";
    ASSERT_TRUE(WriteFileBytes(dataPath, StartingStore()));
    const std::wstring picture = folder + L"\\fabada.bmp";
    const std::vector<uint8_t> pictureBytes = GradientBmp(1600, 1250, 120); // 6 MB
    ASSERT_TRUE(WriteFileBytes(picture, pictureBytes));
    AppProcess first, second;
    ASSERT_TRUE(StartProgram(first, folder)) << LastError();
    HWND firstMain = WaitForMainWindow(first);
    ASSERT_NE(firstMain, nullptr) << LastError();
    ASSERT_TRUE(StartProgram(second, folder)) << LastError();
    HWND secondMain = WaitForMainWindow(second);
    ASSERT_NE(secondMain, nullptr) << LastError();
    ASSERT_TRUE(EnterRecipe(second, secondMain, L"Sopa de fideos")) << LastError();

    // The first saves a big picture; meanwhile the second searches, then saves its own recipe.
    ASSERT_TRUE(EnterRecipe(first, firstMain, L"Fabada asturiana", picture)) << LastError();
    ASSERT_TRUE(PostCommand(firstMain, IDM_SAVE_RECIPE)) << LastError();
    ASSERT_TRUE(WaitForProgress(first, 1)) << LastError();
    std::optional<SearchOutcome> found = SearchSopas(second, secondMain);
    ASSERT_TRUE(found) << LastError();
    EXPECT_TRUE(found->message == L"2 Resultados ..." || found->message == L"3 Resultados ..." ||
                found->message == kSearchBusy)
        << Utf8(found->message);
    std::wstring secondSaved = SaveAndReadMessage(second, secondMain);
    EXPECT_TRUE(secondSaved == kSaved || secondSaved == kSaveBusy) << Utf8(secondSaved);
    HWND box = WaitForMessageBox(first, L"Programador", 60000);
    ASSERT_NE(box, nullptr) << LastError();
    EXPECT_EQ(MessageBoxText(box).value_or(L""), kSaved);
    ASSERT_TRUE(CloseMessageBox(box)) << LastError();
    if (secondSaved != kSaved) {
        // Told to try again: now it can.
        secondSaved = SaveAndReadMessage(second, secondMain);
        EXPECT_EQ(secondSaved, kSaved);
    }

    // Both recipes whole under their own keys, the earlier ones untouched.
    StoreValues values = ReadStoreValues(ReadFileBytes(dataPath));
    ASSERT_EQ(values.size(), 5u);
    std::map<std::string, int64_t> keyOf;
    for (const auto &[key, fields] : values) {
        keyOf[fields.count("Plato") ? fields.at("Plato") : ""] = key;
    }
    ASSERT_EQ(keyOf.count("Fabada asturiana"), 1u);
    ASSERT_EQ(keyOf.count("Sopa de fideos"), 1u);
    const auto &fabada = values[keyOf["Fabada asturiana"]];
    EXPECT_TRUE(fabada.count("Imagen") && fabada.at("Imagen") == std::string(pictureBytes.begin(), pictureBytes.end()))
        << "the picture is stored whole";
    EXPECT_EQ(fabada.count("extensi\xF3n") ? fabada.at("extensi\xF3n") : "", "bmp");
    EXPECT_EQ(values[keyOf["Sopa de fideos"]]["Categoria"], "Sopas");
    EXPECT_EQ(values[1]["Plato"], "Caldo gallego");
    EXPECT_EQ(values[3]["Plato"], "Sopa de ajo");

    // Each copy now finds all four soups; both end normally.
    for (auto [app, main] : {std::pair<AppProcess *, HWND>{&first, firstMain}, {&second, secondMain}}) {
        found = SearchSopas(*app, main);
        ASSERT_TRUE(found) << LastError();
        EXPECT_EQ(found->message, L"4 Resultados ...");
        ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
        EXPECT_EQ(WaitForExit(*app).value_or(999), 0u) << LastError();
    }
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::path(dataPath), ignored);
}

namespace {

// Where the program's handle tables and memory stand.
struct ResourceLevel {
    unsigned gdiSlot = 0;
    unsigned userSlot = 0;
    size_t privateBytes = 0;
    size_t workingSet = 0;
};

std::optional<ResourceLevel> MeasureResources(AppProcess &app) {
    const std::optional<unsigned> gdi = HandleHighWater(app, kHandleProbeGdi);
    const std::optional<unsigned> user = HandleHighWater(app, kHandleProbeUser);
    const std::optional<ProgramMemory> memory = MemoryOf(app);
    if (!gdi || !user || !memory) {
        return std::nullopt;
    }
    return ResourceLevel{*gdi, *user, memory->privateBytes, memory->workingSet};
}

// "Insertar Imagen" with this file: the picture is loaded and drawn into the picture box.
bool ShowPictureFileOnce(const AppProcess &app, HWND main, const std::wstring &picture) {
    if (!PostCommand(main, IDM_INSERT_PICTURE)) {
        return false;
    }
    HWND fileDialog = WaitForWindow(app, L"#32770", kPictureDialogTitle);
    return fileDialog != nullptr && SetControlText(Control(fileDialog, cmb13), picture) &&
           PostMessageW(fileDialog, WM_COMMAND, IDOK, 0) && WaitForWindowGone(fileDialog);
}

// A found recipe opened from the search: its stored picture goes through the cache file and is drawn.
bool ShowStoredPictureOnce(const AppProcess &app, HWND main) {
    HWND dialog = nullptr;
    const std::optional<SearchOutcome> found = SearchSopas(app, main, &dialog);
    // The last line: a recipe saved here with its picture.
    return found && !found->lines.empty() &&
           ListDoubleClick(Control(dialog, IDC_SEARCH_RESULTS), static_cast<int>(found->lines.size()) - 1) &&
           WaitForWindowGone(dialog);
}

} // namespace

TEST(Faults, SavesAndPictureDisplaysLeaveGdiObjectsAndMemoryFlat) {
    // Kept small enough for a run of well under a minute; the Win32 picture tests show a thousand
    // displays in one process.
    constexpr int kSavesPerRound = 12;          // two rounds
    constexpr int kFileDisplaysPerSave = 1;     // plus the one of the saved picture
    constexpr int kStoredDisplaysPerRound = 25; // found recipes opened with their picture
    const std::wstring folder = PrepareProgramFolder();
    ASSERT_FALSE(folder.empty()) << LastError();
    const std::wstring picture = folder + L"\\tapa.bmp";
    ASSERT_TRUE(WriteFileBytes(picture, GradientBmp(64, 48, 120)));
    AppProcess app;
    ASSERT_TRUE(StartProgram(app, folder)) << LastError();
    HWND main = WaitForMainWindow(app);
    ASSERT_NE(main, nullptr) << LastError();

    int saved = 0;
    auto round = [&](int saves, int storedDisplays) {
        for (int i = 0; i < saves; ++i) {
            ++saved;
            ASSERT_TRUE(EnterRecipe(app, main, L"Sopa n\u00FAmero " + std::to_wstring(saved), picture)) << LastError();
            for (int j = 0; j < kFileDisplaysPerSave; ++j) {
                ASSERT_TRUE(ShowPictureFileOnce(app, main, picture)) << LastError();
            }
            ASSERT_EQ(SaveAndReadMessage(app, main), kSaved) << "save " << saved << " " << LastError();
        }
        for (int i = 0; i < storedDisplays; ++i) {
            ASSERT_TRUE(ShowStoredPictureOnce(app, main)) << "display " << i << " " << LastError();
        }
        ASSERT_EQ(TopWindows(app, L"#32770", nullptr).size(), 1u) << "only the main window left open";
    };
    const auto started = std::chrono::steady_clock::now();
    round(3, 3); // the system's own caches settle
    ASSERT_FALSE(HasFatalFailure());
    const std::optional<ResourceLevel> before = MeasureResources(app);
    ASSERT_TRUE(before) << LastError();
    round(kSavesPerRound, kStoredDisplaysPerRound);
    ASSERT_FALSE(HasFatalFailure());
    const std::optional<ResourceLevel> middle = MeasureResources(app);
    ASSERT_TRUE(middle) << LastError();
    round(kSavesPerRound, kStoredDisplaysPerRound);
    ASSERT_FALSE(HasFatalFailure());
    const std::optional<ResourceLevel> after = MeasureResources(app);
    ASSERT_TRUE(after) << LastError();
    std::printf("%d saves, %d picture displays in %.1f s\n", saved,
                saved * (kFileDisplaysPerSave + 1) + 3 + 2 * kStoredDisplaysPerRound,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    for (const auto &[name, level] :
         {std::pair<const char *, const ResourceLevel &>{"before", *before}, {"middle", *middle}, {"after", *after}}) {
        std::printf("%-6s GDI slot %u, USER slot %u, private %zu KB, working set %zu KB\n", name, level.gdiSlot,
                    level.userSlot, level.privateBytes / 1024, level.workingSet / 1024);
    }
    // One GDI object kept per save or per display would move the slot up by 12 to 50 per round,
    // 24 to 100 over both. The slot wanders by up to about 10 between measurements without any
    // leak (seen: 3360, 3354, 3363), so the bound spans both rounds.
    EXPECT_LE(after->gdiSlot, before->gdiSlot + 14);
    // The USER slot is only printed: under Wine the USER handle table is the server's, shared by
    // every process of the session, so its high-water mark cannot be pinned on the program (runs
    // that check each command on its own show it flat).
    // The second round may not grow the memory the first one settled at by more than 4 MB.
    EXPECT_LE(after->privateBytes, middle->privateBytes + (4u << 20));

    ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
    EXPECT_EQ(WaitForExit(app).value_or(999), 0u) << LastError();
}
