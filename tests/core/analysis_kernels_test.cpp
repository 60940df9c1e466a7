#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "analysis/column_kernels.h"
#include "analysis/spectrum.h"
#include "core/program.h"
#include "platform/fftw/fftw_dsp.h"

namespace qv {
namespace {

constexpr float kDb = 8.6858902f;  // 20 x log10(e) in single precision

// What the display shows for a power value: 20 x log10 of it, the 0.001
// floor, the display offset; in double precision as the reference.
double referenceDb(double p, double offset) { return 20.0 * std::log10(std::max(p, 0.001)) - offset; }

float dbOf(float p, float offset) {
  float v = p;
  powerToDb(&v, 1, 0.001f, kDb, offset);
  return v;
}

TEST(ColumnKernels, DecibelsHoldTheirAccuracyOverEveryPowerAColumnCanHold) {
  // From the 0.001 floor to beyond the largest power a column can produce
  // (a full-scale constant through a window of gain 2 over 16384 points:
  // (32768 x 2 x 16384)^2 = 2^60), in steps of 0.01 %, eight lanes and a
  // ragged tail at a time.
  std::vector<float> powers;
  for (double p = 0.001; p < 0x1p61; p *= 1.0001) powers.push_back(static_cast<float>(p));
  powers.push_back(0x1p60f);
  std::vector<float> db = powers;
  const float offset = 108;  // FFT order 14
  powerToDb(db.data(), static_cast<int>(db.size()), 0.001f, kDb, offset);
  double worst = 0;
  for (size_t i = 0; i < powers.size(); ++i) worst = std::max(worst, std::fabs(db[i] - referenceDb(powers[i], offset)));
  EXPECT_LT(worst, 0.001) << "dB error over " << powers.size() << " powers";

  // Every mantissa step of one octave: the polynomial's whole interval.
  double worstOctave = 0;
  for (uint32_t m = 0; m < (1u << 23); m += 97) {
    const uint32_t bits = 0x3F800000u | m;  // [1, 2)
    float x;
    std::memcpy(&x, &bits, sizeof x);
    worstOctave = std::max(worstOctave, std::fabs(static_cast<double>(lnApprox(x)) - std::log(static_cast<double>(x))));
  }
  EXPECT_LT(worstOctave, 3e-7);
}

TEST(ColumnKernels, DecibelsAtTheExtremes) {
  // Silence rows rest on exact values: 1.0 is 0 dB, the floor is -60 dB.
  EXPECT_EQ(dbOf(1.0f, 0), 0.0f);
  EXPECT_EQ(lnApprox(1.0f), 0.0f);
  EXPECT_NEAR(dbOf(0.001f, 0), -60.0, 1e-4);
  EXPECT_NEAR(dbOf(0.001f, 12 * 10 - 60), -120.0, 1e-4);
  // Below the floor (zero, negative after subtracting an average, tiny) is the floor.
  for (float p : {0.0f, -5.0f, 1e-30f, FLT_MIN, 0.0009f}) EXPECT_NEAR(dbOf(p, 0), -60.0, 1e-4) << p;
  // The top of the range and beyond stay finite and right.
  EXPECT_NEAR(dbOf(0x1p60f, 0), 20 * std::log10(0x1p60), 1e-3);
  EXPECT_NEAR(dbOf(FLT_MAX, 0), 20 * std::log10(static_cast<double>(FLT_MAX)), 1e-3);
  // Lengths that leave a ragged tail give the same value in every place.
  for (int n = 1; n <= 9; ++n) {
    std::vector<float> v(static_cast<size_t>(n), 12345.678f);
    powerToDb(v.data(), n, 0.001f, kDb, 3);
    for (int i = 0; i < n; ++i) ASSERT_EQ(v[static_cast<size_t>(i)], dbOf(12345.678f, 3)) << n << " " << i;
  }
}

TEST(ColumnKernels, SamplesAreRangedAndWindowedAsTheyAreConverted) {
  std::minstd_rand rng(5);
  std::vector<int16_t> x(4099);
  for (auto& s : x) s = static_cast<int16_t>(static_cast<int>(rng() % 65536) - 32768);
  x[1000] = -32768;
  x[1001] = 32767;
  std::vector<float> window(2049), out(2049);
  for (size_t i = 0; i < window.size(); ++i) window[i] = 0.5f + static_cast<float>(i % 7) / 8;
  for (int stride : {1, 2}) {
    for (int n : {1, 7, 8, 9, 1025, 2049}) {
      // Stride 2 ends on the array's last sample: nothing past it is read.
      const int16_t* src = stride == 2 ? x.data() + x.size() - 1 - 2 * (n - 1) : x.data() + 1;
      int lo = 0, hi = 0;
      sampleRange(src, stride, n, lo, hi);
      int wantLo = src[0], wantHi = src[0];
      for (int i = 0; i < n; ++i) {
        wantLo = std::min(wantLo, static_cast<int>(src[i * stride]));
        wantHi = std::max(wantHi, static_cast<int>(src[i * stride]));
      }
      EXPECT_EQ(lo, wantLo) << stride << " " << n;
      EXPECT_EQ(hi, wantHi) << stride << " " << n;
      windowSamples(src, stride, window.data(), out.data(), n);
      for (int i = 0; i < n; ++i)
        ASSERT_EQ(out[static_cast<size_t>(i)], static_cast<float>(src[i * stride]) * window[static_cast<size_t>(i)])
            << stride << " " << n << " " << i;
    }
  }
  int lo = 0, hi = 0;
  sampleRange(x.data() + 996, 1, 8, lo, hi);
  EXPECT_EQ(lo, -32768);
  EXPECT_EQ(hi, 32767);
}

TEST(ColumnKernels, RowsTakeTheLoudestOfTheirBinsAndNothingBeyondTheLast) {
  std::minstd_rand rng(9);
  const int bins = 257;
  std::vector<float> packed(2 * bins);
  for (auto& v : packed) v = static_cast<float>(static_cast<int>(rng() % 2001) - 1000) / 10;
  auto power = [&](int b) { return packed[2 * b] * packed[2 * b] + packed[2 * b + 1] * packed[2 * b + 1]; };
  for (int z : {1, 2, 3, 4, 8, 32}) {
    for (float least : {0.0f, 1.0f}) {
      const int rows = 300;  // more rows than the bins fill
      std::vector<float> got(rows, -1.0f);
      powerRows(packed.data(), bins, z, least, got.data(), rows);
      for (int r = 0; r < rows; ++r) {
        float want = least;
        for (int b = r * z; b < std::min((r + 1) * z, bins); ++b) want = std::max(want, power(b));
        ASSERT_FLOAT_EQ(got[static_cast<size_t>(r)], want) << "z " << z << " row " << r;
      }
    }
  }
}

// The out-of-place transform gives what the in-place one gives and leaves
// its input alone, on aligned and misaligned arrays.
TEST(ColumnKernels, TheTransformOutOfPlaceMatchesInPlace) {
  FftwDsp dsp;
  for (int order : {9, 12}) {
    const int n = 1 << order;
    auto fft = dsp.planRealFft(order);
    std::vector<float> storage(4 * n + 64);
    float* base = storage.data();
    while (reinterpret_cast<uintptr_t>(base) % 64 != 0) ++base;
    for (int shift : {0, 1}) {
      float* in = base + shift;
      float* out = base + n + 16 + shift;
      float* ref = base + 2 * n + 32;
      for (int i = 0; i < n; ++i) in[i] = ref[i] = static_cast<float>(std::sin(0.3 * i) * 1000 + (i % 13));
      ref[n] = ref[n + 1] = 0;
      ASSERT_TRUE(fft->forwardInto(in, out));
      fft->forward(ref);
      for (int i = 0; i < n; ++i) ASSERT_EQ(in[i], static_cast<float>(std::sin(0.3 * i) * 1000 + (i % 13))) << i;
      for (int k = 0; k < n + 2; ++k) ASSERT_NEAR(out[k], ref[k], 1e-3 * n) << order << " " << shift << " " << k;
    }
  }
}

// The last column a stereo block can hold reads its final sample from the
// last place of the sample array and no further.
TEST(ColumnKernels, AStereoColumnAtTheEndOfTheSampleArray) {
  FftwDsp dsp;
  SpectrumEngine engine(dsp);
  ColumnSetup s;
  s.order = 10;
  s.windowSize = 1024;
  s.levelStart = 0;
  s.levelLength = 1024;
  s.stride = 2;
  engine.beginRun(s);
  for (int i = 0; i < kSampleCapacity; ++i) engine.samples()[i] = static_cast<int16_t>(i % 2 ? -100 : 100);
  engine.samples()[kSampleCapacity - 1] = 30000;
  PublicVars v;
  v.ZoomMode = 1;
  const ColumnResult& r = engine.ComputeSpectrumColumn(kSampleCapacity - 1 - 2 * 1023, v);
  ASSERT_TRUE(r.hasSpectrum);
  EXPECT_EQ(r.max, 30000);
  EXPECT_EQ(r.min, -100);
}

}  // namespace
}  // namespace qv
