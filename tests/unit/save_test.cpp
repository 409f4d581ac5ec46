// Saving a recipe: the check before a save, the extension of a picture path, the bar positions,
// the saver's bytes against the byte-by-byte appends they replace, and all-or-nothing under
// failures of the data file and of the picture.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <random>

#include "store/save.h"
#include "store/schema_table.h"
#include "store/store.h"
#include "store_oracle.h"

namespace {

// The reference save: every byte of every value through its own AppendDataRecord, in the order
// and under the key a save uses; the picture as a whole byte string. Returns the records' status.
FileStatus OracleSave(const RecipeSnapshot &recipe, const std::vector<uint8_t> &picture) {
    const int64_t key = LastRecipeKey() + 1;
    if (LoadFieldSchema() == 0) {
        return FileStatus::Missing;
    }
    FileStatus status = FileStatus::Ok;
    auto append = [&](int position, const std::string &value) {
        for (size_t i = 0; i < value.size(); ++i) {
            const FileStatus one = AppendDataRecord(static_cast<uint8_t>(value[i]), *SchemaDescriptor(position), key,
                                                    i + 1 == value.size());
            if (one != FileStatus::Ok) {
                status = one;
            }
        }
    };
    append(kFieldDishName, recipe.dishName);
    append(kFieldIngredients, recipe.ingredients);
    append(kFieldElaboration, recipe.elaboration);
    if (!recipe.picturePath.empty()) {
        append(kFieldPicture, std::string(picture.begin(), picture.end()));
    }
    append(kFieldCategory, recipe.categoryName);
    if (!recipe.picturePath.empty()) {
        append(kFieldExtension, PathExtension(recipe.picturePath));
    }
    return status;
}

// A picture held in memory; `size` may claim another length than the bytes hold, and a read
// may fail once `failAfter` bytes have been handed out.
PictureSource MemoryPicture(const std::vector<uint8_t> &bytes, int64_t size = -1, int64_t failAfter = -1) {
    auto data = std::make_shared<std::vector<uint8_t>>(bytes);
    auto at = std::make_shared<size_t>(0);
    PictureSource source;
    source.size = size >= 0 ? size : static_cast<int64_t>(bytes.size());
    source.read = [data, at, failAfter](uint8_t *buffer, size_t count, size_t &got) {
        if (failAfter >= 0 && *at + count > static_cast<size_t>(failAfter)) {
            got = 0;
            return false;
        }
        got = std::min(count, data->size() - *at);
        std::copy_n(data->begin() + static_cast<std::ptrdiff_t>(*at), got, buffer);
        *at += got;
        return true;
    };
    return source;
}

std::string RandomBytes(std::mt19937_64 &random, size_t length) {
    std::string text(length, '\0');
    for (char &c : text) {
        c = static_cast<char>(random() % 256);
    }
    return text;
}

std::vector<uint8_t> Bytes(const std::string &text) {
    return {text.begin(), text.end()};
}

class Save : public testing::Test {
protected:
    Save() : oracle_("save-oracle"), fast_("save-fast") {
        WriteWholeFile(oracle_.Path() / "guisla.z04", SchemaFileBytes());
        WriteWholeFile(fast_.Path() / "guisla.z04", SchemaFileBytes());
        SetStoreLocation(fast_.Path(), "guisla");
    }
    ~Save() override { SetFileFaultPlan({}); }

    std::filesystem::path FastData() const { return fast_.Path() / "guisla.zbd"; }
    std::filesystem::path OracleData() const { return oracle_.Path() / "guisla.zbd"; }

    // Starts both stores with the same data file.
    void SetBothDataFiles(const std::vector<uint8_t> &bytes) {
        WriteWholeFile(OracleData(), bytes);
        WriteWholeFile(FastData(), bytes);
    }

