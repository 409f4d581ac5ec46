// JPEG files made byte by byte for the picture tests, cheaply at any size: grey pictures of one or
// two tones of up to 65535 x 65535 pixels (every 8 x 8 block flat, a quarter of a byte each where
// the tone does not change), and an EXIF orientation block put into any JPEG.
#ifndef GUISLA_TESTS_UNIT_HANDMADE_JPEG_H
#define GUISLA_TESTS_UNIT_HANDMADE_JPEG_H

#include <cstdint>
#include <vector>

// A baseline greyscale JPEG of width x height pixels, each 8 x 8 block of the grey level
// tone(x, y) of its top left pixel (levels are exact at 128 + 8 * k, k in -15..15; others round
// down to such a step). With `scan` false the file ends right after its headers (a decoding bomb
// when the sides are large). `progressive`: a progressive JPEG instead, whose one scan holds the
// blocks' first coefficients (the others, never sent, are 0 as in the baseline file).
template <typename Tone>
std::vector<uint8_t> GreyBlocksJpeg(uint16_t width, uint16_t height, const Tone &tone, bool scan = true,
                                    bool progressive = false) {
    std::vector<uint8_t> b = {0xFF, 0xD8};
    auto segment = [&b](uint8_t marker, const std::vector<uint8_t> &body) {
        b.insert(b.end(), {0xFF, marker, static_cast<uint8_t>((body.size() + 2) >> 8),
                           static_cast<uint8_t>((body.size() + 2) & 0xFF)});
        b.insert(b.end(), body.begin(), body.end());
    };
    std::vector<uint8_t> quant(65, 1);
    quant[0] = 0; // table 0, 8-bit values, all 1
    segment(0xDB, quant);
    segment(progressive ? 0xC2 : 0xC0,
            {8, static_cast<uint8_t>(height >> 8), static_cast<uint8_t>(height & 0xFF),
             static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(width & 0xFF), 1, 1, 0x11, 0});
    // DC table: "0" is a difference of 0, "10000" + c - 1 a difference of category c (1..11);
    // AC table: "0" ends the block at once (every block is flat).
    segment(0xC4, {0x00, 1, 0, 0, 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    segment(0xC4, {0x10, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00});
    segment(0xDA, {1, 1, 0x00, 0, static_cast<uint8_t>(progressive ? 0 : 63), 0});
    if (!scan) {
        return b;
    }
    uint64_t pending = 0; // bits not yet written, at the low end
    int count = 0;
    auto put = [&](uint32_t bits, int n) {
        pending = (pending << n) | bits;
        count += n;
        while (count >= 8) {
            const uint8_t byte = static_cast<uint8_t>(pending >> (count - 8));
            b.push_back(byte);
            if (byte == 0xFF) {
                b.push_back(0x00);
            }
            count -= 8;
        }
    };
    auto dcOf = [](int grey) { return (grey - 128) / 8 * 64; }; // the level moves by dc / 8
    int previous = 0;
    const uint32_t columns = (width + 7u) / 8u;
    const uint32_t rows = (height + 7u) / 8u;
    b.reserve(b.size() + static_cast<size_t>(columns) * rows / 4 + 64);
    for (uint32_t row = 0; row < rows; ++row) {
        for (uint32_t column = 0; column < columns; ++column) {
            const int dc = dcOf(tone(column * 8, row * 8));
            const int diff = dc - previous;
            previous = dc;
            if (diff == 0) {
                put(0, progressive ? 1 : 2); // difference 0 (and end of block)
                continue;
            }
            const int magnitude = diff < 0 ? -diff : diff;
            int category = 0;
            while (magnitude >> category) {
                ++category;
            }
            const int value = diff > 0 ? diff : diff + (1 << category) - 1; // negatives: one's complement
            put(static_cast<uint32_t>(16 + category - 1), 5);
            put(static_cast<uint32_t>(value), category);
            if (!progressive) {
                put(0, 1);
            }
        }
    }
    if (count > 0) {
        put((1u << (8 - count)) - 1, 8 - count); // padding with ones
    }
    b.insert(b.end(), {0xFF, 0xD9});
    return b;
}

// Grey level `left` in the 8-pixel columns left of `split` pixels, `right` from there on.
inline std::vector<uint8_t> TwoToneGreyJpeg(uint16_t width, uint16_t height, int left, int right, uint32_t split,
                                            bool scan = true) {
    return GreyBlocksJpeg(
        width, height, [=](uint32_t x, uint32_t) { return x < split ? left : right; }, scan);
}

// Four grey quarters: top left, top right, bottom left, bottom right.
inline std::vector<uint8_t> QuarterGreyJpeg(uint16_t width, uint16_t height, int topLeft, int topRight, int bottomLeft,
                                            int bottomRight, bool progressive = false) {
    return GreyBlocksJpeg(
        width, height,
        [=](uint32_t x, uint32_t y) {
            const bool right = x >= width / 2u;
            return y < height / 2u ? (right ? topRight : topLeft) : (right ? bottomRight : bottomLeft);
        },
        true, progressive);
}

// A uniform grey JPEG (see TwoToneGreyJpeg): 200 MP take 0.8 MB and a few milliseconds to make.
inline std::vector<uint8_t> UniformGreyJpeg(uint16_t width, uint16_t height, int grey, bool scan = true) {
    return TwoToneGreyJpeg(width, height, grey, grey, width, scan);
}

// An EXIF block stating `orientation`: "Exif\0\0", then a TIFF header and its directory (a PNG
// eXIf chunk holds the block without its first 6 bytes).
inline std::vector<uint8_t> ExifBlock(uint16_t orientation, bool bigEndian = false) {
    std::vector<uint8_t> exif = {'E', 'x', 'i', 'f', 0, 0};
    auto put = [&exif, bigEndian](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            const int shift = bigEndian ? 8 * (bytes - 1 - i) : 8 * i;
            exif.push_back(static_cast<uint8_t>(value >> shift));
        }
    };
    exif.push_back(bigEndian ? 'M' : 'I');
    exif.push_back(bigEndian ? 'M' : 'I');
    put(42, 2);
    put(8, 4); // first directory right after the header
    put(2, 2); // two entries: a resolution unit, then the orientation
    put(0x0128, 2);
    put(3, 2);
    put(1, 4);
    put(2, 2);
    put(0, 2);
    put(0x0112, 2);
    put(3, 2);
    put(1, 4);
    put(orientation, 2);
    put(0, 2);
    put(0, 4); // no next directory
    return exif;
}

// The JPEG `jpeg` with an EXIF block stating `orientation` put right after its first marker.
inline std::vector<uint8_t> WithExifOrientation(const std::vector<uint8_t> &jpeg, uint16_t orientation,
                                                bool bigEndian = false) {
    const std::vector<uint8_t> exif = ExifBlock(orientation, bigEndian);
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), {0xFF, 0xE1, static_cast<uint8_t>((exif.size() + 2) >> 8),
                           static_cast<uint8_t>((exif.size() + 2) & 0xFF)});
    out.insert(out.end(), exif.begin(), exif.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

#endif
