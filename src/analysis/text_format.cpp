#include "analysis/text_format.h"

#include <cmath>
#include <cstdio>

namespace qv {

double roundHalfUp(double x, int n) {
  double p = std::pow(10.0, n);
  return std::floor(x * p + 0.5) / p;
}

std::string numText(double x) {
  if (!std::isfinite(x)) return "0";
  char buf[64];
  // 15 significant digits hide binary noise of already rounded values.
  std::snprintf(buf, sizeof buf, "%.15g", x);
  std::string s = buf;
  if (s.find('e') != std::string::npos) {
    std::snprintf(buf, sizeof buf, "%.6f", x);
    s = buf;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

std::string strNum(double x) {
  std::string s = numText(x);
  return s[0] == '-' ? s : " " + s;
}

std::string strSingle(float x) {
  if (!std::isfinite(x)) return " 0";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.7g", static_cast<double>(x));
  std::string s = buf;
  const size_t e = s.find('e');
  if (e != std::string::npos) {
    // 1.234568e+07 -> 1.234568E+07
    std::string exp = s.substr(e + 1);
    const char sign = exp[0] == '-' ? '-' : '+';
    if (exp[0] == '-' || exp[0] == '+') exp.erase(0, 1);
    while (exp.size() > 2 && exp[0] == '0') exp.erase(0, 1);
    if (exp.size() < 2) exp.insert(0, "0");
    s = s.substr(0, e) + "E" + sign + exp;
  }
  if (s.rfind("0.", 0) == 0) s.erase(0, 1);
  else if (s.rfind("-0.", 0) == 0) s.erase(1, 1);
  if (s == "-0") s = "0";
  return s[0] == '-' ? s : " " + s;
}

static std::string lastDigits(long long v, int width) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*lld", width, v);
  std::string s = buf;
  return s.substr(s.size() - width);
}

std::string formatDuration(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  long long whole = static_cast<long long>(std::floor(seconds));
  long long ms = std::llround((seconds - static_cast<double>(whole)) * 1000.0);
  if (ms >= 1000) {  // 0.9996 s is 00:00:01.000, not 00:00:00.000
    ms -= 1000;
    ++whole;
  }
  return lastDigits(whole / 3600, 2) + ":" + lastDigits((whole / 60) % 60, 2) + ":" + lastDigits(whole % 60, 2) + "." +
         lastDigits(ms, 3);
}

}  // namespace qv