    // Saves the recipe in both stores (the fast one with `options`) and expects the same bytes.
    void SaveBothAndCompare(const RecipeSnapshot &recipe, const std::vector<uint8_t> &picture,
                            const SaveOptions &options = {}) {
        SetStoreLocation(oracle_.Path(), "guisla");
        ASSERT_EQ(OracleSave(recipe, picture), FileStatus::Ok);
        SetStoreLocation(fast_.Path(), "guisla");
        const PictureSource source = MemoryPicture(picture);
        ASSERT_EQ(SaveRecipeValues(recipe, &source, {}, options), SaveResult::Saved);
        const std::vector<uint8_t> expected = ReadWholeFile(OracleData());
        const std::vector<uint8_t> actual = ReadWholeFile(FastData());
        ASSERT_EQ(actual.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(actual[i], expected[i]) << "first difference at byte " << i << " (record " << i / kRecordSize
                                              << ", offset " << i % kRecordSize << ")";
        }
    }

    static RecipeSnapshot Cocido() {
        return {"Cocido madrile\xF1o", "300 g de garbanzos\r\n200 g de morcillo", "Cocer a fuego lento.", "Potajes",
                ""};
    }

    TempFolder oracle_;
    TempFolder fast_;
};

TEST(PathExtension, TextAfterTheLastDot) {
    EXPECT_EQ(PathExtension("C:\\fotos\\tarta.jpg"), "jpg");
    EXPECT_EQ(PathExtension("C:\\mis.fotos\\tarta.de.queso.jpeg"), "jpeg");
    EXPECT_EQ(PathExtension("C:\\fotos\\tarta."), "");
    EXPECT_EQ(PathExtension("C:\\fotos\\tarta"), "C:\\fotos\\tarta");
    EXPECT_EQ(PathExtension("C:\\mis.fotos\\tarta"), "fotos\\tarta");
    EXPECT_EQ(PathExtension(""), "");
}

TEST_F(Save, CheckNeedsASchemaOfSixFields) {
    std::filesystem::remove(fast_.Path() / "guisla.z04");
    EXPECT_EQ(CheckRecipeValues(Cocido()), SaveOutcome::NoDatabase);
    EXPECT_FALSE(std::filesystem::exists(FastData())) << "the data file is not touched";

    std::vector<uint8_t> schema = SchemaFileBytes();
    schema.resize(6 * kDescriptorSize - 1); // five whole descriptors
    WriteWholeFile(fast_.Path() / "guisla.z04", schema);
    EXPECT_EQ(CheckRecipeValues(Cocido()), SaveOutcome::NoDatabase);
    EXPECT_EQ(SaveRecipeValues(Cocido(), nullptr), SaveResult::NoDatabase);
    EXPECT_FALSE(std::filesystem::exists(FastData()));

    SetStoreLocation(fast_.Path() / "absent", "guisla");
    EXPECT_EQ(CheckRecipeValues(Cocido()), SaveOutcome::NoDatabase);
}

TEST_F(Save, CheckRefusesEmptyAndTooLongTexts) {
    EXPECT_EQ(CheckRecipeValues(Cocido()), SaveOutcome::Ready);
    const int16_t maxDish = SchemaTable()[kFieldDishName - 1].maxLength;
    const int16_t maxCategory = SchemaTable()[kFieldCategory - 1].maxLength;
    ASSERT_GE(maxCategory, 14);

    RecipeSnapshot recipe = Cocido();
    recipe.dishName.assign(static_cast<size_t>(maxDish), 'x');
    EXPECT_EQ(CheckRecipeValues(recipe), SaveOutcome::Ready) << "exactly maxLength";
    recipe.dishName.push_back('x');
    EXPECT_EQ(CheckRecipeValues(recipe), SaveOutcome::Invalid) << "maxLength + 1";

    for (std::string RecipeSnapshot::*field : {&RecipeSnapshot::dishName, &RecipeSnapshot::ingredients,
                                               &RecipeSnapshot::elaboration, &RecipeSnapshot::categoryName}) {
        recipe = Cocido();
        (recipe.*field).clear();
        EXPECT_EQ(CheckRecipeValues(recipe), SaveOutcome::Invalid);
    }
    recipe = Cocido();
    recipe.categoryName.assign(static_cast<size_t>(maxCategory) + 1, 'c');
    EXPECT_EQ(CheckRecipeValues(recipe), SaveOutcome::Invalid);
    recipe = Cocido();
    recipe.picturePath = "no importa";
    EXPECT_EQ(CheckRecipeValues(recipe), SaveOutcome::Ready) << "the picture is not checked";
}

TEST_F(Save, FirstRecipeWithoutPictureGetsKeyOneAndOneRecordPerByte) {
    const RecipeSnapshot recipe = Cocido();
    bool windowShown = false;
    SaveProgress progress;
    progress.pictureStarting = [&] { windowShown = true; };
    ASSERT_EQ(SaveRecipeValues(recipe, nullptr, progress), SaveResult::Saved);
    EXPECT_FALSE(windowShown);
    const size_t records =
        recipe.dishName.size() + recipe.ingredients.size() + recipe.elaboration.size() + recipe.categoryName.size();
    EXPECT_EQ(std::filesystem::file_size(FastData()), records * kRecordSize);
    EXPECT_EQ(LastRecipeKey(), 1);
    EXPECT_EQ(ReadFieldValue("Plato", 1), recipe.dishName);
    EXPECT_EQ(ReadFieldValue("Ingredientes", 1), recipe.ingredients);
    EXPECT_EQ(ReadFieldValue("Categoria", 1), "Potajes");
    EXPECT_EQ(ReadFieldValue("Imagen", 1), "");
    EXPECT_EQ(ReadFieldValue("extensi\xF3n", 1), "");
}

TEST_F(Save, SameBytesAsByteByByteAppends) {
    std::vector<uint8_t> picture1000(1000);
    for (size_t i = 0; i < picture1000.size(); ++i) {
        picture1000[i] = static_cast<uint8_t>(i * 7);
    }
    RecipeSnapshot recipe = Cocido();
    {
        SCOPED_TRACE("no picture, empty store");
        SaveBothAndCompare(recipe, {});
    }
    {
        SCOPED_TRACE("a 1000-byte .jpg after the first recipe");
        recipe.picturePath = "C:\\fotos\\cocido.jpg";
        SaveBothAndCompare(recipe, picture1000);
    }
    {
        SCOPED_TRACE("a 0-byte picture");
        recipe.picturePath = "C:\\fotos\\vacia.png";
        SaveBothAndCompare(recipe, {});
    }
    {
        SCOPED_TRACE("a path without a dot, and one ending in a dot");
        recipe.picturePath = "C:\\fotos\\cocido";
        SaveBothAndCompare(recipe, picture1000);
        recipe.picturePath = "C:\\fotos\\cocido.";
        SaveBothAndCompare(recipe, picture1000);
    }
    {
        SCOPED_TRACE("small blocks: values split across writes and reads");
        SaveBothAndCompare(recipe, picture1000, SaveOptions{7, 3});
        SaveBothAndCompare(recipe, picture1000, SaveOptions{1, 1});
    }
    const int64_t keyBefore = LastRecipeKey();
    EXPECT_EQ(keyBefore, 7);
    EXPECT_EQ(ReadFieldValue("Imagen", 2), std::string(picture1000.begin(), picture1000.end()));
    EXPECT_EQ(ReadFieldValue("extensi\xF3n", 2), "jpg");
    EXPECT_EQ(ReadFieldValue("extensi\xF3n", 3), "png");
    EXPECT_EQ(ReadFieldValue("extensi\xF3n", 4), "C:\\fotos\\cocido");
}

TEST_F(Save, SameBytesOnDataFilesWithATailOrOddKeys) {
    std::mt19937_64 random(5);
    std::vector<uint8_t> start = GenerateWellFormedStore(random, 3, 50);
    start.resize(start.size() + 20, 0xAB); // an incomplete record at the end
    SetBothDataFiles(start);
    RecipeSnapshot recipe = Cocido();
    recipe.picturePath = "x.gif";
    SaveBothAndCompare(recipe, {1, 2, 3});
    EXPECT_EQ(std::filesystem::file_size(FastData()) % kRecordSize, 0u) << "the tail was overwritten";

    // A last record with a negative key, and a data file shorter than one record.
    std::vector<uint8_t> odd(kRecordSize);
    EncodeDataRecord(SchemaTable()[0], 'a', -5, true, odd.data());
    SetBothDataFiles(odd);
    SaveBothAndCompare(Cocido(), {});
    SetBothDataFiles(std::vector<uint8_t>(30, 0x11));
    SaveBothAndCompare(Cocido(), {});
}

TEST_F(Save, SameBytesOnRandomRecipes) {
    std::mt19937_64 random(2024);
    SetBothDataFiles(GenerateRandomStore(random, true, 40));
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE(round);
        RecipeSnapshot recipe;
        recipe.dishName = RandomBytes(random, 1 + random() % 60);
        recipe.ingredients = RandomBytes(random, 1 + random() % 400);
        recipe.elaboration = RandomBytes(random, 1 + random() % 900);
        recipe.categoryName = RandomBytes(random, 1 + random() % 14);
        std::vector<uint8_t> picture;
        if (random() % 3 != 0) {
            recipe.picturePath = RandomBytes(random, 1 + random() % 40);
            picture = Bytes(RandomBytes(random, random() % 5000));
        }
        const SaveOptions options{1 + random() % 3000, 1 + random() % 2000};
        SaveBothAndCompare(recipe, picture, options);
    }
}

