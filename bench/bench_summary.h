// Lines printed after the benchmark table: figures that only mean something
// as ratios measured in the same run. A benchmark runs several times while
// Google Benchmark settles its iteration count; the last run's line stands.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace bench {

inline std::vector<std::pair<std::string, std::string>>& summaryLines() {
  static std::vector<std::pair<std::string, std::string>> lines;
  return lines;
}

// Sets the line kept under `key`; lines print in key order.
inline void summary(const std::string& key, const std::string& line) {
  for (auto& [k, l] : summaryLines())
    if (k == key) {
      l = line;
      return;
    }
  summaryLines().emplace_back(key, line);
}

inline void printSummary() {
  if (summaryLines().empty()) return;
  auto lines = summaryLines();
  std::sort(lines.begin(), lines.end());
  std::printf("\n");
  for (auto& kl : lines) std::printf("%s\n", kl.second.c_str());
  std::fflush(stdout);
}

}  // namespace bench
