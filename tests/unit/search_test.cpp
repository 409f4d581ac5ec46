// The one-pass search against the plain procedure (for every key from 1 to the last key, read the
// field and compare), on hand-made, generated and malformed stores; the result lines, the count
// messages and the reading of a found recipe from the places the search remembered.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <algorithm>
#include <set>

#include "search/cache_name.h"
#include "search/search.h"
#include "store/record_codec.h"
#include "store/save.h"
#include "store/schema_table.h"
#include "store/store.h"
#include "store/store_index.h"
#include "store_oracle.h"

namespace {

const std::string kCategory = "Categoria";

const FieldDescriptor &Field(int position) {
    return SchemaTable()[static_cast<size_t>(position) - 1];
}

// One saved recipe as the save writes it: dish name, ingredients, elaboration, picture (when
// given), category, extension (when a picture is given).
void AppendRecipe(std::vector<uint8_t> &bytes, int64_t key, const std::string &dish, const std::string &category,
                  const std::string &picture = "") {
    AppendValueRecords(bytes, Field(kFieldDishName), key, dish);
    AppendValueRecords(bytes, Field(kFieldIngredients), key, "ingredientes de " + dish);
    AppendValueRecords(bytes, Field(kFieldElaboration), key, "preparaci\xF3n de " + dish);
    AppendValueRecords(bytes, Field(kFieldPicture), key, picture);
    AppendValueRecords(bytes, Field(kFieldCategory), key, category);
    AppendValueRecords(bytes, Field(kFieldExtension), key, picture.empty() ? "" : "png");
}

struct OracleResult {
    std::vector<int64_t> keys;
    std::vector<std::string> dishNames;
};

// The plain procedure over the decoded records. A key that has no record at all reads as empty and
// cannot equal a non-empty target, so the loop steps from one key of the file to the next instead
// of counting through the gaps (a last key of 2^63 - 1 would otherwise never end).
OracleResult OracleSearch(const std::vector<DataRecord> &records, const std::string &field, const std::string &target) {
    OracleResult result;
    const int64_t lastKey = records.empty() ? 0 : records.back().recipeKey;
    std::set<int64_t> fileKeys;
    for (const DataRecord &record : records) {
        fileKeys.insert(record.recipeKey);
    }
    for (auto it = fileKeys.lower_bound(1); it != fileKeys.end() && *it <= lastKey; ++it) {
        const int64_t key = *it;
        if (OracleReadFieldValue(records, field, key) == target) {
            result.keys.push_back(key);
        }
    }
    for (int64_t key : result.keys) {
        result.dishNames.push_back(OracleReadFieldValue(records, "Plato", key));
    }
    return result;
}

std::string Ordinal(size_t i, int width) {
    std::string digits = std::to_string(i);
    return std::string(width > static_cast<int>(digits.size()) ? width - digits.size() : 0, '0') + digits;
}

class Search : public testing::Test {
protected:
    Search() : folder_("search") { SetStoreLocation(folder_.Path(), "guisla"); }
    ~Search() override { ForgetSearchPass(); }

    void WriteStore(const std::vector<uint8_t> &bytes) { WriteWholeFile(folder_.Path() / "guisla.zbd", bytes); }

    // Searches and compares keys, count and lines with the oracle; "" when all agree.
    std::string CompareWithOracle(const std::vector<uint8_t> &bytes, const std::string &target) {
        const OracleResult oracle = OracleSearch(DecodeDataFile(bytes), kCategory, target);
        SearchStoreRecipes(kCategory, target);
        if (SearchResults != oracle.keys) {
            return "keys differ for target \"" + target + "\"";
        }
        if (resultCount != static_cast<int64_t>(oracle.keys.size())) {
            return "resultCount differs";
        }
        for (size_t i = 1; i <= oracle.keys.size(); ++i) {
            if (ResultLine(static_cast<int64_t>(i)) != Ordinal(i, 4) + " " + oracle.dishNames[i - 1]) {
                return "line " + std::to_string(i) + " differs for target \"" + target + "\"";
            }
        }
        return "";
    }

