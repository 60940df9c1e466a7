#include "realtime/line_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace qv {

static bool writeAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

bool LineLog::create(const std::string& path) {
  path_ = path;
  active_ = false;
  int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  active_ = ::close(fd) == 0;
  return active_;
}

bool LineLog::append(std::string_view line) {
  if (!active_) return false;
  // O_CREAT: a log deleted while the run goes on starts again rather than
  // silently losing every later line.
  int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = writeAll(fd, line.data(), line.size());
  if (::close(fd) != 0) ok = false;
  return ok;
}

}  // namespace qv
