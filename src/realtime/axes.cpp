#include "realtime/axes.h"

#include <algorithm>
#include <cmath>

#include "analysis/text_format.h"
#include "core/program.h"
#include "platform/surface.h"
#include "realtime/palette.h"
#include "realtime/update_form.h"

namespace qv {
namespace {

constexpr Rgb kBlack = rgb(0, 0, 0);

int px(double v) { return static_cast<int>(roundEven(v)); }

std::string lastChars(const std::string& s, size_t n) { return s.size() <= n ? s : s.substr(s.size() - n); }

std::string trimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::string withoutBlanks(const std::string& s) {
  std::string out;
  for (char ch : s)
    if (ch != ' ') out += ch;
  return out;
}

float round3(float v) { return static_cast<float>(roundHalfUp(v, 3)); }
float round0(float v) { return static_cast<float>(std::floor(static_cast<double>(v) + 0.5)); }

// Text printed with its top-left corner at (x, y); returns the x after it.
int print(Surface& s, int x, int y, const std::string& text) {
  s.text(x, y, text, kBlack);
  return x + kCharWidthPx * static_cast<int>(text.size());
}

// Label area and ticks shared by both vertical axes; returns the tick step
// (0: none).
int verticalFrame(Surface& s, float xorg, float yorg, float ysize, float& ytic) {
  s.fillBox(px(xorg - 80), px(yorg - ysize - 8), px(xorg), px(yorg + 4), inactiveBorder());
  if (ytic < 4) ytic = 32;
  return px(ytic);
}

void tick(Surface& s, float xorg, float y) { s.line(px(xorg - 8), px(y), px(xorg - 2), px(y), kBlack); }

}  // namespace

void HorizontalAxis(Surface& s, float xorg, float yorg, float MinTime, float MaxTime, float xsize, float xtic,
                    const std::string& UnitsLabel, const AxisCorrection& c) {
  MinTime *= c.TapeSpeed;
  MaxTime *= c.TapeSpeed;
  const size_t L = strSingle(MaxTime).size();
  std::string unit = UnitsLabel;
  float scale = 1;
  size_t width = L;
  if (unit.empty()) {
    if (L > 5) {
      unit = " s";
      scale = 1000;
      width = L + 1;
    } else {
      unit = " ms";
    }
  }
  const int step = px(xtic);
  if (step <= 0 || xsize <= 0) return;
  const int end = px(xsize + 1);
  for (int i = 0; i <= end; i += step) s.line(px(xorg + i), px(yorg + 2), px(xorg + i), px(yorg + 8), kBlack);

  const int labelStep = px(xtic >= 40 ? xtic : 2 * xtic);
  if (labelStep <= 0) return;
  int after = px(xorg);
  bool any = false;
  for (int i = 0; i <= end; i += labelStep) {
    const float value = (static_cast<float>(i) * (MaxTime - MinTime) / xsize + MinTime) / scale;
    std::string label = lastChars(std::string(6, ' ') + strSingle(round3(value)), width + 4);
    const size_t first = label.find_first_not_of(' ');
    if (first != std::string::npos && label[first] == '.') label = "    0" + label.substr(first);
    // The field's blanks would push a number up to half a tick interval to
    // the right in 8-pixel cells: the number itself is centred on its tick,
    // and one that would run into the one before it is left out (its tick stays).
    const std::string shown = withoutBlanks(label);
    const int x = px(xorg + i) - kCharWidthPx * static_cast<int>(shown.size()) / 2;
    if (any && x < after + kCharWidthPx) continue;
    after = print(s, x, px(yorg + 10), shown);
    any = true;
  }
  print(s, after, px(yorg + 10), unit);
}

void VerticalAxis(Surface& s, float xorg, float yorg, float MinFreq, float MaxFreq, float ysize, float ytic,
                  const std::string& UnitsLabel, const AxisCorrection& c) {
  const float tape = c.TapeSpeed != 0 ? c.TapeSpeed : 1.0f;
  MinFreq = MinFreq / tape * c.FrequencyDivision;
  MaxFreq = MaxFreq / tape * c.FrequencyDivision;
  size_t width = strSingle(std::max(MinFreq, MaxFreq)).size();
  std::string unit = UnitsLabel;
  float scale = 1;
  if (unit.empty()) {
    if (MaxFreq < 10000) {
      unit = "Hz";
      width = 4;
    } else {
      unit = "kHz";
      scale = 1000;
      width = MaxFreq < 100000 ? 3 : 4;
    }
  }
  const int step = verticalFrame(s, xorg, yorg, ysize, ytic);
  if (step <= 0 || ysize <= 0) return;
  const float top = MaxFreq / scale;
  if (top != std::floor(top)) width += 3;

  std::string label;
  const int end = px(ysize);
  for (int i = 0; i <= end; i += step) {
    tick(s, xorg, yorg - i - 1);
    const float value = (MinFreq + (MaxFreq - MinFreq) / ysize * static_cast<float>(i)) / scale;
    label.clear();
    if (value == std::floor(value)) {
      label = trimRight(lastChars(std::string(7, ' ') + strSingle(round3(value)), width));
      print(s, px(xorg - kCharWidthPx * static_cast<float>(width) - 6), px(yorg - i - 8), label);
    }
  }
  tick(s, xorg, yorg - ysize - 1);
  if (label.empty()) {
    label = withoutBlanks(strSingle(top)).substr(0, width);
    print(s, px(xorg - kCharWidthPx * static_cast<float>(width)), px(yorg - ysize - 8), label);
  }
  print(s, px(xorg - 30 - kCharWidthPx * static_cast<float>(label.size())), px(yorg - ysize - 8), unit);
}

void VerticalAxis2(Surface& s, float xorg, float yorg, float MinFreq, float MaxFreq, float ysize, float ytic,
                   const std::string& UnitsLabel) {
  const int step = verticalFrame(s, xorg, yorg, ysize, ytic);
  if (step <= 0 || ysize <= 0) return;
  std::string label;
  const int end = px(ysize);
  for (int i = 0; i <= end; i += step) {
    tick(s, xorg, yorg - i - 1);
    const float value = MinFreq + std::fabs(MaxFreq - MinFreq) / ysize * static_cast<float>(i);
    label = lastChars(std::string(7, ' ') + strSingle(round0(value)), 5);
    print(s, px(xorg - 46), px(yorg - i - 8), label);
  }
  tick(s, xorg, yorg - ysize - 1);
  print(s, px(xorg - 38 - kCharWidthPx * static_cast<float>(label.size())), px(yorg - ysize - 8), UnitsLabel);
}

void SetMVAxis(Program& p) {
  Form& adv = p.options1();
  if (!adv.find("CheckVIN") || !adv["CheckVIN"].checked()) return;
  PublicVars& v = p.vars();
  if (v.DigitalGain == 0) v.DigitalGain = 1;
  const double maxVin = adv.find("txtMaxVIN") ? adv["txtMaxVIN"].number() : 0;
  const float fullScale = static_cast<float>(roundEven(maxVin / v.DigitalGain));
  auto s = mainWindowSurface(p);
  if (!s) return;
  const Geometry& g = p.form1()["SpecGram"].geometry();
  const float x0 = static_cast<float>(g.left);
  const float y0 = static_cast<float>(g.top + v.specVsize + 17);
  if (v.Channels < 2) {
    VerticalAxis2(*s, x0, y0 + 41, 0, fullScale, 32, 16, "  mV");
  } else {
    s->fillBox(px(x0 - 32), px(y0), g.width - 1, px(y0 + 80), inactiveBorder());
    VerticalAxis2(*s, x0, y0 + 22, 0, fullScale, 16, 16, " L mV");
    VerticalAxis2(*s, x0, y0 + 58, 0, fullScale, 16, 16, " R mV");
  }
}

}  // namespace qv
