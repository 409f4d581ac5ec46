// The check that the image header fuzz target runs on every input, shared with the unit test that
// replays the committed inputs: the reader must give the same answer twice, a recognised header
// must not be let through without a known size, and the orientation is one of the eight. Empty
// when the input passes.
#ifndef GUISLA_TESTS_FUZZ_IMAGE_HEADER_CHECK_H
#define GUISLA_TESTS_FUZZ_IMAGE_HEADER_CHECK_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "search/image_header.h"

inline std::string CheckImageHeaderInput(const uint8_t *data, size_t size) {
    // Reads past the end are answered with nothing, as a file would.
    const ReadFileBytes read = [&](uint64_t offset, uint8_t *buffer, size_t count) -> size_t {
        if (offset > size) {
            return 0;
        }
        const size_t n = static_cast<size_t>(std::min<uint64_t>(count, size - offset));
        if (n > 0) {
            std::memcpy(buffer, data + offset, n);
        }
        return n;
    };
    const ImageHeader first = ReadImageHeader(read);
    const ImageHeader second = ReadImageHeader(read);
    const bool same = first.format == second.format && first.sizeKnown == second.sizeKnown &&
                      first.width == second.width && first.height == second.height &&
                      first.orientation == second.orientation;
    if (!same) {
        return "two answers";
    }
    const bool consistent = (first.format != ImageFormat::Unknown || !first.sizeKnown) &&
                            (first.format == ImageFormat::Unknown || first.sizeKnown || !ImageHeaderAcceptable(first));
    if (first.orientation < 1 || first.orientation > 8) {
        return "orientation out of range";
    }
    return consistent ? "" : "inconsistent answer";
}

#endif
