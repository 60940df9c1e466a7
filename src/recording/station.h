// What a station tells about itself without a screen: every recording-log
// event as it happens, and the figures of each live run (duration, blocks,
// gaps, overloads, the files written with their sizes, the file being
// recorded and its time). The recording log and the live loop feed it; the
// headless program prints from it, and the remote status reads the same
// figures, so every view of a station tells the same story.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "realtime/live_participant.h"

namespace qv {

class Program;

struct StationEvent {
  DateTime time;
  std::string fileTime;  // position in the file being recorded; "" when none
  std::string message;   // as the recording log words it
  bool error = false;    // the recording ends on it (disk full, write failure)
};

struct WrittenFile {
  std::string path;
  int64_t bytes = 0;
};

enum class RunOutcome {
  Running,
  Ended,       // stopped, or reached a limit it was set to
  NotStarted,  // refused before capture: device, folder, space
  Failed,      // ended on an error event
};

struct RunFigures {
  int task = 0;
  DateTime started;
  double seconds = 0;  // from the capture's start to the end of the run
  int64_t blocks = 0;
  int64_t fails = 0;      // capture gaps over the whole run
  int64_t overloads = 0;  // overloaded blocks over the whole run
  std::vector<WrittenFile> files;  // sizes taken when the run ended
  std::string currentFile;         // being recorded; "" when none
  std::string fileTime;
  RunOutcome outcome = RunOutcome::Running;
  std::string error;  // the event the run ended on, or why it did not start
};

// The values of the remote "STATUS" reply.
struct StationStatus {
  bool running = false;
  int task = 1;
  std::string recFile;  // while recording
  int sampleRate = 0;
  int channels = 1;
  int fails = 0;      // of the current file (or run without recording)
  int overloads = 0;
};

class Station : public LiveParticipant {
 public:
  explicit Station(Program& p);
  ~Station() override;
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;

  // Listeners run in order, on the program's thread.
  void onEvent(std::function<void(const StationEvent&)> f) { eventListeners_.push_back(std::move(f)); }
  void onRunEnd(std::function<void(const RunFigures&)> f) { runEndListeners_.push_back(std::move(f)); }

  // A line went to the recording log.
  void recLog(const DateTime& time, const std::string& fileTime, const std::string& message, bool error);
  // A file the station wrote outside the recording (a buffer save).
  void fileSaved(const std::string& what, const std::string& path);
  // A message the operator was shown. The last one shown while a run was
  // being set up says why it did not start.
  void operatorMessage(const std::string& text);

  // The run going on, or the last one.
  RunFigures current() const;
  bool running() const { return inRun_ && figures_.outcome == RunOutcome::Running; }
  int runs() const { return runs_; }
  // Runs that did not start or ended on an error.
  int troubledRuns() const { return troubled_; }

  bool setUp(Program& p, const RunParams& run) override;
  void block(const int16_t* samples, int count) override;
  void fail() override { ++figures_.fails; }
  void tearDown() override {}
  void started() override;
  void ended() override;

 private:
  void followRecording();
  void addFile(const std::string& path);
  void tell(const StationEvent& e);

  Program& p_;
  RunFigures figures_;
  bool inRun_ = false;
  bool captureStarted_ = false;
  int64_t startTick_ = 0;
  std::string refusal_;  // the last message shown during set-up
  std::string lastRecFile_;
  int64_t fileOverloads_ = 0;    // the current file's count as last seen
  int64_t closedOverloads_ = 0;  // files already left behind in this run
  int runs_ = 0;
  int troubled_ = 0;
  std::vector<std::function<void(const StationEvent&)>> eventListeners_;
  std::vector<std::function<void(const RunFigures&)>> runEndListeners_;
};

// The program's station (null before installStation).
Station* findStation(Program& p);
// Creates the station and makes it the first live participant, so it sees
// every run, also one that a later participant refuses. Lives as long as the
// program's controls.
Station& installStation(Program& p);

StationStatus stationStatus(Program& p);

// One line per event: "2026-01-15 10:59:30 [00:00:01.707] Closing ...".
std::string stationEventLine(const StationEvent& e);
// The end-of-run line: duration, blocks, fails, overloads, files and sizes.
std::string runSummaryLine(const RunFigures& f, const DateTime& at);
// The station at start: program folder, input, rate, channels, the mode and,
// for mode 2, where and how it records; the command port when one is open.
std::string stationStartLine(Program& p, int task);

}  // namespace qv
