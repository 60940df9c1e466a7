// Disk recording inside a live run ("Real-Time Analysis + Recording"):
// the first file before capture opens, every captured block written as
// captured, rollovers at the size limit, the full hour and a full disk,
// "Rec Pause", the recording labels and the final close. Any write or open
// failure is logged with its file and reason, shown in the status line and
// ends the run with the file closed and its header patched.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "realtime/live_participant.h"
#include "recording/file_metadata.h"
#include "recording/recording_files.h"
#include "recording/wav_file.h"

namespace qv {

class Program;
class RamBuffer;

class RecordingLoop : public LiveParticipant {
 public:
  explicit RecordingLoop(Program& p) : p_(p) {}

  bool setUp(Program& p, const RunParams& run) override;
  std::string runInfo() const override;
  void block(const int16_t* samples, int count) override;
  void gap(int64_t framesLost) override;
  void fail() override;
  void pause(bool paused) override;
  void tearDown() override;

  // True between a set-up that started a recording and its tear-down.
  bool recording() const { return active_; }
  // The recording ended early on a write or open failure.
  bool failed() const { return failed_; }
  const WavWriter& writer() const { return writer_; }
  const std::string& folder() const { return folder_; }
  int32_t fileIndex() const { return fileIndexNum_; }

 private:
  enum class Cause { Size, Hourly, DiskFull };
  bool twoChannels() const { return channels_ == 2; }
  void log(const std::string& message, RecLogKind kind = RecLogKind::Event);
  bool writeBlock(const int16_t* samples, int count);
  // Start time, gaps and overwritten positions of a block about to be written.
  void noteWrite(int count);
  // Closes the file with its metadata; false (reason in writer_.error()) on failure.
  bool closeWriter();
  void resetFileMetadata();
  // After a write failed on a full disk in multiple-file mode with spanning:
  // closes and patches the file and opens the next one in the next span
  // folder, logged like a planned switch. False when there is none.
  bool spanAfterFullDisk();
  // Closes the current file (header patched) and logs `closingWord`.
  bool closeCurrent(const std::string& closingWord);
  // Counter, next name, header, open, labels. False when the new file cannot be made.
  bool openNext(const std::string& creatingWord);
  void rollover(Cause cause);
  void diskCheck();
  void showPosition();
  void refreshRunLabel();
  // Logs the failure, shows it, closes what is open and ends the run.
  void failRun(const std::string& reason);
  void finishLabels();

  Program& p_;
  bool active_ = false;
  bool failed_ = false;
  int channels_ = 1;
  int rate_ = 48000;
  RecordingLimits limits_;
  std::string folder_;
  int32_t fileIndexNum_ = 1;
  std::string namePart_;
  bool recPaused_ = false;
  bool hasHour_ = false;  // the previous block's hour is known
  int lastHour_ = -1;
  std::vector<int16_t> zeros_;
  WavWriter writer_;
  // The current file's metadata: when its first frame was captured, where
  // frames were lost, and whether a circular file has wrapped.
  std::optional<GuanoTime> fileStart_;
  GapTrack gaps_;
  bool wrapped_ = false;
  std::string statusText_;  // our part of the run information label
  std::string labelBase_;   // the label before our part
  bool labelBaseKnown_ = false;
};

// Creates the RAM buffer and the recording participants and registers them
// with the program, the buffer first. Both live as long as the program's
// forms. `openFile` opens the buffer's "temp.wav" for file analysis.
struct LiveRecordingParts {
  RamBuffer* ramBuffer = nullptr;
  RecordingLoop* recording = nullptr;
};
LiveRecordingParts installLiveRecording(Program& p, std::function<void(const std::string&)> openFile);

}  // namespace qv
