// guisla-tool import: recipes from web pages and JSON-LD files into a store, each through the
// program's own saver (the next key, all or nothing, flushed). It never goes to the network.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "guisla_tool/tool.h"

struct ImportRequest {
    std::string storeFolder;        // UTF-8
    std::vector<std::string> files; // UTF-8
    int category = 0;               // --categoria: 1..29 for every recipe; 0: from each recipe
    bool trial = false;             // --prueba: show what would go in, write nothing
};

// Imports the recipes of every file, in order. One line per recipe on `out` (its key, or why it
// was refused) and a summary; problems with whole files and the store on `err`, and a progress
// line for large pictures when `options.stderrIsTerminal`. Returns 0 when every recipe went in,
// 1 when some were refused (the others went in), 2 when nothing could be read or written.
int ImportRecipes(const ImportRequest &request, std::ostream &out, std::ostream &err, const ToolOptions &options);

// A picture found for a recipe: its bytes and the extension to store ("jpg"); or why there is none.
struct ImportPicture {
    bool found = false;
    std::string bytes;
    std::string extension;
    std::string why; // when not found: the reason, in Spanish (UTF-8)
};

// Resolves one picture reference of a recipe read from `source`: a data: URI, a file: URL, a
// local path (relative to the source's folder), or for a page saved complete, a web address whose
// file name is in the page's companion folder NAME_files. Other web addresses are not fetched.
ImportPicture ResolvePicture(const std::string &reference, const std::filesystem::path &source);

// The picture size from which a terminal shows a progress line while it is saved.
inline constexpr int64_t kImportProgressMinimumBytes = 4ll << 20;
