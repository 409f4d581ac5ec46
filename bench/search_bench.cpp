// The search on large stores: the first full pass (no kept index yet), the first search after a
// restart (the kept index read, nothing appended), a repeated search, and opening a found recipe
// (texts and picture read from where the index has them), next to one plain sequential read of
// the file and to the plain procedure (one ReadFieldValue per key and per result), extrapolated
// from the cost of one ReadFieldValue in the middle of the store. Each with the files in the page
// cache (just read) and out of it (fsync, then posix_fadvise DONTNEED), the reference measured
// the same way in the same run. Stores: given on the command line as recipes and picture bytes
// (default: 2,000 recipes with 20,000-byte pictures and 50,000 without, about 1.5 GB each; the
// photo book is `search_bench 40 4000000`, about 6 GB). Figures go to the console and to
// bench/results-search.md.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

#include "search/search.h"
#include "store/field_scan.h"
#include "store/schema_table.h"
#include "store/store.h"
#include "store/store_index.h"
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

// The median of three timings of `work`, each after `before` (untimed).
double MedianSeconds(const std::function<void()> &before, const std::function<void()> &work) {
    std::vector<double> times;
    for (int run = 0; run < 3; ++run) {
        before();
        times.push_back(Seconds(work));
    }
    std::sort(times.begin(), times.end());
    return times[1];
}

// Drops a file from the page cache (its data forced to disk first).
void Evict(const std::filesystem::path &path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

void EvictStore() {
    Evict(DataFilePath());
    Evict(StoreIndexPath());
}

// One sequential read of `count` bytes of the data file at `offset` in read blocks.
void ReadSequentially(int64_t offset, int64_t count) {
    // In the long reads' blocks, as the pass and the picture reads take them.
    StoreFile file;
    OpenStoreFile(DataFilePath(), FileAccess::Read, file);
    std::unique_ptr<uint8_t[]> block =
        std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(std::min<int64_t>(count, kLongReadBlockBytes)));
    for (int64_t done = 0; done < count;) {
        size_t got = 0;
        StoreFileRead(file, offset + done, block.get(),
                      static_cast<size_t>(std::min<int64_t>(count - done, kLongReadBlockBytes)), got);
        if (got == 0) {
            break;
        }
        done += static_cast<int64_t>(got);
    }
}

std::string Ms(double seconds) {
    std::ostringstream out;
    out.precision(3);
    out << seconds * 1000 << " ms";
    return out.str();
}

std::string Ratio(double a, double b) {
    std::ostringstream out;
    out.precision(3);
    out << a / b << " x";
    return out.str();
}

// Opens result `ordinal` as the dialog does: texts, then the picture streamed.
void OpenResult(int64_t ordinal) {
    const FoundRecipeTexts texts = ReadFoundRecipe(ordinal);
    StoredPicture picture;
    if (FoundStoredPicture(ordinal, picture)) {
        StreamStoredPicture(picture, [](const uint8_t *, size_t) { return true; });
    }
    if (texts.dishName.empty()) {
        std::fprintf(stderr, "search_bench: nothing opened\n");
    }
}

std::string Measure(int recipes, size_t pictureBytes) {
    const int64_t size = WriteStore(recipes, pictureBytes);
    Evict(DataFilePath()); // written to the disk now, not while something is measured
    std::ostringstream lines;
    for (const bool cold : {false, true}) {
        const auto prepare = [cold] {
            if (cold) {
                EvictStore();
            }
        };
        prepare();
        // Into the page cache; and out of it, once untimed: the first read of a file just written
        // also fills caches below this system's (a virtual disk's host), which every later
        // measurement then finds, so the reference must find them too.
        ReadSequentially(0, size);
        const double sequential = MedianSeconds(prepare, [size] { ReadSequentially(0, size); });
        // The first full pass: no kept index.
        const double full = MedianSeconds(
            [&] {
                std::filesystem::remove(StoreIndexPath());
                ForgetSearchPass();
                prepare();
            },
            [] { SearchStoreRecipes("Categoria", "Sopas"); });
        const int64_t found = resultCount;
        // The first search after a restart: the kept index, nothing appended.
        ForgetSearchPass();
        prepare();
        const int64_t readBefore = StoreIndexBytesRead();
        SearchStoreRecipes("Categoria", "Sopas");
        const int64_t restartBytes = StoreIndexBytesRead() - readBefore;
        const double restart = MedianSeconds(
            [&] {
                ForgetSearchPass();
                prepare();
            },
            [] { SearchStoreRecipes("Categoria", "Sopas"); });
        const double repeated = MedianSeconds([] {}, [] { SearchStoreRecipes("Categoria", "Arroz"); });
        SearchStoreRecipes("Categoria", "Sopas");
        // Opening the middle result, against one read of that recipe's own records.
        const int64_t ordinal = resultCount / 2 + 1;
        const int64_t key = SearchResults[static_cast<size_t>(ordinal - 1)];
        StoreFile file;
        OpenStoreFile(DataFilePath(), FileAccess::Read, file);
        const StoreIndex *index = UpdateStoreIndex(file, "Categoria");
        const int64_t recipeStart = index->scan.fields[kIndexDish].reported.at(key).span.firstOffset;
        const int64_t recipeEnd = index->scan.fields[kIndexSearched].reported.at(key).span.lastOffset + kRecordSize;
        CloseStoreFile(file);
        const double ownRecords =
            MedianSeconds(prepare, [&] { ReadSequentially(recipeStart, recipeEnd - recipeStart); });
        const double open = MedianSeconds(prepare, [ordinal] { OpenResult(ordinal); });
        const double oneRead = cold ? 0 : Seconds([recipes] { ReadFieldValue("Categoria", recipes / 2); });

        lines << "| " << recipes << " | " << pictureBytes << " | " << size / 1000000 << " MB | "
              << (cold ? "out of cache" : "in cache") << " | " << found << " | " << Ms(sequential) << " | " << Ms(full)
              << " (" << Ratio(full, sequential) << ") | " << Ms(restart) << ", " << restartBytes
              << " bytes of the data file | " << Ms(repeated) << " | " << Ms(open) << " (own records " << Ms(ownRecords)
              << ", " << Ratio(open, ownRecords) << ") | " << std::filesystem::file_size(StoreIndexPath()) / 1000
              << " KB | "
              << (cold ? std::string("-") : std::to_string(oneRead * static_cast<double>(recipes + found)) + " s")
              << " |\n";
    }
    std::filesystem::remove(StoreIndexPath());
    std::remove(DataFilePath().string().c_str());
    return lines.str();
}

} // namespace

int main(int argc, char **argv) {
    TempFolder folder("searchbench");
    SetStoreLocation(folder.Path(), "guisla");
    std::vector<std::pair<int, size_t>> stores = {{2000, 20000}, {50000, 0}};
    if (argc >= 3) {
        stores = {{std::atoi(argv[1]), static_cast<size_t>(std::atoll(argv[2]))}};
    }
    std::ostringstream out;
    out << "| recipes | picture bytes | data file | files | results | sequential read | first full pass | "
           "first search after a restart | repeated search | open a result | kept index | plain procedure |\n"
        << "|---|---|---|---|---|---|---|---|---|---|---|---|\n";
    for (const auto &[recipes, pictureBytes] : stores) {
        out << Measure(recipes, pictureBytes);
    }
    std::printf("%s", out.str().c_str());
    std::ofstream(GUISLA_BENCH_RESULTS, std::ios::app) << out.str();
    return 0;
}
