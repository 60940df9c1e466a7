// The live loops driven through the assembled program with doubles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "analysis/engine.h"
#include "config/command_line.h"
#include "config/startup.h"
#include "realtime/column_observer.h"
#include "realtime/live_participant.h"
#include "realtime/modes.h"
#include "support/program_rig.h"

namespace qv {
namespace {

struct FakeParticipant : LiveParticipant {
  bool accept = true;
  int setUps = 0, tearDowns = 0, fails = 0;
  std::vector<int16_t> firsts;  // first sample of every block
  std::vector<int> counts;
  std::vector<bool> pauses;
  bool setUp(Program&, const RunParams&) override {
    ++setUps;
    return accept;
  }
  void block(const int16_t* s, int n) override {
    firsts.push_back(s[0]);
    counts.push_back(n);
  }
  void fail() override { ++fails; }
  void pause(bool p) override { pauses.push_back(p); }
  void tearDown() override { ++tearDowns; }
};

struct LiveRig : test::ProgramRig {
  LiveRig() {
    startUp(p(), CommandLine{}, *subsystems->hooks, StartupOptions{false});
    options2("Combo2").setText("4");  // WaveIn buffers
  }
  Modes& modes() { return *findModes(p()); }
  void start() { form1("StartStop").click(); }
  // Each pump pass: the device fills one block; Stop is pressed at pass `stopAt`.
  void feedRampsAndStopAt(long stopAt) {
    pump.every([this, stopAt] {
      if (pump.passes < stopAt) audioIn.completeNextRamp(static_cast<int16_t>(100 * pump.passes));
      if (pump.passes == stopAt) form1("StartStop").click();
    });
  }
};

std::vector<int> addOrder(const FakeAudioInput& in) {
  std::vector<int> ids;
  for (const std::string& c : in.calls)
    if (c.rfind("add(", 0) == 0) ids.push_back(std::stoi(c.substr(4)));
  return ids;
}

TEST(LiveLoop, BuffersAreTakenAndRequeuedInSlotOrderThroughAWholeRun) {
  LiveRig rig;
  FakeParticipant part;
  rig.p().liveParticipants().push_back(&part);
  rig.feedRampsAndStopAt(12);
  rig.start();

  // Blocks filled at passes 1..11 are taken at the following passes.
  ASSERT_EQ(part.firsts.size(), 11u);
  for (size_t i = 0; i < part.firsts.size(); ++i) EXPECT_EQ(part.firsts[i], static_cast<int16_t>(100 * (i + 1)));
  for (int n : part.counts) EXPECT_EQ(n, rig.form1("Combo1").intNumber());
  std::vector<int> ids = addOrder(rig.audioIn);
  ASSERT_GE(ids.size(), 14u);
  for (size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(ids[i], static_cast<int>(i % 4)) << i;
  EXPECT_EQ(rig.audioIn.calls.back(), "close");
  EXPECT_EQ(part.setUps, 1);
  EXPECT_EQ(part.tearDowns, 1);
  EXPECT_TRUE(rig.p().vars().StopFlag);
  EXPECT_EQ(rig.p().vars().FailCount, 0);
  // The run labels moved on.
  EXPECT_EQ(rig.form1("Label3").caption(), "00:00:03.413");  // before the 11th block of 16384 at 48000
  EXPECT_EQ(rig.form1("L24").caption(), " 0");
  EXPECT_EQ(rig.form1("Label28").caption(), " 0");
}

TEST(LiveLoop, APauseLongerThanTheRingCountsFailsAfterItEnds) {
  LiveRig rig;
  FakeParticipant part;
  rig.p().liveParticipants().push_back(&part);
  std::string statusInPause;
  rig.pump.every([&rig] { rig.audioIn.completeNextWith(5); });
  rig.pump.at(2, [&rig] { rig.form1("PauseButton").setValue(1); });
  rig.pump.at(4, [&] { statusInPause = rig.p().status(); });
  rig.pump.at(12, [&rig] { rig.form1("PauseButton").setValue(0); });
  rig.pump.at(16, [&rig] { rig.form1("StartStop").click(); });
  rig.start();

  EXPECT_EQ(statusInPause.substr(0, 1), "P");
  EXPECT_EQ(part.pauses, (std::vector<bool>{true, false}));
  // The device ran dry during the pause; the passes after it found every buffer full.
  EXPECT_GT(rig.audioIn.lostBlocks, 0u);
  EXPECT_GE(rig.p().vars().FailCount, 1);
  EXPECT_EQ(part.fails, rig.p().vars().FailCount);
  EXPECT_EQ(rig.form1("L24").caption(), " " + std::to_string(rig.p().vars().FailCount));
}

TEST(LiveLoop, AFailingParticipantEndsTheRunBeforeCapture) {
  LiveRig rig;
  FakeParticipant first, refusing;
  refusing.accept = false;
  rig.p().liveParticipants().push_back(&first);
  rig.p().liveParticipants().push_back(&refusing);
  rig.start();
  for (const std::string& c : rig.audioIn.calls) EXPECT_EQ(c.rfind("open(", 0), std::string::npos) << c;
  EXPECT_EQ(rig.pump.passes, 0);
  EXPECT_EQ(first.tearDowns, 1);     // what was set up is released
  EXPECT_EQ(refusing.tearDowns, 0);  // what refused had nothing to release
  EXPECT_TRUE(rig.p().vars().StopFlag);
  EXPECT_EQ(rig.form1("StartStop").caption(), "Start");
  EXPECT_TRUE(rig.form1("Frame1").enabled());
}

// Runs the mono loop over one continuous sine in blocks of `block` samples
// and returns the first `n` columns.
std::vector<std::vector<float>> sineColumns(int block, size_t n) {
  // What watches the spectrogram besides the picture is given each column.
  struct Collector : ColumnObserver {
    std::vector<std::vector<float>> v;
    void displayBegins(int, bool) override {}
    void column(const float* p, int rows, int) override { v.emplace_back(p, p + rows); }
    void displayEnds() override {}
  } collector;
  std::vector<std::vector<float>>& cols = collector.v;
  LiveRig rig;
  rig.form1("Combo1").setText(std::to_string(block));
  rig.form1("Combo3").setText("512");
  rig.form1("Combo4").setText("512");
  rig.form1("Combo6").setText("256");
  EXPECT_EQ(rig.form1("Combo1").intNumber(), block);
  EXPECT_EQ(rig.form1("Combo6").intNumber(), 256);
  rig.p().columnObservers().push_back(&collector);
  long sample = 0;
  rig.pump.every([&] {
    std::vector<int16_t> b(static_cast<size_t>(block));
    for (auto& s : b) s = static_cast<int16_t>(std::lround(12000 * std::sin(2 * M_PI * 1234.5 * sample++ / 48000.0)));
    rig.audioIn.completeNext(b);
    if (cols.size() >= n) rig.form1("StartStop").click();
  });
  rig.start();
  cols.resize(std::min(cols.size(), n));
  return std::move(cols);
}

TEST(LiveLoop, TheCarryKeepsTheHopConstantWhateverTheBlockSize) {
  auto small = sineColumns(4096, 160);
  auto large = sineColumns(16384, 160);
  ASSERT_EQ(small.size(), 160u);
  ASSERT_EQ(large.size(), 160u);
  for (size_t i = 0; i < small.size(); ++i) ASSERT_EQ(small[i], large[i]) << "column " << i;
  // And the columns do differ from each other (the sine moves under the window).
  EXPECT_NE(small[20], small[21]);
}

TEST(LiveLoop, TrackerAndTriggerRunPerColumnWithFreshLogs) {
  LiveRig rig;
  Form& o1 = rig.p().options1();
  o1["DefLogPath"].setText(rig.home.path());
  o1["TrackToFileFlag"].setValue(1);
  o1["TriggerFlag"].setValue(1);
  o1["TriggerToFileFlag"].setValue(1);
  o1["TriggerTresholdField"].setText("2048");
  rig.form1("Check2").setValue(1);
  rig.p().options0()["AddTimeStamp"].setValue(0);
  rig.options1("ScrollFlag").setValue(0);  // the marks stay where they were drawn
  const std::string trackLog = rig.home.path() + "track.track.txt";
  test::writeFile(trackLog, "stale line\r\n");
  long sample = 0;
  rig.pump.every([&] {
    std::vector<int16_t> b(16384);
    for (auto& v : b) v = static_cast<int16_t>(std::lround(16000 * std::sin(2 * M_PI * 3000.0 * sample++ / 48000.0)));
    rig.audioIn.completeNext(b);
    if (rig.pump.passes == 3) rig.form1("StartStop").click();
  });
  rig.start();
  const std::string track = test::readFile(trackLog);
  EXPECT_EQ(track.find("stale"), std::string::npos);
  EXPECT_NE(track.find("DayTime"), std::string::npos);
  // Two blocks, every column a detection of the tone at 3000 Hz.
  const int cols = rig.modes().live().columnsPerBlock();
  EXPECT_EQ(rig.p().vars().ColumnCount, 2 * cols);
  const auto lines = std::count(track.begin(), track.end(), '\n');
  EXPECT_EQ(lines, 2 + 2 * cols);
  EXPECT_NE(track.find(" 3000 "), std::string::npos);
  const std::string trig = test::readFile(rig.home.path() + "trigger.trig.txt");
  EXPECT_NE(trig.find("PP"), std::string::npos);
  EXPECT_EQ(rig.modes().live().trigger().N(), 1);  // one continuous event
  // The trigger marks stand on the strip at the columns drawn.
  auto s = rig.form1("SpecGram").surface();
  EXPECT_EQ(s->pixel(5, 268), rgb(255, 255, 0));
}

TEST(LiveLoop, ABlocksColumnsAreSpreadOverItsTimeAndFinishedBeforeTheNext) {
  LiveRig rig;
  rig.form1("Combo1").setText("16384");
  rig.form1("Combo6").setText("512");
  LiveLoop& loop = rig.modes().live();
  ASSERT_TRUE(loop.setUp(false));
  ASSERT_EQ(loop.columnsPerBlock(), 32);  // 341.3 ms a block, drawn over 273 ms
  rig.audioIn.completeNextWith(100);
  loop.pass();
  EXPECT_EQ(rig.p().vars().ColumnCount, 0);
  rig.clock.advance(0.1365);
  loop.pass();
  EXPECT_EQ(rig.p().vars().ColumnCount, 16);
  rig.audioIn.completeNextWith(100);
  loop.pass();  // the rest of the first block, then the second begins
  EXPECT_EQ(rig.p().vars().ColumnCount, 32);
  rig.clock.advance(1.0);
  loop.pass();
  EXPECT_EQ(rig.p().vars().ColumnCount, 64);
  rig.audioIn.completeNextWith(100);
  loop.pass();
  loop.tearDown();  // what was still to draw is drawn
  EXPECT_EQ(rig.p().vars().ColumnCount, 96);
  EXPECT_FALSE(loop.running());
  EXPECT_TRUE(rig.p().vars().StopFlag);
}

TEST(LiveLoop, ColumnCountAndColumnXFollowTheBlocks) {
  LiveRig rig;
  rig.form1("Combo1").setText("4096");
  rig.form1("Combo3").setText("512");
  rig.form1("Combo6").setText("512");
  rig.feedRampsAndStopAt(4);
  rig.start();
  // Three blocks of 8 columns.
  EXPECT_EQ(rig.p().vars().ColumnCount, 24);
  const int w = rig.form1("SpecGram").geometry().width;
  EXPECT_EQ(rig.p().vars().ColumnX, 24 % w);
  EXPECT_EQ(rig.modes().live().blocks(), 3);
}

TEST(LiveLoop, TwoChannelsOpenAStereoCaptureAndHalveTheColumns) {
  LiveRig rig;
  rig.options0("NchanCombo").setText("2 - stereo");
  rig.form1("Combo1").setText("4096");
  rig.form1("Combo3").setText("512");
  rig.form1("Combo6").setText("512");
  bool trackerDisabled = false;
  std::string chanMode;
  rig.pump.at(2, [&] {
    trackerDisabled = !rig.form1("Check2").enabled();
    chanMode = rig.p().vars().ChanMode;
  });
  rig.feedRampsAndStopAt(4);
  rig.start();
  EXPECT_EQ(rig.audioIn.openFormat.channels, 2);
  EXPECT_EQ(chanMode, "S");
  EXPECT_TRUE(trackerDisabled);
  EXPECT_TRUE(rig.form1("Check2").enabled());
  EXPECT_EQ(rig.p().vars().ColumnCount, 3 * 4);  // 2048 frames a block, hop 512
}

TEST(LiveLoop, TwoChannelsRaiseASmallBlockTo4096WordsInTheBoxAndTheCapture) {
  LiveRig rig;
  rig.options0("NchanCombo").setText("2 - stereo");
  rig.form1("Combo1").setText("2048");
  rig.form1("Combo3").setText("512");
  rig.form1("Combo6").setText("512");
  rig.feedRampsAndStopAt(3);
  rig.start();
  EXPECT_EQ(rig.form1("Combo1").text(), "4096");
  EXPECT_EQ(rig.modes().live().params().BlockSize, 4096);
  EXPECT_EQ(rig.p().vars().ColumnCount, 2 * 4);  // 2048 frames a block, hop 512

  // One channel keeps the size the operator chose.
  rig.options0("NchanCombo").setText("1 - mono (left)");
  rig.form1("Combo1").setText("2048");
  rig.feedRampsAndStopAt(rig.pump.passes + 3);
  rig.start();
  EXPECT_EQ(rig.form1("Combo1").text(), "2048");
}

TEST(LiveLoop, RbWithSilenceOnBothChannelsLeavesTheLowerHalfBlack) {
  LiveRig rig;
  rig.options0("NchanCombo").setText("2 - stereo");
  rig.options1("ScrollFlag").setValue(0);
  rig.options1("Combo9").setText("1");
  rig.form1("Check3").setValue(1);
  rig.pump.every([&rig] {
    rig.audioIn.completeNextWith(0);
    if (rig.pump.passes == 4) rig.form1("StartStop").click();
  });
  rig.start();
  auto s = rig.form1("SpecGram").surface();
  ASSERT_TRUE(s);
  const int sv = rig.p().vars().specVsize;
  const int h = rig.form1("Combo7").intNumber();
  const int64_t drawn = rig.p().vars().ColumnCount;
  ASSERT_GT(drawn, 0);
  for (int x = 0; x < std::min<int64_t>(drawn, 8); ++x)
    for (int y = sv - h / 2; y < sv; ++y) ASSERT_EQ(s->pixel(x, y), rgb(0, 0, 0)) << x << "," << y;
}

TEST(LiveLoop, ARefusedFormatEndsTheRunAtSetUp) {
  LiveRig rig;
  FakeParticipant part;
  rig.p().liveParticipants().push_back(&part);
  rig.audioIn.queryResult = kWaveBadFormat;
  rig.start();
  EXPECT_EQ(rig.pump.passes, 0);
  EXPECT_EQ(part.tearDowns, 1);
  EXPECT_EQ(rig.form1("StartStop").caption(), "RESET");
  EXPECT_TRUE(rig.p().vars().StopFlag);
}

}  // namespace
}  // namespace qv
