// Command-line parsing and the list and check commands; the exports are in export.cpp.
#include "guisla_tool/tool.h"

#include <map>
#include <set>

#include "state/catalogue.h"
#include "guisla_tool/export.h"
#include "guisla_tool/import.h"
#include "guisla_tool/text_out.h"
#include "guisla_tool/tool_store.h"
#include "store/schema_table.h"

namespace {

const char *const kUsage =
    "Uso:\n"
    "  guisla-tool list CARPETA [--categoria NOMBRE]\n"
    "  guisla-tool check CARPETA\n"
    "  guisla-tool export CARPETA --html CARPETA_SALIDA\n"
    "  guisla-tool export CARPETA --json FICHERO\n"
    "  guisla-tool import CARPETA FICHERO... [--categoria NOMBRE] [--prueba]\n"
    "CARPETA es la carpeta del almac\xC3\xA9n (la que tiene guisla.z04 y guisla.zbd); solo import escribe en ella.\n"
    "import lee p\xC3\xA1ginas web guardadas (.html), ficheros JSON-LD y lo que escribe export --json;\n"
    "  --categoria pone esa categor\xC3\xAD"
    "a a todas, --prueba muestra lo que har\xC3\xAD"
    "a sin escribir nada.\n"
    "check termina con 0 si el almac\xC3\xA9n est\xC3\xA1 sano, 1 si tiene problemas, 2 si no se pudo leer.\n";

int UsageError(std::ostream &err, const std::string &message) {
    err << "guisla-tool: " << message << "\n" << kUsage;
    return kExitError;
}

// Opens the store or prints why it cannot; true when open.
bool OpenOrReport(const std::string &folder, ToolStore &store, std::ostream &err) {
    const StoreOpenResult result = OpenToolStore(PathFromUtf8(folder), store);
    if (result != StoreOpenResult::Ok) {
        err << "guisla-tool: " << OpenFailureMessage(result, PathFromUtf8(folder)) << "\n";
        return false;
    }
    return true;
}

} // namespace

int CategoryNumberFromArgument(const std::string &argument) {
    for (int n = 1; n <= kCategoryCount; ++n) {
        if (argument == Cp1252ToUtf8(CategoryCatalogue.displayName[n])) {
            return n;
        }
    }
    if (!argument.empty() && argument.size() <= 2 && argument.find_first_not_of("0123456789") == std::string::npos) {
        const int n = std::stoi(argument);
        return n >= 1 && n <= kCategoryCount ? n : 0;
    }
    return 0;
}

namespace {

void PrintCategoryRefusal(const std::string &argument, std::ostream &err) {
    err << "guisla-tool: categor\xC3\xAD"
           "a desconocida: "
        << argument
        << "\nCategor\xC3\xAD"
           "as:";
    for (int n = 1; n <= kCategoryCount; ++n) {
        err << (n == 1 ? " " : ", ") << Cp1252ToUtf8(CategoryCatalogue.displayName[n]);
    }
    err << "\n";
}

int RunList(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
    std::string folder;
    std::string categoryArgument;
    bool haveCategory = false;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--categoria") {
            if (i + 1 >= args.size()) {
                return UsageError(err, "falta el nombre tras --categoria");
            }
            categoryArgument = args[++i];
            haveCategory = true;
        } else if (folder.empty() && args[i].rfind("--", 0) != 0) {
            folder = args[i];
        } else {
            return UsageError(err, "argumento inesperado: " + args[i]);
        }
    }
    if (folder.empty()) {
        return UsageError(err, "falta la carpeta del almac\xC3\xA9n");
    }
    std::string category; // Windows-1252, as stored
    if (haveCategory) {
        const int number = CategoryNumberFromArgument(categoryArgument);
        if (number == 0) {
            PrintCategoryRefusal(categoryArgument, err);
            return kExitError;
        }
        category = CategoryCatalogue.displayName[number];
    }
    ToolStore store;
    if (!OpenOrReport(folder, store, err)) {
        return kExitError;
    }
    std::vector<ToolRecipe> recipes;
    const FileStatus status = ReadRecipes(store, {}, {}, recipes);
    if (status != FileStatus::Ok) {
        err << "guisla-tool: no se pudo leer el fichero de datos\n";
        return kExitError;
    }
    for (const ToolRecipe &recipe : recipes) {
        if (haveCategory && recipe.category != category) {
            continue;
        }
        out << recipe.key << "\t" << OneLine(Cp1252ToUtf8(recipe.category)) << "\t"
            << OneLine(Cp1252ToUtf8(recipe.dishName)) << "\n";
    }
    return kExitOk;
}

