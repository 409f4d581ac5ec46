// A week of use in one journey: twenty recipes typed into an empty store across five categories,
// half of them with a picture (PNG, JPEG, BMP and TIFF files written here through GDI+, a GIF by hand), with
// accents and texts of several lines; the program restarted; every category used searched and its
// first recipe opened with its picture; "Nuevo" and a recipe entered again; "Autor". Then the store
// the program wrote goes out with guisla-tool export --json and back in with guisla-tool import into
// an empty store: every value of every recipe comes back byte for byte, pictures included.
#include "driver.h"
#include "menu_mode.h"
#include "recipe_steps.h"

#include "resources/resource_ids.h"
#include "store/schema_table.h"
#include "store_oracle.h"

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

using namespace e2e;

namespace {

const wchar_t kSaved[] = L"Receta Guardada ...\r\nQue disfrutes tu receta uuuuummmm!!! ....";

// Writes a width x height picture of one colour in the format of `mime` with GDI+'s encoder.
bool SaveSolidPicture(const std::wstring &path, const wchar_t *mime, int width, int height, Gdiplus::ARGB colour) {
    namespace Flat = Gdiplus::DllExports;
    UINT count = 0, bytes = 0;
    if (Flat::GdipGetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) {
        return false;
    }
    std::vector<uint8_t> buffer(bytes);
    auto *encoders = reinterpret_cast<Gdiplus::ImageCodecInfo *>(buffer.data());
    if (Flat::GdipGetImageEncoders(count, bytes, encoders) != Gdiplus::Ok) {
        return false;
    }
    const CLSID *encoder = nullptr;
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(encoders[i].MimeType) == mime) {
            encoder = &encoders[i].Clsid;
        }
    }
    std::vector<Gdiplus::ARGB> pixels(static_cast<size_t>(width * height), colour);
    Gdiplus::GpBitmap *bitmap = nullptr;
    if (encoder == nullptr ||
        Flat::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB,
                                        reinterpret_cast<BYTE *>(pixels.data()), &bitmap) != Gdiplus::Ok) {
        return false;
    }
    const bool saved = Flat::GdipSaveImageToFile(bitmap, path.c_str(), encoder, nullptr) == Gdiplus::Ok;
    Flat::GdipDisposeImage(bitmap);
    return saved;
}

struct WeekRecipe {
    std::wstring dish;
    int category; // list line
    std::wstring ingredients;
    std::wstring elaboration;
    std::wstring picture; // file name in the program's folder, or empty
};

// The five categories used (list lines) with their display names as the combo shows them.
const int kCategories[] = {0, 3, 6, 7, 12};

std::vector<WeekRecipe> Week() {
    const wchar_t *pictures[] = {L"foto.png", L"foto.jpg", L"foto.gif", L"foto.bmp", L"foto.tif"};
    std::vector<WeekRecipe> week;
    for (int i = 0; i < 20; ++i) {
        WeekRecipe r;
        r.category = kCategories[i % 5];
        r.dish = L"Plato n\u00FAmero " + std::to_wstring(i + 1) + L" (\u00F1, \u00E1, \u00FC)";
        r.ingredients = L"Ingrediente " + std::to_wstring(i + 1) + L"\r\nsal y az\u00FAcar\r\nlim\u00F3n";
        r.elaboration = L"Paso 1: mezclar.\r\nPaso 2: hornear a 180\u00BA.\r\n\u00A1Listo!";
        // The first recipe of each category has a picture; later ones alternate.
        if (i < 5 || i % 2 == 0) {
            r.picture = pictures[i % 5];
        }
        week.push_back(r);
    }
    return week;
}

