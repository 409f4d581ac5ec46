// guisla-tool on generated stores: list, check and both exports, their exit statuses and
// messages, the HTML parsed for balanced tags and escaped text, the JSON-LD parsed and held
// against the Recipe fields, and the store left exactly as it was (no file created, no byte
// changed).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "guisla_tool/export.h"
#include "guisla_tool/text_out.h"
#include "guisla_tool/tool.h"
#include "store/schema_table.h"
#include "store_oracle.h"

namespace {

const FieldDescriptor &Field(int position) {
    return SchemaTable()[static_cast<size_t>(position) - 1];
}

struct StoredRecipe {
    int64_t key = 0;
    std::string dish, ingredients, elaboration, picture, category, extension;
};

void AppendRecipe(std::vector<uint8_t> &bytes, const StoredRecipe &r) {
    AppendValueRecords(bytes, Field(kFieldDishName), r.key, r.dish);
    AppendValueRecords(bytes, Field(kFieldIngredients), r.key, r.ingredients);
    AppendValueRecords(bytes, Field(kFieldElaboration), r.key, r.elaboration);
    AppendValueRecords(bytes, Field(kFieldPicture), r.key, r.picture);
    AppendValueRecords(bytes, Field(kFieldCategory), r.key, r.category);
    AppendValueRecords(bytes, Field(kFieldExtension), r.key, r.extension);
}

// Accents, markup in the texts, a picture holding zero bytes, one without picture, one without
// category, one with a category the catalogue does not know, an extension that tries to climb.
std::vector<StoredRecipe> SampleRecipes() {
    const std::string picture("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\0\x01", 20);
    return {
        {1, "Tortilla de patatas", "4 huevos\r\n500 g de patatas\r\nsal", "Fre\xEDr las patatas.\r\nBatir.", picture,
         "Huevos", "PNG"},
        {2, "Gazpacho <andaluz> & \"fr\xEDo\"", "tomate & pepino\r\n  aceite  ", "Triturar\r\n\r\nEnfriar", "",
         "Platos fr\xEDos", ""},
        {3,
         "Pur\xE9 \x80 sin categor\xED"
         "a",
         "patatas", "cocer", std::string("\0", 1), "", "../../x.jpg"},
        {4, "Crema catalana", "leche", "hornear", "GIF89a", "postres", "gif"},
        {5, "Paella", "arroz", "sofre\xEDr", "", "Arroz", ""},
    };
}

std::vector<uint8_t> SampleStore() {
    std::vector<uint8_t> bytes;
    for (const StoredRecipe &recipe : SampleRecipes()) {
        AppendRecipe(bytes, recipe);
    }
    return bytes;
}

std::string ReadText(const std::filesystem::path &path) {
    const std::vector<uint8_t> bytes = ReadWholeFile(path);
    return std::string(bytes.begin(), bytes.end());
}

struct RunResult {
    int status = -1;
    std::string out, err;
};

class GuislaTool : public testing::Test {
protected:
    GuislaTool() : temp_("guisla_tool"), store_(temp_.Path() / "guisla") {
        std::filesystem::create_directories(store_);
    }

    void WriteSchema(const std::vector<uint8_t> &bytes) { WriteWholeFile(store_ / "guisla.z04", bytes); }
    void WriteSchema() { WriteSchema(SchemaFileBytes()); }
    void WriteData(const std::vector<uint8_t> &bytes) { WriteWholeFile(store_ / "guisla.zbd", bytes); }

    RunResult Run(const std::vector<std::string> &args, bool terminal = false) {
        std::ostringstream out, err;
        RunResult result;
        ToolOptions options;
        options.stderrIsTerminal = terminal;
        result.status = RunTool(args, out, err, options);
        result.out = out.str();
        result.err = err.str();
        return result;
    }

    std::string StoreArg() const { return PathToUtf8(store_); }
    std::filesystem::path Out(const std::string &name) const { return temp_.Path() / name; }

