// The marker file's list input and position texts.
#include <cstdint>
#include <string>
#include <string_view>

#include "files/markers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  qv::MarkerLoad m = qv::parseMarkers(text);
  if (m.markers.size() > qv::kMaxMarkers) __builtin_trap();
  if (static_cast<int>(m.markers.size()) > m.recordsInFile) __builtin_trap();
  (void)m.notice();
  double s = qv::ParseDuration(std::string(text));
  (void)s;
  return 0;
}
