#include "recording/station.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "core/designer.h"
#include "core/program.h"
#include "recording/rec_text.h"

namespace qv {

namespace {

std::map<const Program*, Station*>& registry() {
  static std::map<const Program*, Station*> r;
  return r;
}

DateTime nowOf(Program& p) {
  if (Clock* c = p.services().clock) return c->now();
  return {};
}

int64_t tickOf(Program& p) {
  if (Clock* c = p.services().clock) return c->tickMs();
  return 0;
}

std::string isoTime(const DateTime& t) {
  char b[32];
  std::snprintf(b, sizeof b, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return b;
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

std::string textOf(Form& f, const char* name) {
  Control* c = f.find(name);
  return c ? c->text() : std::string();
}

}  // namespace

Station::Station(Program& p) : p_(p) { registry()[&p] = this; }

Station::~Station() {
  auto& r = registry();
  auto it = r.find(&p_);
  if (it != r.end() && it->second == this) r.erase(it);
}

Station* findStation(Program& p) {
  auto& r = registry();
  auto it = r.find(&p);
  return it == r.end() ? nullptr : it->second;
}

void Station::tell(const StationEvent& e) {
  for (auto& f : eventListeners_) f(e);
}

void Station::addFile(const std::string& path) {
  for (const WrittenFile& f : figures_.files)
    if (f.path == path) return;
  figures_.files.push_back({path, 0});
}

// A new RecFile means a new file of this run: the counts the log reported for
// the one before it stay in the run's total.
void Station::followRecording() {
  if (!inRun_ || figures_.task != 2) return;
  const PublicVars& v = p_.vars();
  if (!v.RecFile.empty() && v.RecFile != lastRecFile_) {
    if (!lastRecFile_.empty()) closedOverloads_ += fileOverloads_;
    fileOverloads_ = 0;
    lastRecFile_ = v.RecFile;
    addFile(v.RecFile);
  } else {
    fileOverloads_ = v.OverloadCount;
  }
}

void Station::recLog(const DateTime& time, const std::string& fileTime, const std::string& message, bool error) {
  followRecording();
  if (error && inRun_ && figures_.error.empty()) figures_.error = message;
  tell(StationEvent{time, fileTime, message, error});
}

void Station::fileSaved(const std::string& what, const std::string& path) {
  if (inRun_) addFile(path);
  tell(StationEvent{nowOf(p_), {}, what + " " + path, false});
}

void Station::operatorMessage(const std::string& text) {
  if (inRun_ && !captureStarted_) refusal_ = text;
}

bool Station::setUp(Program& p, const RunParams&) {
  figures_ = RunFigures{};
  figures_.task = p.vars().Task;
  figures_.started = nowOf(p);
  inRun_ = true;
  captureStarted_ = false;
  refusal_.clear();
  // The first file of a run may carry the name of the last run's file.
  lastRecFile_.clear();
  fileOverloads_ = closedOverloads_ = 0;
  return true;
}

void Station::started() {
  captureStarted_ = true;
  startTick_ = tickOf(p_);
}

void Station::block(const int16_t*, int) {
  ++figures_.blocks;
  if (figures_.task == 2) followRecording();
  else fileOverloads_ = p_.vars().OverloadCount;
}

void Station::ended() {
  if (!inRun_) return;
  // The recording's own close came last and may have changed nothing since;
  // without a recording the loop's count is the run's.
  const PublicVars& v = p_.vars();
  if (figures_.task == 2) {
    followRecording();
  } else {
    fileOverloads_ = v.OverloadCount;
  }
  figures_.overloads = closedOverloads_ + fileOverloads_;
  figures_.seconds = captureStarted_ ? static_cast<double>(tickOf(p_) - startTick_) / 1000.0 : 0.0;
  // Only what is on disk counts as written.
  std::vector<WrittenFile> onDisk;
  for (const WrittenFile& f : figures_.files) {
    struct stat st {};
    if (::stat(f.path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) onDisk.push_back({f.path, st.st_size});
  }
  figures_.files = onDisk;
  figures_.currentFile.clear();
  figures_.fileTime.clear();
  if (!captureStarted_) {
    figures_.outcome = RunOutcome::NotStarted;
    if (!refusal_.empty()) figures_.error = refusal_;
  } else if (!figures_.error.empty()) figures_.outcome = RunOutcome::Failed;
  else figures_.outcome = RunOutcome::Ended;
  inRun_ = false;
  ++runs_;
  if (figures_.outcome != RunOutcome::Ended) ++troubled_;
  const RunFigures done = figures_;
  for (auto& f : runEndListeners_) f(done);
}

RunFigures Station::current() const {
  RunFigures f = figures_;
  if (running()) {
    const PublicVars& v = p_.vars();
    if (f.task == 2) {
      f.currentFile = v.RecFile;
      f.fileTime = v.FileTime;
      f.overloads = closedOverloads_ + v.OverloadCount;
    } else {
      f.overloads = v.OverloadCount;
    }
    if (captureStarted_) f.seconds = static_cast<double>(tickOf(p_) - startTick_) / 1000.0;
  }
  return f;
}

Station& installStation(Program& p) {
  auto s = std::make_shared<Station>(p);
  auto& parts = p.liveParticipants();
  parts.insert(parts.begin(), s.get());
  // The Start button's handler holds the station: it lives as long as the controls.
  p.form1()["StartStop"].on(Event::Click, [s] {});
  return *s;
}

StationStatus stationStatus(Program& p) {
  const PublicVars& v = p.vars();
  StationStatus s;
  s.running = !v.StopFlag;
  s.task = v.Task;
  if (s.running && v.Task == 2) s.recFile = v.RecFile;
  s.sampleRate = v.SampleRate;
  s.channels = v.Channels;
  s.fails = v.FailCount;
  s.overloads = v.OverloadCount;
  return s;
}

std::string stationEventLine(const StationEvent& e) {
  std::string s = isoTime(e.time);
  if (!e.fileTime.empty()) s += " [" + e.fileTime + "]";
  return s + " " + e.message;
}

std::string runSummaryLine(const RunFigures& f, const DateTime& at) {
  std::string s = isoTime(at) + " Summary: ";
  if (f.outcome == RunOutcome::NotStarted)
    return s + "the run did not start" + (f.error.empty() ? std::string() : " (" + f.error + ")");
  if (f.outcome == RunOutcome::Failed) s += "ended on an error (" + f.error + "), ";
  s += "duration " + FormatDuration(f.seconds) + ", blocks " + std::to_string(f.blocks) + ", Fails " +
       std::to_string(f.fails) + ", Overloads " + std::to_string(f.overloads);
  if (f.task != 2 && f.files.empty()) return s;
  s += ", files " + std::to_string(f.files.size());
  for (size_t i = 0; i < f.files.size(); ++i)
    s += std::string(i ? "; " : ": ") + quoted(f.files[i].path) + " " + std::to_string(f.files[i].bytes) + " bytes";
  return s;
}

std::string stationStartLine(Program& p, int task) {
  Form& m = p.form1();
  Form& o = p.options0();
  std::string device = textOf(m, "Combo10");
  if (device.empty())
    if (Control* c = m.find("Combo10"); c && !c->items().empty()) device = c->items().front();
  const int channels = std::max(1, o.find("NchanCombo") ? o["NchanCombo"].intNumber() : 1);
  std::string mode = std::to_string(task);
  if (const char* item = modeMenuItem(task))
    if (Control* c = m.find(item); c && !c->caption().empty()) mode += " " + quoted(c->caption());

  std::string s = "Station: program folder " + p.programFolder() + "; input " + quoted(device) + ", " +
                  std::to_string(m.find("Combo2") ? m["Combo2"].intNumber() : p.vars().SampleRate) + " Hz, " +
                  std::to_string(channels) + (channels == 1 ? " channel" : " channels") + "; mode " + mode;
  if (task == 2) {
    s += "; recording to " + rec::withSlash(textOf(o, "FileRecPathField")) + ", file mode " +
         quoted(textOf(o, "FileModeCombo")) + ", max size " + quoted(textOf(o, "FileMaxSizeCombo"));
  }
  if (Control* udp = o.find("chkUDPSlave"); udp && udp->checked())
    s += "; UDP commands on port " + rec::trimBlanks(textOf(o, "LocalPort2"));
  return s;
}

}  // namespace qv
