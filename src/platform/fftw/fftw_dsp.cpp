#include "platform/fftw/fftw_dsp.h"

#include <fftw3.h>

#include <stdexcept>

namespace qv {
namespace {

class FftwRealFft : public RealFft {
 public:
  FftwRealFft(int order, bool measure) : order_(order), n_(1 << order) {
    // Planned in place on a scratch buffer of its own (MEASURE overwrites the
    // arrays it plans on) and executed on the caller's array. Arrays with the
    // scratch buffer's alignment get the vector plan; others a plan that
    // makes no assumption about alignment.
    buf_ = fftwf_alloc_real(static_cast<size_t>(n_) + 2);
    if (!buf_) throw std::bad_alloc();
    const unsigned flags = measure ? FFTW_MEASURE : FFTW_ESTIMATE;
    auto* out = reinterpret_cast<fftwf_complex*>(buf_);
    aligned_ = fftwf_plan_dft_r2c_1d(n_, buf_, out, flags);
    unaligned_ = fftwf_plan_dft_r2c_1d(n_, buf_, out, flags | FFTW_UNALIGNED);
    if (!aligned_ || !unaligned_) {
      release();
      throw std::runtime_error("FFT plan failed");
    }
    bufAlignment_ = fftwf_alignment_of(buf_);
  }
  ~FftwRealFft() override { release(); }
  int order() const override { return order_; }
  void forward(float* work) override {
    fftwf_plan p = fftwf_alignment_of(work) == bufAlignment_ ? aligned_ : unaligned_;
    fftwf_execute_dft_r2c(p, work, reinterpret_cast<fftwf_complex*>(work));
  }

 private:
  void release() {
    if (aligned_) fftwf_destroy_plan(aligned_);
    if (unaligned_) fftwf_destroy_plan(unaligned_);
    fftwf_free(buf_);
    aligned_ = unaligned_ = nullptr;
    buf_ = nullptr;
  }

  int order_;
  int n_;
  float* buf_ = nullptr;
  fftwf_plan aligned_ = nullptr;
  fftwf_plan unaligned_ = nullptr;
  int bufAlignment_ = 0;
};

}  // namespace

std::unique_ptr<RealFft> FftwDsp::planRealFft(int order) {
  if (order < 1 || order > 14) throw std::invalid_argument("FFT order out of range");
  return std::make_unique<FftwRealFft>(order, measure_);
}

}  // namespace qv
