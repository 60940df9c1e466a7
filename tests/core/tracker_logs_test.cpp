#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "core/designer.h"
#include "core/program.h"
#include "platform/doubles/fake_clock.h"
#include "realtime/line_log.h"
#include "realtime/print_line.h"
#include "realtime/tracker.h"
#include "realtime/trigger.h"
#include "support/memory_surface.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

using test::MemorySurface;
using test::readFile;
using test::TempDir;

constexpr float kColumnMs = 512 * 1000.0f / 48000;  // 10.666667
constexpr float kPixelHz = 48000.0f / 1024;          // 46.875

struct DetectorFixture : ::testing::Test {
  TempDir dir;
  FakeClock clock{12, 0, 0};
  Program program{[this] {
                    Services s;
                    s.clock = &clock;
                    return s;
                  }(),
                  "/tmp"};
  std::vector<float> P = std::vector<float>(256, 0.0f);
  LogRunInfo run{"", 48000, 1024, 512};

  void SetUp() override {
    buildForms(program.forms());
    Form& o1 = program.options1();
    o1["TrackFromField"].setText("2");
    o1["TrackToField"].setText("256");
    o1["TrackTresholdField"].setText("18");
    o1["TrackLogFileField"].setText("track");
    o1["TriggerLogFileField"].setText("trigger");
    o1["TriggerTresholdField"].setText("2048");
    o1["DefLogPath"].setText(dir.path().substr(0, dir.path().size() - 1));  // the missing "/" is added
    program.form1()["Check2"].setValue(1);
  }

  ColumnView column(int64_t count, float pp = 0) {
    ColumnView c;
    c.P = P.data();
    c.rows = static_cast<int>(P.size());
    c.peakToPeak = pp;
    c.ColumnCount = count;
    c.ColumnX = static_cast<int>(count % 600);
    c.x = 0;
    c.PixelHz = kPixelHz;
    c.ZoomBase = 0;
    c.ColumnTimeMs = kColumnMs;
    c.Darkness = 0;
    return c;
  }
  // A single tone: display value `value` at `row`, silence elsewhere.
  void tone(int row, float value) {
    std::fill(P.begin(), P.end(), 0.0f);
    P[static_cast<size_t>(row)] = value;
  }
};

TEST(PrintLine, ItemsFollowDirectlyOrFromTheNextFourteenColumnZone) {
  PrintLine l;
  l.text("RT ").integer(48000).integer(-3).real(0.5).zone().text("x").end();
  EXPECT_EQ(l.view(), "RT  48000 -3  0.5 " + std::string(10, ' ') + "x\r\n");
  l.clear().zone().text("a");
  EXPECT_EQ(l.view(), std::string(14, ' ') + "a");  // from column 1 the next zone is column 15
  l.clear().text("12345678901234567").zone().text("b");
  EXPECT_EQ(l.view(), "12345678901234567" + std::string(11, ' ') + "b");
  l.clear().real(1066.6667f).real(12345678.0).real(-0.0).real(1e-6);
  EXPECT_EQ(l.view(), " 1066.667  12345678  0  1e-06 ");
}

TEST(LineLog, EveryLineIsInTheFileBeforeTheRunEndsAndFailuresAreAnswered) {
  TempDir dir;
  LineLog log;
  ASSERT_TRUE(log.create(dir.file("a.txt")));
  EXPECT_TRUE(log.append("one\r\n"));
  EXPECT_EQ(readFile(dir.file("a.txt")), "one\r\n");  // nothing waits in a buffer
  log.close();
  EXPECT_FALSE(log.append("two\r\n"));
  EXPECT_FALSE(log.create(dir.file("no/such/folder.txt")));
  EXPECT_FALSE(log.active());
  if (log.create("/dev/full")) {
    EXPECT_FALSE(log.append("x\r\n"));  // a full disk
  }
}

TEST_F(DetectorFixture, InitTrackingReadsTheTrackFrame) {
  program.options1()["TrackToFileFlag"].setValue(1);
  TrackSettings s = InitTracking(program);
  EXPECT_EQ(s.track, 1);
  EXPECT_EQ(s.TrackFrom, 2);
  EXPECT_EQ(s.TrackTo, 256);
  EXPECT_FLOAT_EQ(s.TrackTresh, 18.0f);
  EXPECT_EQ(s.TrackSave, 1);
  EXPECT_EQ(s.TrackPath, dir.path());
  program.form1()["Check2"].setValue(0);  // no tracking, no log
  EXPECT_EQ(InitTracking(program).TrackSave, 0);
}

