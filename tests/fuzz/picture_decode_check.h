// The check that the picture decoding fuzz target runs on every input, shared with the unit test
// that replays the committed inputs: any bytes as a picture file, decoded for a small box, must
// be refused before decoding when the header says it is too large, and a picture shown must be
// whole (at least one pixel, every pixel there, no side beyond the stored picture's). Empty when
// the input passes.
#ifndef GUISLA_TESTS_FUZZ_PICTURE_DECODE_CHECK_H
#define GUISLA_TESTS_FUZZ_PICTURE_DECODE_CHECK_H

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "search/image_header.h"
#include "search/picture_decode.h"

inline std::string CheckPictureDecodeInput(const uint8_t *data, size_t size) {
    std::FILE *file = std::tmpfile();
    if (file == nullptr) {
        return "no temporary file";
    }
    if (size > 0 && std::fwrite(data, 1, size, file) != size) {
        std::fclose(file);
        return "temporary file not written";
    }
    std::fflush(file);
    const ImageHeader header = ReadImageHeader([&](uint64_t offset, uint8_t *buffer, size_t count) -> size_t {
        if (offset >= size) {
            return 0;
        }
        const size_t n = static_cast<size_t>(std::min<uint64_t>(count, size - offset));
        std::memcpy(buffer, data + offset, n);
        return n;
    });
    const ReducedPicture picture = DecodeReducedPicture(file, header, 40, 30);
    std::fclose(file);
    if (header.sizeKnown && !ImageHeaderAcceptable(header) && picture.status != DecodeStatus::TooLarge) {
        return "a picture too large by its header was not refused";
    }
    if (picture.status == DecodeStatus::Ok) {
        const uint64_t longest = std::max(header.width, header.height);
        if (picture.width == 0 || picture.height == 0 ||
            picture.pixels.size() != static_cast<size_t>(picture.width) * picture.height || picture.width > longest ||
            picture.height > longest) {
            return "a shown picture is not whole";
        }
    }
    return "";
}

#endif
