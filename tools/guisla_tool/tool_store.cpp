// Opening a store folder read-only, reading its recipes in one pass, and its record shape.
#include "guisla_tool/tool_store.h"

#include <algorithm>
#include <map>
#include <memory>
#include <system_error>

#include "guisla_tool/readonly_file.h"
#include "guisla_tool/text_out.h"
#include "store/schema_table.h"
#include "store/store.h"

namespace {

constexpr const char *kSchemaName = "guisla.z04";
constexpr const char *kDataName = "guisla.zbd";

const std::string &SchemaFieldName(int position) {
    return SchemaTable()[static_cast<size_t>(position) - 1].fieldName;
}

} // namespace

StoreOpenResult OpenToolStore(const std::filesystem::path &folder, ToolStore &store) {
    store = ToolStore();
    store.folder = folder;
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        return StoreOpenResult::FolderMissing;
    }
    StoreFile schemaFile;
    FileStatus status = OpenExistingForReading(folder / kSchemaName, schemaFile);
    if (status == FileStatus::Missing) {
        return StoreOpenResult::SchemaMissing;
    }
    if (status != FileStatus::Ok || StoreFileSize(schemaFile, store.schemaFileSize) != FileStatus::Ok) {
        return StoreOpenResult::SchemaUnreadable;
    }
    const int64_t count = std::min<int64_t>(store.schemaFileSize / kDescriptorSize, kMaxSchemaDescriptors);
    if (count == 0) {
        return StoreOpenResult::SchemaEmpty;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(count * kDescriptorSize));
    size_t got = 0;
    if (StoreFileRead(schemaFile, 0, bytes.data(), bytes.size(), got) != FileStatus::Ok || got != bytes.size()) {
        return StoreOpenResult::SchemaUnreadable;
    }
    for (int64_t k = 0; k < count; ++k) {
        store.schema.push_back(DecodeFieldDescriptor(bytes.data() + k * kDescriptorSize));
    }
    status = OpenExistingForReading(folder / kDataName, store.data);
    if (status == FileStatus::Missing) {
        store.dataMissing = true;
        return StoreOpenResult::Ok;
    }
    if (status != FileStatus::Ok || StoreFileSize(store.data, store.dataSize) != FileStatus::Ok) {
        return StoreOpenResult::DataUnreadable;
    }
    return StoreOpenResult::Ok;
}

std::string OpenFailureMessage(StoreOpenResult result, const std::filesystem::path &folder) {
    const std::string where = PathToUtf8(folder);
    switch (result) {
    case StoreOpenResult::Ok:
        return {};
    case StoreOpenResult::FolderMissing:
        return "No existe la carpeta del almac\xC3\xA9n: " + where;
    case StoreOpenResult::SchemaMissing:
        return "Falta el fichero de esquema " + PathToUtf8(folder / kSchemaName);
    case StoreOpenResult::SchemaEmpty:
        return "El fichero de esquema " + PathToUtf8(folder / kSchemaName) + " est\xC3\xA1 vac\xC3\xADo";
    case StoreOpenResult::SchemaUnreadable:
        return "No se puede leer el fichero de esquema " + PathToUtf8(folder / kSchemaName) +
               " (\xC2\xBFlo tiene abierto el programa?)";
    case StoreOpenResult::DataUnreadable:
        return "No se puede leer el fichero de datos " + PathToUtf8(folder / kDataName) +
               " (\xC2\xBFlo tiene abierto el programa?)";
    }
    return {};
}

