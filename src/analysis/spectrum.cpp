#include "analysis/spectrum.h"

#include <algorithm>
#include <cmath>

#include "analysis/column_kernels.h"
#include "core/control.h"
#include "core/program.h"
#include "platform/dsp.h"
#include "realtime/spectrum_ops.h"

namespace qv {
namespace {

int16_t saturate(long long v) { return static_cast<int16_t>(std::clamp<long long>(v, -32768, 32767)); }
int16_t saturateRound(double v) {
  if (!std::isfinite(v)) return 0;
  return saturate(roundEven(std::clamp(v, -40000.0, 40000.0)));
}

constexpr float kDbMultiplier = 8.6858902f;  // 20 x 0.4342945

}  // namespace

int fftOrderOf(int size) {
  double x = size;
  int order = 0;
  while (x > 1) {
    x /= 2;
    ++order;
  }
  return std::clamp(order, 1, kMaxFftOrder);
}

SpectrumEngine::SpectrumEngine(Dsp& dsp)
    : dsp_(dsp),
      samples_(kSampleCapacity),
      window_(kWindowTableSize),
      work_(kWorkCapacity),
      spare_(kWorkCapacity),
      column_(kColumnCapacity) {}

SpectrumEngine::~SpectrumEngine() = default;

WindowInfo SpectrumEngine::beginRun(const ColumnSetup& setup) {
  ColumnSetup s = setup;
  s.order = std::clamp(s.order, 1, kMaxFftOrder);
  const int n = 1 << s.order;
  s.windowSize = std::clamp(s.windowSize, 1, n);
  s.displayHeight = std::clamp(s.displayHeight, 0, kColumnCapacity - 5);
  s.zoomFactor = std::max(s.zoomFactor, 1);
  s.levelStart = std::clamp(s.levelStart, 0, s.windowSize - 1);
  s.levelLength = std::clamp(s.levelLength, 1, s.windowSize - s.levelStart);
  s.stride = s.stride == 2 ? 2 : 1;
  setup_ = s;
  WindowInfo info = BuildWindow(s.windowType, s.windowSize, window_.data());
  fft_.reset();
  fft_ = dsp_.planRealFft(s.order);
  ditherPrev_ = 0;
  std::fill(work_.begin(), work_.end(), 0.0f);
  std::fill(spare_.begin(), spare_.end(), 0.0f);
  return info;
}

void SpectrumEngine::endRun() { fft_.reset(); }

float SpectrumEngine::uniform() {
  // 24 random bits: uniform on [0, 1).
  return static_cast<float>((rng_() & 0xFFFFFF)) / 16777216.0f;
}

int SpectrumEngine::ConditionBlock(int first, int count, const ConditionSetup& c) {
  first = std::clamp(first, 0, kSampleCapacity);
  count = std::clamp(count, 0, kSampleCapacity - first);
  int16_t* x = samples_.data() + first;
  int mean = 0;
  if (c.removeOffset && count > 0) {
    long long sum = 0;
    for (int i = 0; i < count; ++i) sum += x[i];
    mean = static_cast<int>(roundEven(static_cast<double>(sum) / count));
    const long long off = c.offsetValue;
    if (off != 0)
      for (int i = 0; i < count; ++i) x[i] = saturate(x[i] - off);
  }
  if (c.digitalGain > 1) {
    const long long g = c.digitalGain;
    for (int i = 0; i < count; ++i) x[i] = saturate(x[i] * g);
  }
  const double a = c.ditherAmount;
  switch (c.dither) {
    case 1:
      for (int i = 0; i < count; ++i) x[i] = saturateRound(x[i] + (uniform() - 0.5) * a);
      break;
    case 2:
      for (int i = 0; i < count; ++i) {
        float r1 = uniform(), r2 = uniform();
        x[i] = saturateRound(x[i] + (static_cast<double>(r1) + r2 - 1.0) * a);
      }
      break;
    case 3:
      for (int i = 0; i < count; ++i) {
        float e = uniform() - 0.5f;
        x[i] = saturateRound(x[i] + (static_cast<double>(ditherPrev_) + e) * a);
        ditherPrev_ = e;
      }
      break;
    default:
      break;
  }
  return mean;
}

const ColumnResult& SpectrumEngine::ComputeSpectrumColumn(int start, PublicVars& vars) {
  const ColumnSetup& s = setup_;
  const int n = 1 << s.order;
  const int w = s.windowSize;
  const int h = s.displayHeight;
  const int step = s.stride;
  float* work = work_.data();
  float* p = column_.data();
  const int16_t* x = samples_.data();
  ColumnResult& r = result_;
  r = ColumnResult{};
  // The last sample read must lie in the array.
  const int lastNeeded = start + (w - (s.derivate ? 0 : 1)) * step;
  if (start < 0 || lastNeeded >= kSampleCapacity) return r;

  // 1. The FFT reads N points and writes N + 2: the tail beyond the window
  //    holds the previous transform's output, so clear it every column.
  if (w < n + 2) std::fill(work + w, work + n + 2, 0.0f);

  // 2-5. Input, smoothing, level and window. Plain samples are measured as
  //      integers and windowed as they are converted, in one pass.
  if (!s.derivate && !s.smooth) {
    int lo = 0, hi = 0;
    sampleRange(x + start + s.levelStart * step, step, s.levelLength, lo, hi);
    r.min = static_cast<float>(lo);
    r.max = static_cast<float>(hi);
    windowSamples(x + start, step, window_.data(), work, w);
  } else {
    if (s.derivate) {
      for (int i = 0; i < w - 1; ++i)
        work[i] = static_cast<float>(x[start + (i + 1) * step]) / 2 - static_cast<float>(x[start + i * step]) / 2;
      work[w - 1] = 0;
    } else {
      for (int i = 0; i < w; ++i) work[i] = static_cast<float>(x[start + i * step]);
    }
    // Smoothing uses the already smoothed left neighbour.
    if (s.smooth)
      for (int i = 1; i < w - 1; ++i) work[i] = (work[i - 1] + work[i] + work[i + 1]) / 3;
    r.max = dsp_.max(work + s.levelStart, s.levelLength);
    r.min = dsp_.min(work + s.levelStart, s.levelLength);
  }
  r.peakToPeak = std::fabs(r.min) + std::fabs(r.max);
  r.overload = r.min < -32000 || r.max > 32000;
  if (r.overload) ++overloadCount;
  r.waveColour = r.overload ? 255 : 0;
  r.barMin = saturateRound(r.min / 1024.0 + 40);
  r.barMax = saturateRound(r.max / 1024.0 + 41);
  // 5. Window (plain input was windowed as it was converted).
  if (s.derivate || s.smooth) dsp_.mul(window_.data(), work, w);
  // 6. No rows: no spectrum.
  if (h <= 0 || !fft_) return r;
  r.hasSpectrum = true;

  // 7. FFT, out of place when the transform can: its output is the work
  //    array from here on.
  if (fft_->forwardInto(work, spare_.data())) {
    work_.swap(spare_);
    work = work_.data();
  } else {
    fft_->forward(work);
  }

  // 8. Power, one row per bin when zoomed, else Z bins per row. Rows past
  //    the last bin (N / 2) read as silence rather than beyond the spectrum.
  const int bins = n / 2 + 1;
  if (vars.ZoomMode == 1) {
    const int base = std::clamp(vars.ZoomBase, 0, bins - 1);
    powerRows(work + 2 * base, bins - base, 1, 0.0f, p, h);
    vars.PixelHz = s.binWidthHz;
  } else {
    powerRows(work, bins, s.zoomFactor, 1.0f, p, h);
    vars.PixelHz = s.binWidthHz * static_cast<float>(s.zoomFactor);
  }

  // 9. Averaging modes.
  if (ops && s.avgMode >= 1 && s.avgMode <= 4) ops->apply(s.avgMode, p, h, s.avgCoeff);

  // 10. Scale.
  float multiplier;
  if (s.zscale == 0) {
    multiplier = kDbMultiplier;
    const int16_t base = static_cast<int16_t>(12 * s.order - 60);
    powerToDb(p, h, 0.001f, multiplier, static_cast<float>(base - 2 * vars.Darkness));
  } else {
    multiplier = 1.0f / 65536.0f / static_cast<float>(n);
    dsp_.scale(p, h, multiplier);
    r.linear = true;
    float lo = 0, hi = 0;
    for (int i = 0; i < h; ++i) {
      lo = std::min(lo, p[i]);
      hi = std::max(hi, p[i]);
    }
    r.linMin = lo;
    r.linMax = hi;
  }

  // 11. Cepstrum of the scaled column.
  if (s.cepstrum) {
    const int m = std::min(h, n - 1);
    work[0] = 0;
    for (int i = 1; i < m; ++i) work[i] = p[i] - 60;
    std::fill(work + std::max(m, 1), work + n + 2, 0.0f);
    fft_->forward(work);
    powerRows(work, bins, 1, 0.0f, p, h);
    for (int i = 0; i < h; ++i) p[i] = std::log(p[i] + 1) * multiplier;
  }

  // 12. Spectrum window.
  if (plotSpec) plotSpec(p, h);
  return r;
}

}  // namespace qv
