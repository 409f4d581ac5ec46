// Saving in the real program: a recipe entered through the entry dialogs with a picture of several
// megabytes chosen in the file dialog, saved with "Grabar Receta" (the progress window and the
// message photographed), and the data file checked record by record against the schema; a recipe
// without ingredients refused with everything kept; a program without its folder "guisla" saying
// "No existe Base de Datos ..." and writing nothing.
#include "driver.h"
#include "menu_mode.h"
#include "recipe_steps.h"

#include "resources/resource_ids.h"
#include "store/record_codec.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace e2e;

namespace {

const wchar_t kSaved[] = L"Receta Guardada ...\r\nQue disfrutes tu receta uuuuummmm!!! ....";

// The schema's descriptors, straight from the schema file.
std::vector<FieldDescriptor> ReadSchema(const std::wstring &path) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    std::vector<FieldDescriptor> schema;
    for (size_t at = 0; at + kDescriptorSize <= bytes.size(); at += kDescriptorSize) {
        FieldDescriptor d;
        const uint8_t *p = &bytes[at];
        d.attribute0 = GetI32LE(p + kDescriptorAttribute0);
        const char *name = reinterpret_cast<const char *>(p + kDescriptorFieldName);
        d.fieldName.assign(name, strnlen(name, kMaxNameLength));
        d.attribute1 = GetI16LE(p + kDescriptorAttribute1);
        d.maxLength = GetI16LE(p + kDescriptorMaxLength);
        d.attribute2 = GetI16LE(p + kDescriptorAttribute2);
        schema.push_back(d);
    }
    return schema;
}

// Checks the data file record by record: the values in order, each byte one record carrying a
// copy of its descriptor, key 1, the name followed by zeros, lastFlag 1 only on each value's end.
void ExpectRecords(const std::vector<uint8_t> &data, const std::vector<FieldDescriptor> &schema,
                   const std::vector<std::pair<int, std::string>> &values) {
    size_t expectedRecords = 0;
    for (const auto &value : values) {
        expectedRecords += value.second.size();
    }
    ASSERT_EQ(data.size(), expectedRecords * kRecordSize);
    size_t record = 0;
    for (const auto &[position, value] : values) {
        const FieldDescriptor &d = schema.at(static_cast<size_t>(position) - 1);
        for (size_t i = 0; i < value.size(); ++i, ++record) {
            const uint8_t *p = &data[record * kRecordSize];
            SCOPED_TRACE("record " + std::to_string(record + 1) + ", byte " + std::to_string(i) + " of " + d.fieldName);
            ASSERT_EQ(GetI32LE(p + kRecordAttribute0), d.attribute0);
            ASSERT_EQ(p[kRecordValueByte], static_cast<uint8_t>(value[i]));
            uint8_t name[kNameFieldSize] = {};
            std::copy(d.fieldName.begin(), d.fieldName.end(), name);
            ASSERT_TRUE(std::equal(name, name + kNameFieldSize, p + kRecordFieldName));
            ASSERT_EQ(GetI16LE(p + kRecordAttribute1), d.attribute1);
            ASSERT_EQ(GetI16LE(p + kRecordMaxLength), d.maxLength);
            ASSERT_EQ(GetI64LE(p + kRecordKey), 1);
            ASSERT_EQ(GetI16LE(p + kRecordAttribute2), d.attribute2);
            ASSERT_EQ(GetI32LE(p + kRecordLastFlag), i + 1 == value.size() ? 1 : 0);
        }
    }
}

std::string Cp1252(const std::wstring &text) {
    std::string bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<char>(c)); // the texts here are within Latin-1, as 1252 keeps them
    }
    return bytes;
}

} // namespace

