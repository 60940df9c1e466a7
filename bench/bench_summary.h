// Lines printed after the benchmark table: figures that only mean something
// as ratios measured in the same run. A benchmark runs several times while
// Google Benchmark settles its iteration count; the last run's line stands.
#pragma once

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

namespace bench {

// CPU seconds of the calling thread: what a pass costs, whatever else runs.
inline double threadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

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
