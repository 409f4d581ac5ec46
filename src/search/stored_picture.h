// The picture of a saved recipe as the store holds it: where its bytes ("Imagen") and its
// extension ("extensión") lie in the data file, and its bytes handed over in pieces, so that a
// picture of any size is copied to the cache file without being held whole in memory.
// Portable: reads through the store only.
#ifndef GUISLA_SEARCH_STORED_PICTURE_H
#define GUISLA_SEARCH_STORED_PICTURE_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "store/field_scan.h"
#include "store/file.h"

struct StoredPicture {
    int64_t key = 0;
    // The safe form (cache_name.h) of the value that ReadFieldValue("extensión", key) returns.
    std::string extension;
    // Whether ReadFieldValue("Imagen", key) is non-empty, and where its bytes lie.
    bool hasPicture = false;
    ValueSpan pictureSpan;
};

// Finds recipe `key`'s picture and extension in one pass over the data file; neither value is
// read whole (the extension's bytes are read only until its safe form is complete). A store
// that cannot be read gives a picture without bytes and an empty extension.
StoredPicture LocateStoredPicture(int64_t key);

// Hands the picture's bytes to `sink` in order, in pieces of at most a read block's worth; the
// sink returns false to stop. Ok when every byte was handed over (nothing for a recipe without
// picture) or the sink stopped; otherwise the data file changed or failed since it was located,
// and the bytes handed over so far must be discarded.
FileStatus StreamStoredPicture(const StoredPicture &picture,
                               const std::function<bool(const uint8_t *bytes, size_t count)> &sink);

#endif
