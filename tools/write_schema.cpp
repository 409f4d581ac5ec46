// Build tool: writes the schema file (guisla.z04) from the descriptor table in src/store.
// Usage: write_schema <output file>. Exit status 0 on success, 1 on any failure.
#include <cstdio>
#include <fstream>
#include <vector>

#include "store/schema_table.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_schema <output file>\n");
        return 1;
    }
    const std::vector<uint8_t> bytes = SchemaFileBytes();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "write_schema: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
