// The kept index reader under arbitrary bytes: decoding, the round trip, and its use by a search.
#include "index_check.h"

#include <random>
#include <vector>

#include "search/search.h"
#include "search/stored_picture.h"
#include "store/record_codec.h"
#include "store/schema_table.h"
#include "store/store.h"
#include "store/store_index.h"
#include "store_oracle.h"

namespace {

bool SameIndex(const StoreIndex &a, const StoreIndex &b) {
    if (!(a.print == b.print) || !(a.stamp == b.stamp) || a.scan.end != b.scan.end ||
        a.scan.fields.size() != b.scan.fields.size()) {
        return false;
    }
    for (size_t f = 0; f < a.scan.fields.size(); ++f) {
        const FieldScanState &x = a.scan.fields[f];
        const FieldScanState &y = b.scan.fields[f];
        if (x.name != y.name || x.wantBytes != y.wantBytes || x.reported.size() != y.reported.size() ||
            x.pending.size() != y.pending.size()) {
            return false;
        }
        for (const auto &[key, value] : x.reported) {
            const auto it = y.reported.find(key);
            if (it == y.reported.end() || it->second.bytes != value.bytes ||
                it->second.span.firstOffset != value.span.firstOffset ||
                it->second.span.lastOffset != value.span.lastOffset || it->second.span.length != value.span.length) {
                return false;
            }
        }
        for (const auto &[key, value] : x.pending) {
            const auto it = y.pending.find(key);
            if (it == y.pending.end() || it->second.bytes != value.bytes || it->second.length != value.length ||
                it->second.firstOffset != value.firstOffset) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

std::string CheckIndexInput(const uint8_t *data, size_t size, const std::filesystem::path &folder) {
    // The fixed store: a few recipes, a picture, an interrupted value at the end.
    static const std::vector<uint8_t> store = [] {
        std::vector<uint8_t> bytes;
        const char *categories[] = {"Arroz", "Aperitivos", "Arroz", "Arroz"};
        for (int64_t key = 1; key <= 4; ++key) {
            const auto &field = [](int position) { return SchemaTable()[static_cast<size_t>(position) - 1]; };
            AppendValueRecords(bytes, field(kFieldDishName), key, "plato " + std::to_string(key));
            AppendValueRecords(bytes, field(kFieldIngredients), key, "ingredientes");
            AppendValueRecords(bytes, field(kFieldPicture), key, key == 1 ? "foto" : "");
            AppendValueRecords(bytes, field(kFieldCategory), key, categories[key - 1]);
            AppendValueRecords(bytes, field(kFieldExtension), key, key == 1 ? "png" : "");
        }
        bytes.resize(bytes.size() - kRecordSize);
        return bytes;
    }();
    std::vector<uint8_t> kept(data, data + size);
    if (kept.size() >= 60) {
        PutU64LE(kept.data() + 16, kept.size());
        const int64_t end = GetI64LE(kept.data() + 24);
        if (end >= 0 && end <= static_cast<int64_t>(store.size()) && end % kRecordSize == 0) {
            const size_t count = static_cast<size_t>(std::min<int64_t>(end, kIndexPrintBytes));
            PutU64LE(kept.data() + 32, IndexHash(store.data(), count));
            PutU64LE(kept.data() + 40, IndexHash(store.data() + end - static_cast<int64_t>(count), count));
        }
        if (kept.size() >= 88) {
            PutU64LE(kept.data() + 72, 0); // no modification time: the data file's bytes decide
        }
        PutU64LE(kept.data() + kept.size() - 8, IndexHash(kept.data(), kept.size() - 8));
    }
    StoreIndex index;
    if (DecodeStoreIndex(kept.data(), kept.size(), index)) {
        const std::string again = EncodeStoreIndex(index);
        StoreIndex back;
        if (!DecodeStoreIndex(reinterpret_cast<const uint8_t *>(again.data()), again.size(), back) ||
            !SameIndex(index, back)) {
            return "a decoded index does not encode and decode back to itself\n";
        }
    }
    SetStoreLocation(folder, "guisla");
    WriteWholeFile(folder / "guisla.zbd", store);
    WriteWholeFile(StoreIndexPath(), kept);
    ForgetSearchPass();
    const int64_t lastKey = LastRecipeKey();
    for (const char *target : {"Arroz", "Aperitivos"}) {
        SearchStoreRecipes("Categoria", target);
        for (int64_t i = 1; i <= resultCount; ++i) {
            const int64_t key = SearchResults[static_cast<size_t>(i - 1)];
            if (key < 1 || key > lastKey) {
                return "a result key outside 1 .. the last key\n";
            }
            ReadFoundRecipe(i);
            StoredPicture picture;
            if (FoundStoredPicture(i, picture)) {
                StreamStoredPicture(picture, [](const uint8_t *, size_t) { return true; });
            }
        }
    }
    const std::vector<uint8_t> written = ReadWholeFile(StoreIndexPath());
    if (!DecodeStoreIndex(written.data(), written.size(), index)) {
        return "the kept file left after a search does not decode\n";
    }
    return "";
}
