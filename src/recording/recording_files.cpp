#include "recording/recording_files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>

#include "core/program.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/disk.h"
#include "recording/folders.h"
#include "recording/station.h"

namespace qv {

namespace {

DateTime nowOf(Program& p) {
  if (Clock* c = p.services().clock) return c->now();
  return {};
}

Control* opt0(Program& p, const char* name) { return p.options0().find(name); }

bool isChecked(Program& p, const char* name) {
  Control* c = opt0(p, name);
  return c && c->checked();
}

std::string textOf(Program& p, const char* name) {
  Control* c = opt0(p, name);
  return c ? c->text() : std::string();
}

// A name part may not carry a folder separator (the file would go into a
// folder that does not exist) nor a character a FAT card refuses.
std::string safeNamePart(const std::string& s) { return rec::fileNameSafe(s); }

int fileModeOf(Program& p) {
  Control* c = opt0(p, "FileModeCombo");
  return c ? c->intNumber() : 2;
}

}  // namespace

void CreateFileName(Program& p, std::string& recFile, std::string& namePart, int32_t fileIndexNum,
                    const std::string& path) {
  const std::string sep = safeNamePart(textOf(p, "FSep"));
  const DateTime now = nowOf(p);
  std::string n;
  std::string prefix = textOf(p, "FileRecNameField");
  if (!prefix.empty()) n += safeNamePart(prefix);
  if (isChecked(p, "AddRecN")) {
    std::string num = "0000" + std::to_string(fileIndexNum);
    n += sep + num.substr(num.size() - 4);
  }
  if (isChecked(p, "AddTimeStamp")) n += sep + rec::dateTimeStamp(now);
  Control* gpsLabel = p.form1().find("DDETXT");
  if (isChecked(p, "AddGPS") || isChecked(p, "AddUDP")) {
    std::string gps = gpsLabel ? gpsLabel->caption() : p.vars().DDETXT;
    n += sep + safeNamePart(rec::trimBlanks(gps));
  } else {
    if (gpsLabel) gpsLabel->setCaption("");
    p.vars().DDETXT.clear();
  }
  std::string postfix = textOf(p, "FileNamePostfix");
  if (!postfix.empty()) n += sep + safeNamePart(postfix);
  if (n.empty()) n = rec::dateTimeStamp(now);
  namePart = n;
  recFile = path + n + ".wav";
}

std::string recLogLine(const DateTime& t, int task, const std::string& fileTime, const std::string& message) {
  std::vector<std::string> items{rec::logDate(t), rec::clockTime(t)};
  if (task == 2) items.push_back(fileTime);
  items.push_back(message);
  return rec::printZones(items) + "\r\n";
}

bool AppendRecLog(Program& p, const std::string& logFile, const std::string& message, RecLogKind kind) {
  const DateTime now = nowOf(p);
  const std::string fileTime = p.vars().Task == 2 ? p.vars().FileTime : std::string();
  const std::string line = recLogLine(now, p.vars().Task, fileTime, message);
  FILE* f = std::fopen(logFile.c_str(), "ab");
  bool ok = f != nullptr;
  if (f) {
    ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
    ok = std::fclose(f) == 0 && ok;
  }
  // Told also when the log cannot be written: the station's own output is then the only record.
  if (Station* s = findStation(p)) s->recLog(now, fileTime, message, kind == RecLogKind::RunError);
  return ok;
}

bool AppendRecLog(Program& p, const std::string& message, RecLogKind kind) {
  return AppendRecLog(p, p.vars().RecLogFile, message, kind);
}

namespace reclog {
using rec::numText;
std::string runStart(int channels, int sampleRate, const std::string& device, int blockWords) {
  return numText(channels) + "ch" + numText(sampleRate) + " " + device + " block" + numText(blockWords);
}
std::string creating(const std::string& file, const std::string& modeText) {
  return "Creating " + file + " Rec Mode " + modeText;
}
std::string rewriting(const std::string& file) { return "rewriting " + file; }
std::string closing(const std::string& word, const std::string& file, int fails, int overloads) {
  return word + file + " Fails" + numText(fails) + " Overloads" + numText(overloads);
}
std::string created(const std::string& word, const std::string& file) { return word + file; }
std::string switchTo(const std::string& folder) { return "Switch to " + folder; }
std::string stopNonWritable(const std::string& folder) { return "Stop: " + folder + " non writable"; }
std::string stopDiskFull(const std::string& folder) { return "Stop: " + folder + " Disk Full"; }
std::string endOfRecording(const std::string& file, int64_t fileBytes, int fails, int overloads) {
  return "Closing  " + file + numText(static_cast<int64_t>(roundEven(static_cast<double>(fileBytes) / 1024.0))) +
         "kB Fails" + numText(fails) + " Overloads" + numText(overloads);
}
}  // namespace reclog

std::string recStatusText(Program& p, const std::string& recFile) {
  const int mode = fileModeOf(p);
  std::string s = "  Rec " + recFile;
  if (mode == 3 && isChecked(p, "SplitHourly")) {
    s += " (Split hourly)";
  } else {
    Control* size = opt0(p, "FileMaxSizeCombo");
    s += " (max" + rec::numText(size ? size->number() : 0.0) + "MB)";
  }
  if (mode == 3) s += "(Repeat)";
  return s;
}

void ShowRecStatus(Program& p, const std::string& recFile) {
  Control* label = p.form1().find("Label4");
  if (!label) return;
  label->setCaption(label->caption() + recStatusText(p, recFile));
}

bool GetDiskFreeKB(DiskInfo& disk, const std::string& path, int64_t& totalKB, int64_t& freeKB) {
  totalKB = disk.totalKB(path);
  freeKB = disk.freeKB(path);
  if (totalKB < 0 || freeKB < 0) {
    totalKB = freeKB = 0;
    return false;
  }
  return true;
}

int IsDriveWritable(DiskInfo& disk, const std::string& path) {
  // The folder itself: on this system the root of a filesystem is rarely
  // writable, the recording folder is what has to be.
  std::string folder = path.empty() || path.back() == '/' ? path : rec::folderOf(path);
  if (folder.empty()) folder = "./";
  try {
    return disk.isWritable(folder) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

bool FileExists(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::fclose(f);
  return true;
}

std::vector<std::string> spanFolders(Program& p) {
  std::vector<std::string> out;
  const std::string text = textOf(p, "SpanFolders");
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    std::string f = rec::trimBlanks(text.substr(start, end - start));
    if (!f.empty()) out.push_back(rec::withSlash(f));
    start = end + 1;
  }
  return out;
}

std::string nextSpanFolder(Program& p, const std::string& current) {
  auto list = spanFolders(p);
  const std::string cur = rec::withSlash(current);
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i] == cur) return i + 1 < list.size() ? list[i + 1] : std::string();
  return list.empty() ? std::string() : list.front();
}

