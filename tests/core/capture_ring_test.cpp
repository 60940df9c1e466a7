#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "core/designer.h"
#include "core/program.h"
#include "platform/doubles/scripted_dialogs.h"
#include "realtime/capture.h"
#include "support/scripted_audio_input.h"

namespace qv {
namespace {

using test::ScriptedAudioInput;
using Calls = std::vector<std::string>;

// A device that fills its queued buffers on its own thread as fast as it can,
// never dropping a block: it waits when nothing is queued.
class ThreadedAudioInput : public AudioInput {
 public:
  ~ThreadedAudioInput() override { stop(); }
  std::vector<AudioDeviceInfo> devices() override { return {{"Default", 2}}; }
  int queryFormat(int, const WaveFormat&) override { return kWaveOk; }
  int open(int, const WaveFormat&) override { return kWaveOk; }
  int addBuffer(WaveBuffer& b) override {
    std::lock_guard<std::mutex> l(m_);
    queue_.push_back(&b);
    cv_.notify_one();
    return kWaveOk;
  }
  int start() override {
    running_ = true;
    thread_ = std::thread([this] { run(); });
    return kWaveOk;
  }
  int stop() override {
    {
      std::lock_guard<std::mutex> l(m_);
      running_ = false;
      cv_.notify_one();
    }
    if (thread_.joinable()) thread_.join();
    return kWaveOk;
  }
  int reset() override {
    std::lock_guard<std::mutex> l(m_);
    for (WaveBuffer* b : queue_) b->done.store(true);
    queue_.clear();
    return kWaveOk;
  }
  int close() override { return kWaveOk; }
  bool running() const { return thread_.joinable(); }

 private:
  void run() {
    int16_t n = 0;
    for (;;) {
      WaveBuffer* b;
      {
        std::unique_lock<std::mutex> l(m_);
        cv_.wait(l, [this] { return !running_ || !queue_.empty(); });
        if (!running_) return;
        b = queue_.front();
        queue_.pop_front();
      }
      ++n;
      for (auto& s : b->data) s = n;
      b->done.store(true, std::memory_order_release);
    }
  }
  std::mutex m_;
  std::condition_variable cv_;
  std::deque<WaveBuffer*> queue_;
  bool running_ = false;
  std::thread thread_;
};

struct CaptureFixture : ::testing::Test {
  ScriptedAudioInput in;
  ScriptedDialogs dialogs;
  Program program{[this] {
                    Services s;
                    s.audioIn = &in;
                    s.dialogs = &dialogs;
                    return s;
                  }(),
                  "/tmp"};
  Capture cap{program};
  std::vector<int16_t> samples = std::vector<int16_t>(8192, -1);

  void SetUp() override { buildForms(program.forms()); }

