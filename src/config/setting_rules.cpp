#include "config/setting_rules.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <functional>

#include "core/control.h"
#include "core/form.h"

namespace qv {

namespace {

std::string trimmed(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return {};
  const size_t b = s.find_last_not_of(" \t");
  return s.substr(a, b - a + 1);
}

// The whole text is one decimal number.
bool wholeNumber(const std::string& text, double& v) {
  const std::string t = trimmed(text);
  if (t.empty()) return false;
  char* end = nullptr;
  v = std::strtod(t.c_str(), &end);
  return end && *end == '\0' && std::isfinite(v);
}

bool wholeInteger(const std::string& text, long long lo, long long hi) {
  const std::string t = trimmed(text);
  size_t i = t[0] == '-' || t[0] == '+' ? 1 : 0;
  if (t.empty() || i >= t.size() || t.size() > 12) return false;
  for (size_t k = i; k < t.size(); ++k)
    if (!std::isdigit(static_cast<unsigned char>(t[k]))) return false;
  const long long v = std::atoll(t.c_str());
  return v >= lo && v <= hi;
}

bool startsWithNumber(const std::string& t) {
  size_t i = t.find_first_not_of(" \t");
  if (i == std::string::npos) return false;
  if (t[i] == '+' || t[i] == '-') ++i;
  if (i < t.size() && t[i] == '.') ++i;
  return i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]));
}

bool lower(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

struct Rule {
  // nullptr: the analysis controls, which FORM1 and OPTIONS0 share; OPTIONS1
  // has controls of the same names for other things.
  const char* section;
  const char* name;
  const char* what;
  const char* takes;
  std::function<bool(const Control&, const std::string&)> ok;
};

bool powerOfTwo(const std::string& v, long long lo, long long hi) {
  if (!wholeInteger(v, lo, hi)) return false;
  const long long n = std::atoll(trimmed(v).c_str());
  return (n & (n - 1)) == 0;
}

bool leadingInRange(const std::string& v, double lo, double hi) {
  return startsWithNumber(v) && leadingNumber(v) >= lo && leadingNumber(v) <= hi;
}

const std::vector<Rule>& rules() {
  static const std::vector<Rule> r = {
      {nullptr, "Combo1", "block size", "a whole number from 1024 to 131072",
       [](const Control&, const std::string& v) { return wholeInteger(v, 1024, 131072); }},
      {nullptr, "Combo2", "sampling rate", "a whole number of Hz from 1 to 1000000",
       [](const Control&, const std::string& v) { return wholeInteger(v, 1, 1000000); }},
      {nullptr, "Combo3", "FFT size", "a power of two from 512 to 16384",
       [](const Control&, const std::string& v) { return powerOfTwo(v, 512, 16384); }},
      {nullptr, "Combo4", "window size", "a whole number from 1 to 16384",
       [](const Control&, const std::string& v) { return wholeInteger(v, 1, 16384); }},
      {nullptr, "Combo5", "window type", "one of its list: Linear, Hanning, Hamming, Kaiser-Bessel, Gaussian",
       [](const Control& c, const std::string& v) {
         for (const std::string& item : c.items())
           if (lower(item, trimmed(v))) return true;
         return false;
       }},
      {nullptr, "Combo6", "scan step", "a whole number from 1 to 65536",
       [](const Control&, const std::string& v) { return wholeInteger(v, 1, 65536); }},
      {nullptr, "Combo7", "display height", "a whole number from 0 to 8192",
       [](const Control&, const std::string& v) { return wholeInteger(v, 0, 8192); }},
      {nullptr, "Combo8", "colour scale", "a number from 0 to 20 at its start",
       [](const Control&, const std::string& v) { return leadingInRange(v, 0, 20); }},
      {"OPTIONS1", "Combo1", "amplitude scale", "0 (dB) or 1 (linear) at its start",
       [](const Control&, const std::string& v) { return leadingInRange(v, 0, 1); }},
      {"OPTIONS1", "TapeSpeedCombo", "tape speed ratio", "a number above 0",
       [](const Control&, const std::string& v) { return startsWithNumber(v) && leadingNumber(v) > 0; }},
      {"OPTIONS1", "FrequencyDivisionCombo", "frequency division ratio", "a number above 0",
       [](const Control&, const std::string& v) { return startsWithNumber(v) && leadingNumber(v) > 0; }},
      {"OPTIONS1", "AvgCombo", "averaging mode", "a number from 0 to 4 at its start",
       [](const Control&, const std::string& v) { return leadingInRange(v, 0, 4); }},
      {"OPTIONS1", "AvgCoeffField", "averaging coefficient", "a number from 0 to 1",
       [](const Control&, const std::string& v) {
         double x = 0;
         return wholeNumber(v, x) && x >= 0 && x <= 1;
       }},
      {"FORM1", "Text2", "digital gain", "a whole number from 0 to 32767",
       [](const Control&, const std::string& v) { return wholeInteger(v, 0, 32767); }},
      {"FORM1", "Text5", "offset value", "a whole number from -32767 to 32767",
       [](const Control&, const std::string& v) { return wholeInteger(v, -32767, 32767); }},
  };
  return r;
}

const Rule* ruleOf(const Control& c) {
  const std::string& section = c.form().section();
  if (section != "FORM1" && section != "OPTIONS0" && section != "OPTIONS1") return nullptr;
  for (const Rule& r : rules())
    if (c.name() == r.name && (r.section ? section == r.section : section != "OPTIONS1")) return &r;
  return nullptr;
}

}  // namespace

std::string settingValueProblem(const Control& c, const std::string& value) {
  const Rule* r = ruleOf(c);
  if (r && !r->ok(c, value))
    return c.key() + " (" + r->what + ") takes " + r->takes + ", not \"" + value + "\"";
  if (!r && c.kind() == Kind::ComboBox && !c.items().empty()) {
    bool numeric = true;
    for (const std::string& item : c.items()) numeric = numeric && startsWithNumber(item);
    if (numeric && !startsWithNumber(value)) return c.key() + " takes a number, not \"" + value + "\"";
  }
  return {};
}

}  // namespace qv
