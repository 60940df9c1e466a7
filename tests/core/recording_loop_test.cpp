#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/settings.h"
#include "recording/recording_loop.h"
#include "recording_fixture.h"
#include "recording_loop_util.h"
#include "support/wav_parts.h"
#include "analysis/engine.h"
#include "support/program_rig.h"

namespace qv {
namespace {

using test::le32;
using test::logLines;
using test::recLine;
using test::readFile;
using test::readWavSamples;
using test::sampleAt;

struct RecordingLoopTest : test::RecordingFixture {
  RunParams run;
  RecordingLoop loop{p()};
  std::vector<int16_t> blockData;
  int blockNo = 0;

  RecordingLoopTest() {
    p().vars().RecLogFile = dir.file("RecLog.Log");
    p().vars().Task = 2;
    p().vars().SampleRate = 48000;
    mono();
    run.BlockSize = 4096;
    p().form1()["Combo10"].setText("Line In");
  }
  void mono() {
    p().vars().Channels = 1;
    opt("NchanCombo").setText("1 - mono");
  }
  void stereo() {
    p().vars().Channels = 2;
    opt("NchanCombo").setText("2 - stereo");
  }
  bool start() {
    p().vars().StopFlag = false;
    return loop.setUp(p(), run);
  }
  // One block whose every word is the block number.
  void feed(int blocks = 1, double secondsPerBlock = 0) {
    blockData.resize(static_cast<size_t>(run.BlockSize));
    for (int i = 0; i < blocks; ++i) {
      std::fill(blockData.begin(), blockData.end(), static_cast<int16_t>(++blockNo));
      loop.block(blockData.data(), run.BlockSize);
      if (secondsPerBlock > 0) clock.advance(secondsPerBlock);
    }
  }
  std::vector<std::string> log() { return logLines(dir.file("RecLog.Log")); }
  std::string file(const std::string& name) { return dir.file(name); }
  std::string stamp = "20260115 105930";
  std::string firstName() { return dir.file("Quorvel _" + stamp + ".wav"); }
};

TEST_F(RecordingLoopTest, SingleFileRunLogsItsLinesAndPatchesTheFile) {
  ASSERT_TRUE(start());
  EXPECT_TRUE(loop.recording());
  const std::string f = firstName();
  EXPECT_EQ(p().vars().RecFile, f);
  EXPECT_EQ(loop.runInfo(), "  Rec " + f + " (max 680MB)");
  feed(10);
  EXPECT_EQ(p().vars().FileTime, "00:00:00.853");
  EXPECT_EQ(p().form1()["Label18"].caption(), "80 kB");
  EXPECT_EQ(p().form1()["Label24"].caption(), "00:00:00");
  p().vars().FailCount = 1;
  loop.fail();
  p().vars().OverloadCount = 3;
  p().vars().StopFlag = true;
  loop.tearDown();
  EXPECT_FALSE(loop.recording());

  const auto lines = log();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], recLine("10:59:30", "", " 1ch 48000 Line In block 4096"));
  EXPECT_EQ(lines[1], recLine("10:59:30", "", "Creating " + f + " Rec Mode 2 - single file"));
  EXPECT_EQ(lines[2], recLine("10:59:30", "00:00:00.853", "Fail"));
  // 48 + 10 * 8192 bytes = 81968 bytes = 80.05 kB.
  EXPECT_EQ(lines[3], recLine("10:59:30", "00:00:00.853", "Closing  " + f + " 80kB Fails 1 Overloads 3"));

  const std::string b = readWavSamples(f);
  ASSERT_EQ(b.size(), 48u + 10 * 8192);
  EXPECT_EQ(le32(b, 40), b.size() - 44);
  EXPECT_EQ(le32(b, 44), 0u);
  EXPECT_EQ(sampleAt(b, 48), 1);
  EXPECT_EQ(sampleAt(b, b.size() - 2), 10);
  EXPECT_EQ(p().form1()["StartStop"].caption(), "Start Rec");
  EXPECT_TRUE(p().vars().StopFlag);
  if (test::haveSox()) {
    EXPECT_EQ(test::soxSamples(f), (10 * 8192 + 4) / 2);
  }
}

TEST_F(RecordingLoopTest, NothingHappensOutsideTheRecordingMode) {
  p().vars().Task = 1;
  ASSERT_TRUE(start());
  feed(3);
  loop.tearDown();
  EXPECT_FALSE(std::filesystem::exists(dir.file("RecLog.Log")));
  EXPECT_FALSE(std::filesystem::exists(firstName()));
}

