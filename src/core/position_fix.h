// Where the station is, as the latest valid GPS sentence said.
#pragma once

namespace qv {

struct PositionFix {
  bool valid = false;
  // Signed decimal degrees: north and east positive.
  double latitude = 0;
  double longitude = 0;
};

}  // namespace qv
