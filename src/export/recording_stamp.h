// When a recording was made, for the caption of its picture. The one place
// that chooses where that comes from.
#pragma once

#include <optional>
#include <string>

namespace qv {

struct RecordingStamp {
  std::string date;   // "2024-05-12", empty when unknown
  std::string time;   // "13:45:01", empty when unknown
  // Seconds after midnight of the first sample; meaningful only with a time.
  int secondsOfDay = 0;

  // "2024-05-12 13:45:01"; empty when nothing is known.
  std::string text() const;
};

// The date and time in a file name: eight digits YYYYMMDD that make a date,
// then, after at most one separator (blank, "_", "-" or "T"), six digits
// hhmmss that make a time, as the recorder names its files
// ("Quorvel _20240512 134501.wav", "x_20240512_134501.wav"). A date without
// a time gives the date alone.
std::optional<RecordingStamp> stampFromName(const std::string& fileName);

// What the caption of `path` shows: the date and time in the file's name.
RecordingStamp recordingStamp(const std::string& path);

// Where and when the file's GUANO metadata says it was recorded, as a line
// under the picture ("Recorded 2026-12-08 12:47:24.532 +00:00 at 48.117300 N
// 11.516667 E"); empty when the file carries neither.
std::string guanoPlaceAndTime(const std::string& path);

}  // namespace qv
