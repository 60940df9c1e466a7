// Helpers shared by the recording-loop and RAM-buffer tests: log lines,
// WAV fields, sox.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace qv::test {

inline std::vector<std::string> logLines(const std::string& path) {
  std::string all = readFile(path);
  std::vector<std::string> out;
  size_t at = 0;
  while (at < all.size()) {
    size_t end = all.find("\r\n", at);
    if (end == std::string::npos) {
      out.push_back(all.substr(at) + "<no CR LF>");
      break;
    }
    out.push_back(all.substr(at, end - at));
    at = end + 2;
  }
  return out;
}

inline std::string pad14(const std::string& s) { return s + std::string(s.size() < 14 ? 14 - s.size() : 1, ' '); }

// A recording-log line of the test day: date, time, FileTime, message.
inline std::string recLine(const std::string& time, const std::string& fileTime, const std::string& message) {
  return pad14("01-15-2026") + pad14(time) + pad14(fileTime) + message;
}

inline uint32_t le32(const std::string& b, size_t at) {
  return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
         uint32_t(uint8_t(b[at + 3])) << 24;
}
inline int16_t sampleAt(const std::string& b, size_t at) {
  return static_cast<int16_t>(uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8));
}

// Length in samples per channel as sox reads it; -1 when sox is missing or refuses.
inline long long soxSamples(const std::string& path) {
  FILE* f = popen(("soxi -s '" + path + "' 2>/dev/null").c_str(), "r");
  if (!f) return -1;
  char buf[64] = {0};
  const bool got = fgets(buf, sizeof buf, f) != nullptr;
  const int rc = pclose(f);
  if (!got || rc != 0) return -1;
  return std::stoll(buf);
}

inline bool haveSox() {
  FILE* f = popen("command -v soxi >/dev/null 2>&1 && echo y", "r");
  if (!f) return false;
  char buf[8] = {0};
  const bool y = fgets(buf, sizeof buf, f) != nullptr;
  pclose(f);
  return y;
}

}  // namespace qv::test
