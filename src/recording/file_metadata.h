// The metadata every WAV file of the program carries: where (the latest GPS
// fix) and when (its first sample) it was recorded, its note, and the gaps
// where the capture lost frames, so that a reader knows where the recording
// is not continuous.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "files/guano.h"

namespace qv {

class Program;

// What is known now: the latest fix, the run's last note, the tape speed.
GuanoRecord currentGuano(Program& p, int sampleRate, int64_t frames);
// The clock's time `seconds` ago; nullopt without a clock.
std::optional<GuanoTime> timeAgo(Program& p, double seconds);

// Gaps of a file or buffer being written, by position. Positions that are
// written over again lose their gaps; a gap reported before the next write
// lands at that write's position.
class GapTrack {
 public:
  // Frames lost before the next write.
  void lost(int64_t frames) { pending_ += frames; }
  // A write of [from, to): the old gaps there go, a pending one lands at `from`.
  void write(int64_t from, int64_t to);
  void clear() {
    gaps_.clear();
    pending_ = 0;
  }
  // Gaps within (from, to), positions moved by `shift`, in position order.
  std::vector<GuanoGap> within(int64_t from, int64_t to, int64_t shift) const;

 private:
  std::vector<GuanoGap> gaps_;
  int64_t pending_ = 0;
};

// At most this many gaps are listed in a file; the rest are summed up.
inline constexpr size_t kMaxListedGaps = 2000;
// Puts the gaps into the record, summing up those beyond the listed ones.
void setGaps(GuanoRecord& r, std::vector<GuanoGap> gaps);

}  // namespace qv
