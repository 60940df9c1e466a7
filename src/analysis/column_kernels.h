// The per-sample and per-bin loops of a spectrum column, written for vector
// instructions whatever the optimisation level: eight lanes at a time, the
// remainder one by one with the same arithmetic.
#pragma once

#include <cstdint>

namespace qv {

// Smallest and largest of n samples src[0], src[stride], ... (n >= 1).
void sampleRange(const int16_t* src, int stride, int n, int& lo, int& hi);

// dst[i] = src[i * stride] as float x window[i], for i < n; stride 1 or 2.
void windowSamples(const int16_t* src, int stride, const float* window, float* dst, int n);

// Powers of packed complex bins (re, im pairs) gathered into rows: with
// binsPerRow 1 row i is the power of bin i; otherwise row i is the largest
// power of bins i x binsPerRow .. (i + 1) x binsPerRow - 1 and `least`.
// Only bins below `bins` are read; rows with no bin left are `least`.
void powerRows(const float* packed, int bins, int binsPerRow, float least, float* rows, int count);

// Natural logarithm of positive normal floats, within 3e-7 of the true value
// (relative, or absolute near 1); exactly 0 at 1.
float lnApprox(float x);

// The dB scale in place: v[i] = k x ln(max(v[i], floor)) - offset, with the
// logarithm of lnApprox. floor must be a positive normal float.
void powerToDb(float* v, int n, float floor, float k, float offset);

}  // namespace qv
