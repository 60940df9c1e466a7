// The spectrum post-processing states: they run on for the life of the
// program, across runs, mode and file changes.
#pragma once

#include <vector>

namespace qv {

class SpectrumOps {
 public:
  // Enough for the longest spectrum in use (FFT size / 2 + 1 and display rows).
  static constexpr int kCapacity = 16390;

  SpectrumOps();
  // Each processes spec[0..n] inclusive, in place; n is limited to the capacity.
  void AverageSpectrum(float* spec, int n, float coeff);
  void AverageSubtractSpectrum(float* spec, int n, float coeff);
  void HoldMax(float* spec, int n, float coeff);
  void HoldMaxDecay(float* spec, int n, float coeff);
  // Mode 1..4 of "Averaging Mode"; 0 and others do nothing. Processes
  // the n points spec[0..n-1].
  void apply(int mode, float* spec, int n, float coeff);

  const std::vector<float>& avgState() const { return avg_; }
  const std::vector<float>& subState() const { return sub_; }
  const std::vector<float>& maxState() const { return max_; }
  const std::vector<float>& decayState() const { return decay_; }

 private:
  static int last(int n);
  std::vector<float> avg_, sub_, max_, decay_;
};

}  // namespace qv
