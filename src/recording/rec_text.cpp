#include "recording/rec_text.h"

#include <cmath>
#include <cstdio>

namespace qv {

static std::string lastChars(const std::string& s, size_t n) { return s.size() <= n ? s : s.substr(s.size() - n); }

std::string FormatDuration(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  double whole = std::floor(seconds);
  auto s = static_cast<int64_t>(whole);
  auto ms = static_cast<int64_t>(std::nearbyint((seconds - whole) * 1000.0));
  if (ms >= 1000) {  // 0.9996 s is 00:00:01.000, not 00:00:00.000
    ms -= 1000;
    ++s;
  }
  int64_t minutes = s / 60;
  int64_t secs = s % 60;
  int64_t hours = minutes / 60;
  minutes %= 60;
  auto two = [](int64_t v) { return lastChars("0" + std::to_string(v), 2); };
  return two(hours) + ":" + two(minutes) + ":" + two(secs) + "." + lastChars("00" + std::to_string(ms), 3);
}

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

}  // namespace rec
}  // namespace qv
