// Locating and streaming a saved recipe's picture.
#include "search/stored_picture.h"

#include "search/cache_name.h"
#include "store/schema_table.h"

#include <vector>

namespace {

const std::string &FieldName(int position) {
    return SchemaTable()[static_cast<size_t>(position) - 1].fieldName;
}

} // namespace

StoredPicture LocateStoredPicture(int64_t key) {
    StoredPicture picture;
    picture.key = key;
    // Spans only: neither the picture nor a (possibly hostile, huge) extension is collected.
    const std::vector<WantedField> wanted = {{FieldName(kFieldPicture), false}, {FieldName(kFieldExtension), false}};
    bool hasExtension = false;
    ValueSpan extensionSpan;
    ScanFieldValues(wanted, [&](FoundValue &found) {
        if (found.key != key) {
            return true;
        }
        if (found.field == 0) {
            picture.hasPicture = true;
            picture.pictureSpan = found.span;
        } else {
            hasExtension = true;
            extensionSpan = found.span;
        }
        // Each field reports a key once (its first complete value), so both found ends the search.
        return !(picture.hasPicture && hasExtension);
    });
    if (hasExtension) {
        SafeExtensionBuilder builder;
        const FileStatus status = ReadValueSpan(FieldName(kFieldExtension), key, extensionSpan,
                                                [&builder](const uint8_t *bytes, size_t count) {
                                                    builder.Add(reinterpret_cast<const char *>(bytes), count);
                                                    return !builder.Full();
                                                });
        if (status == FileStatus::Ok) {
            picture.extension = builder.Extension();
        }
    }
    return picture;
}

FileStatus StreamStoredPicture(const StoredPicture &picture,
                               const std::function<bool(const uint8_t *bytes, size_t count)> &sink) {
    if (!picture.hasPicture) {
        return FileStatus::Ok;
    }
    return ReadValueSpan(FieldName(kFieldPicture), picture.key, picture.pictureSpan, sink);
}