    // Searches every target of the store with the oracle, then opens every result line as the
    // dialog does (texts, picture bytes, extension) and compares with the reading rules; "" when
    // all agree.
    std::string CompareAllWithOracle(const std::vector<uint8_t> &bytes) {
        const std::vector<DataRecord> records = DecodeDataFile(bytes);
        for (const std::string &target : Targets(bytes)) {
            const std::string searched = CompareWithOracle(bytes, target);
            if (!searched.empty()) {
                return searched;
            }
            for (int64_t i = 1; i <= resultCount; ++i) {
                const int64_t key = SearchResults[static_cast<size_t>(i - 1)];
                const std::string where = " of key " + std::to_string(key) + " differs";
                const FoundRecipeTexts texts = ReadFoundRecipe(i);
                if (texts.key != key || texts.dishName != OracleReadFieldValue(records, "Plato", key) ||
                    texts.ingredients != OracleReadFieldValue(records, "Ingredientes", key) ||
                    texts.elaboration != OracleReadFieldValue(records, "Preparaci\xF3n", key)) {
                    return "an opened text" + where;
                }
                StoredPicture picture;
                if (!FoundStoredPicture(i, picture)) {
                    return "the picture" + where + " (not located)";
                }
                std::string pictureBytes;
                StreamStoredPicture(picture, [&pictureBytes](const uint8_t *b, size_t n) {
                    pictureBytes.append(reinterpret_cast<const char *>(b), n);
                    return true;
                });
                const std::string oraclePicture = OracleReadFieldValue(records, "Imagen", key);
                if (picture.key != key || picture.hasPicture != !oraclePicture.empty() ||
                    pictureBytes != oraclePicture ||
                    picture.extension != SafeCacheExtension(OracleReadFieldValue(records, "extensi\xF3n", key))) {
                    return "the picture" + where;
                }
            }
        }
        return "";
    }

    // The targets worth asking for on a store: every category value it holds, plus near misses.
    std::vector<std::string> Targets(const std::vector<uint8_t> &bytes) {
        const std::vector<DataRecord> records = DecodeDataFile(bytes);
        std::set<std::string> targets = {"Arroz", "Aperitivos", "aperitivos", "Platos frios", "Platos fr\xEDos"};
        std::set<int64_t> keys;
        for (const DataRecord &record : records) {
            keys.insert(record.recipeKey);
        }
        for (int64_t key : keys) {
            const std::string value = OracleReadFieldValue(records, kCategory, key);
            if (!value.empty()) {
                targets.insert(value);
            }
        }
        return {targets.begin(), targets.end()};
    }

