#include "files/markers.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "core/control.h"

namespace qv {

namespace {

class ListInput {
 public:
  explicit ListInput(std::string_view t) : t_(t) {}

  bool atEnd() {
    skipBlanks();
    return i_ >= t_.size();
  }
  void skipEmptyLines() {
    for (;;) {
      skipBlanks();
      if (i_ < t_.size() && (t_[i_] == '\r' || t_[i_] == '\n')) ++i_;
      else return;
    }
  }
  // Next field; false at the end of the text.
  bool field(std::string& out, bool numeric) {
    skipBlanks();
    if (i_ >= t_.size()) return false;
    out.clear();
    if (t_[i_] == '"') {
      size_t e = t_.find('"', i_ + 1);
      if (e == std::string_view::npos) e = t_.size();
      out.assign(t_.substr(i_ + 1, e - i_ - 1));
      i_ = std::min(e + 1, t_.size());
    } else {
      size_t s = i_;
      while (i_ < t_.size() && t_[i_] != ',' && t_[i_] != '\r' && t_[i_] != '\n' &&
             !(numeric && (t_[i_] == ' ' || t_[i_] == '\t')))
        ++i_;
      out.assign(t_.substr(s, i_ - s));
      while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
    }
    // One separator: a comma or a line end.
    skipBlanks();
    if (i_ < t_.size() && t_[i_] == ',') ++i_;
    else if (i_ < t_.size() && t_[i_] == '\r') {
      ++i_;
      if (i_ < t_.size() && t_[i_] == '\n') ++i_;
    } else if (i_ < t_.size() && t_[i_] == '\n') ++i_;
    return true;
  }

 private:
  void skipBlanks() {
    while (i_ < t_.size() && (t_[i_] == ' ' || t_[i_] == '\t')) ++i_;
  }
  std::string_view t_;
  size_t i_ = 0;
};

long long toInteger(const std::string& s, long long lo, long long hi) {
  return std::clamp(roundEven(leadingNumber(s)), lo, hi);
}

}  // namespace

std::string MarkerLoad::notice() const {
  if (!truncated()) return {};
  return "TEST.mrk holds " + std::to_string(recordsInFile) + " markers: only the first " +
         std::to_string(kMaxMarkers) + " are shown";
}

MarkerLoad parseMarkers(std::string_view text) {
  MarkerLoad r;
  ListInput in(text);
  std::string f[5];
  for (;;) {
    in.skipEmptyLines();
    if (in.atEnd()) break;
    bool complete = true;
    for (int k = 0; k < 5 && complete; ++k) complete = in.field(f[k], k < 4);
    if (!complete) break;
    ++r.recordsInFile;
    if (static_cast<int>(r.markers.size()) >= kMaxMarkers) continue;
    Marker m;
    m.id = static_cast<int32_t>(toInteger(f[0], INT32_MIN, INT32_MAX));
    m.sampleIndex = toInteger(f[1], -(1LL << 62), 1LL << 62);
    double a = leadingNumber(f[2]), b = leadingNumber(f[3]);
    m.a = std::fabs(a) < 3.4e38 ? static_cast<float>(a) : 0.0f;
    m.b = std::fabs(b) < 3.4e38 ? static_cast<float>(b) : 0.0f;
    m.label = f[4];
    r.markers.push_back(std::move(m));
  }
  return r;
}

MarkerLoad readMarkerFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary | std::ios::ate);
  if (!f) return {};
  // A test facility: a marker file beyond a few megabytes is not one.
  constexpr std::streamoff kMaxBytes = 16 * 1024 * 1024;
  std::streamoff len = f.tellg();
  f.seekg(0);
  std::string text(static_cast<size_t>(std::clamp<std::streamoff>(len, 0, kMaxBytes)), '\0');
  f.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(f.gcount()));
  return parseMarkers(text);
}

double ParseDuration(const std::string& text) {
  size_t c1 = text.find(':');
  if (c1 == std::string::npos) return leadingNumber(text);
  size_t c2 = text.find(':', c1 + 1);
  if (c2 == std::string::npos) return leadingNumber(text.substr(0, c1)) * 60 + leadingNumber(text.substr(c1 + 1));
  size_t c3 = text.find(':', c2 + 1);
  std::string sec = text.substr(c2 + 1, c3 == std::string::npos ? std::string::npos : c3 - c2 - 1);
  return leadingNumber(text.substr(0, c1)) * 3600 + leadingNumber(text.substr(c1 + 1, c2 - c1 - 1)) * 60 +
         leadingNumber(sec);
}

}  // namespace qv