TEST_F(RecordingLoopTest, AnOlderFileOfTheSameNameIsKeptAndTheRecordingTakesTheNextSuffix) {
  test::writeFile(firstName(), std::string(100000, 'x'));
  ASSERT_TRUE(start());
  const std::string taken = file("Quorvel _" + stamp + "-2.wav");
  EXPECT_EQ(p().vars().RecFile, taken);
  feed(1);
  loop.tearDown();
  EXPECT_EQ(readFile(firstName()), std::string(100000, 'x'));
  EXPECT_EQ(readWavSamples(taken).size(), 48u + 8192);
  // The log names the file actually written.
  EXPECT_NE(readFile(p().programFile("RecLog.Log")).find("Creating " + taken + " Rec Mode"), std::string::npos);
}

TEST_F(RecordingLoopTest, MultipleFilesCloseJustPastTheLimitAndStopAfterMaxNFiles) {
  opt("FileMaxSizeCombo").setText("1 MB");
  opt("FileModeCombo").setText("3 - multiple file");
  opt("MaxNFiles").setText("2");
  ASSERT_TRUE(start());
  EXPECT_EQ(loop.runInfo(), "  Rec " + firstName() + " (max 1MB)(Repeat)");
  feed(128);
  // 48 + 128 * 8192 passes 1048576: the first file is closed.
  EXPECT_EQ(loop.fileIndex(), 2);
  EXPECT_FALSE(p().vars().StopFlag);
  feed(128);
  EXPECT_EQ(loop.fileIndex(), 3);
  EXPECT_TRUE(p().vars().StopFlag);  // the third file still takes the rest of the pass
  feed(3);
  loop.tearDown();

  // All three files begin in the same second: later ones get a suffix.
  const std::string f1 = firstName(), f2 = file("Quorvel _" + stamp + "-2.wav"),
                    f3 = file("Quorvel _" + stamp + "-3.wav");
  for (const std::string& f : {f1, f2}) {
    const std::string b = readWavSamples(f);
    EXPECT_GE(b.size(), 1048576u) << f;
    EXPECT_LT(b.size(), 1048576u + 8192) << f;
    EXPECT_EQ(le32(b, 40), b.size() - 44);
  }
  EXPECT_EQ(sampleAt(readWavSamples(f2), 48), 129);
  const std::string b3 = readWavSamples(f3);
  EXPECT_EQ(b3.size(), 48u + 3 * 8192);
  EXPECT_EQ(sampleAt(b3, 48), 257);
  if (test::haveSox()) {
    EXPECT_EQ(test::soxSamples(f3), (3 * 8192 + 4) / 2);
  }

  const auto lines = log();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[1], recLine("10:59:30", "", "Creating " + f1 + " Rec Mode 3 - multiple file"));
  EXPECT_EQ(lines[2], recLine("10:59:30", "00:00:10.837", "Closing  " + f1 + " Fails 0 Overloads 0"));
  EXPECT_EQ(lines[3], recLine("10:59:30", "", "Creating " + f2));
  EXPECT_EQ(lines[4], recLine("10:59:30", "00:00:10.837", "Closing  " + f2 + " Fails 0 Overloads 0"));
  EXPECT_EQ(lines[5], recLine("10:59:30", "", "Creating " + f3));
  EXPECT_EQ(lines[6], recLine("10:59:30", "00:00:00.256", "Closing  " + f3 + " 24kB Fails 0 Overloads 0"));
}

TEST_F(RecordingLoopTest, StereoRolloverUsesTheOtherWordsAndCountsRestartPerFile) {
  stereo();
  opt("FileMaxSizeCombo").setText("1 MB");
  opt("FileModeCombo").setText("3 - multiple file");
  ASSERT_TRUE(start());
  feed(100);
  p().vars().FailCount = 2;
  p().vars().OverloadCount = 5;
  feed(28);
  EXPECT_EQ(p().vars().FailCount, 0);
  EXPECT_EQ(p().vars().OverloadCount, 0);
  loop.tearDown();
  const auto lines = log();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], recLine("10:59:30", "", " 2ch 48000 Line In block 4096"));
  EXPECT_EQ(lines[2], recLine("10:59:30", "00:00:05.419", "Closed  " + firstName() + " Fails 2 Overloads 5"));
  EXPECT_EQ(lines[3], recLine("10:59:30", "", "Created " + file("Quorvel _" + stamp + "-2.wav")));
  EXPECT_EQ(p().form1()["StartStop"].caption(), "Start");
}