// floor(100 * index / count) checked as p * count <= 100 * index < (p + 1) * count, in 128 bits.
struct Wide {
    uint64_t high, low;
};
Wide Multiply(uint64_t a, uint64_t b) {
    const uint64_t aLow = a & 0xFFFFFFFFu, aHigh = a >> 32, bLow = b & 0xFFFFFFFFu, bHigh = b >> 32;
    const uint64_t ll = aLow * bLow, lh = aLow * bHigh, hl = aHigh * bLow, hh = aHigh * bHigh;
    const uint64_t middle = (ll >> 32) + (lh & 0xFFFFFFFFu) + (hl & 0xFFFFFFFFu);
    return {hh + (lh >> 32) + (hl >> 32) + (middle >> 32), (middle << 32) | (ll & 0xFFFFFFFFu)};
}
bool LessOrEqual(Wide a, Wide b) {
    return a.high < b.high || (a.high == b.high && a.low <= b.low);
}
bool IsExactPosition(int position, int64_t index, int64_t count) {
    const Wide hundredIndex = Multiply(100, static_cast<uint64_t>(index));
    return position >= 0 &&
           LessOrEqual(Multiply(static_cast<uint64_t>(position), static_cast<uint64_t>(count)), hundredIndex) &&
           !LessOrEqual(Multiply(static_cast<uint64_t>(position) + 1, static_cast<uint64_t>(count)), hundredIndex);
}

