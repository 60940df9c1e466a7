#include "platform/audio/test_signal.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace qv {

namespace {
constexpr double kTwoPi = 6.283185307179586;

uint64_t splitmix(uint64_t& s) {
  uint64_t z = (s += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}
}  // namespace

TestSignalGenerator::TestSignalGenerator(uint32_t seed, int sampleRate, int channels)
    : rate_(std::max(sampleRate, 1)), channels_(std::clamp(channels, 1, kMaxChannels)) {
  uint64_t s = seed;
  auto unit = [&] { return double(splitmix(s) >> 11) / double(1ull << 53); };
  double nyq = rate_ / 2.0;
  fHigh_ = std::min(20000.0, nyq * 0.9);
  fLow_ = std::min(2000.0, fHigh_ * 0.5);
  sweepPeriod_ = 2.0 + 2.0 * unit();
  whistleCycle_ = 0.8 + 0.8 * unit();
  whistleOn_ = 0.5 + 0.3 * unit();
  trainPeriod_ = 1.5 + 1.5 * unit();
  clickGap_ = 0.008 + 0.012 * unit();
  clicksPerTrain_ = 6 + int(unit() * 10);
  for (int c = 0; c < channels_; ++c) rng_[c] = splitmix(s) | 1;
}

double TestSignalGenerator::nextNoise(int ch) {
  // xorshift64*: cheap, and each channel has its own stream.
  uint64_t& x = rng_[ch];
  x ^= x >> 12;
  x ^= x << 25;
  x ^= x >> 27;
  uint64_t r = x * 0x2545F4914F6CDD1Dull;
  return double(r >> 11) / double(1ull << 52) - 1.0;  // -1..1
}

void TestSignalGenerator::generate(int16_t* out, int frames) {
  for (int i = 0; i < frames; ++i, ++frame_) {
    double t = double(frame_) / rate_;
    // Whistle: a sweep between the limits, switched on for part of each cycle
    // with soft edges so it draws clean contours.
    double sweep = 0.5 - 0.5 * std::cos(kTwoPi * t / sweepPeriod_);
    double cyc = std::fmod(t, whistleCycle_) / whistleCycle_;
    double env = 0;
    if (cyc < whistleOn_) {
      double edge = std::min(cyc, whistleOn_ - cyc) * whistleCycle_;  // seconds from an edge
      env = std::min(1.0, edge / 0.02);
    }
    // Clicks: short decaying pulses in trains.
    double inTrain = std::fmod(t, trainPeriod_);
    double click = 0;
    int k = int(inTrain / clickGap_);
    if (k < clicksPerTrain_) {
      double since = inTrain - k * clickGap_;
      if (since < 0.0015) click = std::exp(-since * 4000.0);
    }
    for (int c = 0; c < channels_; ++c) {
      // The second channel hears the same scene a little later and quieter,
      // with its whistle a fifth higher, so the channels are told apart.
      double ratio = c == 0 ? 1.0 : 1.5;
      double f = std::min(fLow_ + (fHigh_ - fLow_) * sweep, fHigh_ / ratio) * ratio;
      phase_[c] += kTwoPi * f / rate_;
      if (phase_[c] > kTwoPi) phase_[c] -= kTwoPi;
      double gain = c == 0 ? 1.0 : 0.7;
      double noise = nextNoise(c);
      double v = gain * (8000.0 * env * std::sin(phase_[c]) + 14000.0 * click * noise) + 60.0 * noise;
      out[i * channels_ + c] = int16_t(std::clamp(std::lrint(v), -32768L, 32767L));
    }
  }
}

uint32_t testSignalSeedFromEnvironment() {
  const char* s = std::getenv("QUORVEL_TEST_SIGNAL_SEED");
  if (!s || !*s) return 1;
  char* end = nullptr;
  unsigned long v = std::strtoul(s, &end, 10);
  return end && *end == 0 ? uint32_t(v) : 1;
}

}  // namespace qv