    TempFolder folder_;
};

TEST_F(Search, EmptyAndMissingStoresFindNothing) {
    SearchStoreRecipes(kCategory, "Aperitivos");
    EXPECT_EQ(resultCount, 0);
    EXPECT_TRUE(SearchResults.empty());
    WriteStore({});
    SearchStoreRecipes(kCategory, "Aperitivos");
    EXPECT_EQ(resultCount, 0);
    EXPECT_EQ(SearchCountMessage(resultCount), "No hay Resultados ...");
}

TEST_F(Search, AStoreHeldByAnotherProgramIsToldApartFromAnEmptyOne) {
    std::vector<uint8_t> bytes;
    AppendRecipe(bytes, 1, "Gazpacho", "Sopas");
    WriteStore(bytes);
    SearchStoreRecipes(kCategory, "Sopas");
    EXPECT_EQ(resultCount, 1);
    EXPECT_FALSE(LastSearchStoreBusy());
    FileFaultPlan plan;
    plan.busyOpens = 1000; // held for longer than the open's retries
    SetFileFaultPlan(plan);
    SearchStoreRecipes(kCategory, "Sopas");
    SetFileFaultPlan({});
    EXPECT_EQ(resultCount, 0);
    EXPECT_TRUE(LastSearchStoreBusy());
    SearchStoreRecipes(kCategory, "Sopas");
    EXPECT_EQ(resultCount, 1);
    EXPECT_FALSE(LastSearchStoreBusy());
    std::filesystem::remove(folder_.Path() / "guisla.zbd");
    SearchStoreRecipes(kCategory, "Sopas");
    EXPECT_FALSE(LastSearchStoreBusy()) << "a missing store is not a busy one";
}

TEST_F(Search, OneMatchGivesOneLineAndTheSingularCountInPluralText) {
    std::vector<uint8_t> bytes;
    AppendRecipe(bytes, 1, "Tortilla de patatas", "Aperitivos");
    WriteStore(bytes);
    SearchStoreRecipes(kCategory, "Aperitivos");
    ASSERT_EQ(resultCount, 1);
    EXPECT_EQ(ResultLine(1), "0001 Tortilla de patatas");
    EXPECT_EQ(SearchCountMessage(resultCount), "1 Resultados ...");
    EXPECT_EQ(ResultLine(0), "");
    EXPECT_EQ(ResultLine(2), "");
}

TEST_F(Search, KeysTwoFiveNineAmongOthersKeepTheirOrderAndOrdinals) {
    std::vector<uint8_t> bytes;
    for (int64_t key = 1; key <= 10; ++key) {
        const bool match = key == 2 || key == 5 || key == 9;
        AppendRecipe(bytes, key, "Plato " + std::to_string(key), match ? "Aperitivos" : "Arroz");
    }
    WriteStore(bytes);
    SearchStoreRecipes(kCategory, "Aperitivos");
    EXPECT_EQ(SearchResults, (std::vector<int64_t>{2, 5, 9}));
    EXPECT_EQ(ResultLine(1), "0001 Plato 2");
    EXPECT_EQ(ResultLine(3), "0003 Plato 9");
    EXPECT_EQ(OrdinalOfResultLine(ResultLine(3)), 3);
    const FoundRecipeTexts texts = ReadFoundRecipe(3);
    EXPECT_EQ(texts.key, 9);
    EXPECT_EQ(texts.dishName, "Plato 9");
    EXPECT_EQ(texts.ingredients, "ingredientes de Plato 9");
    EXPECT_EQ(texts.elaboration, "preparaci\xF3n de Plato 9");
    EXPECT_EQ(SearchCountMessage(resultCount), "3 Resultados ...");
}

TEST_F(Search, OnlyExactBytesMatch) {
    std::vector<uint8_t> bytes;
    AppendRecipe(bytes, 1, "a", "Arroz");
    AppendRecipe(bytes, 2, "b", "aperitivos");
    AppendRecipe(bytes, 3, "c", "Aperitivos ");
    AppendRecipe(bytes, 4, "d", "Platos frios");
    AppendRecipe(bytes, 5, "e", "Platos fr\xEDos");
    AppendRecipe(bytes, 6, "f", "Aperitivo");
    WriteStore(bytes);
    SearchStoreRecipes(kCategory, "Aperitivos");
    EXPECT_EQ(resultCount, 0);
    SearchStoreRecipes(kCategory, "Platos fr\xEDos");
    EXPECT_EQ(SearchResults, (std::vector<int64_t>{5}));
    SearchStoreRecipes(kCategory, "");
    EXPECT_EQ(resultCount, 0) << "an empty target finds nothing";
}

TEST_F(Search, SearchingTwiceGivesTheSameLinesAndNoticesAChangedStore) {
    std::vector<uint8_t> bytes;
    AppendRecipe(bytes, 1, "", "Sopas");
    AppendRecipe(bytes, 2, "Gazpacho", "Sopas");
    WriteStore(bytes);
    SearchStoreRecipes(kCategory, "Sopas");
    EXPECT_EQ(ResultLine(1), "0001 ") << "an empty dish name leaves the ordinal and the blank";
    SearchStoreRecipes(kCategory, "Sopas");
    ASSERT_EQ(resultCount, 2);
    EXPECT_EQ(ResultLine(2), "0002 Gazpacho");
    // A recipe saved meanwhile is found by the next search.
    AppendRecipe(bytes, 3, "Salmorejo", "Sopas");
    WriteStore(bytes);
    SearchStoreRecipes(kCategory, "Sopas");
    ASSERT_EQ(resultCount, 3);
    EXPECT_EQ(ResultLine(3), "0003 Salmorejo");
    // A store replaced by one of the same size with other values in the middle.
    std::vector<uint8_t> other;
    AppendRecipe(other, 1, "", "Sopas");
    AppendRecipe(other, 2, "Gazpach0", "Sopaz");
    AppendRecipe(other, 3, "Salmorejo", "Sopas");
    ASSERT_EQ(other.size(), bytes.size());
    WriteStore(other);
    EXPECT_EQ(CompareWithOracle(other, "Sopas"), "") << "a store replaced by one of the same size";
}

TEST_F(Search, TenResultsAndMoreThanNineThousandNineHundredNinetyNine) {
    std::vector<uint8_t> bytes;
    for (int64_t key = 1; key <= 10; ++key) {
        AppendRecipe(bytes, key, "P" + std::to_string(key), "Arroz");
    }
    WriteStore(bytes);
    SearchStoreRecipes(kCategory, "Arroz");
    std::vector<std::string> lines;
    for (int64_t i = 1; i <= resultCount; ++i) {
        lines.push_back(ResultLine(i));
    }
    std::vector<std::string> sorted = lines;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, lines);
    EXPECT_EQ(lines[9], "0010 P10");

