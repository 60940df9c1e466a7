#include "files/guano.h"

#include "config/identity.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace qv {

namespace {

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int64_t& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = yoe + era * 400 + (m <= 2);
}

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool digits(std::string_view s, size_t at, size_t n, int& out) {
  if (at + n > s.size()) return false;
  int v = 0;
  for (size_t i = at; i < at + n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  out = v;
  return true;
}

bool parseInt64(std::string_view s, int64_t& out) {
  if (s.empty()) return false;
  auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool parseDouble(std::string_view s, double& out) {
  if (s.empty() || s.size() > 40) return false;
  std::string t(s);
  char* end = nullptr;
  out = std::strtod(t.c_str(), &end);
  return end == t.c_str() + t.size() && std::isfinite(out);
}

// Shortest plain decimal of a number that needs at most `decimals` decimals.
std::string decimalText(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  std::string s = buf;
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return s == "-0" ? "0" : s;
}

// Valid UTF-8 without control characters; anything else becomes "?" or a blank.
std::string cleanValue(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 || c == 0x7F) {
      out += ' ';
      ++i;
      continue;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
    bool ok = n > 0 && i + n <= s.size();
    for (size_t k = 1; ok && k < n; ++k) ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
    if (ok && n == 3) {
      const unsigned char c1 = static_cast<unsigned char>(s[i + 1]);
      ok = !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 >= 0xA0);  // overlong, surrogates
    }
    if (ok && n == 4) {
      const unsigned char c1 = static_cast<unsigned char>(s[i + 1]);
      ok = !(c == 0xF0 && c1 < 0x90) && !(c == 0xF4 && c1 >= 0x90);
    }
    if (ok) {
      out.append(s.substr(i, n));
      i += n;
    } else {
      out += '?';
      ++i;
    }
  }
  return out;
}

}  // namespace

GuanoTime guanoTimeOf(const DateTime& t) {
  GuanoTime g;
  const int64_t days = daysFromCivil(t.year, t.month, t.day);
  const int64_t localMs = ((days * 24 + t.hour) * 60 + t.minute) * 60000 + t.second * 1000LL + t.millisecond;
  g.offsetMinutes = t.utcOffsetMinutes;
  g.epochMs = localMs - t.utcOffsetMinutes * 60000LL;
  return g;
}

std::string isoTimestamp(const GuanoTime& t) {
  const int64_t localMs = t.epochMs + t.offsetMinutes * 60000LL;
  const int64_t days = floorDiv(localMs, 86400000);
  int64_t msOfDay = localMs - days * 86400000;
  int64_t y;
  int m, d;
  civilFromDays(days, y, m, d);
  const int off = std::abs(t.offsetMinutes);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04lld-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", static_cast<long long>(y), m, d,
                static_cast<int>(msOfDay / 3600000), static_cast<int>(msOfDay / 60000 % 60),
                static_cast<int>(msOfDay / 1000 % 60), static_cast<int>(msOfDay % 1000),
                t.offsetMinutes < 0 ? '-' : '+', off / 60, off % 60);
  return buf;
}

std::optional<GuanoTime> parseIsoTimestamp(std::string_view s) {
  s = trim(s);
  int y, mo, d, h, mi, sec;
  if (!digits(s, 0, 4, y) || s.size() < 19 || s[4] != '-' || !digits(s, 5, 2, mo) || s[7] != '-' ||
      !digits(s, 8, 2, d) || (s[10] != 'T' && s[10] != ' ') || !digits(s, 11, 2, h) || s[13] != ':' ||
      !digits(s, 14, 2, mi) || s[16] != ':' || !digits(s, 17, 2, sec))
    return std::nullopt;
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || sec > 60) return std::nullopt;
  size_t i = 19;
  int ms = 0;
  if (i < s.size() && s[i] == '.') {
    ++i;
    int scale = 100;
    size_t start = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      ms += (s[i] - '0') * scale;
      scale /= 10;
      ++i;
    }
    if (i == start) return std::nullopt;
  }
  int offset = 0;
  if (i < s.size()) {
    if (s[i] == 'Z' && i + 1 == s.size()) {
      offset = 0;
    } else if ((s[i] == '+' || s[i] == '-') && (s.size() == i + 6 || s.size() == i + 5 || s.size() == i + 3)) {
      int oh = 0, om = 0;
      if (!digits(s, i + 1, 2, oh)) return std::nullopt;
      if (s.size() == i + 6 && (s[i + 3] != ':' || !digits(s, i + 4, 2, om))) return std::nullopt;
      if (s.size() == i + 5 && !digits(s, i + 3, 2, om)) return std::nullopt;
      if (oh > 23 || om > 59) return std::nullopt;
      offset = (oh * 60 + om) * (s[i] == '-' ? -1 : 1);
    } else {
      return std::nullopt;
    }
  }
  DateTime t;
  t.year = y;
  t.month = mo;
  t.day = d;
  t.hour = h;
  t.minute = mi;
  t.second = sec;
  t.millisecond = ms;
  t.utcOffsetMinutes = offset;
  return guanoTimeOf(t);
}

