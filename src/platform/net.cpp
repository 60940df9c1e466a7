#include "platform/net.h"

#include <sys/random.h>

#include <cctype>
#include <cerrno>
#include <vector>

namespace qv {

namespace {

std::string trimmed(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return s.substr(a, b - a);
}

// A whole number of at most `maxDigits` digits, nothing else.
bool smallNumber(const std::string& s, size_t maxDigits, long& out) {
  if (s.empty() || s.size() > maxDigits) return false;
  long v = 0;
  for (char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    v = v * 10 + (c - '0');
  }
  out = v;
  return true;
}

}  // namespace

std::string serialDevicePath(const std::string& portOrPath) {
  std::string p = trimmed(portOrPath);
  if (p.empty()) return {};
  if (p[0] == '/') return p;
  if (p.size() > 3 && std::toupper(static_cast<unsigned char>(p[0])) == 'C' &&
      std::toupper(static_cast<unsigned char>(p[1])) == 'O' && std::toupper(static_cast<unsigned char>(p[2])) == 'M')
    p = p.substr(3);
  long n = 0;
  if (!smallNumber(p, 4, n) || n < 1) return {};
  return "/dev/ttyS" + std::to_string(n - 1);
}

bool parseSerialSettings(const std::string& text, SerialSettings& out, std::string& error) {
  std::vector<std::string> f;
  size_t start = 0;
  for (;;) {
    size_t comma = text.find(',', start);
    f.push_back(trimmed(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  const std::string shown = "\"" + (text.size() > 40 ? text.substr(0, 40) + "..." : text) + "\"";
  if (f.size() > 4) {
    error = "Settings " + shown + ": more than baud, parity, data bits and stop bits";
    return false;
  }
  SerialSettings s;
  long baud = 0;
  if (!smallNumber(f[0], 7, baud) || baud < 50 || baud > 4000000) {
    error = "Settings " + shown + ": the baud rate must be a number from 50 to 4000000";
    return false;
  }
  s.baud = static_cast<int>(baud);
  if (f.size() > 1) {
    const std::string& par = f[1];
    const char c = par.size() == 1 ? static_cast<char>(std::toupper(static_cast<unsigned char>(par[0]))) : '?';
    switch (c) {
      case 'N': s.parity = Parity::None; break;
      case 'E': s.parity = Parity::Even; break;
      case 'O': s.parity = Parity::Odd; break;
      case 'M': s.parity = Parity::Mark; break;
      case 'S': s.parity = Parity::Space; break;
      default:
        error = "Settings " + shown + ": the parity must be N, E, O, M or S";
        return false;
    }
  }
  if (f.size() > 2) {
    long bits = 0;
    if (!smallNumber(f[2], 1, bits) || bits < 5 || bits > 8) {
      error = "Settings " + shown + ": the data bits must be 5, 6, 7 or 8";
      return false;
    }
    s.dataBits = static_cast<int>(bits);
  }
  if (f.size() > 3) {
    if (f[3] == "1") s.stopBits = StopBits::One;
    else if (f[3] == "1.5") s.stopBits = StopBits::OneAndHalf;
    else if (f[3] == "2") s.stopBits = StopBits::Two;
    else {
      error = "Settings " + shown + ": the stop bits must be 1, 1.5 or 2";
      return false;
    }
  }
  out = s;
  error.clear();
  return true;
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
