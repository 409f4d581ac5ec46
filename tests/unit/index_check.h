// The fuzz target's check of the kept index reader, shared with the unit test that replays its
// corpus.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

// `data` is a kept index file whose length field, checksum and data-file hashes the check puts
// right first, and whose data-file modification time it clears (so that inputs reach the parts
// behind them). It is decoded; when it decodes, it
// must encode and decode back to the same index. Then it is laid beside a small fixed store in
// `folder` and used by a search and by opening every result: nothing may crash, every result key
// must lie in 1 .. the last key, and a fresh kept file must then decode. Returns "" when all
// holds, else what did not.
std::string CheckIndexInput(const uint8_t *data, size_t size, const std::filesystem::path &folder);
