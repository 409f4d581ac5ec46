// Image dimensions from crafted headers of every recognised format, cut-short and hostile
// headers, and the pixel bound.
#include "search/image_header.h"

#include "../fuzz/image_header_check.h"
#include "handmade_jpeg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

ImageHeader HeaderOf(const Bytes &file) {
    return ReadImageHeader([&file](uint64_t offset, uint8_t *buffer, size_t count) -> size_t {
        if (offset >= file.size()) {
            return 0;
        }
        const size_t n = std::min<uint64_t>(count, file.size() - offset);
        std::copy_n(file.data() + offset, n, buffer);
        return n;
    });
}

// `bytes` may exceed 8 (zero padding).
void PutLe(Bytes &b, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        b.push_back(i < 8 ? static_cast<uint8_t>(value >> (8 * i)) : 0);
    }
}

void PutBe(Bytes &b, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        b.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

void PutText(Bytes &b, const std::string &text) {
    b.insert(b.end(), text.begin(), text.end());
}

Bytes Png(uint32_t width, uint32_t height) {
    Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    PutBe(b, 13, 4);
    PutText(b, "IHDR");
    PutBe(b, width, 4);
    PutBe(b, height, 4);
    b.insert(b.end(), {8, 6, 0, 0, 0, 0, 0, 0, 0}); // depth, colour type, methods, CRC
    return b;
}

Bytes BmpInfo(int32_t width, int32_t height) {
    Bytes b = {'B', 'M'};
    PutLe(b, 0, 12);
    PutLe(b, 40, 4);
    PutLe(b, static_cast<uint32_t>(width), 4);
    PutLe(b, static_cast<uint32_t>(height), 4);
    PutLe(b, 1, 2);
    PutLe(b, 8, 2);
    PutLe(b, 1, 4); // BI_RLE8
    PutLe(b, 0, 20);
    return b;
}

// A JPEG with an APP0 segment, fill bytes and a DQT segment before the frame header.
Bytes Jpeg(uint16_t width, uint16_t height, uint8_t frameMarker = 0xC0) {
    Bytes b = {0xFF, 0xD8, 0xFF, 0xE0};
    PutBe(b, 16, 2);
    PutText(b, "JFIF");
    b.insert(b.end(), 10, 0);
    b.insert(b.end(), {0xFF, 0xFF, 0xFF, 0xDB});
    PutBe(b, 67, 2);
    b.insert(b.end(), 65, 1);
    b.insert(b.end(), {0xFF, frameMarker});
    PutBe(b, 17, 2);
    b.push_back(8);
    PutBe(b, height, 2);
    PutBe(b, width, 2);
    b.insert(b.end(), 10, 0);
    b.insert(b.end(), {0xFF, 0xD9});
    return b;
}

// A GIF with a global colour table, a graphic control extension and a comment before its image.
Bytes Gif(uint16_t screenWidth, uint16_t screenHeight, uint16_t left, uint16_t top, uint16_t width, uint16_t height) {
    Bytes b;
    PutText(b, "GIF89a");
    PutLe(b, screenWidth, 2);
    PutLe(b, screenHeight, 2);
    b.insert(b.end(), {0x81, 0, 0}); // a table of 4 colours
    b.insert(b.end(), 12, 0);
    b.insert(b.end(), {0x21, 0xF9, 4, 0, 0, 0, 0, 0});
    b.insert(b.end(), {0x21, 0xFE, 3, 'a', 'b', 'c', 2, 'd', 'e', 0});
    b.push_back(0x2C);
    PutLe(b, left, 2);
    PutLe(b, top, 2);
    PutLe(b, width, 2);
    PutLe(b, height, 2);
    b.insert(b.end(), {0, 2, 0, 0x3B});
    return b;
}

// A TIFF whose first directory has a few tags around the two sizes, little- or big-endian.
Bytes Tiff(bool bigEndian, uint32_t width, uint16_t widthType, uint32_t height) {
    auto put = [bigEndian](Bytes &b, uint64_t value, int bytes) {
        bigEndian ? PutBe(b, value, bytes) : PutLe(b, value, bytes);
    };
    Bytes b;
    PutText(b, bigEndian ? "MM" : "II");
    put(b, 42, 2);
    put(b, 16, 4); // the directory lies after some padding
    b.insert(b.end(), 8, 0);
    put(b, 4, 2);
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t value) {
        put(b, tag, 2);
        put(b, type, 2);
        put(b, 1, 4);
        if (type == 3) {
            put(b, value, 2);
            put(b, 0, 2);
        } else {
            put(b, value, 4);
        }
    };
    entry(254, 4, 0);
    entry(256, widthType, width);
    entry(257, 4, height);
    entry(258, 3, 8);
    put(b, 0, 4);
    return b;
}

