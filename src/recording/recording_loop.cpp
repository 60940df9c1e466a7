#include "recording/recording_loop.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "analysis/engine.h"
#include "analysis/settings.h"
#include "core/program.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/disk.h"
#include "recording/ram_buffer.h"

namespace qv {

namespace {

Control* f1(Program& p, const char* name) { return p.form1().find(name); }
Control* o0(Program& p, const char* name) { return p.options0().find(name); }

bool checkedIn(Control* c) { return c && c->checked(); }

}  // namespace

void RecordingLoop::log(const std::string& message, RecLogKind kind) { AppendRecLog(p_, message, kind); }

bool RecordingLoop::setUp(Program& p, const RunParams& run) {
  active_ = failed_ = false;
  labelBaseKnown_ = false;
  statusText_.clear();
  writer_.close();
  if (p.vars().Task != 2) return true;

  PublicVars& v = p.vars();
  channels_ = std::max(1, v.Channels);
  rate_ = v.SampleRate;
  Dialogs* dialogs = p.services().dialogs;
  // Every refusal is shown, put in the status line, logged and told to a remote commander.
  auto refuse = [&](const std::string& text) {
    if (dialogs) dialogs->message(text, "Recording", MsgButtons::Ok, MsgIcon::Warning);
    p.refuseStart(text);
    if (Control* b = f1(p, "StartStop")) b->setCaption("REC Start");
    return false;
  };

  std::string error;
  if (!readRecordingLimits(p, limits_, &error)) return refuse(error);
  folder_ = rec::withSlash(o0(p, "FileRecPathField") ? o0(p, "FileRecPathField")->text() : std::string());
  // A folder that is missing is made when its parent is there; a missing
  // parent is an unmounted disk, and the recording must not go elsewhere.
  const FolderCheck folderCheck = createRecordingFolder(p);
  int64_t neededKB = limits_.maxFileKB;
  const int tries = checkedIn(o0(p, "SpanDiskCheck")) ? 9 : 1;
  const std::string asked = folder_;
  if (!FindDriveWithSpace(p, folder_, neededKB, tries)) {
    if (!folderCheck.ok) return refuse(folderCheck.message);
    DiskInfo* disk = p.services().disk;
    if (disk && IsDriveWritable(*disk, asked) != 1) return refuse("Cannot write to " + asked);
    return refuse("Not enough space on " + folder_);
  }

  zeros_.assign(static_cast<size_t>(std::max(run.BlockSize, 2)), 0);
  v.FileType = 1;
  v.HeaderSize = kWavDataStart;
  v.FileTime.clear();
  v.FailCount = 0;
  v.OverloadCount = 0;
  namePart_.clear();
  fileIndexNum_ = 1;
  recPaused_ = false;
  hasHour_ = false;

  resetFileMetadata();
  CreateFileName(p, v.RecFile, namePart_, fileIndexNum_, folder_);
  // A file of that name is kept: the recording takes the next free suffix.
  if (!writer_.create(v.RecFile, channels_, rate_)) return refuse(writer_.error());
  v.RecFile = writer_.path();
  const std::string device = f1(p, "Combo10") ? f1(p, "Combo10")->text() : std::string();
  log(reclog::runStart(channels_, rate_, device, run.BlockSize));
  log(reclog::creating(v.RecFile, o0(p, "FileModeCombo") ? o0(p, "FileModeCombo")->text() : std::string()));
  active_ = true;
  statusText_ = recStatusText(p, v.RecFile);
  return true;
}

std::string RecordingLoop::runInfo() const { return active_ ? statusText_ : std::string(); }

void RecordingLoop::resetFileMetadata() {
  fileStart_.reset();
  gaps_.clear();
  wrapped_ = false;
}

void RecordingLoop::noteWrite(int count) {
  const int64_t frame = (writer_.position() - kWavDataStart) / (2 * channels_);
  const int64_t frames = count / channels_;
  // The block was being captured during the time it lasts.
  if (frame == 0) fileStart_ = timeAgo(p_, static_cast<double>(frames) / rate_);
  gaps_.write(frame, frame + frames);
}

void RecordingLoop::gap(int64_t framesLost) {
  if (active_ && !failed_) gaps_.lost(framesLost);
}

bool RecordingLoop::closeWriter() {
  const int64_t frames = (writer_.length() - kWavDataStart) / (2 * channels_);
  GuanoRecord r = currentGuano(p_, rate_, frames > 0 ? frames : 0);
  r.timestamp = fileStart_;
  // A circular file that wrapped holds its newest audio from frame 0 up to
  // the write position and its oldest from there on.
  setGaps(r, gaps_.within(wrapped_ ? -1 : 0, frames, 0));
  if (wrapped_)
    r.extra.emplace_back("Quorvel|Oldest Frame",
                         std::to_string((writer_.position() - kWavDataStart) / (2 * channels_)));
  return writer_.close(guanoText(r));
}

bool RecordingLoop::writeBlock(const int16_t* samples, int count) {
  if (count <= 0) return true;
  noteWrite(count);
  if (writer_.append(samples, static_cast<size_t>(count))) return true;
  // A disk that filled before its free space was seen low: the block goes
  // to the next span folder instead of being lost, as the new file's first.
  if (writer_.errorCode() == ENOSPC && spanAfterFullDisk()) {
    noteWrite(count);
    if (writer_.append(samples, static_cast<size_t>(count))) return true;
  }
  if (!failed_) failRun(writer_.error());
  return false;
}

bool RecordingLoop::spanAfterFullDisk() {
  if (limits_.fileMode != 3 || !checkedIn(o0(p_, "SpanDiskCheck")) || nextSpanFolder(p_, folder_).empty())
    return false;
  PublicVars& v = p_.vars();
  const std::string reason = writer_.error();
  if (!closeCurrent("Disk Full - Closing  ")) return false;
  SpanResult r = spanToNextFolder(p_, folder_, limits_.maxFileKB);
  if (!r.carryOn) {
    failed_ = true;
    v.StopFlag = true;
    p_.setStatus("Recording stopped: " + reason);
    return false;
  }
  folder_ = r.folder;
  return openNext("Creating ");
}

void RecordingLoop::block(const int16_t* samples, int count) {
  if (!active_ || failed_ || !writer_.isOpen()) return;
  PublicVars& v = p_.vars();
  if (!labelBaseKnown_) {
    // The loop wrote the run information with our part at its end.
    const std::string cap = f1(p_, "Label4") ? f1(p_, "Label4")->caption() : std::string();
    labelBase_ = cap.size() >= statusText_.size() && cap.compare(cap.size() - statusText_.size(), std::string::npos,
                                                                 statusText_) == 0
                     ? cap.substr(0, cap.size() - statusText_.size())
                     : cap;
    labelBaseKnown_ = true;
  }

  if (!checkedIn(f1(p_, "RecPauseFlag"))) {
    if (recPaused_) log(reclog::kResuming);
    recPaused_ = false;
    if (!writeBlock(samples, count)) return;
    // The limit is tested after whole blocks: a full file passes it by less than one block.
    if (writer_.position() + 1 > limits_.maxFileBytes) {
      switch (limits_.fileMode) {
        case 1:
          writer_.rewind();
          wrapped_ = true;
          log(reclog::rewriting(v.RecFile));
          break;
        case 3:
          rollover(Cause::Size);
          break;
        default:
          v.StopFlag = true;
          break;
      }
    }
  } else if (!recPaused_) {
    log(reclog::kPausing);
    // One block of silence marks the pause in the file.
    int left = count;
    while (left > 0) {
      const int n = std::min(left, static_cast<int>(zeros_.size()));
      if (!writeBlock(zeros_.data(), n)) return;
      left -= n;
    }
    recPaused_ = true;
  }
  if (failed_ || !writer_.isOpen()) return;

  if (checkedIn(o0(p_, "SplitHourly"))) {
    // A new hour since the previous block; the first block of a run never splits.
    int hour = -1;
    if (Clock* c = p_.services().clock) {
      const DateTime t = c->now();
      hour = ((t.year * 13 + t.month) * 32 + t.day) * 24 + t.hour;
    }
    if (hasHour_ && hour != lastHour_) rollover(Cause::Hourly);
    lastHour_ = hour;
    hasHour_ = true;
    if (failed_ || !writer_.isOpen()) return;
  } else {
    hasHour_ = false;
  }

  diskCheck();
  if (failed_ || !writer_.isOpen()) return;
  showPosition();
}

bool RecordingLoop::closeCurrent(const std::string& closingWord) {
  PublicVars& v = p_.vars();
  if (!closeWriter()) {
    failRun(writer_.error());
    return false;
  }
  log(reclog::closing(closingWord, v.RecFile, v.FailCount, v.OverloadCount));
  return true;
}

bool RecordingLoop::openNext(const std::string& creatingWord) {
  PublicVars& v = p_.vars();
  v.FailCount = 0;
  v.OverloadCount = 0;
  // The live loop shows the analysis' overload count: it restarts with the file too.
  if (AnalysisEngine* a = p_.analysis(); a && p_.services().dsp) a->spectrum().overloadCount = 0;
  ++fileIndexNum_;
  Control* maxFiles = o0(p_, "MaxNFiles");
  if (maxFiles && fileIndexNum_ > maxFiles->intNumber()) v.StopFlag = true;
  CreateFileName(p_, v.RecFile, namePart_, fileIndexNum_, folder_);
  v.FileTime.clear();
  resetFileMetadata();
  // Two files begun within one second share a timestamped name: the writer takes the next suffix.
  if (!writer_.create(v.RecFile, channels_, rate_)) {
    log(reclog::created(creatingWord, v.RecFile));
    failRun(writer_.error());
    return false;
  }
  v.RecFile = writer_.path();
  log(reclog::created(creatingWord, v.RecFile));
  statusText_ = recStatusText(p_, v.RecFile);
  refreshRunLabel();
  return true;
}

void RecordingLoop::rollover(Cause cause) {
  const bool two = twoChannels();
  const bool closingFirst = (cause == Cause::Size) != two;
  if (!closeCurrent(closingFirst ? "Closing  " : "Closed  ")) return;
  openNext(closingFirst ? "Creating " : "Created ");
}

void RecordingLoop::diskCheck() {
  DiskInfo* disk = p_.services().disk;
  PublicVars& v = p_.vars();
  if (!disk || v.StopFlag) return;
  int64_t total = 0, free = 0;
  // An unusable folder shows up as a write failure on the next block.
  if (!GetDiskFreeKB(*disk, folder_, total, free) || free >= kDiskNearlyFullKB) return;
  if (limits_.fileMode == 2) {
    v.StopFlag = true;
    log(reclog::closing("Disk Full - Closing ", v.RecFile, v.FailCount, v.OverloadCount), RecLogKind::RunError);
  } else if (limits_.fileMode == 3) {
    if (!closeCurrent("Disk Full - Closing  ")) return;
    SpanResult r = spanToNextFolder(p_, folder_, limits_.maxFileKB);
    folder_ = r.folder;
    if (!r.carryOn) v.StopFlag = true;
    // No file can be made where the test failed; the run is ending anyway.
    if (IsDriveWritable(*disk, folder_) != 1) return;
    openNext("Creating ");
  }
}

void RecordingLoop::showPosition() {
  PublicVars& v = p_.vars();
  const int64_t dataBytes = writer_.position() - kWavDataStart;
  v.FileTime = FormatDuration(static_cast<double>(dataBytes) / channels_ / 2.0 / rate_);
  if (Control* size = f1(p_, "Label18"))
    size->setCaption(std::to_string(roundEven(static_cast<double>(dataBytes) / 1024.0)) + " kB");
  if (Control* time = f1(p_, "Label24")) time->setCaption(v.FileTime.substr(0, 8));
}

void RecordingLoop::refreshRunLabel() {
  if (Control* label = f1(p_, "Label4")) label->setCaption(labelBase_ + statusText_);
}

void RecordingLoop::failRun(const std::string& reason) {
  PublicVars& v = p_.vars();
  failed_ = true;
  v.StopFlag = true;
  log("Stop: " + reason, RecLogKind::RunError);
  if (writer_.isOpen()) {
    const int64_t length = writer_.length();
    const bool ok = closeWriter();
    log(reclog::endOfRecording(v.RecFile, length, v.FailCount, v.OverloadCount));
    if (!ok) log("Stop: " + writer_.error(), RecLogKind::RunError);
  }
  p_.setStatus("Recording stopped: " + reason);
}

void RecordingLoop::fail() {
  if (active_ && !failed_) log(reclog::kFail);
}

void RecordingLoop::pause(bool paused) {
  if (active_ && !failed_) log(paused ? reclog::kPausing : reclog::kResuming);
}

void RecordingLoop::finishLabels() {
  if (Control* b = f1(p_, "StartStop")) b->setCaption(twoChannels() ? "Start" : "Start Rec");
  if (Control* pause = f1(p_, "PauseButton"); pause && pause->checked()) pause->setValue(0);
  if (Control* frame = f1(p_, "Frame1")) frame->setEnabled(true);
}

void RecordingLoop::tearDown() {
  if (!active_) return;
  PublicVars& v = p_.vars();
  if (writer_.isOpen()) {
    const int64_t length = writer_.length();
    const bool ok = closeWriter();
    log(reclog::endOfRecording(v.RecFile, length, v.FailCount, v.OverloadCount));
    if (!ok) {
      failed_ = true;
      log("Stop: " + writer_.error(), RecLogKind::RunError);
      p_.setStatus("Recording stopped: " + writer_.error());
    }
  }
  v.StopFlag = true;
  finishLabels();
  active_ = false;
  zeros_.clear();
  zeros_.shrink_to_fit();
}

LiveRecordingParts installLiveRecording(Program& p, std::function<void(const std::string&)> openFile) {
  struct Parts {
    Parts(Program& prog, std::function<void(const std::string&)> open) : buffer(prog, std::move(open)), recording(prog) {}
    RamBuffer buffer;
    RecordingLoop recording;
  };
  auto parts = std::make_shared<Parts>(p, std::move(openFile));
  p.liveParticipants().push_back(&parts->buffer);
  p.liveParticipants().push_back(&parts->recording);
  // The menu handlers own the parts, so they live as long as the forms.
  std::shared_ptr<RamBuffer> buffer(parts, &parts->buffer);
  installBufferMenu(p, buffer);
  return {&parts->buffer, &parts->recording};
}

}  // namespace qv
