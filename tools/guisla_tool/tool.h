// guisla-tool's commands over a store folder: list, check and export, which never write to it, and
// import, which adds recipes to it through the program's saver.
#pragma once

#include <ostream>
#include <string>
#include <vector>

struct ToolOptions {
    bool stderrIsTerminal = false; // draw a progress bar for long exports
};

// Runs the command line `args` (without the program name; UTF-8). Output goes to `out` (UTF-8),
// messages and the progress bar to `err`. Returns the exit status: 0, 1 (check found problems,
// import refused some recipes) or 2 (the store could not be read, the output not written, or the command line is
// wrong).
int RunTool(const std::vector<std::string> &args, std::ostream &out, std::ostream &err, const ToolOptions &options);

// A category argument: a catalogue name (UTF-8, exactly as the program shows it) or its number;
// 0 when it is neither.
int CategoryNumberFromArgument(const std::string &argument);

// The data file size from which an export shows a progress bar on a terminal.
inline constexpr long long kProgressMinimumBytes = 16ll << 20;