TEST_F(DetectorFixture, MaximumAtTheFirstSearchedRowIsNeverADetection) {
  FrequencyTracker t(program);
  t.start(run);
  MemorySurface target(1, 256);
  tone(2, 100.0f);  // level 50 dB, far above the threshold, but at row TrackFrom
  EXPECT_FALSE(t.TrackColumn(column(1), &target));
  EXPECT_EQ(target.pixel(0, 255 - 2), target.background());
  tone(3, 100.0f);
  EXPECT_TRUE(t.TrackColumn(column(2), &target));
  EXPECT_EQ(target.pixel(0, 255 - 3), rgb(255, 0, 0));
}

TEST_F(DetectorFixture, ToneExactlyAtTheThresholdIsNotDetected) {
  FrequencyTracker t(program);
  t.start(run);
  tone(40, 36.0f);  // level 18 dB = threshold
  EXPECT_FALSE(t.TrackColumn(column(1), nullptr));
  tone(40, 36.5f);
  EXPECT_TRUE(t.TrackColumn(column(2), nullptr));
}

TEST_F(DetectorFixture, EqualMaximaTakeTheLowestRowAndTheLabelShowsFrequencyAndLevel) {
  FrequencyTracker t(program);
  t.start(run);
  std::fill(P.begin(), P.end(), 0.0f);
  P[20] = P[30] = 60.0f;
  ColumnView c = column(1);
  c.Darkness = 5;
  c.ZoomBase = 4;
  MemorySurface target(1, 256);
  EXPECT_TRUE(t.TrackColumn(c, &target));
  EXPECT_EQ(target.pixel(0, 255 - 20), rgb(255, 0, 0));
  EXPECT_EQ(target.pixel(0, 255 - 30), target.background());
  // (row 20 + zoom base 4) x 46.875 Hz; level 30 dB shown less the colour shift.
  EXPECT_EQ(program.form1()["Label5"].caption(), " 1125Hz 25 dB");
}

TEST_F(DetectorFixture, EmptyOrOversizedBandsStayInsideTheColumn) {
  program.options1()["TrackFromField"].setText("50");
  program.options1()["TrackToField"].setText("50");
  FrequencyTracker t(program);
  t.start(run);
  tone(50, 100.0f);
  EXPECT_FALSE(t.TrackColumn(column(1), nullptr));

  // A band reaching past a 128-row column is searched only where rows exist.
  program.options1()["TrackFromField"].setText("2");
  program.options1()["TrackToField"].setText("512");
  t.start(run);
  P.assign(128, 0.0f);
  P[100] = 80.0f;
  MemorySurface target(1, 128);
  EXPECT_TRUE(t.TrackColumn(column(2), &target));
  EXPECT_EQ(target.pixel(0, 127 - 100), rgb(255, 0, 0));
}

TEST_F(DetectorFixture, TrackLogLinesByteForByte) {
  program.options1()["TrackToFileFlag"].setValue(1);
  FrequencyTracker t(program);
  t.start(run);
  ASSERT_TRUE(t.logging());
  EXPECT_EQ(t.logPath(), dir.file("track.track.txt"));

  tone(20, 60.0f);  // 937.5 Hz, 30 dB
  EXPECT_TRUE(t.TrackColumn(column(10), nullptr));
  clock.advance(1);
  EXPECT_TRUE(t.TrackColumn(column(11), nullptr));
  tone(2, 0.5f);  // nothing above the threshold: the run of detections ends
  EXPECT_FALSE(t.TrackColumn(column(12), nullptr));
  tone(30, 41.0f);  // 1406.25 Hz, 20.5 dB
  EXPECT_TRUE(t.TrackColumn(column(15), nullptr));
  EXPECT_EQ(t.TrackCount(), 1);
  t.finish();
  tone(30, 41.0f);
  t.TrackColumn(column(16), nullptr);  // after the run: not written

  std::string expected =
      "              RT  48000  1024  512        track  2  256  Treshold 18 \r\n"
      "DayTime       RelativeTime  BlockCount    GapCount      TrackCount    Frequency     Level\r\n"
      "12:00:00      00:00:00.107   10            9             1             937.5         30 \r\n"
      "12:00:01      00:00:00.117   11            0             2             937.5         30 \r\n"
      "12:00:01      00:00:00.160   15            3             1             1406.25       20.5 \r\n";
  EXPECT_EQ(readFile(t.logPath()), expected);
}

TEST_F(DetectorFixture, TrackLogThatCannotBeCreatedIsReportedOnceAndTrackingGoesOn) {
  program.options1()["TrackToFileFlag"].setValue(1);
  program.options1()["DefLogPath"].setText(dir.path() + "missing/folder");
  FrequencyTracker t(program);
  t.start(run);
  EXPECT_FALSE(t.logging());
  EXPECT_EQ(program.status(), "Cannot create track log " + dir.path() + "missing/folder/track.track.txt");
  program.setStatus("overlap 50%");
  tone(20, 60.0f);
  EXPECT_TRUE(t.TrackColumn(column(1), nullptr));
  EXPECT_EQ(program.status(), "overlap 50%");
}

