// The test marker file "TEST.mrk" in the program folder, and position texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

struct Marker {
  int32_t id = 0;
  int64_t sampleIndex = 0;  // from the first sample of the file
  float a = 0, b = 0;       // read, not used
  std::string label;
};

constexpr int kMaxMarkers = 100;

struct MarkerLoad {
  std::vector<Marker> markers;  // at most kMaxMarkers
  int recordsInFile = 0;        // complete records found
  bool truncated() const { return recordsInFile > kMaxMarkers; }
  // For the operator when records were left out; empty otherwise.
  std::string notice() const;
};

// Reads list input: five values per record (identifier, sample index, two
// reals, label) separated by commas or line ends, numbers also by blanks,
// labels possibly in double quotes. A trailing incomplete record is ignored.
MarkerLoad parseMarkers(std::string_view text);
// Nothing when the file does not exist.
MarkerLoad readMarkerFile(const std::string& path);

// Position text to seconds: "h:m:s", "m:s" or plain seconds, each part read
// as the leading decimal number of its text (0 when there is none).
double ParseDuration(const std::string& text);

}  // namespace qv
