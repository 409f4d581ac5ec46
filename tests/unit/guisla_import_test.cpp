// guisla-tool import on real-shaped inputs: pages with a @graph, steps in sections, entities,
// pictures from the companion folder, data: URIs and file: URLs; refusals (unknown category,
// over-long text, not JSON, a page without JSON-LD, a busy store) that write nothing for the
// refused recipe; export then import giving back every value; the text conversion and the
// category table.
#include <gtest/gtest.h>

#include <sstream>

#include "../fuzz/recipe_source_check.h"
#include "guisla_tool/export.h"
#include "guisla_tool/import_text.h"
#include "guisla_tool/recipe_source.h"
#include "guisla_tool/text_out.h"
#include "guisla_tool/tool.h"
#include "state/catalogue.h"
#include "store/file.h"
#include "store/schema_table.h"
#include "store/store.h"
#include "store_oracle.h"

namespace {

// The bytes of a tiny PNG file (header and start of IHDR; enough for the store, which keeps bytes).
const std::string kPng("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\0\x02", 20);
const char *const kPngBase64 = "iVBORw0KGgoAAAANSUhEUgAAAAI=";

struct RunResult {
    int status = -1;
    std::string out, err;
};

class GuislaImport : public testing::Test {
protected:
    GuislaImport() : temp_("guisla_import"), store_(temp_.Path() / "guisla") {
        std::filesystem::create_directories(store_);
        WriteWholeFile(store_ / "guisla.z04", SchemaFileBytes());
    }

    RunResult Run(const std::vector<std::string> &args) {
        std::ostringstream out, err;
        RunResult result;
        result.status = RunTool(args, out, err, ToolOptions{});
        result.out = out.str();
        result.err = err.str();
        return result;
    }

    std::filesystem::path Write(const std::string &name, const std::string &text) {
        const std::filesystem::path path = temp_.Path() / name;
        std::filesystem::create_directories(path.parent_path());
        WriteWholeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
        return path;
    }

    std::vector<uint8_t> Data() const {
        return std::filesystem::exists(store_ / "guisla.zbd") ? ReadWholeFile(store_ / "guisla.zbd")
                                                              : std::vector<uint8_t>{};
    }

    // The six values of `key` as the program reads them back.
    std::vector<std::string> Values(int64_t key) const {
        const std::vector<DataRecord> records = DecodeDataFile(Data());
        std::vector<std::string> values;
        for (const FieldDescriptor &field : SchemaTable()) {
            values.push_back(OracleReadFieldValue(records, field.fieldName, key));
        }
        return values;
    }

    int64_t LastKey() const {
        const std::vector<DataRecord> records = DecodeDataFile(Data());
        return records.empty() ? 0 : records.back().recipeKey;
    }

    std::string StoreArg() const { return PathToUtf8(store_); }

    TempFolder temp_;
    std::filesystem::path store_;
};

// A page saved "complete" from a recipe site: the Recipe inside a @graph beside other things,
// entities and tags in the texts, steps in two named sections, the picture a web address whose
// file the browser saved in pagina_files/.
const char *const kPage = R"(<!DOCTYPE html>
<html lang="es"><head><meta charset="utf-8"><title>Tarta de Santiago</title>
<script type="application/ld+json">{"@context":"https://schema.org","@type":"Organization","name":"Blog"}</script>
<script type="application/ld+json">
{"@context":"https://schema.org","@graph":[
  {"@type":"WebPage","@id":"https://cocina.example/tarta/","name":"Tarta"},
  {"@type":["Recipe","NewsArticle"],"name":"Tarta de Santiago &amp; m&#225;s","recipeCategory":"Postres",
   "recipeIngredient":["250 g de almendra <b>molida</b>","4 huevos","  1&frac12; tazas de az&uacute;car  "],
   "recipeInstructions":[
     {"@type":"HowToSection","name":"La masa","itemListElement":[
       {"@type":"HowToStep","name":"Mezclar","text":"<p>Mezclar la almendra con el az&uacute;car.</p>"},
       {"@type":"HowToStep","text":"Batir los huevos &#8211; a mano &#8217;vale&#8217;."}]},
     {"@type":"HowToSection","name":"Al horno","itemListElement":[{"@type":"HowToStep","text":"Hornear 40 min."}]}],
   "image":{"@type":"ImageObject","url":"https://cocina.example/wp-content/uploads/tarta%20grande.jpg?w=800"}}
]}
</script></head><body><h1>Tarta de Santiago</h1><script>var x = "<script>";</script></body></html>
)";

} // namespace