TEST_F(DetectorFixture, TriggerBurstsGiveOneEventEachAndEndRecordsByteForByte) {
  Form& o1 = program.options1();
  o1["TriggerFlag"].setValue(1);
  o1["TriggerToFileFlag"].setValue(1);
  LevelTrigger trig(program);
  trig.start(run);
  ASSERT_TRUE(trig.enabled());
  ASSERT_TRUE(trig.logging());
  EXPECT_EQ(trig.logPath(), dir.file("trigger.trig.txt"));

  MemorySurface spec(600, 300);
  std::vector<LevelTrigger::Step> steps;
  for (int64_t n = 95; n <= 115; ++n) {
    bool loud = n == 100 || n == 103 || n == 110;
    steps.push_back(trig.TriggerColumn(column(n, loud ? 3000.0f : 100.0f), &spec));
  }
  using S = LevelTrigger::Step;
  EXPECT_EQ(steps[100 - 95], S::Event);
  EXPECT_EQ(steps[101 - 95], S::End);
  EXPECT_EQ(steps[103 - 95], S::Continue);  // 3 columns after the last loud one: same event
  EXPECT_EQ(steps[104 - 95], S::End);
  EXPECT_EQ(steps[110 - 95], S::Event);
  EXPECT_EQ(steps[111 - 95], S::End);
  EXPECT_EQ(steps[112 - 95], S::Off);
  EXPECT_EQ(trig.N(), 2);
  trig.finish();

  // The marks: red for an event, the continuing colour, the strip colour otherwise.
  EXPECT_EQ(spec.pixel(100, 266), rgb(255, 0, 0));
  EXPECT_EQ(spec.pixel(100, 272), rgb(255, 0, 0));
  EXPECT_EQ(spec.pixel(103, 269), trig.continueColour);
  EXPECT_EQ(spec.pixel(101, 270), trig.offColour);
  EXPECT_EQ(spec.pixel(100, 265), spec.background());

  std::string expected =
      "              RT  48000  1024  512  Treshold 2048 \r\n"
      "N             Count         DeltaCount    Time ms       Delta ms      PP\r\n"
      " 1             100           100           1066.667      1066.667      3000 \r\n"
      " 1             101           1             1077.333      10.66667      0 \r\n"
      " 1             104           4             1109.333      42.66667      0 \r\n"
      " 2             110           10            1173.333      106.6667      3000 \r\n"
      " 2             111           1             1184          10.66667      0 \r\n";
  EXPECT_EQ(readFile(trig.logPath()), expected);
}

TEST_F(DetectorFixture, TriggerNeedsMoreThanTheThresholdAndShowsEventsInTheLabel) {
  LevelTrigger trig(program);
  trig.start(run);
  EXPECT_FALSE(trig.logging());  // "Trigger" and "Log to file" unchecked
  EXPECT_EQ(trig.TriggerColumn(column(1, 2048.0f), nullptr), LevelTrigger::Step::Off);
  EXPECT_EQ(trig.TriggerColumn(column(2, 2048.5f), nullptr), LevelTrigger::Step::Event);
  EXPECT_EQ(program.form1()["Label5"].caption(), " 1 21.33333 2048.5");
  // The very first columns of a run can start an event too.
  trig.start(run);
  EXPECT_EQ(trig.TriggerColumn(column(1, 5000.0f), nullptr), LevelTrigger::Step::Event);
}

TEST_F(DetectorFixture, TimestampedLogsShareOneStamp) {
  Form& o1 = program.options1();
  o1["TrackToFileFlag"].setValue(1);
  o1["TriggerFlag"].setValue(1);
  o1["TriggerToFileFlag"].setValue(1);
  program.options0()["AddTimeStamp"].setValue(1);
  LogRunInfo r = run;
  r.namePart = LogNamePart(program, "_site4");
  EXPECT_EQ(r.namePart, "_site4 20260115 120000");
  FrequencyTracker t(program);
  LevelTrigger trig(program);
  t.start(r);
  clock.advance(1);  // a second passes between the two logs
  trig.start(r);
  EXPECT_EQ(t.logPath(), dir.file("track_site4 20260115 120000.track.txt"));
  EXPECT_EQ(trig.logPath(), dir.file("trigger_site4 20260115 120000.trig.txt"));
  EXPECT_EQ(readFile(t.logPath()).substr(0, 31), "_site4 20260115 120000      RT ");
}

TEST_F(DetectorFixture, LogsAreCreatedAnewAtEveryRunStart) {
  program.options1()["TrackToFileFlag"].setValue(1);
  FrequencyTracker t(program);
  t.start(run);
  tone(20, 60.0f);
  t.TrackColumn(column(1), nullptr);
  t.finish();
  t.start(run);
  t.finish();
  std::string text = readFile(dir.file("track.track.txt"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);  // the header lines only
}

}  // namespace
}  // namespace qv
