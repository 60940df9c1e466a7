#include "platform/dsp.h"

namespace qv {

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
void Dsp::mul(const float* window, float* work, int n) {
  for (int i = 0; i < n; ++i) work[i] *= window[i];
}
void Dsp::scale(float* v, int n, float k) {
  for (int i = 0; i < n; ++i) v[i] *= k;
}

}  // namespace qv