// An icon with the given entries: directory sides, and either a PNG or a bitmap image.
Bytes Icon(const std::vector<Bytes> &images, const std::vector<std::pair<uint8_t, uint8_t>> &sides) {
    Bytes b = {0, 0, 1, 0};
    PutLe(b, images.size(), 2);
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        b.insert(b.end(), {sides[i].first, sides[i].second, 0, 0, 1, 0, 32, 0});
        PutLe(b, images[i].size(), 4);
        PutLe(b, offset, 4);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const Bytes &image : images) {
        b.insert(b.end(), image.begin(), image.end());
    }
    return b;
}

Bytes IconBitmap(int32_t width, int32_t doubledHeight) {
    Bytes b;
    PutLe(b, 40, 4);
    PutLe(b, static_cast<uint32_t>(width), 4);
    PutLe(b, static_cast<uint32_t>(doubledHeight), 4);
    PutLe(b, 0, 28);
    return b;
}

void ExpectSize(const Bytes &file, ImageFormat format, uint64_t width, uint64_t height) {
    const ImageHeader header = HeaderOf(file);
    EXPECT_EQ(header.format, format);
    EXPECT_TRUE(header.sizeKnown);
    EXPECT_EQ(header.width, width);
    EXPECT_EQ(header.height, height);
}

TEST(ImageHeader, SizesOfEveryFormat) {
    ExpectSize(Png(800, 600), ImageFormat::Png, 800, 600);
    ExpectSize(BmpInfo(800, 600), ImageFormat::Bmp, 800, 600);
    ExpectSize(BmpInfo(800, -600), ImageFormat::Bmp, 800, 600); // top-down rows
    ExpectSize(Jpeg(800, 600), ImageFormat::Jpeg, 800, 600);
    ExpectSize(Jpeg(800, 600, 0xC2), ImageFormat::Jpeg, 800, 600); // progressive
    ExpectSize(Gif(800, 600, 0, 0, 800, 600), ImageFormat::Gif, 800, 600);
    ExpectSize(Gif(10, 10, 5, 6, 100, 200), ImageFormat::Gif, 105, 206); // frame outside the screen
    ExpectSize(Tiff(false, 800, 3, 600), ImageFormat::Tiff, 800, 600);
    ExpectSize(Tiff(true, 800, 4, 600), ImageFormat::Tiff, 800, 600);
    ExpectSize(Icon({IconBitmap(32, 64), Png(48, 48)}, {{32, 32}, {48, 48}}), ImageFormat::Icon, 48, 48);
    ExpectSize(Icon({IconBitmap(256, 512)}, {{0, 0}}), ImageFormat::Icon, 256, 256);

    Bytes core = {'B', 'M'};
    PutLe(core, 0, 12);
    PutLe(core, 12, 4);
    PutLe(core, 640, 2);
    PutLe(core, 480, 2);
    PutLe(core, 1, 2);
    PutLe(core, 24, 2);
    ExpectSize(core, ImageFormat::Bmp, 640, 480);

    Bytes notAnImage;
    PutText(notAnImage, "This is a recipe, not a picture.");
    EXPECT_EQ(HeaderOf(notAnImage).format, ImageFormat::Unknown);
    EXPECT_EQ(HeaderOf({}).format, ImageFormat::Unknown);
    EXPECT_TRUE(ImageHeaderAcceptable(HeaderOf(notAnImage))); // the image library decides
}

TEST(ImageHeader, CutShortOrMalformedHeadersHaveNoSize) {
    const Bytes whole[] = {
        Png(8, 8), BmpInfo(8, 8), Jpeg(8, 8), Gif(8, 8, 0, 0, 8, 8), Tiff(false, 8, 3, 8), Icon({Png(8, 8)}, {{8, 8}})};
    for (const Bytes &file : whole) {
        const ImageFormat format = HeaderOf(file).format;
        ASSERT_NE(format, ImageFormat::Unknown);
        // Every cut: too short for the signature, it is not recognised (the image library
        // decides); recognised, it must not be let through without its size.
        for (size_t length = 0; length < file.size(); ++length) {
            const ImageHeader header = HeaderOf(Bytes(file.begin(), file.begin() + static_cast<ptrdiff_t>(length)));
            if (header.format == ImageFormat::Unknown) {
                EXPECT_LT(length, 8u);
            } else if (header.sizeKnown) {
                // Only cuts after the size was read may know it, and then they agree.
                EXPECT_EQ(header.width, 8u) << static_cast<int>(format) << " cut at " << length;
                EXPECT_EQ(header.height, 8u);
            } else {
                EXPECT_FALSE(ImageHeaderAcceptable(header));
            }
        }
    }
    Bytes png = Png(8, 8);
    png[12] = 'X'; // the first chunk is not IHDR
    EXPECT_FALSE(HeaderOf(png).sizeKnown);
    EXPECT_FALSE(HeaderOf(Jpeg(8, 0)).sizeKnown); // the height would come after the scan
    EXPECT_FALSE(HeaderOf(BmpInfo(-8, 8)).sizeKnown);
    Bytes gifWithoutImage;
    PutText(gifWithoutImage, "GIF87a");
    gifWithoutImage.insert(gifWithoutImage.end(), {8, 0, 8, 0, 0, 0, 0, 0x3B});
    EXPECT_FALSE(HeaderOf(gifWithoutImage).sizeKnown);
    Bytes jpegScanFirst = {0xFF, 0xD8, 0xFF, 0xDA, 0, 2};
    EXPECT_FALSE(HeaderOf(jpegScanFirst).sizeKnown);
    Bytes tiffBadDirectory = Tiff(false, 8, 3, 8);
    tiffBadDirectory[4] = 0xF0; // the directory lies past the end
    EXPECT_FALSE(HeaderOf(tiffBadDirectory).sizeKnown);
    Bytes iconPointingAway = Icon({Png(8, 8)}, {{8, 8}});
    iconPointingAway[6 + 12 + 3] = 0x7F;
    EXPECT_FALSE(HeaderOf(iconPointingAway).sizeKnown);
}

