// guisla-tool's entry point: the command line as UTF-8, the console set up for UTF-8 output.
#include <iostream>
#include <string>
#include <vector>

#include "guisla_tool/tool.h"

#ifdef _WIN32
#include <windows.h>

#include <io.h>

int wmain(int argc, wchar_t **argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(bytes > 0 ? static_cast<size_t>(bytes) : 1, '\0');
        if (bytes > 0) {
            WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, arg.data(), bytes, nullptr, nullptr);
        }
        arg.resize(arg.size() - 1); // the terminating zero
        args.push_back(arg);
    }
    // The tool writes UTF-8; a console shows it as such once told so.
    SetConsoleOutputCP(CP_UTF8);
    ToolOptions options;
    options.stderrIsTerminal = _isatty(_fileno(stderr)) != 0;
    return RunTool(args, std::cout, std::cerr, options);
}

#else
#include <unistd.h>

int main(int argc, char **argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    ToolOptions options;
    options.stderrIsTerminal = isatty(STDERR_FILENO) != 0;
    return RunTool(args, std::cout, std::cerr, options);
}
#endif