bool FindDriveWithSpace(Program& p, std::string& path, int64_t& neededKB, int tries) {
  DiskInfo* disk = p.services().disk;
  const std::string start = rec::withSlash(path);
  std::vector<std::string> candidates{start};
  for (auto& f : spanFolders(p))
    if (f != start) candidates.push_back(f);
  if (disk) {
    for (int i = 0; i < tries && i < static_cast<int>(candidates.size()); ++i) {
      const std::string& folder = candidates[i];
      int64_t total = 0, free = 0;
      if (IsDriveWritable(*disk, folder) == 1 && GetDiskFreeKB(*disk, folder, total, free) && free > neededKB) {
        neededKB = free;
        if (i > 0) path = folder;
        return true;
      }
    }
  }
  neededKB = 0;
  return false;
}

SpanResult spanToNextFolder(Program& p, const std::string& folder, int64_t maxFileKB) {
  SpanResult r{false, folder};
  if (!isChecked(p, "SpanDiskCheck")) {
    AppendRecLog(p, reclog::stopDiskFull(folder), RecLogKind::RunError);
    return r;
  }
  const std::string next = nextSpanFolder(p, folder);
  if (next.empty()) {
    AppendRecLog(p, reclog::stopDiskFull(folder), RecLogKind::RunError);
    return r;
  }
  r.folder = next;
  AppendRecLog(p, reclog::switchTo(next));
  DiskInfo* disk = p.services().disk;
  int64_t total = 0, free = 0;
  if (!disk || IsDriveWritable(*disk, next) != 1) {
    AppendRecLog(p, reclog::stopNonWritable(next), RecLogKind::RunError);
  } else if (!GetDiskFreeKB(*disk, next, total, free) || free < maxFileKB) {
    AppendRecLog(p, reclog::stopDiskFull(next), RecLogKind::RunError);
  } else {
    r.carryOn = true;
  }
  return r;
}

