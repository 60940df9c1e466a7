#include "realtime/print_line.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace qv {

PrintLine& PrintLine::text(std::string_view s) {
  int n = static_cast<int>(s.size());
  if (n > kCapacity - len_) n = kCapacity - len_;
  std::memcpy(buf_ + len_, s.data(), static_cast<size_t>(n));
  len_ += n;
  return *this;
}

PrintLine& PrintLine::integer(int64_t v) {
  char tmp[32];
  int n = std::snprintf(tmp, sizeof tmp, v < 0 ? "%lld " : " %lld ", static_cast<long long>(v));
  return text({tmp, static_cast<size_t>(n)});
}

PrintLine& PrintLine::real(double v) {
  char tmp[40];
  int n = 0;
  if (!(v < 0)) tmp[n++] = ' ';
  n += formatReal(v, tmp + n);
  tmp[n++] = ' ';
  return text({tmp, static_cast<size_t>(n)});
}

PrintLine& PrintLine::zone() {
  // Column of the next character is len_ + 1; the next zone starts strictly after it.
  int next = (len_ / kZone + 1) * kZone;
  while (len_ < next && len_ < kCapacity) buf_[len_++] = ' ';
  return *this;
}

PrintLine& PrintLine::end() { return text("\r\n"); }

int formatReal(double v, char* out) {
  if (std::isnan(v)) return std::snprintf(out, 32, "NaN");
  if (std::isinf(v)) return std::snprintf(out, 32, v < 0 ? "-Inf" : "Inf");
  if (v == 0) v = 0;  // no "-0"
  double a = std::fabs(v);
  int n;
  if (a >= 1e7 && a < 1e15) {
    n = std::snprintf(out, 32, "%.0f", v);
  } else {
    n = std::snprintf(out, 32, "%.7g", v);
  }
  return n;
}

int formatLabelNumber(double v, char* out) {
  int n = 0;
  if (!(v < 0)) out[n++] = ' ';
  return n + formatReal(v, out + n);
}

}  // namespace qv
