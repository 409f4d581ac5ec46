// The HTML and JSON-LD exports.
#include "guisla_tool/export.h"

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <system_error>

#include "state/catalogue.h"
#include "guisla_tool/text_out.h"
#include "search/cache_name.h"

namespace {

constexpr const char *kPartSuffix = ".part";

// Writes pictures as the scan completes them, under a provisional name (the extension is stored
// after the picture), and gives them their final names once the scan is over.
struct PictureWriter {
    std::filesystem::path folder;
    std::string prefix;
    std::map<int64_t, std::filesystem::path> written; // key -> provisional file
    std::string failure;

    std::filesystem::path PartPath(int64_t key) const {
        return folder / PathFromUtf8(prefix + std::to_string(key) + kPartSuffix);
    }

    bool Write(int64_t key, const std::string &bytes) {
        const std::filesystem::path path = PartPath(key);
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        file.close();
        if (!file) {
            failure = "No se pudo escribir la imagen " + PathToUtf8(path);
            return false;
        }
        written[key] = path;
        return true;
    }

    // Renames the provisional files; returns the final file names by key ("" on failure).
    bool Finish(const std::vector<ToolRecipe> &recipes, std::map<int64_t, std::string> &names) {
        for (const ToolRecipe &recipe : recipes) {
            auto it = written.find(recipe.key);
            if (it == written.end()) {
                continue;
            }
            const std::string name = ExportPictureName(prefix, recipe.key, recipe.extension);
            std::error_code error;
            std::filesystem::rename(it->second, folder / PathFromUtf8(name), error);
            if (error) {
                failure = "No se pudo escribir la imagen " + PathToUtf8(folder / PathFromUtf8(name));
                return false;
            }
            written.erase(it);
            names[recipe.key] = name;
        }
        return true;
    }

    // Removes provisional files left by a failed export.
    void RemoveLeftovers() {
        for (const auto &entry : written) {
            std::error_code error;
            std::filesystem::remove(entry.second, error);
        }
        written.clear();
    }
};

std::string StatusText(FileStatus status) {
    switch (status) {
    case FileStatus::Ok:
        return "correcto";
    case FileStatus::Missing:
        return "no existe";
    case FileStatus::Busy:
        return "lo tiene abierto otro programa";
    case FileStatus::DiskFull:
        return "disco lleno";
    case FileStatus::Failed:
        break;
    }
    return "error de lectura";
}

// Reads the recipes, writing pictures through `writer`; prints the error and returns false when
// the store could not be read or a picture not written.
bool ReadWithPictures(const ToolStore &store, PictureWriter &writer, const ScanProgress &progress,
                      std::vector<ToolRecipe> &recipes, std::map<int64_t, std::string> &pictureNames,
                      std::ostream &err) {
    const PictureSink sink = [&writer](int64_t key, const std::string &bytes) { return writer.Write(key, bytes); };
    bool stopped = false;
    const FileStatus status = ReadRecipes(store, sink, progress, recipes, &stopped);
    if (status != FileStatus::Ok || !writer.failure.empty()) {
        err << "guisla-tool: "
            << (writer.failure.empty() ? "No se pudo leer el almac\xC3\xA9n (" + StatusText(status) + ")"
                                       : writer.failure)
            << "\n";
        writer.RemoveLeftovers();
        return false;
    }
    if (stopped) {
        err << "guisla-tool: exportaci\xC3\xB3n interrumpida\n";
        writer.RemoveLeftovers();
        return false;
    }
    if (!writer.Finish(recipes, pictureNames)) {
        err << "guisla-tool: " << writer.failure << "\n";
        writer.RemoveLeftovers();
        return false;
    }
    return true;
}

bool WriteTextFile(const std::filesystem::path &path, const std::string &text, std::ostream &err) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    if (!file) {
        err << "guisla-tool: No se pudo escribir " << PathToUtf8(path) << "\n";
        return false;
    }
    return true;
}

