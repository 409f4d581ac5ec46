// Measures the program's start-up under the platform it runs on: from starting guisla.exe to its
// main window being visible, and to that window's thread answering its first message, over
// several starts; then the idle program's memory (working set, private bytes). Prints the figures;
// nothing passes or fails on them. Run through the end-to-end wrapper, which tells the driver where
// the program is:
//
//   sh tests/e2e/run_e2e.sh --program BUILD --out BUILD -- BUILD/tests/e2e/startup_time.exe [starts]
#include "driver.h"

#include "resources/resource_ids.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Report(const char *what, std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::printf("%s: median %.0f ms, min %.0f ms, max %.0f ms over %zu starts\n", what, values[values.size() / 2],
                values.front(), values.back(), values.size());
}

} // namespace

int wmain(int argc, wchar_t **argv) {
    const int starts = argc > 1 ? std::max(1, static_cast<int>(std::wcstol(argv[1], nullptr, 10))) : 10;
    e2e::BeginTest("startup_time");
    const std::wstring folder = e2e::PrepareProgramFolder();
    if (folder.empty()) {
        std::fprintf(stderr, "startup_time: %s\n", e2e::LastError().c_str());
        return 1;
    }
    std::vector<double> visible, answering;
    for (int i = 0; i < starts; ++i) {
        e2e::AppProcess app;
        LARGE_INTEGER start, shown, answered;
        QueryPerformanceCounter(&start);
        if (!e2e::StartProgram(app, folder)) {
            std::fprintf(stderr, "startup_time: %s\n", e2e::LastError().c_str());
            return 1;
        }
        HWND main = e2e::WaitForMainWindow(app, 30000);
        QueryPerformanceCounter(&shown);
        if (main == nullptr || !e2e::Settle(main, 0)) {
            std::fprintf(stderr, "startup_time: %s\n", e2e::LastError().c_str());
            return 1;
        }
        QueryPerformanceCounter(&answered);
        visible.push_back(Milliseconds(start, shown));
        answering.push_back(Milliseconds(start, answered));
        if (i + 1 == starts) {
            e2e::Settle(main, 1000);
            if (const std::optional<e2e::ProgramMemory> memory = e2e::MemoryOf(app)) {
                std::printf("idle program: working set %zu KB, private bytes %zu KB\n", memory->workingSet / 1024,
                            memory->privateBytes / 1024);
            }
        }
        e2e::PostCommand(main, IDM_EXIT);
        if (e2e::WaitForExit(app).value_or(1) != 0) {
            std::fprintf(stderr, "startup_time: the program did not end normally\n");
            return 1;
        }
    }
    Report("start to visible main window", visible);
    Report("start to main window answering", answering);
    return 0;
}
