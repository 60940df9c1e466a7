// The 44-byte header of this program's WAV files, written by the file tools
// here (header repair, conversions). Private to the file tools.
#pragma once

#include <cstdint>

namespace qv::files_detail {

// Header bytes for a 16-bit PCM file of `length` bytes whose samples start at
// byte 48 and end at `dataEnd`, other chunks following: RIFF size length - 8,
// data size dataEnd - 44 (the four bytes at 44..47 belong to the data
// chunk), sizes capped at 32 bits.
void buildWavHeader(uint8_t out[44], int64_t length, int channels, int sampleRate, int64_t dataEnd);

}  // namespace qv::files_detail
