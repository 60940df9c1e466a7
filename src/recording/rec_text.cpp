#include "recording/rec_text.h"

#include <cstring>

#include "analysis/text_format.h"

#include <cmath>
#include <cstdio>

namespace qv {


std::string FormatDuration(double seconds) { return formatDuration(seconds); }

namespace rec {

std::string numText(int64_t v) { return v < 0 ? std::to_string(v) : " " + std::to_string(v); }

std::string numText(double v) {
  if (!std::isfinite(v)) return " 0";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", std::fabs(v));
  std::string s = buf;
  if (s.rfind("0.", 0) == 0) s.erase(0, 1);  // " .5", as the platform prints it
  if (s == "0" || v >= 0) return " " + s;
  return "-" + s;
}

static std::string pad(int v, int width) {
  std::string s = std::to_string(v < 0 ? 0 : v);
  while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
  return s;
}

std::string dateStamp(const DateTime& t) { return pad(t.year, 4) + pad(t.month, 2) + pad(t.day, 2); }

std::string dateTimeStamp(const DateTime& t) {
  return dateStamp(t) + " " + pad(t.hour, 2) + pad(t.minute, 2) + pad(t.second, 2);
}

std::string logDate(const DateTime& t) { return pad(t.month, 2) + "-" + pad(t.day, 2) + "-" + pad(t.year, 4); }

std::string clockTime(const DateTime& t) { return pad(t.hour, 2) + ":" + pad(t.minute, 2) + ":" + pad(t.second, 2); }

std::string printZones(const std::vector<std::string>& items) {
  std::string line;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) line.append((line.size() / 14 + 1) * 14 - line.size(), ' ');
    line += items[i];
  }
  return line;
}

std::string folderOf(const std::string& path) {
  auto p = path.rfind('/');
  return p == std::string::npos ? std::string() : path.substr(0, p + 1);
}

std::string fileNameOf(const std::string& path) {
  auto p = path.rfind('/');
  return p == std::string::npos ? path : path.substr(p + 1);
}

std::string removeExtension(const std::string& path) {
  if (path.size() >= 4 && path[path.size() - 4] == '.') return path.substr(0, path.size() - 4);
  return path;
}

std::string removeColons(const std::string& s) {
  std::string r;
  for (char c : s)
    if (c != ':') r += c;
  return r;
}

std::string withSlash(const std::string& folder) {
  if (!folder.empty() && folder.back() != '/') return folder + "/";
  return folder;
}

std::string trimBlanks(const std::string& s) {
  size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return {};
  size_t b = s.find_last_not_of(' ');
  return s.substr(a, b - a + 1);
}

std::string fileNameSafe(std::string s) {
  for (char& c : s) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || std::strchr("/\\:*?<>|\"", c)) c = '-';
  }
  return s;
}

}  // namespace rec
}  // namespace qv
