// Measures showing large photos in the real program: for each picture file given, starts the
// program afresh, chooses a 10 x 10 BMP through "Insertar Imagen" (the reference: the file dialog
// and a picture that costs nothing to decode), then the picture itself, and times from "Abrir"
// to the main window answering again with the picture drawn. Memory: the peak working set after
// the picture against the working set before it (after the reference). Prints one line each;
// nothing passes or fails on them. Run through the end-to-end wrapper (see BENCHMARKS.md):
//
//   sh tests/e2e/run_e2e.sh --program BUILD --out BUILD -- BUILD/tests/e2e/picture_time.exe PICTURE...
#include "driver.h"
#include "recipe_steps.h"

#include "resources/resource_ids.h"

#include <dlgs.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// "Insertar Imagen" with `path`, timed from "Abrir" until the main window answers again.
double InsertSeconds(const e2e::AppProcess &app, HWND main, const std::wstring &path) {
    if (!e2e::PostCommand(main, IDM_INSERT_PICTURE)) {
        return -1;
    }
    HWND dialog = e2e::WaitForWindow(app, L"#32770", L"Navegador de ficheros para imagen");
    if (dialog == nullptr || !e2e::SetControlText(e2e::Control(dialog, cmb13), path)) {
        return -1;
    }
    const auto start = std::chrono::steady_clock::now();
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    if (!e2e::WaitForWindowGone(dialog, 60000)) {
        return -1;
    }
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int wmain(int argc, wchar_t **argv) {
    e2e::BeginTest("picture_time");
    const std::wstring folder = e2e::PrepareProgramFolder();
    if (folder.empty()) {
        std::fprintf(stderr, "picture_time: %s\n", e2e::LastError().c_str());
        return 1;
    }
    const std::wstring tiny = folder + L"\\tiny.bmp";
    e2e::WriteFileBytes(tiny, e2e::GradientBmp(10, 10, 100));
    for (int i = 1; i < argc; ++i) {
        e2e::AppProcess app;
        if (!e2e::StartProgram(app, folder)) {
            std::fprintf(stderr, "picture_time: %s\n", e2e::LastError().c_str());
            return 1;
        }
        HWND main = e2e::WaitForMainWindow(app);
        e2e::Settle(main, 300);
        const auto idle = e2e::MemoryOf(app);
        const double reference = InsertSeconds(app, main, tiny);
        e2e::Settle(main, 300);
        const auto before = e2e::MemoryOf(app);
        const double seconds = InsertSeconds(app, main, argv[i]);
        const auto after = e2e::MemoryOf(app);
        const bool message = e2e::TopWindows(app, L"#32770", nullptr).size() > 1;
        std::printf("%s: shown in %.3f s (10 x 10 BMP: %.3f s); working set idle %zu MB, before %zu MB, peak after "
                    "%zu MB: %zu MB above before%s\n",
                    e2e::Utf8(argv[i]).c_str(), seconds, reference, idle ? idle->workingSet >> 20 : 0,
                    before ? before->workingSet >> 20 : 0, after ? after->peakWorkingSet >> 20 : 0,
                    before && after && after->peakWorkingSet > before->workingSet
                        ? (after->peakWorkingSet - before->workingSet) >> 20
                        : 0,
                    message ? " (a message was shown)" : "");
        std::fflush(stdout);
        e2e::KillProgram(app);
    }
    return 0;
}
