#include "analysis/window.h"

#include <algorithm>
#include <cmath>

#include "core/control.h"

namespace qv {

WindowInfo windowDescriptor(int type) {
  switch (type) {
    case 0: return {1, 1, "Linear"};
    case 1: return {1.44f, 1, "Hanning"};
    case 2: return {1.3f, 1, "Hamming"};
    case 3: return {1.71f, 1, "K-Bessel"};
    case 4: return {1.79f, 1, "Gaussian"};
    case 5: return {1.83f, 1, "Hanning\xC3\xBD"};
    case 6: return {1.22f, 1, "FlatTop 33&"};
    case 8: return {1, 1, "0-1"};
    case 9: return {1, 1, "05-1"};
    default: return {1, 1, "Linear", false};
  }
}

WindowInfo BuildWindow(int type, int n, float* table) {
  n = std::clamp(n, 1, kMaxWindowSize);
  // 2 pi as the window tables have always formed it, in single precision.
  const float twoPi = 3.1415926f + 3.1415926f;
  const float theta = twoPi / static_cast<float>(n);
  WindowInfo info = windowDescriptor(type);
  auto c = [&](int k, double mult = 1.0) { return std::cos(static_cast<double>(k) * theta * mult); };
  switch (type) {
    case 1:
      for (int k = 0; k < n; ++k) table[k] = static_cast<float>((1 - c(k)) * 0.5);
      break;
    case 2:
      for (int k = 0; k < n; ++k) table[k] = static_cast<float>(0.54 - 0.46 * c(k));
      break;
    case 3:
      for (int k = 0; k < n; ++k)
        table[k] = static_cast<float>((1 - 1.24 * c(k) + 0.244 * c(k, 2) - 0.00305 * c(k, 3)) * 0.5);
      break;
    case 4: {
      for (int k = 0; k < n; ++k) {
        double d = static_cast<double>(roundEven(k - n / 2.0));
        double a = 8.0 * d / n;
        table[k] = static_cast<float>(std::exp(-0.5 * a * a));
      }
      break;
    }
    case 5:
      for (int k = 0; k < n; ++k) {
        double h = 1 - c(k);
        table[k] = static_cast<float>(h * h * 0.5);
      }
      break;
    case 6: {
      const float phi = 1.5f * twoPi / static_cast<float>(n);
      const int t = static_cast<int>(roundEven(n / 3.0));
      std::fill(table, table + n, 0.0f);
      for (int k = 0; k < t && k < n; ++k) {
        float w = static_cast<float>((1 - std::cos(static_cast<double>(k) * phi)) * 0.5);
        table[k] = w;
        table[n - 1 - k] = w;
      }
      int from = static_cast<int>(roundEven(n / 3.0 + 1)) - 1;
      int to = static_cast<int>(roundEven(n - n / 3.0)) - 1;
      for (int k = std::max(from, 0); k <= to && k < n; ++k) table[k] = 1.0f;
      break;
    }
    case 8:
      for (int k = 0; k < n; ++k) table[k] = static_cast<float>(k + 1) / static_cast<float>(n);
      break;
    case 9:
      for (int k = 0; k < n; ++k) table[k] = static_cast<float>(k + 1) / static_cast<float>(2 * n) + 0.5f;
      break;
    default:
      // Type 0, and the numbers without a formula (7, above 9, negative):
      // a flat window keeps the analysis defined instead of using stale values.
      for (int k = 0; k < n; ++k) table[k] = 1.0f;
      break;
  }
  double sum = 0;
  for (int k = 0; k < n; ++k) sum += table[k];
  info.gain = sum > 0 ? static_cast<float>(1.0 / (sum / n)) : 1.0f;
  std::fill(table + n, table + kWindowTableSize, 0.0f);
  return info;
}

}  // namespace qv