TEST(Save, TypedRecipeWithBigPictureStoredRecordByRecord) {
    AppProcess app;
    const std::wstring folder = PrepareProgramFolder();
    ASSERT_FALSE(folder.empty()) << LastError();
    const std::wstring picture = folder + L"\\paella grande.bmp";
    const std::vector<uint8_t> pictureBytes = GradientBmp(1400, 1250, 200); // 5.25 MB
    ASSERT_TRUE(WriteFileBytes(picture, pictureBytes));
    ASSERT_TRUE(StartProgram(app, folder)) << LastError();
    HWND main = WaitForMainWindow(app);
    ASSERT_NE(main, nullptr) << LastError();

    ASSERT_TRUE(PostCommand(main, IDM_NEW)) << LastError();
    ASSERT_EQ(WaitForMenuMode(app, main, MenuMode::Editing), "");
    const std::wstring dish = L"Paella de marisco";
    const std::wstring ingredients = L"400 g de arroz bomba\r\n500 g de mejillones\r\nazafr\u00E1n";
    const std::wstring elaboration = L"Sofre\u00EDr el marisco, a\u00F1adir el arroz y el caldo.\r\nReposar.";
    ASSERT_TRUE(EnterDishAndCategory(app, main, dish, 6)) << LastError(); // "07 - Potajes"
    ASSERT_TRUE(EnterText(app, main, IDM_INSERT_INGREDIENTS, IDC_INGREDIENTS_TEXT, IDC_INGREDIENTS_ACCEPT, ingredients))
        << LastError();
    ASSERT_TRUE(EnterText(app, main, IDM_INSERT_ELABORATION, IDC_ELABORATION_TEXT, IDC_ELABORATION_ACCEPT, elaboration))
        << LastError();

    ASSERT_TRUE(ChoosePicture(app, main, picture)) << LastError();
    ASSERT_TRUE(Settle(main, 300)) << LastError();

    // "Grabar Receta": the progress window while the picture is written, then the message.
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(PostCommand(main, IDM_SAVE_RECIPE)) << LastError();
    HWND progress = WaitForWindow(app, L"#32770", L"Dialog1", 20000);
    if (progress != nullptr) {
        // Caught while the picture is written: no menu bar, a bar inside, and a picture of it.
        EXPECT_EQ(HasMenuBar(app, main), std::optional<bool>(false));
        EXPECT_EQ(ClassName(Control(progress, IDC_PROGRESS_BAR)), L"msctls_progress32");
        // The picture once the bar has moved a little, if the save is still going by then.
        WaitUntil(
            [&] {
                DWORD_PTR position = 0;
                return !IsWindow(progress) || (SendMessageTimeoutW(Control(progress, IDC_PROGRESS_BAR), PBM_GETPOS, 0,
                                                                   0, SMTO_ABORTIFHUNG, 1000, &position) &&
                                               position >= 5);
            },
            5000, 5);
        TakeScreenshot(L"progreso");
    }
    HWND box = WaitForMessageBox(app, L"Programador", 120000);
    ASSERT_NE(box, nullptr) << LastError();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("saving the recipe with a %zu-byte picture took %.2f s (to the message)\n", pictureBytes.size(),
                seconds);
    EXPECT_NE(progress, nullptr) << "the progress window did not show";
    EXPECT_EQ(MessageBoxText(box).value_or(L""), kSaved);
    EXPECT_EQ(HasMenuBar(app, main), std::optional<bool>(false)) << "no menu bar while the message shows";
    EXPECT_TRUE(TopWindows(app, L"#32770", L"Dialog1").empty()) << "the progress window is gone";
    ASSERT_TRUE(Settle(box, 300)) << LastError();
    EXPECT_FALSE(TakeScreenshot(L"guardado").empty()) << LastError();
    ASSERT_TRUE(CloseMessageBox(box)) << LastError();
    ASSERT_EQ(WaitForMenuMode(app, main, MenuMode::Browsing), "");

    const std::vector<FieldDescriptor> schema = ReadSchema(folder + L"\\guisla\\guisla.z04");
    ASSERT_GE(schema.size(), 6u);
    const std::vector<uint8_t> data = ReadFileBytes(folder + L"\\guisla\\guisla.zbd");
    ExpectRecords(data, schema,
                  {{1, Cp1252(dish)},
                   {2, Cp1252(ingredients)},
                   {3, Cp1252(elaboration)},
                   {4, std::string(pictureBytes.begin(), pictureBytes.end())},
                   {5, "Potajes"},
                   {6, "bmp"}});

    ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
    EXPECT_EQ(WaitForExit(app).value_or(999), 0u) << LastError();
}