    // 10,002 results: five-digit ordinals for all, sorted text order still ordinal order.
    bytes.clear();
    for (int64_t key = 1; key <= 10002; ++key) {
        AppendValueRecords(bytes, Field(kFieldDishName), key, "x");
        AppendValueRecords(bytes, Field(kFieldCategory), key, "Arroz");
    }
    WriteStore(bytes);
    SearchStoreRecipes(kCategory, "Arroz");
    ASSERT_EQ(resultCount, 10002);
    EXPECT_EQ(ResultOrdinalWidth(), 5);
    EXPECT_EQ(ResultLine(1), "00001 x");
    EXPECT_EQ(ResultLine(10002), "10002 x");
    EXPECT_LT(ResultLine(9999), ResultLine(10000));
    EXPECT_EQ(OrdinalOfResultLine(ResultLine(10001)), 10001);
    EXPECT_EQ(OrdinalOfResultLine("99999 x"), 0) << "beyond the results";
    EXPECT_EQ(OrdinalOfResultLine(" 1"), 0);
}

TEST_F(Search, HugeOrNegativeLastKeysCostOnlyWhatTheFileHolds) {
    for (int64_t last : {INT64_MAX, int64_t{-1}, INT64_MIN, int64_t{0}}) {
        std::vector<uint8_t> bytes;
        AppendRecipe(bytes, 3, "tres", "Caza");
        AppendRecipe(bytes, -4, "menos", "Caza");
        AppendRecipe(bytes, 5, "cinco", "Caza");
        AppendValueRecords(bytes, Field(kFieldDishName), last, "ultimo");
        WriteStore(bytes);
        EXPECT_EQ(CompareWithOracle(bytes, "Caza"), "") << "last key " << last;
        EXPECT_EQ(resultCount, last == INT64_MAX ? 2 : 0);
    }
}

TEST_F(Search, InterruptedValuesAndAnIncompleteTailReadAsTheStoreReadsThem) {
    std::vector<uint8_t> bytes;
    AppendRecipe(bytes, 1, "uno", "Setas");
    // Key 2: a category run cut short, then the save of key 2 again completes.
    std::vector<uint8_t> cut;
    AppendValueRecords(cut, Field(kFieldCategory), 2, "Setas");
    bytes.insert(bytes.end(), cut.begin(), cut.end() - 2 * kRecordSize);
    AppendRecipe(bytes, 2, "dos", "Setas");
    // Key 3: a dish name broken by another field's record reads from the restart only.
    std::vector<uint8_t> broken;
    AppendValueRecords(broken, Field(kFieldDishName), 3, "tr");
    bytes.insert(bytes.end(), broken.begin(), broken.end() - kRecordSize);
    AppendValueRecords(bytes, Field(kFieldExtension), 3, "x");
    AppendRecipe(bytes, 3, "tres", "Setas");
    bytes.resize(bytes.size() + 20, 0x41); // an incomplete tail
    WriteStore(bytes);
    EXPECT_EQ(CompareWithOracle(bytes, "Setas"), "");
    EXPECT_EQ(resultCount, 3);
}

TEST_F(Search, GeneratedStoresAgreeWithThePlainProcedure) {
    for (uint64_t seed = 1; seed <= 300; ++seed) {
        std::mt19937_64 random(seed * 104729);
        const bool malformed = seed % 3 != 0;
        std::vector<uint8_t> bytes = GenerateRandomStore(random, malformed, 1 + static_cast<int>(seed % 30));
        // Mix in recipes whose categories are real names, under keys that may repeat those above.
        const char *names[] = {"Aperitivos", "Arroz", "Platos fr\xEDos"};
        for (int r = 0; r < static_cast<int>(seed % 5); ++r) {
            AppendRecipe(bytes, static_cast<int64_t>(random() % 12), "g" + std::to_string(r), names[random() % 3]);
        }
        WriteStore(bytes);
        ForgetSearchPass();
        for (const std::string &target : Targets(bytes)) {
            ASSERT_EQ(CompareWithOracle(bytes, target), "") << "seed " << seed;
        }
    }
}

