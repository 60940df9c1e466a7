#include "remote/web_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/net.h"

namespace qv::web {
namespace {

namespace fs = std::filesystem;

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

std::string lowered(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = lower(c);
  return r;
}

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// RFC 9110 token characters (method and header names).
bool isTchar(char c) {
  if (std::isalnum(static_cast<unsigned char>(c))) return true;
  return std::strchr("!#$%&'*+-.^_`|~", c) != nullptr && c != '\0';
}

bool isToken(std::string_view s) {
  if (s.empty()) return false;
  return std::all_of(s.begin(), s.end(), isTchar);
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A comma-separated header value that contains `word` (case aside).
bool listHas(std::string_view value, std::string_view word) {
  while (!value.empty()) {
    const size_t comma = value.find(',');
    if (iequals(trim(value.substr(0, comma)), word)) return true;
    if (comma == std::string_view::npos) break;
    value.remove_prefix(comma + 1);
  }
  return false;
}

bool parseQuery(std::string_view q, std::vector<std::pair<std::string, std::string>>& out) {
  while (!q.empty()) {
    const size_t amp = q.find('&');
    const std::string_view part = q.substr(0, amp);
    if (!part.empty()) {
      const size_t eq = part.find('=');
      std::string k, v;
      if (!percentDecode(part.substr(0, eq), k, true)) return false;
      if (eq != std::string_view::npos && !percentDecode(part.substr(eq + 1), v, true)) return false;
      out.emplace_back(std::move(k), std::move(v));
    }
    if (amp == std::string_view::npos) break;
    q.remove_prefix(amp + 1);
  }
  return true;
}

}  // namespace

std::string Request::header(std::string_view lowerName) const {
  for (const auto& [k, v] : headers)
    if (k == lowerName) return v;
  return {};
}

bool Request::hasHeader(std::string_view lowerName) const {
  return std::any_of(headers.begin(), headers.end(), [&](const auto& h) { return h.first == lowerName; });
}

std::string Request::queryValue(std::string_view name) const {
  for (const auto& [k, v] : query)
    if (k == name) return v;
  return {};
}

bool percentDecode(std::string_view in, std::string& out, bool plusIsBlank) {
  out.clear();
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    char c = in[i];
    if (c == '%') {
      if (i + 2 >= in.size()) return false;
      const int hi = hexValue(in[i + 1]), lo = hexValue(in[i + 2]);
      if (hi < 0 || lo < 0) return false;
      c = static_cast<char>(hi * 16 + lo);
      i += 2;
    } else if (c == '+' && plusIsBlank) {
      c = ' ';
    }
    if (c == '\0') return false;
    out += c;
  }
  return true;
}

bool parseHead(std::string_view head, Request& out, int& status) {
  out = Request{};
  status = 400;
  if (head.size() > kMaxHeadBytes) {
    status = 431;
    return false;
  }
  // Up to the blank line; everything after it is not head.
  if (const size_t end = head.find("\r\n\r\n"); end != std::string_view::npos) head = head.substr(0, end + 2);

  std::vector<std::string_view> lines;
  while (!head.empty()) {
    const size_t eol = head.find("\r\n");
    const std::string_view line = head.substr(0, eol);
    if (line.find('\n') != std::string_view::npos || line.find('\r') != std::string_view::npos) return false;
    lines.push_back(line);
    if (eol == std::string_view::npos) break;
    head.remove_prefix(eol + 2);
  }
  if (lines.empty()) return false;

  // Request line: METHOD SP target SP HTTP/1.x, single blanks.
  const std::string_view rl = lines[0];
  const size_t a = rl.find(' ');
  const size_t b = rl.rfind(' ');
  if (a == std::string_view::npos || b == a) return false;
  const std::string_view method = rl.substr(0, a), target = rl.substr(a + 1, b - a - 1), version = rl.substr(b + 1);
  if (!isToken(method)) return false;
  if (version != "HTTP/1.1" && version != "HTTP/1.0") {
    status = version.substr(0, 5) == "HTTP/" ? 505 : 400;
    return false;
  }
  if (target.size() > kMaxTargetBytes) {
    status = 414;
    return false;
  }
  if (target.empty() || target[0] != '/') return false;
  for (char c : target)
    if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F || c == '#') return false;
  out.method = std::string(method);
  out.target = std::string(target);
  const size_t qm = target.find('?');
  if (!percentDecode(target.substr(0, qm), out.path, false)) return false;
  if (qm != std::string_view::npos && !parseQuery(target.substr(qm + 1), out.query)) return false;

  if (lines.size() - 1 > kMaxHeaders) {
    status = 431;
    return false;
  }
  bool seenLength = false;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (line.empty()) continue;
    if (line[0] == ' ' || line[0] == '\t') return false;  // folded
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || !isToken(line.substr(0, colon))) return false;
    const std::string_view value = trim(line.substr(colon + 1));
    for (char c : value)
      if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) return false;
    std::string name = lowered(line.substr(0, colon));
    if (name == "content-length") {
      if (seenLength || value.empty() || value.size() > 9) return false;
      if (!std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
      seenLength = true;
      out.contentLength = static_cast<size_t>(std::stoul(std::string(value)));
    } else if (name == "transfer-encoding") {
      status = 501;
      return false;
    } else if (name == "host" && out.hasHeader("host")) {
      return false;
    }
    out.headers.emplace_back(std::move(name), std::string(value));
  }
  if (version == "HTTP/1.1" && !out.hasHeader("host")) return false;
  if (out.contentLength > kMaxBodyBytes) {
    status = 413;
    return false;
  }
  out.upgradeToWebSocket =
      iequals(out.header("upgrade"), "websocket") && listHas(out.header("connection"), "upgrade");
  status = 200;
  return true;
}

