// Decoding a picture for the picture box in bounded memory: JPEG, PNG, TIFF, BMP and GIF files are
// read row by row and reduced as they are read (JPEGs first by the decoder's own DCT scaling, 1/2 to
// 1/8), then turned upright by their stated orientation. The result is small (about the size of
// the box, at most twice it in each direction), whatever the picture's size; drawing it into the
// fitted bitmap is left to the caller. Portable: libjpeg-turbo, libpng and libtiff over a FILE.
#ifndef GUISLA_SEARCH_PICTURE_DECODE_H
#define GUISLA_SEARCH_PICTURE_DECODE_H

#include <cstdint>
#include <cstdio>
#include <vector>

#include "search/image_header.h"

enum class DecodeStatus {
    Ok,
    Unsupported, // a format or a layout these decoders do not read (another decoder may)
    TooLarge,    // would need more memory than a display may take
    Damaged,     // cut short or corrupt
};

struct ReducedPicture {
    DecodeStatus status = DecodeStatus::Unsupported;
    // Upright, top row first; each pixel 0xFFRRGGBB (in memory B, G, R, A as a 32-bit DIB),
    // transparent parts already laid over white.
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels;
};

// The most memory the decoders themselves may take for one picture; beyond it the picture is
// TooLarge.
inline constexpr uint64_t kDecoderMemoryLimit = 56ull * 1024 * 1024;
// Pictures of up to this many pixels were always shown, decoded whole (by GDI+).
inline constexpr uint64_t kWholePictureLimit = 100'000'000;
// The library keeps all the coefficients of a progressive JPEG while it reads it, 2 bytes a
// sample, whatever the scale. When they would take more than kDecoderMemoryLimit and the picture
// is read at an eighth, only the first coefficient of each block is kept (a picture up to the
// largest shown then fits in kDecoderMemoryLimit). Otherwise the library keeps them all: such a
// picture may take as much as one of kWholePictureLimit pixels with full colour needs (its whole
// decoding took more still), and a larger one is TooLarge.
inline constexpr uint64_t kProgressiveJpegMemoryLimit = kWholePictureLimit * 3 * 2 + 16ull * 1024 * 1024;

// Decodes `file` (read from its start; it stays the caller's), whose header was read as `header`
// (format, stored size, orientation), reduced so that the upright result is at least
// fittedWidth x fittedHeight where the picture has as many pixels (each output pixel is the mean of
// a block of whole source pixels). A picture of more than kMaxPicturePixels pixels is TooLarge
// before anything is allocated. Formats other than JPEG, PNG, TIFF, BMP and GIF, TIFF layouts other
// than 8-bit strips of grey, palette or RGB(A) samples, and BMPs other than uncompressed ones of
// 1, 4, 8, 24 or 32 bits a pixel, are Unsupported.
ReducedPicture DecodeReducedPicture(std::FILE *file, const ImageHeader &header, uint32_t fittedWidth,
                                    uint32_t fittedHeight);

// The reduction used: for a stored side of `side` pixels and a target of `target` pixels, the
// number of source pixels averaged into one (at least 1).
uint32_t ReductionFactor(uint64_t side, uint32_t target);

#endif
