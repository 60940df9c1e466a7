#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "realtime/spectrum_ops.h"

namespace qv {
namespace {

TEST(SpectrumOps, AverageApproachesAConstantInputGeometrically) {
  SpectrumOps ops;
  const float x = 40;
  std::vector<float> s(11);
  for (int k = 1; k <= 300; ++k) {
    std::fill(s.begin(), s.end(), x);
    ops.AverageSpectrum(s.data(), 10, 0.99f);
    if (k == 1 || k == 10 || k == 100 || k == 300) {
      for (int i = 0; i <= 10; ++i) ASSERT_NEAR(s[i], x * (1 - std::pow(0.99, k)), 1e-3 * x) << k;
    }
  }
}

TEST(SpectrumOps, SubtractAverageTendsToZero) {
  SpectrumOps ops;
  std::vector<float> s(6);
  for (int k = 0; k < 2000; ++k) {
    for (int i = 0; i <= 5; ++i) s[i] = 10.0f * (i + 1);
    ops.AverageSubtractSpectrum(s.data(), 5, 0.99f);
  }
  for (int i = 0; i <= 5; ++i) EXPECT_NEAR(s[i], 0, 1e-3) << i;
}

TEST(SpectrumOps, HoldMaxAndDecay) {
  SpectrumOps a, b;
  std::vector<std::vector<float>> inputs = {{1, 5, 3}, {4, 2, 3}, {0, 0, 9}, {2, 2, 2}};
  for (auto in : inputs) {
    auto held = in, decayed = in;
    a.HoldMax(held.data(), 2, 0.5f);
    b.HoldMaxDecay(decayed.data(), 2, 1.0f);  // no decay: the same as holding
    EXPECT_EQ(held, decayed);
  }
  std::vector<float> s = {4, 5, 9};
  EXPECT_EQ(s, std::vector<float>(a.maxState().begin(), a.maxState().begin() + 3));

  SpectrumOps c;
  std::vector<float> peak = {8, 8};
  c.HoldMaxDecay(peak.data(), 1, 0.5f);
  std::vector<float> quiet = {1, 0};
  c.HoldMaxDecay(quiet.data(), 1, 0.5f);
  EXPECT_EQ(quiet, (std::vector<float>{4, 4}));
  // Coefficient 0 passes the spectrum through.
  std::vector<float> pass = {3, 0.5f};
  c.HoldMaxDecay(pass.data(), 1, 0.0f);
  EXPECT_EQ(pass, (std::vector<float>{3, 0.5f}));
}

TEST(SpectrumOps, StatesAreSeparateAndModeDispatch) {
  SpectrumOps ops;
  std::vector<float> s = {10, 10, 10};
  ops.apply(1, s.data(), 3, 0.5f);  // three rows: points 0..2
  EXPECT_EQ(s, (std::vector<float>{5, 5, 5}));
  EXPECT_EQ(ops.avgState()[3], 0.0f);  // nothing beyond the rows
  EXPECT_EQ(ops.subState()[0], 0.0f);
  s = {10, 10, 10};
  ops.apply(0, s.data(), 3, 0.5f);
  EXPECT_EQ(s, (std::vector<float>{10, 10, 10}));
  ops.apply(2, s.data(), 3, 0.5f);
  EXPECT_EQ(s, (std::vector<float>{5, 5, 5}));
  // Oversized counts stop at the capacity.
  std::vector<float> big(SpectrumOps::kCapacity + 10, 1.0f);
  ops.HoldMax(big.data(), SpectrumOps::kCapacity + 5, 0);
  EXPECT_EQ(big[SpectrumOps::kCapacity + 1], 1.0f);
}

}  // namespace
}  // namespace qv
