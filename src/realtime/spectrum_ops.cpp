#include "realtime/spectrum_ops.h"

#include <algorithm>

namespace qv {

SpectrumOps::SpectrumOps() : avg_(kCapacity), sub_(kCapacity), max_(kCapacity), decay_(kCapacity) {}

int SpectrumOps::last(int n) { return std::min(n, kCapacity - 1); }

void SpectrumOps::AverageSpectrum(float* spec, int n, float coeff) {
  const float rest = 1.0f - coeff;
  for (int i = 0; i <= last(n); ++i) {
    avg_[i] = avg_[i] * coeff + rest * spec[i];
    spec[i] = avg_[i];
  }
}

void SpectrumOps::AverageSubtractSpectrum(float* spec, int n, float coeff) {
  const float rest = 1.0f - coeff;
  for (int i = 0; i <= last(n); ++i) {
    sub_[i] = sub_[i] * coeff + rest * spec[i];
    spec[i] = spec[i] - sub_[i];
  }
}

void SpectrumOps::HoldMax(float* spec, int n, float) {
  for (int i = 0; i <= last(n); ++i) {
    max_[i] = std::max(max_[i], spec[i]);
    spec[i] = max_[i];
  }
}

void SpectrumOps::HoldMaxDecay(float* spec, int n, float coeff) {
  for (int i = 0; i <= last(n); ++i) {
    decay_[i] = std::max(decay_[i] * coeff, spec[i]);
    spec[i] = decay_[i];
  }
}

void SpectrumOps::apply(int mode, float* spec, int n, float coeff) {
  // The loops hand over H rows; the operations' own bound is inclusive.
  const int hi = n - 1;
  if (hi < 0) return;
  switch (mode) {
    case 1: AverageSpectrum(spec, hi, coeff); break;
    case 2: AverageSubtractSpectrum(spec, hi, coeff); break;
    case 3: HoldMax(spec, hi, coeff); break;
    case 4: HoldMaxDecay(spec, hi, coeff); break;
    default: break;
  }
}

}  // namespace qv
