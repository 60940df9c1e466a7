// Free space and writability of the filesystem that holds a folder.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

class DiskInfo {
 public:
  virtual ~DiskInfo() = default;
  // Free kilobytes available to the program; -1 when the path is unusable.
  virtual int64_t freeKB(const std::string& path) = 0;
  virtual int64_t totalKB(const std::string& path) = 0;
  // Creates, writes and deletes "killme.tmp" in the folder.
  virtual bool isWritable(const std::string& folder) = 0;
};

}  // namespace qv