    TempFolder temp_;
    std::filesystem::path store_;
};

// ---- A small HTML well-formedness check: balanced tags, quoted attributes, escaped text. ----

// "" when `html` is well formed; else what is wrong. Void elements are meta, img, br, link.
std::string CheckHtml(const std::string &html) {
    static const std::set<std::string> kVoid = {"meta", "img", "br", "link"};
    static const std::vector<std::string> kEntities = {"&amp;", "&lt;", "&gt;", "&quot;", "&#39;"};
    std::vector<std::string> open;
    std::map<std::string, int> seen;
    const auto checkText = [&](const std::string &text) -> std::string {
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '>' || text[i] == '<') {
                return "raw '" + std::string(1, text[i]) + "' in text near: " + text.substr(i, 20);
            }
            if (text[i] == '&') {
                bool known = false;
                for (const std::string &entity : kEntities) {
                    known = known || text.compare(i, entity.size(), entity) == 0;
                }
                if (!known) {
                    return "bare '&' in text near: " + text.substr(i, 20);
                }
            }
            if (static_cast<unsigned char>(text[i]) < 0x20 && text[i] != '\n' && text[i] != '\t') {
                return "control character in text";
            }
        }
        return "";
    };
    size_t i = 0;
    if (html.rfind("<!DOCTYPE html>", 0) != 0) {
        return "no doctype";
    }
    i = html.find('>') + 1;
    while (i < html.size()) {
        const size_t lt = html.find('<', i);
        const std::string text = html.substr(i, lt == std::string::npos ? std::string::npos : lt - i);
        if (std::string problem = checkText(text); !problem.empty()) {
            return problem;
        }
        if (lt == std::string::npos) {
            break;
        }
        const size_t gt = html.find('>', lt);
        if (gt == std::string::npos) {
            return "unterminated tag";
        }
        std::string tag = html.substr(lt + 1, gt - lt - 1);
        if (!tag.empty() && tag[0] == '/') {
            const std::string name = tag.substr(1);
            if (open.empty() || open.back() != name) {
                return "closing </" + name + "> does not match <" + (open.empty() ? "" : open.back()) + ">";
            }
            open.pop_back();
            i = gt + 1;
            continue;
        }
        const bool selfClosing = !tag.empty() && tag.back() == '/';
        const size_t nameEnd = tag.find_first_of(" /");
        const std::string name = tag.substr(0, nameEnd);
        if (name.empty() || name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789") != std::string::npos) {
            return "bad tag name <" + name + ">";
        }
        // Attributes: name="value" pairs, values escaped like text.
        std::string rest = nameEnd == std::string::npos ? "" : tag.substr(nameEnd);
        if (selfClosing) {
            rest.pop_back();
        }
        size_t a = 0;
        while (true) {
            a = rest.find_first_not_of(' ', a);
            if (a == std::string::npos) {
                break;
            }
            const size_t eq = rest.find('=', a);
            if (eq == std::string::npos || eq + 1 >= rest.size() || rest[eq + 1] != '"') {
                return "unquoted attribute in <" + name + ">";
            }
            const size_t close = rest.find('"', eq + 2);
            if (close == std::string::npos) {
                return "unterminated attribute in <" + name + ">";
            }
            if (std::string problem = checkText(rest.substr(eq + 2, close - eq - 2)); !problem.empty()) {
                return "attribute of <" + name + ">: " + problem;
            }
            a = close + 1;
        }
        ++seen[name];
        i = gt + 1;
        if (kVoid.count(name) != 0) {
            continue;
        }
        if (selfClosing) {
            return "self-closed <" + name + ">";
        }
        if (name == "style") { // raw text up to its end tag
            const size_t end = html.find("</style>", i);
            if (end == std::string::npos) {
                return "unterminated style";
            }
            i = end + 8;
            continue;
        }
        open.push_back(name);
    }
    if (!open.empty()) {
        return "unclosed <" + open.back() + ">";
    }
    if (seen["html"] != 1 || seen["head"] != 1 || seen["body"] != 1 || seen["title"] != 1) {
        return "not one html, head, body and title";
    }
    return "";
}

// ---- The export read back with the same JSON library. ----

using Json = nlohmann::json;

const Json *Get(const Json &object, const char *name) {
    if (!object.is_object()) {
        return nullptr;
    }
    const auto it = object.find(name);
    return it == object.end() ? nullptr : &*it;
}

std::string Text(const Json *value) {
    return value != nullptr && value->is_string() ? value->get<std::string>() : "<not a string>";
}

