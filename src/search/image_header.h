// The pixel dimensions of an image file, read from its header without decoding it, so that a
// picture whose decoding would need more memory than is sane (a "decoding bomb": a few bytes
// that declare an enormous image) can be refused before the image library sees it.
// Portable: the file's bytes come through a read function.
#ifndef GUISLA_SEARCH_IMAGE_HEADER_H
#define GUISLA_SEARCH_IMAGE_HEADER_H

#include <cstddef>
#include <cstdint>
#include <functional>

// Pictures with more pixels than this are not decoded: the decoders of picture_decode.h read
// them at a reduced scale in bounded memory, but the time grows with the pixels (a file of a few
// kilobytes may declare 60000 x 60000 pixels).
inline constexpr uint64_t kMaxPicturePixels = 400'000'000;
// Nor are pictures with a longer side (the decoders keep a few rows of it).
inline constexpr uint64_t kMaxPictureSide = 131'072;

enum class ImageFormat {
    Unknown, // not one of the raster formats below (a metafile, not an image at all, ...)
    Bmp,
    Png,
    Gif,
    Jpeg,
    Tiff,
    Icon, // icons and cursors
};

struct ImageHeader {
    ImageFormat format = ImageFormat::Unknown;
    // False when the format was recognised but its header is cut short or malformed, or does not
    // state the size (a JPEG frame of height 0, a GIF without an image).
    bool sizeKnown = false;
    // The largest area the decoder may have to fill: the first frame (for GIF also its logical
    // screen), for icons the largest entry.
    uint64_t width = 0;
    uint64_t height = 0;
    // How the stored picture is turned to stand upright, as EXIF (JPEG, a PNG eXIf chunk) and TIFF state it:
    // 1 as stored, 2 mirrored, 3 turned half round, 4 flipped, 5 transposed, 6 turned a quarter
    // clockwise, 7 transversed, 8 turned a quarter anticlockwise. 1 when absent or out of range.
    int orientation = 1;
};

// Whether an orientation swaps the picture's width and height (5 to 8).
inline bool OrientationSwapsSides(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

// The orientation stated by an EXIF block (the content of a JPEG APP1 segment after its length,
// starting with "Exif\0\0"): the value of tag 0x0112 of its first directory, or 1 when the
// block has none, is malformed, or states a value outside 1 to 8.
int ExifOrientation(const uint8_t *data, size_t size);

// Reads up to `count` bytes at `offset` into `buffer`; returns the number read (fewer only at the
// end of the file or on a read failure).
using ReadFileBytes = std::function<size_t(uint64_t offset, uint8_t *buffer, size_t count)>;

// Recognises the format by its signature and reads the dimensions from the header. Reads only
// headers and directory entries (for JPEG, the marker segments before the frame header; for PNG,
// the chunks before the image data), never pixel data; every read is bounded by the file's own
// structure.
ImageHeader ReadImageHeader(const ReadFileBytes &read);

// Whether a decoder may be let loose on the image: true for an unrecognised format (the image
// library decides), true for a recognised one whose size is known, with at most kMaxPicturePixels
// pixels and no side longer than kMaxPictureSide, false otherwise.
bool ImageHeaderAcceptable(const ImageHeader &header);

#endif
