// Measures searching in the real program on a large store: writes a data file of `recipes` recipes
// (every fifth one a soup) with pictures of `pictureBytes` bytes each into a scratch copy of the
// program, starts it, and times from "Buscar" to the count message for the first search, for a
// repeated search of the same category, and from the double-click on a result to the loaded recipe
// (its picture drawn), next to one sequential read of the file; then starts the program again and
// times the first search after the restart, which reads the index the first search kept. Prints
// the figures; nothing passes or fails on them.
// Run through the end-to-end wrapper (see BENCHMARKS.md):
//
//   sh tests/e2e/run_e2e.sh --program BUILD --out BUILD -- BUILD/tests/e2e/search_time.exe [recipes] [pictureBytes]
#include "driver.h"

#include "resources/resource_ids.h"
#include "store/record_codec.h"

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

void AppendValue(std::vector<uint8_t> &bytes, const std::string &name, int64_t key, const std::string &value) {
    for (size_t i = 0; i < value.size(); ++i) {
        const size_t at = bytes.size();
        bytes.resize(at + kRecordSize, 0);
        uint8_t *p = &bytes[at];
        PutI32LE(p + kRecordAttribute0, 1);
        p[kRecordValueByte] = static_cast<uint8_t>(value[i]);
        std::copy(name.begin(), name.end(), p + kRecordFieldName);
        PutI16LE(p + kRecordMaxLength, 50);
        PutI64LE(p + kRecordKey, key);
        PutI32LE(p + kRecordLastFlag, i + 1 == value.size() ? 1 : 0);
    }
}

// A 24-bit BMP of about `bytes` bytes (a grey square), so that every opened result draws a picture.
std::string Picture(size_t bytes) {
    int side = 1;
    while (static_cast<size_t>((side + 1) * (side + 1) * 3) + 54 <= bytes) {
        ++side;
    }
    const uint32_t row = static_cast<uint32_t>(side * 3 + 3) & ~3u;
    std::vector<uint8_t> bmp(54 + row * static_cast<uint32_t>(side), 128);
    bmp[0] = 'B';
    bmp[1] = 'M';
    PutU32LE(&bmp[2], static_cast<uint32_t>(bmp.size()));
    PutU32LE(&bmp[10], 54);
    PutU32LE(&bmp[14], 40);
    PutI32LE(&bmp[18], side);
    PutI32LE(&bmp[22], side);
    PutU16LE(&bmp[26], 1);
    PutU16LE(&bmp[28], 24);
    PutU32LE(&bmp[30], 0);
    return std::string(bmp.begin(), bmp.end());
}

double Seconds(ULONGLONG from) {
    return static_cast<double>(GetTickCount64() - from) / 1000.0;
}

} // namespace

int wmain(int argc, wchar_t **argv) {
    const long recipes = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 2000;
    const size_t pictureBytes = argc > 2 ? static_cast<size_t>(std::wcstol(argv[2], nullptr, 10)) : 20000;
    e2e::BeginTest("search_time");
    const std::wstring folder = e2e::PrepareProgramFolder();
    if (folder.empty()) {
        std::fprintf(stderr, "search_time: %s\n", e2e::LastError().c_str());
        return 1;
    }
    const std::wstring data = folder + L"\\guisla\\guisla.zbd";
    {
        std::ofstream out(std::filesystem::path(data), std::ios::binary);
        const std::string picture = Picture(pictureBytes);
        std::vector<uint8_t> bytes;
        for (long key = 1; key <= recipes; ++key) {
            bytes.clear();
            AppendValue(bytes, "Plato", key, "Receta " + std::to_string(key));
            AppendValue(bytes, "Ingredientes", key, "Agua\r\nsal");
            AppendValue(bytes, "Preparaci\xF3n", key, "Cocer.");
            AppendValue(bytes, "Imagen", key, picture);
            AppendValue(bytes, "Categoria", key, key % 5 == 0 ? "Sopas" : "Arroz");
            AppendValue(bytes, "extensi\xF3n", key, "bmp");
            out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        }
        if (!out) {
            std::fprintf(stderr, "search_time: cannot write the store\n");
            return 1;
        }
    }
    std::printf("store: %ld recipes, pictures of %zu bytes, %.0f MB\n", recipes, pictureBytes,
                static_cast<double>(std::filesystem::file_size(std::filesystem::path(data))) / 1e6);

    {
        // The reference: one sequential read of the whole file here, through the same platform.
        HANDLE file = CreateFileW(data.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        std::vector<char> block(1 << 20);
        DWORD got = 0;
        unsigned long long total = 0;
        const ULONGLONG start = GetTickCount64();
        while (file != INVALID_HANDLE_VALUE &&
               ReadFile(file, block.data(), static_cast<DWORD>(block.size()), &got, nullptr) && got > 0) {
            total += got;
        }
        std::printf("sequential read of the data file (1 MB blocks): %.3f s for %llu bytes\n", Seconds(start), total);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
        }
    }

    for (const char *run : {"first run", "after a restart"}) {
        e2e::AppProcess app;
        if (!e2e::StartProgram(app, folder)) {
            std::fprintf(stderr, "search_time: %s\n", e2e::LastError().c_str());
            return 1;
        }
        HWND main = e2e::WaitForMainWindow(app, 30000);
        if (main == nullptr || !e2e::PostCommand(main, IDM_SEARCH_RECIPE)) {
            std::fprintf(stderr, "search_time: %s\n", e2e::LastError().c_str());
            return 1;
        }
        HWND dialog = e2e::WaitForWindow(app, L"#32770", L"Buscar Receta");
        if (dialog == nullptr || !e2e::ComboSelect(e2e::Control(dialog, IDC_SEARCH_CATEGORY), 7) ||
            !e2e::Settle(dialog, 200)) {
            std::fprintf(stderr, "search_time: %s\n", e2e::LastError().c_str());
            return 1;
        }
        for (const char *which : {"first search", "repeated search"}) {
            const ULONGLONG start = GetTickCount64();
            e2e::PostClick(e2e::Control(dialog, IDC_SEARCH_BUTTON));
            HWND box = e2e::WaitForMessageBox(app, L"Programador", 600000);
            const double seconds = Seconds(start);
            if (box == nullptr) {
                std::fprintf(stderr, "search_time: %s\n", e2e::LastError().c_str());
                return 1;
            }
            std::printf("%s, %s: %.3f s to \"%s\"\n", run, which, seconds,
                        e2e::Utf8(e2e::MessageBoxText(box).value_or(L"")).c_str());
            e2e::CloseMessageBox(box);
            e2e::Settle(dialog, 200);
        }
        const ULONGLONG start = GetTickCount64();
        e2e::ListDoubleClick(e2e::Control(dialog, IDC_SEARCH_RESULTS), 0);
        const bool gone = e2e::WaitForWindowGone(dialog, 60000) && e2e::Settle(main, 0);
        std::printf("%s, opening a result with its picture: %.3f s%s\n", run, Seconds(start),
                    gone ? "" : " (did not finish)");
        e2e::PostCommand(main, IDM_EXIT);
        e2e::WaitForExit(app);
    }
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::path(data), ignored);
    std::filesystem::remove(std::filesystem::path(data).replace_extension(".indice"), ignored);
    return 0;
}
