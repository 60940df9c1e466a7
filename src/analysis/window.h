// Window functions for the spectrum columns.
#pragma once

#include <string>

namespace qv {

constexpr int kWindowTableSize = 16385;  // indices 0..16384
constexpr int kMaxWindowSize = 16384;

struct WindowInfo {
  float bandwidth = 1;  // bandwidth in FFT bins
  float gain = 1;       // N / sum of coefficients
  std::string name;
  bool known = true;    // false: the type has no formula and the flat window stands in
};

// Name and bandwidth of a window type (gain left at 1).
WindowInfo windowDescriptor(int type);

// Fills table[0..n-1] with the coefficients of window `type` and zeroes the
// rest of the table (kWindowTableSize entries). n is limited to 1..16384.
WindowInfo BuildWindow(int type, int n, float* table);

}  // namespace qv
