// libFuzzer target over the store's record decoding and readers: the input is eight bytes of a
// key and then the bytes of a data file (also read as a schema file); ReadFieldValue,
// ScanFieldValues, ReadValueSpan, LastRecipeKey and LoadFieldSchema must agree with the
// reference reader of the tests on it. Any disagreement aborts with a description.
#include <cstdio>
#include <cstdlib>

#include "store_oracle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static TempFolder folder("fuzz");
    const std::string problems = CheckStoreInput(data, size, folder.Path());
    if (!problems.empty()) {
        std::fprintf(stderr, "store readers disagree with the reference reader:\n%s", problems.c_str());
        std::abort();
    }
    return 0;
}
