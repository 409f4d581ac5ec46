// Measures how much CPU the idle program uses: starts guisla.exe in a scratch folder, waits for its
// main window, lets it settle, and reads the program's CPU time (GetProcessTimes) before and after
// an idle period. Prints the Windows pid (so a wrapper can also read the figure from the host) and
// the result; ends the program with "Salir". Run through bench/idle_cpu.sh.
//
//   idle_cpu.exe [seconds]     (default 10)
#include "driver.h"

#include "resources/resource_ids.h"

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t **argv) {
    const unsigned seconds = argc > 1 ? static_cast<unsigned>(std::wcstoul(argv[1], nullptr, 10)) : 10;
    e2e::BeginTest("idle_cpu");
    e2e::AppProcess app;
    HWND main = e2e::LaunchProgram(app, 20000);
    if (main == nullptr || !e2e::Settle(main, 1000)) {
        std::fprintf(stderr, "idle_cpu: %s\n", e2e::LastError().c_str());
        return 1;
    }
    std::printf("pid %lu\n", static_cast<unsigned long>(app.pid));
    std::fflush(stdout);
    const std::optional<unsigned long long> before = e2e::ProcessCpuTime(app);
    if (before) {
        // Start-up costs some CPU: a zero here means the platform does not report another
        // process's times, and the figure below says nothing.
        std::printf("GetProcessTimes: %.1f ms CPU from start until idle\n", static_cast<double>(*before) / 10000.0);
    }
    const ULONGLONG start = GetTickCount64();
    Sleep(seconds * 1000);
    const std::optional<unsigned long long> after = e2e::ProcessCpuTime(app);
    const ULONGLONG wallMs = GetTickCount64() - start;
    if (!before || !after) {
        std::fprintf(stderr, "idle_cpu: %s\n", e2e::LastError().c_str());
        return 1;
    }
    const double cpuMs = static_cast<double>(*after - *before) / 10000.0;
    std::printf("GetProcessTimes: %.1f ms CPU over %llu ms idle (%.3f %%)\n", cpuMs,
                static_cast<unsigned long long>(wallMs), 100.0 * cpuMs / static_cast<double>(wallMs));
    std::fflush(stdout);
    e2e::PostCommand(main, IDM_EXIT);
    const std::optional<DWORD> code = e2e::WaitForExit(app);
    return code && *code == 0 ? 0 : 1;
}
