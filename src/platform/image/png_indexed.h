// Colour-mapped PNG files written in one piece: the rows are compressed as a
// whole, which is several times quicker than a row-by-row stream for the
// very wide pictures of batch rendering.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// `rows` holds `height` rows of 1 + `width` bytes: a filter-type byte (0)
// then one colour-table slot per pixel, exactly as the PNG data stream wants
// them. `colours` (0xRRGGBB, 1 to 256) is the colour table. `level` is the
// compression level (1 fastest .. 12 smallest). On failure the file is
// removed and `error` says why.
bool writeIndexedPng(const std::string& path, int width, int height, const uint8_t* rows,
                     const std::vector<uint32_t>& colours, int level, std::string& error);

}  // namespace qv