// The problems of the schema: fewer than six descriptors, names that differ, an incomplete tail.
std::vector<std::string> SchemaProblems(const ToolStore &store) {
    std::vector<std::string> problems;
    const std::vector<FieldDescriptor> &expected = SchemaTable();
    for (size_t i = 0; i < expected.size(); ++i) {
        const std::string want = Cp1252ToUtf8(expected[i].fieldName);
        if (i >= store.schema.size()) {
            problems.push_back("al esquema le falta el campo " + std::to_string(i + 1) + " \"" + want + "\"");
        } else if (store.schema[i].fieldName != expected[i].fieldName) {
            problems.push_back("el campo " + std::to_string(i + 1) + " del esquema se llama \"" +
                               OneLine(Cp1252ToUtf8(store.schema[i].fieldName)) + "\" en vez de \"" + want + "\"");
        }
    }
    if (store.schemaFileSize % kDescriptorSize != 0) {
        problems.push_back("el fichero de esquema acaba con " + std::to_string(store.schemaFileSize % kDescriptorSize) +
                           " bytes de un descriptor incompleto");
    }
    return problems;
}

void ReportMore(std::vector<std::string> &problems, int64_t total, size_t shown, const std::string &what) {
    if (total > static_cast<int64_t>(shown)) {
        problems.push_back("... y " + std::to_string(total - static_cast<int64_t>(shown)) + " " + what + " m\xC3\xA1s");
    }
}

int RunCheck(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
    if (args.size() != 2 || args[1].rfind("--", 0) == 0) {
        return UsageError(err, "check necesita una carpeta y nada m\xC3\xA1s");
    }
    ToolStore store;
    if (!OpenOrReport(args[1], store, err)) {
        return kExitError;
    }
    std::vector<std::string> problems = SchemaProblems(store);
    out << "Esquema: " << store.schema.size() << " campos\n";

    RecordShape shape;
    std::vector<ToolRecipe> recipes;
    if (ScanRecordShape(store, shape) != FileStatus::Ok || ReadRecipes(store, {}, {}, recipes) != FileStatus::Ok) {
        err << "guisla-tool: no se pudo leer el fichero de datos\n";
        return kExitError;
    }
    if (store.dataMissing) {
        out << "Datos: no hay fichero de datos (no se ha grabado ninguna receta)\n";
    } else {
        out << "Datos: " << shape.records << " registros de 38 bytes\n";
    }
    out << "Recetas: " << recipes.size();
    if (!recipes.empty()) {
        out << " (claves " << recipes.front().key << " a " << recipes.back().key << ")";
    }
    out << "\n";

    if (shape.tailBytes != 0) {
        problems.push_back("el fichero de datos acaba con " + std::to_string(shape.tailBytes) +
                           " bytes de un registro incompleto");
    }
    for (const InterruptedValue &value : shape.interrupted) {
        problems.push_back("valor sin su \xC3\xBAltimo registro: campo \"" + OneLine(Cp1252ToUtf8(value.name)) +
                           "\", clave " + std::to_string(value.key) + ", " + std::to_string(value.records) +
                           " registros desde el registro " + std::to_string(value.firstRecord));
    }
    ReportMore(problems, shape.interruptedCount, shape.interrupted.size(), "valores interrumpidos");
    for (const KeyStepBack &step : shape.stepBacks) {
        problems.push_back("la clave retrocede de " + std::to_string(step.from) + " a " + std::to_string(step.to) +
                           " en el registro " + std::to_string(step.record));
    }
    ReportMore(problems, shape.stepBackCount, shape.stepBacks.size(), "retrocesos de clave");

    std::set<std::string> known;
    for (int n = 1; n <= kCategoryCount; ++n) {
        known.insert(CategoryCatalogue.displayName[n]);
    }
    int64_t withoutCategory = 0;
    int64_t unknownCategory = 0;
    size_t shown = 0;
    for (const ToolRecipe &recipe : recipes) {
        std::string problem;
        if (recipe.category.empty()) {
            ++withoutCategory;
            problem = "la receta " + std::to_string(recipe.key) + " no tiene categor\xC3\xAD" + "a";
        } else if (known.count(recipe.category) == 0) {
            ++unknownCategory;
            problem = "la receta " + std::to_string(recipe.key) + " tiene una categor\xC3\xAD" +
                      "a que no est\xC3\xA1 en el cat\xC3\xA1logo: \"" + OneLine(Cp1252ToUtf8(recipe.category)) + "\"";
        }
        if (!problem.empty() && shown++ < kShapeDetailLimit) {
            problems.push_back(problem);
        }
    }
    if (shown > kShapeDetailLimit) {
        problems.push_back("... y " + std::to_string(shown - kShapeDetailLimit) + " recetas m\xC3\xA1s con la " +
                           "categor\xC3\xAD" + "a vac\xC3\xAD" + "a o desconocida");
    }
    if (withoutCategory + unknownCategory > 0) {
        out << "Recetas sin categor\xC3\xAD"
               "a: "
            << withoutCategory
            << "; con categor\xC3\xAD"
               "a desconocida: "
            << unknownCategory << "\n";
    }

    for (const std::string &problem : problems) {
        out << "PROBLEMA: " << problem << "\n";
    }
    if (problems.empty()) {
        out << "Resultado: sin problemas\n";
        return kExitOk;
    }
    out << "Resultado: " << problems.size() << (problems.size() == 1 ? " problema" : " problemas") << "\n";
    return kExitProblems;
}

