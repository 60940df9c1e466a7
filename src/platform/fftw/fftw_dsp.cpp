#include "platform/fftw/fftw_dsp.h"

#include <fftw3.h>

#include <initializer_list>
#include <stdexcept>

namespace qv {
namespace {

class FftwRealFft : public RealFft {
 public:
  FftwRealFft(int order, unsigned flags) : order_(order), n_(1 << order) {
    // Planned on scratch buffers of their own (MEASURE overwrites the arrays
    // it plans on) and executed on the caller's arrays. Arrays with the
    // scratch buffers' alignment get the vector plans; others plans that
    // make no assumption about alignment.
    buf_ = fftwf_alloc_real(static_cast<size_t>(n_) + 2);
    in_ = fftwf_alloc_real(static_cast<size_t>(n_));
    if (!buf_ || !in_) {
      release();
      throw std::bad_alloc();
    }
    auto* out = reinterpret_cast<fftwf_complex*>(buf_);
    aligned_ = fftwf_plan_dft_r2c_1d(n_, buf_, out, flags);
    unaligned_ = fftwf_plan_dft_r2c_1d(n_, buf_, out, flags | FFTW_UNALIGNED);
    // Out of place the transform need not shuffle its data within one
    // array, which some sizes pay for dearly.
    apart_ = fftwf_plan_dft_r2c_1d(n_, in_, out, flags);
    apartUnaligned_ = fftwf_plan_dft_r2c_1d(n_, in_, out, flags | FFTW_UNALIGNED);
    if (!aligned_ || !unaligned_ || !apart_ || !apartUnaligned_) {
      release();
      throw std::runtime_error("FFT plan failed");
    }
    bufAlignment_ = fftwf_alignment_of(buf_);
    inAlignment_ = fftwf_alignment_of(in_);
  }
  ~FftwRealFft() override { release(); }
  int order() const override { return order_; }
  void forward(float* work) override {
    fftwf_plan p = fftwf_alignment_of(work) == bufAlignment_ ? aligned_ : unaligned_;
    fftwf_execute_dft_r2c(p, work, reinterpret_cast<fftwf_complex*>(work));
  }
  bool forwardInto(const float* in, float* out) override {
    // The input is only read: an out-of-place real transform keeps it.
    float* src = const_cast<float*>(in);
    const bool aligned = fftwf_alignment_of(src) == inAlignment_ && fftwf_alignment_of(out) == bufAlignment_;
    fftwf_execute_dft_r2c(aligned ? apart_ : apartUnaligned_, src, reinterpret_cast<fftwf_complex*>(out));
    return true;
  }

 private:
  void release() {
    for (fftwf_plan* p : {&aligned_, &unaligned_, &apart_, &apartUnaligned_}) {
      if (*p) fftwf_destroy_plan(*p);
      *p = nullptr;
    }
    fftwf_free(buf_);
    fftwf_free(in_);
    buf_ = in_ = nullptr;
  }

  int order_;
  int n_;
  float* buf_ = nullptr;
  float* in_ = nullptr;
  fftwf_plan aligned_ = nullptr;
  fftwf_plan unaligned_ = nullptr;
  fftwf_plan apart_ = nullptr;
  fftwf_plan apartUnaligned_ = nullptr;
  int bufAlignment_ = 0;
  int inAlignment_ = 0;
};

}  // namespace

unsigned FftwDsp::planFlags() const { return measure_ ? FFTW_MEASURE : FFTW_ESTIMATE; }

std::unique_ptr<RealFft> FftwDsp::planRealFft(int order) {
  if (order < 1 || order > 14) throw std::invalid_argument("FFT order out of range");
  return std::make_unique<FftwRealFft>(order, planFlags());
}

}  // namespace qv
