// Names of the short-lived picture files in the picture cache folder. The extension part comes
// from bytes stored in the recipe store, so it is reduced to characters that cannot change where
// the file lands: no separators, colons, dots, device names or streams.
#ifndef GUISLA_SEARCH_CACHE_NAME_H
#define GUISLA_SEARCH_CACHE_NAME_H

#include <cstdint>
#include <string>

// The longest extension part a cache file name gets.
inline constexpr size_t kMaxCacheExtensionLength = 16;

// Accumulates the safe form of a stored extension from its bytes, piece by piece: keeps the
// ASCII letters and digits in order, at most kMaxCacheExtensionLength of them, and drops
// everything else. Full() tells when more bytes cannot change the result.
class SafeExtensionBuilder {
public:
    void Add(const char *bytes, size_t count);
    bool Full() const { return extension_.size() >= kMaxCacheExtensionLength; }
    const std::string &Extension() const { return extension_; }

private:
    std::string extension_;
};

// The safe form of a whole stored extension (see SafeExtensionBuilder): "jpg" stays "jpg",
// "../../x" becomes "x", "" stays "".
std::string SafeCacheExtension(const std::string &storedExtension);

// The cache file name of recipe `key`: "image_", the key in decimal, ".", and the safe form of
// the stored extension. A recipe without picture (empty extension) gives a name ending in ".".
std::string PictureCacheFileName(int64_t key, const std::string &storedExtension);

#endif
