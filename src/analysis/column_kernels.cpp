#include "analysis/column_kernels.h"

#include <algorithm>
#include <cstring>

namespace qv {
namespace {

// Four lanes: what every x86-64 and ARM64 processor has, so the build needs
// no machine flags.
typedef float f32x4 __attribute__((vector_size(16)));
typedef int32_t i32x4 __attribute__((vector_size(16)));
typedef int16_t i16x8 __attribute__((vector_size(16)));

template <typename V, typename T>
inline V load(const T* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <typename T, typename V>
inline void store(T* p, V v) {
  std::memcpy(p, &v, sizeof v);
}

inline f32x4 select(i32x4 mask, f32x4 a, f32x4 b) { return (f32x4)(((i32x4)a & mask) | ((i32x4)b & ~mask)); }
inline f32x4 vmax(f32x4 a, f32x4 b) { return select(a > b, a, b); }
inline i16x8 vmin16(i16x8 a, i16x8 b) { return (a & (a < b)) | (b & ~(a < b)); }
inline i16x8 vmax16(i16x8 a, i16x8 b) { return (a & (a > b)) | (b & ~(a > b)); }
inline float hmax(f32x4 v) { return std::max(std::max(v[0], v[1]), std::max(v[2], v[3])); }

inline f32x4 powers(const float* c) {
  const f32x4 a = load<f32x4>(c), b = load<f32x4>(c + 4);
  const f32x4 re = __builtin_shufflevector(a, b, 0, 2, 4, 6);
  const f32x4 im = __builtin_shufflevector(a, b, 1, 3, 5, 7);
  return re * re + im * im;
}

// The single-precision logarithm of the classic mathematical library: the
// mantissa brought into [sqrt(1/2), sqrt(2)), a degree-9 polynomial in
// f = mantissa - 1, and the exponent's share of ln 2 split into two parts.
inline f32x4 lnVec(f32x4 x) {
  const i32x4 bits = (i32x4)x;
  i32x4 e = (bits >> 23) - 127;
  f32x4 m = (f32x4)((bits & 0x007FFFFF) | 0x3F800000);  // [1, 2)
  const i32x4 big = m > 1.41421356f;
  m = select(big, m * 0.5f, m);
  e -= big;  // true lanes are -1
  const f32x4 f = m - 1.0f;
  const f32x4 z = f * f;
  f32x4 y = 7.0376836292E-2f * f - 1.1514610310E-1f;
  y = y * f + 1.1676998740E-1f;
  y = y * f - 1.2420140846E-1f;
  y = y * f + 1.4249322787E-1f;
  y = y * f - 1.6668057665E-1f;
  y = y * f + 2.0000714765E-1f;
  y = y * f - 2.4999993993E-1f;
  y = y * f + 3.3333331174E-1f;
  y = y * f * z;
  const f32x4 fe = __builtin_convertvector(e, f32x4);
  y += -2.12194440E-4f * fe;
  y += -0.5f * z;
  return (f + y) + 0.693359375f * fe;
}

inline f32x4 dbVec(f32x4 v, float floor, float k, float offset) { return k * lnVec(vmax(v, floor - f32x4{})) - offset; }

}  // namespace

void sampleRange(const int16_t* src, int stride, int n, int& lo, int& hi) {
  int i = 0;
  int l = src[0], h = src[0];
  if (n >= 8) {
    const int16_t s0 = src[0];
    i16x8 vl = {s0, s0, s0, s0, s0, s0, s0, s0}, vh = vl;
    if (stride == 1) {
      for (; i + 8 <= n; i += 8) {
        const i16x8 s = load<i16x8>(src + i);
        vl = vmin16(vl, s);
        vh = vmax16(vh, s);
      }
    } else if (stride == 2) {
      // Not the last sample: the frame after it may lie beyond the array.
      for (; i + 8 < n; i += 8) {
        const i16x8 a = load<i16x8>(src + 2 * i), b = load<i16x8>(src + 2 * i + 8);
        const i16x8 s = __builtin_shufflevector(a, b, 0, 2, 4, 6, 8, 10, 12, 14);
        vl = vmin16(vl, s);
        vh = vmax16(vh, s);
      }
    }
    for (int k = 0; k < 8; ++k) {
      l = std::min(l, static_cast<int>(vl[k]));
      h = std::max(h, static_cast<int>(vh[k]));
    }
  }
  for (; i < n; ++i) {
    const int s = src[i * stride];
    l = std::min(l, s);
    h = std::max(h, s);
  }
  lo = l;
  hi = h;
}

void windowSamples(const int16_t* src, int stride, const float* window, float* dst, int n) {
  // Samples are widened to 32 bits by shifting them into the upper half of
  // each lane and back, which keeps their sign.
  int i = 0;
  if (stride == 1) {
    for (; i + 8 <= n; i += 8) {
      const i16x8 s = load<i16x8>(src + i);
      const i32x4 lo = (i32x4)__builtin_shufflevector(s, s, 0, 0, 1, 1, 2, 2, 3, 3) >> 16;
      const i32x4 hi = (i32x4)__builtin_shufflevector(s, s, 4, 4, 5, 5, 6, 6, 7, 7) >> 16;
      store(dst + i, __builtin_convertvector(lo, f32x4) * load<f32x4>(window + i));
      store(dst + i + 4, __builtin_convertvector(hi, f32x4) * load<f32x4>(window + i + 4));
    }
  } else if (stride == 2) {
    // Each lane holds one frame, the wanted sample in its lower half. The
    // last sample is left to the plain loop: its frame's other half may lie
    // beyond the array.
    for (; i + 4 < n; i += 4) {
      const i32x4 v = load<i32x4>(src + 2 * i);
      store(dst + i, __builtin_convertvector((v << 16) >> 16, f32x4) * load<f32x4>(window + i));
    }
  }
  for (; i < n; ++i) dst[i] = static_cast<float>(src[i * stride]) * window[i];
}

void powerRows(const float* packed, int bins, int binsPerRow, float least, float* rows, int count) {
  const int z = std::max(binsPerRow, 1);
  // Rows whose bins all exist; the rest are finished one by one below.
  const int whole = std::clamp(bins / z, 0, count);
  const f32x4 floor = least - f32x4{};
  int r = 0;
  if (z == 1) {
    for (; r + 4 <= whole; r += 4) store(rows + r, vmax(powers(packed + 2 * r), floor));
  } else if (z == 2) {
    for (; r + 4 <= whole; r += 4) {
      const f32x4 p0 = powers(packed + 4 * r), p1 = powers(packed + 4 * r + 8);
      const f32x4 pairs =
          vmax(__builtin_shufflevector(p0, p1, 0, 2, 4, 6), __builtin_shufflevector(p0, p1, 1, 3, 5, 7));
      store(rows + r, vmax(pairs, floor));
    }
  } else if (z % 4 == 0) {
    for (; r < whole; ++r) {
      const float* c = packed + 2 * r * z;
      f32x4 m = floor;
      for (int j = 0; j < z; j += 4) m = vmax(m, powers(c + 2 * j));
      rows[r] = hmax(m);
    }
  }
  for (; r < count; ++r) {
    float m = least;
    const int to = std::min((r + 1) * z, bins);
    for (int j = r * z; j < to; ++j) {
      const float p = packed[2 * j] * packed[2 * j] + packed[2 * j + 1] * packed[2 * j + 1];
      m = p > m ? p : m;
    }
    rows[r] = m;
  }
}

float lnApprox(float x) { return lnVec(f32x4{x, 1, 1, 1})[0]; }

void powerToDb(float* v, int n, float floor, float k, float offset) {
  int i = 0;
  for (; i + 4 <= n; i += 4) store(v + i, dbVec(load<f32x4>(v + i), floor, k, offset));
  if (i < n) {
    // The last few through the same lanes.
    f32x4 t = 1.0f - f32x4{};
    for (int j = 0; i + j < n; ++j) t[j] = v[i + j];
    t = dbVec(t, floor, k, offset);
    for (int j = 0; i + j < n; ++j) v[i + j] = t[j];
  }
}

}  // namespace qv
