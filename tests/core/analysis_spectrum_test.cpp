#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "analysis/spectrum.h"
#include "analysis/window.h"
#include "core/program.h"
#include "platform/fftw/fftw_dsp.h"
#include "realtime/spectrum_ops.h"

namespace qv {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rig {
  FftwDsp dsp;
  SpectrumEngine engine{dsp};
  PublicVars vars;
  ColumnSetup setup;
  Rig() {
    setup.order = 10;
    setup.windowSize = 1024;
    setup.windowType = 1;
    setup.displayHeight = 256;
    setup.zoomFactor = 2;
    setup.levelStart = 0;
    setup.levelLength = 512;
    setup.binWidthHz = 48000.0f / 1024;
  }
  void sine(double hz, double amplitude, int rate = 48000, int count = 4096) {
    for (int n = 0; n < count; ++n)
      engine.samples()[n] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * kPi * hz * n / rate)));
  }
  void fill(int16_t v, int count = 8192) {
    for (int n = 0; n < count; ++n) engine.samples()[n] = v;
  }
};

// Sum over n of exp(j 2 pi d n / N): the Dirichlet kernel in closed form.
std::complex<double> dirichlet(double d, int n) {
  if (std::fabs(std::remainder(d, n)) < 1e-12) return n;
  return std::polar(std::sin(kPi * d) / std::sin(kPi * d / n), kPi * d * (n - 1) / n);
}

// Spectrum of a Hanning-windowed sine at a bin: the window's three-term
// transform around the tone and around its mirror image.
double hanningSineDb(double amplitude, double toneBins, int bin, int n, int order) {
  auto hann = [&](double d) { return 0.5 * dirichlet(d, n) - 0.25 * dirichlet(d + 1, n) - 0.25 * dirichlet(d - 1, n); };
  std::complex<double> x = amplitude / std::complex<double>(0, 2) * (hann(toneBins - bin) - hann(-toneBins - bin));
  double power = std::norm(x);
  return 20 * std::log10(power) - (12 * order - 60);
}

// The transform takes the vector plan on aligned arrays and another on any
// other address; both give the unscaled transform.
TEST(Spectrum, TheTransformIsTheSameOnAlignedAndMisalignedArrays) {
  FftwDsp dsp;
  auto fft = dsp.planRealFft(8);
  const int n = 256;
  std::vector<float> storage(2 * n + 64);
  float* aligned = storage.data();
  while (reinterpret_cast<uintptr_t>(aligned) % 64 != 0) ++aligned;
  float* odd = aligned + n + 16 + 1;  // 4 bytes past a 64-byte boundary
  for (int i = 0; i < n; ++i) aligned[i] = odd[i] = static_cast<float>(std::cos(2 * kPi * 5 * i / n) + 0.25);
  aligned[n] = aligned[n + 1] = odd[n] = odd[n + 1] = 0;
  fft->forward(aligned);
  fft->forward(odd);
  for (int k = 0; k <= n / 2; ++k) {
    const double re = k == 0 ? 0.25 * n : (k == 5 ? n / 2.0 : 0.0);
    ASSERT_NEAR(aligned[2 * k], re, 1e-3) << k;
    ASSERT_NEAR(aligned[2 * k + 1], 0, 1e-3) << k;
    ASSERT_NEAR(odd[2 * k], aligned[2 * k], 1e-3) << k;
    ASSERT_NEAR(odd[2 * k + 1], aligned[2 * k + 1], 1e-3) << k;
  }
}

TEST(Spectrum, FullScaleSineAtOneKilohertzPeaksAtItsBinWithTheAnalyticLevel) {
  Rig r;
  r.sine(1000, 32767);
  r.engine.beginRun(r.setup);
  r.vars.ZoomMode = 1;  // zoom on at bin 0: one row per bin
  r.vars.ZoomBase = 0;
  const ColumnResult& res = r.engine.ComputeSpectrumColumn(0, r.vars);
  ASSERT_TRUE(res.hasSpectrum);
  const float* p = r.engine.column();
  int peak = 0;
  for (int i = 1; i < 256; ++i)
    if (p[i] > p[peak]) peak = i;
  const int bin = static_cast<int>(std::lround(1000.0 / (48000.0 / 1024)));
  EXPECT_EQ(peak, bin);
  EXPECT_NEAR(p[bin], hanningSineDb(32767, 1000.0 / (48000.0 / 1024), bin, 1024, 10), 0.05);
  // Neighbours follow the same formula.
  EXPECT_NEAR(p[bin + 1], hanningSineDb(32767, 1000.0 / (48000.0 / 1024), bin + 1, 1024, 10), 0.05);
  EXPECT_FLOAT_EQ(r.vars.PixelHz, 48000.0f / 1024);
  EXPECT_TRUE(res.overload);  // full scale is beyond the +-32000 overload limit
}

