// The search on large stores: a first search (one pass over the data file), a repeated search
// (the pass kept), and opening a found recipe (texts and picture read from the places the search
// remembered), next to one plain sequential read of the file and to the plain procedure (one
// ReadFieldValue per key and per result), extrapolated from the cost of one ReadFieldValue in the
// middle of the store. Two stores of about 1.5 GB: 2,000 recipes with pictures of 20,000 bytes,
// and 50,000 recipes without pictures. Figures go to the console and to bench/results-search.md.
// Timings are of a file held in the page cache (it was just written).
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#include "search/search.h"
#include "store/field_scan.h"
#include "store/schema_table.h"
#include "store/store.h"
#include "store_oracle.h"

namespace {

const char *const kCategories[] = {"Aperitivos", "Arroz", "Sopas", "Carnes", "Pescados"};

double Seconds(const std::function<void()> &work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int64_t WriteStore(int recipes, size_t pictureBytes) {
    std::ofstream out(DataFilePath(), std::ios::binary | std::ios::trunc);
    std::mt19937_64 random(7);
    int64_t size = 0;
    for (int key = 1; key <= recipes; ++key) {
        std::vector<uint8_t> recipe;
        const std::vector<FieldDescriptor> &schema = SchemaTable();
        AppendValueRecords(recipe, schema[0], key, "Plato " + std::to_string(key));
        AppendValueRecords(recipe, schema[1], key, std::string(300, 'i'));
        AppendValueRecords(recipe, schema[2], key, std::string(500, 'p'));
        AppendValueRecords(recipe, schema[3], key, std::string(pictureBytes, '\x7f'));
        AppendValueRecords(recipe, schema[4], key, kCategories[random() % 5]);
        AppendValueRecords(recipe, schema[5], key, pictureBytes > 0 ? "jpg" : "");
        out.write(reinterpret_cast<const char *>(recipe.data()), static_cast<std::streamsize>(recipe.size()));
        size += static_cast<int64_t>(recipe.size());
    }
    return size;
}

std::string Measure(int recipes, size_t pictureBytes) {
    const int64_t size = WriteStore(recipes, pictureBytes);
    const double sequential = Seconds([] {
        StoreFile file;
        OpenStoreFile(DataFilePath(), FileAccess::Read, file);
        int64_t total = 0;
        StoreFileSize(file, total);
        std::unique_ptr<uint8_t[]> block = NewReadBlock(total);
        for (int64_t offset = 0; offset < total;) {
            size_t got = 0;
            StoreFileRead(file, offset, block.get(), kReadBlockBytes, got);
            if (got == 0) {
                break;
            }
            offset += static_cast<int64_t>(got);
        }
    });
    ForgetSearchPass();
    const double first = Seconds([] { SearchStoreRecipes("Categoria", "Sopas"); });
    const int64_t found = resultCount;
    const double repeated = Seconds([] { SearchStoreRecipes("Categoria", "Arroz"); });
    const double again = Seconds([] { SearchStoreRecipes("Categoria", "Sopas"); });
    int64_t pictureRead = 0;
    const double open = Seconds([&] {
        const FoundRecipeTexts texts = ReadFoundRecipe(resultCount / 2 + 1);
        StoredPicture picture;
        if (FoundStoredPicture(resultCount / 2 + 1, picture)) {
            StreamStoredPicture(picture, [&](const uint8_t *, size_t count) {
                pictureRead += static_cast<int64_t>(count);
                return true;
            });
        }
        if (texts.dishName.empty()) {
            std::fprintf(stderr, "search_bench: nothing opened\n");
        }
    });
    // The plain procedure: one ReadFieldValue per key and one per result, each scanning from the
    // start; a key in the middle stands for the average.
    const double oneRead = Seconds([recipes] { ReadFieldValue("Categoria", recipes / 2); });
    const double plain = oneRead * static_cast<double>(recipes + found);

    std::ostringstream line;
    line << "| " << recipes << " | " << pictureBytes << " | " << size / 1000000 << " MB | " << found << " | "
         << sequential * 1000 << " ms | " << first * 1000 << " ms (" << first / sequential << " x) | "
         << repeated * 1000 << " / " << again * 1000 << " ms | " << open * 1000 << " ms (" << pictureRead
         << " picture bytes) | " << plain << " s |";
    std::remove(DataFilePath().string().c_str());
    return line.str();
}

} // namespace

int main() {
    TempFolder folder("searchbench");
    SetStoreLocation(folder.Path(), "guisla");
    std::ostringstream out;
    out << "# Search benchmark\n\nNative build, 2 cores, file in the page cache. Plain procedure extrapolated from "
           "one\n"
           "ReadFieldValue in the middle of the store.\n\n"
        << "| recipes | picture bytes | data file | results | sequential read | first search | repeated search "
           "(other / same category) | open a result | plain procedure |\n"
        << "|---|---|---|---|---|---|---|---|---|\n";
    out << Measure(2000, 20000) << "\n";
    out << Measure(50000, 0) << "\n";
    std::printf("%s", out.str().c_str());
    std::ofstream(GUISLA_BENCH_RESULTS) << out.str();
    return 0;
}
