// Names of the picture cache files.
#include "search/cache_name.h"

namespace {

bool IsAsciiLetterOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

} // namespace

void SafeExtensionBuilder::Add(const char *bytes, size_t count) {
    for (size_t i = 0; i < count && !Full(); ++i) {
        if (IsAsciiLetterOrDigit(bytes[i])) {
            extension_.push_back(bytes[i]);
        }
    }
}

std::string SafeCacheExtension(const std::string &storedExtension) {
    SafeExtensionBuilder builder;
    builder.Add(storedExtension.data(), storedExtension.size());
    return builder.Extension();
}

std::string PictureCacheFileName(int64_t key, const std::string &storedExtension) {
    return "image_" + std::to_string(key) + "." + SafeCacheExtension(storedExtension);
}
