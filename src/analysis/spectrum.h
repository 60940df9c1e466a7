// Samples to spectrum columns: block conditioning and the per-column
// pipeline. Arrays are allocated once with fixed capacity; a run only plans
// its FFT and builds its window table.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "analysis/aligned.h"

#include "analysis/window.h"

namespace qv {

class Dsp;
class RealFft;
class SpectrumOps;
struct PublicVars;

constexpr int kSampleCapacity = 524288;
constexpr int kWorkCapacity = 16389;
constexpr int kColumnCapacity = 8197;
constexpr int kMaxFftOrder = 14;

// What a run fixes for all its columns.
struct ColumnSetup {
  int order = 9;          // FFT of 2^order points
  int windowSize = 512;   // limited to 1..2^order
  int windowType = 1;
  int displayHeight = 256;
  int zoomFactor = 1;
  int levelStart = 0;     // level range inside the window
  int levelLength = 512;
  bool derivate = false;
  bool smooth = false;
  bool cepstrum = false;
  int zscale = 0;         // 0 dB, otherwise linear
  int avgMode = 0;        // 0 off, 1..4 the averaging operations
  float avgCoeff = 0.99f;
  float binWidthHz = 0;
  int stride = 1;         // 2: every second sample (one channel of a stereo block)
};

// Per-block conditioning choices (read each block: the operator may change them).
struct ConditionSetup {
  bool removeOffset = false;
  int offsetValue = 0;
  int digitalGain = 1;
  int dither = 0;         // 0 none, 1..3
  float ditherAmount = 0;
};

struct ColumnResult {
  float min = 0, max = 0, peakToPeak = 0;
  bool overload = false;
  int waveColour = 0;       // 255 (red) when overloaded, else 0
  int16_t barMin = 40, barMax = 41;  // waveform bar ends
  bool hasSpectrum = false; // false when the display height is 0
  bool linear = false;
  float linMin = 0, linMax = 0;  // linear scale: the column's extremes
};

class SpectrumEngine {
 public:
  explicit SpectrumEngine(Dsp& dsp);
  ~SpectrumEngine();

  // Plans the FFT and builds the window table; the setup is clamped to the
  // arrays' capacities. Resets the dither error.
  WindowInfo beginRun(const ColumnSetup& setup);
  // Releases the FFT plan.
  void endRun();
  bool running() const { return fft_ != nullptr; }
  const ColumnSetup& setup() const { return setup_; }

  int16_t* samples() { return samples_.data(); }
  const float* windowTable() const { return window_.data(); }
  const float* work() const { return work_.data(); }
  float* work() { return work_.data(); }
  const float* column() const { return column_.data(); }
  float* column() { return column_.data(); }
  int rows() const { return setup_.displayHeight; }

  // Offset, gain and dither on samples[first..first+count-1] in place.
  // Returns the block mean measured before offset removal (0 when off).
  int ConditionBlock(int first, int count, const ConditionSetup& c);

  // The column whose first sample is samples[start]. Reads ZoomMode, ZoomBase
  // and Darkness, and sets PixelHz.
  const ColumnResult& ComputeSpectrumColumn(int start, PublicVars& vars);
  const ColumnResult& result() const { return result_; }

  // Shared counter of overloaded columns.
  int64_t overloadCount = 0;
  // Post-processing states (averaging modes); may be null.
  SpectrumOps* ops = nullptr;
  // Called with the finished column when the spectrum window is enabled.
  std::function<void(const float*, int)> plotSpec;

 private:
  float uniform();

  Dsp& dsp_;
  std::vector<int16_t> samples_;
  std::vector<float> window_;
  // Aligned for the vector instructions of the transform. A transform that
  // can work out of place writes into the spare array, which then becomes
  // the work array.
  std::vector<float, AlignedAllocator<float>> work_;
  std::vector<float, AlignedAllocator<float>> spare_;
  std::vector<float> column_;
  std::unique_ptr<RealFft> fft_;
  ColumnSetup setup_;
  ColumnResult result_;
  float ditherPrev_ = 0;
  std::minstd_rand rng_{12345};
};

// FFT order of a size: how often it can be halved while above 1 (so the
// transform covers at least `size` points), limited to 1..14.
int fftOrderOf(int size);

}  // namespace qv
