// The check before a save and the all-or-nothing saver.
#include "store/save.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <vector>

#include "store/file.h"
#include "store/schema_table.h"
#include "store/store.h"

namespace {

// A text passes when it is not empty and not longer than its field allows.
bool FitsField(const std::string &text, int position) {
    const FieldDescriptor *descriptor = SchemaDescriptor(position);
    return descriptor != nullptr && !text.empty() && static_cast<int64_t>(text.size()) <= descriptor->maxLength;
}

SaveResult ResultOf(FileStatus status) {
    switch (status) {
    case FileStatus::Busy:
        return SaveResult::Busy;
    case FileStatus::DiskFull:
        return SaveResult::DiskFull;
    default:
        return SaveResult::WriteFailed;
    }
}

// Records encoded into a buffer and written to the data file in large blocks, one after the
// other from `offset`. The first failure sticks; later appends then do nothing.
class RecordWriter {
public:
    RecordWriter(const StoreFile &file, int64_t offset, size_t blockRecords)
        : file_(file), offset_(offset), capacity_(std::max<size_t>(blockRecords, 1) * kRecordSize),
          buffer_(std::make_unique_for_overwrite<uint8_t[]>(capacity_)) {}

    // Appends the records of `count` bytes of a value written under `templateRecord` (an
    // encoded record of the value's field and key, lastFlag 0); when `endsValue`, the last of
    // them carries lastFlag 1.
    void Append(const uint8_t *templateRecord, const uint8_t *bytes, size_t count, bool endsValue) {
        for (size_t i = 0; i < count && status_ == FileStatus::Ok; ++i) {
            if (used_ == capacity_) {
                Flush();
                if (status_ != FileStatus::Ok) {
                    return;
                }
            }
            uint8_t *record = buffer_.get() + used_;
            std::copy_n(templateRecord, kRecordSize, record);
            record[kRecordValueByte] = bytes[i];
            if (endsValue && i + 1 == count) {
                PutI32LE(record + kRecordLastFlag, 1);
            }
            used_ += kRecordSize;
        }
    }

    // Writes what the buffer holds.
    void Flush() {
        if (status_ == FileStatus::Ok && used_ > 0) {
            status_ = StoreFileWrite(file_, offset_, buffer_.get(), used_);
            offset_ += static_cast<int64_t>(used_);
            used_ = 0;
        }
    }

    FileStatus Status() const { return status_; }
    void Fail(FileStatus status) { status_ = status; }

private:
    const StoreFile &file_;
    int64_t offset_;
    size_t capacity_;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t used_ = 0;
    FileStatus status_ = FileStatus::Ok;
};

using RecordTemplate = std::array<uint8_t, kRecordSize>;

RecordTemplate TemplateFor(int position, int64_t key) {
    RecordTemplate record;
    EncodeDataRecord(*SchemaDescriptor(position), 0, key, false, record.data());
    return record;
}

void AppendText(RecordWriter &writer, int position, int64_t key, const std::string &text) {
    const RecordTemplate record = TemplateFor(position, key);
    writer.Append(record.data(), reinterpret_cast<const uint8_t *>(text.data()), text.size(), true);
}

// Streams the picture's bytes into the writer block by block. False when the picture could not
// be read whole (or holds more bytes than it said); the writer's own failures are in its status.
bool AppendPicture(RecordWriter &writer, int64_t key, const PictureSource &picture, const SaveProgress &progress,
                   size_t blockBytes) {
    const RecordTemplate record = TemplateFor(kFieldPicture, key);
    const int64_t total = picture.size;
    blockBytes = std::max<size_t>(blockBytes, 1);
    std::vector<uint8_t> block(blockBytes);
    int reported = 0;
    for (int64_t done = 0; done < total;) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(total - done, static_cast<int64_t>(blockBytes)));
        size_t got = 0;
        if (!picture.read(block.data(), want, got) || got != want) {
            return false;
        }
        done += static_cast<int64_t>(got);
        writer.Append(record.data(), block.data(), got, done == total);
        if (writer.Status() != FileStatus::Ok) {
            return true;
        }
        const int position = ProgressPosition(done - 1, total);
        if (position != reported && progress.positionChanged) {
            progress.positionChanged(position);
        }
        reported = position;
        if (progress.keepAlive) {
            progress.keepAlive();
        }
    }
    // The file must end where it said it would: a file that grew while it was read is not the
    // picture that was chosen.
    uint8_t probe = 0;
    size_t extra = 0;
    return picture.read(&probe, 1, extra) && extra == 0;
}