GuanoTime plusSeconds(const GuanoTime& t, double seconds) {
  GuanoTime r = t;
  r.epochMs += static_cast<int64_t>(std::llround(seconds * 1000.0));
  return r;
}

std::string gapsText(const std::vector<GuanoGap>& gaps) {
  std::string s;
  for (const GuanoGap& g : gaps) {
    if (!s.empty()) s += ' ';
    s += std::to_string(g.frame) + ":" + std::to_string(g.lost);
  }
  return s;
}

std::vector<GuanoGap> parseGaps(std::string_view text) {
  std::vector<GuanoGap> gaps;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    size_t end = text.find(' ', i);
    std::string_view pair = text.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i);
    i = end == std::string_view::npos ? text.size() : end;
    const size_t colon = pair.find(':');
    GuanoGap g;
    if (colon == std::string_view::npos || !parseInt64(pair.substr(0, colon), g.frame) ||
        !parseInt64(pair.substr(colon + 1), g.lost) || g.frame < 0 || g.lost < 0)
      continue;
    gaps.push_back(g);
  }
  return gaps;
}

std::string positionText(const PositionFix& fix) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6f %.6f", fix.latitude, fix.longitude);
  return buf;
}

std::optional<PositionFix> parsePosition(std::string_view text) {
  text = trim(text);
  const size_t sp = text.find_first_of(" ,");
  if (sp == std::string_view::npos) return std::nullopt;
  PositionFix f;
  if (!parseDouble(trim(text.substr(0, sp)), f.latitude) || !parseDouble(trim(text.substr(sp + 1)), f.longitude))
    return std::nullopt;
  if (std::fabs(f.latitude) > 90 || std::fabs(f.longitude) > 180) return std::nullopt;
  f.valid = true;
  return f;
}

std::string guanoText(const GuanoRecord& r) {
  std::string s;
  auto field = [&s](std::string_view key, std::string_view value) {
    s += cleanValue(key);
    s += ": ";
    s += cleanValue(value);
    s += '\n';
  };
  field("GUANO|Version", "1.0");
  field("Make", kProductName);
  field("Model", kModelName);
  field("Firmware Version", kVersionNumber);
  if (r.timestamp) field("Timestamp", isoTimestamp(*r.timestamp));
  if (r.sampleRate > 0) {
    field("Samplerate", std::to_string(r.sampleRate));
    field("Length", decimalText(static_cast<double>(r.frames) / r.sampleRate, 6));
  }
  if (r.tapeSpeed > 0 && r.tapeSpeed != 1) field("TE", decimalText(r.tapeSpeed, 6));
  if (r.position && r.position->valid) field("Loc Position", positionText(*r.position));
  if (!r.note.empty()) field("Note", r.note);
  if (r.gapsKnown) field(kGuanoGapsKey, gapsText(r.gaps));
  for (const auto& [k, v] : r.extra) field(k, v);
  return s;
}

