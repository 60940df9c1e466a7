#include "files/wav_header_local.h"

#include <algorithm>
#include <cstring>

#include "files/byte_source.h"

namespace qv::files_detail {

namespace {
uint32_t cap32(int64_t v) { return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, 0xFFFFFFFFLL)); }
}  // namespace

void buildWavHeader(uint8_t h[44], int64_t length, int channels, int sampleRate, int64_t dataEnd) {
  std::memcpy(h, "RIFF", 4);
  putLe32(h + 4, cap32(length - 8));
  std::memcpy(h + 8, "WAVEfmt ", 8);
  putLe32(h + 16, 16);
  putLe16(h + 20, 1);
  putLe16(h + 22, static_cast<uint32_t>(channels));
  putLe32(h + 24, static_cast<uint32_t>(sampleRate));
  putLe32(h + 28, static_cast<uint32_t>(static_cast<int64_t>(sampleRate) * 2 * channels));
  putLe16(h + 32, static_cast<uint32_t>(channels * 2));
  putLe16(h + 34, 16);
  std::memcpy(h + 36, "data", 4);
  // A file still empty gets the provisional -44 that marks an unfinished header.
  putLe32(h + 40, dataEnd >= 44 ? cap32(dataEnd - 44) : static_cast<uint32_t>(dataEnd - 44));
}

}  // namespace qv::files_detail
