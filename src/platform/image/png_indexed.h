// Colour-mapped PNG files written in one piece. The rows are run-length
// coded: a spectrogram's rows run along time, where equal neighbours are
// the rule, so this is both quicker and smaller than searching for longer
// matches. A large picture is coded in bands of rows on several threads at
// once, joined into the one stream the format allows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// `rows` holds `height` rows of 1 + `width` bytes: a filter-type byte (0)
// then one colour-table slot per pixel, exactly as the PNG data stream wants
// them. `colours` (0xRRGGBB, 1 to 256) is the colour table. `threads` (at
// least 1) is how many threads may code the rows. On failure the file is
// removed and `error` says why.
bool writeIndexedPng(const std::string& path, int width, int height, const uint8_t* rows,
                     const std::vector<uint32_t>& colours, int threads, std::string& error);

}  // namespace qv
