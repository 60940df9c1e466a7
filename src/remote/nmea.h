// Text from a GPS receiver: lines assembled from the pieces a serial port
// delivers, the logger's field extraction, and positions from recommended
// minimum ($GPRMC) and fix ($GPGGA) sentences.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/position_fix.h"

namespace qv {

// Field `position` of `line` (1-based: field 1 is the sentence tag), fields
// separated by `separator` (empty means ","). Empty for a position of 0 or
// less and for one past the last field.
std::string GetParameter(const std::string& line, const std::string& separator, int position);

struct LatLongText {
  std::string lat;   // "48 07.038": degrees, a blank, minutes
  std::string lon;   // "011 31.000"
};
// The logger's decoding: the latitude field split after two characters, the
// longitude field after three.
LatLongText decodeLatLong(const std::string& line, int latPosition, int longPosition);

// Cuts the characters a port delivers into lines. A line ends at every line
// feed; the CR before it and the LF are dropped, nothing else. What follows
// the last line feed waits for the next piece. A run of kMaxLine characters
// without a line feed is noise, not a sentence, and is dropped.
class SerialLineAssembler {
 public:
  static constexpr size_t kMaxLine = 4096;
  // Complete lines in the order they ended.
  std::vector<std::string> feed(std::string_view piece);
  const std::string& pending() const { return pending_; }
  void clear() { pending_.clear(); }

 private:
  std::string pending_;
};

// A valid position from one sentence: $--RMC with status A or $--GGA with a
// fix quality above 0, from any talker ($GP, $GN, ...), its latitude and
// longitude with their N/S and E/W letters, and a matching "*hh" checksum
// when it has one. Trailing CR/LF and blanks are ignored.
std::optional<PositionFix> parsePositionSentence(std::string_view sentence);
// The last valid position among the lines of a text (a datagram may carry
// several sentences).
std::optional<PositionFix> parsePositionText(std::string_view text);

}  // namespace qv
