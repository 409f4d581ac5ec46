// The one-pass search against the plain procedure (for every key from 1 to the last key, read the
// field and compare), on hand-made, generated and malformed stores; the result lines, the count
// messages and the reading of a found recipe from the places the search remembered.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "search/search.h"
#include "store/record_codec.h"
#include "store/schema_table.h"
#include "store/store.h"
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
    EXPECT_FALSE(FoundStoredPicture(1, located)) << "the store's size changed";
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

} // namespace
