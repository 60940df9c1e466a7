// The built-in "Test Signal": what a hydrophone or bat detector might hear.
// Tonal whistles sweeping between 2 kHz and 20 kHz (kept below Nyquist),
// trains of clicks and a low broadband noise floor. The samples depend only
// on the random seed, the format and the frame index, so a run can be repeated.
#pragma once

#include <cstdint>

namespace qv {

class TestSignalGenerator {
 public:
  static constexpr int kMaxChannels = 8;

  TestSignalGenerator(uint32_t seed, int sampleRate, int channels);
  // Writes the next `frames` interleaved frames.
  void generate(int16_t* out, int frames);
  int64_t frameIndex() const { return frame_; }

 private:
  double nextNoise(int ch);

  int rate_;
  int channels_;
  int64_t frame_ = 0;
  double fLow_, fHigh_;
  double sweepPeriod_;   // seconds per up-and-down sweep
  double whistleCycle_;  // seconds per whistle and its gap
  double whistleOn_;     // fraction of the cycle with a whistle
  double trainPeriod_;   // seconds between click trains
  double clickGap_;      // seconds between clicks in a train
  int clicksPerTrain_;
  double phase_[kMaxChannels] = {};
  uint64_t rng_[kMaxChannels] = {};
};

// The random seed from QUORVEL_TEST_SIGNAL_SEED, or 1.
uint32_t testSignalSeedFromEnvironment();

}  // namespace qv
