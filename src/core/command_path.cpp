#include "core/command_path.h"

#include <cstdio>
#include <utility>

#include "core/control.h"
#include "platform/clock.h"
#include "platform/event_pump.h"

namespace qv {

namespace {
constexpr int64_t kReportIntervalMs = 1000;
}  // namespace

// ---- ThrottledCount ----

ThrottledCount::ThrottledCount(Clock* clock, EventPump* pump, Report report)
    : clock_(clock), pump_(pump), report_(std::move(report)), self_(std::make_shared<ThrottledCount*>(this)) {}

int64_t ThrottledCount::nowMs() const { return clock_ ? clock_->tickMs() : 0; }

void ThrottledCount::add(uint64_t n) {
  if (n == 0) return;
  total_ += n;
  unreported_ += n;
  flushIfDue();
  if (unreported_ > 0) scheduleFlush();
}

void ThrottledCount::flushIfDue() {
  if (unreported_ == 0) return;
  const int64_t now = nowMs();
  // Without a clock every count is reported as it comes.
  if (reported_ && clock_ && now - lastReportMs_ < kReportIntervalMs) return;
  const uint64_t n = std::exchange(unreported_, 0);
  reported_ = true;
  lastReportMs_ = now;
  if (report_) report_(n);
}

void ThrottledCount::scheduleFlush() {
  if (posted_ || !pump_) return;
  posted_ = true;
  const int64_t wait = kReportIntervalMs - (nowMs() - lastReportMs_);
  std::weak_ptr<ThrottledCount*> weak = self_;
  pump_->post(static_cast<int>(wait > 0 ? wait : 0), [weak] {
    auto s = weak.lock();
    if (!s) return;
    ThrottledCount& c = **s;
    c.posted_ = false;
    c.flushIfDue();
    if (c.unreported_ > 0) c.scheduleFlush();
  });
}

// ---- CommandPath ----

CommandPath::CommandPath(Clock* clock, EventPump* pump, Limits limits)
    : clock_(clock),
      pump_(pump),
      limits_(limits),
      drops_(clock, pump,
             [this](uint64_t n) { report("Dropped " + std::to_string(n) + " commands: they came faster than they could be served"); }),
      self_(std::make_shared<CommandPath*>(this)) {
  local_.maxCount = limits_.localCommands;
  local_.maxBytes = limits_.localBytes;
  remote_.maxCount = limits_.remoteCommands;
  remote_.maxBytes = limits_.remoteBytes;
}

CommandPath::~CommandPath() = default;

int64_t CommandPath::nowMs() const { return clock_ ? clock_->tickMs() : 0; }

void CommandPath::setReport(Report r) { report_ = std::move(r); }

void CommandPath::report(const std::string& line) {
  if (report_) report_(line);
  else std::fprintf(stderr, "quorvel: %s\n", line.c_str());
}

void CommandPath::close() {
  closed_ = true;
  for (Queue* q : {&local_, &remote_}) {
    q->items.clear();
    q->bytes = 0;
    q->coalescing.clear();
  }
}

CommandPath::Outcome CommandPath::submit(Command c) {
  if (closed_) return Outcome::Closed;
  Queue& q = c.origin == CommandOrigin::Local ? local_ : remote_;
  if (c.coalesce && q.coalescing.count(c.name)) {
    ++coalesced_;
    return Outcome::Coalesced;
  }
  const size_t bytes = c.bytes + c.name.size();
  if (q.items.size() >= q.maxCount || q.bytes + bytes > q.maxBytes) {
    drops_.add();
    return Outcome::Dropped;
  }
  if (c.coalesce) q.coalescing.insert(c.name);
  q.bytes += bytes;
  q.items.push_back(Entry{std::move(c), bytes});
  serve();
  return Outcome::Queued;
}

CommandPath::Outcome CommandPath::press(Control& control, CommandOrigin origin, std::function<void()> after) {
  Command c;
  c.name = control.key();
  c.origin = origin;
  Control* pressed = &control;
  c.run = [pressed, after = std::move(after)] {
    pressed->click();
    if (after) after();
  };
  return submit(std::move(c));
}

CommandPath::Entry CommandPath::popNext() {
  Queue& q = local_.items.empty() ? remote_ : local_;
  Entry e = std::move(q.items.front());
  q.items.pop_front();
  q.bytes -= e.bytes;
  if (e.command.coalesce) q.coalescing.erase(e.command.name);
  return e;
}

bool CommandPath::mayServe() const {
  if (closed_ || queued() == 0) return false;
  if (pass_) {
    // Only the loop's own event processing serves, not a command's wait inside it.
    if (depth_ != pass_->depth_ || pass_->stop_) return false;
    if (pass_->spentMs_ >= limits_.passBudgetMs) return false;
    return nowMs() >= resumeAtMs_;
  }
  return depth_ == 0;
}

void CommandPath::serve() {
  Pass* const pass = pass_;
  const int64_t start = nowMs();
  while (mayServe()) {
    Entry e = popNext();
    const int64_t t0 = nowMs();
    struct Depth {
      int& d;
      int& c;
      Depth(int& x, int& y) : d(x), c(y) { ++d, ++c; }
      ~Depth() { --d, --c; }
    } depth(depth_, commands_);
    e.command.run();
    ++executed_;
    if (pass) pass->spentMs_ += nowMs() - t0;
    else if (pump_ && nowMs() - start >= limits_.turnBudgetMs) break;
  }
  if (!pass && depth_ == 0 && queued() > 0) schedule(0);
}

void CommandPath::schedule(int delayMs) {
  if (scheduled_ || !pump_ || closed_) return;
  scheduled_ = true;
  std::weak_ptr<CommandPath*> weak = self_;
  pump_->post(delayMs, [weak] {
    auto s = weak.lock();
    if (!s) return;
    (*s)->scheduled_ = false;
    (*s)->serve();
  });
}

CommandPath::Handler::Handler(CommandPath* path) : path_(path) {
  if (path_) ++path_->depth_;
}

CommandPath::Handler::~Handler() {
  if (!path_) return;
  --path_->depth_;
  if (path_->depth_ == 0 && !path_->pass_ && path_->queued() > 0) path_->schedule(0);
}

CommandPath::Pass::Pass(CommandPath& path, const bool& stopFlag)
    : path_(path), stop_(stopFlag), outer_(path.pass_), depth_(path.depth_) {
  path_.pass_ = this;
  path_.serve();
}

CommandPath::Pass::~Pass() {
  path_.pass_ = outer_;
  if (spentMs_ > 0) path_.resumeAtMs_ = path_.nowMs() + spentMs_;
  // The run is ending: what waits is served once it has torn down.
  if (stop_ && path_.queued() > 0) path_.schedule(0);
}

}  // namespace qv
