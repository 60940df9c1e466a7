// A GPS receiver's text: lines assembled from pieces of any size, the
// logger's field extraction and decoding, and the position parser.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "remote/nmea.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  // The first bytes choose the piece size, the field position and the separator.
  const size_t piece = data[0] % 97 + 1;
  const int position = static_cast<int>(static_cast<int8_t>(data[1]));
  const std::string separator(data[2] % 3 == 0 ? "" : data[2] % 3 == 1 ? "," : "*");
  std::string_view text(reinterpret_cast<const char*>(data + 3), size - 3);

  qv::SerialLineAssembler lines;
  size_t lineBytes = 0;
  for (size_t at = 0; at < text.size(); at += piece) {
    for (const std::string& line : lines.feed(text.substr(at, piece))) {
      if (line.find('\n') != std::string::npos) __builtin_trap();
      lineBytes += line.size();
      std::string field = qv::GetParameter(line, separator, position);
      if (field.size() > line.size()) __builtin_trap();
      qv::LatLongText t = qv::decodeLatLong(line, position, position + 2);
      if (t.lat.size() > line.size() + 1 || t.lon.size() > line.size() + 1) __builtin_trap();
      if (auto fix = qv::parsePositionSentence(line)) {
        if (!fix->valid || !std::isfinite(fix->latitude) || !std::isfinite(fix->longitude) ||
            std::fabs(fix->latitude) > 90 || std::fabs(fix->longitude) > 180)
          __builtin_trap();
      }
    }
    if (lines.pending().size() > qv::SerialLineAssembler::kMaxLine) __builtin_trap();
  }
  if (lineBytes + lines.pending().size() > text.size()) __builtin_trap();
  if (auto fix = qv::parsePositionText(text))
    if (std::fabs(fix->latitude) > 90 || std::fabs(fix->longitude) > 180) __builtin_trap();
  return 0;
}
