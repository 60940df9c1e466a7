#include "platform/net.h"

#include <sys/random.h>

#include <cctype>
#include <cerrno>

namespace qv {

std::string serialDevicePath(const std::string& p) {
  if (p.empty()) return p;
  for (char c : p)
    if (!std::isdigit(static_cast<unsigned char>(c))) return p;
  long n = std::stol(p);
  return "/dev/ttyS" + std::to_string(n > 0 ? n - 1 : 0);
}

bool systemRandomBytes(uint8_t* out, size_t size) {
  size_t got = 0;
  while (got < size) {
    const ssize_t n = ::getrandom(out + got, size - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    got += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace qv