GuanoFields parseGuanoText(std::string_view text) {
  GuanoFields out;
  size_t i = 0;
  while (i < text.size()) {
    size_t end = text.find('\n', i);
    std::string_view line = text.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i);
    i = end == std::string_view::npos ? text.size() : end + 1;
    while (!line.empty() && line.back() == '\0') line.remove_suffix(1);
    // A key holds no colon: the first one ends it, so whatever the value
    // holds (times, further colons) reads back as it was written.
    const size_t at = line.find(':');
    if (at == std::string_view::npos) continue;
    // Read as the writer writes: control characters are blanks, bytes that
    // are no UTF-8 are "?", so what is read and written again stays the same.
    const std::string key = std::string(trim(cleanValue(trim(line.substr(0, at)))));
    if (key.empty()) continue;
    const std::string value =
        at + 1 < line.size() ? std::string(trim(cleanValue(trim(line.substr(at + 1))))) : std::string();
    out.emplace_back(key, value);
  }
  return out;
}

const std::string* guanoValue(const GuanoFields& fields, std::string_view key) {
  for (const auto& [k, v] : fields)
    if (k == key) return &v;
  return nullptr;
}

GuanoRecord guanoRecordOf(const GuanoFields& fields) {
  GuanoRecord r;
  for (const auto& [k, v] : fields) {
    if (k == "GUANO|Version" || k == "Make" || k == "Model" || k == "Firmware Version" || k == "Length") continue;
    if (k == "Timestamp") {
      r.timestamp = parseIsoTimestamp(v);
    } else if (k == "Samplerate") {
      int64_t n = 0;
      if (parseInt64(v, n) && n > 0 && n < 100000000) r.sampleRate = static_cast<int>(n);
    } else if (k == "TE") {
      double te = 1;
      if (parseDouble(v, te) && te > 0) r.tapeSpeed = te;
    } else if (k == "Loc Position") {
      r.position = parsePosition(v);
    } else if (k == "Note") {
      r.note = v;
    } else if (k == kGuanoGapsKey) {
      r.gapsKnown = true;
      r.gaps = parseGaps(v);
    } else {
      r.extra.emplace_back(k, v);
    }
  }
  return r;
}

GuanoChunk findTrailingGuano(const ByteSource& src, int64_t notBefore) {
  GuanoChunk c;
  const int64_t len = src.size();
  static constexpr char kPrefix[] = "GUANO|Version";
  const int64_t window = std::min<int64_t>(len, static_cast<int64_t>(kMaxGuanoBytes) + 9);
  if (window < 8 + static_cast<int64_t>(sizeof kPrefix) - 1) return c;
  const int64_t base = len - window;
  std::string tail(static_cast<size_t>(window), '\0');
  if (src.readAt(base, tail.data(), tail.size()) < tail.size()) return c;
  for (size_t i = 0; i + 8 <= tail.size(); ++i) {
    if (std::memcmp(tail.data() + i, "guan", 4) != 0) continue;
    const int64_t at = base + static_cast<int64_t>(i);
    if (at < notBefore) continue;
    const uint32_t size = le32(reinterpret_cast<const uint8_t*>(tail.data() + i + 4));
    if (size > kMaxGuanoBytes || size < sizeof kPrefix - 1) continue;
    const int64_t bodyEnd = at + 8 + size;
    if (bodyEnd != len && bodyEnd + (size & 1) != len) continue;
    if (std::memcmp(tail.data() + i + 8, kPrefix, sizeof kPrefix - 1) != 0) continue;
    c.found = true;
    c.offset = at;
    c.end = len;
    c.text.assign(tail.data() + i + 8, size);
    return c;
  }
  return c;
}

GuanoChunk readGuanoChunk(const ByteSource& src) {
  const int64_t len = src.size();
  uint8_t head[12];
  if (src.readAt(0, head, 12) < 12 || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0)
    return {};
  int64_t pos = 12;
  for (int n = 0; n < 100000 && pos + 8 <= len; ++n) {
    uint8_t ch[8];
    if (src.readAt(pos, ch, 8) < 8) break;
    const uint32_t size = le32(ch + 4);
    if (std::memcmp(ch, "guan", 4) == 0 && size <= kMaxGuanoBytes && pos + 8 + size <= len) {
      GuanoChunk c;
      c.text.assign(size, '\0');
      if (src.readAt(pos + 8, c.text.data(), size) == size) {
        c.found = true;
        c.offset = pos;
        c.end = pos + 8 + size + (size & 1);
        return c;
      }
    }
    pos += 8 + static_cast<int64_t>(size) + (size & 1);
  }
  return findTrailingGuano(src);
}

}  // namespace qv