std::string maxSizeError(double mb) {
  if (!(mb > 0)) return "Max Size must be above 0 MB";
  return "Max Size" + rec::numText(mb) + " MB is too large: a WAV file holds at most" + rec::numText(kMaxFileSizeMB) +
         " MB";
}

bool readRecordingLimits(Program& p, RecordingLimits& out, std::string* error) {
  Control* size = opt0(p, "FileMaxSizeCombo");
  out.maxSizeMB = size ? size->number() : 0;
  out.fileMode = fileModeOf(p);
  if (!(out.maxSizeMB > 0) || out.maxSizeMB > kMaxFileSizeMB) {
    if (error) *error = maxSizeError(out.maxSizeMB);
    return false;
  }
  out.maxFileBytes = roundEven(out.maxSizeMB * 1048576.0);
  out.maxFileKB = roundEven(static_cast<double>(out.maxFileBytes) / 1024.0);
  return true;
}

static int panelRate(Program& p) {
  Control* c = opt0(p, "Combo2");
  return c ? c->intNumber() : 0;
}
static int panelChannels(Program& p) {
  Control* c = opt0(p, "NchanCombo");
  return c ? c->intNumber() : 0;
}

double recDuration(Program& p) {
  Control* size = opt0(p, "FileMaxSizeCombo");
  const double mb = size ? size->number() : 0;
  const double bytesPerSecond = static_cast<double>(panelRate(p)) * 2.0 * panelChannels(p);
  if (!(bytesPerSecond > 0)) return 0;
  return std::floor(mb * 1048576.0 / bytesPerSecond * 10.0 + 0.5) / 10.0;
}

std::string freeSpaceText(int64_t freeKB, const std::string& folder) {
  // Whole megabytes, the remainder dropped: 1234567 kB reads 1234 MB.
  std::string s = freeKB < 2000001 ? "(" + rec::numText(freeKB / 1000) + " MB" : std::string("( > 2GB");
  return s + " free on drive " + folder + ")";
}

void FileRecPathField_Change(Program& p) {
  Control* label = opt0(p, "FreeSpaceLabel");
  DiskInfo* disk = p.services().disk;
  if (!label || !disk) return;
  const std::string folder = textOf(p, "FileRecPathField");
  int64_t total = 0, free = 0;
  if (!GetDiskFreeKB(*disk, folder, total, free)) {
    label->setCaption("( no disk for " + folder + ")");
    return;
  }
  label->setCaption(freeSpaceText(free, folder));
}

void UpdateInfo(Program& p) {
  FileRecPathField_Change(p);
  const double duration = recDuration(p);
  p.vars().RecDuration = duration;
  if (Control* label = opt0(p, "RecDurationLabel")) label->setCaption("= " + FormatDuration(duration).substr(0, 8));
  Control* split = opt0(p, "SplitHourly");
  Control* span = opt0(p, "SpanDiskCheck");
  if (fileModeOf(p) == 3) {
    if (split) split->setEnabled(true);
    if (span) span->setEnabled(true);
    if (split && split->checked() && duration < 3600) {
      if (Dialogs* d = p.services().dialogs)
        d->message(
            "<Split Hourly> option requires a rec duration longer than 60 minutes!\n"
            "Modify <Max Size> accordingly\n"
            "Set 680MB for stereo 48kHz or 1360MB for stereo 96kHz");
      split->setValue(0);
    }
  } else {
    if (split) split->setEnabled(false);
    if (span) span->setEnabled(false);
  }
}

void SetExactTime_Click(Program& p) {
  Dialogs* d = p.services().dialogs;
  if (!d) return;
  const std::string answer = d->input("Exact duration in minutes", "Set Exact Time", "");
  const double minutes = leadingNumber(answer);
  if (!(minutes > 0)) return;
  const int64_t bytes = static_cast<int64_t>(roundEven(minutes)) * panelRate(p) * panelChannels(p) * 2;
  const double mb = std::floor((static_cast<double>(bytes) / 1048576.0 * 60.0 + 0.005) * 100.0) / 100.0;
  if (!(mb > 0) || mb > kMaxFileSizeMB) {
    d->message(maxSizeError(mb), "Set Exact Time", MsgButtons::Ok, MsgIcon::Warning);
    return;
  }
  if (Control* size = opt0(p, "FileMaxSizeCombo")) size->setText(rec::numText(mb) + " MB");
}

