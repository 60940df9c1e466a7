// The RAM buffer of live runs: every captured block, as captured, kept in
// memory (circular, or stopping the run when full) and saved on demand to a
// WAV file: all of it, the last seconds, or through "temp.wav" to the file
// analysis. A save empties the buffer only after its file was written.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "realtime/live_participant.h"
#include "recording/file_metadata.h"

namespace qv {

class Program;

class RamBuffer : public LiveParticipant {
 public:
  // `openFile` opens a saved file for file analysis ("Analyze Buffer", "Play Buffer").
  RamBuffer(Program& p, std::function<void(const std::string&)> openFile) : p_(p), openFile_(std::move(openFile)) {}

  bool setUp(Program& p, const RunParams& run) override;
  void block(const int16_t* samples, int count) override;
  void gap(int64_t framesLost) override;
  void tearDown() override {}

  // Whole valid content in time order. False (buffer kept) when the file
  // cannot be written; the reason is in lastError().
  bool SaveWholeBuffer(const std::string& file);
  // The last `seconds` (whole 2048-word chunks); more than the buffer holds
  // saves the whole buffer after saying so. Same failure rule, and seconds
  // that are not a positive number write nothing.
  bool SaveBufferSpan(const std::string& file, float seconds);

  // Menu and button handlers.
  void SaveBuffer_Click();
  void QuickSaveBuffer_Click() { SaveBuffer_Click(); }
  void BufferSave30_Click();
  void BufferSave60_Click();
  void SaveBufferAs_Click();
  void SaveBufferPartial_Click();
  void AnalyzeBuffer_Click();
  void PlayBuffer_Click();

  bool RamRecording() const { return recording_; }
  int64_t RamBufferSize() const { return size_; }
  int64_t RamBufferPointer() const { return pointer_; }
  bool RamBufferFilled() const { return filled_; }
  int RamBufferMode() const { return mode_; }
  const std::vector<int16_t>& words() const { return buffer_; }
  const std::string& lastError() const { return error_; }
  // The opener the buffer was made with is callable.
  bool hasFileOpener() const { return static_cast<bool>(openFile_); }
  // Seconds the buffer holds when full.
  double capacitySeconds() const;
  // "buffer end at " + date-time stamp (+ GPS text), without folder or extension.
  std::string automaticName() const;

 private:
  bool writeRanges(const std::string& file, int64_t from1, int64_t to1, int64_t from2, int64_t to2);
  bool active(bool warningIcon);
  void saveAutomatic(float seconds);  // 0: the whole buffer
  void saveChosen(float seconds);
  void saveTemp();
  std::string recordingFolder() const;

  Program& p_;
  std::function<void(const std::string&)> openFile_;
  std::vector<int16_t> buffer_;
  bool recording_ = false;
  int64_t size_ = 0;
  int64_t pointer_ = 0;
  bool filled_ = false;
  int mode_ = 1;
  int channels_ = 1;
  int rate_ = 48000;
  int lastPercent_ = -1;
  std::string error_;
  // When the newest word was captured, and where (by word) frames were lost.
  std::optional<GuanoTime> newestEnd_;
  GapTrack gaps_;
  std::string saved_;  // what the last save wrote: the name asked for, or the next free one
};

// Attaches the buffer menu items and buttons to `buffer`.
void installBufferMenu(Program& p, std::shared_ptr<RamBuffer> buffer);

}  // namespace qv