TEST_F(Search, AFoundRecipeIsReadFromItsPlacesOrAnewWhenTheStoreChanged) {
    std::vector<uint8_t> bytes;
    AppendRecipe(bytes, 1, "Paella", "Arroz", std::string("\x89PNG\0\1", 6));
    AppendRecipe(bytes, 2, "Croquetas", "Aperitivos");
    AppendRecipe(bytes, 3, "Risotto", "Arroz");
    WriteStore(bytes);
    SearchStoreRecipes(kCategory, "Arroz");
    ASSERT_EQ(SearchResults, (std::vector<int64_t>{1, 3}));
    FoundPictureSpans picture = FoundRecipePictureSpans(1);
    EXPECT_TRUE(picture.found && picture.hasPicture && picture.hasExtension);
    EXPECT_EQ(picture.picture.length, 6);
    std::string pictureBytes;
    EXPECT_EQ(ReadValueSpan("Imagen", 1, picture.picture, pictureBytes), FileStatus::Ok);
    EXPECT_EQ(pictureBytes, std::string("\x89PNG\0\1", 6));
    StoredPicture located;
    ASSERT_TRUE(FoundStoredPicture(1, located));
    EXPECT_EQ(located.key, 1);
    EXPECT_EQ(located.extension, "png");
    EXPECT_TRUE(located.hasPicture);
    EXPECT_FALSE(FoundRecipePictureSpans(2).hasPicture);
    EXPECT_FALSE(FoundRecipePictureSpans(3).found);

    // The store rewritten with other texts: the remembered places no longer hold them.
    std::vector<uint8_t> other;
    AppendRecipe(other, 1, "Paella valenciana", "Arroz");
    AppendRecipe(other, 3, "Risotto", "Arroz");
    WriteStore(other);
    // The store is indexed anew: recipe 1 has no picture now.
    ASSERT_TRUE(FoundStoredPicture(1, located));
    EXPECT_FALSE(located.hasPicture);
    EXPECT_EQ(located.extension, "");
    FoundRecipeTexts texts = ReadFoundRecipe(1);
    EXPECT_EQ(texts.key, 1);
    EXPECT_EQ(texts.dishName, "Paella valenciana");
    EXPECT_EQ(texts.ingredients, "ingredientes de Paella valenciana");
    // Same size, values moved: the places are checked record by record.
    std::vector<uint8_t> swapped;
    AppendRecipe(swapped, 3, "Risotto", "Arroz");
    AppendRecipe(swapped, 1, "Paella valenciana", "Arroz");
    ASSERT_EQ(swapped.size(), other.size());
    SearchStoreRecipes(kCategory, "Arroz");
    WriteStore(swapped);
    texts = ReadFoundRecipe(2);
    EXPECT_EQ(texts.key, 3);
    EXPECT_EQ(texts.elaboration, "preparaci\xF3n de Risotto");
    EXPECT_EQ(ReadFoundRecipe(9).key, 0);
}

// A store left unchanged for a while is not read again to check it when a result is opened: its
// size and change times say it is the same; once changed (even to the same size) it is checked.
TEST_F(Search, AResultOfAStoreLeftAloneOpensWithoutCheckingItsBytesAgain) {
    std::vector<uint8_t> bytes;
    AppendRecipe(bytes, 1, "Paella", "Arroz", "PIC");
    AppendRecipe(bytes, 2, "Croquetas", "Aperitivos");
    AppendRecipe(bytes, 3, "Risotto", "Arroz");
    WriteStore(bytes);
    std::this_thread::sleep_for(std::chrono::milliseconds(2100)); // the store settles
    SearchStoreRecipes(kCategory, "Arroz");
    const int64_t readBefore = StoreIndexBytesRead();
    EXPECT_EQ(CompareAllWithOracle(bytes), "");
    SearchStoreRecipes(kCategory, "Arroz");
    EXPECT_EQ(ReadFoundRecipe(1).dishName, "Paella");
    EXPECT_EQ(StoreIndexBytesRead(), readBefore); // every search and opening trusted the index
    std::vector<uint8_t> swapped;
    AppendRecipe(swapped, 3, "Risotto", "Arroz", "PIC");
    AppendRecipe(swapped, 2, "Croquetas", "Aperitivos");
    AppendRecipe(swapped, 1, "Paella", "Arroz");
    ASSERT_EQ(swapped.size(), bytes.size());
    WriteStore(swapped);
    const FoundRecipeTexts texts = ReadFoundRecipe(2);
    EXPECT_GT(StoreIndexBytesRead(), readBefore);
    EXPECT_EQ(texts.key, 3);
    EXPECT_EQ(texts.dishName, "Risotto");
    EXPECT_EQ(CompareAllWithOracle(swapped), "");
}