TEST(Spectrum, SilenceRowsAreTheFloorLevel) {
  Rig r;
  r.fill(0);
  r.setup.order = 11;
  r.setup.windowSize = 2048;
  r.setup.zoomFactor = 4;
  r.vars.Darkness = 6;
  r.engine.beginRun(r.setup);
  r.vars.ZoomMode = 0;
  r.engine.ComputeSpectrumColumn(0, r.vars);
  // Compressed rows are never below 1.0: 0 dB before the offset.
  const float offset = 12 * 11 - 60 - 2 * 6;
  for (int i = 0; i < 256; ++i) ASSERT_FLOAT_EQ(r.engine.column()[i], 0 - offset) << i;
  EXPECT_FLOAT_EQ(r.vars.PixelHz, r.setup.binWidthHz * 4);
  // One row per bin: the 0.001 floor, -60 before the offset.
  r.vars.ZoomMode = 1;
  r.engine.ComputeSpectrumColumn(0, r.vars);
  for (int i = 0; i < 256; ++i) ASSERT_NEAR(r.engine.column()[i], -60 - offset, 1e-3) << i;
}

TEST(Spectrum, TailBeyondTheWindowIsClearedOnEveryColumn) {
  // A column computed after another (whose transform filled the work array)
  // equals the same column computed first.
  Rig a, b;
  a.sine(3000, 20000);
  b.sine(3000, 20000);
  a.setup.windowSize = b.setup.windowSize = 256;
  a.engine.beginRun(a.setup);
  b.engine.beginRun(b.setup);
  a.vars.ZoomMode = b.vars.ZoomMode = 1;
  a.engine.ComputeSpectrumColumn(0, a.vars);
  bool dirty = false;
  for (int i = 256; i < 1026; ++i) dirty |= a.engine.work()[i] != 0.0f;
  ASSERT_TRUE(dirty);
  a.engine.ComputeSpectrumColumn(700, a.vars);
  b.engine.ComputeSpectrumColumn(700, b.vars);
  for (int i = 0; i < 256; ++i) ASSERT_FLOAT_EQ(a.engine.column()[i], b.engine.column()[i]) << i;

  // Without rows no transform runs: the tail itself is seen cleared.
  Rig c;
  c.sine(3000, 20000);
  c.setup.windowSize = 256;
  c.setup.displayHeight = 0;
  c.engine.beginRun(c.setup);
  for (int i = 256; i < 1026; ++i) c.engine.work()[i] = 123.0f;
  const ColumnResult& res = c.engine.ComputeSpectrumColumn(512, c.vars);
  EXPECT_FALSE(res.hasSpectrum);
  for (int i = 256; i < 1026; ++i) ASSERT_EQ(c.engine.work()[i], 0.0f) << i;
}

TEST(Spectrum, LevelOverloadAndWaveformBar) {
  Rig r;
  for (int n = 0; n < 4096; ++n) r.engine.samples()[n] = (n / 16) % 2 ? 32767 : -32767;
  r.setup.displayHeight = 0;
  r.engine.beginRun(r.setup);
  const ColumnResult& res = r.engine.ComputeSpectrumColumn(0, r.vars);
  EXPECT_TRUE(res.overload);
  EXPECT_EQ(res.waveColour, 255);
  EXPECT_FLOAT_EQ(res.max, 32767);
  EXPECT_FLOAT_EQ(res.min, -32767);
  EXPECT_FLOAT_EQ(res.peakToPeak, 65534);
  EXPECT_EQ(res.barMin, 8);   // -32767 / 1024 + 40 = 8.0
  EXPECT_EQ(res.barMax, 73);  // 32767 / 1024 + 41 = 72.999
  EXPECT_FALSE(res.hasSpectrum);
  r.engine.ComputeSpectrumColumn(512, r.vars);
  EXPECT_EQ(r.engine.overloadCount, 2);

  r.fill(1000);
  const ColumnResult& quiet = r.engine.ComputeSpectrumColumn(0, r.vars);
  EXPECT_FALSE(quiet.overload);
  EXPECT_EQ(quiet.waveColour, 0);
  EXPECT_EQ(r.engine.overloadCount, 2);
}

