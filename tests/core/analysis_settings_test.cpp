#include <gtest/gtest.h>

#include "analysis/settings.h"
#include "analysis/text_format.h"
#include "analysis_fixture.h"

namespace qv {
namespace {

using testing_support::AnalysisProgram;

TEST(AnalysisSettings, TypedFftSizesBetweenPowersOfTwoAreRepaired) {
  AnalysisProgram a;
  a.f1()["Combo1"].setText("65536");
  a.f1()["Combo3"].setText("6144");
  CheckFFTsize(*a.program);
  EXPECT_EQ(a.f1()["Combo3"].text(), "4096");
  EXPECT_EQ(a.vars().FFTsize, 4096);
  a.f1()["Combo3"].setText("12288");
  CheckFFTsize(*a.program);
  EXPECT_EQ(a.f1()["Combo3"].text(), "8192");
  a.f1()["Combo3"].setText("3072");
  CheckFFTsize(*a.program);
  EXPECT_EQ(a.vars().FFTsize, 2048);
  a.f1()["Combo3"].setText("1000");
  CheckFFTsize(*a.program);
  EXPECT_EQ(a.f1()["Combo3"].text(), "1000");  // kept as typed
  // Beyond the largest transform the arrays hold.
  a.f1()["Combo3"].setText("65536");
  CheckFFTsize(*a.program);
  EXPECT_EQ(a.vars().FFTsize, 16384);
}

TEST(AnalysisSettings, ChoosingAScanStepRaisesTheBlockSizeByDoubling) {
  AnalysisProgram a;
  a.f1()["Combo1"].setText("4096");
  ASSERT_TRUE(a.f1()["Combo6"].selectItem("16384"));
  EXPECT_EQ(a.f1()["Combo1"].text(), "32768");
  EXPECT_EQ(a.f1()["Combo6"].text(), "16384");
  // A typed scan step above half the block is cut at the next repair instead.
  a.f1()["Combo1"].setText("4096");
  EXPECT_EQ(a.f1()["Combo6"].text(), "2048");
}

TEST(AnalysisSettings, ChoosingASmallBlockLowersFftWindowAndScanStep) {
  AnalysisProgram a;
  a.f1()["Combo1"].setText("8192");
  a.f1()["Combo3"].setText("4096");
  a.f1()["Combo4"].setText("4096");
  a.f1()["Combo6"].setText("2048");
  ASSERT_TRUE(a.f1()["Combo1"].selectItem("1024"));
  EXPECT_EQ(a.f1()["Combo3"].text(), "1024");
  EXPECT_LE(a.f1()["Combo4"].number(), 1024);
  EXPECT_LE(a.f1()["Combo6"].number(), 512);
  EXPECT_EQ(a.vars().FFTsize, 1024);
}

TEST(AnalysisSettings, ChoosingFftOrWindowSizeKeepsTheOthersConsistent) {
  AnalysisProgram a;
  a.f1()["Combo1"].setText("2048");
  a.f1()["Combo3"].setText("2048");
  a.f1()["Combo4"].setText("2048");
  a.f1()["Combo6"].setText("512");
  ASSERT_TRUE(a.f1()["Combo3"].selectItem("1024"));  // window follows down
  EXPECT_EQ(a.f1()["Combo4"].text(), "1024");
  ASSERT_TRUE(a.f1()["Combo3"].selectItem("8192"));  // block follows up
  EXPECT_EQ(a.f1()["Combo1"].text(), "8192");
  ASSERT_TRUE(a.f1()["Combo4"].selectItem("16384"));  // FFT and block follow the window
  EXPECT_EQ(a.f1()["Combo3"].text(), "16384");
  EXPECT_EQ(a.f1()["Combo1"].text(), "16384");
}

TEST(AnalysisSettings, RepairsOfEmptyAndOutOfRangeBoxes) {
  AnalysisProgram a;
  Form& f = a.f1();
  a.opt0()["Combo5"].setListIndex(3);
  f["Combo5"].setText("");
  f["Combo1"].setText("100");
  f["Combo2"].setText("0");
  f["Combo4"].setText("");
  f["Combo7"].setText("");
  f["Combo8"].setText("-3");
  a.opt0()["FileRecPathField"].setText("/data/rec");
  a.engine->beginRun(512);
  EXPECT_EQ(f["Combo5"].text(), "Hanning");
  EXPECT_EQ(a.opt0()["Combo5"].listIndex(), 1);
  EXPECT_EQ(f["Combo1"].text(), "4096");
  EXPECT_EQ(f["Combo2"].text(), "32000");
  EXPECT_EQ(f["Combo4"].text(), "512");
  EXPECT_EQ(f["Combo7"].text(), "256");
  EXPECT_EQ(f["Combo8"].text(), "0");
  EXPECT_EQ(a.opt0()["FileRecPathField"].text(), "/data/rec/");
  EXPECT_EQ(a.vars().SampleRate, 32000);
  EXPECT_EQ(a.engine->run().windowType, 1);
  EXPECT_EQ(a.engine->windowInfo().name, "Hanning");
}

TEST(AnalysisSettings, RunStartClampsAndDerivedValues) {
  AnalysisProgram a;
  Form& f = a.f1();
  f["Combo2"].setText("48000");
  f["Combo1"].setText("4096");
  f["Combo3"].setText("1024");
  f["Combo4"].setText("1024");
  f["Combo6"].setText("256");
  a.opt1()["TapeSpeedCombo"].setText("2");
  a.opt1()["FrequencyDivisionCombo"].setText("10");
  RunParams r = a.engine->beginRun(1000);
  EXPECT_EQ(r.BlockSize, 4096);
  EXPECT_FLOAT_EQ(r.BinWidthHz, 48000.0f / 1024 / 2 * 10);
  EXPECT_FLOAT_EQ(r.ColumnTimeMs, 256 * 1000.0f / 48000 * 2);
  EXPECT_DOUBLE_EQ(r.blockSeconds, 4096.0 / 48000);
  EXPECT_EQ(r.columnsPerBlock, 16);
  EXPECT_EQ(r.carry, 768);
  EXPECT_EQ(r.fftOrder, 10);
  EXPECT_FALSE(r.skip);
  EXPECT_DOUBLE_EQ(r.overlapPercent, 75);
  EXPECT_EQ(r.levelStart, 384);
  EXPECT_EQ(r.levelLength, 256);
  EXPECT_DOUBLE_EQ(r.displaySeconds, 5.333);  // 1000 x 256 / 48000
  RunTexts t = a.engine->runTexts();
  EXPECT_EQ(t.statusLine, "overlap 75%");
  EXPECT_EQ(t.runInfo, " 48000s/sec 1ch  Block  4096= 85.333msec  Display 5.333sec");

  // Scan step beyond the block, block below the FFT size: clamped at the start.
  RunParams p;
  PublicVars v;
  v.FFTsize = 4096;
  p.BlockSize = 2048;
  p.ScanStep = 4096;
  p.WindowSize = 4096;
  deriveRunParams(p, v);
  EXPECT_EQ(p.carry, 0);  // scan step >= FFT size: nothing carried
}

TEST(AnalysisSettings, SkipModeTexts) {
  AnalysisProgram a;
  Form& f = a.f1();
  f["Combo1"].setText("4096");
  f["Combo3"].setText("512");
  f["Combo4"].setText("256");
  f["Combo6"].setText("512");
  RunParams r = a.engine->beginRun(512);
  EXPECT_TRUE(r.skip);
  EXPECT_EQ(r.levelStart, 0);
  EXPECT_EQ(r.levelLength, 256);
  EXPECT_EQ(a.engine->runTexts().statusLine, "skip");

  Form& o = a.opt0();
  o["Combo4"].setText("256");
  o["Combo6"].setText("512");
  a.engine->UpdateInfo();
  ASSERT_EQ(a.engine->infoLines.size(), 6u);
  EXPECT_EQ(a.engine->infoLines[4], "Scan Step 512 = 10.667 msec   Skip 256 samples every 256");
}

TEST(AnalysisSettings, RamBufferSizes) {
  PublicVars v;
  RunParams p;
  p.BlockSize = 4096;
  p.ramBufferMB = 0;
  deriveRunParams(p, v);
  EXPECT_EQ(p.ramBufferSamples, 0);
  p.ramBufferMB = 4;
  deriveRunParams(p, v);
  EXPECT_EQ(p.ramBufferSamples, 2097152);
  EXPECT_EQ(p.ramBufferBlocks, 512);
  EXPECT_FALSE(p.ramBufferClamped);
  // 256 Mbytes in 2048-sample blocks is 65536 blocks: more than 16 bits count, kept whole.
  p.BlockSize = 2048;
  p.ramBufferMB = 256;
  deriveRunParams(p, v);
  EXPECT_FALSE(p.ramBufferClamped);
  EXPECT_EQ(p.ramBufferBlocks, 65536);
  EXPECT_EQ(p.ramBufferSamples, 65536LL * 2048);
  EXPECT_GT(p.ramBufferSeconds, 0);
  // A typed size beyond memory is cut to the largest buffer.
  p.ramBufferMB = 100000;
  deriveRunParams(p, v);
  EXPECT_TRUE(p.ramBufferClamped);
  EXPECT_EQ(p.ramBufferSamples, kMaxRamBufferWords);
  // Buffer text in the run information label.
  v.SampleRate = 48000;
  p.BlockSize = 4096;
  p.ScanStep = 512;
  p.WindowSize = 512;
  p.pictureWidth = 0;
  p.ramBufferMB = 4;
  deriveRunParams(p, v);
  EXPECT_NE(runStatusTexts(p, v).runInfo.find("  Buffer  43.69sec"), std::string::npos);
}

TEST(AnalysisSettings, InformationLinesAndRecordingDuration) {
  AnalysisProgram a;
  Form& o = a.opt0();
  o["Combo2"].setText("48000");
  o["NchanCombo"].setText("2 - stereo");
  o["Combo3"].setText("1024");
  o["Combo4"].setText("512");
  o["Combo5"].setListIndex(1);
  o["Combo6"].setText("384");
  o["FileMaxSizeCombo"].setText("680 MB (CD size)");
  a.engine->UpdateInfo();
  std::vector<std::string> want = {
      "Sampling rate 48000 samples/sec  Channels 2",
      "FFT size 1024 = 21.333 msec",
      "Window Size 512 = 10.667 msec   Type Hanning",
      "Frequency resolution 46.875  Bandwidth 135 Hz",
      "Scan Step 384 = 8 msec   Overlap 25%",
      "FFT x sec 125 x channel",
  };
  EXPECT_EQ(a.engine->infoLines, want);
  EXPECT_DOUBLE_EQ(a.engine->RecDuration, 3713.7);
  EXPECT_EQ(recDurationText(a.engine->RecDuration), "= 01:01:53");
  // The lines are printed into the information box.
  auto pic = o["Picture1"].surface();
  ASSERT_TRUE(pic);
  bool ink = false;
  for (int x = 0; x < pic->width() && !ink; ++x)
    for (int y = 0; y < 14 && !ink; ++y) ink = pic->pixel(x, y) != pic->background();
  EXPECT_TRUE(ink);
}

TEST(AnalysisSettings, BasicSettingsRulesAndApply) {
  AnalysisProgram a;
  Form& o = a.opt0();
  Form& f = a.f1();
  o["Combo1"].setText("4096");
  ASSERT_TRUE(o["Combo6"].selectItem("16384"));
  EXPECT_EQ(o["Combo1"].text(), "32768");
  EXPECT_TRUE(a.engine->Changed);
  EXPECT_EQ(f["Combo1"].text(), "16384");  // the main window waits for Apply

  o["Combo3"].setText("2048");
  o["Combo5"].setListIndex(2);
  o["Combo12"].setText("8 Mbytes");
  o.setShown(true);
  o["ok"].click();
  EXPECT_FALSE(o.shown());
  EXPECT_EQ(f["Combo1"].text(), "32768");
  EXPECT_EQ(f["Combo6"].text(), "16384");
  EXPECT_EQ(f["Combo3"].text(), "2048");
  EXPECT_EQ(f["Combo5"].text(), "Hamming");
  EXPECT_EQ(f["Combo5"].listIndex(), 2);
  EXPECT_EQ(f["Combo12"].text(), "8 Mbytes");
  EXPECT_EQ(a.vars().FFTsize, 2048);
  EXPECT_FALSE(a.engine->Changed);
}

TEST(AnalysisSettings, ChannelModeFromTheDisplayButtons) {
  AnalysisProgram a;
  EXPECT_EQ(chanModeFromOptions(*a.program), "M");
  a.opt0()["OptionCS4"].setValue(1);
  EXPECT_EQ(chanModeFromOptions(*a.program), "L-R");
  a.opt0()["OptionCS3"].setValue(1);
  EXPECT_EQ(chanModeFromOptions(*a.program), "L+R");
  a.opt0()["OptionCS3"].setValue(0);  // none selected: back to "Stereo"
  EXPECT_EQ(chanModeFromOptions(*a.program), "M");
  EXPECT_TRUE(a.opt0()["OptionCS0"].checked());
}

TEST(AnalysisSettings, DurationAndNumberTexts) {
  EXPECT_EQ(formatDuration(3713.7), "01:01:53.700");
  EXPECT_EQ(formatDuration(0.0005), "00:00:00.001");
  EXPECT_EQ(formatDuration(360000 + 61.25), "00:01:01.250");  // 101 hours keep "01"
  EXPECT_EQ(strNum(5), " 5");
  EXPECT_EQ(strNum(-2.5), "-2.5");
  EXPECT_DOUBLE_EQ(roundHalfUp(21.3335, 3), 21.334);
}

}  // namespace
}  // namespace qv
