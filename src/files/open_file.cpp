#include "files/open_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include "analysis/engine.h"
#include "config/presets.h"
#include "config/startup.h"
#include "core/control.h"
#include "core/designer.h"
#include "core/program.h"
#include "files/byte_source.h"
#include "files/header_tools.h"
#include "files/open_dialog.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/disk.h"
#include "platform/event_pump.h"

namespace qv {

OpenCheck checkFileForOpen(const std::string& path, const RawFileSettings& raw, FileInfo& info) {
  OpenCheck r;
  FileCheck c = GetFileInfo(path, raw, info);
  if (!c.ok) {
    r.message = c.message;
    return r;
  }
  if (info.FileType == kFileWav && info.headerNeedsRepair) {
    // The samples are read to the end of the file either way; a read-only
    // file simply keeps its header.
    r.headerRepaired = FixWavHeader(path).written;
  }
  r.ok = true;
  return r;
}

std::string openFileLabel(const std::string& path, int playListSize, int64_t fileSize, int sampleRate,
                          int channels) {
  auto num = [](long long v) { return v < 0 ? std::to_string(v) : " " + std::to_string(v); };
  std::string name = path;
  if (path.size() >= 97) {
    size_t s = path.find_last_of('/');
    name = "../" + (s == std::string::npos ? path : path.substr(s + 1));
  }
  std::string t = playListSize >= 1 ? "PlayList " : "";
  t += name + num(roundEven(static_cast<double>(fileSize) / 1024.0)) + "kb" + num(sampleRate) + "s/sec" +
       num(channels) + "ch" + num(16) + "bit";
  return t;
}

}  // namespace qv

namespace qv {

namespace {

void call(const std::function<void()>& f) {
  if (f) f();
}

void updateForm(Program& p, const StartupHooks& hooks) {
  if (AnalysisEngine* a = p.analysis()) a->UpdateForm();
  else call(hooks.updateForm);
}

}  // namespace

void WaitSeconds(Program& p, double seconds) {
  EventPump* pump = p.services().pump;
  if (!pump) return;
  Clock* clock = p.services().clock;
  if (!clock) {
    pump->processEvents();
    return;
  }
  const int64_t ms = std::llround(seconds * 1000.0);
  const int64_t start = clock->tickMs();
  // A clock that stands still must not hang the program: at most one pass
  // per millisecond of the wait.
  for (int64_t pass = 0; pass <= ms && clock->tickMs() - start < ms; ++pass) pump->processEventsFor(1);
}

void applyTask(Program& p, int task, const StartupHooks& hooks) {
  if (hooks.selectTask) {
    hooks.selectTask(task);
    return;
  }
  p.vars().Task = task;
  if (const char* item = modeMenuItem(task))
    if (Control* m = p.form1().find(item)) m->click();
}

std::string SaveFileDialog(Program& p, const std::string& folder, const std::string& extension,
                           const std::string& name, const StartupHooks& hooks) {
  Dialogs* d = p.services().dialogs;
  if (!d) return {};
  FileDialogOptions o;
  o.initialFolder = folder;
  if (!extension.empty()) {
    o.initialName = "*." + extension;
    o.filter = "*." + extension;
    o.defaultExt = extension;
  }
  if (!name.empty()) o.initialName = name + "." + extension;
  call(hooks.saveSpecGram);
  for (;;) {
    std::string chosen = d->saveFile(o);
    if (chosen.empty() || chosen.find('*') != std::string::npos) return {};
    if (DiskInfo* disk = p.services().disk; disk && !disk->isWritable(folderOf(chosen))) continue;
    if (fileLength(chosen) >= 0) {
      MsgAnswer a = d->message("Replace " + chosen + " ?", "", MsgButtons::YesNo, MsgIcon::Question, MsgAnswer::No);
      if (a != MsgAnswer::Yes) {
        o.initialName.clear();
        continue;
      }
      std::remove(chosen.c_str());
    }
    call(hooks.restoreSpecGram);
    return chosen;
  }
}

std::string SetPathDialog(Program& p, const std::string& folder, const StartupHooks& hooks) {
  Dialogs* d = p.services().dialogs;
  if (!d) return folder;
  FileDialogOptions o;
  o.title = "Set Path";
  o.initialFolder = folder;
  o.initialName = "-";
  call(hooks.saveSpecGram);
  std::string chosen = d->saveFile(o);
  call(hooks.restoreSpecGram);
  return chosen.empty() ? folder : folderOf(chosen);
}

void OpenFile(Program& p, const std::string& path, const StartupHooks& hooks) {
  if (path.empty()) return;
  PublicVars& v = p.vars();
  Form& f1 = p.form1();
  Form& o0 = p.options0();

  // The file is measured before anything changes: a file that cannot be
  // used leaves the running loop, the current file and the mode alone.
  FileInfo info;
  info.SampleRate = v.SampleRate;
  info.channels = std::max(1, v.Channels);
  info.FileSize = v.FileSize;
  FileCheck c = GetFileInfo(path, rawFileSettings(p.forms()), info);
  if (!c.ok) {
    if (Dialogs* d = p.services().dialogs) d->message(c.message, "", MsgButtons::Ok, MsgIcon::Warning);
    return;
  }

  // The running loop ends and closes its file.
  if (!v.StopFlag) {
    v.StopFlag = true;
    f1["StartStop"].setCaption("Start");
    f1["PauseButton"].setValue(0);
    WaitSeconds(p, 1);
  }
  // A recording cut short gets its sizes; the variables are those measured.
  if (info.FileType == kFileWav && info.headerNeedsRepair) FixWavHeader(path);

  v.FileType = info.FileType;
  v.HeaderSize = info.HeaderSize;
  v.Channels = info.channels;
  v.fchannels = info.channels;
  v.SampleRate = info.SampleRate;
  v.FileSize = info.FileSize;
  v.CurrentFile = path;
  v.FileTime = "00:00:00";
  v.FilePos = 0;
  v.LastFilePos = 0;

  // The file's own rate wins over a linked preset's.
  PresetAutoload(p, path, hooks);
  f1["Combo2"].setText(std::to_string(info.SampleRate));
  updateForm(p, hooks);

  if (Control* l = f1.find("Label4"))
    l->setCaption(openFileLabel(path, v.PlayListSize, info.FileSize, info.SampleRate, info.channels));

  // "File Analysis" waits for Start; otherwise play and/or analyse as chosen.
  if (v.Task == 4) return;
  applyTask(p, 3, hooks);
  if (o0["ImmediatePlayCheck"].checked()) {
    WaitSeconds(p, 0.25);
    v.StopFlag = true;
    f1["StartStop"].click();
  }
  if (o0["CheckAnalysisOnOpen"].checked()) {
    applyTask(p, 4, hooks);
    WaitSeconds(p, 0.25);
    v.StopFlag = true;
    f1["StartStop"].click();
  }
}

void CloseFile_Click(Program& p, const StartupHooks& hooks) {
  PublicVars& v = p.vars();
  v.CurrentFile.clear();
  v.FilePos = 0;
  v.LastFilePos = 0;
  if (Control* l = p.form1().find("Label4")) l->setCaption("");
  v.PlayListSize = 0;
  updateForm(p, hooks);
  applyTask(p, v.Task, hooks);
}

}  // namespace qv