TEST_F(RecordingLoopTest, CircularFileWrapsToByte48AndKeepsItsFirstLength) {
  opt("FileMaxSizeCombo").setText("1 MB");
  opt("FileModeCombo").setText("1 - circular");
  ASSERT_TRUE(start());
  feed(128);
  EXPECT_EQ(loop.writer().position(), 48);
  feed(5);
  EXPECT_EQ(p().vars().FileTime, "00:00:00.427");  // counted from the wrap
  loop.tearDown();
  const std::string b = readWavSamples(firstName());
  ASSERT_EQ(b.size(), 48u + 128 * 8192);
  EXPECT_EQ(le32(b, 40), b.size() - 44);
  EXPECT_EQ(sampleAt(b, 48), 129);              // newest blocks at the start
  EXPECT_EQ(sampleAt(b, 48 + 5 * 8192), 6);     // then the oldest kept
  const auto lines = log();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2], recLine("10:59:30", "00:00:10.837", "rewriting " + firstName()));
}

TEST_F(RecordingLoopTest, SingleFileStopsAtTheLimit) {
  opt("FileMaxSizeCombo").setText("1 MB");
  ASSERT_TRUE(start());
  feed(127);
  EXPECT_FALSE(p().vars().StopFlag);
  feed(1);
  EXPECT_TRUE(p().vars().StopFlag);
  loop.tearDown();
  EXPECT_EQ(readWavSamples(firstName()).size(), 48u + 128 * 8192);
}

TEST_F(RecordingLoopTest, HourlySplitOnTheFirstBlockOfTheNewHour) {
  opt("FileModeCombo").setText("3 - multiple file");
  opt("SplitHourly").setValue(1);
  ASSERT_TRUE(start());
  EXPECT_EQ(loop.runInfo(), "  Rec " + firstName() + " (Split hourly)(Repeat)");
  // Blocks of 1/8 s from 10:59:30: the 241st is stamped 11:00:00.
  feed(240, 0.125);
  EXPECT_EQ(loop.fileIndex(), 1);
  feed(1, 0.125);
  EXPECT_EQ(loop.fileIndex(), 2);
  const std::string second = file("Quorvel _20260115 110000.wav");
  EXPECT_EQ(p().vars().RecFile, second);
  feed(10, 0.125);
  loop.tearDown();
  const auto lines = log();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[2].substr(42), "Closed  " + firstName() + " Fails 0 Overloads 0");
  EXPECT_EQ(lines[3], recLine("11:00:00", "", "Created " + second));
  // The block stamped 11:00 still ends the first file, as the split follows the write.
  EXPECT_EQ(sampleAt(readWavSamples(second), 48), 242);
  EXPECT_EQ(readWavSamples(firstName()).size(), 48u + 241 * 8192);
}

TEST_F(RecordingLoopTest, StereoHourlySplitUsesClosingAndCreating) {
  stereo();
  clock.set(2026, 1, 15, 11, 59, 59);
  opt("FileModeCombo").setText("3 - multiple file");
  opt("SplitHourly").setValue(1);
  ASSERT_TRUE(start());
  feed(12, 0.125);
  EXPECT_EQ(loop.fileIndex(), 2);
  loop.tearDown();
  const auto lines = log();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[2].substr(42), "Closing  " + file("Quorvel _20260115 115959.wav") + " Fails 0 Overloads 0");
  EXPECT_EQ(lines[3], recLine("12:00:00", "", "Creating " + file("Quorvel _20260115 120000.wav")));
}

TEST_F(RecordingLoopTest, HourlySplitDoesNotSplitARunStartedAfterTheHour) {
  clock.set(2026, 1, 15, 11, 0, 10);
  opt("FileModeCombo").setText("3 - multiple file");
  opt("SplitHourly").setValue(1);
  ASSERT_TRUE(start());
  feed(600, 0.125);  // up to 11:01:25
  loop.tearDown();
  EXPECT_EQ(loop.fileIndex(), 1);
  EXPECT_EQ(log().size(), 3u);
}

TEST_F(RecordingLoopTest, RecPauseWritesOneBlockOfZerosAtEachPauseStart) {
  Control& rp = p().form1()["RecPauseFlag"];
  ASSERT_TRUE(start());
  feed(2);
  rp.setValue(1);
  feed(3);
  rp.setValue(0);
  feed(1);
  rp.setValue(1);
  feed(2);
  rp.setValue(0);
  feed(1);
  loop.tearDown();
  const std::string b = readWavSamples(firstName());
  ASSERT_EQ(b.size(), 48u + 6 * 8192);
  const int expected[] = {1, 2, 0, 6, 0, 9};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(sampleAt(b, 48 + i * 8192 + 100), expected[i]) << i;
  const auto lines = log();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[2].substr(42), "Pausing...");
  EXPECT_EQ(lines[3].substr(42), "Resuming...");
  EXPECT_EQ(lines[4].substr(42), "Pausing...");
  EXPECT_EQ(lines[5].substr(42), "Resuming...");
}

