// Small WAV files for the playback, play-list and render tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace qv::test {

// A file as this program writes it: 44 header bytes, 4 spare, then the samples.
inline void writeWav(const std::string& path, int rate, int channels, const std::vector<int16_t>& samples) {
  std::string b;
  auto u16 = [&](unsigned v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>((v >> 8) & 0xFF);
  };
  auto u32 = [&](uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  const uint32_t data = static_cast<uint32_t>(samples.size() * 2 + 4);
  b += "RIFF";
  u32(36 + data);
  b += "WAVEfmt ";
  u32(16);
  u16(1);
  u16(static_cast<unsigned>(channels));
  u32(static_cast<uint32_t>(rate));
  u32(static_cast<uint32_t>(rate * channels * 2));
  u16(static_cast<unsigned>(channels * 2));
  u16(16);
  b += "data";
  u32(data);
  b.append(4, '\0');
  for (int16_t s : samples) u16(static_cast<uint16_t>(s));
  writeFile(path, b);
}

inline std::vector<int16_t> ramp(size_t n, int start = 0) {
  std::vector<int16_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<int16_t>((start + static_cast<int>(i)) % 30000);
  return v;
}

inline std::vector<int16_t> tone(size_t n, int rate, double hz, double amplitude = 16000) {
  std::vector<int16_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * i / rate)));
  return v;
}

}  // namespace qv::test
