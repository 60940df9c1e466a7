#include "recording/file_metadata.h"

#include <algorithm>

#include "core/program.h"
#include "platform/clock.h"

namespace qv {

namespace {
constexpr size_t kMaxNoteBytes = 1000;
}

GuanoRecord currentGuano(Program& p, int sampleRate, int64_t frames) {
  GuanoRecord r;
  const PublicVars& v = p.vars();
  r.sampleRate = sampleRate;
  r.frames = frames;
  r.tapeSpeed = v.TapeSpeed > 0 ? v.TapeSpeed : 1.0;
  if (v.LastFix.valid) r.position = v.LastFix;
  r.note = v.LastNote.substr(0, kMaxNoteBytes);
  return r;
}

std::optional<GuanoTime> timeAgo(Program& p, double seconds) {
  Clock* c = p.services().clock;
  if (!c) return std::nullopt;
  return plusSeconds(guanoTimeOf(c->now()), -seconds);
}

void GapTrack::write(int64_t from, int64_t to) {
  std::erase_if(gaps_, [from, to](const GuanoGap& g) { return g.frame >= from && g.frame < to; });
  if (pending_ > 0) gaps_.push_back({from, pending_});
  pending_ = 0;
}

std::vector<GuanoGap> GapTrack::within(int64_t from, int64_t to, int64_t shift) const {
  std::vector<GuanoGap> out;
  for (const GuanoGap& g : gaps_)
    if (g.frame > from && g.frame < to) out.push_back({g.frame + shift, g.lost});
  std::sort(out.begin(), out.end(), [](const GuanoGap& a, const GuanoGap& b) { return a.frame < b.frame; });
  return out;
}

void setGaps(GuanoRecord& r, std::vector<GuanoGap> gaps) {
  std::sort(gaps.begin(), gaps.end(), [](const GuanoGap& a, const GuanoGap& b) { return a.frame < b.frame; });
  r.gapsKnown = true;
  if (gaps.size() > kMaxListedGaps) {
    int64_t lost = 0;
    for (size_t i = kMaxListedGaps; i < gaps.size(); ++i) lost += gaps[i].lost;
    r.extra.emplace_back("Quorvel|Gaps Not Listed", std::to_string(gaps.size() - kMaxListedGaps) + " gaps, " +
                                                        std::to_string(lost) + " frames, from frame " +
                                                        std::to_string(gaps[kMaxListedGaps].frame));
    gaps.resize(kMaxListedGaps);
  }
  r.gaps = std::move(gaps);
}

}  // namespace qv
