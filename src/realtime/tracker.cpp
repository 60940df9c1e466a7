#include "realtime/tracker.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "core/program.h"
#include "platform/clock.h"
#include "platform/surface.h"

namespace qv {

namespace {

DateTime nowOf(Program& p) {
  if (Clock* c = p.services().clock) return c->now();
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  DateTime d;
  d.year = tm.tm_year + 1900;
  d.month = tm.tm_mon + 1;
  d.day = tm.tm_mday;
  d.hour = tm.tm_hour;
  d.minute = tm.tm_min;
  d.second = tm.tm_sec;
  return d;
}

// round(x, 2) half up.
double round2(double x) { return std::floor(x * 100.0 + 0.5) / 100.0; }

}  // namespace

int formatTimeOfDay(Program& p, char* out) {
  DateTime d = nowOf(p);
  return std::snprintf(out, 16, "%02d:%02d:%02d", d.hour % 100, d.minute % 100, d.second % 100);
}

int formatDurationText(double seconds, char* out) {
  if (!(seconds > 0)) seconds = 0;
  // Rounded to whole milliseconds first, so 1.9996 s reads 00:00:02.000 and
  // never 00:00:01.000.
  long long ms = std::llround(seconds * 1000.0);
  long long s = ms / 1000;
  return std::snprintf(out, 16, "%02lld:%02lld:%02lld.%03lld", (s / 3600) % 100, (s / 60) % 60, s % 60, ms % 1000);
}

void InitTracking(Program& p, int16_t& track, int& TrackFrom, int& TrackTo, float& TrackTresh, int& TrackSave,
                  std::string& TrackPath) {
  Form& f1 = p.form1();
  Form& o1 = p.options1();
  track = f1["Check2"].checked() ? 1 : 0;
  TrackFrom = o1["TrackFromField"].intNumber();
  TrackTo = o1["TrackToField"].intNumber();
  TrackTresh = static_cast<float>(o1["TrackTresholdField"].number());
  TrackSave = (o1["TrackToFileFlag"].checked() ? 1 : 0) * track;
  TrackPath = o1["DefLogPath"].text();
  if (!TrackPath.empty() && TrackPath.back() != '/') TrackPath += '/';
}

TrackSettings InitTracking(Program& p) {
  TrackSettings s;
  InitTracking(p, s.track, s.TrackFrom, s.TrackTo, s.TrackTresh, s.TrackSave, s.TrackPath);
  return s;
}

std::string LogNamePart(Program& p, const std::string& recordingNamePart) {
  std::string n = recordingNamePart;
  if (p.options0()["AddTimeStamp"].checked()) {
    DateTime d = nowOf(p);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, " %04d%02d%02d %02d%02d%02d", d.year % 10000, d.month % 100, d.day % 100,
                  d.hour % 100, d.minute % 100, d.second % 100);
    n += stamp;
  }
  return n;
}

FrequencyTracker::FrequencyTracker(Program& p) : p_(p) { labelText_.reserve(64); }

void FrequencyTracker::start(const LogRunInfo& run) {
  s_ = InitTracking(p_);
  label_ = p_.form1().find("Label5");
  trackCount_ = 0;
  lastTracked_ = 0;
  writeFailReported_ = false;
  log_.close();
  if (s_.TrackSave != 1) return;

  std::string name = p_.options1()["TrackLogFileField"].text();
  std::string path = s_.TrackPath + name + run.namePart + ".track.txt";
  if (!log_.create(path)) {
    p_.setStatus("Cannot create track log " + path);
    return;
  }
  line_.clear().text(run.namePart).zone().text("RT ").integer(run.SampleRate).integer(run.FFTsize).integer(run.ScanStep);
  line_.zone().text("track ").integer(s_.TrackFrom).integer(s_.TrackTo).text(" Treshold").real(s_.TrackTresh).end();
  writeLine();
  line_.clear().text("DayTime").zone().text("RelativeTime").zone().text("BlockCount").zone().text("GapCount");
  line_.zone().text("TrackCount").zone().text("Frequency").zone().text("Level").end();
  writeLine();
}

void FrequencyTracker::writeLine() {
  if (log_.append(line_.view()) || writeFailReported_) return;
  writeFailReported_ = true;
  p_.setStatus("Cannot write track log " + log_.path());
}

bool FrequencyTracker::TrackColumn(const ColumnView& c, Surface* target) {
  // The band is clipped to the column: rows outside it do not exist.
  int from = s_.TrackFrom < 0 ? 0 : s_.TrackFrom;
  int to = s_.TrackTo > c.rows ? c.rows : s_.TrackTo;
  if (c.P == nullptr || from >= to) {
    trackCount_ = 0;
    return false;
  }
  int i = 0;
  float m = c.P[from];
  for (int r = from + 1; r < to; ++r) {
    if (c.P[r] > m) {
      m = c.P[r];
      i = r - from;
    }
  }
  float level = m / 2;
  float frequency = static_cast<float>(from + i + c.ZoomBase) * c.PixelHz;

  if (label_) {
    char buf[96];
    int n = formatLabelNumber(frequency, buf);
    n += std::snprintf(buf + n, sizeof buf - n, "Hz");
    n += formatLabelNumber(round2(static_cast<double>(level) - c.Darkness), buf + n);
    n += std::snprintf(buf + n, sizeof buf - n, " dB");
    labelText_.assign(buf, static_cast<size_t>(n));
    label_->setCaption(labelText_);
  }

  bool detected = i > 0 && level > s_.TrackTresh;
  if (!detected) {
    trackCount_ = 0;
    return false;
  }
  if (target) target->setPixel(c.x, c.rows - 1 - from - i, rgb(255, 0, 0));
  if (s_.TrackSave == 1) {
    ++trackCount_;
    if (log_.active()) {
      char day[16], rel[16];
      int dn = c.dayText ? std::snprintf(day, sizeof day, "%s", c.dayText) : formatTimeOfDay(p_, day);
      double relative = c.relativeSeconds >= 0 ? c.relativeSeconds
                                                : static_cast<double>(c.ColumnCount) * c.ColumnTimeMs / 1000.0;
      int rn = formatDurationText(relative, rel);
      line_.clear().text({day, static_cast<size_t>(dn)}).zone().text({rel, static_cast<size_t>(rn)}).zone();
      line_.integer(c.ColumnCount).zone().integer(c.ColumnCount - lastTracked_ - 1).zone().integer(trackCount_);
      line_.zone().real(frequency).zone().real(level).end();
      writeLine();
    }
    lastTracked_ = c.ColumnCount;
  }
  return true;
}

void FrequencyTracker::finish() { log_.close(); }

}  // namespace qv
