#include "platform/dsp.h"

#include <cmath>

namespace qv {

void Dsp::intToFloat(const int16_t* src, float* dst, int n) {
  for (int i = 0; i < n; ++i) dst[i] = static_cast<float>(src[i]);
}
float Dsp::max(const float* v, int n) {
  float m = v[0];
  for (int i = 1; i < n; ++i) m = v[i] > m ? v[i] : m;
  return m;
}
float Dsp::min(const float* v, int n) {
  float m = v[0];
  for (int i = 1; i < n; ++i) m = v[i] < m ? v[i] : m;
  return m;
}
float Dsp::maxExt(const float* v, int n, int* index) {
  int k = 0;
  for (int i = 1; i < n; ++i)
    if (v[i] > v[k]) k = i;
  if (index) *index = k;
  return v[k];
}
void Dsp::mul(const float* window, float* work, int n) {
  for (int i = 0; i < n; ++i) work[i] *= window[i];
}
void Dsp::powerSpectrum(const float* c, float* dst, int n) {
  for (int i = 0; i < n; ++i) dst[i] = c[2 * i] * c[2 * i] + c[2 * i + 1] * c[2 * i + 1];
}
void Dsp::threshold(float* v, int n, float level) {
  for (int i = 0; i < n; ++i)
    if (v[i] < level) v[i] = level;
}
void Dsp::ln(float* v, int n) {
  for (int i = 0; i < n; ++i) v[i] = std::log(v[i]);
}
void Dsp::add(const float* src, float* dst, int n) {
  for (int i = 0; i < n; ++i) dst[i] += src[i];
}
void Dsp::sub(const float* src, float* dst, int n) {
  for (int i = 0; i < n; ++i) dst[i] -= src[i];
}
void Dsp::scale(float* v, int n, float k) {
  for (int i = 0; i < n; ++i) v[i] *= k;
}
float Dsp::mean(const float* v, int n) {
  double s = 0;
  for (int i = 0; i < n; ++i) s += v[i];
  return n > 0 ? static_cast<float>(s / n) : 0.0f;
}

}  // namespace qv
