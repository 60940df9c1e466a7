// GUANO metadata: the "guan" chunk of a WAV file, UTF-8 "key: value" lines,
// that bat and marine acoustics tools read. The program writes it after the
// samples when a file is closed and reads it back for the place and time of
// a recording.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/position_fix.h"
#include "files/byte_source.h"
#include "platform/clock.h"

namespace qv {

// A moment as milliseconds since 1970-01-01 UTC and the local offset it was
// seen with.
struct GuanoTime {
  int64_t epochMs = 0;
  int offsetMinutes = 0;
};
GuanoTime guanoTimeOf(const DateTime& local);
// "2026-01-15T10:59:30.125+01:00".
std::string isoTimestamp(const GuanoTime& t);
std::optional<GuanoTime> parseIsoTimestamp(std::string_view text);
GuanoTime plusSeconds(const GuanoTime& t, double seconds);

// Frames lost just before frame `frame` of the file.
struct GuanoGap {
  int64_t frame = 0;
  int64_t lost = 0;
};
// "48000:1024 96000:512"; empty for none.
std::string gapsText(const std::vector<GuanoGap>& gaps);
// Malformed pairs are skipped.
std::vector<GuanoGap> parseGaps(std::string_view text);

// "48.117300 11.516667" (latitude, longitude).
std::string positionText(const PositionFix& fix);
std::optional<PositionFix> parsePosition(std::string_view text);

// What the program knows about a file it writes.
struct GuanoRecord {
  std::optional<GuanoTime> timestamp;  // of the first sample
  int sampleRate = 0;
  int64_t frames = 0;
  double tapeSpeed = 1;
  std::optional<PositionFix> position;
  std::string note;
  bool gapsKnown = false;  // the writer tracked gaps (an empty list then means none)
  std::vector<GuanoGap> gaps;
  // More "Quorvel|..." fields, written after the others.
  std::vector<std::pair<std::string, std::string>> extra;
};
inline constexpr const char* kGuanoGapsKey = "Quorvel|Gaps";

// The chunk body: "GUANO|Version: 1.0" first, one field a line, UTF-8 (bytes
// that are not become "?"), no line breaks inside values.
std::string guanoText(const GuanoRecord& r);

using GuanoFields = std::vector<std::pair<std::string, std::string>>;
// "key: value" lines (LF or CR LF); blanks around keys and values trimmed,
// lines without ": " and empty keys skipped, NUL padding ignored.
GuanoFields parseGuanoText(std::string_view text);
// The value of a key, or null.
const std::string* guanoValue(const GuanoFields& fields, std::string_view key);
// The record's fields back from parsed text (unknown keys go to `extra`).
GuanoRecord guanoRecordOf(const GuanoFields& fields);

// Largest chunk body the program writes or reads.
inline constexpr uint32_t kMaxGuanoBytes = 65536;

// Where a "guan" chunk sits in a file.
struct GuanoChunk {
  bool found = false;
  int64_t offset = 0;  // of the "guan" tag
  int64_t end = 0;     // after the body and its pad byte
  std::string text;
};
// The chunk that ends a file: found by the RIFF chunk walk, or, for a file
// whose header was never completed, by its tag among the last bytes. Only a
// chunk that ends exactly at the end of the file and begins with
// "GUANO|Version" counts.
GuanoChunk findTrailingGuano(const ByteSource& src, int64_t notBefore = 12);
// A file's metadata chunk wherever the RIFF chunk walk finds it (other
// recorders put it before their samples), else a trailing one.
GuanoChunk readGuanoChunk(const ByteSource& src);

}  // namespace qv
