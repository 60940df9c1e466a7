// The signal-processing calls the analysis relies on: a real FFT and the
// vector operations. Plans are made once per run, never per column.
#pragma once

#include <cstdint>
#include <memory>

namespace qv {

class RealFft {
 public:
  virtual ~RealFft() = default;
  virtual int order() const = 0;
  // In-place forward real FFT of 2^order floats, unscaled. Output packed as
  // complex bins 0..N/2: bin b at floats 2b and 2b+1; `work` must hold N + 2.
  virtual void forward(float* work) = 0;
  // Out of place: reads in[0..N-1], leaving it as it was, and writes the
  // packed bins to out[0..N+1]; the arrays must not overlap. False, with
  // nothing touched, when only the in-place transform is offered.
  virtual bool forwardInto(const float* in, float* out) {
    (void)in;
    (void)out;
    return false;
  }
};

class Dsp {
 public:
  virtual ~Dsp() = default;
  // Makes a plan for 2^order points (order 1..14). Expensive: once per run.
  virtual std::unique_ptr<RealFft> planRealFft(int order) = 0;

  virtual float max(const float* v, int n);
  virtual float min(const float* v, int n);
  virtual void mul(const float* window, float* work, int n);  // work[i] *= window[i]
  virtual void scale(float* v, int n, float k);                // v *= k
};

}  // namespace qv