// Draws "[#####.....]  42%" on the terminal, redrawn only when the percentage changes.
ScanProgress ProgressBar(std::ostream &err, int &lastPercent) {
    return [&err, &lastPercent](int64_t scanned, int64_t total) {
        const int percent = total > 0 ? static_cast<int>(scanned * 100 / total) : 100;
        if (percent != lastPercent) {
            lastPercent = percent;
            const int filled = percent * 40 / 100;
            err << "\rExportando [" << std::string(static_cast<size_t>(filled), '#')
                << std::string(static_cast<size_t>(40 - filled), '.') << "] " << percent << "%" << std::flush;
        }
        return true;
    };
}

int RunExport(const std::vector<std::string> &args, std::ostream &out, std::ostream &err, const ToolOptions &options) {
    std::string folder;
    std::string html;
    std::string json;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--html" || args[i] == "--json") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                return UsageError(err, "falta el destino tras " + args[i]);
            }
            (args[i] == "--html" ? html : json) = args[i + 1];
            ++i;
        } else if (folder.empty() && args[i].rfind("--", 0) != 0) {
            folder = args[i];
        } else {
            return UsageError(err, "argumento inesperado: " + args[i]);
        }
    }
    if (folder.empty()) {
        return UsageError(err, "falta la carpeta del almac\xC3\xA9n");
    }
    if (html.empty() == json.empty()) {
        return UsageError(err, "export necesita --html CARPETA o --json FICHERO (uno de los dos)");
    }
    ToolStore store;
    if (!OpenOrReport(folder, store, err)) {
        return kExitError;
    }
    int lastPercent = -1;
    ScanProgress progress;
    if (options.stderrIsTerminal && store.dataSize >= kProgressMinimumBytes) {
        progress = ProgressBar(err, lastPercent);
    }
    const int status = html.empty() ? ExportJson(store, PathFromUtf8(json), progress, err)
                                    : ExportHtml(store, PathFromUtf8(html), progress, err);
    if (lastPercent >= 0) {
        err << "\n";
    }
    if (status == kExitOk) {
        out << "Exportado en " << (html.empty() ? json : html) << "\n";
    }
    return status;
}

int RunImport(const std::vector<std::string> &args, std::ostream &out, std::ostream &err, const ToolOptions &options) {
    ImportRequest request;
    bool haveFolder = false;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--categoria") {
            if (i + 1 >= args.size()) {
                return UsageError(err, "falta el nombre tras --categoria");
            }
            request.category = CategoryNumberFromArgument(args[++i]);
            if (request.category == 0) {
                PrintCategoryRefusal(args[i], err);
                return kExitError;
            }
        } else if (args[i] == "--prueba") {
            request.trial = true;
        } else if (args[i].rfind("--", 0) == 0) {
            return UsageError(err, "argumento inesperado: " + args[i]);
        } else if (!haveFolder) {
            request.storeFolder = args[i];
            haveFolder = true;
        } else {
            request.files.push_back(args[i]);
        }
    }
    if (!haveFolder || request.files.empty()) {
        return UsageError(err, "import necesita la carpeta del almac\xC3\xA9n y al menos un fichero");
    }
    return ImportRecipes(request, out, err, options);
}

} // namespace

int RunTool(const std::vector<std::string> &args, std::ostream &out, std::ostream &err, const ToolOptions &options) {
    FillCategoryCatalogue();
    if (args.empty()) {
        return UsageError(err, "falta la orden");
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        out << kUsage;
        return kExitOk;
    }
    if (args[0] == "list") {
        return RunList(args, out, err);
    }
    if (args[0] == "check") {
        return RunCheck(args, out, err);
    }
    if (args[0] == "export") {
        return RunExport(args, out, err, options);
    }
    if (args[0] == "import") {
        return RunImport(args, out, err, options);
    }
    return UsageError(err, "orden desconocida: " + args[0]);
}
