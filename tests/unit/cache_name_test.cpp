// Cache file names from stored extensions, hostile ones included.
#include "search/cache_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CacheName, OrdinaryNames) {
    EXPECT_EQ(PictureCacheFileName(12, "jpg"), "image_12.jpg");
    EXPECT_EQ(PictureCacheFileName(1, "PNG"), "image_1.PNG");
    EXPECT_EQ(PictureCacheFileName(9223372036854775807LL, "tif"), "image_9223372036854775807.tif");
    // A recipe without picture has no extension: the name ends in ".".
    EXPECT_EQ(PictureCacheFileName(7, ""), "image_7.");
}

TEST(CacheName, HostileExtensionsKeepOnlyLettersAndDigits) {
    const struct {
        std::string stored;
        std::string safe;
    } cases[] = {
        {"..\\..\\Windows\\win.ini", "Windowswinini"},
        {"../../etc/passwd", "etcpasswd"},
        {"jpg:stream", "jpgstream"},
        {"jpg::$DATA", "jpgDATA"},
        {"C:\\x", "Cx"},
        {"\\\\server\\share\\x", "serversharex"},
        {"..", ""},
        {".", ""},
        {"jpg ", "jpg"},
        {"jpg.", "jpg"},
        {std::string("jp\0g", 4), "jpg"},
        {"\r\n\t\x01\x1F\x7F", ""},
        {"\xE9t\xE9", "t"}, // letters outside ASCII are dropped
        {"CON", "CON"},     // harmless after "image_7.": the file name does not start with it
        {"0123456789abcdefXYZ", "0123456789abcdef"},
        {std::string(100000, '/') + "png", "png"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.stored);
        EXPECT_EQ(SafeCacheExtension(c.stored), c.safe);
        const std::string name = PictureCacheFileName(3, c.stored);
        EXPECT_EQ(name, "image_3." + c.safe);
        EXPECT_LE(name.size(), std::string("image_3.").size() + kMaxCacheExtensionLength);
        EXPECT_EQ(name.find_first_of("\\/:*?\"<>|"), std::string::npos);
    }
}

TEST(CacheName, BuilderTakesPiecesAndStopsWhenFull) {
    SafeExtensionBuilder builder;
    builder.Add("../j", 4);
    builder.Add("p", 1);
    builder.Add("", 0);
    builder.Add(":g", 2);
    EXPECT_EQ(builder.Extension(), "jpg");
    EXPECT_FALSE(builder.Full());
    const std::string many(40, 'a');
    builder.Add(many.data(), many.size());
    EXPECT_TRUE(builder.Full());
    EXPECT_EQ(builder.Extension(), "jpg" + std::string(13, 'a'));
}

} // namespace
