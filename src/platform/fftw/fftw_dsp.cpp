#include "platform/fftw/fftw_dsp.h"

#include <fftw3.h>

#include <stdexcept>

namespace qv {
namespace {

class FftwRealFft : public RealFft {
 public:
  FftwRealFft(int order, bool measure) : order_(order), n_(1 << order) {
    // Planned in place on a scratch buffer of its own (MEASURE overwrites the
    // arrays it plans on); executed on the caller's array, any alignment.
    buf_ = fftwf_alloc_real(static_cast<size_t>(n_) + 2);
    if (!buf_) throw std::bad_alloc();
    unsigned flags = (measure ? FFTW_MEASURE : FFTW_ESTIMATE) | FFTW_UNALIGNED;
    plan_ = fftwf_plan_dft_r2c_1d(n_, buf_, reinterpret_cast<fftwf_complex*>(buf_), flags);
    if (!plan_) {
      fftwf_free(buf_);
      throw std::runtime_error("FFT plan failed");
    }
  }
  ~FftwRealFft() override {
    fftwf_destroy_plan(plan_);
    fftwf_free(buf_);
  }
  int order() const override { return order_; }
  void forward(float* work) override {
    fftwf_execute_dft_r2c(plan_, work, reinterpret_cast<fftwf_complex*>(work));
  }

 private:
  int order_;
  int n_;
  float* buf_ = nullptr;
  fftwf_plan plan_ = nullptr;
};

}  // namespace

std::unique_ptr<RealFft> FftwDsp::planRealFft(int order) {
  if (order < 1 || order > 14) throw std::invalid_argument("FFT order out of range");
  return std::make_unique<FftwRealFft>(order, measure_);
}

}  // namespace qv
