// The reduced decoding of the picture display on pictures made at test time with the libraries'
// own encoders (and a handmade 200 MP JPEG): every orientation by the colours of two corners, every
// format and layout reduced to no less than the fitted size, transparency over white, the bomb,
// cut-short and corrupt files.
#include "search/image_header.h"
#include "search/picture_decode.h"

#include "../fuzz/picture_decode_check.h"
#include "handmade_jpeg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <gif_lib.h>
#include <png.h>
#include <tiffio.h>

namespace {

using Bytes = std::vector<uint8_t>;
using Rgba = std::function<uint32_t(uint32_t x, uint32_t y)>; // 0xAARRGGBB

constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kGreen = 0xFF00FF00;
constexpr uint32_t kBlue = 0xFF0000FF;
constexpr uint32_t kYellow = 0xFFFFFF00;

// Quarters of four colours: red top left, green top right, blue bottom left, yellow bottom right.
uint32_t Quarters(uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
    const bool right = x >= width / 2;
    const bool bottom = y >= height / 2;
    return bottom ? (right ? kYellow : kBlue) : (right ? kGreen : kRed);
}

Bytes EncodeJpeg(uint32_t width, uint32_t height, const Rgba &pixel, bool progressive = false) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    if (progressive) {
        jpeg_simple_progression(&cinfo);
    }
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(width * 3);
    while (cinfo.next_scanline < height) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t c = pixel(x, cinfo.next_scanline);
            row[x * 3] = static_cast<uint8_t>(c >> 16);
            row[x * 3 + 1] = static_cast<uint8_t>(c >> 8);
            row[x * 3 + 2] = static_cast<uint8_t>(c);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

void AppendPngBytes(png_structp png, png_bytep data, png_size_t length) {
    auto *out = static_cast<Bytes *>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

// colourType: PNG_COLOR_TYPE_RGB, _RGBA or _PALETTE (two entries: red and blue, by the pixel's
// blue channel).
// With `exif` (a bare TIFF header and directory) in an eXIf chunk when it is not empty.
Bytes EncodePng(uint32_t width, uint32_t height, int colourType, bool interlaced, const Rgba &pixel,
                const Bytes &exif = {}) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, AppendPngBytes, nullptr);
    png_set_IHDR(png, info, width, height, 8, colourType, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color palette[2] = {{255, 0, 0}, {0, 0, 255}};
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(png, info, palette, 2);
    }
    if (!exif.empty()) {
        png_set_eXIf_1(png, info, static_cast<png_uint_32>(exif.size()), const_cast<png_bytep>(exif.data()));
    }
    png_write_info(png, info);
    const size_t channels = colourType == PNG_COLOR_TYPE_RGBA ? 4 : colourType == PNG_COLOR_TYPE_RGB ? 3 : 1;
    std::vector<Bytes> rows(height, Bytes(width * channels));
    std::vector<png_bytep> pointers(height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t c = pixel(x, y);
            uint8_t *p = rows[y].data() + x * channels;
            if (channels == 1) {
                p[0] = (c & 0xFF) != 0 ? 1 : 0;
            } else {
                p[0] = static_cast<uint8_t>(c >> 16);
                p[1] = static_cast<uint8_t>(c >> 8);
                p[2] = static_cast<uint8_t>(c);
                if (channels == 4) {
                    p[3] = static_cast<uint8_t>(c >> 24);
                }
            }
        }
        pointers[y] = rows[y].data();
    }
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

class TempFolder {
public:
    TempFolder() {
        path_ = std::filesystem::temp_directory_path() /
                ("guisla-decode-" + std::to_string(reinterpret_cast<uintptr_t>(this) % 1000003));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string File(const std::string &name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// photometric: PHOTOMETRIC_RGB (3 samples), PHOTOMETRIC_MINISBLACK (grey of the green channel).
Bytes EncodeTiff(const TempFolder &folder, uint32_t width, uint32_t height, uint16_t photometric, uint16_t orientation,
                 const Rgba &pixel) {
    const std::string path = folder.File("picture.tif");
    TIFF *tiff = TIFFOpen(path.c_str(), "w");
    const uint16_t samples = photometric == PHOTOMETRIC_RGB ? 3 : 1;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 16);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, orientation);
    Bytes row(width * samples);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t c = pixel(x, y);
            if (samples == 3) {
                row[x * 3] = static_cast<uint8_t>(c >> 16);
                row[x * 3 + 1] = static_cast<uint8_t>(c >> 8);
                row[x * 3 + 2] = static_cast<uint8_t>(c);
            } else {
                row[x] = static_cast<uint8_t>(c >> 8);
            }
        }
        TIFFWriteScanline(tiff, row.data(), y, 0);
    }
    TIFFClose(tiff);
    Bytes out;
    std::FILE *file = std::fopen(path.c_str(), "rb");
    int c = 0;
    while ((c = std::fgetc(file)) != EOF) {
        out.push_back(static_cast<uint8_t>(c));
    }
    std::fclose(file);
    return out;
}

