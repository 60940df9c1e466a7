#include "analysis/settings.h"

#include <algorithm>
#include <cmath>

#include "analysis/spectrum.h"
#include "analysis/text_format.h"
#include "analysis/window.h"
#include "core/program.h"

namespace qv {
namespace {

std::string intText(long long v) { return std::to_string(v); }

// A path box ends with the folder separator unless it is empty.
void endWithSlash(Control* c) {
  if (!c) return;
  const std::string& t = c->text();
  if (!t.empty() && t.back() != '/') c->setText(t + "/");
}

}  // namespace

void deriveRunParams(RunParams& p, const PublicVars& v) {
  const int rate = std::max(v.SampleRate, 1);
  const int fft = std::max(v.FFTsize, 1);
  const float tape = v.TapeSpeed != 0 ? v.TapeSpeed : 1.0f;
  p.BlockSize = std::max(p.BlockSize, 1);
  p.ScanStep = std::max(p.ScanStep, 1);
  p.WindowSize = std::max(p.WindowSize, 1);
  p.BinWidthHz = static_cast<float>(rate) / static_cast<float>(fft) / tape * v.FrequencyDivision;
  p.ColumnTimeMs = static_cast<float>(p.ScanStep) * 1000.0f / static_cast<float>(rate) * tape;
  p.blockSeconds = static_cast<double>(p.BlockSize) / rate;
  p.columnsPerBlock = static_cast<int>(roundEven(static_cast<double>(p.BlockSize) / p.ScanStep));
  p.carry = p.ScanStep < fft ? fft - p.ScanStep : 0;
  p.fftOrder = fftOrderOf(fft);
  p.skip = p.WindowSize < p.ScanStep;
  if (p.skip) {
    p.overlapPercent = 0;
    p.levelStart = 0;
    p.levelLength = p.WindowSize;
  } else {
    p.overlapPercent = static_cast<double>(p.WindowSize - p.ScanStep) * 100.0 / p.WindowSize;
    p.levelStart = static_cast<int>(roundEven((p.WindowSize - p.ScanStep) / 2.0));
    p.levelLength = p.ScanStep;
  }
  p.displaySeconds = roundHalfUp(static_cast<double>(p.pictureWidth) * p.ScanStep / rate, 3);

  p.ramBufferBlocks = 0;
  p.ramBufferSamples = 0;
  p.ramBufferSeconds = 0;
  p.ramBufferClamped = false;
  if (p.ramBufferMB > 0) {
    const double samples = static_cast<double>(p.ramBufferMB) * 1024.0 * 1024.0 / 2.0;
    long long blocks = roundEven(samples / p.BlockSize);
    // A typed size beyond what memory can hold is cut to the largest buffer.
    if (blocks > kMaxRamBufferWords / p.BlockSize) {
      blocks = kMaxRamBufferWords / p.BlockSize;
      p.ramBufferClamped = true;
    }
    p.ramBufferBlocks = static_cast<int>(std::max<long long>(blocks, 0));
    p.ramBufferSamples = static_cast<int64_t>(p.ramBufferBlocks) * p.BlockSize;
    p.ramBufferSeconds = static_cast<double>(p.ramBufferSamples) / std::max(v.Channels, 1) / rate;
  }
}

RunTexts runStatusTexts(const RunParams& p, const PublicVars& v) {
  RunTexts t;
  t.statusLine = p.skip ? "skip" : "overlap" + strNum(p.overlapPercent) + "%";
  t.runInfo = strNum(v.SampleRate) + "s/sec" + strNum(v.Channels) + "ch  Block " + strNum(p.BlockSize) + "=" +
              strNum(roundHalfUp(p.blockSeconds * 1000.0, 3)) + "msec  Display" + strNum(p.displaySeconds) + "sec";
  if (p.ramBufferSamples > 0) t.runInfo += "  Buffer " + strNum(roundHalfUp(p.ramBufferSeconds, 2)) + "sec";
  return t;
}

void checkFFTsizeBox(Control& c) {
  const long long n = roundEven(c.number());
  const char* repl = nullptr;
  if (n == 3072) repl = "2048";
  else if (n == 5120 || n == 6144) repl = "4096";
  else if (n == 10240 || n == 12288) repl = "8192";
  else if (n > 16384) repl = "16384";  // the largest transform the arrays hold
  if (repl) c.setText(repl);
}

void CheckFFTsize(Program& p) {
  Control& c = p.form1()["Combo3"];
  checkFFTsizeBox(c);
  p.vars().FFTsize = c.intNumber();
}

void CheckQuickSettings(Program& p) {
  Form& f = p.form1();
  PublicVars& v = p.vars();
  if (v.specVsize <= 0) v.specVsize = 256;
  if (f["Combo1"].number() < 1024) f["Combo1"].setText("4096");
  if (f["Combo1"].number() > kMaxBlockSize) f["Combo1"].setText(intText(kMaxBlockSize));
  if (f["Combo2"].number() < 1) f["Combo2"].setText("32000");
  if (f["Combo3"].number() < 2.0 * v.specVsize) f["Combo3"].setText(intText(2LL * v.specVsize));
  if (f["Combo4"].number() < 1) f["Combo4"].setText("512");
  if (f["Combo4"].number() > kMaxWindowSize) f["Combo4"].setText(intText(kMaxWindowSize));
  if (f["Combo5"].text().empty()) {
    f["Combo5"].setText("Hanning");
    if (Control* b = p.options0().find("Combo5")) b->setListIndex(1);
  }
  if (f["Combo6"].number() < 1) f["Combo6"].setText("512");
  if (f["Combo6"].number() > f["Combo1"].number() / 2)
    f["Combo6"].setText(numText(std::floor(f["Combo1"].number() / 2)));
  if (f["Combo7"].number() < 1) f["Combo7"].setText(intText(v.specVsize));
  if (f["Combo8"].number() < 0) f["Combo8"].setText("0");
  endWithSlash(p.options0().find("DefPlayPathField"));
  endWithSlash(p.options0().find("FileRecPathField"));
  endWithSlash(p.options1().find("DefSavePath"));
  endWithSlash(p.options1().find("DefLogPath"));
}

void PublicSettings(Program& p) {
  CheckQuickSettings(p);
  Form& f = p.form1();
  PublicVars& v = p.vars();
  v.SampleRate = f["Combo2"].intNumber();
  v.FFTsize = f["Combo3"].intNumber();
  CheckFFTsize(p);
  if (Control* c = p.options0().find("NchanCombo")) v.Channels = std::clamp(c->intNumber(), 1, 2);
  if (Control* c = p.options1().find("TapeSpeedCombo")) {
    float t = static_cast<float>(c->number());
    v.TapeSpeed = t > 0 ? t : 1.0f;
  }
  if (Control* c = p.options1().find("FrequencyDivisionCombo")) {
    float d = static_cast<float>(c->number());
    v.FrequencyDivision = d > 0 ? d : 1.0f;
  }
  if (Control* c = f.find("Text2")) v.DigitalGain = c->intNumber();
  if (Control* c = p.options1().find("Combo1")) v.zscale = c->intNumber();
  endWithSlash(p.options0().find("FileRecPathField"));
}

void blockSizeChosen(Form& f) {
  Control &block = f["Combo1"], &fft = f["Combo3"], &win = f["Combo4"], &scan = f["Combo6"];
  if (block.number() < fft.number()) fft.setText(block.text());
  checkFFTsizeBox(fft);
  if (win.number() > fft.number()) win.setText(fft.text());
  if (scan.number() > block.number() / 2) scan.setText(numText(std::floor(block.number() / 2)));
}

void fftSizeChosen(Form& f) {
  Control &block = f["Combo1"], &fft = f["Combo3"], &win = f["Combo4"];
  if (win.number() > fft.number()) win.setText(fft.text());
  if (fft.number() > block.number()) block.setText(fft.text());
  checkFFTsizeBox(fft);
}

void windowSizeChosen(Form& f) {
  Control &block = f["Combo1"], &fft = f["Combo3"], &win = f["Combo4"];
  if (win.number() > fft.number()) fft.setText(win.text());
  checkFFTsizeBox(fft);
  if (fft.number() > block.number()) block.setText(fft.text());
}

void scanStepChosen(Form& f, double scanStep) {
  Control &block = f["Combo1"], &scan = f["Combo6"];
  double b = std::max(block.number(), 1.0);
  while (scanStep > b / 2 && b < 1e9) b *= 2;
  block.setText(numText(b));
  if (scan.number() != scanStep) scan.setText(numText(scanStep));
}

std::string chanModeFromOptions(Program& p) {
  static const char* const modes[] = {"M", "L", "R", "L+R", "L-R"};
  Form& o = p.options0();
  for (int i = 0; i <= 4; ++i)
    if (Control* c = o.find("OptionCS" + std::to_string(i)); c && c->checked()) return modes[i];
  if (Control* c = o.find("OptionCS0")) c->setValue(1);
  return "M";
}

RunParams startRunSettings(Program& p, int pictureWidth) {
  Form& f = p.form1();
  PublicSettings(p);
  PublicVars& v = p.vars();
  RunParams r;
  r.pictureWidth = pictureWidth;
  r.BlockSize = f["Combo1"].intNumber();
  r.WindowSize = f["Combo4"].intNumber();
  r.windowType = std::abs(f["Combo5"].listIndex());
  r.ScanStep = f["Combo6"].intNumber();
  r.DisplayHeight = f["Combo7"].intNumber();
  r.ramBufferMB = std::max(f["Combo12"].intNumber(), 0);
  if (r.BlockSize < r.ScanStep) {
    r.ScanStep = r.BlockSize;
    f["Combo6"].setText(intText(r.ScanStep));
  }
  if (r.BlockSize < v.FFTsize) {
    r.BlockSize = v.FFTsize;
    f["Combo1"].setText(intText(r.BlockSize));
  }
  // The window never reaches past the transform.
  if (r.WindowSize > v.FFTsize) r.WindowSize = v.FFTsize;
  deriveRunParams(r, v);
  return r;
}

std::vector<std::string> updateInfoLines(Program& p) {
  Form& o = p.options0();
  const double rate = std::max(o["Combo2"].number(), 1.0);
  const double ch = o["NchanCombo"].number();
  const double fft = std::max(o["Combo3"].number(), 1.0);
  const double win = std::max(o["Combo4"].number(), 1.0);
  const double scan = std::max(o["Combo6"].number(), 1.0);
  WindowInfo w = windowDescriptor(std::abs(o["Combo5"].listIndex()));
  std::vector<std::string> lines;
  lines.push_back("Sampling rate " + numText(rate) + " samples/sec  Channels " + numText(ch));
  lines.push_back("FFT size " + numText(fft) + " = " + numText(roundHalfUp(fft * 1000 / rate, 3)) + " msec");
  lines.push_back("Window Size " + numText(win) + " = " + numText(roundHalfUp(win * 1000 / rate, 3)) +
                  " msec   Type " + o["Combo5"].text());
  lines.push_back("Frequency resolution " + numText(roundHalfUp(rate / fft, 3)) + "  Bandwidth " +
                  numText(roundHalfUp(static_cast<double>(w.bandwidth) * rate / win, 3)) + " Hz");
  const std::string ms = numText(roundHalfUp(scan * 1000 / rate, 3));
  if (scan <= win)
    lines.push_back("Scan Step " + numText(scan) + " = " + ms + " msec" + "   Overlap " +
                    numText((win - scan) * 100 / win) + "%");
  else
    lines.push_back("Scan Step " + numText(scan) + " = " + ms + " msec" + "   Skip " + numText(scan - win) +
                    " samples every " + numText(win));
  lines.push_back("FFT x sec " + numText(roundHalfUp(rate / scan, 3)) + " x channel");
  return lines;
}

double recDurationSeconds(Program& p) {
  Form& o = p.options0();
  const double rate = std::max(o["Combo2"].number(), 1.0);
  const double ch = std::max(o["NchanCombo"].number(), 1.0);
  Control* size = o.find("FileMaxSizeCombo");
  const double mb = size ? size->number() : 0;
  return roundHalfUp(mb * 1024 * 1024 / (rate * 2 * ch), 1);
}

std::string recDurationText(double seconds) { return "= " + formatDuration(seconds).substr(0, 8); }

}  // namespace qv