std::string cookieValue(std::string_view cookieHeader, std::string_view name) {
  while (!cookieHeader.empty()) {
    const size_t semi = cookieHeader.find(';');
    const std::string_view part = trim(cookieHeader.substr(0, semi));
    const size_t eq = part.find('=');
    if (eq != std::string_view::npos && trim(part.substr(0, eq)) == name) {
      std::string_view v = trim(part.substr(eq + 1));
      if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
      return std::string(v);
    }
    if (semi == std::string_view::npos) break;
    cookieHeader.remove_prefix(semi + 1);
  }
  return {};
}

bool sameToken(std::string_view presented, std::string_view expected) {
  // Every byte of the expected token is looked at whatever was presented.
  unsigned diff = presented.size() == expected.size() ? 0u : 1u;
  const size_t n = expected.size();
  for (size_t i = 0; i < n; ++i) {
    const unsigned char p = i < presented.size() ? static_cast<unsigned char>(presented[i]) : 0;
    diff |= p ^ static_cast<unsigned char>(expected[i]);
  }
  return n > 0 && diff == 0;
}

bool tokenInQuery(const Request& r, std::string_view expected) {
  for (const auto& [k, v] : r.query)
    if (k == "token" && sameToken(v, expected)) return true;
  return false;
}

bool admitted(const Request& r, std::string_view expected) {
  if (expected.empty()) return false;
  bool ok = false;
  // Every presented form is compared, so which one matched takes no less time.
  const std::string auth = r.header("authorization");
  if (auth.size() > 7 && iequals(std::string_view(auth).substr(0, 7), "bearer "))
    ok |= sameToken(trim(std::string_view(auth).substr(7)), expected);
  for (const auto& [k, v] : r.headers)
    if (k == "cookie") ok |= sameToken(cookieValue(v, kTokenCookie), expected);
  ok |= tokenInQuery(r, expected);
  return ok;
}

bool foreignOrigin(const Request& r) {
  if (!r.hasHeader("origin")) return false;
  const std::string origin = r.header("origin");
  const std::string host = r.header("host");
  if (host.empty()) return true;
  return !iequals(origin, "http://" + host);
}

std::string tokenProblem(std::string_view token) {
  if (token.size() < kMinTokenLength)
    return "The web token needs at least " + std::to_string(kMinTokenLength) + " characters";
  for (char c : token) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F || c == '"' || c == ',' || c == ';' || c == '\\')
      return "The web token may hold only visible ASCII characters without blanks, quotes, commas, semicolons "
             "or backslashes";
  }
  return {};
}

std::string newToken() {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  uint8_t bytes[24];
  if (!systemRandomBytes(bytes, sizeof bytes)) return {};
  std::string t;
  // Four characters per three bytes, six bits each.
  for (size_t i = 0; i < sizeof bytes; i += 3) {
    const uint32_t v = (uint32_t(bytes[i]) << 16) | (uint32_t(bytes[i + 1]) << 8) | bytes[i + 2];
    for (int s = 18; s >= 0; s -= 6) t += kAlphabet[(v >> s) & 63];
  }
  return t;
}

std::string readTokenFile(const std::string& path, std::string& error) {
  error.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    error = errno == ENOENT ? "" : std::string(std::strerror(errno));
    return {};
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && (st.st_mode & 077) != 0) ::fchmod(fd, S_IRUSR | S_IWUSR);
  char buf[256];
  const ssize_t n = ::read(fd, buf, sizeof buf);
  ::close(fd);
  if (n < 0) {
    error = std::strerror(errno);
    return {};
  }
  std::string t(buf, static_cast<size_t>(n));
  while (!t.empty() && (t.back() == '\n' || t.back() == '\r' || t.back() == ' ')) t.pop_back();
  if (!tokenProblem(t).empty()) {
    error = "the stored token is not usable";
    return {};
  }
  return t;
}

bool writeTokenFile(const std::string& path, const std::string& token, std::string& error) {
  // Written beside and renamed, so a crash never leaves half a token; the
  // mode is set before a byte of the token is written.
  const std::string tmp = path + ".new";
  ::unlink(tmp.c_str());
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  ::fchmod(fd, S_IRUSR | S_IWUSR);
  const std::string line = token + "\n";
  const bool ok = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size()) && ::fsync(fd) == 0;
  if (!ok) error = std::strerror(errno);
  ::close(fd);
  if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
    if (ok) error = std::strerror(errno);
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

std::optional<std::string> fileInside(const std::string& folder, const std::string& name) {
  if (folder.empty() || name.empty() || name == "." || name == "..") return std::nullopt;
  for (char c : name)
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
  std::error_code ec;
  const fs::path base = fs::canonical(fs::path(folder), ec);
  if (ec) return std::nullopt;
  const fs::path file = fs::canonical(base / name, ec);
  if (ec) return std::nullopt;
  // The resolved file must sit directly in the resolved folder.
  if (file.parent_path() != base) return std::nullopt;
  if (!fs::is_regular_file(file, ec) || ec) return std::nullopt;
  return file.string();
}

std::string jsonString(std::string_view s) {
  std::string r = "\"";
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '"': r += "\\\""; break;
      case '\\': r += "\\\\"; break;
      case '\n': r += "\\n"; break;
      case '\r': r += "\\r"; break;
      case '\t': r += "\\t"; break;
      default:
        if (u < 0x20 || u == 0x7F) {
          static constexpr char kHex[] = "0123456789abcdef";
          r += "\\u00";
          r += kHex[u >> 4];
          r += kHex[u & 15];
        } else if (c == '<') {
          r += "\\u003c";  // never closes a script element
        } else {
          r += c;
        }
    }
  }
  r += '"';
  return r;
}

}  // namespace qv::web