TEST(ProgressPosition, ExactForSmallAndHugeSizes) {
    for (int64_t i = 0; i < 1000; ++i) {
        ASSERT_EQ(ProgressPosition(i, 1000), static_cast<int>(i / 10)) << i;
    }
    EXPECT_EQ(ProgressPosition(0, 0), 0);
    EXPECT_EQ(ProgressPosition(0, 1), 0);
    EXPECT_EQ(ProgressPosition(1, 3), 33);
    EXPECT_EQ(ProgressPosition(2, 3), 66);
    const int64_t max = std::numeric_limits<int64_t>::max();
    EXPECT_EQ(ProgressPosition(max - 1, max), 99);
    EXPECT_EQ(ProgressPosition(max / 2, max), 49);
    EXPECT_EQ(ProgressPosition(max / 100 + 1, max), 1);
    std::mt19937_64 random(7);
    for (int round = 0; round < 100000; ++round) {
        const int64_t count = static_cast<int64_t>(random() >> (1 + random() % 62)) + 1;
        const int64_t index = static_cast<int64_t>(random() % static_cast<uint64_t>(count));
        const int position = ProgressPosition(index, count);
        ASSERT_TRUE(IsExactPosition(position, index, count)) << index << " of " << count << " gave " << position;
    }
}

// With the block size the program ships, a picture of a few hundred kilobytes moves the bar after
// each block, through increasing values, to the last position of a byte count (99).
TEST_F(Save, PictureProgressFollowsTheBytesWritten) {
    RecipeSnapshot recipe = Cocido();
    recipe.picturePath = "tarta.jpg";
    std::vector<std::string> events;
    int blocks = 0;
    SaveProgress progress;
    progress.pictureStarting = [&] { events.push_back("start"); };
    progress.positionChanged = [&](int position) { events.push_back(std::to_string(position)); };
    progress.keepAlive = [&] { ++blocks; };
    progress.pictureFinished = [&] { events.push_back("finish"); };
    // 300 KB: nine blocks of 32 KB and a last one of 12 KB. After block b the bar shows
    // 100 * (32768 b - 1) / 307200, rounded down.
    const PictureSource source = MemoryPicture(std::vector<uint8_t>(300 * 1024, 0x5A));
    ASSERT_EQ(SaveRecipeValues(recipe, &source, progress), SaveResult::Saved);
    EXPECT_EQ(events, (std::vector<std::string>{"start", "10", "21", "31", "42", "53", "63", "74", "85", "95", "99",
                                                "finish"}));
    EXPECT_EQ(blocks, 10);

    // A 0-byte picture: the window comes and goes, the bar never moves, the extension is stored.
    events.clear();
    const PictureSource empty = MemoryPicture({});
    ASSERT_EQ(SaveRecipeValues(recipe, &empty, progress), SaveResult::Saved);
    EXPECT_EQ(events, (std::vector<std::string>{"start", "finish"}));
    EXPECT_EQ(ReadFieldValue("Imagen", 2), "");
    EXPECT_EQ(ReadFieldValue("extensi\xF3n", 2), "jpg");
}

