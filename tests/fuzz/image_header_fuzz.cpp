// libFuzzer target over the image header reader that guards the picture display against decoding
// bombs: any bytes as an image file. It must not crash or read out of bounds (the sanitizers
// watch), and must pass CheckImageHeaderInput.
#include <cstdio>
#include <cstdlib>

#include "image_header_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string fault = CheckImageHeaderInput(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "image header reader: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