TEST(ImageHeader, EnormousDeclaredSizesAreRefused) {
    EXPECT_FALSE(ImageHeaderAcceptable(HeaderOf(Png(60000, 60000))));
    EXPECT_FALSE(ImageHeaderAcceptable(HeaderOf(Png(0xFFFFFFFF, 0xFFFFFFFF))));
    EXPECT_FALSE(ImageHeaderAcceptable(HeaderOf(Png(200000000, 1))));
    EXPECT_FALSE(ImageHeaderAcceptable(HeaderOf(BmpInfo(30000, -30000))));
    EXPECT_FALSE(ImageHeaderAcceptable(HeaderOf(BmpInfo(1, static_cast<int32_t>(0x80000000u)))));
    EXPECT_FALSE(ImageHeaderAcceptable(HeaderOf(Jpeg(65535, 65535))));
    EXPECT_FALSE(ImageHeaderAcceptable(HeaderOf(Gif(65535, 65535, 0, 0, 1, 1)))); // the screen
    EXPECT_FALSE(ImageHeaderAcceptable(HeaderOf(Gif(1, 1, 0, 0, 65535, 65535)))); // the frame
    EXPECT_FALSE(ImageHeaderAcceptable(HeaderOf(Tiff(false, 0xFFFFFFFF, 4, 0xFFFFFFFF))));
    EXPECT_FALSE(ImageHeaderAcceptable(HeaderOf(Icon({Png(8, 8), Png(30000, 30000)}, {{8, 8}, {0, 0}}))));
    // The bound itself is accepted; one pixel more is not.
    EXPECT_TRUE(ImageHeaderAcceptable(HeaderOf(Png(20000, 20000))));
    EXPECT_FALSE(ImageHeaderAcceptable(HeaderOf(Png(20000, 20001))));
    EXPECT_TRUE(ImageHeaderAcceptable(HeaderOf(Png(131072, 3000))));
    EXPECT_FALSE(ImageHeaderAcceptable(HeaderOf(Png(131073, 1))));
    EXPECT_TRUE(ImageHeaderAcceptable(HeaderOf(Jpeg(4000, 3000))));
}

TEST(ImageHeader, OrientationOnlyFromAWellFormedExifTag) {
    const Bytes plain = Jpeg(400, 300);
    EXPECT_EQ(HeaderOf(plain).orientation, 1);
    EXPECT_EQ(HeaderOf(WithExifOrientation(plain, 8, true)).orientation, 8);
    EXPECT_EQ(HeaderOf(WithExifOrientation(plain, 9)).orientation, 1); // out of range
    EXPECT_EQ(HeaderOf(WithExifOrientation(plain, 0)).orientation, 1);
    // Only the first EXIF block counts.
    EXPECT_EQ(HeaderOf(WithExifOrientation(WithExifOrientation(plain, 3), 6)).orientation, 6);
    // Offsets: the EXIF block at 6, its TIFF header at 12, the directory at 20, the orientation
    // entry (the second) at 34.
    Bytes wrongType = WithExifOrientation(plain, 6); // the tag as a LONG is not read
    ASSERT_EQ(wrongType[34], 0x12);
    wrongType[36] = 4;
    EXPECT_EQ(HeaderOf(wrongType).orientation, 1);
    Bytes farDirectory = WithExifOrientation(plain, 6); // a directory beyond the block
    farDirectory[16] = 0x7F;
    EXPECT_EQ(HeaderOf(farDirectory).orientation, 1);
    Bytes cut = WithExifOrientation(plain, 6); // more entries claimed than the block holds, no orientation
    cut[20] = 40;
    cut[34] = 0;
    EXPECT_EQ(HeaderOf(cut).orientation, 1);
    EXPECT_EQ(HeaderOf(cut).width, 400u);
    // A PNG states it in an eXIf chunk (a bare TIFF header), which counts before the image data.
    auto chunk = [](Bytes &b, const std::string &type, const Bytes &data) {
        PutBe(b, data.size(), 4);
        PutText(b, type);
        b.insert(b.end(), data.begin(), data.end());
        PutBe(b, 0, 4); // CRC
    };
    const Bytes exif = ExifBlock(6, true);
    const Bytes bareExif(exif.begin() + 6, exif.end());
    Bytes png = Png(400, 300);
    chunk(png, "tEXt", Bytes(3000, 'x'));
    Bytes late = png;
    chunk(png, "eXIf", bareExif);
    chunk(png, "IDAT", Bytes(10));
    EXPECT_EQ(HeaderOf(png).orientation, 6);
    EXPECT_EQ(HeaderOf(png).width, 400u);
    chunk(late, "IDAT", Bytes(10));
    chunk(late, "eXIf", bareExif);
    EXPECT_EQ(HeaderOf(late).orientation, 1);
}

