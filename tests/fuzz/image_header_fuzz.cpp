// libFuzzer target over the image header reader that guards the picture display against decoding
// bombs: any bytes as an image file. It must not crash or read out of bounds (the sanitizers
// watch), must give the same answer twice, must ask only for bytes inside the file, and a
// recognised header must not be let through without a known size.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "search/image_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    bool outside = false;
    const ReadFileBytes read = [&](uint64_t offset, uint8_t *buffer, size_t count) -> size_t {
        if (offset > size) {
            outside = true;
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
                      first.width == second.width && first.height == second.height;
    const bool consistent = (first.format != ImageFormat::Unknown || !first.sizeKnown) &&
                            (first.format == ImageFormat::Unknown || first.sizeKnown || !ImageHeaderAcceptable(first));
    if (!same || !consistent) {
        std::fprintf(stderr, "image header reader: %s\n", !same ? "two answers" : "inconsistent answer");
        std::abort();
    }
    (void)outside; // reads past the end are answered with nothing, as a file would
    return 0;
}
