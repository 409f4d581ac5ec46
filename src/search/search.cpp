// The search over the store in one pass, the result lines and the texts of a found recipe.
#include "search/search.h"

#include <algorithm>
#include <memory>
#include <unordered_map>

#include "search/cache_name.h"
#include "store/file.h"
#include "store/record_codec.h"
#include "store/schema_table.h"
#include "store/store.h"

std::vector<int64_t> SearchResults;
int64_t resultCount = 0;

namespace {

// Bytes at the start and at the end of the data file that tell a kept pass from a new file.
constexpr int64_t kFingerprintBytes = 64 * 1024;

constexpr size_t kNoValue = static_cast<size_t>(-1);

// The fields read besides the searched one, in this order after it.
enum OtherField { kDish, kIngredients, kElaboration, kPicture, kExtension, kOtherFieldCount };

const std::string &SchemaName(int position) {
    return SchemaTable()[static_cast<size_t>(position) - 1].fieldName;
}

struct SpanSlot {
    bool present = false;
    ValueSpan span;
};

// What one pass saw of one key.
struct KeyEntry {
    int64_t key = 0;
    size_t value = kNoValue; // index of the searched field's value among the pass's distinct values
    std::string dishName;
    SpanSlot spans[kOtherFieldCount];
};

struct FileFingerprint {
    std::filesystem::path path;
    int64_t size = -1;
    uint64_t head = 0;
    uint64_t tail = 0;
    bool operator==(const FileFingerprint &other) const = default;
};

// A pass over the data file for one searched field: every key of 1 .. LastRecipeKey that has a
// value of that field, in ascending order.
struct SearchPass {
    std::string fieldName;
    FileFingerprint file;
    std::vector<std::string> values; // distinct values of the searched field
    std::vector<KeyEntry> keys;
};

// What the last search found, line by line (parallel to SearchResults).
struct ResultDetail {
    std::string dishName;
    SpanSlot spans[kOtherFieldCount];
};

std::unique_ptr<SearchPass> keptPass;
std::vector<ResultDetail> resultDetails;
int64_t resultFileSize = -1;
int resultOrdinalWidth = 4;

uint64_t HashBytes(uint64_t hash, const uint8_t *bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    }
    return hash;
}

// Size and hashes of the first and last kFingerprintBytes of an open file; size -1 on failure.
FileFingerprint FingerprintOf(const StoreFile &file) {
    FileFingerprint print;
    print.path = DataFilePath();
    int64_t size = 0;
    if (StoreFileSize(file, size) != FileStatus::Ok) {
        return print;
    }
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min(size, kFingerprintBytes)));
    const int64_t offsets[2] = {0, size - static_cast<int64_t>(buffer.size())};
    uint64_t *hashes[2] = {&print.head, &print.tail};
    for (int i = 0; i < 2; ++i) {
        size_t got = 0;
        if (StoreFileRead(file, offsets[i], buffer.data(), buffer.size(), got) != FileStatus::Ok) {
            return print;
        }
        *hashes[i] = HashBytes(1469598103934665603ull, buffer.data(), got);
    }
    print.size = size;
    return print;
}

// One pass over the open data file; nullptr when it cannot be read to its end. Keys outside
// 1 .. lastKey are never reported by the plain procedure and are skipped; so are keys without a
// value of the searched field, which no non-empty target can equal.
std::unique_ptr<SearchPass> ScanStore(const StoreFile &file, const std::string &fieldName, int64_t lastKey,
                                      const SearchKeepAlive &keepAlive) {
    auto pass = std::make_unique<SearchPass>();
    pass->fieldName = fieldName;
    if (lastKey < 1) {
        return pass;
    }
    const std::vector<WantedField> wanted = {
        {fieldName, true},
        {SchemaName(kFieldDishName), true},
        {SchemaName(kFieldIngredients), false},
        {SchemaName(kFieldElaboration), false},
        {SchemaName(kFieldPicture), false},
        {SchemaName(kFieldExtension), false},
    };
    std::unordered_map<int64_t, KeyEntry> entries;
    std::unordered_map<std::string, size_t> valueIndex;
    const FileStatus status = ScanFieldValuesOf(
        file, wanted,
        [&](FoundValue &found) {
            if (found.key < 1 || found.key > lastKey) {
                return true;
            }
            KeyEntry &entry = entries[found.key];
            if (found.field == 0) {
                auto [it, added] = valueIndex.emplace(std::move(found.bytes), pass->values.size());
                if (added) {
                    pass->values.push_back(it->first);
                }
                entry.value = it->second;
                return true;
            }
            const size_t other = found.field - 1;
            if (other == kDish) {
                entry.dishName = std::move(found.bytes);
            }
            entry.spans[other] = {true, found.span};
            return true;
        },
        [&keepAlive](int64_t, int64_t) {
            if (keepAlive) {
                keepAlive();
            }
            return true;
        });
    if (status != FileStatus::Ok) {
        return nullptr; // read as a store that cannot be read: nothing found
    }
    pass->keys.reserve(entries.size());
    for (auto &[key, entry] : entries) {
        if (entry.value != kNoValue) {
            entry.key = key;
            pass->keys.push_back(std::move(entry));
        }
    }
    std::sort(pass->keys.begin(), pass->keys.end(), [](const KeyEntry &a, const KeyEntry &b) { return a.key < b.key; });
    return pass;
}

