// The signal-processing seam on FFTW (single precision).
#pragma once

#include "platform/dsp.h"

namespace qv {

class FftwDsp : public Dsp {
 public:
  // measure: let FFTW time candidate algorithms when planning (slower plans,
  // faster transforms). Planning never touches the caller's arrays.
  explicit FftwDsp(bool measure = false) : measure_(measure) {}
  std::unique_ptr<RealFft> planRealFft(int order) override;
  // The FFTW planner flags the plans are made with.
  unsigned planFlags() const;

 private:
  bool measure_;
};

}  // namespace qv
