// The check that the recipe source fuzz target runs on every input, shared with the unit test that
// replays the committed inputs. The first byte says how the rest is read (odd: as a page, even: as
// JSON). The reader must give the same answer twice, and what it found must be what the importer
// relies on: lines that are not empty, hold no line break and carry no blanks at their ends, texts
// in valid UTF-8 that convert to Windows-1252. Empty when the input passes.
#ifndef GUISLA_TESTS_FUZZ_RECIPE_SOURCE_CHECK_H
#define GUISLA_TESTS_FUZZ_RECIPE_SOURCE_CHECK_H

#include <cstdint>
#include <string>
#include <vector>

#include "guisla_tool/import_text.h"
#include "guisla_tool/recipe_source.h"

inline std::string CheckRecipeLines(const std::vector<std::string> &lines, const char *what) {
    for (const std::string &line : lines) {
        if (line.empty() || line.find_first_of("\r\n") != std::string::npos || line.front() == ' ' ||
            line.back() == ' ' || line.front() == '\t' || line.back() == '\t') {
            return std::string(what) + ": a line that is empty, broken or not trimmed";
        }
        Cp1252Report report;
        const std::string converted = Utf8ToCp1252(line, report);
        for (const std::string &lost : report.lost) {
            if (lost == "\xEF\xBF\xBD") {
                return std::string(what) + ": invalid UTF-8";
            }
        }
        if (converted.empty() && !line.empty() && report.transliterated.empty()) {
            return std::string(what) + ": a line that converts to nothing";
        }
    }
    return "";
}

inline std::string CheckRecipeSourceInput(const uint8_t *data, size_t size) {
    if (size == 0) {
        return "";
    }
    const bool asHtml = (data[0] & 1) != 0;
    const std::string bytes(reinterpret_cast<const char *>(data) + 1, size - 1);
    const SourceRead first = ReadRecipeSource(bytes, asHtml);
    const SourceRead second = ReadRecipeSource(bytes, asHtml);
    if (first.problem != second.problem || first.recipes.size() != second.recipes.size() ||
        first.unreadableBlocks != second.unreadableBlocks) {
        return "two answers";
    }
    if ((first.problem == SourceProblem::None) == first.recipes.empty()) {
        return "a problem with recipes, or no recipe without one";
    }
    for (size_t i = 0; i < first.recipes.size(); ++i) {
        const FoundRecipe &a = first.recipes[i];
        const FoundRecipe &b = second.recipes[i];
        if (a.name != b.name || a.ingredients != b.ingredients || a.steps != b.steps || a.images != b.images) {
            return "two answers for a recipe";
        }
        for (const std::string &problem :
             {a.name.empty() ? std::string() : CheckRecipeLines({a.name}, "name"),
              CheckRecipeLines(a.ingredients, "ingredients"), CheckRecipeLines(a.steps, "steps"),
              CheckRecipeLines(a.categories, "categories"), CheckRecipeLines(a.keywords, "keywords")}) {
            if (!problem.empty()) {
                return problem;
            }
        }
    }
    return "";
}

#endif