// Calls pictureFinished when it goes out of scope, whatever way the picture's part ended.
struct PictureWindowScope {
    const SaveProgress &progress;
    explicit PictureWindowScope(const SaveProgress &p) : progress(p) {
        if (progress.pictureStarting) {
            progress.pictureStarting();
        }
    }
    ~PictureWindowScope() {
        if (progress.pictureFinished) {
            progress.pictureFinished();
        }
    }
    PictureWindowScope(const PictureWindowScope &) = delete;
    PictureWindowScope &operator=(const PictureWindowScope &) = delete;
};

// Puts the data file back as it was: cut to the start of the save, then the incomplete tail that
// the save overwrote written back. Returns whether that worked.
bool RollBack(const StoreFile &file, int64_t start, const std::vector<uint8_t> &tail) {
    if (StoreFileSetLength(file, start) != FileStatus::Ok) {
        return false;
    }
    if (!tail.empty() && StoreFileWrite(file, start, tail.data(), tail.size()) != FileStatus::Ok) {
        return false;
    }
    StoreFileFlush(file); // best effort: the contents are already right
    return true;
}

} // namespace

std::string PathExtension(const std::string &path) {
    const size_t dot = path.rfind('.');
    return dot == std::string::npos ? path : path.substr(dot + 1);
}

SaveOutcome CheckRecipeValues(const RecipeSnapshot &recipe) {
    if (LoadFieldSchema() < kSchemaFieldCount) {
        return SaveOutcome::NoDatabase;
    }
    if (!FitsField(recipe.ingredients, kFieldIngredients) || !FitsField(recipe.elaboration, kFieldElaboration) ||
        !FitsField(recipe.dishName, kFieldDishName) || !FitsField(recipe.categoryName, kFieldCategory)) {
        return SaveOutcome::Invalid;
    }
    return SaveOutcome::Ready;
}