TEST(ImageHeader, LongWalksEndAtTheFileEnd) {
    // A JPEG of fill bytes and a GIF of endless empty extensions: read to the end, no size.
    Bytes fill = {0xFF, 0xD8};
    fill.insert(fill.end(), 300000, 0xFF);
    EXPECT_FALSE(HeaderOf(fill).sizeKnown);
    Bytes gif;
    PutText(gif, "GIF89a");
    gif.insert(gif.end(), {8, 0, 8, 0, 0, 0, 0});
    for (int i = 0; i < 100000; ++i) {
        gif.insert(gif.end(), {0x21, 0xFE, 1, 'x', 0});
    }
    EXPECT_FALSE(HeaderOf(gif).sizeKnown);
    gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 8, 0, 8, 0, 0});
    ExpectSize(gif, ImageFormat::Gif, 8, 8);
}

TEST(ImageHeader, FuzzSeedCorpusFilesReadTheirSizes) {
    // The seeds are small but complete image files of every format (written by a script).
    const std::filesystem::path corpus =
        (std::filesystem::path(GUISLA_TEST_DATA_DIR) / ".." / "fuzz" / "image_corpus").lexically_normal();
    const std::map<std::string, ImageHeader> expected = {
        {"png", {ImageFormat::Png, true, 4, 3}},      {"gif", {ImageFormat::Gif, true, 4, 3}},
        {"bmp", {ImageFormat::Bmp, true, 4, 3}},      {"bmp-rle8", {ImageFormat::Bmp, true, 20000, 20000}},
        {"jpeg", {ImageFormat::Jpeg, true, 4, 3}},    {"tiff-le", {ImageFormat::Tiff, true, 4, 3}},
        {"tiff-be", {ImageFormat::Tiff, true, 4, 3}}, {"icon", {ImageFormat::Icon, true, 256, 256}},
        {"png-exif", {ImageFormat::Png, true, 4, 3}}, {"text", {ImageFormat::Unknown, false, 0, 0}},
    };
    for (const auto &[name, header] : expected) {
        SCOPED_TRACE(name);
        std::ifstream in(corpus / name, std::ios::binary);
        ASSERT_TRUE(in) << (corpus / name).string();
        const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const ImageHeader got = HeaderOf(file);
        EXPECT_EQ(got.format, header.format);
        EXPECT_EQ(got.sizeKnown, header.sizeKnown);
        EXPECT_EQ(got.width, header.width);
        EXPECT_EQ(got.height, header.height);
    }
}

// Every committed input of the fuzz target, the seeds and the corpus grown by scripts/fuzz with
// every fault input it ever kept, through the target's own check (the sanitizers watch too).
TEST(ImageHeader, EveryCommittedFuzzInputPassesTheTargetsCheck) {
    const std::filesystem::path fuzz = (std::filesystem::path(GUISLA_TEST_DATA_DIR) / ".." / "fuzz").lexically_normal();
    int inputs = 0;
    for (const auto &folder : {fuzz / "image_corpus", fuzz / "grown" / "image_header_fuzz"}) {
        if (!std::filesystem::is_directory(folder)) {
            continue;
        }
        for (const auto &entry : std::filesystem::directory_iterator(folder)) {
            std::ifstream in(entry.path(), std::ios::binary);
            const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            EXPECT_EQ(CheckImageHeaderInput(file.data(), file.size()), "") << entry.path().string();
            ++inputs;
        }
    }
    EXPECT_GE(inputs, 9);
}

} // namespace