std::vector<std::string> StringItems(const Json *array) {
    std::vector<std::string> items;
    if (array != nullptr && array->is_array()) {
        for (const Json &item : *array) {
            items.push_back(Text(&item));
        }
    }
    return items;
}

// The folder's files and their bytes, to show that a command left the store as it was.
std::map<std::string, std::vector<uint8_t>> Snapshot(const std::filesystem::path &folder) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        files[entry.path().filename().string()] = ReadWholeFile(entry.path());
    }
    return files;
}

} // namespace

TEST(GuislaToolText, Cp1252BecomesUtf8ByTheCodePageTable) {
    EXPECT_EQ(Cp1252ToUtf8("Platos fr\xEDos"), "Platos fr\xC3\xAD"
                                               "os");
    EXPECT_EQ(Cp1252ToUtf8("\x80\x8A\x9F\xA0\xFF"), "\xE2\x82\xAC\xC5\xA0\xC5\xB8\xC2\xA0\xC3\xBF");
    EXPECT_EQ(Cp1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
    EXPECT_EQ(Cp1252ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
    // Every byte gives well-formed UTF-8 of one character: 1 byte below 80, 2 or 3 above.
    for (int b = 0; b < 256; ++b) {
        const std::string utf8 = Cp1252ToUtf8(std::string(1, static_cast<char>(b)));
        const auto lead = static_cast<unsigned char>(utf8[0]);
        const size_t expected = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : 3;
        ASSERT_EQ(utf8.size(), expected) << b;
        EXPECT_EQ(b < 0x80, utf8.size() == 1) << b;
        for (size_t k = 1; k < utf8.size(); ++k) {
            EXPECT_EQ(static_cast<unsigned char>(utf8[k]) & 0xC0, 0x80) << b;
        }
    }
}

TEST(GuislaToolText, EscapesForHtmlAndTheTerminal) {
    EXPECT_EQ(HtmlEscape("<a href=\"x\">'&'</a>"), "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
    EXPECT_EQ(HtmlEscape(std::string("a\0b\x01\tc\n\xC2\x81", 9)), "a\xEF\xBF\xBD"
                                                                   "b\xEF\xBF\xBD\tc\n\xEF\xBF\xBD");
    EXPECT_EQ(OneLine("a\r\nb\xC2\x90"), "a  b ");
    EXPECT_EQ(NormaliseLineBreaks("a\r\nb\rc\n\r\n"), "a\nb\nc\n\n");
    EXPECT_EQ(ExportPictureName("receta-", 7, "../../JPG"), "receta-7.JPG");
    EXPECT_EQ(ExportPictureName("receta-", 7, "\\:."), "receta-7.bin");
    EXPECT_EQ(ExportPictureName("r-", -3, "png"), "r--3.png");
}

TEST_F(GuislaTool, ListShowsKeyCategoryAndDishInKeyOrderAndFiltersByCategory) {
    WriteSchema();
    WriteData(SampleStore());
    RunResult r = Run({"list", StoreArg()});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, "1\tHuevos\tTortilla de patatas\n"
                     "2\tPlatos fr\xC3\xAD"
                     "os\tGazpacho <andaluz> & \"fr\xC3\xAD"
                     "o\"\n"
                     "3\t\tPur\xC3\xA9 \xE2\x82\xAC sin categor\xC3\xAD"
                     "a\n"
                     "4\tpostres\tCrema catalana\n"
                     "5\tArroz\tPaella\n");
    r = Run({"list", StoreArg(), "--categoria",
             "Platos fr\xC3\xAD"
             "os"});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.out, "2\tPlatos fr\xC3\xAD"
                     "os\tGazpacho <andaluz> & \"fr\xC3\xAD"
                     "o\"\n");
    r = Run({"list", "--categoria", "11", StoreArg()});
    EXPECT_EQ(r.out, "5\tArroz\tPaella\n");
    r = Run({"list", StoreArg(), "--categoria", "Cockteles"});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.out, "");
    // Not a catalogue name (case and accents count), a number out of range, a missing name.
    for (const char *bad : {"arroz", "Platos frios", "30", "0"}) {
        r = Run({"list", StoreArg(), "--categoria", bad});
        EXPECT_EQ(r.status, kExitError) << bad;
        EXPECT_NE(r.err.find("desconocida"), std::string::npos) << bad;
    }
    EXPECT_EQ(Run({"list", StoreArg(), "--categoria"}).status, kExitError);
    EXPECT_EQ(Run({"list"}).status, kExitError);
    EXPECT_EQ(Run({"lista", StoreArg()}).status, kExitError);
}

