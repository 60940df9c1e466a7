#include "realtime/modes.h"

#include <map>

#include "analysis/engine.h"
#include "core/designer.h"
#include "core/program.h"
#include "platform/clock.h"
#include "platform/event_pump.h"
#include "realtime/palette.h"

namespace qv {
namespace {

std::map<const Program*, Modes*>& registry() {
  static std::map<const Program*, Modes*> r;
  return r;
}

void setCaption(Form& f, const char* name, const std::string& t) {
  if (Control* c = f.find(name)) c->setCaption(t);
}
void setEnabled(Form& f, const char* name, bool e) {
  if (Control* c = f.find(name)) c->setEnabled(e);
}
void setVisible(Form& f, const char* name, bool v) {
  if (Control* c = f.find(name)) c->setVisible(v);
}
void setValue(Form& f, const char* name, int v) {
  if (Control* c = f.find(name)) c->setValue(v);
}

}  // namespace

Modes::Modes(Program& p) : p_(p), live_(p) { registry()[&p] = this; }

Modes::~Modes() {
  auto& r = registry();
  auto it = r.find(&p_);
  if (it != r.end() && it->second == this) r.erase(it);
}

Modes* findModes(Program& p) {
  auto& r = registry();
  auto it = r.find(&p);
  return it == r.end() ? nullptr : it->second;
}

Modes& installModes(Program& p) {
  auto m = std::make_shared<Modes>(p);
  m->install();
  // The menu item's handler holds the modes: they live as long as the controls.
  p.form1()["RealTimeAnalysis"].on(Event::Click, [m] {});
  return *m;
}

void Modes::install() {
  if (installed_) return;
  installed_ = true;
  Form& f = p_.form1();
  auto attach = [&f](const char* name, std::function<void()> h) {
    if (Control* c = f.find(name)) c->on(Event::Click, std::move(h));
  };
  attach("RealTimeAnalysis", [this] { RealTimeAnalysis_Click(); });
  attach("RealTimeRecording", [this] { RealTimeRecording_Click(); });
  attach("FileAnalysisPlay", [this] { FileAnalysisPlay_Click(); });
  attach("FileAnalysis", [this] { FileAnalysis_Click(); });
  attach("StartStop", [this] { StartStop_Click(); });
  attach("Command23", [this] { Command23_Click(); });
  attach("QuickRecButton", [this] { QuickRecButton_Click(); });
  attach("StopPlotAcq", [this] { StopPlotAcq_Click(); });
  attach("EnableQuick", [this] { EnableQuick_Click(); });
}

void Modes::SelectMode(int task) {
  Form& f = p_.form1();
  // 1.
  for (int t = 1; t <= 4; ++t) setValue(f, modeMenuItem(t), 0);
  setValue(f, "RecPauseFlag", 0);
  setVisible(f, "RecPauseFlag", false);
  setEnabled(f, "GoToS", false);
  // 2.
  if (Control* spec = f.find("SpecGram"))
    if (auto s = spec->surface()) s->clear();
  if (AnalysisEngine* a = p_.analysis()) a->UpdateForm();
  setCaption(f, "Label18", "");
  setCaption(f, "Label24", "");
  // 3.
  if (const char* item = modeMenuItem(task)) setValue(f, item, 1);
  switch (task) {
    case 1:
      setEnabled(f, "QuickRecButton", true);
      setEnabled(f, "Text4", false);
      break;
    case 2:
      setVisible(f, "RecPauseFlag", true);
      setEnabled(f, "QuickRecButton", true);
      setEnabled(f, "Text4", false);
      break;
    case 3:
      setEnabled(f, "GoToS", true);
      setEnabled(f, "Text4", true);
      setEnabled(f, "QuickRecButton", false);
      break;
    case 4:
      setEnabled(f, "GoToS", false);
      setEnabled(f, "Text4", false);
      setEnabled(f, "QuickRecButton", false);
      break;
    default:
      break;
  }
  // 4.
  setVisible(f, "Frame4", task == 4);
}

void Modes::blockSizeRule(const char* modeDefault) {
  Form& adv = p_.options1();
  Control* rec = adv.find("DefBlockSizeRecCombo");
  Control* own = adv.find(modeDefault);
  Control* block = p_.form1().find("Combo1");
  if (!rec || !own || !block) return;
  if (rec->number() > block->number()) block->setText(own->text());
}

void Modes::closeOpenFile() {
  if (closeFile) {
    closeFile();
    return;
  }
  PublicVars& v = p_.vars();
  v.CurrentFile.clear();
  v.FileType = 0;
  v.HeaderSize = 0;
  v.FileSize = 0;
}

void Modes::idleButton() {
  Control& b = p_.form1()["StartStop"];
  const bool rec = p_.vars().Task == 2;
  b.setCaption(rec ? "REC Start" : "Start");
  b.setBackColour(rec ? kRecordRed : inactiveBorder());
}

void Modes::RealTimeAnalysis_Click() {
  p_.vars().Task = 1;
  SelectMode(1);
  closeOpenFile();
  setCaption(p_.form1(), "Label4", "Real-Time display");
  idleButton();
  blockSizeRule("DefBlockSizeRTACombo");
}

void Modes::RealTimeRecording_Click() {
  p_.vars().Task = 2;
  SelectMode(2);
  closeOpenFile();
  blockSizeRule("DefBlockSizeRecCombo");
  Control* path = p_.options0().find("FileRecPathField");
  setCaption(p_.form1(), "Label4", "Recording to " + (path ? path->text() : std::string()));
  idleButton();
}

void Modes::FileAnalysisPlay_Click() {
  p_.vars().Task = 3;
  SelectMode(3);
  setCaption(p_.form1(), "Label4", "File Play");
  idleButton();
  blockSizeRule("DefBlockSizePbkCombo");
}

void Modes::FileAnalysis_Click() {
  p_.vars().Task = 4;
  SelectMode(4);
  setCaption(p_.form1(), "Label4", "File Analysis");
  idleButton();
}

void Modes::StartStop_Click() {
  Form& f = p_.form1();
  PublicVars& v = p_.vars();
  Control& button = f["StartStop"];
  // 2. A loop runs: this press asks it to stop after its pass.
  if (!v.StopFlag) {
    v.StopFlag = true;
    button.setCaption(v.Task == 2 ? "REC Start" : "Start");
    setCaption(f, "Label4", "");
    setValue(f, "PauseButton", 0);
    setEnabled(f, "Frame1", true);
    return;
  }
  // The last run is still tearing down (this press came from inside it): the
  // new one starts as soon as it has, from the handler that ran it.
  if (runs_ > 0) {
    startPending_ = true;
    return;
  }
  ++runs_;
  do {
    startPending_ = false;
    startRun();
  } while (startPending_ && !p_.commands().closed());
  startPending_ = false;
  --runs_;
}

void Modes::startRun() {
  Form& f = p_.form1();
  PublicVars& v = p_.vars();
  Control& button = f["StartStop"];
  // 3. Start.
  setEnabled(f, "Frame1", false);
  setValue(f, "PauseButton", 0);
  const int task = v.Task;
  const char* running = task == 2 ? "REC Stop" : "Stop";
  button.setCaption(running);
  button.setBackColour(task == 2 ? kRecordRed : inactiveBorder());
  switch (task) {
    case 1:
    case 2: {
      Control* nchan = p_.options0().find("NchanCombo");
      if (nchan && nchan->intNumber() == 2)
        live_.RunLiveLoopStereo();
      else
        live_.RunLiveLoopMono();
      break;
    }
    case 3: {
      Control* rate = p_.options0().find("Combo2");
      const std::string rateText = rate ? rate->text() : std::string();
      if (v.CurrentFile.empty() && openFileDialog) openFileDialog();
      if (!v.CurrentFile.empty()) {
        if (runPlayback) runPlayback();
        if (rate) rate->setText(rateText);
      }
      break;
    }
    case 4:
      if (runFileAnalysis) runFileAnalysis();
      break;
    default:
      break;
  }
  // A run that ended on its own (a RAM buffer or recording limit, a refused
  // set-up, nothing to play) leaves no stop command to reset the button: put
  // it back to idle so the next press reads as a start.
  v.StopFlag = true;
  if (button.caption() == running) {
    idleButton();
    setEnabled(f, "Frame1", true);
  }
}

void Modes::waitServing(double seconds) {
  Clock* c = p_.services().clock;
  EventPump* pump = p_.services().pump;
  if (!c || !pump) return;
  const int64_t start = c->tickMs();
  const int64_t span = static_cast<int64_t>(seconds * 1000.0);
  // A clock that never moves (a stopped test clock) must not hang the handler.
  int64_t last = start;
  int still = 0;
  while (c->tickMs() - start < span) {
    pump->processEventsFor(20);
    const int64_t now = c->tickMs();
    still = now == last ? still + 1 : 0;
    last = now;
    if (still > 1000) break;
  }
}

void Modes::QuickRecButton_Click() {
  PublicVars& v = p_.vars();
  if (!v.StopFlag) {
    v.StopFlag = true;
    setValue(p_.form1(), "PauseButton", 0);
    setEnabled(p_.form1(), "Frame1", true);
    waitServing(0.5);
  }
  if (v.Task == 1)
    RealTimeRecording_Click();
  else if (v.Task == 2)
    RealTimeAnalysis_Click();
}

void Modes::StopPlotAcq_Click() {
  p_.vars().StopFlag = true;
  startPending_ = false;
}

void Modes::EnableQuick_Click() {
  if (!p_.vars().StopFlag) setEnabled(p_.form1(), "Frame1", true);
}

}  // namespace qv
