// guisla-tool import: reads every file, turns each recipe found into the store's values (Windows-1252
// texts within their fields' lengths, a category of the catalogue, a picture from a local source),
// then saves each through the program's saver.
#include "guisla_tool/import.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "guisla_tool/export.h"
#include "guisla_tool/import_text.h"
#include "guisla_tool/recipe_source.h"
#include "guisla_tool/text_out.h"
#include "guisla_tool/tool_store.h"
#include "state/catalogue.h"
#include "store/file.h"
#include "store/save.h"
#include "store/schema_table.h"
#include "store/store.h"

namespace {

bool ReadWholeFile(const std::filesystem::path &path, std::string &bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

std::string LowerAscii(std::string text) {
    for (char &c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

bool StartsWithNoCase(const std::string &text, const std::string &prefix) {
    return LowerAscii(text.substr(0, prefix.size())) == prefix;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// %XX escapes of a URL decoded; other bytes kept.
std::string PercentDecoded(const std::string &text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// Base64 (standard or URL alphabet, padding and blanks optional); false on any other character.
bool Base64Decoded(const std::string &text, std::string &bytes) {
    uint32_t buffer = 0;
    int bits = 0;
    for (char c : text) {
        int value = -1;
        if (c >= 'A' && c <= 'Z') {
            value = c - 'A';
        } else if (c >= 'a' && c <= 'z') {
            value = c - 'a' + 26;
        } else if (c >= '0' && c <= '9') {
            value = c - '0' + 52;
        } else if (c == '+' || c == '-') {
            value = 62;
        } else if (c == '/' || c == '_') {
            value = 63;
        } else if (c == '=' || c == ' ' || c == '\n' || c == '\r' || c == '\t') {
            continue;
        } else {
            return false;
        }
        buffer = (buffer << 6) | static_cast<uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<char>((buffer >> bits) & 0xFF));
        }
    }
    return true;
}

// The extension for an image media type ("image/jpeg" gives "jpg").
std::string ExtensionForMediaType(const std::string &mediaType) {
    const std::string type = LowerAscii(mediaType);
    if (type == "image/jpeg" || type == "image/jpg" || type == "image/pjpeg") {
        return "jpg";
    }
    if (type == "image/tiff") {
        return "tif";
    }
    if (type == "image/svg+xml") {
        return "svg";
    }
    if (type.rfind("image/", 0) == 0 && type.size() > 6) {
        std::string subtype = type.substr(6);
        if (subtype.rfind("x-", 0) == 0) {
            subtype = subtype.substr(2);
        }
        if (subtype == "ms-bmp") {
            subtype = "bmp";
        }
        return subtype;
    }
    return "";
}

// The text after the last dot of a file name (not of the folders above it); empty without one.
std::string FileNameExtension(const std::filesystem::path &path) {
    const std::string name = PathToUtf8(path.filename());
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

ImportPicture PictureFromFile(const std::filesystem::path &path, const std::string &shown) {
    ImportPicture picture;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        picture.why = "no se encuentra la imagen " + shown;
        return picture;
    }
    if (!ReadWholeFile(path, picture.bytes)) {
        picture.why = "no se pudo leer la imagen " + shown;
        return picture;
    }
    if (picture.bytes.empty()) {
        picture.why = "la imagen " + shown + " est\xC3\xA1 vac\xC3\xAD" + "a";
        return picture;
    }
    picture.extension = FileNameExtension(path);
    picture.found = true;
    return picture;
}

ImportPicture PictureFromDataUri(const std::string &uri) {
    ImportPicture picture;
    const size_t comma = uri.find(',');
    if (comma == std::string::npos) {
        picture.why = "la imagen data: no tiene datos";
        return picture;
    }
    const std::string header = uri.substr(5, comma - 5); // after "data:"
    const bool base64 = LowerAscii(header).find(";base64") != std::string::npos;
    const std::string mediaType = header.substr(0, header.find(';'));
    const std::string payload = uri.substr(comma + 1);
    if (base64 ? !Base64Decoded(PercentDecoded(payload), picture.bytes)
               : (picture.bytes = PercentDecoded(payload), false)) {
        picture.why = "la imagen data: no es base64 v\xC3\xA1lido";
        picture.bytes.clear();
        return picture;
    }
    if (picture.bytes.empty()) {
        picture.why = "la imagen data: est\xC3\xA1 vac\xC3\xAD" + std::string("a");
        return picture;
    }
    picture.extension = ExtensionForMediaType(mediaType);
    if (picture.extension.empty()) {
        picture.extension = "bin";
    }
    picture.found = true;
    return picture;
}

// A file: URL as a local path: file:///C:/x, file:/x, file://localhost/x.
std::filesystem::path PathOfFileUrl(const std::string &url) {
    std::string rest = url.substr(5);
    if (rest.rfind("//", 0) == 0) {
        rest = rest.substr(2);
        const size_t slash = rest.find('/');
        const std::string host = rest.substr(0, slash);
        rest = slash == std::string::npos ? std::string() : rest.substr(slash);
        if (!host.empty() && LowerAscii(host) != "localhost") {
            rest = "//" + host + rest; // a share: \\host\path on Windows
        }
    }
    rest = PercentDecoded(rest);
#ifdef _WIN32
    if (rest.size() >= 3 && rest[0] == '/' && rest[2] == ':') {
        rest = rest.substr(1); // /C:/x
    }
#endif
    return PathFromUtf8(rest);
}

// A scheme such as http: or ftp: (two letters at least, so that C:\ stays a path).
bool HasUrlScheme(const std::string &reference) {
    const size_t colon = reference.find(':');
    if (colon == std::string::npos || colon < 2) {
        return false;
    }
    for (size_t i = 0; i < colon; ++i) {
        const char c = reference[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))) {
            return false;
        }
    }
    return true;
}

// The companion folder of a page saved complete: NAME_files beside NAME.html.
std::filesystem::path CompanionFolder(const std::filesystem::path &page) {
    return page.parent_path() / PathFromUtf8(PathToUtf8(page.stem()) + "_files");
}

ImportPicture PictureFromWebAddress(const std::string &url, const std::filesystem::path &source) {
    std::string path = url.substr(0, url.find_first_of("?#"));
    const size_t slash = path.find_last_of('/');
    const std::string name = PercentDecoded(slash == std::string::npos ? path : path.substr(slash + 1));
    if (!name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos) {
        const std::filesystem::path companion = CompanionFolder(source) / PathFromUtf8(name);
        std::error_code error;
        if (std::filesystem::is_regular_file(companion, error)) {
            return PictureFromFile(companion, PathToUtf8(companion));
        }
    }
    ImportPicture picture;
    picture.why = "la imagen es una direcci\xC3\xB3n web (" + url + ") y no est\xC3\xA1 en la carpeta " +
                  PathToUtf8(CompanionFolder(source).filename()) + "; no se descarga nada";
    return picture;
}

// ---- One recipe ----

struct PreparedRecipe {
    std::string source;    // the file, as given (UTF-8)
    std::string shownName; // UTF-8, one line
    RecipeSnapshot values; // Windows-1252
    int category = 0;
    std::filesystem::path sourcePath;
    std::string pictureReference;   // the reference that resolved; read again when saved
    ImportPicture picture;          // its bytes are dropped once checked, so that a long list holds no pictures
    std::string refusal;            // why it cannot go in; empty when it can
    std::vector<std::string> notes; // what the user should know (picture left out, characters changed)
};

std::string Quoted(const std::string &utf8) {
    return "\xC2\xAB" + OneLine(utf8) + "\xC2\xBB";
}

std::string JoinLines(const std::vector<std::string> &lines, Cp1252Report &report) {
    std::string text;
    for (const std::string &line : lines) {
        if (!text.empty()) {
            text += "\r\n";
        }
        text += Utf8ToCp1252(line, report);
    }
    return text;
}

// The category: --categoria, else the first of recipeCategory, recipeCuisine and keywords that
// the table knows. On failure, the refusal names what was found.
int ChooseCategory(const FoundRecipe &found, int forced, std::string &refusal) {
    if (forced != 0) {
        return forced;
    }
    std::vector<std::string> tried;
    for (const std::vector<std::string> *list : {&found.categories, &found.cuisines, &found.keywords}) {
        for (const std::string &name : *list) {
            if (const int number = CategoryNumberForName(name); number != 0) {
                return number;
            }
            tried.push_back(Quoted(name));
        }
    }
    if (tried.empty()) {
        refusal = "no dice su categor\xC3\xAD"
                  "a (recipeCategory, recipeCuisine ni keywords)";
    } else {
        refusal = "ninguna categor\xC3\xAD"
                  "a del cat\xC3\xA1logo corresponde a ";
        for (size_t i = 0; i < tried.size() && i < 6; ++i) {
            refusal += (i == 0 ? "" : ", ") + tried[i];
        }
        if (tried.size() > 6) {
            refusal += " ...";
        }
    }
    refusal += "; ind\xC3\xAD"
               "quela con --categoria NOMBRE";
    return 0;
}

// A field too long for the store: the field's name, its length and the length it allows.
std::string LengthProblem(const std::string &field, size_t length, const FieldDescriptor *descriptor) {
    const int64_t maximum = descriptor != nullptr ? descriptor->maxLength : 0;
    if (static_cast<int64_t>(length) <= maximum) {
        return "";
    }
    return "\"" + field + "\" tiene " + std::to_string(length) + " bytes y el campo admite " + std::to_string(maximum);
}

PreparedRecipe Prepare(const FoundRecipe &found, const std::filesystem::path &source, const std::string &sourceShown,
                       int forcedCategory) {
    PreparedRecipe recipe;
    recipe.source = sourceShown;
    recipe.shownName = found.name.empty() ? "(sin nombre)" : OneLine(found.name);
    Cp1252Report report;
    recipe.values.dishName = Utf8ToCp1252(found.name, report);
    recipe.values.ingredients = JoinLines(found.ingredients, report);
    recipe.values.elaboration = JoinLines(found.steps, report);

    std::vector<std::string> problems;
    if (recipe.values.dishName.empty()) {
        problems.push_back("no tiene nombre (name)");
    }
    if (recipe.values.ingredients.empty()) {
        problems.push_back("no tiene ingredientes (recipeIngredient)");
    }
    if (recipe.values.elaboration.empty()) {
        problems.push_back("no tiene preparaci\xC3\xB3n (recipeInstructions)");
    }
    const struct {
        const char *field;
        const std::string &value;
        int position;
    } texts[] = {{"Plato", recipe.values.dishName, kFieldDishName},
                 {"Ingredientes", recipe.values.ingredients, kFieldIngredients},
                 {"Preparaci\xC3\xB3n", recipe.values.elaboration, kFieldElaboration}};
    for (const auto &text : texts) {
        const std::string problem = LengthProblem(text.field, text.value.size(), SchemaDescriptor(text.position));
        if (!problem.empty()) {
            problems.push_back(problem);
        }
    }
    std::string categoryRefusal;
    recipe.category = ChooseCategory(found, forcedCategory, categoryRefusal);
    if (recipe.category == 0) {
        problems.push_back(categoryRefusal);
    } else {
        recipe.values.categoryName = CategoryCatalogue.displayName[static_cast<size_t>(recipe.category)];
    }
    for (const std::string &problem : problems) {
        recipe.refusal += (recipe.refusal.empty() ? "" : "; ") + problem;
    }
    if (!recipe.refusal.empty()) {
        return recipe;
    }

    std::string firstReason;
    recipe.sourcePath = source;
    for (const std::string &reference : found.images) {
        recipe.picture = ResolvePicture(reference, source);
        if (recipe.picture.found) {
            recipe.pictureReference = reference;
            recipe.picture.bytes = std::string();
            break;
        }
        if (firstReason.empty()) {
            firstReason = recipe.picture.why;
        }
    }
    if (!recipe.picture.found && !firstReason.empty()) {
        recipe.notes.push_back("sin imagen: " + firstReason);
    }
    if (recipe.picture.found) {
        // The saver stores the extension of this path, as the program does for a chosen file.
        recipe.values.picturePath = "imagen." + recipe.picture.extension;
    }
    if (!report.transliterated.empty()) {
        std::string note = "transcrito:";
        for (const std::string &entry : report.transliterated) {
            note += " " + entry + ";";
        }
        note.pop_back();
        recipe.notes.push_back(note);
    }
    if (!report.lost.empty()) {
        std::string note = "sin equivalente en Windows-1252, escrito como \"?\":";
        for (const std::string &character : report.lost) {
            note += " " + character;
        }
        recipe.notes.push_back(note);
    }
    return recipe;
}

std::string SaveFailure(SaveResult result) {
    switch (result) {
    case SaveResult::Saved:
        return "";
    case SaveResult::NoDatabase:
        return "el esquema del almac\xC3\xA9n no tiene los seis campos";
    case SaveResult::KeysExhausted:
        return "el almac\xC3\xA9n ya no tiene claves libres";
    case SaveResult::PictureUnreadable:
        return "no se pudo leer la imagen";
    case SaveResult::Busy:
        return "otro programa (Mi guisla) tiene abierto el almac\xC3\xA9n";
    case SaveResult::DiskFull:
        return "disco lleno; el almac\xC3\xA9n queda como estaba";
    case SaveResult::WriteFailed:
        return "error al escribir; el almac\xC3\xA9n queda como estaba";
    case SaveResult::RollbackFailed:
        return "error al escribir, y el almac\xC3\xA9n puede haber quedado con parte de la receta";
    }
    return "error al escribir";
}

void PrintNotes(const PreparedRecipe &recipe, std::ostream &out) {
    for (const std::string &note : recipe.notes) {
        out << "  " << note << "\n";
    }
}

const char *FileProblemText(SourceProblem problem) {
    switch (problem) {
    case SourceProblem::NotJson:
        return "no es JSON (ni una p\xC3\xA1gina web)";
    case SourceProblem::NoJsonLd:
        return "la p\xC3\xA1gina no tiene datos de receta (ning\xC3\xBAn bloque application/ld+json)";
    case SourceProblem::NoRecipe:
        return "no hay ninguna receta (Recipe) en su JSON-LD";
    case SourceProblem::None:
        break;
    }
    return "";
}

} // namespace

ImportPicture ResolvePicture(const std::string &reference, const std::filesystem::path &source) {
    if (StartsWithNoCase(reference, "data:")) {
        return PictureFromDataUri(reference);
    }
    if (StartsWithNoCase(reference, "file:")) {
        return PictureFromFile(PathOfFileUrl(reference), reference);
    }
    if (HasUrlScheme(reference) || reference.rfind("//", 0) == 0) {
        return PictureFromWebAddress(reference, source);
    }
    // A local path, relative to the file that names it; a page's references may be %-escaped.
    std::filesystem::path path = PathFromUtf8(reference);
    if (path.is_relative()) {
        path = source.parent_path() / path;
    }
    std::error_code error;
    if (!std::filesystem::exists(path, error) && reference.find('%') != std::string::npos) {
        std::filesystem::path decoded = PathFromUtf8(PercentDecoded(reference));
        path = decoded.is_relative() ? source.parent_path() / decoded : decoded;
    }
    return PictureFromFile(path, reference);
}

int ImportRecipes(const ImportRequest &request, std::ostream &out, std::ostream &err, const ToolOptions &options) {
    const std::filesystem::path folder = PathFromUtf8(request.storeFolder);
    int64_t lastKey = 0;
    {
        // Read only: the schema and the last key. Released before anything is written.
        ToolStore store;
        const StoreOpenResult opened = OpenToolStore(folder, store);
        if (opened != StoreOpenResult::Ok) {
            err << "guisla-tool: " << OpenFailureMessage(opened, folder) << ". No se ha grabado nada.\n";
            return kExitError;
        }
        if (store.schema.size() < static_cast<size_t>(kSchemaFieldCount)) {
            err << "guisla-tool: el esquema del almac\xC3\xA9n no tiene los seis campos; no se importa nada\n";
            return kExitError;
        }
        FieldSchema = store.schema;
        if (!store.dataMissing && LastRecipeKeyOf(store.data, lastKey) != FileStatus::Ok) {
            err << "guisla-tool: no se pudo leer el fichero de datos\n";
            return kExitError;
        }
    }

    std::vector<PreparedRecipe> recipes;
    int fileProblems = 0;
    for (const std::string &name : request.files) {
        const std::filesystem::path path = PathFromUtf8(name);
        std::string bytes;
        std::error_code error;
        if (std::filesystem::is_directory(path, error) || !ReadWholeFile(path, bytes)) {
            err << "guisla-tool: " << name << ": no se pudo leer\n";
            ++fileProblems;
            continue;
        }
        const SourceRead read = ReadRecipeSource(bytes, LooksLikeHtml(PathToUtf8(path.filename()), bytes));
        if (read.problem != SourceProblem::None) {
            err << "guisla-tool: " << name << ": " << FileProblemText(read.problem) << "\n";
            ++fileProblems;
            continue;
        }
        if (read.unreadableBlocks > 0) {
            err << "guisla-tool: " << name << ": " << read.unreadableBlocks
                << " bloque(s) application/ld+json no son JSON v\xC3\xA1lido; se leen los dem\xC3\xA1s\n";
        }
        for (const FoundRecipe &found : read.recipes) {
            recipes.push_back(Prepare(found, path, name, request.category));
        }
    }
    if (recipes.empty()) {
        err << "guisla-tool: no se encontr\xC3\xB3 ninguna receta que importar\n";
        return kExitError;
    }

    if (!request.trial) {
        // The store must be free before the first recipe is written: one held by the running
        // program is left alone entirely.
        SetStoreLocation(folder, "guisla");
        StoreFile probe;
        const FileStatus status = OpenStoreFile(DataFilePath(), FileAccess::ReadWrite, probe);
        if (status != FileStatus::Ok) {
            err << "guisla-tool: "
                << (status == FileStatus::Busy ? "el almac\xC3\xA9n lo tiene abierto otro programa (\xC2\xBF"
                                                 "Mi guisla est\xC3\xA1 grabando o buscando?); "
                                                 "vuelva a intentarlo cuando termine"
                                               : "no se puede escribir en el fichero de datos de " + PathToUtf8(folder))
                << ". No se ha grabado nada.\n";
            return kExitError;
        }
    }

    int saved = 0;
    int refused = 0;
    bool stopped = false;
    int64_t nextKey = lastKey + 1;
    for (PreparedRecipe &recipe : recipes) {
        const std::string where = " (" + recipe.source + ")";
        if (!recipe.refusal.empty() || stopped) {
            out << "rechazada: " << recipe.shownName << where << ": "
                << (stopped ? "no se grab\xC3\xB3 tras el error anterior" : recipe.refusal) << "\n";
            ++refused;
            continue;
        }
        const std::string category = Cp1252ToUtf8(recipe.values.categoryName);
        if (request.trial) {
            out << "clave " << nextKey++ << " (prueba): " << recipe.shownName << " [" << category << "]" << where
                << "\n";
            PrintNotes(recipe, out);
            ++saved;
            continue;
        }
        if (recipe.picture.found) {
            recipe.picture = ResolvePicture(recipe.pictureReference, recipe.sourcePath);
            if (!recipe.picture.found) {
                out << "rechazada: " << recipe.shownName << where << ": " << recipe.picture.why << "\n";
                ++refused;
                continue;
            }
        }
        PictureSource picture;
        size_t offset = 0;
        picture.size = static_cast<int64_t>(recipe.picture.bytes.size());
        picture.read = [&recipe, &offset](uint8_t *buffer, size_t count, size_t &got) {
            got = std::min(count, recipe.picture.bytes.size() - offset);
            std::copy_n(recipe.picture.bytes.data() + offset, got, reinterpret_cast<char *>(buffer));
            offset += got;
            return true;
        };
        SaveProgress progress;
        const bool showProgress = options.stderrIsTerminal && picture.size >= kImportProgressMinimumBytes;
        if (showProgress) {
            progress.positionChanged = [&err, &recipe](int position) {
                const int filled = position * 30 / 100;
                err << "\rImagen de " << recipe.shownName << " [" << std::string(static_cast<size_t>(filled), '#')
                    << std::string(static_cast<size_t>(30 - filled), '.') << "] " << position << "%" << std::flush;
            };
            progress.pictureFinished = [&err] { err << "\n" << std::flush; };
        }
        const int64_t keyBefore = LastRecipeKey();
        const SaveResult result = SaveRecipeValues(recipe.values, recipe.picture.found ? &picture : nullptr, progress);
        recipe.picture.bytes = std::string();
        if (result != SaveResult::Saved) {
            out << "rechazada: " << recipe.shownName << where << ": " << SaveFailure(result) << "\n";
            ++refused;
            stopped = result == SaveResult::Busy || result == SaveResult::RollbackFailed ||
                      result == SaveResult::KeysExhausted || result == SaveResult::NoDatabase;
            continue;
        }
        out << "clave " << keyBefore + 1 << ": " << recipe.shownName << " [" << category << "]" << where << "\n";
        PrintNotes(recipe, out);
        ++saved;
    }

    if (request.trial) {
        out << "Prueba: se importar\xC3\xAD" << (saved == 1 ? "a 1 receta" : "an " + std::to_string(saved) + " recetas")
            << ", " << refused << " rechazada" << (refused == 1 ? "" : "s") << ". No se ha escrito nada.\n";
    } else {
        out << "Importada" << (saved == 1 ? "" : "s") << " " << saved << " receta" << (saved == 1 ? "" : "s") << ", "
            << refused << " rechazada" << (refused == 1 ? "" : "s") << ".\n";
    }
    if (saved == 0) {
        return kExitError; // nothing went in (or would go in)
    }
    return refused > 0 || fileProblems > 0 ? kExitProblems : kExitOk;
}
