// Image dimensions from file headers.
#include "search/image_header.h"

#include <algorithm>
#include <vector>

namespace {

// Reads exactly `count` bytes at `offset`; false when the file is shorter.
bool ReadExactly(const ReadFileBytes &read, uint64_t offset, uint8_t *buffer, size_t count) {
    return read(offset, buffer, count) == count;
}

uint16_t Le16(const uint8_t *p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Le32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Be16(const uint8_t *p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
uint32_t Be32(const uint8_t *p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

ImageHeader Sized(ImageFormat format, uint64_t width, uint64_t height) {
    return {format, true, width, height};
}

ImageHeader Unsized(ImageFormat format) {
    return {format, false, 0, 0};
}

// A 32-bit signed height of a bitmap header: negative means top-down rows.
uint64_t Magnitude(int32_t value) {
    return value < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(value)) : static_cast<uint64_t>(value);
}

// The BITMAPINFOHEADER-family header at `offset` (its size field first). `heightDivisor` is 2
// inside icons, whose bitmaps hold the image and its mask one above the other.
ImageHeader BitmapInfoHeader(const ReadFileBytes &read, uint64_t offset, ImageFormat format, uint64_t heightDivisor) {
    uint8_t header[12];
    if (!ReadExactly(read, offset, header, sizeof header)) {
        return Unsized(format);
    }
    const uint32_t size = Le32(header);
    if (size == 12) { // BITMAPCOREHEADER: 16-bit unsigned sides
        return Sized(format, Le16(header + 4), Le16(header + 6) / heightDivisor);
    }
    if (size < 16) {
        return Unsized(format);
    }
    const int32_t width = static_cast<int32_t>(Le32(header + 4));
    const int32_t height = static_cast<int32_t>(Le32(header + 8));
    if (width < 0) {
        return Unsized(format);
    }
    return Sized(format, static_cast<uint64_t>(width), Magnitude(height) / heightDivisor);
}

// The orientation stated by the eXIf chunk (a bare TIFF header and its directories) among the
// chunks from `offset` to the image data; 1 without one.
int PngOrientation(const ReadFileBytes &read, uint64_t offset) {
    // Each chunk: length (4, big-endian), type (4), data, CRC (4).
    uint8_t chunk[8];
    while (ReadExactly(read, offset, chunk, sizeof chunk)) {
        const uint32_t length = Be32(chunk);
        if (length > 0x7FFFFFFFu || std::equal(chunk + 4, chunk + 8, "IDAT") ||
            std::equal(chunk + 4, chunk + 8, "IEND")) {
            break; // the chunk must come before the image data
        }
        if (std::equal(chunk + 4, chunk + 8, "eXIf")) {
            // The directory entry of the orientation is near the start: a block stating it past
            // 64 KB is taken as not stating it.
            std::vector<uint8_t> exif(6 + std::min<size_t>(length, 64 * 1024));
            std::copy_n("Exif\0\0", 6, exif.begin());
            if (!ReadExactly(read, offset + 8, exif.data() + 6, exif.size() - 6)) {
                break;
            }
            return ExifOrientation(exif.data(), exif.size());
        }
        offset += 12ull + length;
    }
    return 1;
}

ImageHeader Png(const ReadFileBytes &read, uint64_t offset) {
    // Signature (8), then the IHDR chunk: length (4), type (4), width (4), height (4), big-endian.
    uint8_t header[24];
    if (!ReadExactly(read, offset, header, sizeof header) || header[12] != 'I' || header[13] != 'H' ||
        header[14] != 'D' || header[15] != 'R') {
        return Unsized(ImageFormat::Png);
    }
    ImageHeader sized = Sized(ImageFormat::Png, Be32(header + 16), Be32(header + 20));
    sized.orientation = PngOrientation(read, offset + 8 + 12 + Be32(header + 8));
    return sized;
}

ImageHeader Gif(const ReadFileBytes &read) {
    uint8_t screen[13];
    if (!ReadExactly(read, 0, screen, sizeof screen)) {
        return Unsized(ImageFormat::Gif);
    }
    uint64_t width = Le16(screen + 6);
    uint64_t height = Le16(screen + 8);
    uint64_t offset = sizeof screen;
    if (screen[10] & 0x80) {
        offset += 3u << ((screen[10] & 0x07) + 1); // global colour table
    }
    // Extensions until the first image descriptor.
    for (;;) {
        uint8_t introducer = 0;
        if (!ReadExactly(read, offset, &introducer, 1)) {
            return Unsized(ImageFormat::Gif);
        }
        if (introducer == 0x2C) {
            uint8_t descriptor[8];
            if (!ReadExactly(read, offset + 1, descriptor, sizeof descriptor)) {
                return Unsized(ImageFormat::Gif);
            }
            width = std::max<uint64_t>(width, static_cast<uint64_t>(Le16(descriptor)) + Le16(descriptor + 4));
            height = std::max<uint64_t>(height, static_cast<uint64_t>(Le16(descriptor + 2)) + Le16(descriptor + 6));
            return Sized(ImageFormat::Gif, width, height);
        }
        if (introducer != 0x21) {
            return Unsized(ImageFormat::Gif); // the trailer or garbage before any image
        }
        offset += 2; // introducer and label
        for (;;) {   // data sub-blocks, each led by its size, ended by a block of size 0
            uint8_t size = 0;
            if (!ReadExactly(read, offset, &size, 1)) {
                return Unsized(ImageFormat::Gif);
            }
            offset += 1 + size;
            if (size == 0) {
                break;
            }
        }
    }
}

bool IsJpegFrameMarker(uint8_t marker) {
    // SOF0..SOF15 without DHT (C4), JPG (C8) and DAC (CC).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

ImageHeader Jpeg(const ReadFileBytes &read) {
    uint64_t offset = 2; // after SOI
    int orientation = 1;
    bool exifSeen = false;
    for (;;) {
        uint8_t byte = 0;
        if (!ReadExactly(read, offset, &byte, 1) || byte != 0xFF) {
            return Unsized(ImageFormat::Jpeg);
        }
        uint8_t marker = 0xFF;
        while (marker == 0xFF) { // fill bytes may precede a marker
            ++offset;
            if (!ReadExactly(read, offset, &marker, 1)) {
                return Unsized(ImageFormat::Jpeg);
            }
        }
        ++offset;
        if (marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7)) {
            continue; // markers without a segment
        }
        if (marker == 0xD9 || marker == 0xDA || marker == 0x00) {
            return Unsized(ImageFormat::Jpeg); // image end or scan data before any frame header
        }
        uint8_t segment[7];
        if (!ReadExactly(read, offset, segment, 2)) {
            return Unsized(ImageFormat::Jpeg);
        }
        const uint16_t length = Be16(segment);
        if (length < 2) {
            return Unsized(ImageFormat::Jpeg);
        }
        if (IsJpegFrameMarker(marker)) {
            // Length (2), precision (1), height (2), width (2).
            if (length < 7 || !ReadExactly(read, offset, segment, sizeof segment)) {
                return Unsized(ImageFormat::Jpeg);
            }
            const uint16_t height = Be16(segment + 3);
            const uint16_t width = Be16(segment + 5);
            if (height == 0 || width == 0) {
                return Unsized(ImageFormat::Jpeg); // the height would come later (DNL)
            }
            ImageHeader header = Sized(ImageFormat::Jpeg, width, height);
            header.orientation = orientation;
            return header;
        }
        if (marker == 0xE1 && !exifSeen && length > 8) { // the first EXIF block counts, as for decoders
            std::vector<uint8_t> app1(length - 2u);
            if (ReadExactly(read, offset + 2, app1.data(), app1.size()) &&
                std::equal(app1.begin(), app1.begin() + 6, "Exif\0\0")) {
                exifSeen = true;
                orientation = ExifOrientation(app1.data(), app1.size());
            }
        }
        offset += length;
    }
}

ImageHeader Tiff(const ReadFileBytes &read, bool bigEndian) {
    auto u16 = [bigEndian](const uint8_t *p) { return bigEndian ? Be16(p) : Le16(p); };
    auto u32 = [bigEndian](const uint8_t *p) { return bigEndian ? Be32(p) : Le32(p); };
    uint8_t header[8];
    if (!ReadExactly(read, 0, header, sizeof header)) {
        return Unsized(ImageFormat::Tiff);
    }
    const uint64_t directory = u32(header + 4);
    uint8_t countBytes[2];
    if (!ReadExactly(read, directory, countBytes, sizeof countBytes)) {
        return Unsized(ImageFormat::Tiff);
    }
    const size_t entries = u16(countBytes);
    std::vector<uint8_t> table(entries * 12);
    if (!ReadExactly(read, directory + 2, table.data(), table.size())) {
        return Unsized(ImageFormat::Tiff);
    }
    bool haveWidth = false;
    bool haveHeight = false;
    int orientation = 1;
    uint64_t width = 0;
    uint64_t height = 0;
    for (size_t i = 0; i < entries; ++i) {
        const uint8_t *entry = table.data() + i * 12;
        const uint16_t tag = u16(entry);
        const uint16_t type = u16(entry + 2);
        if (tag == 274 && type == 3 && u32(entry + 4) == 1) {
            const uint16_t value = u16(entry + 8);
            orientation = value >= 1 && value <= 8 ? value : 1;
            continue;
        }
        if ((tag != 256 && tag != 257) || u32(entry + 4) != 1 || (type != 3 && type != 4)) {
            continue; // not ImageWidth or ImageLength as one SHORT or LONG
        }
        const uint64_t value = type == 3 ? u16(entry + 8) : u32(entry + 8);
        if (tag == 256) {
            haveWidth = true;
            width = value;
        } else {
            haveHeight = true;
            height = value;
        }
    }
    if (!haveWidth || !haveHeight) {
        return Unsized(ImageFormat::Tiff);
    }
    ImageHeader sized = Sized(ImageFormat::Tiff, width, height);
    sized.orientation = orientation;
    return sized;
}

ImageHeader Icon(const ReadFileBytes &read) {
    uint8_t header[6];
    if (!ReadExactly(read, 0, header, sizeof header)) {
        return Unsized(ImageFormat::Icon);
    }
    const size_t entries = Le16(header + 4);
    if (entries == 0) {
        return Unsized(ImageFormat::Icon);
    }
    std::vector<uint8_t> directory(entries * 16);
    if (!ReadExactly(read, sizeof header, directory.data(), directory.size())) {
        return Unsized(ImageFormat::Icon);
    }
    static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    uint64_t width = 0;
    uint64_t height = 0;
    for (size_t i = 0; i < entries; ++i) {
        const uint8_t *entry = directory.data() + i * 16;
        // The directory's sides (0 stands for 256), then the sides the entry's own image declares.
        width = std::max<uint64_t>(width, entry[0] == 0 ? 256 : entry[0]);
        height = std::max<uint64_t>(height, entry[1] == 0 ? 256 : entry[1]);
        const uint64_t imageOffset = Le32(entry + 12);
        uint8_t signature[8];
        if (!ReadExactly(read, imageOffset, signature, sizeof signature)) {
            return Unsized(ImageFormat::Icon);
        }
        const ImageHeader image = std::equal(signature, signature + 8, kPngSignature)
                                      ? Png(read, imageOffset)
                                      : BitmapInfoHeader(read, imageOffset, ImageFormat::Icon, 2);
        if (!image.sizeKnown) {
            return Unsized(ImageFormat::Icon);
        }
        width = std::max(width, image.width);
        height = std::max(height, image.height);
    }
    return Sized(ImageFormat::Icon, width, height);
}

} // namespace

int ExifOrientation(const uint8_t *data, size_t size) {
    // "Exif\0\0", then a TIFF header: byte order, 42, the offset of the first directory (from
    // the TIFF header), whose entries are tag (2), type (2), count (4), value (4).
    constexpr size_t kTiffStart = 6;
    if (size < kTiffStart + 8 || !std::equal(data, data + 6, "Exif\0\0")) {
        return 1;
    }
    const uint8_t *tiff = data + kTiffStart;
    const size_t tiffSize = size - kTiffStart;
    bool bigEndian = false;
    if (tiff[0] == 'M' && tiff[1] == 'M') {
        bigEndian = true;
    } else if (!(tiff[0] == 'I' && tiff[1] == 'I')) {
        return 1;
    }
    auto u16 = [bigEndian](const uint8_t *p) { return bigEndian ? Be16(p) : Le16(p); };
    auto u32 = [bigEndian](const uint8_t *p) { return bigEndian ? Be32(p) : Le32(p); };
    if (u16(tiff + 2) != 42) {
        return 1;
    }
    const uint64_t directory = u32(tiff + 4);
    if (directory + 2 > tiffSize) {
        return 1;
    }
    const uint64_t entries = u16(tiff + directory);
    for (uint64_t i = 0; i < entries; ++i) {
        const uint64_t at = directory + 2 + i * 12;
        if (at + 12 > tiffSize) {
            return 1;
        }
        const uint8_t *entry = tiff + at;
        if (u16(entry) == 0x0112) {
            if (u16(entry + 2) != 3 || u32(entry + 4) != 1) {
                return 1; // not one SHORT
            }
            const uint16_t value = u16(entry + 8);
            return value >= 1 && value <= 8 ? value : 1;
        }
    }
    return 1;
}

ImageHeader ReadImageHeader(const ReadFileBytes &file) {
    // The walks below read a few bytes at a time; a hostile file can make them walk far (a JPEG
    // of fill bytes), so the file is read in blocks.
    constexpr size_t kBlockBytes = 64 * 1024;
    std::vector<uint8_t> block;
    uint64_t blockStart = 0;
    const ReadFileBytes read = [&](uint64_t offset, uint8_t *buffer, size_t count) -> size_t {
        if (count > kBlockBytes) {
            return file(offset, buffer, count);
        }
        if (offset < blockStart || offset + count > blockStart + block.size()) {
            block.resize(kBlockBytes);
            block.resize(file(offset, block.data(), kBlockBytes));
            blockStart = offset;
        }
        if (offset >= blockStart + block.size()) {
            return 0;
        }
        const size_t available = static_cast<size_t>(blockStart + block.size() - offset);
        const size_t n = std::min(count, available);
        std::copy_n(block.data() + (offset - blockStart), n, buffer);
        return n;
    };
    uint8_t signature[8] = {};
    const size_t got = read(0, signature, sizeof signature);
    auto startsWith = [&](std::initializer_list<uint8_t> bytes) {
        return got >= bytes.size() && std::equal(bytes.begin(), bytes.end(), signature);
    };
    if (startsWith({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) {
        return Png(read, 0);
    }
    if (startsWith({0xFF, 0xD8, 0xFF})) {
        return Jpeg(read);
    }
    if (startsWith({'G', 'I', 'F', '8', '7', 'a'}) || startsWith({'G', 'I', 'F', '8', '9', 'a'})) {
        return Gif(read);
    }
    if (startsWith({'B', 'M'})) {
        return BitmapInfoHeader(read, 14, ImageFormat::Bmp, 1);
    }
    if (startsWith({'I', 'I', 0x2A, 0x00})) {
        return Tiff(read, false);
    }
    if (startsWith({'M', 'M', 0x00, 0x2A})) {
        return Tiff(read, true);
    }
    if (startsWith({0x00, 0x00, 0x01, 0x00}) || startsWith({0x00, 0x00, 0x02, 0x00})) {
        return Icon(read);
    }
    return {};
}

bool ImageHeaderAcceptable(const ImageHeader &header) {
    if (header.format == ImageFormat::Unknown) {
        return true;
    }
    if (!header.sizeKnown || header.width > kMaxPictureSide || header.height > kMaxPictureSide) {
        return false;
    }
    return header.width * header.height <= kMaxPicturePixels;
}
