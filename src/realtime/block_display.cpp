#include "realtime/block_display.h"

#include <algorithm>
#include <cmath>

#include "analysis/engine.h"
#include "core/program.h"
#include "platform/surface.h"
#include "realtime/column_observer.h"
#include "realtime/update_form.h"

namespace qv {
namespace {

constexpr Rgb kBlack = rgb(0, 0, 0);
constexpr Rgb kRed = rgb(255, 0, 0);
// Where a mark's label starts below the separator strip.
constexpr int kMarkLabelRow = 18;

int readInt16(Form& f, const char* name, int fallback) {
  Control* c = f.find(name);
  if (!c) return fallback;
  return static_cast<int>(std::clamp<long long>(c->intNumber(), -32768, 32767));
}

}  // namespace

std::shared_ptr<Surface> spectrogramSurface(Program& p) {
  Control& spec = p.form1()["SpecGram"];
  const Geometry& g = spec.geometry();
  const int w = g.width > 0 ? g.width : 640;
  const int h = std::max(g.height, p.vars().specVsize + 97);
  return ensureSurface(p, spec, w, h);
}

BlockDisplay::BlockDisplay(Program& p) : p_(p), tracker_(p), trigger_(p) {}

BlockDisplay::~BlockDisplay() { end(); }

bool BlockDisplay::begin(bool stereo) {
  end();
  engine_ = p_.analysis();
  if (!engine_) return false;
  stereo_ = stereo;
  PublicVars& v = p_.vars();
  Form& adv = p_.options1();
  Control& spec = p_.form1()["SpecGram"];
  picture_ = spectrogramSurface(p_);
  if (!picture_) return false;
  pictureWidth_ = spec.geometry().width > 0 ? spec.geometry().width : picture_->width();
  pictureWidth_ = std::min(pictureWidth_, picture_->width());
  picture_->fillBox(0, v.specVsize, pictureWidth_, v.specVsize + 16, inactiveBorder());

  ColumnLayout layout;
  layout.pictureWidth = pictureWidth_;
  layout.specVsize = v.specVsize;
  layout.displayHeight = std::clamp(engine_->run().DisplayHeight, 0, v.specVsize);
  layout.updateRate = adv.find("Combo9") ? std::max(adv["Combo9"].intNumber(), 0) : 2;
  layout.scrollFlag = adv.find("ScrollFlag") ? std::clamp(adv["ScrollFlag"].value(), 0, 2) : 1;
  layout.stereo = stereo_;
  if (stereo_ && layout.scrollFlag != 0) layout.scrollFlag = 1;

  const int cols = ColumnDraw::bitmapColumns(layout);
  bitmap_.reset();
  if (cols > 0 && layout.displayHeight > 0 && p_.services().surfaces)
    bitmap_ = p_.services().surfaces->create(cols, layout.displayHeight);
  draw_.begin(*picture_, bitmap_.get(), layout);
  draw_.setMarkers(adv.find("Check6") && adv["Check6"].checked(), readInt16(adv, "Text12", 0),
                   readInt16(adv, "Text13", 0), readInt16(adv, "Text14", 0), readInt16(adv, "Text1", 255));
  trackerBox_ = p_.form1().find("Check2");
  rbBox_ = p_.form1().find("Check3");
  trackerOn_ = false;
  markOrigin_ = 0;
  observers_ = p_.columnObservers();
  for (ColumnObserver* o : observers_) o->displayBegins(draw_.displayHeight(), stereo_);
  return true;
}

void BlockDisplay::startDetectors(const LogRunInfo& info) {
  if (stereo_ || !picture_) return;
  tracker_.start(info);
  trigger_.offColour = inactiveBorder();
  trigger_.start(info);
  detectors_ = true;
}

void BlockDisplay::readBlockSwitches() {
  trackerOn_ = detectors_ && trackerBox_ && trackerBox_->checked();
}

void BlockDisplay::setMarks(std::vector<SampleMark> marks, int length) {
  marks_ = std::move(marks);
  std::stable_sort(marks_.begin(), marks_.end(),
                   [](const SampleMark& a, const SampleMark& b) { return a.sample < b.sample; });
  markLength_ = length;
}

void BlockDisplay::drawMarks(int X, int64_t windowStart, int scanStep) {
  // The column of a mark is the one whose window starts nearest to it.
  const int64_t lo = windowStart - scanStep / 2;
  const int64_t hi = lo + std::max(scanStep, 1);
  auto it = std::lower_bound(marks_.begin(), marks_.end(), lo,
                             [](const SampleMark& m, int64_t s) { return m.sample < s; });
  const int sv = draw_.layout().specVsize;
  for (; it != marks_.end() && it->sample < hi; ++it) {
    picture_->line(X, sv, X, sv + markLength_, kRed);
    if (!it->label.empty()) {
      // Left of the line: the columns still to come are drawn to its right.
      const int w = static_cast<int>(it->label.size()) * kCharWidthPx;
      picture_->text(X - 2 - w, sv + kMarkLabelRow, it->label, kRed);
    }
  }
}

bool BlockDisplay::monoColumns(int from, int to, const RunParams& run) {
  if (!picture_) return false;
  PublicVars& v = p_.vars();
  SpectrumEngine& eng = engine_->spectrum();
  const ColourPalette& pal = engine_->palette();
  const int h = draw_.displayHeight();
  const int width = std::max(pictureWidth_, 1);
  const bool marks = !marks_.empty();
  bool linear = false;
  ColumnView view;
  view.rows = h;
  view.ColumnTimeMs = run.ColumnTimeMs;
  for (int k = from; k < to; ++k) {
    const int s = k * run.ScanStep;
    if (v.ColumnX < 0) {
      eng.ComputeSpectrumColumn(s, v);
      ++v.ColumnX;
      continue;
    }
    ++v.ColumnCount;
    const ColumnResult& r = eng.ComputeSpectrumColumn(s, v);
    const int x = draw_.beginColumn(v.ColumnX);
    view.P = eng.column();
    view.peakToPeak = r.peakToPeak;
    view.ColumnCount = v.ColumnCount;
    view.ColumnX = v.ColumnX;
    view.x = x;
    view.PixelHz = v.PixelHz;
    view.ZoomBase = v.ZoomBase;
    view.Darkness = v.Darkness;
    if (h > 0 && r.hasSpectrum) {
      draw_.paintMono(x, eng.column(), pal);
      if (trackerOn_) tracker_.TrackColumn(view, draw_.target());
      for (ColumnObserver* o : observers_) o->column(eng.column(), h, 0);
    }
    linear = linear || r.linear;
    const int X = draw_.pictureX(x, v.ColumnX);
    draw_.waveformMono(X, r.barMin, r.barMax, r.overload ? kRed : kBlack);
    if (marks) drawMarks(X, markOrigin_ + s, run.ScanStep);
    draw_.endColumn(x, v.ColumnX);
    if (detectors_ && trigger_.enabled()) trigger_.TriggerColumn(view, picture_.get());
    v.ColumnX = (v.ColumnX + 1) % width;
  }
  return linear;
}

void BlockDisplay::stereoColumns(int from, int to, const RunParams& run) {
  if (!picture_) return;
  PublicVars& v = p_.vars();
  SpectrumEngine& eng = engine_->spectrum();
  const ColourPalette& pal = engine_->palette();
  const int h = draw_.displayHeight();
  const int width = std::max(pictureWidth_, 1);
  const bool marks = !marks_.empty();
  const bool rb = rbBox_ && rbBox_->checked();
  for (int k = from; k < to; ++k) {
    const int s = 2 * k * run.ScanStep;
    if (v.ColumnX < 0) {
      // Both channels keep their place in the column sequence.
      eng.ComputeSpectrumColumn(s, v);
      eng.ComputeSpectrumColumn(s + 1, v);
      ++v.ColumnX;
      continue;
    }
    ++v.ColumnCount;
    const int x = draw_.beginColumn(v.ColumnX);
    const int X = draw_.pictureX(x, v.ColumnX);
    draw_.stripStereo(X);
    for (int ch = 0; ch < 2; ++ch) {
      const ColumnResult& r = eng.ComputeSpectrumColumn(s + ch, v);
      if (h > 0 && r.hasSpectrum) {
        draw_.paintStereo(x, ch, eng.column(), pal, rb);
        for (ColumnObserver* o : observers_) o->column(eng.column(), h, ch);
      }
      const int lo = static_cast<int>(std::nearbyint(std::clamp(r.min / 2048.0f, -64.0f, 64.0f)));
      const int hi = static_cast<int>(std::nearbyint(std::clamp(r.max / 2048.0f, -64.0f, 64.0f)));
      draw_.barStereo(X, ch, lo, hi, r.overload ? kRed : kBlack);
    }
    if (marks) drawMarks(X, markOrigin_ + k * static_cast<int64_t>(run.ScanStep), run.ScanStep);
    draw_.endColumn(x, v.ColumnX);
    v.ColumnX = (v.ColumnX + 1) % width;
  }
}

void BlockDisplay::end() {
  if (detectors_) {
    tracker_.finish();
    trigger_.finish();
    detectors_ = false;
  }
  if (picture_)
    for (ColumnObserver* o : observers_) o->displayEnds();
  observers_.clear();
  draw_.end();
  bitmap_.reset();
  picture_.reset();
  trackerOn_ = false;
}

}  // namespace qv