// The recipes listed are the keys with a complete value under a schema name, and each shows what
// the record-by-record reader gives for its category and dish name.
TEST_F(GuislaTool, ListAgreesWithTheReferenceReaderOnMalformedStores) {
    WriteSchema();
    std::mt19937_64 random(1107);
    for (int round = 0; round < 40; ++round) {
        const std::vector<uint8_t> bytes = GenerateRandomStore(random, round % 4 != 0, 60);
        WriteData(bytes);
        const std::vector<DataRecord> records = DecodeDataFile(bytes);
        std::set<int64_t> keys;
        for (const DataRecord &record : records) {
            keys.insert(record.recipeKey);
        }
        std::string expected;
        for (int64_t key : keys) {
            bool any = false;
            for (const FieldDescriptor &field : SchemaTable()) {
                any = any || !OracleReadFieldValue(records, field.fieldName, key).empty();
            }
            if (any) {
                expected += std::to_string(key) + "\t" +
                            OneLine(Cp1252ToUtf8(OracleReadFieldValue(records, "Categoria", key))) + "\t" +
                            OneLine(Cp1252ToUtf8(OracleReadFieldValue(records, "Plato", key))) + "\n";
            }
        }
        const RunResult r = Run({"list", StoreArg()});
        ASSERT_EQ(r.status, kExitOk) << "round " << round;
        ASSERT_EQ(r.out, expected) << "round " << round;
    }
}

