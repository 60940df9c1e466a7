// Disk information from the filesystem that holds a path.
#pragma once

#include "platform/disk.h"

namespace qv {

class StdDisk : public DiskInfo {
 public:
  int64_t freeKB(const std::string& path) override;
  int64_t totalKB(const std::string& path) override;
  bool isWritable(const std::string& folder) override;
};

}  // namespace qv