TEST_F(Save, AnyFailedWriteLeavesTheFileAsItWas) {
    std::mt19937_64 random(11);
    RecipeSnapshot recipe = Cocido();
    recipe.picturePath = "foto.bmp";
    const std::vector<uint8_t> picture = Bytes(RandomBytes(random, 3000));
    for (bool withTail : {false, true}) {
        SCOPED_TRACE(withTail ? "data file with an incomplete tail" : "data file of whole records");
        std::vector<uint8_t> before = GenerateWellFormedStore(random, 2, 100);
        if (withTail) {
            before.insert(before.end(), {9, 8, 7, 6, 5});
        }
        SetBothDataFiles(before);
        const SaveOptions options{500, 200}; // some 16 writes of 200 records
        int failures = 0;
        for (int64_t n = 1;; ++n) {
            FileFaultPlan plan;
            plan.failWriteNumber = n;
            plan.partialWriteBytes = static_cast<size_t>(n * 13 % 300);
            plan.writeFailure = n % 2 == 0 ? FileStatus::DiskFull : FileStatus::Failed;
            SetFileFaultPlan(plan);
            const PictureSource source = MemoryPicture(picture);
            const SaveResult result = SaveRecipeValues(recipe, &source, {}, options);
            SetFileFaultPlan({});
            if (result == SaveResult::Saved) {
                break;
            }
            ++failures;
            ASSERT_EQ(result, n % 2 == 0 ? SaveResult::DiskFull : SaveResult::WriteFailed) << "write " << n;
            ASSERT_EQ(ReadWholeFile(FastData()), before) << "after a failure at write " << n;
        }
        const size_t records = recipe.dishName.size() + recipe.ingredients.size() + recipe.elaboration.size() +
                               picture.size() + recipe.categoryName.size() + PathExtension(recipe.picturePath).size();
        EXPECT_EQ(failures, static_cast<int>((records + 199) / 200)) << "a failure at each write of the save";
        // The save that got through is the one the byte-by-byte appends would have made.
        SetStoreLocation(oracle_.Path(), "guisla");
        ASSERT_EQ(OracleSave(recipe, picture), FileStatus::Ok);
        SetStoreLocation(fast_.Path(), "guisla");
        EXPECT_EQ(ReadWholeFile(FastData()), ReadWholeFile(OracleData()));
    }
}

