#include "realtime/trigger.h"

#include <cstdio>
#include <limits>

#include "core/program.h"

namespace qv {

LevelTrigger::LevelTrigger(Program& p) : p_(p) { labelText_.reserve(64); }

void LevelTrigger::start(const LogRunInfo& run, bool allowLog) {
  Form& o1 = p_.options1();
  flag_ = o1.find("TriggerFlag");
  label_ = p_.form1().find("Label5");
  threshold_ = static_cast<float>(o1["TriggerTresholdField"].number());
  on_ = false;
  // Far enough back that the first loud column always starts an event.
  lastAbove_ = std::numeric_limits<int64_t>::min() / 2;
  lastEvent_ = 0;
  nextN_ = 1;
  eventN_ = 0;
  writeFailReported_ = false;
  log_.close();
  if (!allowLog || !o1["TriggerFlag"].checked() || !o1["TriggerToFileFlag"].checked()) return;

  std::string path = InitTracking(p_).TrackPath + o1["TriggerLogFileField"].text() + run.namePart + ".trig.txt";
  if (!log_.create(path)) {
    p_.setStatus("Cannot create trigger log " + path);
    return;
  }
  line_.clear().text(run.namePart).zone().text("RT ").integer(run.SampleRate).integer(run.FFTsize);
  line_.integer(run.ScanStep).text(" Treshold").real(threshold_).end();
  bool ok = log_.append(line_.view());
  line_.clear().text("N").zone().text("Count").zone().text("DeltaCount").zone().text("Time ms").zone();
  line_.text("Delta ms").zone().text("PP").end();
  if (!(log_.append(line_.view()) && ok)) {
    writeFailReported_ = true;
    p_.setStatus("Cannot write trigger log " + log_.path());
  }
}

bool LevelTrigger::enabled() const { return flag_ && flag_->checked(); }

void LevelTrigger::writeRecord(int32_t n, const ColumnView& c, float pp) {
  int64_t delta = c.ColumnCount - lastEvent_;
  line_.clear().integer(n).zone().integer(c.ColumnCount).zone().integer(delta).zone();
  line_.real(static_cast<float>(static_cast<double>(c.ColumnCount) * c.ColumnTimeMs)).zone();
  line_.real(static_cast<float>(static_cast<double>(delta) * c.ColumnTimeMs)).zone();
  line_.real(pp).end();
  if (log_.append(line_.view()) || writeFailReported_) return;
  writeFailReported_ = true;
  p_.setStatus("Cannot write trigger log " + log_.path());
}

LevelTrigger::Step LevelTrigger::TriggerColumn(const ColumnView& c, Surface* spectrogram) {
  Step step;
  Rgb colour;
  if (c.peakToPeak > threshold_) {
    if (c.ColumnCount - lastAbove_ <= kHoldColumns) {
      step = Step::Continue;
      colour = continueColour;
    } else {
      step = Step::Event;
      eventN_ = nextN_++;
      float deltaMs = static_cast<float>(static_cast<double>(c.ColumnCount - lastEvent_) * c.ColumnTimeMs);
      if (log_.active()) writeRecord(eventN_, c, c.peakToPeak);
      if (label_) {
        char buf[96];
        int n = formatLabelNumber(eventN_, buf);
        n += formatLabelNumber(deltaMs, buf + n);
        n += formatLabelNumber(c.peakToPeak, buf + n);
        labelText_.assign(buf, static_cast<size_t>(n));
        label_->setCaption(labelText_);
      }
      lastEvent_ = c.ColumnCount;
      colour = rgb(255, 0, 0);
    }
    lastAbove_ = c.ColumnCount;
    on_ = true;
  } else {
    step = on_ ? Step::End : Step::Off;
    // The end record carries the number of the event it ends.
    if (on_ && log_.active()) writeRecord(eventN_, c, 0);
    colour = offColour;
    on_ = false;
  }
  if (spectrogram) spectrogram->line(c.ColumnX, kMarkBottom, c.ColumnX, kMarkTop, colour);
  return step;
}

void LevelTrigger::finish() { log_.close(); }

}  // namespace qv