TEST_F(GuislaImport, RealShapedPagesAndFilesGoInWithTheirValuesAndPictures) {
    const std::filesystem::path page = Write("pagina.html", kPage);
    Write("pagina_files/tarta grande.jpg", "JPEG\xFF\xD8 bytes");
    Write("fotos/sopa.GIF", "GIF89a");
    const std::string json = std::string(R"([
  {"@type":"Recipe","name":"Sopa de ajo","recipeCuisine":"Spanish","keywords":"fácil, Soups",
   "ingredients":"ajo\npan\nagua","recipeInstructions":"<ol><li>Dorar el ajo.</li><li>Añadir el pan.</li></ol>",
   "image":"fotos/sopa.GIF"},
  {"@context":"https://schema.org","@type":"WebPage","mainEntity":{"@type":"Recipe","name":"Arroz al horno",
   "recipeCategory":["Main course","Arroces"],"recipeIngredient":"arroz","recipeInstructions":["Hornear"],
   "image":["https://elsewhere.example/a.jpg","data:image/png;base64,)") +
                             kPngBase64 + R"("]}},
  {"@type":"Recipe","name":"Pollo","recipeCategory":"Chicken","recipeIngredient":["pollo"],
   "recipeInstructions":[{"@type":"HowToStep","text":"Asar"}],"image":"https://elsewhere.example/pollo.jpg"}
])";
    const std::filesystem::path file = Write("recetas.json", json);
    const RunResult r = Run({"import", StoreArg(), PathToUtf8(page), PathToUtf8(file)});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("clave 1: Tarta de Santiago & m\xC3\xA1s [Reposter\xC3\xAD"
                         "a]"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("clave 4: Pollo [Aves]"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("sin imagen: la imagen es una direcci\xC3\xB3n web (https://elsewhere.example/pollo.jpg)"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Importadas 4 recetas, 0 rechazadas."), std::string::npos) << r.out;

    EXPECT_EQ(Values(1), (std::vector<std::string>{
                             "Tarta de Santiago & m\xE1s",
                             "250 g de almendra molida\r\n4 huevos\r\n1\xBD tazas de az\xFA"
                             "car",
                             "La masa\r\nMezclar la almendra con el az\xFA"
                             "car.\r\nBatir los huevos \x96 a mano \x92vale\x92.\r\nAl horno\r\nHornear 40 min.",
                             "JPEG\xFF\xD8 bytes",
                             "Reposter\xED"
                             "a",
                             "jpg"}));
    EXPECT_EQ(Values(2), (std::vector<std::string>{"Sopa de ajo", "ajo\r\npan\r\nagua",
                                                   "Dorar el ajo.\r\nA\xF1"
                                                   "adir el pan.",
                                                   "GIF89a", "Sopas", "GIF"}));
    // The first picture that resolves wins: the web address is skipped for the data: URI.
    EXPECT_EQ(Values(3), (std::vector<std::string>{"Arroz al horno", "arroz", "Hornear", kPng, "Arroz", "png"}));
    EXPECT_EQ(Values(4), (std::vector<std::string>{"Pollo", "pollo", "Asar", "", "Aves", ""}));
}

TEST_F(GuislaImport, RefusalsNameTheirCauseAndWriteNothingOfTheRefusedRecipe) {
    const std::string longText(8001, 'x');
    const std::filesystem::path file = Write("mezcla.json", R"({"@graph":[
  {"@type":"Recipe","name":"Buena","recipeCategory":"Ensalada","recipeIngredient":["lechuga"],"recipeInstructions":"Ali\u00f1ar"},
  {"@type":"Recipe","name":"Sin sitio","recipeCategory":"Main course","recipeCuisine":"Italian","recipeIngredient":["x"],"recipeInstructions":"y"},
  {"@type":"Recipe","name":"Larga","recipeCategory":"Salad","recipeIngredient":[")" +
                                                                longText +
                                                                R"("],"recipeInstructions":"y"},
  {"@type":"Recipe","name":"Vac\u00eda","recipeCategory":"Salad","recipeInstructions":"y"}]})");
    const std::filesystem::path notJson = Write("roto.json", "{\"@type\": \"Recipe\", \"name\": ");
    const std::filesystem::path noJsonLd = Write("sin.html", "<html><body><p>Receta sin datos</p></body></html>");

    // A trial run: what would go in, and not a byte written (not even an empty data file).
    RunResult r = Run({"import", StoreArg(), PathToUtf8(file), "--prueba"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("clave 1 (prueba): Buena [Ensaladas]"), std::string::npos) << r.out;
    EXPECT_FALSE(std::filesystem::exists(store_ / "guisla.zbd"));

    r = Run({"import", StoreArg(), PathToUtf8(file), PathToUtf8(notJson), PathToUtf8(noJsonLd)});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("clave 1: Buena [Ensaladas]"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("rechazada: Sin sitio (" + PathToUtf8(file) +
                         "): ninguna categor\xC3\xAD"
                         "a del cat\xC3\xA1logo corresponde a \xC2\xABMain course\xC2\xBB, \xC2\xABItalian\xC2\xBB; "
                         "ind\xC3\xAD"
                         "quela con --categoria NOMBRE"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("rechazada: Larga (" + PathToUtf8(file) +
                         "): \"Ingredientes\" tiene 8001 bytes y el campo admite 8000"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("rechazada: Vac\xC3\xAD"
                         "a (" +
                         PathToUtf8(file) + "): no tiene ingredientes"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.err.find("roto.json: no es JSON"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("sin.html: la p\xC3\xA1gina no tiene datos de receta"), std::string::npos) << r.err;
    EXPECT_EQ(LastKey(), 1);
    const size_t oneRecipe = Data().size();

    // --categoria puts the unmapped one in; the over-long one is still refused, nothing cut.
    r = Run({"import", StoreArg(), PathToUtf8(file), "--categoria", "22"});
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("clave 3: Sin sitio [Carnes]"), std::string::npos) << r.out;
    EXPECT_EQ(Values(3)[4], "Carnes");
    EXPECT_EQ(LastKey(), 3);
    EXPECT_GT(Data().size(), oneRecipe);

    // Nothing readable at all, or an unknown --categoria: status 2.
    EXPECT_EQ(Run({"import", StoreArg(), PathToUtf8(notJson)}).status, 2);
    EXPECT_EQ(Run({"import", StoreArg(), PathToUtf8(file), "--categoria", "Postres"}).status, 2);
}

TEST_F(GuislaImport, ABusyStoreGetsAClearMessageAndNothingWritten) {
    const std::filesystem::path file = Write("r.json", R"({"@type":"Recipe","name":"A","recipeCategory":"Soup",
        "recipeIngredient":["b"],"recipeInstructions":"c"})");
    WriteWholeFile(store_ / "guisla.zbd", {});
    SetStoreLocation(store_, "guisla");
    StoreFile held;
    ASSERT_EQ(OpenStoreFile(DataFilePath(), FileAccess::ReadWrite, held), FileStatus::Ok);
    const RunResult r = Run({"import", StoreArg(), PathToUtf8(file)});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("No se ha grabado nada"), std::string::npos) << r.err;
    CloseStoreFile(held);
    EXPECT_TRUE(Data().empty());
}

// What export --json writes comes back byte for byte, pictures and 1252 punctuation included.
TEST_F(GuislaImport, ExportThenImportGivesBackEveryValue) {
    std::vector<uint8_t> bytes;
    const std::vector<std::vector<std::string>> recipes = {
        {"Tortilla de patatas", "4 huevos\r\n500 g de patatas\r\nsal",
         "Fre\xEDr.\r\nBatir \x93"
         "bien\x94 \x85",
         std::string("\x89PNG\0\0\x01", 7), "Huevos", "png"},
        {"Gazpacho \x80 \xBD", "tomate & pepino", "Triturar\r\nEnfriar", "", "Platos fr\xEDos", ""},
        {"Pi\xF1"
         "a colada",
         "pi\xF1"
         "a\r\nron",
         "Batir", "GIF89a\0", "Cockteles", "GIF"},
    };
    for (size_t i = 0; i < recipes.size(); ++i) {
        for (size_t field = 0; field < recipes[i].size(); ++field) {
            AppendValueRecords(bytes, SchemaTable()[field], static_cast<int64_t>(i + 1), recipes[i][field]);
        }
    }
    TempFolder source("guisla_import_source");
    std::filesystem::create_directories(source.Path() / "guisla");
    WriteWholeFile(source.Path() / "guisla" / "guisla.z04", SchemaFileBytes());
    WriteWholeFile(source.Path() / "guisla" / "guisla.zbd", bytes);
    const std::string exported = PathToUtf8(temp_.Path() / "export" / "recetas.json");
    ASSERT_EQ(Run({"export", PathToUtf8(source.Path() / "guisla"), "--json", exported}).status, 0);

    const RunResult r = Run({"import", StoreArg(), exported});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    for (size_t i = 0; i < recipes.size(); ++i) {
        EXPECT_EQ(Values(static_cast<int64_t>(i + 1)), recipes[i]) << "key " << i + 1;
    }
}

TEST(GuislaImportText, Cp1252CharactersComeBackExactlyAndOthersAreTransliteratedOrReported) {
    std::string every;
    for (int b = 1; b < 256; ++b) {
        every.push_back(static_cast<char>(b));
    }
    Cp1252Report report;
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(every), report), every);
    EXPECT_TRUE(report.transliterated.empty());
    EXPECT_TRUE(report.lost.empty());

    const std::string text = "1\xE2\x85\x93 taza \xE2\x80\x91 \xEF\xAC\x81no\xE2\x80\x89"
                             "g \xC5\x82"
                             "y\xC5\xBC"
                             "ka \xE2\x80\x8B\xF0\x9F\x8D\x85 \xFF\xE2\x85\x93";
    EXPECT_EQ(Utf8ToCp1252(text, report), "1 1/3 taza - fino g lyzka ? ?1/3");
    EXPECT_EQ(report.transliterated.size(), 6u); // ⅓ ‑ ﬁ thin space ł ż, the second ⅓ not again
    EXPECT_EQ(report.lost, (std::vector<std::string>{"\xF0\x9F\x8D\x85", "\xEF\xBF\xBD"}));
}