TEST_F(Save, FlushBusyFileAndUnreadablePictureLeaveTheFileAsItWas) {
    std::mt19937_64 random(3);
    std::vector<uint8_t> before = GenerateWellFormedStore(random, 1, 10);
    before.push_back(0x42);
    WriteWholeFile(FastData(), before);
    RecipeSnapshot recipe = Cocido();
    recipe.picturePath = "foto.png";
    const std::vector<uint8_t> picture = Bytes(RandomBytes(random, 2000));

    FileFaultPlan plan;
    plan.failFlush = true;
    SetFileFaultPlan(plan);
    PictureSource source = MemoryPicture(picture);
    EXPECT_EQ(SaveRecipeValues(recipe, &source), SaveResult::WriteFailed) << "never reported as saved";
    SetFileFaultPlan({});
    EXPECT_EQ(ReadWholeFile(FastData()), before);

    {
        StoreFile holder; // another opener holds the data file for the whole save
        ASSERT_EQ(OpenStoreFile(FastData(), FileAccess::Read, holder), FileStatus::Ok);
        source = MemoryPicture(picture);
        EXPECT_EQ(SaveRecipeValues(recipe, &source), SaveResult::Busy);
    }
    EXPECT_EQ(ReadWholeFile(FastData()), before);

    int shown = 0;
    SaveProgress progress;
    progress.pictureStarting = [&] { ++shown; };
    progress.pictureFinished = [&] { --shown; };
    source = MemoryPicture(picture, -1, 1500); // a read error part of the way
    EXPECT_EQ(SaveRecipeValues(recipe, &source, progress, SaveOptions{100, 10}), SaveResult::PictureUnreadable);
    EXPECT_EQ(shown, 0) << "the progress window is gone again";
    EXPECT_EQ(ReadWholeFile(FastData()), before);
    source = MemoryPicture(picture, 2500); // shorter than it said
    EXPECT_EQ(SaveRecipeValues(recipe, &source), SaveResult::PictureUnreadable);
    source = MemoryPicture(picture, 1999); // longer than it said
    EXPECT_EQ(SaveRecipeValues(recipe, &source), SaveResult::PictureUnreadable);
    EXPECT_EQ(SaveRecipeValues(recipe, nullptr), SaveResult::PictureUnreadable);
    EXPECT_EQ(ReadWholeFile(FastData()), before);

    // A failure whose undoing fails too is reported as such, never as saved.
    plan = {};
    plan.failWriteNumber = 1;
    plan.failSetLength = true;
    SetFileFaultPlan(plan);
    source = MemoryPicture(picture);
    EXPECT_EQ(SaveRecipeValues(recipe, &source), SaveResult::RollbackFailed);
    SetFileFaultPlan({});

    // And then a save goes through.
    WriteWholeFile(FastData(), before);
    source = MemoryPicture(picture);
    EXPECT_EQ(SaveRecipeValues(recipe, &source), SaveResult::Saved);
    EXPECT_EQ(ReadFieldValue("Imagen", 2), std::string(picture.begin(), picture.end()));
}

TEST_F(Save, LastKeyAtTheTopOfTheRangeIsNotFollowed) {
    std::vector<uint8_t> before(kRecordSize);
    EncodeDataRecord(SchemaTable()[0], 'a', std::numeric_limits<int64_t>::max(), true, before.data());
    WriteWholeFile(FastData(), before);
    EXPECT_EQ(SaveRecipeValues(Cocido(), nullptr), SaveResult::KeysExhausted);
    EXPECT_EQ(ReadWholeFile(FastData()), before);
}

} // namespace
