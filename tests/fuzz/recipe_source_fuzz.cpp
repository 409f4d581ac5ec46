// libFuzzer target over the reading of recipe pages and JSON-LD files (guisla-tool import): any
// bytes, read as a page or as JSON. It must not crash, read out of bounds or leak (the sanitizers
// watch), and must pass CheckRecipeSourceInput.
#include <cstdio>
#include <cstdlib>

#include "recipe_source_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string fault = CheckRecipeSourceInput(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "recipe source reader: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
