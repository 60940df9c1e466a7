// Mono recordings for the benchmarks, written once by the program's own WAV
// writer and kept in the temporary folder for later runs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "recording/wav_file.h"

namespace bench {

// `sample(i)` gives sample number i.
inline std::string monoWav(const std::string& name, int rate, uint64_t frames,
                           const std::function<int16_t(uint64_t)>& sample) {
  const std::string path = (std::filesystem::temp_directory_path() / name).string();
  std::error_code ec;
  if (std::filesystem::file_size(path, ec) == 48 + 2 * frames && !ec) return path;
  qv::WavWriter w;
  std::vector<int16_t> chunk(65536);
  bool ok = w.create(path, 1, rate);
  for (uint64_t i = 0; ok && i < frames;) {
    size_t k = 0;
    for (; k < chunk.size() && i < frames; ++k, ++i) chunk[k] = sample(i);
    ok = w.append(chunk.data(), k);
  }
  ok = w.close() && ok;
  if (!ok) throw std::runtime_error("cannot write " + path + ": " + w.error());
  return path;
}

}  // namespace bench