TEST_F(RecordingLoopTest, PauseButtonLogsPausingAndResuming) {
  ASSERT_TRUE(start());
  feed(1);
  loop.pause(true);
  loop.pause(false);
  loop.tearDown();
  const auto lines = log();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[2], recLine("10:59:30", "00:00:00.085", "Pausing..."));
  EXPECT_EQ(lines[3], recLine("10:59:30", "00:00:00.085", "Resuming..."));
}

TEST_F(RecordingLoopTest, DiskNearlyFullInSingleFileModeStopsAndPatches) {
  ASSERT_TRUE(start());
  feed(3);
  disk.defaultFreeKB = 99999;
  feed(1);
  EXPECT_TRUE(p().vars().StopFlag);
  feed(1);  // rest of the pass, still written
  loop.tearDown();
  const std::string f = firstName();
  const auto lines = log();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2], recLine("10:59:30", "00:00:00.256", "Disk Full - Closing " + f + " Fails 0 Overloads 0"));
  EXPECT_EQ(lines[3].substr(42), "Closing  " + f + " 40kB Fails 0 Overloads 0");
  const std::string b = readWavSamples(f);
  EXPECT_EQ(b.size(), 48u + 5 * 8192);
  EXPECT_EQ(le32(b, 40), b.size() - 44);
}

TEST_F(RecordingLoopTest, DiskNearlyFullInMultipleModeSpansToTheNextFolder) {
  const std::string span = dir.file("span/");
  std::filesystem::create_directory(span);
  opt("FileModeCombo").setText("3 - multiple file");
  opt("SpanDiskCheck").setValue(1);
  opt("SpanFolders").setText(span);
  disk.freeByPrefix[span] = 50LL * 1024 * 1024;
  ASSERT_TRUE(start());
  feed(2);
  disk.freeByPrefix[dir.path()] = 1000;
  feed(1);
  EXPECT_FALSE(p().vars().StopFlag);
  EXPECT_EQ(loop.folder(), span);
  const std::string next = span + "Quorvel _" + stamp + ".wav";
  EXPECT_EQ(p().vars().RecFile, next);
  feed(4);
  loop.tearDown();
  const auto lines = log();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[2], recLine("10:59:30", "00:00:00.171", "Disk Full - Closing  " + firstName() + " Fails 0 Overloads 0"));
  EXPECT_EQ(lines[3], recLine("10:59:30", "00:00:00.171", "Switch to " + span));
  EXPECT_EQ(lines[4], recLine("10:59:30", "", "Creating " + next));
  EXPECT_EQ(readWavSamples(firstName()).size(), 48u + 3 * 8192);
  EXPECT_EQ(readWavSamples(next).size(), 48u + 4 * 8192);
}

TEST_F(RecordingLoopTest, SpanningFolderNotWritableStopsTheRun) {
  const std::string span = dir.file("span/");
  std::filesystem::create_directory(span);
  opt("FileModeCombo").setText("3 - multiple file");
  opt("SpanDiskCheck").setValue(1);
  opt("SpanFolders").setText(span);
  disk.notWritable.insert(span);
  ASSERT_TRUE(start());
  feed(2);
  disk.defaultFreeKB = 1000;
  feed(1);
  EXPECT_TRUE(p().vars().StopFlag);
  feed(1);  // nowhere to write: dropped, the closed file stays as it is
  loop.tearDown();
  const auto lines = log();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[3], recLine("10:59:30", "00:00:00.171", "Switch to " + span));
  EXPECT_EQ(lines[4], recLine("10:59:30", "00:00:00.171", "Stop: " + span + " non writable"));
  const std::string b = readWavSamples(firstName());
  EXPECT_EQ(b.size(), 48u + 3 * 8192);
  EXPECT_EQ(le32(b, 40), b.size() - 44);
}

TEST_F(RecordingLoopTest, NotEnoughSpaceAtTheStartRefusesTheRun) {
  disk.defaultFreeKB = 5000;
  EXPECT_FALSE(start());
  EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"Not enough space on " + dir.path()});
  EXPECT_EQ(p().form1()["StartStop"].caption(), "REC Start");
  EXPECT_FALSE(std::filesystem::exists(firstName()));
}

