// Saving a recipe with a 5 MB picture: SaveRecipeValues, against writing the same bytes in one
// sequential write (flushed to disk like the save), and against appending them one record at a
// time through AppendDataRecord (each byte its own open, write and close), timed on a 100 KB
// picture and extrapolated to 5 MB. Each run starts from an empty data file in a temporary
// folder. The figures go to the console and to bench/results-save.md (or the file named by
// GUISLA_BENCH_RESULTS_FILE).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "store/file.h"
#include "store/save.h"
#include "store/schema_table.h"
#include "store/store.h"
#include "store_oracle.h"

namespace {

constexpr size_t kBigPicture = 5 * 1024 * 1024;
constexpr size_t kSmallPicture = 100 * 1024;

TempFolder *benchFolder = nullptr;
std::vector<uint8_t> picture;

RecipeSnapshot Recipe() {
    return {"Paella", "arroz\r\nazafr\xE1n", "Cocer veinte minutos.", "Arroces", "C:\\fotos\\paella.jpg"};
}

PictureSource MemoryPicture(size_t bytes) {
    auto at = std::make_shared<size_t>(0);
    PictureSource source;
    source.size = static_cast<int64_t>(bytes);
    source.read = [at, bytes](uint8_t *buffer, size_t count, size_t &got) {
        got = std::min(count, bytes - *at);
        std::copy_n(picture.begin() + static_cast<std::ptrdiff_t>(*at), got, buffer);
        *at += got;
        return true;
    };
    return source;
}

void EmptyDataFile() {
    std::filesystem::remove(DataFilePath());
}

void BM_SaveRecipe5MB(benchmark::State &state) {
    for (auto _ : state) {
        state.PauseTiming();
        EmptyDataFile();
        const PictureSource source = MemoryPicture(kBigPicture);
        state.ResumeTiming();
        if (SaveRecipeValues(Recipe(), &source) != SaveResult::Saved) {
            state.SkipWithError("the save failed");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kBigPicture * kRecordSize));
}

// The encoded records of the same recipe, written at once and flushed.
void BM_SequentialWrite5MB(benchmark::State &state) {
    const PictureSource source = MemoryPicture(kBigPicture);
    EmptyDataFile();
    SaveRecipeValues(Recipe(), &source);
    const std::vector<uint8_t> bytes = ReadWholeFile(DataFilePath());
    for (auto _ : state) {
        state.PauseTiming();
        EmptyDataFile();
        state.ResumeTiming();
        StoreFile file;
        OpenStoreFile(DataFilePath(), FileAccess::Write, file);
        StoreFileWrite(file, 0, bytes.data(), bytes.size());
        StoreFileFlush(file);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

void BM_PerRecordAppends100KB(benchmark::State &state) {
    for (auto _ : state) {
        state.PauseTiming();
        EmptyDataFile();
        LoadFieldSchema();
        const FieldDescriptor descriptor = *SchemaDescriptor(kFieldPicture);
        state.ResumeTiming();
        for (size_t i = 0; i < kSmallPicture; ++i) {
            AppendDataRecord(picture[i], descriptor, 1, i + 1 == kSmallPicture);
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kSmallPicture * kRecordSize));
}

BENCHMARK(BM_SaveRecipe5MB)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SequentialWrite5MB)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PerRecordAppends100KB)->Unit(benchmark::kMillisecond)->Iterations(2);

class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs) {
            realMs[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> realMs;
};

void WriteResults(const std::map<std::string, double> &ms) {
    auto at = [&ms](const char *prefix) {
        for (const auto &[name, value] : ms) {
            if (name.rfind(prefix, 0) == 0) {
                return value;
            }
        }
        return 0.0;
    };
    const double save = at("BM_SaveRecipe5MB");
    const double sequential = at("BM_SequentialWrite5MB");
    const double perRecord = at("BM_PerRecordAppends100KB") * static_cast<double>(kBigPicture) / kSmallPicture;
    if (save <= 0 || sequential <= 0 || perRecord <= 0) {
        return; // a filtered run: keep the last full figures
    }
    const char *override = std::getenv("GUISLA_BENCH_RESULTS_FILE");
    std::ofstream out(override != nullptr ? override : GUISLA_BENCH_RESULTS);
    std::ostringstream text;
    text.setf(std::ios::fixed);
    text.precision(1);
    text << "# Saving benchmark\n\n"
         << "Written by `save_bench` (bench/save_bench.cpp). A recipe with a picture of " << kBigPicture << " bytes ("
         << kBigPicture * kRecordSize << " bytes of records) saved into an empty data file in a "
         << "temporary folder; wall-clock times, flush to disk included where the row says so.\n\n"
         << "| writer | ms | vs sequential write |\n|---|---:|---:|\n"
         << "| one sequential write of the same bytes, then a flush | " << sequential << " | 1.0 |\n"
         << "| `SaveRecipeValues` (blocks of 32768 records, flush) | " << save << " | " << save / sequential << " |\n"
         << "| one `AppendDataRecord` per byte (open, write, close), " << kSmallPicture
         << "-byte picture extrapolated | " << perRecord << " | " << perRecord / sequential << " |\n\n";
    text.precision(2);
    text << "`SaveRecipeValues` is " << save / sequential << " x the sequential write and " << perRecord / save
         << " x faster than appending record by record.\n";
    out << text.str();
    std::printf("\n%s", text.str().c_str());
}

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    benchFolder = new TempFolder("save-bench");
    SetStoreLocation(benchFolder->Path(), "guisla");
    WriteWholeFile(SchemaFilePath(), SchemaFileBytes());
    picture.resize(kBigPicture);
    for (size_t i = 0; i < picture.size(); ++i) {
        picture[i] = static_cast<uint8_t>((i * 2654435761u) >> 24);
    }
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    WriteResults(reporter.realMs);
    benchmark::Shutdown();
    delete benchFolder;
    return 0;
}