TEST(Spectrum, LevelIsMeasuredOverTheLevelRangeOnly) {
  Rig r;
  r.fill(0);
  r.engine.samples()[10] = 30000;  // outside 100..199
  r.engine.samples()[150] = -500;
  r.setup.levelStart = 100;
  r.setup.levelLength = 100;
  r.setup.displayHeight = 0;
  r.engine.beginRun(r.setup);
  const ColumnResult& res = r.engine.ComputeSpectrumColumn(0, r.vars);
  EXPECT_FLOAT_EQ(res.max, 0);
  EXPECT_FLOAT_EQ(res.min, -500);
}

TEST(Spectrum, DerivativeAndSmoothingInput) {
  Rig r;
  for (int n = 0; n < 2048; ++n) r.engine.samples()[n] = static_cast<int16_t>(n * 4);
  r.setup.windowType = 0;
  r.setup.displayHeight = 0;
  r.setup.derivate = true;
  r.engine.beginRun(r.setup);
  r.engine.ComputeSpectrumColumn(0, r.vars);
  EXPECT_FLOAT_EQ(r.engine.work()[0], 2.0f);  // 4 / 2 - 0 / 2
  EXPECT_FLOAT_EQ(r.engine.work()[1022], 2.0f);
  EXPECT_FLOAT_EQ(r.engine.work()[1023], 0.0f);

  r.setup.derivate = false;
  r.setup.smooth = true;
  for (int n = 0; n < 4; ++n) r.engine.samples()[n] = static_cast<int16_t>(n == 1 ? 9 : 0);
  r.engine.beginRun(r.setup);
  r.engine.ComputeSpectrumColumn(0, r.vars);
  // In place, left to right: each average uses the smoothed left neighbour.
  EXPECT_FLOAT_EQ(r.engine.work()[1], 3.0f);
  EXPECT_FLOAT_EQ(r.engine.work()[2], 1.0f);
}

TEST(Spectrum, LinearScaleReportsTheColumnRange) {
  Rig r;
  r.sine(1500, 10000);
  r.setup.zscale = 1;
  r.engine.beginRun(r.setup);
  r.vars.ZoomMode = 1;
  const ColumnResult& res = r.engine.ComputeSpectrumColumn(0, r.vars);
  EXPECT_TRUE(res.linear);
  EXPECT_FLOAT_EQ(res.linMin, 0);  // the range starts from 0
  float hi = 0;
  for (int i = 0; i < 256; ++i) hi = std::max(hi, r.engine.column()[i]);
  EXPECT_FLOAT_EQ(res.linMax, hi);
  EXPECT_GT(hi, 1.0f);
}

TEST(Spectrum, AveragingModeIsAppliedToTheRows) {
  Rig r;
  SpectrumOps ops;
  r.engine.ops = &ops;
  r.fill(0);
  r.setup.avgMode = 3;  // hold max
  r.engine.beginRun(r.setup);
  r.vars.ZoomMode = 1;
  r.sine(2000, 20000);
  r.engine.ComputeSpectrumColumn(0, r.vars);
  const float loud = r.engine.column()[43];
  r.fill(0);
  r.engine.ComputeSpectrumColumn(0, r.vars);
  EXPECT_FLOAT_EQ(r.engine.column()[43], loud);  // held
}

TEST(Spectrum, CepstrumAndSpectrumWindowHook) {
  Rig r;
  r.sine(1000, 20000);
  r.setup.cepstrum = true;
  int plotted = 0, points = 0;
  r.engine.plotSpec = [&](const float*, int n) {
    ++plotted;
    points = n;
  };
  r.engine.beginRun(r.setup);
  r.vars.ZoomMode = 1;
  r.engine.ComputeSpectrumColumn(0, r.vars);
  EXPECT_EQ(plotted, 1);
  EXPECT_EQ(points, 256);
  for (int i = 0; i < 256; ++i) ASSERT_TRUE(std::isfinite(r.engine.column()[i]) && r.engine.column()[i] >= 0);
}