void SetPath_Click(Program& p) {
  Dialogs* d = p.services().dialogs;
  Control* field = opt0(p, "FileRecPathField");
  if (!d || !field) return;
  FileDialogOptions o;
  o.title = "Set Path";
  o.initialFolder = field->text();
  o.initialName = "-";
  const std::string chosen = d->saveFile(o);
  if (chosen.empty()) return;
  const std::string folder = rec::folderOf(chosen);
  DiskInfo* disk = p.services().disk;
  if (!disk || IsDriveWritable(*disk, folder) != 1) {
    d->message("Cannot write to " + folder, "Set Path", MsgButtons::Ok, MsgIcon::Warning);
    return;
  }
  field->setText(folder);
}

FolderCheck createRecordingFolder(Program& p) {
  std::string folder = rec::withSlash(textOf(p, "FileRecPathField"));
  if (folder.empty()) return {true, {}};
  // One level only: a missing parent means an unmounted disk, and the
  // recording must not land on another one.
  return makeFolderOneLevel(folder);
}

namespace {

// Keeps the last maximum size a WAV file can take, to restore it when a
// larger one is typed or loaded.
struct RecFilesState {
  std::string lastGoodSize;
  bool restoring = false;
};

void checkMaxSize(Program& p, RecFilesState& st) {
  Control* size = opt0(p, "FileMaxSizeCombo");
  if (!size || st.restoring) return;
  const double mb = size->number();
  if (mb > kMaxFileSizeMB) {
    if (Dialogs* d = p.services().dialogs)
      d->message(maxSizeError(mb), "Max Size", MsgButtons::Ok, MsgIcon::Warning);
    st.restoring = true;
    size->setText(st.lastGoodSize);
    st.restoring = false;
    return;
  }
  st.lastGoodSize = size->text();
}

void checkSeparator(Program& p, std::string& lastGood) {
  Control* sep = opt0(p, "FSep");
  if (!sep) return;
  const std::string& s = sep->text();
  if (s.find_first_of("/\\;:") == std::string::npos) {
    lastGood = s;
    return;
  }
  if (Dialogs* d = p.services().dialogs)
    d->message("Separator char (not allowed: /\\;:)", "Separator", MsgButtons::Ok, MsgIcon::Warning);
  sep->setText(lastGood);
}

}  // namespace

void installRecordingFiles(Program& p) {
  p.vars().RecLogFile = p.programFile("RecLog.Log");
  p.onStartRefused([&p](const std::string& why) { AppendRecLog(p, "Not started: " + why); });
  auto st = std::make_shared<RecFilesState>();
  Form& o = p.options0();
  if (Control* size = o.find("FileMaxSizeCombo")) {
    st->lastGoodSize = size->number() <= kMaxFileSizeMB ? size->text() : std::string("2000 MB");
    size->on(Event::Change, [&p, st] {
      checkMaxSize(p, *st);
      UpdateInfo(p);
    });
    size->on(Event::Click, [&p] { UpdateInfo(p); });
  }
  for (const char* name : {"FileModeCombo", "NchanCombo", "Combo2"}) {
    if (Control* c = o.find(name)) {
      c->on(Event::Change, [&p] { UpdateInfo(p); });
      c->on(Event::Click, [&p] { UpdateInfo(p); });
    }
  }
  if (Control* c = o.find("SplitHourly")) c->on(Event::Click, [&p] { UpdateInfo(p); });
  if (Control* c = o.find("FileRecPathField")) c->on(Event::Change, [&p] { FileRecPathField_Change(p); });
  if (Control* c = o.find("SetExactTime")) c->on(Event::Click, [&p] { SetExactTime_Click(p); });
  if (Control* c = o.find("SetPath")) c->on(Event::Click, [&p] { SetPath_Click(p); });
  if (Control* c = o.find("FSep")) {
    auto lastSep = std::make_shared<std::string>(c->text().find_first_of("/\\;:") == std::string::npos ? c->text()
                                                                                                         : "_");
    c->on(Event::Change, [&p, lastSep] { checkSeparator(p, *lastSep); });
  }
  UpdateInfo(p);
}

}  // namespace qv
