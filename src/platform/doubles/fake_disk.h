// Disk double: free space per folder prefix, writability per folder.
#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/disk.h"

namespace qv {

class FakeDisk : public DiskInfo {
 public:
  int64_t defaultFreeKB = 100LL * 1024 * 1024;
  std::map<std::string, int64_t> freeByPrefix;  // longest matching prefix wins
  std::set<std::string> notWritable;

  int64_t freeKB(const std::string& path) override {
    size_t best = 0;
    int64_t v = defaultFreeKB;
    for (auto& [p, kb] : freeByPrefix)
      if (path.rfind(p, 0) == 0 && p.size() >= best) best = p.size(), v = kb;
    return v;
  }
  int64_t totalKB(const std::string&) override { return 500LL * 1024 * 1024; }
  bool isWritable(const std::string& folder) override { return !notWritable.count(folder); }
};

}  // namespace qv