FileStatus ReadRecipes(const ToolStore &store, const PictureSink &pictures, const ScanProgress &progress,
                       std::vector<ToolRecipe> &recipes, bool *stopped) {
    recipes.clear();
    if (stopped != nullptr) {
        *stopped = false;
    }
    if (store.dataMissing) {
        return FileStatus::Ok;
    }
    std::vector<WantedField> wanted;
    for (int position = 1; position <= kSchemaFieldCount; ++position) {
        wanted.push_back({SchemaFieldName(position), position != kFieldPicture || static_cast<bool>(pictures)});
    }
    std::map<int64_t, ToolRecipe> byKey;
    bool sinkStopped = false;
    const FoundValueSink sink = [&](FoundValue &found) {
        ToolRecipe &recipe = byKey[found.key];
        recipe.key = found.key;
        switch (static_cast<int>(found.field) + 1) {
        case kFieldDishName:
            recipe.dishName = std::move(found.bytes);
            break;
        case kFieldIngredients:
            recipe.ingredients = std::move(found.bytes);
            break;
        case kFieldElaboration:
            recipe.elaboration = std::move(found.bytes);
            break;
        case kFieldPicture:
            recipe.pictureLength = found.span.length;
            if (pictures && !pictures(found.key, found.bytes)) {
                sinkStopped = true;
                return false;
            }
            break;
        case kFieldCategory:
            recipe.category = std::move(found.bytes);
            break;
        case kFieldExtension:
            recipe.extension = std::move(found.bytes);
            break;
        }
        return true;
    };
    bool progressStopped = false;
    const ScanProgress watch = [&](int64_t scanned, int64_t total) {
        if (progress && !progress(scanned, total)) {
            progressStopped = true;
            return false;
        }
        return true;
    };
    const FileStatus status = ScanFieldValuesOf(store.data, wanted, sink, watch);
    recipes.reserve(byKey.size());
    for (auto &entry : byKey) {
        recipes.push_back(std::move(entry.second));
    }
    if (stopped != nullptr) {
        *stopped = sinkStopped || progressStopped;
    }
    return status;
}

FileStatus ScanRecordShape(const ToolStore &store, RecordShape &shape) {
    shape = RecordShape();
    if (store.dataMissing) {
        return FileStatus::Ok;
    }
    int64_t size = 0;
    FileStatus status = StoreFileSize(store.data, size);
    if (status != FileStatus::Ok) {
        return status;
    }
    shape.records = size / kRecordSize;
    shape.tailBytes = size % kRecordSize;
    const int64_t end = shape.records * kRecordSize;

    // The current run: its name and, per key, the value begun in it and not finished yet.
    bool inRun = false;
    std::string runName;
    std::map<int64_t, InterruptedValue> open;
    const auto closeRun = [&]() {
        for (auto &entry : open) {
            ++shape.interruptedCount;
            if (shape.interrupted.size() < kShapeDetailLimit) {
                shape.interrupted.push_back(entry.second);
            }
        }
        open.clear();
    };

    bool haveKey = false;
    int64_t previousKey = 0;
    std::unique_ptr<uint8_t[]> block = NewReadBlock(end);
    for (int64_t offset = 0; offset < end;) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(end - offset, kReadBlockBytes));
        size_t got = 0;
        status = StoreFileRead(store.data, offset, block.get(), want, got);
        if (status != FileStatus::Ok) {
            return status;
        }
        if (got != want) {
            return FileStatus::Failed;
        }
        for (size_t r = 0; r < want / kRecordSize; ++r) {
            const uint8_t *record = block.get() + r * kRecordSize;
            const int64_t number = (offset + static_cast<int64_t>(r * kRecordSize)) / kRecordSize + 1;
            const int64_t key = GetI64LE(record + kRecordKey);
            if (haveKey && key < previousKey) {
                ++shape.stepBackCount;
                if (shape.stepBacks.size() < kShapeDetailLimit) {
                    shape.stepBacks.push_back({number, previousKey, key});
                }
            }
            haveKey = true;
            previousKey = key;

            // Names compare as the readers compare them: by the name rule.
            const std::string name = GetNameField(record + kRecordFieldName);
            if (!inRun || name != runName) {
                closeRun();
                inRun = true;
                runName = name;
            }
            auto it = open.find(key);
            if (it == open.end()) {
                it = open.emplace(key, InterruptedValue{name, key, number, 0}).first;
            }
            ++it->second.records;
            if (GetI32LE(record + kRecordLastFlag) == 1) {
                open.erase(it);
            }
        }
        offset += static_cast<int64_t>(want);
    }
    closeRun();
    return FileStatus::Ok;
}