// The kept index after a restart: the first search reads only what was appended since the kept
// file was written (plus the few kilobytes that check the store is the same file), whoever
// appended it: a whole-file writer with interrupted values and a torn tail that the next append
// overwrites, or a writer of one record per byte that is cut short in the middle of a value.
TEST_F(Search, AfterARestartOnlyTheAppendedTailIsRead) {
    const std::filesystem::path keptFile = folder_.Path() / "guisla.indice";
    for (uint64_t seed = 1; seed <= 120; ++seed) {
        std::mt19937_64 random(seed * 7919);
        std::vector<uint8_t> bytes = GenerateRandomStore(random, seed % 2 == 0, 2 + static_cast<int>(seed % 25));
        for (int r = 0; r < 3; ++r) {
            AppendRecipe(bytes, static_cast<int64_t>(random() % 9), "g" + std::to_string(r),
                         r % 2 ? "Arroz" : "Aperitivos", std::string(random() % 300, 'p'));
        }
        const size_t cut = static_cast<size_t>(random() % (bytes.size() + 1));
        std::vector<uint8_t> before(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        if (seed % 3 == 0) {
            before.resize(before.size() / kRecordSize * kRecordSize + 21, 0x5A); // torn, overwritten below
        }
        std::filesystem::remove(keptFile);
        ForgetSearchPass();
        WriteStore(before);
        ASSERT_EQ(CompareAllWithOracle(before), "") << "seed " << seed;
        ASSERT_TRUE(std::filesystem::exists(keptFile));
        ForgetSearchPass(); // a restart: the kept file is all that remains
        WriteStore(bytes);
        const int64_t readBefore = StoreIndexBytesRead();
        SearchStoreRecipes(kCategory, "Arroz");
        const int64_t appended = static_cast<int64_t>(bytes.size() / kRecordSize - cut / kRecordSize) * kRecordSize;
        EXPECT_LE(StoreIndexBytesRead() - readBefore, appended + 4 * kIndexPrintBytes) << "seed " << seed;
        ASSERT_EQ(CompareAllWithOracle(bytes), "") << "seed " << seed;
    }

    // One record per byte, the program's own way: a save cut short inside its category, then
    // a whole recipe under the next key; each seen after a restart.
    std::filesystem::remove(keptFile);
    WriteWholeFile(folder_.Path() / "guisla.z04", SchemaFileBytes());
    ASSERT_EQ(LoadFieldSchema(), kSchemaFieldCount);
    std::vector<uint8_t> bytes;
    AppendRecipe(bytes, 1, "Paella", "Arroz");
    WriteStore(bytes);
    SearchStoreRecipes(kCategory, "Arroz");
    const auto appendValue = [](int position, int64_t key, const std::string &value, size_t upTo) {
        for (size_t i = 0; i < upTo; ++i) {
            ASSERT_EQ(AppendDataRecord(static_cast<uint8_t>(value[i]), *SchemaDescriptor(position), key,
                                       i + 1 == value.size()),
                      FileStatus::Ok);
        }
    };
    appendValue(kFieldDishName, 2, "Arroz negro", 11);
    appendValue(kFieldCategory, 2, "Arroz", 3);
    ForgetSearchPass();
    ASSERT_EQ(CompareAllWithOracle(ReadWholeFile(folder_.Path() / "guisla.zbd")), "");
    // Key 2's category goes on in the same run, so it reads "ArrArroz"; key 3 is whole.
    appendValue(kFieldCategory, 2, "Arroz", 5);
    appendValue(kFieldDishName, 3, "Arroz al horno", 14);
    appendValue(kFieldCategory, 3, "Arroz", 5);
    ForgetSearchPass();
    EXPECT_EQ(CompareAllWithOracle(ReadWholeFile(folder_.Path() / "guisla.zbd")), "");
    SearchStoreRecipes(kCategory, "Arroz");
    EXPECT_EQ(SearchResults, (std::vector<int64_t>{1, 3}));
}

// A save tells the index what it wrote: the next start reads neither the picture nor the texts
// back, also when another copy of the program appended a recipe in between or the save wrote
// over a torn tail.
TEST_F(Search, SavesExtendTheKeptIndexWithoutBeingReadBack) {
    WriteWholeFile(folder_.Path() / "guisla.z04", SchemaFileBytes());
    std::vector<uint8_t> start;
    AppendRecipe(start, 1, "Croquetas", "Aperitivos");
    start.resize(start.size() + 30, 0x11); // a torn tail, which the first save overwrites
    WriteStore(start);
    SearchStoreRecipes(kCategory, "Arroz");
    const std::vector<uint8_t> picture(60000, 0x7E);
    const auto save = [&picture](const std::string &dish, const std::string &category) {
        RecipeSnapshot recipe{dish, "arroz, agua", "hervir\r\n", category, "C:\\fotos\\" + dish + ".jpeg"};
        PictureSource source;
        auto at = std::make_shared<size_t>(0);
        source.size = static_cast<int64_t>(picture.size());
        source.read = [&picture, at](uint8_t *buffer, size_t count, size_t &got) {
            got = std::min(count, picture.size() - *at);
            std::copy_n(picture.begin() + static_cast<std::ptrdiff_t>(*at), got, buffer);
            *at += got;
            return true;
        };
        SavedRecords saved;
        ASSERT_EQ(SaveRecipeValues(recipe, &source, {}, {}, &saved), SaveResult::Saved);
        ExtendStoreIndex(saved);
    };
    save("Paella", "Arroz");
    // Another copy appends key 3 by itself; then this copy saves key 4 after a restart.
    std::vector<uint8_t> bytes = ReadWholeFile(folder_.Path() / "guisla.zbd");
    AppendRecipe(bytes, 3, "Risotto", "Arroz", "otro");
    WriteStore(bytes);
    ForgetSearchPass();
    save("Arroz negro", "Arroz");
    ForgetSearchPass();
    const int64_t readBefore = StoreIndexBytesRead();
    SearchStoreRecipes(kCategory, "Arroz");
    EXPECT_LE(StoreIndexBytesRead() - readBefore, 2 * kIndexPrintBytes);
    EXPECT_EQ(SearchResults, (std::vector<int64_t>{2, 3, 4}));
    EXPECT_EQ(CompareAllWithOracle(ReadWholeFile(folder_.Path() / "guisla.zbd")), "");
}

// The store replaced by another of the very same size, shortened, or rewritten at its start:
// each is indexed anew, as is a store whose kept file is damaged in any way, and a kept file
// that cannot be written changes nothing.
TEST_F(Search, AnotherStoreOrADamagedKeptFileIsIndexedAnew) {
    const std::filesystem::path keptFile = folder_.Path() / "guisla.indice";
    std::vector<uint8_t> first;
    AppendRecipe(first, 1, "Paella", "Arroz", "foto");
    AppendRecipe(first, 2, "Croquetas", "Aperitivos");
    AppendRecipe(first, 3, "Risotto", "Arroz");
    std::vector<uint8_t> second;
    AppendRecipe(second, 1, "Tortas", "Aperitivos", "imgn");
    AppendRecipe(second, 2, "Calamares", "Arroz");
    AppendRecipe(second, 3, "Fideuas", "Arroz");
    ASSERT_EQ(first.size(), second.size());
    WriteStore(first);
    ASSERT_EQ(CompareAllWithOracle(first), "");
    const std::vector<uint8_t> keptOfFirst = ReadWholeFile(keptFile);
    for (const std::vector<uint8_t> &other :
         {second, std::vector<uint8_t>(first.begin(), first.end() - 5 * kRecordSize), first}) {
        WriteStore(other);
        ForgetSearchPass();
        ASSERT_EQ(CompareAllWithOracle(other), "");
    }
    std::vector<uint8_t> rewritten = first;
    rewritten[4] = 'Q'; // the first dish name's first byte
    WriteStore(rewritten);
    WriteWholeFile(keptFile, keptOfFirst);
    ForgetSearchPass();
    EXPECT_EQ(CompareAllWithOracle(rewritten), "");

    // A store changed in its middle only, its length and its first and last 4 KB kept: rewritten in
    // place (and so written later), then replaced by another file that carries the modification
    // time of the one the index was made from, as a restored copy keeps it.
    std::vector<uint8_t> big;
    std::vector<uint8_t> bigChanged;
    for (int64_t key = 1; key <= 120; ++key) {
        const std::string category = key % 3 == 0 ? "Arroz" : "Sopas";
        AppendRecipe(big, key, "Plato " + std::to_string(key), category);
        AppendRecipe(bigChanged, key, "Plato " + std::to_string(key), key == 60 ? "Sopas" : category);
    }
    ASSERT_EQ(big.size(), bigChanged.size());
    ASSERT_TRUE(std::equal(big.begin(), big.begin() + kIndexPrintBytes, bigChanged.begin()));
    ASSERT_TRUE(std::equal(big.end() - kIndexPrintBytes, big.end(), bigChanged.end() - kIndexPrintBytes));
    const std::filesystem::path dataFile = folder_.Path() / "guisla.zbd";
    WriteStore(big);
    ForgetSearchPass();
    ASSERT_EQ(CompareAllWithOracle(big), "");
    const auto madeAt = std::filesystem::last_write_time(dataFile);
    WriteStore(bigChanged);
    std::filesystem::last_write_time(dataFile, madeAt + std::chrono::seconds(2));
    ForgetSearchPass();
    EXPECT_EQ(CompareAllWithOracle(bigChanged), "") << "rewritten in place";
    const std::filesystem::path copy = folder_.Path() / "copia.zbd";
    WriteWholeFile(copy, big);
    std::filesystem::last_write_time(copy, std::filesystem::last_write_time(dataFile));
    std::filesystem::rename(copy, dataFile);
    ForgetSearchPass();
    EXPECT_EQ(CompareAllWithOracle(big), "") << "another file in its place";

    // Damaged kept files of the first store, each tried after a restart.
    WriteStore(first);
    StoreIndex good;
    ASSERT_TRUE(DecodeStoreIndex(keptOfFirst.data(), keptOfFirst.size(), good));
    std::vector<std::vector<uint8_t>> damaged = {{}};
    for (size_t length : {size_t{7}, size_t{51}, keptOfFirst.size() / 2, keptOfFirst.size() - 1}) {
        damaged.emplace_back(keptOfFirst.begin(), keptOfFirst.begin() + static_cast<std::ptrdiff_t>(length));
    }
    for (size_t at = 0; at < keptOfFirst.size(); at += 5) {
        damaged.push_back(keptOfFirst);
        damaged.back()[at] ^= 0x20;
    }
    // Hostile ones, with a checksum that agrees: each must be refused by its own checks.
    const auto hostile = [&damaged, &good](const std::function<void(StoreIndex &)> &change) {
        StoreIndex index = good;
        change(index);
        const std::string encoded = EncodeStoreIndex(index);
        damaged.emplace_back(encoded.begin(), encoded.end());
        StoreIndex decoded;
        EXPECT_FALSE(DecodeStoreIndex(damaged.back().data(), damaged.back().size(), decoded));
    };
    const auto someValue = [](StoreIndex &index, int field) -> KeptValue & {
        return index.scan.fields[static_cast<size_t>(field)].reported.begin()->second;
    };
    hostile([&](StoreIndex &index) { someValue(index, kIndexPicture).span.lastOffset = index.print.end; });
    hostile([&](StoreIndex &index) { someValue(index, kIndexDish).span.firstOffset = -kRecordSize; });
    hostile([&](StoreIndex &index) { someValue(index, kIndexIngredients).span.firstOffset += 1; });
    hostile([&](StoreIndex &index) { someValue(index, kIndexElaboration).span.length = 1000; });
    hostile([&](StoreIndex &index) { index.print.end += 1; });
    hostile([&](StoreIndex &index) { index.scan.fields[kIndexDish].pending[1] = {"x", 1, index.print.end}; });
    damaged.push_back(keptOfFirst);
    PutU32LE(damaged.back().data() + 8, kStoreIndexVersion + 1);
    PutU64LE(damaged.back().data() + damaged.back().size() - 8,
             IndexHash(damaged.back().data(), damaged.back().size() - 8));
    for (const std::vector<uint8_t> &kept : damaged) {
        WriteWholeFile(keptFile, kept);
        ForgetSearchPass();
        ASSERT_EQ(CompareAllWithOracle(first), "") << "kept file of " << kept.size() << " bytes";
    }
    // The kept file of the second store on the first.
    WriteStore(second);
    ForgetSearchPass();
    ASSERT_EQ(CompareAllWithOracle(second), "");
    WriteStore(first);
    ForgetSearchPass();
    EXPECT_EQ(CompareAllWithOracle(first), "");

    // A kept file that cannot be written: a folder stands in its way.
    std::filesystem::remove(keptFile);
    std::filesystem::create_directory(keptFile);
    ForgetSearchPass();
    EXPECT_EQ(CompareAllWithOracle(first), "");
    EXPECT_TRUE(std::filesystem::is_directory(keptFile));
}

} // namespace