// Checks that files can be created in `folder` (creating it when missing) with a probe file.
bool PrepareFolder(const std::filesystem::path &folder, std::ostream &err) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::filesystem::path probe = folder / ".guisla-tool-probe";
    bool writable = false;
    if (std::filesystem::is_directory(folder, error)) {
        std::ofstream file(probe, std::ios::binary | std::ios::trunc);
        file << "x";
        file.close();
        writable = static_cast<bool>(file);
        std::filesystem::remove(probe, error);
    }
    if (!writable) {
        err << "guisla-tool: No se puede escribir en la carpeta de salida " << PathToUtf8(folder) << "\n";
    }
    return writable;
}

std::string DisplayDishName(const ToolRecipe &recipe) {
    return recipe.dishName.empty() ? "(sin nombre)" : Cp1252ToUtf8(recipe.dishName);
}

std::string PageName(int64_t key) {
    return "receta-" + std::to_string(key) + ".html";
}

const char *const kStyles = R"(
body { font-family: Georgia, "Times New Roman", serif; color: #2b2417; background: #fbf8ea;
       max-width: 50em; margin: 0 auto; padding: 1em 1.5em 3em; line-height: 1.45; }
header { background: #e8de99; border-bottom: 3px solid #b8a64a; margin: 0 -1.5em 1.2em; padding: 0.8em 1.5em; }
header h1 { margin: 0; font-size: 1.9em; }
.categoria { margin: 0.2em 0 0; font-variant: small-caps; color: #6b5a12; letter-spacing: 0.04em; }
nav { font-size: 0.95em; margin-bottom: 1em; }
nav a, .indice a { color: #7a3d00; }
h2 { font-size: 1.25em; border-bottom: 1px solid #d8cd8a; margin: 1.1em 0 0.4em; }
.foto { display: block; max-width: 100%; max-height: 24em; margin: 0 auto 1em; border: 1px solid #cfc38a;
        box-shadow: 0 2px 6px rgba(0,0,0,0.15); }
.texto { white-space: pre-wrap; margin: 0; }
.indice ul { columns: 2; padding-left: 1.2em; }
.indice li { margin: 0.15em 0; break-inside: avoid; }
.pie { margin-top: 2.5em; font-size: 0.8em; color: #8a7d4a; }
@page { size: A4; margin: 14mm; }
@media print {
  body { background: #fff; max-width: none; padding: 0; font-size: 10pt; line-height: 1.3; }
  header { background: none; border-bottom: 2px solid #999; margin: 0 0 3mm; padding: 0 0 2mm; }
  header h1 { font-size: 17pt; }
  nav, .pie { display: none; }
  .receta { break-inside: avoid; page-break-inside: avoid; }
  .foto { float: right; max-width: 42%; max-height: 65mm; margin: 0 0 3mm 5mm; box-shadow: none; }
  h2 { font-size: 12pt; margin: 3mm 0 1.5mm; break-after: avoid; page-break-after: avoid; overflow: hidden; }
  .indice section { break-inside: avoid; }
}
)";

std::string PageStart(const std::string &titleUtf8) {
    std::string page = "<!DOCTYPE html>\n<html lang=\"es\">\n<head>\n<meta charset=\"utf-8\" />\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\" />\n<title>";
    page += HtmlEscape(titleUtf8);
    page += "</title>\n<style>";
    page += kStyles;
    page += "</style>\n</head>\n<body>\n";
    return page;
}

std::string RecipePage(const ToolRecipe &recipe, const std::string &pictureName) {
    const std::string dish = DisplayDishName(recipe);
    std::string page = PageStart(dish + " \xE2\x80\x94 Mi guisla");
    page += "<nav><a href=\"index.html\">\xE2\x86\x90 Recetario</a></nav>\n<article class=\"receta\">\n<header>\n<h1>";
    page += HtmlEscape(dish);
    page += "</h1>\n<p class=\"categoria\">";
    page += recipe.category.empty() ? "Sin categor\xC3\xAD"
                                      "a"
                                    : HtmlEscape(Cp1252ToUtf8(recipe.category));
    page += "</p>\n</header>\n";
    if (!pictureName.empty()) {
        page += "<img class=\"foto\" src=\"imagenes/" + HtmlEscape(pictureName) + "\" alt=\"" + HtmlEscape(dish) +
                "\" />\n";
    }
    page += "<section>\n<h2>Ingredientes</h2>\n<p class=\"texto\">";
    page += HtmlEscape(NormaliseLineBreaks(Cp1252ToUtf8(recipe.ingredients)));
    page += "</p>\n</section>\n<section>\n<h2>Elaboraci\xC3\xB3n</h2>\n<p class=\"texto\">";
    page += HtmlEscape(NormaliseLineBreaks(Cp1252ToUtf8(recipe.elaboration)));
    page += "</p>\n</section>\n</article>\n<p class=\"pie\">Receta n\xC2\xBA " + std::to_string(recipe.key) +
            " de Mi guisla</p>\n</body>\n</html>\n";
    return page;
}

void AppendIndexSection(std::string &page, const std::string &headingUtf8, const std::vector<const ToolRecipe *> &list,
                        bool showCategory) {
    if (list.empty()) {
        return;
    }
    page += "<section>\n<h2>" + HtmlEscape(headingUtf8) + " <small>(" + std::to_string(list.size()) +
            ")</small></h2>\n<ul>\n";
    for (const ToolRecipe *recipe : list) {
        page += "<li><a href=\"" + PageName(recipe->key) + "\">" + HtmlEscape(DisplayDishName(*recipe)) + "</a>";
        if (showCategory) {
            page += " <small>(" + HtmlEscape(Cp1252ToUtf8(recipe->category)) + ")</small>";
        }
        page += "</li>\n";
    }
    page += "</ul>\n</section>\n";
}

std::string IndexPage(const std::vector<ToolRecipe> &recipes) {
    std::map<std::string, int> numberOf;
    for (int n = 1; n <= kCategoryCount; ++n) {
        numberOf[CategoryCatalogue.displayName[n]] = n;
    }
    std::vector<std::vector<const ToolRecipe *>> byNumber(kCategoryCount + 1);
    std::vector<const ToolRecipe *> unknown;
    std::vector<const ToolRecipe *> without;
    for (const ToolRecipe &recipe : recipes) {
        if (recipe.category.empty()) {
            without.push_back(&recipe);
        } else if (auto it = numberOf.find(recipe.category); it != numberOf.end()) {
            byNumber[static_cast<size_t>(it->second)].push_back(&recipe);
        } else {
            unknown.push_back(&recipe);
        }
    }
    std::string page = PageStart("Recetario \xE2\x80\x94 Mi guisla");
    page += "<header>\n<h1>Recetario</h1>\n<p class=\"categoria\">" + std::to_string(recipes.size()) +
            (recipes.size() == 1 ? " receta" : " recetas") + "</p>\n</header>\n<div class=\"indice\">\n";
    if (recipes.empty()) {
        page += "<p>El almac\xC3\xA9n no tiene recetas.</p>\n";
    }
    for (int n = 1; n <= kCategoryCount; ++n) {
        AppendIndexSection(page, Cp1252ToUtf8(CategoryCatalogue.displayName[n]), byNumber[static_cast<size_t>(n)],
                           false);
    }
    AppendIndexSection(page,
                       "Otras categor\xC3\xAD"
                       "as",
                       unknown, true);
    AppendIndexSection(page,
                       "Sin categor\xC3\xAD"
                       "a",
                       without, false);
    page += "</div>\n<p class=\"pie\">Exportado por guisla-tool</p>\n</body>\n</html>\n";
    return page;
}

// The non-empty lines of a stored text, each without blanks at its ends.
std::vector<std::string> TextLines(const std::string &stored) {
    std::vector<std::string> lines;
    std::istringstream text(NormaliseLineBreaks(Cp1252ToUtf8(stored)));
    std::string line;
    while (std::getline(text, line)) {
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos) {
            continue;
        }
        const size_t last = line.find_last_not_of(" \t");
        lines.push_back(line.substr(first, last - first + 1));
    }
    return lines;
}

nlohmann::ordered_json JsonRecipe(const ToolRecipe &recipe, const std::string &pictureName) {
    nlohmann::ordered_json json;
    json["@type"] = "Recipe";
    json["identifier"] = std::to_string(recipe.key);
    json["name"] = Cp1252ToUtf8(recipe.dishName);
    if (!recipe.category.empty()) {
        json["recipeCategory"] = Cp1252ToUtf8(recipe.category);
    }
    json["recipeIngredient"] = TextLines(recipe.ingredients);
    nlohmann::ordered_json steps = nlohmann::ordered_json::array();
    for (const std::string &step : TextLines(recipe.elaboration)) {
        steps.push_back({{"@type", "HowToStep"}, {"text", step}});
    }
    json["recipeInstructions"] = std::move(steps);
    if (!pictureName.empty()) {
        json["image"] = pictureName;
    }
    return json;
}

std::string NameOrEmpty(const std::map<int64_t, std::string> &names, int64_t key) {
    auto it = names.find(key);
    return it == names.end() ? std::string() : it->second;
}

} // namespace

std::string ExportPictureName(const std::string &prefix, int64_t key, const std::string &storedExtension) {
    // The case is kept: import takes the extension back from this name, and "JPG" must stay "JPG".
    const std::string extension = SafeCacheExtension(storedExtension);
    return prefix + std::to_string(key) + "." + (extension.empty() ? "bin" : extension);
}

int ExportHtml(const ToolStore &store, const std::filesystem::path &folder, const ScanProgress &progress,
               std::ostream &err) {
    const std::filesystem::path pictureFolder = folder / "imagenes";
    if (!PrepareFolder(folder, err) || !PrepareFolder(pictureFolder, err)) {
        return kExitError;
    }
    PictureWriter writer{pictureFolder, "receta-", {}, {}};
    std::vector<ToolRecipe> recipes;
    std::map<int64_t, std::string> pictureNames;
    if (!ReadWithPictures(store, writer, progress, recipes, pictureNames, err)) {
        return kExitError;
    }
    for (const ToolRecipe &recipe : recipes) {
        if (!WriteTextFile(folder / PageName(recipe.key), RecipePage(recipe, NameOrEmpty(pictureNames, recipe.key)),
                           err)) {
            return kExitError;
        }
    }
    return WriteTextFile(folder / "index.html", IndexPage(recipes), err) ? kExitOk : kExitError;
}

int ExportJson(const ToolStore &store, const std::filesystem::path &file, const ScanProgress &progress,
               std::ostream &err) {
    std::filesystem::path folder = file.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    std::error_code error;
    if (file.filename().empty() || std::filesystem::is_directory(file, error)) {
        err << "guisla-tool: --json necesita un nombre de fichero: " << PathToUtf8(file) << "\n";
        return kExitError;
    }
    if (!PrepareFolder(folder, err)) {
        return kExitError;
    }
    PictureWriter writer{folder, PathToUtf8(file.stem()) + "-", {}, {}};
    std::vector<ToolRecipe> recipes;
    std::map<int64_t, std::string> pictureNames;
    if (!ReadWithPictures(store, writer, progress, recipes, pictureNames, err)) {
        return kExitError;
    }
    nlohmann::ordered_json graph = nlohmann::ordered_json::array();
    for (const ToolRecipe &recipe : recipes) {
        graph.push_back(JsonRecipe(recipe, NameOrEmpty(pictureNames, recipe.key)));
    }
    const nlohmann::ordered_json document = {{"@context", "https://schema.org"}, {"@graph", std::move(graph)}};
    // Texts come from Cp1252ToUtf8 and file names from the key and extension: always valid UTF-8.
    const std::string json = document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
    return WriteTextFile(file, json, err) ? kExitOk : kExitError;
}
