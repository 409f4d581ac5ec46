// guisla-tool's commands: list, check and export, over a store folder that they never write to.
#pragma once

#include <ostream>
#include <string>
#include <vector>

struct ToolOptions {
    bool stderrIsTerminal = false; // draw a progress bar for long exports
};

// Runs the command line `args` (without the program name; UTF-8). Output goes to `out` (UTF-8),
// messages and the progress bar to `err`. Returns the exit status: 0, 1 (check found problems)
// or 2 (the store could not be read, the output not written, or the command line is wrong).
int RunTool(const std::vector<std::string> &args, std::ostream &out, std::ostream &err, const ToolOptions &options);

// The data file size from which an export shows a progress bar on a terminal.
inline constexpr long long kProgressMinimumBytes = 16ll << 20;
