// libFuzzer target over the reduced picture decoding of the picture display (JPEG, PNG and TIFF
// through their libraries): any bytes as a picture file. It must not crash, leak or read out of
// bounds (the sanitizers watch), and must pass CheckPictureDecodeInput.
#include <cstdio>
#include <cstdlib>

#include "picture_decode_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string fault = CheckPictureDecodeInput(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "picture decoding: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
