// The search over the store in one pass, the result lines and the texts of a found recipe.
#include "search/search.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "search/cache_name.h"
#include "store/file.h"
#include "store/record_codec.h"
#include "store/schema_table.h"
#include "store/store.h"
#include "store/store_index.h"

std::vector<int64_t> SearchResults;
int64_t resultCount = 0;

namespace {

// The most bytes of the data file asked for at once when a found recipe's texts are opened.
constexpr int64_t kTogetherBytes = 8 * 1024 * 1024;

const std::string &SchemaName(int position) {
    return SchemaTable()[static_cast<size_t>(position) - 1].fieldName;
}

// The dish names of the last search's lines (parallel to SearchResults) and the field it searched.
std::vector<std::string> resultDishNames;
std::string resultField;
int resultOrdinalWidth = 4;

// Set when the last search found the data file held by another program.
bool lastSearchBusy = false;

void ClearResults() {
    lastSearchBusy = false;
    SearchResults.clear();
    resultDishNames.clear();
    resultCount = 0;
    resultOrdinalWidth = 4;
}

// The index of the store brought up to date for a search of `fieldName`, on the data file opened
// into `file`; nullptr when the store cannot be read (`busy` tells whether another program held it).
const StoreIndex *CurrentIndex(const std::string &fieldName, const SearchKeepAlive &keepAlive, StoreFile &file,
                               bool &busy) {
    busy = false;
    const FileStatus opened = OpenStoreFile(DataFilePath(), FileAccess::Read, file);
    if (opened != FileStatus::Ok) {
        busy = opened == FileStatus::Busy;
        return nullptr;
    }
    return UpdateStoreIndex(file, fieldName, [&keepAlive](int64_t done, int64_t total) {
        if (keepAlive) {
            keepAlive(done, total);
        }
        return true;
    });
}

// The index of the store for the field of the last search, brought up to date, on the data file
// opened into `file`. nullptr when it cannot be read.
const StoreIndex *IndexForOpening(StoreFile &file) {
    if (resultField.empty()) {
        return nullptr;
    }
    bool busy = false;
    return CurrentIndex(resultField, {}, file, busy);
}

const KeptValue *IndexedValue(const StoreIndex &index, int field, int64_t key) {
    const auto &reported = index.scan.fields[static_cast<size_t>(field)].reported;
    const auto it = reported.find(key);
    return it == reported.end() ? nullptr : &it->second;
}

int DigitsOf(int64_t value) {
    int digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

// The value of `name` for `key` from where the index saw it (read from there and checked), or
// empty when the index has none. False when the place no longer holds the value.
bool ReadIndexed(const StoreIndex &index, const StoreFile &file, int field, const std::string &name, int64_t key,
                 std::string &bytes) {
    bytes.clear();
    const KeptValue *value = IndexedValue(index, field, key);
    if (value == nullptr) {
        return true;
    }
    const FileStatus status = ReadValueSpanOf(file, name, key, value->span, [&bytes](const uint8_t *b, size_t n) {
        bytes.append(reinterpret_cast<const char *>(b), n);
        return true;
    });
    if (status != FileStatus::Ok) {
        bytes.clear();
        return false;
    }
    return true;
}

} // namespace

bool LastSearchStoreBusy() {
    return lastSearchBusy;
}

void SearchStoreRecipes(const std::string &fieldName, const std::string &target, const SearchKeepAlive &keepAlive) {
    ClearResults();
    if (target.empty()) {
        return;
    }
    StoreFile file;
    const StoreIndex *index = CurrentIndex(fieldName, keepAlive, file, lastSearchBusy);
    int64_t lastKey = 0;
    if (index == nullptr || LastRecipeKeyOf(file, lastKey) != FileStatus::Ok) {
        return;
    }
    // Keys outside 1 .. lastKey are never visited by the plain procedure.
    for (const auto &[key, value] : index->scan.fields[kIndexSearched].reported) {
        if (key >= 1 && key <= lastKey && value.bytes == target) {
            SearchResults.push_back(key);
        }
    }
    std::sort(SearchResults.begin(), SearchResults.end());
    resultDishNames.reserve(SearchResults.size());
    for (const int64_t key : SearchResults) {
        const KeptValue *dish = IndexedValue(*index, kIndexDish, key);
        resultDishNames.push_back(dish != nullptr ? dish->bytes : std::string());
    }
    resultField = fieldName;
    resultCount = static_cast<int64_t>(SearchResults.size());
    resultOrdinalWidth = std::max(4, DigitsOf(resultCount));
}

void ForgetSearchPass() {
    ForgetStoreIndex();
}

int ResultOrdinalWidth() {
    return resultOrdinalWidth;
}

std::string ResultLine(int64_t ordinal) {
    if (ordinal < 1 || ordinal > resultCount) {
        return std::string();
    }
    const std::string digits = std::to_string(ordinal);
    std::string line;
    if (digits.size() < static_cast<size_t>(resultOrdinalWidth)) {
        line.assign(static_cast<size_t>(resultOrdinalWidth) - digits.size(), '0');
    }
    line += digits;
    line += ' ';
    line += resultDishNames[static_cast<size_t>(ordinal - 1)];
    return line;
}

int64_t OrdinalOfResultLine(const std::string &line) {
    int64_t ordinal = 0;
    for (size_t i = 0; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        if (i >= 19) {
            return 0; // more digits than any count can have
        }
        ordinal = ordinal * 10 + (line[i] - '0');
    }
    return ordinal <= resultCount ? ordinal : 0;
}

std::string SearchCountMessage(int64_t count) {
    if (count <= 0) {
        return "No hay Resultados ...";
    }
    return std::to_string(count) + " Resultados ...";
}

int64_t CurrentDataFileSize() {
    StoreFile file;
    int64_t size = 0;
    if (OpenStoreFile(DataFilePath(), FileAccess::Read, file) != FileStatus::Ok ||
        StoreFileSize(file, size) != FileStatus::Ok) {
        return -1;
    }
    return size;
}

FoundRecipeTexts ReadFoundRecipe(int64_t ordinal) {
    FoundRecipeTexts texts;
    if (ordinal < 1 || ordinal > resultCount) {
        return texts;
    }
    texts.key = SearchResults[static_cast<size_t>(ordinal - 1)];
    const struct {
        int field;
        int position;
        std::string *text;
    } values[] = {{kIndexDish, kFieldDishName, &texts.dishName},
                  {kIndexIngredients, kFieldIngredients, &texts.ingredients},
                  {kIndexElaboration, kFieldElaboration, &texts.elaboration}};
    bool read[3] = {false, false, false};
    {
        // One open of the data file for the index and the three values.
        StoreFile file;
        if (const StoreIndex *index = IndexForOpening(file)) {
            // The recipe's values usually lie side by side, the picture and its extension (read
            // next) among them: asked for together, a disk reads them at once.
            int64_t from = INT64_MAX;
            int64_t to = 0;
            for (const int field : {kIndexDish, kIndexIngredients, kIndexElaboration, kIndexPicture, kIndexExtension}) {
                if (const KeptValue *kept = IndexedValue(*index, field, texts.key)) {
                    from = std::min(from, kept->span.firstOffset);
                    to = std::max(to, kept->span.lastOffset + kRecordSize);
                }
            }
            if (from < to && to - from <= kTogetherBytes) {
                StoreFileWillRead(file, from, to - from);
            }
            for (size_t i = 0; i < 3; ++i) {
                read[i] = ReadIndexed(*index, file, values[i].field, SchemaName(values[i].position), texts.key,
                                      *values[i].text);
            }
        }
    }
    // Without an index, or where the data file no longer holds a value where the index has it,
    // the value is read anew (the file closed above: opens are exclusive).
    for (size_t i = 0; i < 3; ++i) {
        if (!read[i]) {
            *values[i].text = ReadFieldValue(SchemaName(values[i].position), texts.key);
        }
    }
    return texts;
}

FoundPictureSpans FoundRecipePictureSpans(int64_t ordinal) {
    FoundPictureSpans spans;
    if (ordinal < 1 || ordinal > resultCount) {
        return spans;
    }
    StoreFile file;
    const StoreIndex *index = IndexForOpening(file);
    if (index == nullptr) {
        return spans;
    }
    spans.found = true;
    spans.key = SearchResults[static_cast<size_t>(ordinal - 1)];
    if (const KeptValue *picture = IndexedValue(*index, kIndexPicture, spans.key)) {
        spans.hasPicture = true;
        spans.picture = picture->span;
    }
    if (const KeptValue *extension = IndexedValue(*index, kIndexExtension, spans.key)) {
        spans.hasExtension = true;
        spans.extension = extension->span;
    }
    return spans;
}

bool FoundStoredPicture(int64_t ordinal, StoredPicture &picture) {
    const FoundPictureSpans spans = FoundRecipePictureSpans(ordinal);
    if (!spans.found) {
        return false;
    }
    picture = StoredPicture();
    picture.key = spans.key;
    picture.hasPicture = spans.hasPicture;
    picture.pictureSpan = spans.picture;
    if (spans.hasExtension) {
        // Only as many bytes as the safe form of the extension can use.
        SafeExtensionBuilder builder;
        const FileStatus status = ReadValueSpan(SchemaName(kFieldExtension), spans.key, spans.extension,
                                                [&builder](const uint8_t *bytes, size_t count) {
                                                    builder.Add(reinterpret_cast<const char *>(bytes), count);
                                                    return !builder.Full();
                                                });
        if (status != FileStatus::Ok) {
            return false;
        }
        picture.extension = builder.Extension();
    }
    return true;
}
