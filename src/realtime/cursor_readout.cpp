#include "realtime/cursor_readout.h"

#include <cmath>
#include <fstream>

#include "analysis/engine.h"
#include "analysis/text_format.h"
#include "core/program.h"
#include "platform/surface.h"

namespace qv {

CursorReadout::CursorReadout(Program& p, AnalysisEngine& engine) : p_(p), engine_(engine) {}

void CursorReadout::install() {
  Control& spec = p_.form1()["SpecGram"];
  spec.onMouse(MouseAction::Down, [this](const MouseEvent& m) { SpecGram_MouseDown(m); });
  spec.onMouse(MouseAction::Move, [this](const MouseEvent& m) { SpecGram_MouseMove(m); });
  p_.form1().onMouseMove([this](int, int) { Form_MouseMove(); });
}

float CursorReadout::frequencyAt(int y, int channels, float binWidthHz, std::string* channelText) const {
  const PublicVars& v = p_.vars();
  const int N = v.specVsize;
  const float inside = y <= v.specVsize ? 1.0f : 0.0f;
  const bool binPerRow = v.specVsize * 2 == v.FFTsize;
  if (channels < 2) {
    if (binPerRow) return binWidthHz * static_cast<float>(N - y - 1) * inside;
    return v.PixelHz * static_cast<float>(N - y - 1 + v.ZoomBase) * inside;
  }
  // Each channel has its own half, low frequencies at the bottom of it.
  if (channelText) *channelText = y < v.specVsize / 2.0 ? "(L)" : "(R)";
  const int H = std::max(1, static_cast<int>(roundEven(v.specVsize / 2.0)));
  const int r = H - 1 - ((y % H) + H) % H;
  if (binPerRow) return static_cast<float>(r) * 2 * binWidthHz * inside;
  return (static_cast<float>(r) + static_cast<float>(v.ZoomBase) / 2) * 2 * v.PixelHz * inside;
}

void CursorReadout::MouseCursor(int x, int y, int button, int log_mode) {
  PublicVars& v = p_.vars();
  MouseX = x;
  MouseY = y;
  std::string channelText = v.Channels > 1 ? v.ChanMode : "";
  int b = v.Channels;
  if (v.Task == 4) b = 1;
  if (v.Task == 3) {
    Control* stereo = p_.options0().find("OptionCS0");
    if (!stereo || !stereo->checked()) b = 1;
  }

  // The values of the run that drew the picture; before any run, those the
  // settings give.
  RunParams run = engine_.run();
  if (run.ColumnTimeMs <= 0 || run.BinWidthHz <= 0) {
    run.ScanStep = p_.form1()["Combo6"].intNumber();
    deriveRunParams(run, v);
  }
  const float f = frequencyAt(y, b, run.BinWidthHz, &channelText);
  const float t = run.ColumnTimeMs * static_cast<float>(x);

  // Level: the last palette entry (0..256) with the pixel's colour.
  int k = 0;
  if (auto pic = p_.form1()["SpecGram"].surface()) {
    const Rgb c = pic->pixel(x, y);
    const ColourPalette& pal = engine_.palette();
    for (int i = 0; i <= 256; ++i)
      if (pal.at(i) == c) k = i;
  }
  const float level = static_cast<float>(k) / 2 - static_cast<float>(v.Darkness);

  std::string r = "[pix" + strNum(x) + strNum(v.specVsize - y - 1) + strNum(k) + "]  " + strSingle(t) + " ms " +
                  strSingle(f) + " Hz " + strSingle(level) + " dBr " + channelText;
  if (button == 1) {
    const float fRef = frequencyAt(RefY, b, run.BinWidthHz, nullptr);
    const float tRef = run.ColumnTimeMs * static_cast<float>(RefX);
    const float dT = static_cast<float>(x - RefX) * run.ColumnTimeMs;
    r += "  [Ref" + strSingle(tRef) + strSingle(fRef) + " ][Delta " + strSingle(dT) + " " + strSingle(f - fRef) + " ]";
  }
  if (v.Task > 2) {
    const double bytesPerSecond = std::max(1.0, static_cast<double>(v.Channels) * 2.0 * v.SampleRate);
    const double seconds = static_cast<double>(v.FilePos - v.HeaderSize) / bytesPerSecond + t / 1000.0;
    r += "  F " + formatDuration(seconds);
  }
  p_.form1()["LabelCursors"].setCaption(r);
  if (log_mode != 0) log(r);
}

std::string CursorReadout::logPath() const {
  Form& adv = p_.options1();
  std::string folder = adv.find("DefLogPath") ? adv["DefLogPath"].text() : std::string();
  if (!folder.empty() && folder.back() != '/') folder += '/';
  const std::string name = adv.find("CursorLogFileField") ? adv["CursorLogFileField"].text() : std::string("cursor");
  return folder + name + ".txt";
}

void CursorReadout::log(const std::string& readout) {
  // A log that cannot be opened ends the attempt without a message.
  std::ofstream out(logPath(), std::ios::app | std::ios::binary);
  if (!out) return;
  const PublicVars& v = p_.vars();
  if (v.Task == 4 && v.CurrentFile != LastFile) {
    out << v.CurrentFile << "\r\n";
    LastFile = v.CurrentFile;
  }
  out << readout << "\r\n";
}

void CursorReadout::SpecGram_MouseDown(const MouseEvent& m) {
  RefX = m.x;
  RefY = m.y;
  if (m.button == kLeftButton) {
    Control& l = p_.form1()["LabelCursors"];
    l.setCaption(l.caption() + "  <move to read delta values>");
  } else if (m.button == kRightButton) {
    MouseCursor(m.x, m.y, m.button, 1);
  }
}

void CursorReadout::SpecGram_MouseMove(const MouseEvent& m) {
  Control* rt = p_.options1().find("RTCursorFlag");
  if (rt && rt->checked()) MouseCursor(m.x, m.y, m.button, 0);
}

void CursorReadout::Form_MouseMove() { p_.form1()["LabelCursors"].setCaption(""); }

}  // namespace qv
