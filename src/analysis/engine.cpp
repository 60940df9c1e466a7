#include "analysis/engine.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "analysis/text_format.h"
#include "core/program.h"
#include "platform/clock.h"
#include "platform/dsp.h"
#include "platform/surface.h"

namespace qv {
namespace {

// "Remove Offset" and its value box on the main window.
constexpr const char* kRemoveOffset = "Check1";
constexpr const char* kOffsetValue = "Text5";
// Pixel rows of one printed text line.
constexpr int kLineHeightPx = 14;

}  // namespace

AnalysisEngine::AnalysisEngine(Program& p) : program_(p), specWindow_(p) {}

AnalysisEngine::~AnalysisEngine() {
  *alive_ = false;
  if (program_.analysis() == this) program_.setAnalysis(nullptr);
}

SpectrumEngine& AnalysisEngine::spectrum() {
  if (!spectrum_) {
    Dsp* dsp = program_.services().dsp;
    if (!dsp) throw std::logic_error("no signal-processing service");
    spectrum_ = std::make_unique<SpectrumEngine>(*dsp);
    spectrum_->ops = &ops_;
  }
  return *spectrum_;
}

void AnalysisEngine::UpdateForm() { qv::UpdateForm(program_, display_); }

void AnalysisEngine::mainComboChange(int n) {
  // A list choice raises Change before Click, and the repairs run by
  // UpdateForm may already cut the scan step: keep what was chosen.
  Control& scan = program_.form1()["Combo6"];
  if (n != 6 || inScanChange_) {
    UpdateForm();
    return;
  }
  inScanChange_ = true;
  chosenScanStep_ = scan.number();
  UpdateForm();
  inScanChange_ = false;
  // Nothing was cut: the box itself tells the Click what was chosen.
  if (scan.number() == chosenScanStep_) chosenScanStep_ = -1;
}

void AnalysisEngine::basicComboClick(int n) {
  Form& o = program_.options0();
  switch (n) {
    case 1: blockSizeChosen(o); break;
    case 3: fftSizeChosen(o); break;
    case 4: windowSizeChosen(o); break;
    case 6: scanStepChosen(o, o["Combo6"].number()); break;
    default: break;
  }
  if (n == 2 || n == 3 || n == 4 || n == 5 || n == 6 || n == 8) Changed = true;
  if (n == 8) applyColourScale(program_, display_, o["Combo8"]);
  UpdateInfo();
}

void AnalysisEngine::install() {
  if (installed_) return;
  installed_ = true;
  Form& f = program_.form1();
  Form& o = program_.options0();
  // The controls may outlive the engine: its handlers then do nothing.
  auto on = [alive = alive_](Control& c, Event e, std::function<void()> h) {
    c.on(e, [alive, h = std::move(h)] {
      if (*alive) h();
    });
  };
  for (int n = 1; n <= 8; ++n) on(f["Combo" + std::to_string(n)], Event::Change, [this, n] { mainComboChange(n); });
  on(f["Combo12"], Event::Change, [this] { UpdateForm(); });
  on(f["Combo1"], Event::Click, [this] {
    blockSizeChosen(program_.form1());
    CheckFFTsize(program_);
    UpdateForm();
  });
  on(f["Combo2"], Event::Click, [this] { UpdateForm(); });
  on(f["Combo3"], Event::Click, [this] {
    fftSizeChosen(program_.form1());
    CheckFFTsize(program_);
    UpdateForm();
  });
  on(f["Combo4"], Event::Click, [this] {
    windowSizeChosen(program_.form1());
    CheckFFTsize(program_);
    UpdateForm();
  });
  on(f["Combo6"], Event::Click, [this] {
    Control& c = program_.form1()["Combo6"];
    double chosen = chosenScanStep_ >= 0 ? chosenScanStep_ : c.number();
    chosenScanStep_ = -1;
    scanStepChosen(program_.form1(), chosen);
    UpdateForm();
  });
  on(f["Combo8"], Event::Click, [this] {
    UpdateForm();
    applyColourScale(program_, display_, program_.form1()["Combo8"]);
  });
  on(f["ZoomFlag"], Event::Click, [this] { UpdateForm(); });
  on(f["UpDown5"], Event::Change, [this] { UpdateForm(); });
  on(f["UpDown1"], Event::Change, [this] {
    Form& m = program_.form1();
    program_.vars().Darkness = m["UpDown1"].value() * 6;
    if (Control* t = m.find("Text1")) t->setText(std::to_string(program_.vars().Darkness));
  });

  for (int n = 1; n <= 8; ++n) {
    on(o["Combo" + std::to_string(n)], Event::Change, [this] { UpdateInfo(); });
    on(o["Combo" + std::to_string(n)], Event::Click, [this, n] { basicComboClick(n); });
  }
  if (Control* c = o.find("NchanCombo")) on(*c, Event::Change, [this] { UpdateInfo(); });
  if (Control* c = o.find("FileMaxSizeCombo")) on(*c, Event::Change, [this] { UpdateInfo(); });
  if (Control* c = o.find("ok")) on(*c, Event::Click, [this] { Apply_Click(); });
  if (Control* c = program_.forms().specForm().find("Command1")) on(*c, Event::Click, [this] { PlotSpec(nullptr, 0); });
  if (Control* c = f.find("CheckSpeed")) on(*c, Event::Click, [this] { CheckSpeed(); });
}

void AnalysisEngine::UpdateInfo() {
  infoLines = updateInfoLines(program_);
  if (Control* pic = program_.options0().find("Picture1")) {
    int w = 0;
    for (auto& l : infoLines) w = std::max(w, static_cast<int>(l.size()) * kCharWidthPx);
    if (auto s = ensureSurface(program_, *pic, w + 8, kLineHeightPx * static_cast<int>(infoLines.size()) + 4)) {
      s->clear();
      for (size_t i = 0; i < infoLines.size(); ++i)
        s->text(0, static_cast<int>(i) * kLineHeightPx, infoLines[i], rgb(0, 0, 0));
    }
  }
  RecDuration = recDurationSeconds(program_);
  if (onUpdateInfo) onUpdateInfo();
}

void AnalysisEngine::Apply_Click() {
  Form& o = program_.options0();
  Form& f = program_.form1();
  o.setShown(false);
  for (const char* n : {"Combo1", "Combo2", "Combo3", "Combo4", "Combo5", "Combo6", "Combo7", "Combo8", "Combo10",
                        "Combo12"}) {
    if (std::string(n) == "Combo5") f[n].setListIndex(o[n].listIndex());
    f[n].setText(o[n].text());
  }
  UpdateForm();
  if (Changed) {
    // The kept picture was drawn with the old settings.
    specGramCopy_.discard();
    if (auto s = f["SpecGram"].surface()) s->clear();
    UpdateForm();
  } else {
    RestoreSpecGram();
  }
  Changed = false;
}

void AnalysisEngine::Options0_Load() { applyColourScale(program_, display_, program_.options0()["Combo8"]); }

void AnalysisEngine::refreshZoomMode() {
  PublicVars& v = program_.vars();
  v.ZoomMode = (2 * v.specVsize >= v.FFTsize) ? 1 : (program_.form1()["ZoomFlag"].checked() ? 1 : 0);
}

RunParams AnalysisEngine::beginRun(int pictureWidth) {
  run_ = startRunSettings(program_, pictureWidth);
  PublicVars& v = program_.vars();
  Form& adv = program_.options1();
  ColumnSetup s;
  s.order = run_.fftOrder;
  s.windowSize = run_.WindowSize;
  s.windowType = run_.windowType;
  s.displayHeight = run_.DisplayHeight;
  s.zoomFactor = std::max(1, static_cast<int>(roundEven(static_cast<double>(v.FFTsize) / v.specVsize / 2)));
  s.levelStart = run_.levelStart;
  s.levelLength = run_.levelLength;
  s.derivate = adv.find("DerivateFlag") && adv["DerivateFlag"].checked();
  s.smooth = adv.find("SmoothFlag") && adv["SmoothFlag"].checked();
  s.cepstrum = adv.find("CepstrumFlag") && adv["CepstrumFlag"].checked();
  s.zscale = v.zscale;
  s.avgMode = adv.find("AvgCombo") ? adv["AvgCombo"].intNumber() : 0;
  s.avgCoeff = adv.find("AvgCoeffField") ? static_cast<float>(adv["AvgCoeffField"].number()) : 0.99f;
  s.binWidthHz = run_.BinWidthHz;
  SpectrumEngine& e = spectrum();
  window_ = e.beginRun(s);
  Control* specForm = program_.options2().find("SpecFormCheck");
  if (specForm && specForm->checked())
    e.plotSpec = [this](const float* column, int n) { specWindow_.PlotSpec(column, n); };
  else
    e.plotSpec = nullptr;
  // The run draws a new picture: a copy kept from before is out of date.
  specGramCopy_.discard();
  refreshZoomMode();
  return run_;
}

RunTexts AnalysisEngine::runTexts() const { return runStatusTexts(run_, program_.vars()); }

void AnalysisEngine::endRun() {
  if (spectrum_) spectrum_->endRun();
}

ConditionSetup AnalysisEngine::conditionSetup(bool withDither) const {
  ConditionSetup c;
  Form& f = program_.form1();
  if (Control* r = f.find(kRemoveOffset)) c.removeOffset = r->checked();
  if (Control* t = f.find(kOffsetValue)) c.offsetValue = std::clamp(t->intNumber(), -32767, 32767);
  c.digitalGain = program_.vars().DigitalGain;
  if (withDither) {
    Form& tools = program_.options2();
    for (int d = 3; d >= 1; --d)
      if (Control* chk = tools.find("chkDither" + std::to_string(d)); chk && chk->checked()) {
        c.dither = d;
        break;
      }
    if (Control* a = tools.find("txtDither")) c.ditherAmount = static_cast<float>(a->number());
  }
  return c;
}

void AnalysisEngine::ConditionBlock(int first, int count, const ConditionSetup& c) {
  const int mean = spectrum().ConditionBlock(first, count, c);
  if (c.removeOffset)
    if (Control* l = program_.form1().find("Label7")) l->setCaption(strNum(mean));
}

void AnalysisEngine::showRunTexts() {
  RunTexts t = runTexts();
  program_.setStatus(t.statusLine);
  if (Control* l = program_.form1().find("Label4")) l->setCaption(t.runInfo);
}

void AnalysisEngine::showLinearRange(const ColumnResult& r) {
  if (Control* l = program_.form1().find("Label4")) l->setCaption(strNum(r.linMin) + strNum(r.linMax));
}

std::vector<std::string> AnalysisEngine::CheckSpeed() {
  Control& spec = program_.form1()["SpecGram"];
  if (auto window = mainWindowSurface(program_)) window->clear();
  auto s = ensureSurface(program_, spec, 480, 4 * 6 * kLineHeightPx + 4);
  if (s) s->clear();
  Clock* clock = program_.services().clock;
  auto seconds = [clock] {
    if (clock) return clock->secondsSinceMidnight();
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
  };
  Dsp* dsp = program_.services().dsp;
  std::vector<float> work(kWorkCapacity, 0.0f);
  std::vector<std::string> lines;
  auto print = [&](const std::string& t) {
    if (s) s->text(0, static_cast<int>(lines.size()) * kLineHeightPx, t, rgb(0, 0, 0));
    lines.push_back(t);
  };
  for (int order = 7; order <= 10; ++order) {
    const int n = 1 << order;
    const int count = 52000 - 4000 * order;
    auto timed = [&](RealFft& fft) {
      for (int i = 0; i < n; ++i) work[i] = static_cast<float>((i * 37) % 101 - 50);
      double t0 = seconds();
      for (int k = 0; k < count; ++k) fft.forward(work.data());
      double us = 1e6 * (seconds() - t0) / count;
      return strNum(roundHalfUp(us, 3));
    };
    for (const char* label : {"nspsRealFft", "nspsRealFft init"}) {
      if (!dsp) {
        print(std::string(label) + strNum(n) + " n/a");
        continue;
      }
      auto fft = dsp->planRealFft(order);
      print(std::string(label) + strNum(n) + timed(*fft) + " microsec");
    }
    for (const char* label : {"nspdRealFft", "nspwRealFft float", "nspwRealFft int", "nspwRealFft MMX"})
      print(std::string(label) + strNum(n) + " n/a");
  }
  return lines;
}

std::unique_ptr<AnalysisEngine> installAnalysis(Program& p) {
  auto e = std::make_unique<AnalysisEngine>(p);
  e->install();
  p.setAnalysis(e.get());
  return e;
}

}  // namespace qv
