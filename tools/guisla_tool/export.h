// Exporting a store's recipes: a self-contained HTML cookbook, or schema.org Recipe JSON-LD.
// Both read the store in one pass and write each picture to its own file as the pass reaches it.
#pragma once

#include <filesystem>
#include <ostream>

#include "guisla_tool/tool_store.h"

// Exit statuses of the tool's commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitProblems = 1; // check: the store has problems
inline constexpr int kExitError = 2;    // could not read the store, write the output, or bad usage

// Writes into `folder` (created when missing): index.html, the recipes by category in catalogue
// order (then stored categories the catalogue does not know, then recipes without one); one page
// receta-<key>.html per recipe; pictures as imagenes/receta-<key>.<extension>. Every page carries
// its own styles, including print styles that fit a recipe on one A4 page. Errors go to `err`.
// The catalogue must be filled. Returns kExitOk or kExitError.
int ExportHtml(const ToolStore &store, const std::filesystem::path &folder, const ScanProgress &progress,
               std::ostream &err);

// Writes `file`: a JSON-LD document whose "@graph" holds one schema.org Recipe per recipe, in key
// order; each picture is a file beside it, named <stem of file>-<key>.<extension>, and the
// recipe's "image" is that name. Returns kExitOk or kExitError.
int ExportJson(const ToolStore &store, const std::filesystem::path &file, const ScanProgress &progress,
               std::ostream &err);

// The file name of a recipe's picture: prefix, key, ".", and the safe form of the stored
// extension ("bin" when nothing of it is safe).
std::string ExportPictureName(const std::string &prefix, int64_t key, const std::string &storedExtension);