TEST(Save, RecipeWithoutIngredientsRefusedAndKept) {
    AppProcess app;
    HWND main = LaunchProgram(app);
    ASSERT_NE(main, nullptr) << LastError();
    ASSERT_TRUE(PostCommand(main, IDM_NEW)) << LastError();
    ASSERT_EQ(WaitForMenuMode(app, main, MenuMode::Editing), "");
    ASSERT_TRUE(EnterDishAndCategory(app, main, L"Gazpacho", 1)) << LastError();
    ASSERT_TRUE(
        EnterText(app, main, IDM_INSERT_ELABORATION, IDC_ELABORATION_TEXT, IDC_ELABORATION_ACCEPT, L"Triturar todo."))
        << LastError();

    ASSERT_TRUE(PostCommand(main, IDM_SAVE_RECIPE)) << LastError();
    HWND box = WaitForMessageBox(app, L"Programador");
    ASSERT_NE(box, nullptr) << LastError();
    EXPECT_EQ(MessageBoxText(box).value_or(L""),
              L"No puedo grabar, Error ...\r\nAlgun dato esta vac\u00EDo o lleva demasiados datos ...");
    EXPECT_EQ(HasMenuBar(app, main), std::optional<bool>(true)) << "a refusal keeps the menu bar";
    ASSERT_TRUE(Settle(box, 300)) << LastError();
    EXPECT_FALSE(TakeScreenshot(L"rechazada").empty()) << LastError();
    ASSERT_TRUE(CloseMessageBox(box)) << LastError();
    ASSERT_EQ(WaitForMenuMode(app, main, MenuMode::Editing), "");
    EXPECT_EQ(ControlText(Control(main, IDC_DISH_NAME_BOX)), std::optional<std::wstring>(L"Gazpacho"));
    EXPECT_EQ(ControlText(Control(main, IDC_ELABORATION_BOX)), std::optional<std::wstring>(L"Triturar todo."));
    const std::wstring data = app.folder + L"\\guisla\\guisla.zbd";
    EXPECT_TRUE(ReadFileBytes(data).empty()) << "nothing written";

    ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
    EXPECT_EQ(WaitForExit(app).value_or(999), 0u) << LastError();
}

TEST(Save, WithoutTheStoreFolderNoDatabase) {
    AppProcess app;
    const std::wstring folder = PrepareProgramFolder();
    ASSERT_FALSE(folder.empty()) << LastError();
    std::error_code error;
    std::filesystem::remove_all(std::filesystem::path(folder + L"\\guisla"), error);
    ASSERT_FALSE(error) << error.message();
    ASSERT_TRUE(StartProgram(app, folder)) << LastError();
    HWND main = WaitForMainWindow(app);
    ASSERT_NE(main, nullptr) << LastError();
    ASSERT_TRUE(PostCommand(main, IDM_NEW)) << LastError();
    ASSERT_EQ(WaitForMenuMode(app, main, MenuMode::Editing), "");
    ASSERT_TRUE(EnterDishAndCategory(app, main, L"Gazpacho", 1)) << LastError();
    ASSERT_TRUE(EnterText(app, main, IDM_INSERT_INGREDIENTS, IDC_INGREDIENTS_TEXT, IDC_INGREDIENTS_ACCEPT, L"Tomate"))
        << LastError();
    ASSERT_TRUE(
        EnterText(app, main, IDM_INSERT_ELABORATION, IDC_ELABORATION_TEXT, IDC_ELABORATION_ACCEPT, L"Triturar."))
        << LastError();

    ASSERT_TRUE(PostCommand(main, IDM_SAVE_RECIPE)) << LastError();
    HWND box = WaitForMessageBox(app, L"Programador");
    ASSERT_NE(box, nullptr) << LastError();
    EXPECT_EQ(MessageBoxText(box).value_or(L""), L"No existe Base de Datos ...");
    ASSERT_TRUE(CloseMessageBox(box)) << LastError();
    ASSERT_EQ(WaitForMenuMode(app, main, MenuMode::Editing), "");
    ASSERT_TRUE(Settle(main, 300)) << LastError();
    EXPECT_FALSE(IsDirectory(folder + L"\\guisla")) << "nothing is created";
    EXPECT_TRUE(TopWindows(app, L"#32770", L"Programador").empty()) << "one message only";

    ASSERT_TRUE(PostCommand(main, IDM_EXIT)) << LastError();
    EXPECT_EQ(WaitForExit(app).value_or(999), 0u) << LastError();
}
