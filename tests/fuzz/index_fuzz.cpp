// libFuzzer target over the reader of the kept index file: decoding arbitrary bytes (with the
// length, checksum and store hashes put right so that inputs get past them), the round trip, and
// a search and the opening of its results with such a kept file beside a small store.
#include <cstdio>
#include <cstdlib>

#include "index_check.h"
#include "store_oracle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static TempFolder folder("index-fuzz");
    const std::string problems = CheckIndexInput(data, size, folder.Path());
    if (!problems.empty()) {
        std::fprintf(stderr, "kept index reader: %s", problems.c_str());
        std::abort();
    }
    return 0;
}