TEST_F(RecordingLoopTest, LargeMaxSizesAreExactOrRefused) {
  opt("FileMaxSizeCombo").setText("3000 MB");
  ASSERT_TRUE(start());
  EXPECT_EQ(loop.runInfo(), "  Rec " + firstName() + " (max 3000MB)");
  feed(2);  // a limit wrapped to 32 bits would stop at once
  EXPECT_FALSE(p().vars().StopFlag);
  loop.tearDown();
  opt("FileMaxSizeCombo").setText("5000 MB");
  EXPECT_FALSE(start());
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_NE(dialogs.shown[0].text.find("4095"), std::string::npos);
  EXPECT_EQ(log().size(), 3u);  // the refused run left no line
}

// A file that can no longer grow mid-run (the process file-size limit stands
// in for a full disk): logged with the file and the reason, shown, the run
// ends and the file is closed with its header patched.
TEST_F(RecordingLoopTest, WriteFailureEndsTheRunWithTheFilePatched) {
  ASSERT_TRUE(start());
  feed(2);
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit lim = old;
  lim.rlim_cur = 48 + 4 * 8192;
  setrlimit(RLIMIT_FSIZE, &lim);
  feed(4);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(loop.failed());
  EXPECT_TRUE(p().vars().StopFlag);
  EXPECT_FALSE(loop.writer().isOpen());
  loop.tearDown();
  const std::string f = firstName();
  const std::string b = readWavSamples(f);
  ASSERT_EQ(b.size(), 48u + 4 * 8192);
  EXPECT_EQ(le32(b, 40), b.size() - 44);
  const auto lines = log();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2].substr(42, 6 + 16 + f.size()), "Stop: Cannot write to " + f);
  EXPECT_EQ(lines[3].substr(42), "Closing  " + f + " 32kB Fails 0 Overloads 0");
  EXPECT_NE(p().status().find("Recording stopped: Cannot write to " + f), std::string::npos);
}

TEST_F(RecordingLoopTest, NextFileInARemovedFolderEndsTheRun) {
  const std::string folder = dir.file("rec/");
  std::filesystem::create_directory(folder);
  opt("FileRecPathField").setText(folder);
  opt("FileMaxSizeCombo").setText("1 MB");
  opt("FileModeCombo").setText("3 - multiple file");
  ASSERT_TRUE(start());
  // The folder goes away under the open file: the next file cannot be made.
  std::filesystem::rename(folder, dir.file("moved"));
  feed(129);
  EXPECT_TRUE(loop.failed());
  EXPECT_TRUE(p().vars().StopFlag);
  loop.tearDown();
  const auto lines = log();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[2].substr(42), "Closing  " + folder + "Quorvel _" + stamp + ".wav Fails 0 Overloads 0");
  EXPECT_EQ(lines[4].substr(42, 20), "Stop: Cannot create ");
  EXPECT_NE(lines[4].find("No such file or directory"), std::string::npos);
  const std::string b = readWavSamples(dir.file("moved/Quorvel _" + stamp + ".wav"));
  ASSERT_EQ(b.size(), 48u + 128 * 8192);
  EXPECT_EQ(le32(b, 40), b.size() - 44);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(RecordingLoopAssembled, OverloadCountRestartsWithEveryFile) {
  test::ProgramRig rig;
  RecordingLoop* loop = nullptr;
  for (LiveParticipant* part : rig.p().liveParticipants())
    if (auto* r = dynamic_cast<RecordingLoop*>(part)) loop = r;
  ASSERT_NE(loop, nullptr);
  rig.options0("FileRecPathField").setText(rig.home.path());
  rig.options0("FileMaxSizeCombo").setText("1 MB");
  rig.options0("FileModeCombo").setText("3 - multiple file");
  rig.p().vars().Task = 2;
  RunParams run;
  run.BlockSize = 4096;
  ASSERT_TRUE(loop->setUp(rig.p(), run));
  SpectrumEngine& eng = rig.p().analysis()->spectrum();
  eng.overloadCount = 5;
  rig.p().vars().OverloadCount = 5;
  std::vector<int16_t> block(4096, 1);
  for (int i = 0; i < 128; ++i) loop->block(block.data(), 4096);
  EXPECT_EQ(loop->fileIndex(), 2);
  EXPECT_EQ(eng.overloadCount, 0);
  EXPECT_EQ(rig.p().vars().OverloadCount, 0);
  loop->tearDown();
  const auto lines = logLines(rig.p().vars().RecLogFile);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_NE(lines[2].find(" Fails 0 Overloads 5"), std::string::npos);
}

}  // namespace
}  // namespace qv