// An uncompressed BMP of 8 (a palette of the picture's colours), 24 or 32 bits a pixel,
// bottom-up or top-down.
Bytes EncodeBmp(uint32_t width, uint32_t height, int bits, bool topDown, const Rgba &pixel) {
    std::vector<uint32_t> colours;
    if (bits == 8) {
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                if (std::find(colours.begin(), colours.end(), pixel(x, y)) == colours.end()) {
                    colours.push_back(pixel(x, y));
                }
            }
        }
    }
    const uint32_t stride = (width * static_cast<uint32_t>(bits) + 31) / 32 * 4;
    const uint32_t pixelsAt = 54 + 4 * static_cast<uint32_t>(colours.size());
    Bytes b(pixelsAt + static_cast<size_t>(stride) * height, 0);
    const auto put = [&b](size_t at, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            b[at + i] = static_cast<uint8_t>(value >> (8 * i));
        }
    };
    b[0] = 'B';
    b[1] = 'M';
    put(2, static_cast<uint32_t>(b.size()), 4);
    put(10, pixelsAt, 4);
    put(14, 40, 4);
    put(18, width, 4);
    put(22, topDown ? 0u - height : height, 4);
    put(26, 1, 2);
    put(28, static_cast<uint32_t>(bits), 2);
    put(46, static_cast<uint32_t>(colours.size()), 4);
    for (size_t i = 0; i < colours.size(); ++i) {
        put(54 + 4 * i, colours[i] & 0xFFFFFF, 4);
    }
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t *row = b.data() + pixelsAt + static_cast<size_t>(topDown ? y : height - 1 - y) * stride;
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t colour = pixel(x, y);
            if (bits == 8) {
                row[x] = static_cast<uint8_t>(std::find(colours.begin(), colours.end(), colour) - colours.begin());
            } else {
                uint8_t *p = row + static_cast<size_t>(x) * static_cast<size_t>(bits / 8);
                p[0] = static_cast<uint8_t>(colour);
                p[1] = static_cast<uint8_t>(colour >> 8);
                p[2] = static_cast<uint8_t>(colour >> 16);
            }
        }
    }
    return b;
}