int ProgressPosition(int64_t index, int64_t count) {
    if (count <= 0 || index <= 0) {
        return 0;
    }
    // floor(100 * index / count) by doubling along the bits of 100 (Horner), keeping
    // quotient q and remainder r with q * count + r = (bits so far) * index and r < count, so
    // nothing exceeds 2 * count < 2^64.
    const uint64_t m = static_cast<uint64_t>(count);
    const uint64_t a = static_cast<uint64_t>(index) % m;
    uint64_t q = 100 * (static_cast<uint64_t>(index) / m); // index < count in use; kept exact anyway
    uint64_t r = 0;
    uint64_t low = 0;
    for (int bit = 6; bit >= 0; --bit) {
        low *= 2;
        r *= 2;
        if (r >= m) {
            r -= m;
            ++low;
        }
        if ((100 >> bit) & 1) {
            r += a;
            if (r >= m) {
                r -= m;
                ++low;
            }
        }
    }
    q += low;
    return q > static_cast<uint64_t>(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max()
                                                                      : static_cast<int>(q);
}

namespace {

// The values a save writes, in order, as ExtendStoreIndex takes them.
SavedRecords DescribeSave(const RecipeSnapshot &recipe, int64_t start, int64_t key, int64_t pictureSize) {
    SavedRecords saved;
    saved.start = start;
    saved.key = key;
    const auto add = [&saved](int position, const std::string *text, int64_t length) {
        if (length > 0) {
            saved.values.push_back({*SchemaDescriptor(position), length, text != nullptr, text ? *text : ""});
        }
    };
    const bool hasPicture = !recipe.picturePath.empty();
    add(kFieldDishName, &recipe.dishName, static_cast<int64_t>(recipe.dishName.size()));
    add(kFieldIngredients, &recipe.ingredients, static_cast<int64_t>(recipe.ingredients.size()));
    add(kFieldElaboration, &recipe.elaboration, static_cast<int64_t>(recipe.elaboration.size()));
    if (hasPicture) {
        add(kFieldPicture, nullptr, pictureSize);
    }
    add(kFieldCategory, &recipe.categoryName, static_cast<int64_t>(recipe.categoryName.size()));
    if (hasPicture) {
        const std::string extension = PathExtension(recipe.picturePath);
        add(kFieldExtension, &extension, static_cast<int64_t>(extension.size()));
    }
    return saved;
}

} // namespace

SaveResult SaveRecipeValues(const RecipeSnapshot &recipe, const PictureSource *picture, const SaveProgress &progress,
                            const SaveOptions &options, SavedRecords *saved) {
    if (saved != nullptr) {
        *saved = SavedRecords();
    }
    if (LoadFieldSchema() < kSchemaFieldCount) {
        return SaveResult::NoDatabase;
    }
    const bool hasPicture = !recipe.picturePath.empty();
    if (hasPicture && (picture == nullptr || !picture->read || picture->size < 0)) {
        return SaveResult::PictureUnreadable;
    }

    StoreFile file;
    FileStatus status = OpenStoreFile(DataFilePath(), FileAccess::ReadWrite, file);
    if (status != FileStatus::Ok) {
        return ResultOf(status);
    }
    int64_t size = 0;
    int64_t lastKey = 0;
    if (StoreFileSize(file, size) != FileStatus::Ok || LastRecipeKeyOf(file, lastKey) != FileStatus::Ok) {
        return SaveResult::WriteFailed;
    }
    if (lastKey == std::numeric_limits<int64_t>::max()) {
        return SaveResult::KeysExhausted;
    }
    const int64_t key = lastKey + 1;
    // The first record goes where a byte-by-byte append would put it, over an incomplete tail;
    // keep that tail to put it back should the save fail.
    const int64_t start = size / kRecordSize * kRecordSize;
    std::vector<uint8_t> tail(static_cast<size_t>(size - start));
    size_t got = 0;
    if (!tail.empty() &&
        (StoreFileRead(file, start, tail.data(), tail.size(), got) != FileStatus::Ok || got != tail.size())) {
        return SaveResult::WriteFailed;
    }

    RecordWriter writer(file, start, options.writeBlockRecords);
    bool pictureRead = true;
    AppendText(writer, kFieldDishName, key, recipe.dishName);
    AppendText(writer, kFieldIngredients, key, recipe.ingredients);
    AppendText(writer, kFieldElaboration, key, recipe.elaboration);
    if (hasPicture && writer.Status() == FileStatus::Ok) {
        PictureWindowScope window(progress);
        pictureRead = AppendPicture(writer, key, *picture, progress, options.pictureBlockBytes);
    }
    if (pictureRead) {
        AppendText(writer, kFieldCategory, key, recipe.categoryName);
        if (hasPicture) {
            AppendText(writer, kFieldExtension, key, PathExtension(recipe.picturePath));
        }
        writer.Flush();
    }
    status = writer.Status();
    if (pictureRead && status == FileStatus::Ok) {
        status = StoreFileFlush(file);
        if (status == FileStatus::Ok) {
            // Flushed: the recipe is on disk. A failing close cannot take that back.
            CloseStoreFile(file);
            if (saved != nullptr) {
                *saved = DescribeSave(recipe, start, key, hasPicture ? picture->size : 0);
            }
            return SaveResult::Saved;
        }
    }
    if (!RollBack(file, start, tail)) {
        return SaveResult::RollbackFailed;
    }
    return pictureRead ? ResultOf(status) : SaveResult::PictureUnreadable;
}
