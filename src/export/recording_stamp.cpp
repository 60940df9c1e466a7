#include "export/recording_stamp.h"

#include <cctype>
#include <cmath>
#include <cstdio>

#include "files/byte_source.h"
#include "files/guano.h"

namespace qv {

namespace {

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

int digitsAt(const std::string& s, size_t at, int n) {
  int v = 0;
  for (int i = 0; i < n; ++i) v = v * 10 + (s[at + static_cast<size_t>(i)] - '0');
  return v;
}

bool leapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool validDate(int y, int m, int d) {
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1900 || y > 2199 || m < 1 || m > 12 || d < 1) return false;
  if (m == 2 && d == 29) return leapYear(y);
  return d <= kDays[m - 1];
}

// Length of the run of digits starting at `at`.
size_t digitRun(const std::string& s, size_t at) {
  size_t n = 0;
  while (at + n < s.size() && isDigit(s[at + n])) ++n;
  return n;
}

std::string twoDigits(int v) { return std::string(1, static_cast<char>('0' + v / 10)) + static_cast<char>('0' + v % 10); }

}  // namespace

std::string RecordingStamp::text() const {
  std::string t = date;
  if (!time.empty()) t += (t.empty() ? "" : " ") + time;
  return t;
}

std::optional<RecordingStamp> stampFromName(const std::string& name) {
  std::optional<RecordingStamp> dateOnly;
  for (size_t i = 0; i < name.size();) {
    const size_t run = digitRun(name, i);
    if (run == 0) {
      ++i;
      continue;
    }
    // Exactly eight digits (a run of 14, YYYYMMDDhhmmss, also holds a date).
    if (run == 8 || run == 14) {
      const int y = digitsAt(name, i, 4), m = digitsAt(name, i + 4, 2), d = digitsAt(name, i + 6, 2);
      if (validDate(y, m, d)) {
        RecordingStamp st;
        st.date = std::to_string(y) + "-" + twoDigits(m) + "-" + twoDigits(d);
        size_t t = i + 8;
        if (run == 8 && t < name.size() && (name[t] == ' ' || name[t] == '_' || name[t] == '-' || name[t] == 'T'))
          ++t;
        if (t + 6 <= name.size() && digitRun(name, t) >= 6) {
          const int hh = digitsAt(name, t, 2), mm = digitsAt(name, t + 2, 2), ss = digitsAt(name, t + 4, 2);
          if (hh < 24 && mm < 60 && ss < 60) {
            st.time = twoDigits(hh) + ":" + twoDigits(mm) + ":" + twoDigits(ss);
            st.secondsOfDay = hh * 3600 + mm * 60 + ss;
            return st;
          }
        }
        if (!dateOnly) dateOnly = st;
      }
    }
    i += run;
  }
  return dateOnly;
}

RecordingStamp recordingStamp(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (auto st = stampFromName(name)) return *st;
  return {};
}

std::string guanoPlaceAndTime(const std::string& path) {
  FileByteSource src;
  if (!src.open(path)) return {};
  const GuanoChunk chunk = readGuanoChunk(src);
  if (!chunk.found) return {};
  const GuanoRecord r = guanoRecordOf(parseGuanoText(chunk.text));
  std::string line;
  if (r.timestamp) {
    // "2026-12-08T12:47:24.532+00:00" read as a person writes it.
    std::string iso = isoTimestamp(*r.timestamp);
    if (iso.size() > 10 && iso[10] == 'T') iso[10] = ' ';
    const size_t sign = iso.find_first_of("+-", 19);
    if (sign != std::string::npos) iso.insert(sign, " ");
    line = "Recorded " + iso;
  }
  if (r.position && r.position->valid) {
    char at[80];
    std::snprintf(at, sizeof at, "%.6f %c %.6f %c", std::fabs(r.position->latitude),
                  r.position->latitude < 0 ? 'S' : 'N', std::fabs(r.position->longitude),
                  r.position->longitude < 0 ? 'W' : 'E');
    line += (line.empty() ? "Recorded at " : " at ") + std::string(at);
  }
  return line;
}

}  // namespace qv
