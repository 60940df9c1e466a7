#include "config/startup.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "config/command_line.h"
#include "config/identity.h"
#include "config/presets.h"
#include "config/recovery.h"
#include "config/settings_file.h"
#include "config/settings_line.h"
#include "core/control.h"
#include "core/designer.h"
#include "core/program.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/dsp.h"
#include "platform/event_pump.h"
#include "recording/folders.h"

namespace qv {

namespace {

void call(const std::function<void()>& f) {
  if (f) f();
}

bool exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

std::string trimBlanks(const std::string& s) {
  size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return {};
  size_t b = s.find_last_not_of(" \t");
  return s.substr(a, b - a + 1);
}

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Removes a switch from the end (any case); the blanks before it go too, so
// that "rec1.wav /AUTO" leaves the file name itself.
bool stripSwitch(std::string& s, const std::string& sw) {
  std::string u = upper(s);
  if (u.size() < sw.size() || u.compare(u.size() - sw.size(), sw.size(), sw) != 0) return false;
  s = trimBlanks(s.substr(0, s.size() - sw.size()));
  return true;
}

void setText(Form& f, const char* name, const std::string& t) {
  if (Control* c = f.find(name)) c->setText(t);
}
void setCaption(Form& f, const char* name, const std::string& t) {
  if (Control* c = f.find(name)) c->setCaption(t);
}
void setValue(Form& f, const char* name, int v) {
  if (Control* c = f.find(name)) c->setValue(v);
}
void setEnabled(Form& f, const char* name, bool e) {
  if (Control* c = f.find(name)) c->setEnabled(e);
}
void setVisible(Form& f, const char* name, bool v) {
  if (Control* c = f.find(name)) c->setVisible(v);
}

void clickIfPresent(Form& f, const char* name) {
  if (Control* c = name ? f.find(name) : nullptr) c->click();
}

void selectTask(Program& program, const StartupHooks& hooks, int task) {
  program.vars().Task = task;
  if (hooks.selectTask) hooks.selectTask(task);
  else clickIfPresent(program.form1(), modeMenuItem(task));
}

void showMainWindow(Program& program, const StartupHooks& hooks) {
  if (hooks.showMainWindow) hooks.showMainWindow();
  else program.form1().setShown(true);
}

// The designer state every start begins from, after the default preset.
void initialiseControls(Program& program) {
  Form& m = program.form1();
  if (Control* c = m.find("Combo5")) c->setListIndex(1);
  setText(m, "Combo7", std::to_string(program.vars().specVsize));
  setValue(m, "Check1", 0);
  setValue(m, "Check2", 0);
  setText(m, "Text1", "0");
  setText(m, "Text2", "1");
  setText(m, "Text5", "0");
  setValue(m, "ZoomFlag", 0);
  setEnabled(m, "ZoomFlag", false);
  setEnabled(m, "UpDown5", false);
  for (const char* n : {"LabelCursors", "Label3", "Label4", "Label5", "Label6", "Label7", "Label9", "Label24"})
    setCaption(m, n, "");
  for (const char* n : {"Label20", "Label21", "Label27", "Label28", "L24", "L25"}) setCaption(m, n, "0");
  program.setStatus("");
  setEnabled(m, "Text4", false);
  setVisible(m, "Frame4", false);
  setVisible(m, "Frame5", false);
  setVisible(m, "QuickRecButton", true);

  Form& o0 = program.options0();
  setText(o0, "FileMaxSizeCombo", "680 MB (CD size)");
  setText(o0, "FileModeCombo", "2 - single file recording");
  setText(o0, "RamBufferModeCombo", "1");
  setText(o0, "NchanCombo", "1 - mono (left)");

  Form& o1 = program.options1();
  setValue(o1, "RTCursorFlag", 1);
  setText(o1, "FrequencyDivisionCombo", "1");
  setText(o1, "TapeSpeedCombo", "1");
  setText(o1, "Combo9", "2");
  setText(o1, "Combo1", "0 - dB");

  setText(program.options2(), "Combo2", "2");
}

void warmUpDsp(Program& program) {
  // Loads the library's code before the first analysis rather than during it.
  if (Dsp* dsp = program.services().dsp) {
    float v[2] = {1.0f, 2.0f};
    dsp->mul(v, v, 2);
  }
}

// One level each: a folder whose parent is missing is on a disk that is not
// mounted, and making the whole path would put the files on the root
// filesystem. Such a folder is reported now; a recording is refused at Start.
void createDefaultFolders(Program& program) {
  auto paths = currentDefPaths(program);
  std::string report;
  for (const std::string* p : {&paths.play, &paths.recording, &paths.save, &paths.log}) {
    if (p->empty()) continue;
    FolderCheck made = makeFolderOneLevel(*p);
    if (!made.ok && report.find(made.message) == std::string::npos) report += (report.empty() ? "" : "\n") + made.message;
  }
  if (report.empty()) return;
  program.appendStatus(report + ". ");
  if (Dialogs* d = program.services().dialogs) d->message(report, kProductName, MsgButtons::Ok, MsgIcon::Warning);
}

}  // namespace

std::string aboutText() {
  return std::string(kMainCaption) +
         "\r\n\r\nLive spectrograms of one or two sound-card channels, uninterrupted recording to WAV "
         "files, a memory buffer of the most recent audio, event notes, and analysis and playback of "
         "stored recordings.\r\n\r\nFor bioacoustic and underwater-acoustic field work.";
}

void runSplashWait(Program& program, SplashWindow& splash) {
  Clock* clock = program.services().clock;
  if (!clock) return;
  const double start = clock->secondsSinceMidnight();
  double nextDot = start;
  while (!splash.closed) {
    double now = clock->secondsSinceMidnight();
    // The clock restarts at midnight; without this a start just before it would wait a whole day.
    if (now < start) now += 86400.0;
    if (now - start >= 2.0) break;
    while (now >= nextDot) {
      splash.textProgress += ".";
      nextDot += 0.01;
    }
    // Waits for events a moment rather than spinning a core for 2 seconds.
    if (EventPump* pump = program.services().pump) pump->processEventsFor(5);
  }
}

std::string commandLineFileProblem(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return errno == ENOENT ? "no such file" : std::string("cannot be read: ") + std::strerror(errno);
  if (S_ISDIR(st.st_mode)) return "is a folder, not a file";
  if (!S_ISREG(st.st_mode)) return "is not a regular file";
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return std::string("cannot be opened: ") + std::strerror(errno);
  std::fclose(f);
  return {};
}

StartupReport runClassicCommandLine(Program& program, const std::string& args, const StartupHooks& hooks) {
  StartupReport report;
  std::string s = trimBlanks(args);
  if (s.empty()) return report;
  if (stripSwitch(s, "/REC")) {
    showMainWindow(program, hooks);
    if (hooks.startRecording) {
      hooks.startRecording();
    } else {
      clickIfPresent(program.form1(), "RealTimeRecording");
      clickIfPresent(program.form1(), "StartStop");
    }
  }
  stripSwitch(s, "/AUTO");
  stripSwitch(s, "/PPT");
  if (s.empty()) return report;
  // Still ignored, as before, but no longer in silence.
  if (std::string problem = commandLineFileProblem(s); !problem.empty()) {
    report.fileProblem = "\"" + s + "\" " + problem + "; starting without it";
    return report;
  }
  showMainWindow(program, hooks);
  if (hooks.openFile) hooks.openFile(s);
  return report;
}

void applyStartupDefaults(Program& program) {
  applyBuiltInPreset(program);
  initialiseControls(program);
}

StartupReport startUp(Program& program, const CommandLine& cl, const StartupHooks& hooks, StartupOptions options) {
  PublicVars& v = program.vars();
  Form& m = program.form1();

  // 1-2: identity, splash.
  m.setTitle(kMainCaption);
  if (options.splash && !cl.headless && program.services().clock && hooks.showSplash) {
    SplashWindow splash;
    splash.text = aboutText();
    hooks.showSplash(splash);
    runSplashWait(program, splash);
    if (hooks.closeSplash) hooks.closeSplash(splash);
  }

  // 3-5: nothing runs; an empty status line; no debug menu.
  v.StopFlag = true;
  program.setStatus("");
  setVisible(m, "DebugMenu", false);

  // 6-8: defaults, then the designer state.
  PresetDefault_Click(program, hooks);
  initialiseControls(program);
  warmUpDsp(program);

  // 9-11: rates, working values, devices.
  LoadRates(program);
  v.Channels = 1;
  if (Control* c = m.find("Combo2")) v.SampleRate = c->intNumber();
  if (Control* c = m.find("Combo3")) v.FFTsize = c->intNumber();
  call(hooks.enumerateDevices);

  // 12-16: the user's files, each optional.
  std::string userDefaults = program.programFile(kUserDefaultsFile);
  if (exists(userDefaults) && LoadControls(program, userDefaults)) program.appendStatus("Load Controls. ");
  std::string defPreset = program.programFile(kDefaultPresetFile);
  if (exists(defPreset) && PresetLoadFile(program, defPreset, hooks)) program.appendStatus("Load Settings. ");
  call(hooks.selectDevices);
  if (LoadDefPaths(program)) program.appendStatus("Load Paths. ");
  createDefaultFolders(program);

  // 17-20: layout, quick panel, idle in task 1.
  call(hooks.setForm);
  if (Control* quick = program.options1().find("Check1")) setVisible(m, "Frame1", quick->checked());
  program.appendStatus("Ready...");
  selectTask(program, hooks, 1);

  // 21. Recordings a power cut left behind are mended before anything records.
  call(hooks.beforeCommandLine);
  repairInterruptedRecordings(program);
  return runClassicCommandLine(program, cl.classicArgs, hooks);
}

bool requestShutdown(Program& program, const StartupHooks& hooks) {
  if (Dialogs* d = program.services().dialogs) {
    MsgAnswer a = d->message(kExitQuestion, kProductName, MsgButtons::YesNo, MsgIcon::Error, MsgAnswer::No);
    if (a != MsgAnswer::Yes) return false;
  }
  setValue(program.form1(), "PauseButton", 0);
  if (!program.vars().StopFlag) program.requestStop();
  for (Form* f : {&program.form1(), &program.options0(), &program.options1(), &program.options2(),
                  &program.forms().tcpIp(), &program.forms().specForm()})
    f->setShown(false);
  call(hooks.endProgram);
  return true;
}

bool applyCommandLineSetting(Program& program, const std::string& key, const std::string& value,
                             std::string& message) {
  Control* c = program.forms().findKey(key);
  if (!c || !c->isSaved()) {
    message = "--set " + key + ": no such setting (keys look like FORM1.Combo2 or OPTIONS0.chkUDPSlave); "
              "nothing changed";
    return false;
  }
  auto startsWithNumber = [](const std::string& t) {
    size_t i = t.find_first_not_of(" \t");
    if (i == std::string::npos) return false;
    if (t[i] == '+' || t[i] == '-') ++i;
    if (i < t.size() && t[i] == '.') ++i;
    return i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]));
  };
  switch (c->kind()) {
    case Kind::CheckBox:
    case Kind::UpDown:
    case Kind::HScrollBar:
    case Kind::VScrollBar: {
      int lo = c->kind() == Kind::CheckBox ? 0 : c->minimum();
      int hi = c->kind() == Kind::CheckBox ? 1 : c->maximum();
      double n = leadingNumber(value);
      if (!startsWithNumber(value) || n < lo || n > hi) {
        message = "--set " + key + ": \"" + value + "\" is not a number from " + std::to_string(lo) + " to " +
                  std::to_string(hi) + "; nothing changed";
        return false;
      }
      break;
    }
    case Kind::OptionButton: {
      std::string u = upper(trimBlanks(value));
      if (u != "TRUE" && u != "FALSE" && !startsWithNumber(value)) {
        message = "--set " + key + ": \"" + value + "\" is not True, False or a number; nothing changed";
        return false;
      }
      break;
    }
    default:
      break;
  }
  applyControlValue(*c, value);
  message.clear();
  return true;
}

}  // namespace qv
