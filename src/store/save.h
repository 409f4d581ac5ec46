// Saving a recipe into the store: the check before a save and the all-or-nothing saver. No
// windows here: the saver reports progress through callbacks and returns a result; the user
// interface (save_recipe.h) shows the progress window and the messages.
//
// What a save writes is exactly what appending every byte of every value with AppendDataRecord
// would write: the dish name (descriptor 1), the ingredients (2), the elaboration (3), the
// picture file's bytes (4, only with a picture), the category name (5) and the picture path's
// extension (6, only with a picture), each value as a run of records with lastFlag 1 on its last
// byte, under the key LastRecipeKey + 1, starting at the data file's size rounded down to a
// whole record. Unlike a byte-by-byte append, the save holds the data file open exclusively for
// its whole duration, writes in large blocks, forces the data to disk before it reports success,
// and on any failure cuts the file back to exactly what it was before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "store/record_codec.h"
#include "store/store_index.h"

// The text after the last "." of a path; the whole path when it has no "."; empty when it ends
// in ".".
std::string PathExtension(const std::string &path);

// The values of a recipe as they stand when a save starts (later changes to the recipe being
// edited do not reach a save under way). Texts are ANSI code page bytes.
struct RecipeSnapshot {
    std::string dishName;
    std::string ingredients;
    std::string elaboration;
    std::string categoryName;
    std::string picturePath; // empty: no picture
};

enum class SaveOutcome {
    NoDatabase, // the schema file is missing, empty or holds fewer than six descriptors
    Invalid,    // a text is empty or longer than its field's maxLength
    Ready,
};

// Reloads FieldSchema and checks, in this order, the ingredients, the elaboration, the dish
// name and the category name against the maxLength (signed) of descriptors 2, 3, 1 and 5: a
// text fails when it is empty or longer. Shows nothing.
SaveOutcome CheckRecipeValues(const RecipeSnapshot &recipe);

// Where the picture's bytes come from: `size` bytes, read in order by `read`, which fills up to
// `count` bytes, sets `got` (less than `count` only at the end) and returns false on an error.
struct PictureSource {
    int64_t size = 0;
    std::function<bool(uint8_t *buffer, size_t count, size_t &got)> read;
};

enum class SaveResult {
    Saved,             // every record written and flushed to disk
    NoDatabase,        // the schema has fewer than six descriptors; nothing written
    KeysExhausted,     // the last key is the largest 64-bit key; nothing written
    PictureUnreadable, // the picture could not be read whole, or changed size while read
    Busy,              // another program holds the data file; nothing written
    DiskFull,          // no room for the records; the file is back as it was
    WriteFailed,       // any other failure to read, write or flush the data file; back as it was
    RollbackFailed,    // a failure, and cutting the file back failed too: it may hold part of the recipe
};

// The bar position after picture byte `index` (0-based) of `count`: 100 * index / count rounded
// down, exact for every 64-bit count. 0 when count is 0.
int ProgressPosition(int64_t index, int64_t count);

// The saver's calls while it writes the picture (all optional). pictureStarting comes before
// the first picture byte and pictureFinished after the last (also for a 0-byte picture, and also
// when the save fails in between). positionChanged comes when the bar position after the bytes
// written so far differs from the one reported last (the bar starts at 0). keepAlive comes after
// every block of picture bytes, for the caller to repaint and service messages as it sees fit.
struct SaveProgress {
    std::function<void()> pictureStarting;
    std::function<void(int position)> positionChanged;
    std::function<void()> keepAlive;
    std::function<void()> pictureFinished;
};

struct SaveOptions {
    size_t pictureBlockBytes = 32768; // picture bytes read and encoded per block
    size_t writeBlockRecords = 32768; // records per write to the data file
};

// Saves the recipe: reloads FieldSchema, opens the data file exclusively (retrying a while when
// another program holds it), takes key LastRecipeKey + 1, writes every value, flushes. `picture`
// is used only when the recipe has a picture path (nullptr then: PictureUnreadable). On every
// result other than Saved and RollbackFailed the data file is byte for byte what it was before.
// `saved`, when given, receives on Saved where the records went and their values (for
// ExtendStoreIndex); it is left empty otherwise.
SaveResult SaveRecipeValues(const RecipeSnapshot &recipe, const PictureSource *picture,
                            const SaveProgress &progress = {}, const SaveOptions &options = {},
                            SavedRecords *saved = nullptr);
