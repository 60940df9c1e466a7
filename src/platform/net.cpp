#include "platform/net.h"

#include <cctype>

namespace qv {

std::string serialDevicePath(const std::string& p) {
  if (p.empty()) return p;
  for (char c : p)
    if (!std::isdigit(static_cast<unsigned char>(c))) return p;
  long n = std::stol(p);
  return "/dev/ttyS" + std::to_string(n > 0 ? n - 1 : 0);
}

}  // namespace qv