TEST(GuislaImportText, CategoryNamesInEitherLanguageAndForm) {
    FillCategoryCatalogue();
    for (int n = 1; n <= kCategoryCount; ++n) {
        EXPECT_EQ(CategoryNumberForName(Cp1252ToUtf8(CategoryCatalogue.displayName[n])), n) << n;
    }
    const std::vector<std::pair<std::string, int>> names = {
        {"Sopa", 8},
        {"SOUPS", 8},
        {"arroces", 11},
        {"Rice", 11},
        {"Pur\xC3\xA9", 10},
        {"purés", 10},
        {"Desserts", 27},
        {"  postres ", 27},
        {"cóctel", 28},
        {"Cocktails", 28},
        {"Seafood", 21},
        {"Potatoes", 12},
        {"platos-fr\xC3\xADos", 2},
        {"Main course", 0},
        {"", 0},
        {"Spanish", 0},
    };
    for (const auto &[name, number] : names) {
        EXPECT_EQ(CategoryNumberForName(name), number) << name;
    }
}

TEST(GuislaImportSource, ShapesOfJsonLdAndPages) {
    // Old "ingredients", HowToStep names without text, nested lists, numbers as names.
    SourceRead read = ReadRecipeSource(R"({"@type":"http://schema.org/Recipe","name":42,"ingredients":["a","b"],
        "recipeInstructions":[[{"@type":"HowToStep","name":"Uno"}],{"@type":"ItemList","itemListElement":["Dos"]}]})",
                                       false);
    ASSERT_EQ(read.problem, SourceProblem::None);
    ASSERT_EQ(read.recipes.size(), 1u);
    EXPECT_EQ(read.recipes[0].name, "42");
    EXPECT_EQ(read.recipes[0].ingredients, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(read.recipes[0].steps, (std::vector<std::string>{"Uno", "Dos"}));

    EXPECT_EQ(ReadRecipeSource("{\"@type\":\"Person\"}", false).problem, SourceProblem::NoRecipe);
    EXPECT_EQ(ReadRecipeSource("no", false).problem, SourceProblem::NotJson);
    EXPECT_EQ(ReadRecipeSource("", true).problem, SourceProblem::NoJsonLd);
    // A broken block beside a good one: the good one is read and the broken one counted.
    read = ReadRecipeSource("<script type=\"application/ld+json\">{oops</script>"
                            "<script type=\"Application/LD+JSON; charset=utf-8\">{\"@type\":\"Recipe\",\"name\":\"x\"}"
                            "</script>",
                            true);
    EXPECT_EQ(read.problem, SourceProblem::None);
    EXPECT_EQ(read.unreadableBlocks, 1);
    ASSERT_EQ(read.recipes.size(), 1u);

    EXPECT_EQ(TextLinesOfHtml("<p>Uno &amp; <i>dos</i></p><p>tres<br>cuatro &lt;5&gt;</p>  "),
              (std::vector<std::string>{"Uno & dos", "tres", "cuatro <5>"}));
    EXPECT_EQ(TextLinesOfHtml(" a \r\n\r\n b\n"), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(LooksLikeHtml("x.HTM", "{"));
    EXPECT_TRUE(LooksLikeHtml("x", "\xEF\xBB\xBF  <html>"));
    EXPECT_FALSE(LooksLikeHtml("x.json", " [ ]"));
}

// The fuzz target's seeds and the corpus grown by scripts/fuzz, through the target's own check.
TEST(GuislaImportSource, EveryCommittedFuzzInputPassesTheTargetsCheck) {
    const std::filesystem::path fuzz = (std::filesystem::path(GUISLA_TEST_DATA_DIR) / ".." / "fuzz").lexically_normal();
    int inputs = 0;
    for (const auto &folder : {fuzz / "recipe_corpus", fuzz / "grown" / "recipe_source_fuzz"}) {
        if (!std::filesystem::is_directory(folder)) {
            continue;
        }
        for (const auto &entry : std::filesystem::directory_iterator(folder)) {
            const std::vector<uint8_t> data = ReadWholeFile(entry.path());
            EXPECT_EQ(CheckRecipeSourceInput(data.data(), data.size()), "") << entry.path().string();
            ++inputs;
        }
    }
    EXPECT_GE(inputs, 8);
}