// Set when the last search found the data file held by another program.
bool lastSearchBusy = false;

void ClearResults() {
    lastSearchBusy = false;
    SearchResults.clear();
    resultDetails.clear();
    resultCount = 0;
    resultOrdinalWidth = 4;
    resultFileSize = -1;
}

// The kept pass when it was made for this field over this very file; else a new pass.
const SearchPass *PassFor(const std::string &fieldName, const SearchKeepAlive &keepAlive) {
    StoreFile file;
    const FileStatus opened = OpenStoreFile(DataFilePath(), FileAccess::Read, file);
    if (opened != FileStatus::Ok) {
        lastSearchBusy = opened == FileStatus::Busy;
        keptPass.reset();
        return nullptr;
    }
    const FileFingerprint print = FingerprintOf(file);
    if (print.size < 0) {
        keptPass.reset();
        return nullptr;
    }
    if (keptPass != nullptr && keptPass->fieldName == fieldName && keptPass->file == print) {
        return keptPass.get();
    }
    keptPass.reset();
    int64_t lastKey = 0;
    if (LastRecipeKeyOf(file, lastKey) != FileStatus::Ok) {
        return nullptr;
    }
    std::unique_ptr<SearchPass> pass = ScanStore(file, fieldName, lastKey, keepAlive);
    if (pass == nullptr) {
        return nullptr;
    }
    pass->file = print;
    keptPass = std::move(pass);
    return keptPass.get();
}

int DigitsOf(int64_t value) {
    int digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

// The value of a remembered span when the file still holds it there; else ReadFieldValue.
std::string ReadRemembered(const std::string &name, int64_t key, const SpanSlot &slot, bool sameFile) {
    if (sameFile) {
        if (!slot.present) {
            return std::string();
        }
        std::string value;
        if (ReadValueSpan(name, key, slot.span, value) == FileStatus::Ok) {
            return value;
        }
    }
    return ReadFieldValue(name, key);
}

} // namespace

bool LastSearchStoreBusy() {
    return lastSearchBusy;
}

void SearchStoreRecipes(const std::string &fieldName, const std::string &target, const SearchKeepAlive &keepAlive) {
    ClearResults();
    const SearchPass *pass = target.empty() ? nullptr : PassFor(fieldName, keepAlive);
    if (pass == nullptr) {
        return;
    }
    const auto value = std::find(pass->values.begin(), pass->values.end(), target);
    if (value == pass->values.end()) {
        return;
    }
    const size_t wantedValue = static_cast<size_t>(value - pass->values.begin());
    for (const KeyEntry &entry : pass->keys) {
        if (entry.value != wantedValue) {
            continue;
        }
        SearchResults.push_back(entry.key);
        ResultDetail detail;
        detail.dishName = entry.dishName;
        std::copy(std::begin(entry.spans), std::end(entry.spans), std::begin(detail.spans));
        resultDetails.push_back(std::move(detail));
    }
    resultCount = static_cast<int64_t>(SearchResults.size());
    resultOrdinalWidth = std::max(4, DigitsOf(resultCount));
    resultFileSize = pass->file.size;
}

void ForgetSearchPass() {
    keptPass.reset();
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
    line += resultDetails[static_cast<size_t>(ordinal - 1)].dishName;
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
    const size_t index = static_cast<size_t>(ordinal - 1);
    const ResultDetail &detail = resultDetails[index];
    texts.key = SearchResults[index];
    const bool sameFile = resultFileSize >= 0 && CurrentDataFileSize() == resultFileSize;
    texts.dishName = ReadRemembered(SchemaName(kFieldDishName), texts.key, detail.spans[kDish], sameFile);
    texts.ingredients = ReadRemembered(SchemaName(kFieldIngredients), texts.key, detail.spans[kIngredients], sameFile);
    texts.elaboration = ReadRemembered(SchemaName(kFieldElaboration), texts.key, detail.spans[kElaboration], sameFile);
    return texts;
}

FoundPictureSpans FoundRecipePictureSpans(int64_t ordinal) {
    FoundPictureSpans spans;
    if (ordinal < 1 || ordinal > resultCount) {
        return spans;
    }
    const size_t index = static_cast<size_t>(ordinal - 1);
    const ResultDetail &detail = resultDetails[index];
    spans.found = true;
    spans.key = SearchResults[index];
    spans.fileSize = resultFileSize;
    spans.hasPicture = detail.spans[kPicture].present;
    spans.picture = detail.spans[kPicture].span;
    spans.hasExtension = detail.spans[kExtension].present;
    spans.extension = detail.spans[kExtension].span;
    return spans;
}

bool FoundStoredPicture(int64_t ordinal, StoredPicture &picture) {
    const FoundPictureSpans spans = FoundRecipePictureSpans(ordinal);
    if (!spans.found || spans.fileSize < 0 || CurrentDataFileSize() != spans.fileSize) {
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
