#include <gtest/gtest.h>

#include <cmath>

#include "analysis_fixture.h"

namespace qv {
namespace {

using testing_support::AnalysisProgram;

TEST(AnalysisEngine, RunReadsTheControlsAndWritesItsTexts) {
  AnalysisProgram a;
  Form& f = a.f1();
  f["Combo1"].setText("4096");
  f["Combo3"].setText("1024");
  f["Combo4"].setText("1024");
  f["Combo5"].setListIndex(4);
  f["Combo6"].setText("512");
  f["Combo7"].setText("256");
  f["Combo12"].setText("4 Mbytes");
  a.opt1()["AvgCombo"].setText("3 - Hold Max");
  a.opt1()["DerivateFlag"].setValue(1);
  RunParams r = a.engine->beginRun(600);
  EXPECT_EQ(a.engine->windowInfo().name, "Gaussian");
  EXPECT_EQ(a.engine->spectrum().setup().avgMode, 3);
  EXPECT_TRUE(a.engine->spectrum().setup().derivate);
  EXPECT_EQ(a.engine->spectrum().setup().zoomFactor, 2);
  EXPECT_EQ(r.ramBufferSamples, 2097152);
  EXPECT_EQ(a.vars().ZoomMode, 0);  // 1024 points compress 2 bins per row; "Zoom" unticked
  a.engine->showRunTexts();
  EXPECT_EQ(a.program->status(), "overlap 50%");
  EXPECT_EQ(f["Label4"].caption(), " 48000s/sec 1ch  Block  4096= 85.333msec  Display 6.4sec  Buffer  43.69sec");

  a.engine->spectrum().ComputeSpectrumColumn(0, a.vars());
  EXPECT_EQ(a.engine->specWindow().PlotCount, 0);  // spectrum window not enabled
  a.program->options2()["SpecFormCheck"].setValue(1);
  a.engine->beginRun(600);
  a.engine->spectrum().ComputeSpectrumColumn(0, a.vars());
  EXPECT_EQ(a.engine->specWindow().PlotCount, 1);
  a.engine->endRun();
  EXPECT_FALSE(a.engine->spectrum().running());

  // The whole band fits the image: one row per bin whatever "Zoom" says.
  f["Combo3"].setText("512");
  a.engine->beginRun(600);
  EXPECT_EQ(a.vars().ZoomMode, 1);
}

TEST(AnalysisEngine, RunStartClampsAreWrittenBack) {
  AnalysisProgram a;
  Form& f = a.f1();
  f["Combo1"].setText("2048");
  f["Combo3"].setText("4096");
  f["Combo6"].setText("1024");
  RunParams r = a.engine->beginRun(100);
  EXPECT_EQ(r.BlockSize, 4096);
  EXPECT_EQ(f["Combo1"].text(), "4096");
  EXPECT_LE(r.ScanStep, r.BlockSize);
}

TEST(AnalysisEngine, ConditioningChoicesFromTheControls) {
  AnalysisProgram a;
  a.f1()["Check1"].setValue(1);
  a.f1()["Text5"].setText("-99999");
  a.f1()["Text2"].setText("8");
  a.engine->UpdateForm();
  auto& tools = a.program->options2();
  tools["chkDither1"].setValue(1);
  tools["chkDither2"].setValue(1);
  tools["txtDither"].setText("2.5");
  ConditionSetup c = a.engine->conditionSetup(true);
  EXPECT_TRUE(c.removeOffset);
  EXPECT_EQ(c.offsetValue, -32767);
  EXPECT_EQ(c.digitalGain, 8);
  EXPECT_EQ(c.dither, 2);  // the highest ticked one
  EXPECT_FLOAT_EQ(c.ditherAmount, 2.5f);
  EXPECT_EQ(a.engine->conditionSetup(false).dither, 0);  // file analysis adds none
}

TEST(AnalysisEngine, CheckSpeedPrintsOneLinePerVariantAndLength) {
  AnalysisProgram a;
  std::vector<std::string> lines = a.engine->CheckSpeed();
  ASSERT_EQ(lines.size(), 24u);
  EXPECT_EQ(lines[0].rfind("nspsRealFft 128 ", 0), 0u);
  EXPECT_NE(lines[0].find(" microsec"), std::string::npos);
  EXPECT_EQ(lines[1].rfind("nspsRealFft init 128 ", 0), 0u);
  EXPECT_EQ(lines[2], "nspdRealFft 128 n/a");
  EXPECT_EQ(lines[5], "nspwRealFft MMX 128 n/a");
  EXPECT_EQ(lines[18].rfind("nspsRealFft 1024 ", 0), 0u);
  double us = std::stod(lines[18].substr(std::string("nspsRealFft 1024 ").size()));
  EXPECT_GT(us, 0);
  EXPECT_LT(us, 1000);

  // The hidden "Debug" menu's item prints the same lines on the spectrogram.
  auto spec = a.f1()["SpecGram"].surface();
  ASSERT_TRUE(spec);
  spec->clear();
  a.f1()["CheckSpeed"].click();
  int ink = 0;
  for (int y = 0; y < 14; ++y)
    for (int x = 0; x < 200; ++x) ink += spec->pixel(x, y) == rgb(0, 0, 0);
  EXPECT_GT(ink, 50);
}

TEST(AnalysisEngine, ControlsOutlivingTheEngineAreHarmless) {
  AnalysisProgram a;
  a.engine.reset();
  EXPECT_EQ(a.program->analysis(), nullptr);
  a.f1()["Combo3"].selectItem("4096");  // no handler may reach the freed engine
  a.opt0()["Combo6"].selectItem("16384");
  EXPECT_EQ(a.f1()["Combo3"].text(), "4096");
}

}  // namespace
}  // namespace qv