TEST(Spectrum, RowsBeyondTheLastBinReadAsSilence) {
  Rig r;
  r.sine(1000, 20000);
  r.setup.order = 9;
  r.setup.windowSize = 512;
  r.setup.displayHeight = 512;  // 512 rows of 1 bin: only 257 bins exist
  r.setup.zoomFactor = 1;
  r.engine.beginRun(r.setup);
  r.vars.ZoomMode = 0;
  r.engine.ComputeSpectrumColumn(0, r.vars);
  const float floor = 0 - (12 * 9 - 60);
  for (int i = 257; i < 512; ++i) ASSERT_FLOAT_EQ(r.engine.column()[i], floor) << i;
  r.vars.ZoomMode = 1;
  r.vars.ZoomBase = 100000;  // clamped to the last bin
  r.engine.ComputeSpectrumColumn(0, r.vars);
  for (int i = 1; i < 512; ++i) ASSERT_NEAR(r.engine.column()[i], -60 - (12 * 9 - 60), 1e-3) << i;
}

TEST(Spectrum, InterleavedChannelsAreReadEverySecondSample) {
  Rig r;
  for (int n = 0; n < 4096; ++n) {
    r.engine.samples()[2 * n] = static_cast<int16_t>(std::lround(20000 * std::sin(2 * kPi * 1000 * n / 48000.0)));
    r.engine.samples()[2 * n + 1] = 0;
  }
  r.setup.stride = 2;
  r.engine.beginRun(r.setup);
  r.vars.ZoomMode = 1;
  r.engine.ComputeSpectrumColumn(0, r.vars);  // left
  EXPECT_GT(r.engine.column()[21], 150.0f);
  r.engine.ComputeSpectrumColumn(1, r.vars);  // right: silent
  for (int i = 0; i < 256; ++i) ASSERT_NEAR(r.engine.column()[i], -60 - (12 * 10 - 60), 1e-3) << i;
  // A start too near the end of the sample array gives no column.
  EXPECT_FALSE(r.engine.ComputeSpectrumColumn(kSampleCapacity - 100, r.vars).hasSpectrum);
}

TEST(Conditioning, OffsetRemovalShowsTheMeanAndSubtractsOnlyTheTypedValue) {
  Rig r;
  for (int n = 0; n < 100; ++n) r.engine.samples()[n] = static_cast<int16_t>(200 + (n % 2 ? 10 : -10));
  ConditionSetup c;
  c.removeOffset = true;
  c.offsetValue = 0;
  EXPECT_EQ(r.engine.ConditionBlock(0, 100, c), 200);
  EXPECT_EQ(r.engine.samples()[0], 190);  // nothing subtracted
  c.offsetValue = 190;
  r.engine.ConditionBlock(0, 100, c);
  EXPECT_EQ(r.engine.samples()[0], 0);
  EXPECT_EQ(r.engine.samples()[1], 20);
  // Saturation at the ends of the 16-bit range.
  r.engine.samples()[0] = -32000;
  c.offsetValue = 5000;
  r.engine.ConditionBlock(0, 1, c);
  EXPECT_EQ(r.engine.samples()[0], -32768);
}

TEST(Conditioning, DigitalGainSaturates) {
  Rig r;
  r.engine.samples()[0] = 1000;
  r.engine.samples()[1] = -20000;
  r.engine.samples()[2] = 20000;
  ConditionSetup c;
  c.digitalGain = 4;
  r.engine.ConditionBlock(0, 3, c);
  EXPECT_EQ(r.engine.samples()[0], 4000);
  EXPECT_EQ(r.engine.samples()[1], -32768);
  EXPECT_EQ(r.engine.samples()[2], 32767);
}

TEST(Conditioning, DitherStaysInRangeAndSaturates) {
  for (int d = 1; d <= 3; ++d) {
    Rig r;
    r.engine.beginRun(r.setup);
    for (int n = 0; n < 1000; ++n) r.engine.samples()[n] = n % 2 ? 32767 : -32768;
    ConditionSetup c;
    c.dither = d;
    c.ditherAmount = 100;
    r.engine.ConditionBlock(0, 1000, c);
    int moved = 0;
    for (int n = 0; n < 1000; ++n) {
      int16_t v = r.engine.samples()[n];
      int orig = n % 2 ? 32767 : -32768;
      ASSERT_LE(std::abs(v - orig), d == 1 ? 50 : 100) << d;
      moved += v != orig;
    }
    EXPECT_GT(moved, 100) << d;  // dither does move samples (inward only at the rails)
  }
}

