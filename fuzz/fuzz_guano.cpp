// GUANO metadata: the chunk found in any bytes taken as a WAV file, its text
// parsed, and what is parsed written and read back the same.
#include <cstdint>
#include <string>
#include <string_view>

#include "files/byte_source.h"
#include "files/guano.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::MemoryByteSource src(data, size);
  qv::GuanoChunk chunk = qv::readGuanoChunk(src);
  if (chunk.found && (chunk.offset < 12 || chunk.end > static_cast<int64_t>(size) ||
                      chunk.text.size() > qv::kMaxGuanoBytes))
    __builtin_trap();
  qv::GuanoChunk tail = qv::findTrailingGuano(src);
  if (tail.found && tail.end != static_cast<int64_t>(size)) __builtin_trap();

  std::string_view text(reinterpret_cast<const char*>(data), size);
  qv::GuanoFields fields = qv::parseGuanoText(chunk.found ? std::string_view(chunk.text) : text);
  for (const auto& [k, v] : fields)
    if (k.empty() || k.find('\n') != std::string::npos || v.find('\n') != std::string::npos) __builtin_trap();
  qv::GuanoRecord r = qv::guanoRecordOf(fields);

  // What the program would write of it reads back to the same record.
  const std::string written = qv::guanoText(r);
  if (written.rfind("GUANO|Version: 1.0\n", 0) != 0) __builtin_trap();
  qv::GuanoRecord back = qv::guanoRecordOf(qv::parseGuanoText(written));
  if (r.timestamp.has_value() != back.timestamp.has_value()) __builtin_trap();
  if (r.timestamp && r.timestamp->epochMs != back.timestamp->epochMs) __builtin_trap();
  if (r.gaps.size() != back.gaps.size() || r.gapsKnown != back.gapsKnown) __builtin_trap();
  if (r.position.has_value() && r.position->valid && !back.position) __builtin_trap();
  if (auto t = qv::parseIsoTimestamp(text)) {
    auto again = qv::parseIsoTimestamp(qv::isoTimestamp(*t));
    if (!again || again->epochMs != t->epochMs || again->offsetMinutes != t->offsetMinutes) __builtin_trap();
  }
  return 0;
}
