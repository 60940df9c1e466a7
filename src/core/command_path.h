// The one way commands reach the program's handlers: remote commands, the
// operator's clicks and keys, and any later remote view. A command runs only
// when no other command's handler is running: one that arrives while a
// handler serves events (a wait, a dialog, a snapshot settling) waits in a
// bounded queue and runs after it, in arrival order. So no handler is ever
// entered from inside another, however fast commands come.
//
// A handler that runs a loop (Start) hands the queue over to the loop: each
// pass of the loop (Program::pumpEvents) serves it, with a bounded share of
// the pass, and stops serving once the run is ending, so a command after a
// Stop waits until the run has torn down. With no loop running the queue is
// served at once, a bounded turn at a time.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>

namespace qv {

class Clock;
class Control;
class EventPump;

// Each origin has its own bounds, so a flood from the network never crowds
// out the operator's Stop; the operator's commands are served first.
enum class CommandOrigin { Local, Remote };

struct Command {
  // What it is ("SNAPSHOT", "FORM1.StartStop"); coalescing goes by name.
  std::string name;
  CommandOrigin origin = CommandOrigin::Remote;
  // A queued command of the same name and origin stands for this one too.
  bool coalesce = false;
  // Data the command holds (a datagram), counted against the byte bound.
  size_t bytes = 0;
  std::function<void()> run;
};

// Counts events and reports the count at most once a second; what came in
// the last second is reported once that second has passed, even when
// nothing follows.
class ThrottledCount {
 public:
  using Report = std::function<void(uint64_t count)>;
  ThrottledCount(Clock* clock, EventPump* pump, Report report);
  ThrottledCount(const ThrottledCount&) = delete;
  ThrottledCount& operator=(const ThrottledCount&) = delete;

  void add(uint64_t n = 1);
  uint64_t total() const { return total_; }
  uint64_t unreported() const { return unreported_; }

 private:
  int64_t nowMs() const;
  void flushIfDue();
  void scheduleFlush();

  Clock* clock_;
  EventPump* pump_;
  Report report_;
  uint64_t total_ = 0;
  uint64_t unreported_ = 0;
  int64_t lastReportMs_ = 0;
  bool reported_ = false;
  bool posted_ = false;
  // Posted flushes hold this weakly: the counter may be gone when they run.
  std::shared_ptr<ThrottledCount*> self_;
};

class CommandPath {
 public:
  struct Limits {
    size_t remoteCommands = 256;
    size_t remoteBytes = size_t{1} << 20;
    size_t localCommands = 64;
    size_t localBytes = size_t{1} << 16;
    // Time one pass of a running loop gives to commands (at least one runs);
    // a pass that spent t waits t before it serves again, so commands never
    // take much more than half of a loop's time.
    int64_t passBudgetMs = 20;
    // Time served in one go when no loop runs; the rest follows from the
    // event loop, so timers and signals still come through.
    int64_t turnBudgetMs = 100;
  };
  enum class Outcome { Queued, Coalesced, Dropped, Closed };
  // Where the once-a-second drop counts go (the recording log).
  using Report = std::function<void(const std::string& line)>;

  CommandPath(Clock* clock, EventPump* pump, Limits limits);
  CommandPath(Clock* clock, EventPump* pump) : CommandPath(clock, pump, Limits{}) {}
  ~CommandPath();
  CommandPath(const CommandPath&) = delete;
  CommandPath& operator=(const CommandPath&) = delete;

  // Queues the command and serves the queue when nothing stands in the way
  // (so a command that arrives at an idle program runs before this returns).
  Outcome submit(Command c);

  // The one call for whatever presses a control on someone's behalf (the
  // command line's Start, a remote view's buttons): the control's click
  // handlers run as a command of that origin, in turn with all others, then
  // `after` (with the handlers' run, if they ran a loop, ended).
  Outcome press(Control& control, CommandOrigin origin, std::function<void()> after = {});

  // Until set, drop counts go to standard error.
  void setReport(Report r);
  bool hasReport() const { return bool(report_); }
  // Commands lost before they reached the path (a socket's own overflow):
  // counted and reported with the path's own drops.
  void noteDropped(uint64_t n) { drops_.add(n); }
  // The program is closing: queued commands are discarded, new ones refused.
  void close();
  bool closed() const { return closed_; }

  // One pass of a running loop: for as long as it lives (the loop's event
  // processing), the queue is served within the pass's share, unless
  // `stopFlag` says the run is ending.
  class Pass {
   public:
    Pass(CommandPath& path, const bool& stopFlag);
    ~Pass();
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;

   private:
    friend class CommandPath;
    CommandPath& path_;
    const bool& stop_;
    Pass* outer_;
    int depth_;
    int64_t spentMs_ = 0;
  };

  // A control's handlers are running (whatever raised them: a command, a
  // settings file, the program itself): commands wait for them too, and the
  // queue is served once the outermost has returned.
  class Handler {
   public:
    explicit Handler(CommandPath* path);
    ~Handler();
    Handler(const Handler&) = delete;
    Handler& operator=(const Handler&) = delete;

   private:
    CommandPath* path_;
  };

  // Commands on the stack: one, or two when a command runs inside the loop
  // another one started.
  int commandsRunning() const { return commands_; }
  size_t queued() const { return local_.items.size() + remote_.items.size(); }
  size_t queuedBytes() const { return local_.bytes + remote_.bytes; }
  uint64_t dropped() const { return drops_.total(); }
  uint64_t coalesced() const { return coalesced_; }
  uint64_t executed() const { return executed_; }
  const Limits& limits() const { return limits_; }

 private:
  struct Entry {
    Command command;
    size_t bytes = 0;
  };
  struct Queue {
    std::deque<Entry> items;
    size_t bytes = 0;
    size_t maxCount = 0;
    size_t maxBytes = 0;
    std::unordered_set<std::string> coalescing;  // names of the coalescing commands queued
  };

  int64_t nowMs() const;
  bool mayServe() const;
  void serve();
  void schedule(int delayMs);
  Entry popNext();
  void report(const std::string& line);

  Clock* clock_;
  EventPump* pump_;
  Limits limits_;
  Queue local_;
  Queue remote_;
  Report report_;
  ThrottledCount drops_;
  Pass* pass_ = nullptr;
  int depth_ = 0;     // commands and control handlers on the stack
  int commands_ = 0;  // commands on the stack
  int64_t resumeAtMs_ = 0;
  uint64_t coalesced_ = 0;
  uint64_t executed_ = 0;
  bool closed_ = false;
  bool scheduled_ = false;
  std::shared_ptr<CommandPath*> self_;
};

}  // namespace qv
