#include "files/navigation.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "analysis/engine.h"
#include "analysis/text_format.h"
#include "core/program.h"
#include "files/file_info.h"
#include "files/markers.h"
#include "platform/dialogs.h"
#include "realtime/axes.h"

namespace qv {

namespace {

int64_t roundPos(double x) { return static_cast<int64_t>(roundEven(x)); }

// Longer than any file could last: keeps the byte arithmetic finite.
constexpr double kMaxSeconds = 1e10;

}  // namespace

void moveFrame(Program& p, FrameMove m) {
  PublicVars& v = p.vars();
  const double step = static_cast<double>(v.FileStep);
  const double pos = static_cast<double>(v.FilePos);
  switch (m) {
    case FrameMove::Start: v.FilePos = v.HeaderSize; break;
    case FrameMove::Back: v.FilePos -= v.FileStep; break;
    case FrameMove::Forward: v.FilePos += v.FileStep; break;
    case FrameMove::End: v.FilePos = v.FileSize - v.FileStep; break;
    case FrameMove::QuarterBack: v.FilePos = roundPos(pos - step / 4); break;
    case FrameMove::QuarterForward: v.FilePos = roundPos(pos + step / 4); break;
    case FrameMove::SixteenthBack: v.FilePos = roundPos(pos - step / 16); break;
    case FrameMove::SixteenthForward: v.FilePos = roundPos(pos + step / 16); break;
  }
}

void goToPosition(Program& p, Control& field, bool relative, const std::function<void()>& reposition) {
  PublicVars& v = p.vars();
  if (v.StopFlag) return;
  if (field.number() == 0) field.setText("0");
  double t = static_cast<double>(roundEven(ParseDuration(field.text())));
  if (!std::isfinite(t) || std::fabs(t) > kMaxSeconds) {
    if (Dialogs* d = p.services().dialogs) d->message("Invalid position: " + field.text(), "", MsgButtons::Ok);
    return;
  }
  const int b = v.FileType == kFileExt ? 4 : 2;
  const double bytes = t * v.SampleRate * b * std::max(1, v.fchannels);
  v.FilePos = roundPos(bytes) + (relative ? v.FilePos : v.HeaderSize);
  if (v.FilePos >= v.FileSize) {
    if (Dialogs* d = p.services().dialogs) d->message("End of File", "", MsgButtons::Ok);
  } else if (v.Task == 3 && reposition) {
    reposition();
  }
}

void Command14_Click(Program& p, const std::function<void()>& runLoop) {
  PublicVars& v = p.vars();
  const bool wasRunning = !v.StopFlag;
  v.StopFlag = false;
  if (AnalysisEngine* a = p.analysis()) a->UpdateForm();
  v.LastFilePos = 0;
  if (runLoop) runLoop();
  // A run that could not start leaves no loop behind it.
  if (!wasRunning) v.StopFlag = true;
}

void Command24_Click(Program& p, const std::function<void()>& runLoop) {
  Control& scan = p.form1()["Combo6"];
  if (scan.number() > 1) scan.setText(numText(scan.number() / 2));
  Command14_Click(p, runLoop);
}

void Command25_Click(Program& p, const std::function<void()>& runLoop) {
  Control& scan = p.form1()["Combo6"];
  scan.setText(numText(scan.number() * 2));
  Command14_Click(p, runLoop);
}

void attachNavigation(Program& p, NavigationHooks hooks) {
  Form& f = p.form1();
  const std::pair<const char*, FrameMove> steps[] = {
      {"Command1", FrameMove::Start},         {"Command3", FrameMove::Back},
      {"Command6", FrameMove::Forward},       {"Command5", FrameMove::End},
      {"Command7", FrameMove::QuarterBack},   {"Command11", FrameMove::QuarterForward},
      {"Command12", FrameMove::SixteenthBack}, {"Command13", FrameMove::SixteenthForward}};
  for (auto& [name, move] : steps) f[name].on(Event::Click, [&p, m = move] { moveFrame(p, m); });
  f["Command9"].on(Event::Click, [&p] { p.vars().SpecGramTimer = 0; });

  auto run = hooks.runLoop;
  f["GoToS2"].on(Event::Click, [&p, h = hooks] { goToPosition(p, p.form1()["Text3"], false, h.playbackReposition); });
  f["Jump"].on(Event::Click, [&p, h = hooks] { goToPosition(p, p.form1()["Text6"], true, h.playbackReposition); });
  f["Command14"].on(Event::Click, [&p, run] { Command14_Click(p, run); });
  f["Command24"].on(Event::Click, [&p, run] { Command24_Click(p, run); });
  f["Command25"].on(Event::Click, [&p, run] { Command25_Click(p, run); });

  // A new zoom base redraws the running analysis; when idle the next run
  // redraws (starting a run from a setting change could block a settings load).
  f["UpDown5"].on(Event::Change, [&p, run] {
    PublicVars& v = p.vars();
    if (v.Task != 4) return;
    if (!v.StopFlag) Command14_Click(p, run);
    else v.LastFilePos = 0;
  });
  f["ZoomFlag"].on(Event::Click, [&p] {
    if (p.vars().Task == 4) p.vars().LastFilePos = 0;
  });
  // Playback waits while the operator types a position.
  f["Text4"].on(Event::Change, [&p] {
    if (!p.vars().StopFlag) p.form1()["PauseButton"].setValue(1);
  });
}

void attachRealTimeControls(Program& p) {
  Form& f = p.form1();
  f["UpDown2"].on(Event::Change, [&p] {
    PublicVars& v = p.vars();
    v.DigitalGain = static_cast<int>(roundEven(std::pow(2.0, p.form1()["UpDown2"].value())));
    p.form1()["Text2"].setText(std::to_string(v.DigitalGain));
  });
  f["Text2"].on(Event::Change, [&p] {
    double g = p.form1()["Text2"].number();
    if (!std::isfinite(g) || std::fabs(g) > 1e9) return;
    p.vars().DigitalGain = static_cast<int>(roundEven(g));
    SetMVAxis(p);
  });
  f["Text5"].on(Event::Change, [&p] {
    Control& t = p.form1()["Text5"];
    if (std::fabs(t.number()) > 32767) t.setText("0");
  });
}

}  // namespace qv
