#include "platform/qt/std_disk.h"

#include <cstdio>
#include <filesystem>

namespace qv {

namespace fs = std::filesystem;

// The nearest existing folder: a recording folder may not exist yet.
static fs::path existing(const std::string& path) {
  fs::path p = path.empty() ? fs::path(".") : fs::path(path);
  std::error_code ec;
  while (!p.empty() && !fs::exists(p, ec)) p = p.parent_path();
  return p.empty() ? fs::path(".") : p;
}

int64_t StdDisk::freeKB(const std::string& path) {
  std::error_code ec;
  auto s = fs::space(existing(path), ec);
  if (ec) return -1;
  return static_cast<int64_t>(s.available / 1024);
}

int64_t StdDisk::totalKB(const std::string& path) {
  std::error_code ec;
  auto s = fs::space(existing(path), ec);
  if (ec) return -1;
  return static_cast<int64_t>(s.capacity / 1024);
}

bool StdDisk::isWritable(const std::string& folder) {
  std::string f = folder;
  if (!f.empty() && f.back() != '/') f += '/';
  std::string probe = f + "killme.tmp";
  FILE* fp = std::fopen(probe.c_str(), "wb");
  if (!fp) return false;
  bool ok = std::fputs("test", fp) >= 0;
  ok = std::fclose(fp) == 0 && ok;
  std::remove(probe.c_str());
  return ok;
}

}  // namespace qv
