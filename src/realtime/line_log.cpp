#include "realtime/line_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace qv {

bool LineLog::create(const std::string& path) {
  close();
  path_ = path;
  fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
  return fd_ >= 0;
}

bool LineLog::append(std::string_view line) {
  if (fd_ < 0) return false;
  const char* p = line.data();
  size_t n = line.size();
  while (n > 0) {
    ssize_t w = ::write(fd_, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

void LineLog::close() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
}

}  // namespace qv
