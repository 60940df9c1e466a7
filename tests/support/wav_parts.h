// A WAV file taken apart without the program's readers, for tests: the RIFF
// chunk walk, the "data" chunk and the GUANO metadata fields in order.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace qv::test {

inline uint32_t wavLe32(const std::string& b, size_t at) {
  return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
         uint32_t(uint8_t(b[at + 3])) << 24;
}

// A WAV file taken apart without the program's readers: the chunk walk of
// the RIFF format, the data chunk, and the GUANO fields, in order.
struct WavParts {
  uint32_t riffSize = 0;
  uint32_t dataSize = 0;
  size_t dataOffset = 0;
  std::vector<std::pair<std::string, std::string>> guano;  // "key: value" lines in order
  bool hasGuano = false;
  size_t guanoOffset = 0;
  std::string error;

  std::string operator[](const std::string& key) const {
    for (auto& [k, v] : guano)
      if (k == key) return v;
    return "<absent>";
  }
  bool has(const std::string& key) const { return (*this)[key] != "<absent>"; }
};

inline WavParts takeApart(const std::string& bytes) {
  WavParts w;
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) {
    w.error = "not RIFF WAVE";
    return w;
  }
  w.riffSize = wavLe32(bytes, 4);
  size_t pos = 12;
  while (pos + 8 <= bytes.size()) {
    const std::string tag = bytes.substr(pos, 4);
    const uint32_t size = wavLe32(bytes, pos + 4);
    if (tag == "data") {
      w.dataSize = size;
      w.dataOffset = pos + 8;
    } else if (tag == "guan") {
      w.hasGuano = true;
      w.guanoOffset = pos;
      const std::string text = bytes.substr(pos + 8, size);
      size_t at = 0;
      while (at < text.size()) {
        size_t nl = text.find('\n', at);
        std::string line = text.substr(at, nl == std::string::npos ? std::string::npos : nl - at);
        at = nl == std::string::npos ? text.size() : nl + 1;
        size_t colon = line.find(": ");
        if (colon == std::string::npos && !line.empty() && line.back() == ':') colon = line.size() - 1;
        if (colon == std::string::npos) {
          if (!line.empty() && line.find_first_not_of('\0') != std::string::npos) w.error = "bad line: " + line;
          continue;
        }
        w.guano.emplace_back(line.substr(0, colon), colon + 2 <= line.size() ? line.substr(colon + 2) : "");
      }
    }
    pos += 8 + size + (size & 1);
  }
  if (pos != bytes.size()) w.error = "chunks do not end at the end of the file";
  return w;
}

// The file up to the end of its "data" chunk, once what follows has been
// checked to be exactly one whole "guan" chunk; the whole file otherwise.
inline std::string samplesPart(const std::string& bytes) {
  if (bytes.size() < 44) return bytes;
  const size_t end = 44 + size_t(wavLe32(bytes, 40));
  if (end + 8 > bytes.size() || bytes.compare(end, 4, "guan") != 0) return bytes;
  const uint32_t size = wavLe32(bytes, end + 4);
  if (end + 8 + size + (size & 1) != bytes.size() || bytes.compare(end + 8, 13, "GUANO|Version") != 0) return bytes;
  return bytes.substr(0, end);
}
inline std::string readWavSamples(const std::string& path) { return samplesPart(readFile(path)); }

}  // namespace qv::test