  // One pass of a loop: every slot in order; returns the block numbers taken.
  std::vector<int> pass() {
    std::vector<int> taken;
    for (int s = 0; s < cap.buffers(); ++s) {
      if (cap.takeSlot(s, samples.data())) taken.push_back(samples[0]);
      cap.afterVisit();
    }
    return taken;
  }
  int fails() { return program.vars().FailCount; }
  std::string label(const char* n) { return program.form1()[n].caption(); }
};

TEST_F(CaptureFixture, OpenQueriesAllocatesQueuesInSlotOrderThenStarts) {
  ASSERT_EQ(cap.open(-1, 44100, 1, 4096, 4), 0);
  EXPECT_EQ(in.takeCalls(), (Calls{"query", "open", "add 0", "add 1", "add 2", "add 3", "start"}));
  EXPECT_EQ(in.lastDevice, -1);
  EXPECT_EQ(in.lastFormat.sampleRate, 44100);
  EXPECT_EQ(in.lastFormat.channels, 1);
  EXPECT_EQ(in.lastFormat.bitsPerSample, 16);
  EXPECT_EQ(cap.state(), Capture::State::Running);
  EXPECT_EQ(in.queueSlots(), (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(CaptureFixture, StereoBuffersHoldBlockSizeSamplesOfInterleavedFrames) {
  ASSERT_EQ(cap.open(0, 48000, 2, 4096, 2), 0);
  EXPECT_EQ(in.lastFormat.channels, 2);
  samples.assign(8192, -1);
  in.complete(1);
  ASSERT_TRUE(cap.takeSlot(0, samples.data()));
  // 4096 samples = 2048 left/right frames copied; nothing beyond.
  EXPECT_EQ(samples[4095], 1);
  EXPECT_EQ(samples[4096], -1);
}

TEST_F(CaptureFixture, BlocksAreTakenAndRequeuedInSlotOrder) {
  ASSERT_EQ(cap.open(-1, 48000, 1, 1024, 4), 0);
  in.takeCalls();
  in.complete(3);
  EXPECT_EQ(pass(), (std::vector<int>{1, 2, 3}));
  // Each taken buffer went straight back behind the one still queued.
  EXPECT_EQ(in.takeCalls(), (Calls{"add 0", "add 1", "add 2"}));
  EXPECT_EQ(in.queueSlots(), (std::vector<int>{3, 0, 1, 2}));

  // The device wraps round the ring: slot 3 then slot 0. Slot 3 holds the
  // older block and must come out first.
  in.complete(2);
  EXPECT_EQ(pass(), (std::vector<int>{4, 5}));
  EXPECT_EQ(in.takeCalls(), (Calls{"add 3", "add 0"}));
  in.complete(3);  // slots 1, 2, 3
  EXPECT_EQ(pass(), (std::vector<int>{6, 7, 8}));
  EXPECT_EQ(in.takeCalls(), (Calls{"add 1", "add 2", "add 3"}));
  EXPECT_EQ(in.queueSlots(), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(fails(), 0);
}

TEST_F(CaptureFixture, BlocksComeOutInDeviceOrderWhileTheDeviceRunsOnItsOwnThread) {
  ThreadedAudioInput dev;
  Program threaded(
      [&] {
        Services s;
        s.audioIn = &dev;
        s.dialogs = &dialogs;
        return s;
      }(),
      "/tmp");
  buildForms(threaded.forms());
  Capture c(threaded);
  constexpr int kBlock = 256;
  ASSERT_EQ(c.open(-1, 48000, 1, kBlock, 6), 0);
  std::vector<int16_t> block(kBlock);
  std::mt19937 rng(7);
  int expected = 1;
  bool ordered = true;
  while (expected <= 3000 && ordered) {
    for (int v = 0; v < c.buffers(); ++v) {
      if (c.takeSlot(v, block.data())) {
        // Whole blocks only, in the order filled: never torn, never shuffled.
        ordered = block.front() == static_cast<int16_t>(expected) && block.back() == block.front();
        ++expected;
      }
      c.afterVisit();
    }
    if (rng() % 8 == 0) std::this_thread::sleep_for(std::chrono::microseconds(rng() % 300));
  }
  c.close();
  EXPECT_TRUE(ordered) << "at block " << expected;
  EXPECT_FALSE(dev.running());
}

TEST_F(CaptureFixture, SingleBufferCountsAFailAtEveryVisitThatFindsItFull) {
  ASSERT_EQ(cap.open(-1, 48000, 1, 1024, 1), 0);
  for (int visit = 1; visit <= 3; ++visit) {
    in.complete(1);
    EXPECT_EQ(pass(), std::vector<int>{visit});
    EXPECT_EQ(fails(), visit);
  }
  EXPECT_TRUE(pass().empty());  // an empty visit counts nothing
  EXPECT_EQ(fails(), 3);
  EXPECT_EQ(label("Label20"), "0");
  EXPECT_EQ(label("Label21"), "1");
}

TEST_F(CaptureFixture, PauseLongerThanTheRingAddsFailsAfterItEnds) {
  ASSERT_EQ(cap.open(-1, 48000, 1, 1024, 4), 0);
  for (int i = 0; i < 8; ++i) {  // keeping up: one block per pass
    in.complete(1);
    EXPECT_EQ(pass().size(), 1u);
  }
  EXPECT_EQ(fails(), 0);
  EXPECT_EQ(label("Label21"), "2");  // the mark of the slot taken in the pass before

  // Paused for 7 blocks: only the 4 queued buffers can fill.
  EXPECT_EQ(in.complete(7), 4);
  EXPECT_EQ(fails(), 0);  // nothing is counted while no pass runs

  // The first pass after the pause finds every buffer full: one fail, counted
  // when the pass has visited the last slot.
  std::vector<int> taken;
  for (int s = 0; s < 4; ++s) {
    ASSERT_TRUE(cap.takeSlot(s, samples.data()));
    EXPECT_EQ(cap.afterVisit(), s == 3) << "visit " << s;
  }
  EXPECT_EQ(fails(), 1);
  EXPECT_EQ(label("Label20"), "4");
  EXPECT_EQ(label("Label21"), "4");

  // Still behind: every pass that finds all buffers full adds one.
  in.complete(4);
  EXPECT_EQ(pass().size(), 4u);
  EXPECT_EQ(fails(), 2);

  // Caught up: the count of full slots falls and no fail is added.
  in.complete(1);
  pass();
  EXPECT_EQ(fails(), 2);
  EXPECT_EQ(label("Label20"), "1");
  EXPECT_EQ(label("Label21"), "4");
}

TEST_F(CaptureFixture, AGapTheDeviceReportsIsAFailOfThePassThatSeesIt) {
  in.gapCount = 5;  // left over from an earlier run: not this run's
  ASSERT_EQ(cap.open(-1, 192000, 2, 4096, 4), 0);
  in.complete(1);
  EXPECT_EQ(pass().size(), 1u);
  EXPECT_EQ(fails(), 0);

  // Two overruns while the loop was busy, though the ring never filled: one
  // fail, counted (and logged while recording) at the end of the pass.
  in.gapCount = 7;
  in.complete(1);
  for (int s = 0; s < 4; ++s) {
    cap.takeSlot(s, samples.data());
    EXPECT_EQ(cap.afterVisit(), s == 3) << "visit " << s;
  }
  EXPECT_EQ(fails(), 1);
  in.complete(1);
  pass();
  EXPECT_EQ(fails(), 1);  // already counted
}

TEST_F(CaptureFixture, CloseWithEveryBufferQueuedStopsResetsAndReleases) {
  ASSERT_EQ(cap.open(-1, 48000, 1, 1024, 4), 0);
  in.takeCalls();
  cap.close();
  EXPECT_EQ(in.takeCalls(), (Calls{"stop", "reset", "close"}));
  EXPECT_EQ(cap.state(), Capture::State::Closed);
  EXPECT_EQ(in.queued(), 0);
  EXPECT_FALSE(cap.takeSlot(0, samples.data()));  // nothing left to touch
  cap.close();                                    // a second close does nothing
  EXPECT_TRUE(in.takeCalls().empty());
}

TEST_F(CaptureFixture, StoppedCaptureKeepsFilledBlocksButQueuesNothingMore) {
  ASSERT_EQ(cap.open(-1, 48000, 1, 1024, 2), 0);
  in.complete(1);
  in.takeCalls();
  cap.stop();
  EXPECT_TRUE(cap.takeSlot(0, samples.data()));
  EXPECT_EQ(samples[0], 1);
  EXPECT_EQ(in.takeCalls(), Calls{"stop"});
  cap.close();
  EXPECT_EQ(in.takeCalls(), (Calls{"reset", "close"}));
}

TEST_F(CaptureFixture, RefusedFormatIsReportedAndNothingIsOpened) {
  in.queryResult = kWaveBadFormat;
  program.form1()["Frame1"].setEnabled(false);
  EXPECT_EQ(cap.open(-1, 200000, 2, 4096, 4), kWaveBadFormat);
  EXPECT_EQ(in.takeCalls(), Calls{"query"});
  ASSERT_EQ(dialogs.texts().size(), 1u);
  EXPECT_EQ(dialogs.texts()[0], "Couldn't open wave device due to Error  32 BADFORMAT");
  EXPECT_TRUE(program.form1()["Frame1"].enabled());
  EXPECT_EQ(program.form1()["StartStop"].caption(), "RESET");
  EXPECT_FALSE(cap.isOpen());
}

TEST_F(CaptureFixture, DeviceThatFailsToOpenIsReportedWithItsCode) {
  in.openResult = kWaveAllocated;
  EXPECT_EQ(cap.open(0, 48000, 1, 4096, 4), kWaveAllocated);
  EXPECT_EQ(in.takeCalls(), (Calls{"query", "open"}));
  ASSERT_EQ(dialogs.texts().size(), 1u);
  EXPECT_EQ(dialogs.texts()[0], "Couldn't open wave device due to Error  4");
  EXPECT_FALSE(cap.isOpen());
  cap.close();
  EXPECT_TRUE(in.takeCalls().empty());
}

TEST_F(CaptureFixture, DeviceThatWillNotStartIsClosedAndReported) {
  in.startResult = kWaveBadDevice;
  EXPECT_EQ(cap.open(0, 48000, 1, 4096, 2), kWaveBadDevice);
  EXPECT_EQ(in.takeCalls(), (Calls{"query", "open", "add 0", "add 1", "start", "stop", "reset", "close"}));
  EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"Couldn't open wave device due to Error  2"});
  EXPECT_FALSE(cap.isOpen());
  EXPECT_EQ(in.queued(), 0);
}

TEST_F(CaptureFixture, ReopenStartsAFreshRun) {
  ASSERT_EQ(cap.open(-1, 48000, 1, 1024, 1), 0);
  in.complete(1);
  pass();
  EXPECT_EQ(fails(), 1);
  ASSERT_EQ(cap.open(-1, 48000, 1, 1024, 2), 0);  // closes the old one first
  EXPECT_EQ(fails(), 0);
  EXPECT_EQ(label("Label21"), "0");
  EXPECT_EQ(cap.buffers(), 2);
  EXPECT_EQ(in.queueSlots(), (std::vector<int>{0, 1}));
}

TEST_F(CaptureFixture, WaveInBuffersComesFromTheSpecialSettingsWithinOneToSixteen) {
  Control& c = program.options2()["Combo2"];
  EXPECT_EQ(Capture::WaveInBuffers(program), 2);  // designer default
  c.setText("16");
  EXPECT_EQ(Capture::WaveInBuffers(program), 16);
  c.setText("40");
  EXPECT_EQ(Capture::WaveInBuffers(program), 16);
  c.setText("");
  EXPECT_EQ(Capture::WaveInBuffers(program), 1);
}

}  // namespace
}  // namespace qv