// Runs a console program with the working folder `folder`, its output into `log`; its exit code.
std::optional<DWORD> RunConsoleProgram(const std::wstring &exe, const std::wstring &arguments,
                                       const std::wstring &folder, const std::wstring &log) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE output = CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    if (output == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    const BOOL started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                        nullptr, folder.c_str(), &startup, &process);
    CloseHandle(output);
    if (!started) {
        return std::nullopt;
    }
    DWORD code = 999;
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// The build folder that run_e2e.sh names (guisla-tool.exe lies below it).
std::wstring BuildFolder() {
    wchar_t buffer[4096];
    const DWORD length = GetEnvironmentVariableW(L"GUISLA_E2E_PROGRAM", buffer, 4096);
    return length > 0 && length < 4096 ? std::wstring(buffer, length) : std::wstring();
}

std::string FileText(const std::wstring &path) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

TEST(Week, TwentyRecipesSavedRestartedSearchedOpenedAndEditedAgain) {
    const std::wstring folder = PrepareProgramFolder();
    ASSERT_FALSE(folder.empty()) << LastError();
    {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
        EXPECT_TRUE(SaveSolidPicture(folder + L"\\foto.png", L"image/png", 60, 40, 0xFFFF0000));
        EXPECT_TRUE(SaveSolidPicture(folder + L"\\foto.jpg", L"image/jpeg", 60, 40, 0xFF00FF00));
        // GIF by hand (Wine's GIF encoder writes a 24-byte file without the image data): one red pixel.
        const unsigned char gif[] = {'G', 'I',  'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0xFF, 0, 0, 0,   0,
                                     0,   0x2C, 0,   0,   0,   0,   1, 0, 1, 0, 0,    2, 2, 0x44, 1, 0, 0x3B};
        HANDLE file =
            CreateFileW((folder + L"\\foto.gif").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(file, gif, sizeof(gif), &written, nullptr) && written == sizeof(gif));
        CloseHandle(file);
        EXPECT_TRUE(SaveSolidPicture(folder + L"\\foto.bmp", L"image/bmp", 60, 40, 0xFFFFFF00));
        EXPECT_TRUE(SaveSolidPicture(folder + L"\\foto.tif", L"image/tiff", 60, 40, 0xFF00FFFF));
        Gdiplus::GdiplusShutdown(token);
    }
    const std::vector<WeekRecipe> week = Week();

    AppProcess app;
    ASSERT_TRUE(StartProgram(app, folder)) << LastError();
    HWND main = WaitForMainWindow(app);
    ASSERT_NE(main, nullptr) << LastError();
    for (const WeekRecipe &r : week) {
        SCOPED_TRACE(Utf8(r.dish));
        ASSERT_TRUE(PostCommand(main, IDM_NEW)) << LastError();
        ASSERT_EQ(WaitForMenuMode(app, main, MenuMode::Editing), "");
        ASSERT_TRUE(EnterDishAndCategory(app, main, r.dish, r.category)) << LastError();
        ASSERT_TRUE(
            EnterText(app, main, IDM_INSERT_INGREDIENTS, IDC_INGREDIENTS_TEXT, IDC_INGREDIENTS_ACCEPT, r.ingredients))
            << LastError();
        ASSERT_TRUE(
            EnterText(app, main, IDM_INSERT_ELABORATION, IDC_ELABORATION_TEXT, IDC_ELABORATION_ACCEPT, r.elaboration))
            << LastError();
        if (!r.picture.empty()) {
            ASSERT_TRUE(ChoosePicture(app, main, folder + L"\\" + r.picture)) << LastError();
            ASSERT_TRUE(Settle(main, 50)) << LastError();
            const std::vector<HWND> windows = TopWindows(app, L"#32770", nullptr);
            for (HWND w : windows) {
                if (w != main) {
                    ADD_FAILURE() << "message while loading the picture: " << Utf8(MessageBoxText(w).value_or(L""));
                }
            }
            ASSERT_EQ(windows.size(), 1u);
        }
        ASSERT_TRUE(PostCommand(main, IDM_SAVE_RECIPE)) << LastError();
        HWND box = WaitForMessageBox(app, L"Programador", 30000);
        ASSERT_NE(box, nullptr) << LastError();
        EXPECT_EQ(MessageBoxText(box).value_or(L""), kSaved);
        ASSERT_TRUE(CloseMessageBox(box)) << LastError();
        ASSERT_EQ(WaitForMenuMode(app, main, MenuMode::Browsing), "");
    }
    ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
    ASSERT_EQ(WaitForExit(app).value_or(999), 0u) << LastError();

    // The next day: every category used is searched and its first recipe opened.
    AppProcess again;
    ASSERT_TRUE(StartProgram(again, folder)) << LastError();
    main = WaitForMainWindow(again);
    ASSERT_NE(main, nullptr) << LastError();
    for (int category : kCategories) {
        SCOPED_TRACE("category line " + std::to_string(category));
        std::vector<const WeekRecipe *> expected;
        for (const WeekRecipe &r : week) {
            if (r.category == category) {
                expected.push_back(&r);
            }
        }
        ASSERT_TRUE(PostCommand(main, IDM_SEARCH_RECIPE)) << LastError();
        HWND dialog = WaitForWindow(again, L"#32770", L"Buscar Receta");
        ASSERT_NE(dialog, nullptr) << LastError();
        ASSERT_TRUE(ComboSelect(Control(dialog, IDC_SEARCH_CATEGORY), category)) << LastError();
        ASSERT_TRUE(Settle(dialog, 50)) << LastError();
        ASSERT_TRUE(PostClick(Control(dialog, IDC_SEARCH_BUTTON))) << LastError();
        HWND box = WaitForMessageBox(again, L"Programador");
        ASSERT_NE(box, nullptr) << LastError();
        EXPECT_EQ(MessageBoxText(box).value_or(L""), std::to_wstring(expected.size()) + L" Resultados ...");
        ASSERT_TRUE(CloseMessageBox(box)) << LastError();
        ASSERT_TRUE(Settle(dialog, 100)) << LastError();
        HWND list = Control(dialog, IDC_SEARCH_RESULTS);
        ASSERT_EQ(ListCount(list).value_or(0), static_cast<int>(expected.size()));
        for (size_t i = 0; i < expected.size(); ++i) {
            wchar_t ordinal[8];
            swprintf(ordinal, 8, L"%04zu ", i + 1);
            EXPECT_EQ(ListItemText(list, static_cast<int>(i)).value_or(L""), ordinal + expected[i]->dish);
        }
        ASSERT_TRUE(ListDoubleClick(list, 0)) << LastError();
        ASSERT_TRUE(WaitForWindowGone(dialog)) << LastError();
        EXPECT_EQ(ControlText(Control(main, IDC_DISH_NAME_BOX)).value_or(L""), expected[0]->dish);
        EXPECT_EQ(ControlText(Control(main, IDC_INGREDIENTS_BOX)).value_or(L""), expected[0]->ingredients);
        EXPECT_EQ(ControlText(Control(main, IDC_ELABORATION_BOX)).value_or(L""), expected[0]->elaboration);
        ASSERT_TRUE(Settle(main, 100)) << LastError();
        EXPECT_EQ(TopWindows(again, L"#32770", nullptr).size(), 1u) << "its picture shows without a message";
        EXPECT_EQ(WaitForMenuMode(again, main, MenuMode::Browsing), "");
    }
    EXPECT_FALSE(TakeScreenshot(L"receta-abierta").empty()) << LastError();

    // "Nuevo" empties the boxes; a recipe entered again saves as the twenty-first.
    ASSERT_TRUE(PostCommand(main, IDM_NEW)) << LastError();
    ASSERT_EQ(WaitForMenuMode(again, main, MenuMode::Editing), "");
    EXPECT_EQ(ControlText(Control(main, IDC_DISH_NAME_BOX)).value_or(L"?"), L"");
    EXPECT_EQ(ControlText(Control(main, IDC_INGREDIENTS_BOX)).value_or(L"?"), L"");
    EXPECT_EQ(ControlText(Control(main, IDC_ELABORATION_BOX)).value_or(L"?"), L"");
    ASSERT_TRUE(EnterDishAndCategory(again, main, L"Crema catalana", 12)) << LastError();
    ASSERT_TRUE(EnterText(again, main, IDM_INSERT_INGREDIENTS, IDC_INGREDIENTS_TEXT, IDC_INGREDIENTS_ACCEPT,
                          L"Leche\r\nHuevos\r\nAz\u00FAcar"))
        << LastError();
    ASSERT_TRUE(EnterText(again, main, IDM_INSERT_ELABORATION, IDC_ELABORATION_TEXT, IDC_ELABORATION_ACCEPT,
                          L"Cocer y quemar el az\u00FAcar."))
        << LastError();
    ASSERT_TRUE(PostCommand(main, IDM_SAVE_RECIPE)) << LastError();
    HWND box = WaitForMessageBox(again, L"Programador");
    ASSERT_NE(box, nullptr) << LastError();
    EXPECT_EQ(MessageBoxText(box).value_or(L""), kSaved);
    ASSERT_TRUE(CloseMessageBox(box)) << LastError();

    // "Autor", then "Salir".
    ASSERT_TRUE(PostCommand(main, IDM_AUTHOR)) << LastError();
    HWND about = WaitForWindow(again, L"#32770", L"Autor");
    ASSERT_NE(about, nullptr) << LastError();
    ASSERT_TRUE(PostClick(Control(about, IDC_ABOUT_EXIT))) << LastError();
    EXPECT_TRUE(WaitForWindowGone(about)) << LastError();
    ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
    EXPECT_EQ(WaitForExit(again).value_or(999), 0u) << LastError();

    // Out with export --json, into an empty store with import: the same values under the same keys.
    const std::wstring tool = BuildFolder() + L"\\tools\\guisla_tool\\guisla-tool.exe";
    const std::wstring imported = folder + L"\\importado\\guisla";
    std::error_code error;
    std::filesystem::create_directories(imported, error);
    std::filesystem::copy_file(folder + L"\\guisla\\guisla.z04", imported + L"\\guisla.z04", error);
    ASSERT_FALSE(error) << error.message();
    // One log per run: Wine may still hold the first run's inherited handle for a moment after it ends.
    const std::wstring exportLog = folder + L"\\guisla-tool-export.log";
    ASSERT_EQ(RunConsoleProgram(tool, L"export guisla --json exportado\\recetas.json", folder, exportLog), 0u)
        << FileText(exportLog);
    const std::wstring log = folder + L"\\guisla-tool-import.log";
    ASSERT_EQ(RunConsoleProgram(tool, L"import importado\\guisla exportado\\recetas.json", folder, log), 0u)
        << FileText(log);
    EXPECT_NE(FileText(log).find("Importadas 21 recetas, 0 rechazadas."), std::string::npos) << FileText(log);
    const std::vector<DataRecord> original = DecodeDataFile(ReadFileBytes(folder + L"\\guisla\\guisla.zbd"));
    const std::vector<DataRecord> copy = DecodeDataFile(ReadFileBytes(imported + L"\\guisla.zbd"));
    ASSERT_FALSE(copy.empty());
    EXPECT_EQ(copy.back().recipeKey, 21);
    int pictures = 0;
    for (int64_t key = 1; key <= 21; ++key) {
        for (const FieldDescriptor &field : SchemaTable()) {
            const std::string value = OracleReadFieldValue(original, field.fieldName, key);
            EXPECT_EQ(OracleReadFieldValue(copy, field.fieldName, key), value) << field.fieldName << ", key " << key;
            pictures += field.fieldName == "Imagen" && !value.empty() ? 1 : 0;
        }
    }
    EXPECT_EQ(pictures, 12); // the first five and every other one of the rest
}
