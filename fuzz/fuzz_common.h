// Reads every frame of a described file in pieces, and probes positions.
#pragma once

#include <cstdint>
#include <vector>

#include "files/sample_reader.h"

namespace qv {

inline void readEverything(const ByteSource& src, const FileInfo& fi) {
  SampleReader r;
  r.attach(src, fi);
  static std::vector<int16_t> buf(4096 * 64);
  const size_t perRead = buf.size() / static_cast<size_t>(r.channels());
  int64_t frames = r.frames();
  if (frames > (1 << 20)) frames = 1 << 20;  // keep a run bounded
  for (int64_t f = 0; f < frames;) {
    size_t got = r.readFrames(f, buf.data(), perRead < 777 ? perRead : 777);
    if (got == 0) __builtin_trap();  // within the frame count every read delivers
    f += static_cast<int64_t>(got);
  }
  // Reads past the end and at odd positions deliver nothing or stay in range.
  if (r.readFrames(r.frames(), buf.data(), 1) != 0) __builtin_trap();
  for (int64_t pos : {int64_t{-5}, int64_t{0}, fi.HeaderSize, fi.FileSize, fi.FileSize + 513}) {
    int64_t f = r.frameAt(pos);
    if (f < 0) __builtin_trap();
    r.readFrames(f, buf.data(), 3);
    (void)r.positionOf(f);
  }
  (void)positionSeconds(fi, fi.FileSize);
}

}  // namespace qv