// A GIF of a palette of the picture's colours (at most 256), interlaced or not, its image placed
// at (left, top) on a screen of screenWidth x screenHeight; colour `transparent` (when not 0) is
// stored as the transparent index.
Bytes EncodeGif(uint32_t width, uint32_t height, bool interlaced, const Rgba &pixel, uint32_t screenWidth = 0,
                uint32_t screenHeight = 0, uint32_t left = 0, uint32_t top = 0, uint32_t transparent = 0) {
    std::vector<uint32_t> colours;
    std::vector<GifPixelType> indices(static_cast<size_t>(width) * height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t colour = pixel(x, y);
            auto it = std::find(colours.begin(), colours.end(), colour);
            if (it == colours.end()) {
                colours.push_back(colour);
                it = colours.end() - 1;
            }
            indices[static_cast<size_t>(y) * width + x] = static_cast<GifPixelType>(it - colours.begin());
        }
    }
    while (colours.size() < 2 || (colours.size() & (colours.size() - 1)) != 0) {
        colours.push_back(0); // a colour map's size is a power of two
    }
    std::vector<GifColorType> map(colours.size());
    for (size_t i = 0; i < colours.size(); ++i) {
        map[i] = {static_cast<GifByteType>(colours[i] >> 16), static_cast<GifByteType>(colours[i] >> 8),
                  static_cast<GifByteType>(colours[i])};
    }
    Bytes out;
    int error = 0;
    GifFileType *gif = EGifOpen(
        &out,
        [](GifFileType *g, const GifByteType *bytes, int count) {
            auto *target = static_cast<Bytes *>(g->UserData);
            target->insert(target->end(), bytes, bytes + count);
            return count;
        },
        &error);
    ColorMapObject *colourMap = GifMakeMapObject(static_cast<int>(map.size()), map.data());
    EGifPutScreenDesc(gif, static_cast<int>(screenWidth ? screenWidth : width),
                      static_cast<int>(screenHeight ? screenHeight : height), 8, 0, colourMap);
    if (transparent != 0) {
        const auto at = std::find(colours.begin(), colours.end(), transparent) - colours.begin();
        const GifByteType control[4] = {0x01, 0, 0, static_cast<GifByteType>(at)};
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
    }
    EGifPutImageDesc(gif, static_cast<int>(left), static_cast<int>(top), static_cast<int>(width),
                     static_cast<int>(height), interlaced, nullptr);
    const uint32_t starts[4] = {0, 4, 2, 1};
    const uint32_t steps[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass) {
        for (uint32_t y = interlaced ? starts[pass] : 0; y < height; y += interlaced ? steps[pass] : 1) {
            EGifPutLine(gif, indices.data() + static_cast<size_t>(y) * width, static_cast<int>(width));
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(colourMap);
    return out;
}

ImageHeader HeaderOf(const Bytes &file) {
    return ReadImageHeader([&file](uint64_t offset, uint8_t *buffer, size_t count) -> size_t {
        if (offset >= file.size()) {
            return 0;
        }
        const size_t n = static_cast<size_t>(std::min<uint64_t>(count, file.size() - offset));
        std::memcpy(buffer, file.data() + offset, n);
        return n;
    });
}

// Decodes `bytes` through a temporary file, as the display does, for a fitted size.
ReducedPicture Decode(const Bytes &bytes, uint32_t fittedWidth, uint32_t fittedHeight) {
    std::FILE *file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    if (file == nullptr) {
        return {};
    }
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fflush(file);
    ReducedPicture picture = DecodeReducedPicture(file, HeaderOf(bytes), fittedWidth, fittedHeight);
    std::fclose(file);
    return picture;
}

uint32_t At(const ReducedPicture &picture, uint32_t x, uint32_t y) {
    return picture.pixels.at(static_cast<size_t>(y) * picture.width + x);
}

// Whether two colours are within `tolerance` on each channel (JPEG is lossy).
::testing::AssertionResult Near(uint32_t actual, uint32_t expected, int tolerance = 40) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = static_cast<int>((actual >> shift) & 0xFF);
        const int e = static_cast<int>((expected >> shift) & 0xFF);
        if (a - e > tolerance || e - a > tolerance) {
            return ::testing::AssertionFailure() << std::hex << actual << " is not near " << expected;
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(PictureDecode, EveryOrientationStandsUpright) {
    // Stored 64 x 48; the colours of the upright picture's top corners name the stored corners.
    const Bytes stored = EncodeJpeg(64, 48, [](uint32_t x, uint32_t y) { return Quarters(x, y, 64, 48); });
    const struct {
        uint16_t orientation;
        uint32_t topLeft, topRight;
    } cases[] = {
        {1, kRed, kGreen}, {2, kGreen, kRed}, {3, kYellow, kBlue},  {4, kBlue, kYellow},
        {5, kRed, kBlue},  {6, kBlue, kRed},  {7, kYellow, kGreen}, {8, kGreen, kYellow},
    };
    for (const auto &c : cases) {
        for (const bool bigEndian : {false, true}) {
            SCOPED_TRACE(testing::Message() << "orientation " << c.orientation << (bigEndian ? " MM" : " II"));
            const Bytes jpeg = WithExifOrientation(stored, c.orientation, bigEndian);
            ASSERT_EQ(HeaderOf(jpeg).orientation, c.orientation);
            const bool swap = c.orientation >= 5;
            const ReducedPicture picture = Decode(jpeg, swap ? 48 : 64, swap ? 64 : 48);
            ASSERT_EQ(picture.status, DecodeStatus::Ok);
            ASSERT_EQ(picture.width, swap ? 48u : 64u);
            ASSERT_EQ(picture.height, swap ? 64u : 48u);
            EXPECT_TRUE(Near(At(picture, 2, 2), c.topLeft));
            EXPECT_TRUE(Near(At(picture, picture.width - 3, 2), c.topRight));
        }
    }
    // TIFF states it in its own tag.
    TempFolder folder;
    const Bytes tiff =
        EncodeTiff(folder, 64, 48, PHOTOMETRIC_RGB, 6, [](uint32_t x, uint32_t y) { return Quarters(x, y, 64, 48); });
    const ReducedPicture turned = Decode(tiff, 48, 64);
    ASSERT_EQ(turned.status, DecodeStatus::Ok);
    ASSERT_EQ(turned.width, 48u);
    EXPECT_EQ(At(turned, 0, 0), kBlue);
    EXPECT_EQ(At(turned, 47, 0), kRed);
    // PNG in an eXIf chunk: a small one too, which would otherwise be decoded whole as stored.
    const Bytes exif = ExifBlock(8);
    const Bytes png = EncodePng(
        64, 48, PNG_COLOR_TYPE_RGB, false, [](uint32_t x, uint32_t y) { return Quarters(x, y, 64, 48); },
        Bytes(exif.begin() + 6, exif.end()));
    ASSERT_EQ(HeaderOf(png).orientation, 8);
    const ReducedPicture pngTurned = Decode(png, 48, 64);
    ASSERT_EQ(pngTurned.status, DecodeStatus::Ok);
    ASSERT_EQ(pngTurned.width, 48u);
    EXPECT_EQ(At(pngTurned, 0, 0), kGreen);
    EXPECT_EQ(At(pngTurned, 47, 0), kYellow);
}

TEST(PictureDecode, EveryFormatReducedToNoLessThanTheFittedSize) {
    // 1000 x 700, red on the left and blue on the right; fitted into the box: 327 x 229.
    const Rgba halves = [](uint32_t x, uint32_t) { return x < 500 ? kRed : kBlue; };
    const Rgba transparentRight = [](uint32_t x, uint32_t) { return x < 500 ? kRed : 0x000000FFu; };
    TempFolder folder;
    const struct {
        const char *name;
        Bytes bytes;
        uint32_t right;
    } cases[] = {
        {"jpeg", EncodeJpeg(1000, 700, halves), kBlue},
        {"png rgb", EncodePng(1000, 700, PNG_COLOR_TYPE_RGB, false, halves), kBlue},
        {"png interlaced", EncodePng(1000, 700, PNG_COLOR_TYPE_RGB, true, halves), kBlue},
        {"png palette", EncodePng(1000, 700, PNG_COLOR_TYPE_PALETTE, false, halves), kBlue},
        {"png transparent", EncodePng(1000, 700, PNG_COLOR_TYPE_RGBA, true, transparentRight), 0xFFFFFFFF},
        {"tiff rgb", EncodeTiff(folder, 1000, 700, PHOTOMETRIC_RGB, 1, halves), kBlue},
        {"tiff grey", EncodeTiff(folder, 1000, 700, PHOTOMETRIC_MINISBLACK, 1, halves), 0xFF000000},
        {"bmp 24 bits", EncodeBmp(1000, 700, 24, false, halves), kBlue},
        {"bmp palette top-down", EncodeBmp(1000, 700, 8, true, halves), kBlue},
        {"bmp 32 bits", EncodeBmp(1000, 700, 32, false, halves), kBlue},
        {"gif", EncodeGif(1000, 700, false, halves), kBlue},
        {"gif interlaced", EncodeGif(1000, 700, true, halves), kBlue},
        {"gif transparent", EncodeGif(1000, 700, false, halves, 0, 0, 0, 0, kBlue), 0xFFFFFFFF},
        {"gif image on a larger screen", EncodeGif(500, 700, false, halves, 1000, 700), 0xFFFFFFFF},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ReducedPicture picture = Decode(c.bytes, 327, 229);
        ASSERT_EQ(picture.status, DecodeStatus::Ok);
        EXPECT_GE(picture.width, 327u);
        EXPECT_GE(picture.height, 229u);
        EXPECT_LT(picture.width, 2 * 327u);
        EXPECT_LT(picture.height, 2 * 229u);
        const uint32_t left = std::string(c.name) == "tiff grey" ? 0xFF000000 : kRed;
        EXPECT_TRUE(Near(At(picture, 3, picture.height / 2), left));
        EXPECT_TRUE(Near(At(picture, picture.width - 3, picture.height - 1), c.right));
        // The border between the halves falls in the middle, in every pass of an interlaced file.
        EXPECT_TRUE(Near(At(picture, picture.width / 2 - 2, 0), left));
        EXPECT_TRUE(Near(At(picture, picture.width / 2 + 2, 0), c.right));
    }
    // A bitmap's rows, stored from the bottom up or from the top down, land where they belong.
    for (const bool topDown : {false, true}) {
        SCOPED_TRACE(topDown ? "bmp top-down" : "bmp bottom-up");
        const ReducedPicture quarters = Decode(
            EncodeBmp(64, 48, topDown ? 8 : 24, topDown, [](uint32_t x, uint32_t y) { return Quarters(x, y, 64, 48); }),
            64, 48);
        ASSERT_EQ(quarters.status, DecodeStatus::Ok);
        EXPECT_EQ(At(quarters, 0, 0), kRed);
        EXPECT_EQ(At(quarters, 63, 0), kGreen);
        EXPECT_EQ(At(quarters, 0, 47), kBlue);
    }
}

TEST(PictureDecode, TwoHundredMegapixelJpegIsReducedOnTheWay) {
    // A phone's 16320 x 12240 picture, fitted into 327 x 245: read at 1/8 and averaged by 6.
    const Bytes jpeg = UniformGreyJpeg(16320, 12240, 200);
    EXPECT_LT(jpeg.size(), 1u << 20);
    const ReducedPicture picture = Decode(jpeg, 327, 245);
    ASSERT_EQ(picture.status, DecodeStatus::Ok);
    EXPECT_EQ(picture.width, 340u);
    EXPECT_EQ(picture.height, 255u);
    EXPECT_TRUE(Near(At(picture, 0, 0), 0xFFC8C8C8, 2));
    EXPECT_TRUE(Near(At(picture, 339, 254), 0xFFC8C8C8, 2));
    // The same size progressive, as an editor may save it: the library would keep 400 MB of
    // coefficients while reading it; only what an eighth needs is kept.
    const Bytes progressive = QuarterGreyJpeg(16320, 12240, 56, 104, 152, 200, true);
    const ReducedPicture shown = Decode(progressive, 327, 245);
    ASSERT_EQ(shown.status, DecodeStatus::Ok);
    EXPECT_EQ(shown.width, 340u);
    EXPECT_EQ(shown.height, 255u);
    EXPECT_TRUE(Near(At(shown, 0, 0), 0xFF383838, 2));
    EXPECT_TRUE(Near(At(shown, 339, 0), 0xFF686868, 2));
    EXPECT_TRUE(Near(At(shown, 0, 254), 0xFF989898, 2));
    EXPECT_TRUE(Near(At(shown, 339, 254), 0xFFC8C8C8, 2));
}

TEST(PictureDecode, BombsAndDamagedFilesAreRefused) {
    // A few hundred bytes declaring 60000 x 60000 pixels: refused from the header.
    const Bytes bomb = UniformGreyJpeg(60000, 60000, 128, false);
    EXPECT_LT(bomb.size(), 400u);
    EXPECT_EQ(Decode(bomb, 327, 327).status, DecodeStatus::TooLarge);
    // A progressive JPEG whose coefficients would take more than other pictures may (5000 x 5000:
    // 75 MB) is read keeping only the first coefficient of each block, and its colour drawn flat
    // over 2 x 2 pixels of the eighth: close to the same picture saved as a baseline JPEG, whose
    // colour the library draws from its first coefficients. Turned by its orientation 6 like any
    // other: the stored bottom left corner comes to the top left.
    const Rgba quarters = [](uint32_t x, uint32_t y) { return Quarters(x, y, 5000, 5000); };
    const Bytes progressive = WithExifOrientation(EncodeJpeg(5000, 5000, quarters, true), 6);
    const ReducedPicture shown = Decode(progressive, 327, 327);
    ASSERT_EQ(shown.status, DecodeStatus::Ok);
    EXPECT_TRUE(Near(At(shown, 0, 0), kBlue));
    EXPECT_TRUE(Near(At(shown, shown.width - 1, 0), kRed));
    EXPECT_TRUE(Near(At(shown, shown.width - 1, shown.height - 1), kGreen));
    const ReducedPicture baseline = Decode(WithExifOrientation(EncodeJpeg(5000, 5000, quarters), 6), 327, 327);
    ASSERT_EQ(baseline.pixels.size(), shown.pixels.size());
    // Apart from a pixel or two along the edges between colours, the same: a wrong first
    // coefficient anywhere would move whole blocks.
    double total = 0;
    size_t far = 0;
    for (size_t i = 0; i < shown.pixels.size(); ++i) {
        for (int shift : {0, 8, 16}) {
            const int difference = std::abs(static_cast<int>((shown.pixels[i] >> shift) & 0xFF) -
                                            static_cast<int>((baseline.pixels[i] >> shift) & 0xFF));
            total += difference;
            far += difference > 16 ? 1 : 0;
        }
    }
    const double values = 3.0 * static_cast<double>(shown.pixels.size());
    EXPECT_LT(total / values, 0.5);
    EXPECT_LT(static_cast<double>(far) / values, 0.01);
    // A frame header that says progressive over a baseline scan: damaged, found once read.
    Bytes hugeProgressive = UniformGreyJpeg(10001, 10000, 128);
    for (size_t i = 0; i + 1 < hugeProgressive.size(); ++i) {
        if (hugeProgressive[i] == 0xFF && hugeProgressive[i + 1] == 0xC0) {
            hugeProgressive[i + 1] = 0xC2; // the frame header of a progressive picture
            break;
        }
    }
    EXPECT_EQ(HeaderOf(hugeProgressive).width, 10001u);
    EXPECT_EQ(Decode(hugeProgressive, 327, 327).status, DecodeStatus::Damaged);
    const Bytes smallProgressive = EncodeJpeg(
        400, 300, [](uint32_t, uint32_t) { return kBlue; }, true);
    EXPECT_EQ(Decode(smallProgressive, 327, 245).status, DecodeStatus::Ok);
    // Cut short in the middle of the scan, or in the headers.
    Bytes cutJpeg = EncodeJpeg(400, 300, [](uint32_t x, uint32_t y) { return Quarters(x, y, 400, 300); });
    cutJpeg.resize(cutJpeg.size() * 2 / 3);
    EXPECT_EQ(Decode(cutJpeg, 327, 245).status, DecodeStatus::Damaged);
    Bytes headerOnly = UniformGreyJpeg(400, 300, 128, false);
    EXPECT_EQ(Decode(headerOnly, 327, 245).status, DecodeStatus::Damaged);
    // A PNG whose compressed data is damaged (its checksum no longer matches), and one cut short.
    const Rgba halves = [](uint32_t x, uint32_t) { return x < 200 ? kRed : kBlue; };
    Bytes png = EncodePng(400, 300, PNG_COLOR_TYPE_RGB, false, halves);
    Bytes corruptPng = png;
    corruptPng[corruptPng.size() - 30] ^= 0x55;
    EXPECT_EQ(Decode(corruptPng, 327, 245).status, DecodeStatus::Damaged);
    png.resize(png.size() / 2);
    EXPECT_EQ(Decode(png, 327, 245).status, DecodeStatus::Damaged);
    TempFolder folder;
    Bytes tiff = EncodeTiff(folder, 400, 300, PHOTOMETRIC_RGB, 1, halves);
    Bytes cutTiff(tiff.begin(), tiff.begin() + 200); // the directory lies at the end
    EXPECT_EQ(Decode(cutTiff, 327, 245).status, DecodeStatus::Damaged);
    Bytes cutBmp = EncodeBmp(400, 300, 24, false, halves);
    cutBmp.resize(cutBmp.size() - 1);
    EXPECT_EQ(Decode(cutBmp, 327, 245).status, DecodeStatus::Damaged);
    Bytes cutGif = EncodeGif(400, 300, false, halves);
    cutGif.resize(cutGif.size() / 2);
    EXPECT_EQ(Decode(cutGif, 327, 245).status, DecodeStatus::Damaged);
}

// Every committed input of both image fuzz targets (seeds, grown corpora, fault inputs kept),
// through the decoding target's own check (the sanitizers watch too).
TEST(PictureDecode, EveryCommittedFuzzInputPassesTheTargetsCheck) {
    const std::filesystem::path fuzz = (std::filesystem::path(GUISLA_TEST_DATA_DIR) / ".." / "fuzz").lexically_normal();
    int inputs = 0;
    for (const auto &folder :
         {fuzz / "image_corpus", fuzz / "grown" / "image_header_fuzz", fuzz / "grown" / "picture_decode_fuzz"}) {
        if (!std::filesystem::is_directory(folder)) {
            continue;
        }
        for (const auto &entry : std::filesystem::directory_iterator(folder)) {
            std::ifstream in(entry.path(), std::ios::binary);
            const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            EXPECT_EQ(CheckPictureDecodeInput(file.data(), file.size()), "") << entry.path().string();
            ++inputs;
        }
    }
    EXPECT_GE(inputs, 100);
}

} // namespace