TEST(Conditioning, ThirdDitherCarriesItsErrorAcrossBlocks) {
  ConditionSetup c;
  c.dither = 3;
  c.ditherAmount = 1000;
  auto blocks = [&](bool split, bool restart) {
    Rig r;
    r.engine.beginRun(r.setup);
    for (int n = 0; n < 8; ++n) r.engine.samples()[n] = 0;
    if (!split) {
      r.engine.ConditionBlock(0, 8, c);
    } else {
      r.engine.ConditionBlock(0, 4, c);
      if (restart) r.engine.beginRun(r.setup);
      r.engine.ConditionBlock(4, 4, c);
    }
    return std::vector<int16_t>(r.engine.samples(), r.engine.samples() + 8);
  };
  EXPECT_EQ(blocks(true, false), blocks(false, false));
  // A new run starts from no error: the first sample of the block differs.
  EXPECT_NE(blocks(true, true)[4], blocks(false, false)[4]);
}

TEST(Windows, CoefficientsGainAndTail) {
  std::vector<float> t(kWindowTableSize, 7.0f);
  WindowInfo g = BuildWindow(4, 1024, t.data());
  EXPECT_EQ(g.name, "Gaussian");
  EXPECT_FLOAT_EQ(t[512], 1.0f);
  EXPECT_FLOAT_EQ(t[0], std::exp(-8.0f));
  for (int i = 1024; i < kWindowTableSize; ++i) ASSERT_EQ(t[i], 0.0f);

  WindowInfo h = BuildWindow(1, 1024, t.data());
  EXPECT_FLOAT_EQ(h.bandwidth, 1.44f);
  EXPECT_NEAR(h.gain, 2.0, 1e-5);
  EXPECT_NEAR(t[0], 0.0, 1e-7);
  EXPECT_NEAR(t[512], 1.0, 1e-6);

  WindowInfo hm = BuildWindow(2, 1000, t.data());
  EXPECT_NEAR(t[0], 0.08, 1e-6);
  EXPECT_NEAR(hm.gain, 1 / 0.54, 1e-4);

  WindowInfo k = BuildWindow(3, 512, t.data());
  EXPECT_EQ(k.name, "K-Bessel");
  EXPECT_NEAR(t[0], (1 - 1.24 + 0.244 - 0.00305) * 0.5, 1e-6);

  BuildWindow(6, 1024, t.data());
  EXPECT_FLOAT_EQ(t[0], 0.0f);
  EXPECT_FLOAT_EQ(t[1023], 0.0f);
  EXPECT_FLOAT_EQ(t[512], 1.0f);
  EXPECT_FLOAT_EQ(t[341], 1.0f);
  EXPECT_FLOAT_EQ(t[682], 1.0f);
  EXPECT_LT(t[340], 1.0f);
  EXPECT_FLOAT_EQ(t[683], t[340]);

  WindowInfo r01 = BuildWindow(8, 4, t.data());
  EXPECT_EQ(r01.name, "0-1");
  EXPECT_FLOAT_EQ(t[0], 0.25f);
  EXPECT_FLOAT_EQ(t[3], 1.0f);
  BuildWindow(9, 4, t.data());
  EXPECT_FLOAT_EQ(t[0], 0.625f);

  WindowInfo h2 = BuildWindow(5, 8, t.data());
  EXPECT_EQ(h2.name, "Hanning\xC3\xBD");
  EXPECT_NEAR(t[4], 2.0, 1e-6);  // (1 - cos pi)^2 / 2

  // Types without a formula fall back to the flat window, flagged.
  WindowInfo seven = BuildWindow(7, 16, t.data());
  EXPECT_FALSE(seven.known);
  EXPECT_FLOAT_EQ(seven.gain, 1.0f);
  EXPECT_FLOAT_EQ(t[5], 1.0f);
  EXPECT_FALSE(BuildWindow(12, 16, t.data()).known);
  EXPECT_TRUE(BuildWindow(0, 16, t.data()).known);
}

TEST(Windows, FftOrder) {
  EXPECT_EQ(fftOrderOf(1024), 10);
  EXPECT_EQ(fftOrderOf(1000), 10);  // the transform covers every sample
  EXPECT_EQ(fftOrderOf(16384), 14);
  EXPECT_EQ(fftOrderOf(512), 9);
}

}  // namespace
}  // namespace qv
