// What joins a live run at fixed places of the loop: the RAM buffer and the
// disk recording. The loop calls every registered participant in order.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

class Program;
struct RunParams;

class LiveParticipant {
 public:
  virtual ~LiveParticipant() = default;
  // Set-up, after the analysis settings are read and before the capture
  // opens. False ends the run before capture (e.g. "Not enough space on ").
  virtual bool setUp(Program& p, const RunParams& run) = 0;
  // Text appended to the run information label ("  Buffer 21.85sec", ...).
  virtual std::string runInfo() const { return {}; }
  // Each captured block, as captured, before conditioning.
  virtual void block(const int16_t* samples, int count) = 0;
  // The capture ran out of queued buffers (a gap).
  virtual void fail() {}
  // Exactly this many frames were lost between the previous block and the
  // next one (told before that block).
  virtual void gap(int64_t framesLost) { (void)framesLost; }
  // "Pause" ticked (true) or released (false) at a pass end.
  virtual void pause(bool paused) { (void)paused; }
  // After the capture device stopped, before it closes.
  virtual void tearDown() = 0;
  // The capture runs: every participant is set up and the first pass follows.
  virtual void started() {}
  // The run is over: every participant torn down, the capture closed. Also
  // when the run ended before capture (a refused set-up, a device that would
  // not open); only participants that were set up hear it.
  virtual void ended() {}
};

}  // namespace qv