TEST_F(GuislaTool, UnreadableStoresAreReportedAndNoStoreFileIsCreated) {
    // Missing folder.
    RunResult r = Run({"list", PathToUtf8(temp_.Path() / "nada")});
    EXPECT_EQ(r.status, kExitError);
    EXPECT_NE(r.err.find("No existe la carpeta"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(temp_.Path() / "nada"));
    // Missing schema: every command refuses, and neither file comes into being.
    for (const std::vector<std::string> &args : {std::vector<std::string>{"list", StoreArg()},
                                                 {"check", StoreArg()},
                                                 {"export", StoreArg(), "--html", PathToUtf8(Out("html"))}}) {
        r = Run(args);
        EXPECT_EQ(r.status, kExitError) << args[0];
        EXPECT_NE(r.err.find("Falta el fichero de esquema"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(Snapshot(store_).empty());
    // An empty schema, and one shorter than a descriptor.
    for (size_t size : {0, 24}) {
        WriteSchema(std::vector<uint8_t>(size, 0));
        r = Run({"check", StoreArg()});
        EXPECT_EQ(r.status, kExitError);
        EXPECT_NE(r.err.find("est\xC3\xA1 vac\xC3\xADo"), std::string::npos) << r.err;
    }
    // A schema and no data file: a store where nothing was saved; the data file is not created.
    WriteSchema();
    r = Run({"list", StoreArg()});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, "");
    r = Run({"check", StoreArg()});
    EXPECT_EQ(r.status, kExitOk) << r.out;
    EXPECT_NE(r.out.find("Recetas: 0"), std::string::npos) << r.out;
    EXPECT_EQ(Run({"export", StoreArg(), "--json", PathToUtf8(Out("r.json"))}).status, kExitOk);
    EXPECT_FALSE(std::filesystem::exists(store_ / "guisla.zbd"));
}

TEST_F(GuislaTool, CheckFindsEachKindOfProblem) {
    WriteSchema();
    std::vector<uint8_t> clean = SampleStore();
    // Only a store whose every recipe has a catalogue category is clean.
    std::vector<uint8_t> good;
    AppendRecipe(good, {1, "Sopa", "agua", "hervir", "", "Sopas", ""});
    AppendRecipe(good, {2, "Flan", "huevos", "cuajar", "BM", "Flanes", "bmp"});
    WriteData(good);
    RunResult r = Run({"check", StoreArg()});
    EXPECT_EQ(r.status, kExitOk) << r.out;
    EXPECT_NE(r.out.find("Recetas: 2 (claves 1 a 2)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("sin problemas"), std::string::npos) << r.out;

    struct Case {
        const char *what;
        std::vector<uint8_t> data;
        std::vector<uint8_t> schema;
        std::string message;
    };
    std::vector<Case> cases;
    {
        std::vector<uint8_t> tail = good;
        tail.resize(tail.size() + 20, 0);
        cases.push_back({"incomplete tail", tail, {}, "20 bytes de un registro incompleto"});
    }
    {
        std::vector<uint8_t> cut = good; // a dish name whose run is ended by another field
        AppendValueRecords(cut, Field(kFieldDishName), 3, "Pisto");
        cut.resize(cut.size() - kRecordSize);
        AppendValueRecords(cut, Field(kFieldCategory), 3, "Verduras");
        cases.push_back({"interrupted value", cut, {}, "campo \"Plato\", clave 3, 4 registros"});
    }
    {
        std::vector<uint8_t> end = good; // a picture cut by the end of the file
        AppendValueRecords(end, Field(kFieldPicture), 3, "JFIF");
        end.resize(end.size() - kRecordSize);
        cases.push_back({"value cut at the end", end, {}, "campo \"Imagen\", clave 3, 3 registros"});
    }
    {
        std::vector<uint8_t> back = good;
        AppendRecipe(back, {1, "Otra", "x", "y", "", "Sopas", ""});
        cases.push_back({"keys going backwards", back, {}, "la clave retrocede de 2 a 1"});
    }
    cases.push_back({"recipe without category",
                     clean,
                     {},
                     "la receta 3 no tiene categor\xC3\xAD"
                     "a"});
    cases.push_back({"unknown category", clean, {}, "no est\xC3\xA1 en el cat\xC3\xA1logo: \"postres\""});
    {
        std::vector<uint8_t> five = SchemaFileBytes();
        five.resize(5 * kDescriptorSize);
        cases.push_back({"schema of five fields", good, five, "al esquema le falta el campo 6 \"extensi\xC3\xB3n\""});
        std::vector<uint8_t> renamed = SchemaFileBytes();
        renamed[kDescriptorFieldName] = 'p';
        cases.push_back({"schema field renamed", good, renamed, "se llama \"plato\" en vez de \"Plato\""});
        std::vector<uint8_t> longer = SchemaFileBytes();
        longer.push_back(0);
        cases.push_back({"schema tail", good, longer, "1 bytes de un descriptor incompleto"});
    }
    for (const Case &c : cases) {
        WriteSchema(c.schema.empty() ? SchemaFileBytes() : c.schema);
        WriteData(c.data);
        const auto before = Snapshot(store_);
        r = Run({"check", StoreArg()});
        EXPECT_EQ(r.status, kExitProblems) << c.what << "\n" << r.out;
        EXPECT_NE(r.out.find("PROBLEMA: "), std::string::npos) << c.what;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << c.what << "\n" << r.out;
        EXPECT_EQ(Snapshot(store_), before) << c.what;
    }
    EXPECT_EQ(Run({"check"}).status, kExitError);
    EXPECT_EQ(Run({"check", StoreArg(), "extra"}).status, kExitError);
}

TEST_F(GuislaTool, CheckCountsInterruptedValuesBeyondTheListedOnes) {
    WriteSchema();
    std::vector<uint8_t> bytes;
    for (int64_t key = 1; key <= 30; ++key) {
        AppendValueRecords(bytes, Field(kFieldDishName), key, "ab");
        bytes.resize(bytes.size() - kRecordSize); // only "a", never finished
        AppendValueRecords(bytes, Field(kFieldCategory), key, "Aves");
    }
    WriteData(bytes);
    const RunResult r = Run({"check", StoreArg()});
    EXPECT_EQ(r.status, kExitProblems);
    EXPECT_NE(r.out.find("... y 10 valores interrumpidos m\xC3\xA1s"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Recetas: 30"), std::string::npos) << r.out;
}

TEST_F(GuislaTool, HtmlExportIsWellFormedEscapedAndComplete) {
    WriteSchema();
    WriteData(SampleStore());
    const auto before = Snapshot(store_);
    const std::filesystem::path out = Out("libro");
    const RunResult r = Run({"export", StoreArg(), "--html", PathToUtf8(out)});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(Snapshot(store_), before);

    const std::string index = ReadText(out / "index.html");
    EXPECT_EQ(CheckHtml(index), "");
    // Catalogue order (Platos fríos 2, Arroz 11, Huevos 17), then unknown, then none.
    const size_t cold = index.find("<h2>Platos fr\xC3\xAD"
                                   "os");
    const size_t rice = index.find("<h2>Arroz");
    const size_t eggs = index.find("<h2>Huevos");
    const size_t other = index.find("<h2>Otras categor\xC3\xAD"
                                    "as");
    const size_t none = index.find("<h2>Sin categor\xC3\xAD"
                                   "a");
    ASSERT_NE(none, std::string::npos) << index;
    EXPECT_TRUE(cold < rice && rice < eggs && eggs < other && other < none) << index;
    EXPECT_EQ(index.find("<h2>Aperitivos"), std::string::npos); // empty categories are left out
    EXPECT_NE(index.find("<a href=\"receta-2.html\">Gazpacho &lt;andaluz&gt; &amp; &quot;fr\xC3\xAD"
                         "o&quot;</a>"),
              std::string::npos)
        << index;
    EXPECT_NE(index.find("@media print"), std::string::npos);
    EXPECT_NE(index.find("size: A4"), std::string::npos);

    for (const StoredRecipe &recipe : SampleRecipes()) {
        const std::filesystem::path page = out / ("receta-" + std::to_string(recipe.key) + ".html");
        ASSERT_TRUE(std::filesystem::exists(page)) << page;
        const std::string html = ReadText(page);
        EXPECT_EQ(CheckHtml(html), "") << page;
        EXPECT_NE(html.find("<h1>" + HtmlEscape(Cp1252ToUtf8(recipe.dish)) + "</h1>"), std::string::npos) << html;
        EXPECT_NE(html.find(HtmlEscape(NormaliseLineBreaks(Cp1252ToUtf8(recipe.ingredients)))), std::string::npos);
        EXPECT_NE(html.find(HtmlEscape(NormaliseLineBreaks(Cp1252ToUtf8(recipe.elaboration)))), std::string::npos);
        EXPECT_EQ(html.find('\r'), std::string::npos);
        EXPECT_EQ(html.find("<link"), std::string::npos); // self-contained: styles inside
        if (recipe.picture.empty()) {
            EXPECT_EQ(html.find("<img"), std::string::npos);
            continue;
        }
        const std::string name = ExportPictureName("receta-", recipe.key, recipe.extension);
        EXPECT_NE(html.find("<img class=\"foto\" src=\"imagenes/" + name + "\""), std::string::npos) << html;
        const std::vector<uint8_t> bytes = ReadWholeFile(out / "imagenes" / name);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), recipe.picture) << name;
    }
    EXPECT_TRUE(std::filesystem::exists(out / "imagenes" / "receta-1.PNG"));  // the stored case kept
    EXPECT_TRUE(std::filesystem::exists(out / "imagenes" / "receta-3.xjpg")); // "../../x.jpg", made safe
    // Nothing else: no provisional files, no probe, nothing outside the output folder.
    size_t files = 0;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(out)) {
        files += entry.is_regular_file() ? 1 : 0;
        EXPECT_EQ(entry.path().extension(), entry.is_directory() ? "" : entry.path().extension());
        EXPECT_NE(entry.path().extension(), ".part");
    }
    EXPECT_EQ(files, 1u + 5u + 3u);
    EXPECT_EQ(std::set<std::string>({"guisla", "libro"}), [&] {
        std::set<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(temp_.Path())) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }());
}

TEST_F(GuislaTool, JsonExportHoldsTheRecipeFields) {
    WriteSchema();
    WriteData(SampleStore());
    const std::filesystem::path file = Out("recetas.json");
    const RunResult r = Run({"export", StoreArg(), "--json", PathToUtf8(file)});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    const std::string text = ReadText(file);
    const Json doc = Json::parse(text, nullptr, false);
    ASSERT_TRUE(doc.is_object()) << text;
    ASSERT_NE(Get(doc, "@context"), nullptr);
    EXPECT_EQ(Text(Get(doc, "@context")), "https://schema.org");
    const Json *graph = Get(doc, "@graph");
    ASSERT_NE(graph, nullptr);
    ASSERT_TRUE(graph->is_array());
    const std::vector<StoredRecipe> recipes = SampleRecipes();
    ASSERT_EQ(graph->size(), recipes.size());
    for (size_t i = 0; i < recipes.size(); ++i) {
        const Json &recipe = (*graph)[i];
        const StoredRecipe &stored = recipes[i];
        ASSERT_TRUE(recipe.is_object());
        ASSERT_NE(Get(recipe, "@type"), nullptr);
        EXPECT_EQ(Text(Get(recipe, "@type")), "Recipe");
        EXPECT_EQ(Text(Get(recipe, "identifier")), std::to_string(stored.key));
        EXPECT_EQ(Text(Get(recipe, "name")), Cp1252ToUtf8(stored.dish));
        if (stored.category.empty()) {
            EXPECT_EQ(Get(recipe, "recipeCategory"), nullptr);
        } else {
            ASSERT_NE(Get(recipe, "recipeCategory"), nullptr);
            EXPECT_EQ(Text(Get(recipe, "recipeCategory")), Cp1252ToUtf8(stored.category));
        }
        const Json *instructions = Get(recipe, "recipeInstructions");
        ASSERT_NE(instructions, nullptr);
        ASSERT_TRUE(instructions->is_array());
        std::vector<std::string> steps;
        for (const Json &step : *instructions) {
            ASSERT_TRUE(step.is_object());
            EXPECT_EQ(Text(Get(step, "@type")), "HowToStep");
            steps.push_back(Text(Get(step, "text")));
        }
        const Json *image = Get(recipe, "image");
        if (stored.picture.empty()) {
            EXPECT_EQ(image, nullptr);
        } else {
            ASSERT_NE(image, nullptr);
            const std::vector<uint8_t> bytes = ReadWholeFile(file.parent_path() / Text(image));
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), stored.picture);
            EXPECT_EQ(Text(image), ExportPictureName("recetas-", stored.key, stored.extension));
        }
        if (stored.key == 1) {
            EXPECT_EQ(StringItems(Get(recipe, "recipeIngredient")),
                      (std::vector<std::string>{"4 huevos", "500 g de patatas", "sal"}));
            EXPECT_EQ(steps, (std::vector<std::string>{"Fre\xC3\xAD"
                                                       "r las patatas.",
                                                       "Batir."}));
        }
        if (stored.key == 2) { // blank lines dropped, blanks at the ends trimmed
            EXPECT_EQ(StringItems(Get(recipe, "recipeIngredient")),
                      (std::vector<std::string>{"tomate & pepino", "aceite"}));
            EXPECT_EQ(steps, (std::vector<std::string>{"Triturar", "Enfriar"}));
        }
    }
}

// A store of many recipes with pictures: every picture exported equals the reference reader's
// value, on well-formed and malformed stores alike, and the JSON stays parseable.
TEST_F(GuislaTool, ExportedPicturesAgreeWithTheReferenceReader) {
    WriteSchema();
    std::mt19937_64 random(2026);
    for (int round = 0; round < 12; ++round) {
        const std::vector<uint8_t> bytes =
            round < 2 ? GenerateWellFormedStore(random, 40, 3000) : GenerateRandomStore(random, round % 3 != 0, 50);
        WriteData(bytes);
        const std::vector<DataRecord> records = DecodeDataFile(bytes);
        const std::filesystem::path out = Out("r" + std::to_string(round));
        RunResult r = Run({"export", StoreArg(), "--json", PathToUtf8(out / "todo.json")});
        ASSERT_EQ(r.status, kExitOk) << r.err;
        const Json doc = Json::parse(ReadText(out / "todo.json"), nullptr, false);
        ASSERT_TRUE(doc.is_object()) << "round " << round;
        for (const Json &recipe : *Get(doc, "@graph")) {
            const int64_t key = std::stoll(Text(Get(recipe, "identifier")));
            const std::string picture = OracleReadFieldValue(records, "Imagen", key);
            const Json *image = Get(recipe, "image");
            ASSERT_EQ(image != nullptr, !picture.empty()) << "round " << round << " key " << key;
            if (image != nullptr) {
                const std::vector<uint8_t> exported = ReadWholeFile(out / Text(image));
                ASSERT_EQ(std::string(exported.begin(), exported.end()), picture) << key;
            }
            EXPECT_EQ(Text(Get(recipe, "name")), Cp1252ToUtf8(OracleReadFieldValue(records, "Plato", key)));
        }
        r = Run({"export", StoreArg(), "--html", PathToUtf8(out / "html")});
        ASSERT_EQ(r.status, kExitOk) << r.err;
        EXPECT_EQ(CheckHtml(ReadText(out / "html" / "index.html")), "") << "round " << round;
    }
}

TEST_F(GuislaTool, ExportRefusesUnwritableOutputsAndBadCommandLines) {
    WriteSchema();
    WriteData(SampleStore());
    // A regular file where the output folder (or the JSON file's folder) should be.
    WriteWholeFile(Out("fichero"), {'x'});
    RunResult r = Run({"export", StoreArg(), "--html", PathToUtf8(Out("fichero") / "libro")});
    EXPECT_EQ(r.status, kExitError);
    EXPECT_NE(r.err.find("No se puede escribir en la carpeta de salida"), std::string::npos) << r.err;
    r = Run({"export", StoreArg(), "--json", PathToUtf8(Out("fichero") / "r.json")});
    EXPECT_EQ(r.status, kExitError);
    EXPECT_NE(r.err.find("No se puede escribir en la carpeta de salida"), std::string::npos) << r.err;
    // A folder given as the JSON file.
    r = Run({"export", StoreArg(), "--json", PathToUtf8(temp_.Path())});
    EXPECT_EQ(r.status, kExitError);
    // Neither or both destinations, no store, an unknown option.
    EXPECT_EQ(Run({"export", StoreArg()}).status, kExitError);
    EXPECT_EQ(Run({"export", StoreArg(), "--html", "a", "--json", "b"}).status, kExitError);
    EXPECT_EQ(Run({"export", "--html", PathToUtf8(Out("h"))}).status, kExitError);
    EXPECT_EQ(Run({"export", StoreArg(), "--pdf", "x"}).status, kExitError);
    EXPECT_FALSE(std::filesystem::exists(Out("h")));
}

TEST(GuislaToolHtmlCheck, RejectsWhatItMustReject) {
    const std::string head = "<!DOCTYPE html>\n<html><head><title>t</title></head><body>";
    EXPECT_EQ(CheckHtml(head + "<p>a &amp; b</p></body></html>"), "");
    EXPECT_NE(CheckHtml(head + "<p>a & b</p></body></html>"), "");
    EXPECT_NE(CheckHtml(head + "<p>a > b</p></body></html>"), "");
    EXPECT_NE(CheckHtml(head + "<p><b>x</p></b></body></html>"), "");
    EXPECT_NE(CheckHtml(head + "<p>x</body></html>"), "");
    EXPECT_NE(CheckHtml(head + "<img src=x /></body></html>"), "");
    EXPECT_NE(CheckHtml(head + "<img alt=\"<\" /></body></html>"), "");
}

// A long export on a terminal draws a bar that reaches 100%; elsewhere, or for a small store, none.
TEST_F(GuislaTool, ProgressBarOnlyForLongExportsOnATerminal) {
    WriteSchema();
    std::vector<uint8_t> big;
    AppendRecipe(big,
                 {1, "Grande", "a", "b", std::string(kProgressMinimumBytes / kRecordSize + 10, 'p'), "Aves", "jpg"});
    WriteData(big);
    RunResult r = Run({"export", StoreArg(), "--json", PathToUtf8(Out("a.json"))}, true);
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(r.err.find("\rExportando ["), std::string::npos);
    EXPECT_NE(r.err.find("] 100%\n"), std::string::npos);
    EXPECT_EQ(std::filesystem::file_size(Out("a-1.jpg")),
              static_cast<uintmax_t>(kProgressMinimumBytes / kRecordSize + 10));
    r = Run({"export", StoreArg(), "--json", PathToUtf8(Out("b.json"))}, false);
    EXPECT_EQ(r.err, "");
    WriteData(SampleStore());
    r = Run({"export", StoreArg(), "--json", PathToUtf8(Out("c.json"))}, true);
    EXPECT_EQ(r.err, "");
}
