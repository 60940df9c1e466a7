#include "remote/nmea.h"

#include <cctype>
#include <cmath>

namespace qv {

std::string GetParameter(const std::string& line, const std::string& separator, int position) {
  std::string result;
  if (position <= 0) return result;
  const std::string sep = separator.empty() ? std::string(",") : separator;
  int field = 1;
  for (char c : line) {
    // A separator of several characters never equals one character: the
    // whole line is then field 1.
    if (sep.size() == 1 && c == sep[0]) ++field;
    if (field == position) result += c;
    else if (field > position) break;
  }
  if (position > 1 && !result.empty()) result.erase(0, 1);
  return result;
}

LatLongText decodeLatLong(const std::string& line, int latPosition, int longPosition) {
  auto split = [](const std::string& f, size_t head) {
    return f.substr(0, head) + " " + (f.size() > head ? f.substr(head) : std::string());
  };
  return {split(GetParameter(line, ",", latPosition), 2), split(GetParameter(line, ",", longPosition), 3)};
}

std::vector<std::string> SerialLineAssembler::feed(std::string_view piece) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t lf = piece.find('\n', start);
    if (lf == std::string_view::npos) break;
    pending_.append(piece.substr(start, lf - start));
    if (!pending_.empty() && pending_.back() == '\r') pending_.pop_back();
    lines.push_back(std::move(pending_));
    pending_.clear();
    start = lf + 1;
  }
  pending_.append(piece.substr(start));
  if (pending_.size() > kMaxLine) pending_.clear();
  return lines;
}

namespace {

std::vector<std::string_view> fields(std::string_view s) {
  std::vector<std::string_view> f;
  size_t start = 0;
  for (;;) {
    size_t comma = s.find(',', start);
    f.push_back(s.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    if (comma == std::string_view::npos) return f;
    start = comma + 1;
  }
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// "4807.038" with at most `degreeDigits` digits of degrees -> 48.1173.
std::optional<double> degreesMinutes(std::string_view t, int degreeDigits, double maxDegrees) {
  if (t.empty() || t.size() > 16) return std::nullopt;
  size_t dot = t.find('.');
  std::string_view whole = t.substr(0, dot);
  std::string_view frac = dot == std::string_view::npos ? std::string_view() : t.substr(dot + 1);
  if (whole.size() < 3 || whole.size() > static_cast<size_t>(degreeDigits) + 2) return std::nullopt;
  for (char c : whole)
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
  for (char c : frac)
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
  double degrees = 0;
  for (char c : whole.substr(0, whole.size() - 2)) degrees = degrees * 10 + (c - '0');
  double minutes = (whole[whole.size() - 2] - '0') * 10 + (whole.back() - '0');
  double scale = 0.1;
  for (char c : frac) {
    minutes += (c - '0') * scale;
    scale /= 10;
  }
  if (minutes >= 60.0) return std::nullopt;
  double v = degrees + minutes / 60.0;
  if (v > maxDegrees) return std::nullopt;
  return v;
}

}  // namespace

std::optional<PositionFix> parsePositionSentence(std::string_view s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ')) s.remove_suffix(1);
  if (s.size() < 7 || s.size() > 200 || s[0] != '$') return std::nullopt;
  const size_t star = s.find('*');
  if (star != std::string_view::npos) {
    if (star + 3 != s.size()) return std::nullopt;
    int hi = hexDigit(s[star + 1]), lo = hexDigit(s[star + 2]);
    if (hi < 0 || lo < 0) return std::nullopt;
    unsigned sum = 0;
    for (size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(s[i]);
    if (sum != static_cast<unsigned>(hi * 16 + lo)) return std::nullopt;
    s = s.substr(0, star);
  }
  auto f = fields(s);
  const std::string_view tag = f[0];
  if (tag.size() != 6 || !std::isupper(static_cast<unsigned char>(tag[1])) ||
      !std::isupper(static_cast<unsigned char>(tag[2])))
    return std::nullopt;
  const std::string_view type = tag.substr(3);
  size_t latAt = 0;
  if (type == "RMC") {
    if (f.size() < 7 || f[2] != "A") return std::nullopt;
    latAt = 3;
  } else if (type == "GGA") {
    if (f.size() < 7 || f[6].empty() || f[6] == "0") return std::nullopt;
    latAt = 2;
  } else {
    return std::nullopt;
  }
  auto lat = degreesMinutes(f[latAt], 2, 90.0);
  auto lon = degreesMinutes(f[latAt + 2], 3, 180.0);
  const std::string_view ns = f[latAt + 1], ew = f[latAt + 3];
  if (!lat || !lon || (ns != "N" && ns != "S") || (ew != "E" && ew != "W")) return std::nullopt;
  PositionFix fix;
  fix.valid = true;
  fix.latitude = ns == "S" ? -*lat : *lat;
  fix.longitude = ew == "W" ? -*lon : *lon;
  return fix;
}

std::optional<PositionFix> parsePositionText(std::string_view text) {
  std::optional<PositionFix> last;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    std::string_view line = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (auto f = parsePositionSentence(line)) last = f;
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return last;
}

}  // namespace qv
