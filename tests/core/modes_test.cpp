// The acquisition modes, the Start/Stop button and the commands around it.
#include <gtest/gtest.h>

#include "config/command_line.h"
#include "config/startup.h"
#include "realtime/modes.h"
#include "realtime/palette.h"
#include "support/program_rig.h"

namespace qv {
namespace {

struct ModesRig : test::ProgramRig {
  ModesRig() { startUp(p(), CommandLine{}, *subsystems->hooks, StartupOptions{false}); }
  Control& button() { return form1("StartStop"); }
};

TEST(Modes, EachModeSetsItsCaptionColourAndControls) {
  ModesRig rig;
  rig.options0("FileRecPathField").setText("/data/rec/");
  rig.form1("RealTimeRecording").click();
  EXPECT_EQ(rig.p().vars().Task, 2);
  EXPECT_EQ(rig.button().caption(), "REC Start");
  EXPECT_EQ(rig.button().backColour(), kRecordRed);
  EXPECT_EQ(rig.form1("Label4").caption(), "Recording to /data/rec/");
  EXPECT_TRUE(rig.form1("RecPauseFlag").visible());
  EXPECT_EQ(rig.form1("RealTimeRecording").value(), 1);
  EXPECT_EQ(rig.form1("RealTimeAnalysis").value(), 0);
  EXPECT_TRUE(rig.form1("QuickRecButton").enabled());

  rig.form1("RealTimeAnalysis").click();
  EXPECT_EQ(rig.button().caption(), "Start");
  EXPECT_EQ(rig.button().backColour(), inactiveBorder());
  EXPECT_EQ(rig.form1("Label4").caption(), "Real-Time display");
  EXPECT_FALSE(rig.form1("RecPauseFlag").visible());
  EXPECT_FALSE(rig.form1("Text4").enabled());

  rig.form1("FileAnalysisPlay").click();
  EXPECT_EQ(rig.p().vars().Task, 3);
  EXPECT_EQ(rig.form1("Label4").caption(), "File Play");
  EXPECT_TRUE(rig.form1("GoToS").enabled());
  EXPECT_TRUE(rig.form1("Text4").enabled());
  EXPECT_FALSE(rig.form1("QuickRecButton").enabled());
  EXPECT_FALSE(rig.form1("Frame4").visible());

  rig.form1("FileAnalysis").click();
  EXPECT_EQ(rig.form1("Label4").caption(), "File Analysis");
  EXPECT_EQ(rig.button().caption(), "Start");
  EXPECT_TRUE(rig.form1("Frame4").visible());
  EXPECT_FALSE(rig.form1("GoToS").enabled());
  EXPECT_EQ(rig.form1("FileAnalysis").value(), 1);
  EXPECT_EQ(rig.form1("FileAnalysisPlay").value(), 0);
}

TEST(Modes, TheBlockSizeRuleComparesWithTheRecordingDefault) {
  ModesRig rig;
  rig.form1("Combo1").setText("8192");
  rig.form1("RealTimeAnalysis").click();
  EXPECT_EQ(rig.form1("Combo1").text(), "4096");  // 16384 > 8192: the real-time default

  rig.form1("Combo1").setText("2048");
  rig.form1("FileAnalysisPlay").click();
  EXPECT_EQ(rig.form1("Combo1").text(), "8192");

  rig.form1("Combo1").setText("1024");
  rig.form1("FileAnalysis").click();
  EXPECT_EQ(rig.form1("Combo1").text(), "1024");  // no rule in file analysis

  rig.form1("RealTimeRecording").click();
  EXPECT_EQ(rig.form1("Combo1").text(), "16384");

  // A block size at or above the recording default is kept.
  rig.form1("RealTimeAnalysis").click();
  EXPECT_EQ(rig.form1("Combo1").text(), "16384");
  rig.options1("DefBlockSizeRecCombo").setText("32768");
  rig.form1("RealTimeAnalysis").click();
  EXPECT_EQ(rig.form1("Combo1").text(), "4096");
}

TEST(Modes, ASecondPressOfStartInsideTheLoopIsAStop) {
  ModesRig rig;
  std::string runningCaption;
  bool quickDisabled = false;
  rig.pump.at(2, [&] {
    runningCaption = rig.button().caption();
    quickDisabled = !rig.form1("Frame1").enabled();
  });
  rig.pump.at(3, [&] { rig.button().click(); });
  rig.button().click();
  EXPECT_EQ(runningCaption, "Stop");
  EXPECT_TRUE(quickDisabled);
  EXPECT_EQ(rig.pump.passes, 3);  // the loop ended after the pass of the second press
  EXPECT_TRUE(rig.p().vars().StopFlag);
  EXPECT_EQ(rig.button().caption(), "Start");
  EXPECT_TRUE(rig.form1("Frame1").enabled());
  EXPECT_EQ(rig.audioIn.calls.back(), "close");

  // The same from the second button and in the recording mode.
  rig.form1("RealTimeRecording").click();
  long before = rig.pump.passes;
  std::string recCaption;
  Rgb recColour = 0;
  rig.pump.at(before + 1, [&] {
    recCaption = rig.button().caption();
    recColour = rig.button().backColour();
  });
  rig.pump.at(before + 2, [&] { rig.form1("Command23").click(); });
  rig.form1("Command23").click();
  EXPECT_EQ(recCaption, "REC Stop");
  EXPECT_EQ(recColour, kRecordRed);
  // The recording's own end names the button last.
  EXPECT_EQ(rig.button().caption(), "Start Rec");
  EXPECT_EQ(rig.pump.passes, before + 2);
}

TEST(Modes, StopMenuEndsTheLoopAndLeavesTheCaptionToTheEnd) {
  ModesRig rig;
  std::string captionAfterStop;
  rig.pump.at(2, [&] {
    rig.form1("StopPlotAcq").click();
    captionAfterStop = rig.button().caption();
  });
  rig.button().click();
  EXPECT_EQ(captionAfterStop, "Stop");
  EXPECT_EQ(rig.pump.passes, 2);
  // The run ended without a stop command resetting the button: it is idle again.
  EXPECT_EQ(rig.button().caption(), "Start");
  EXPECT_TRUE(rig.form1("Frame1").enabled());
}

TEST(Modes, RecModeDuringLiveAnalysisStopsAndTogglesWithoutStarting) {
  ModesRig rig;
  rig.clock.autoAdvanceMs = 10;
  long passesAtPress = 0;
  rig.pump.at(2, [&] {
    passesAtPress = rig.pump.passes;
    rig.form1("QuickRecButton").click();
  });
  rig.button().click();
  EXPECT_EQ(rig.p().vars().Task, 2);
  EXPECT_EQ(rig.button().caption(), "REC Start");
  EXPECT_EQ(rig.button().backColour(), kRecordRed);
  EXPECT_TRUE(rig.p().vars().StopFlag);
  EXPECT_GT(rig.pump.passes, passesAtPress);  // events were served during the wait
  // Nothing runs until Start: pressing it again starts the recording mode's loop.
  rig.form1("QuickRecButton").click();
  EXPECT_EQ(rig.p().vars().Task, 1);
  EXPECT_EQ(rig.button().caption(), "Start");
}

TEST(Modes, EnableQuickSettingsOnlyWhileRunning) {
  ModesRig rig;
  bool enabledInRun = false;
  rig.pump.at(2, [&] {
    rig.form1("EnableQuick").click();
    enabledInRun = rig.form1("Frame1").enabled();
    rig.button().click();
  });
  rig.button().click();
  EXPECT_TRUE(enabledInRun);
}

TEST(Modes, FileModesCallTheirHooks) {
  ModesRig rig;
  Modes& m = *findModes(rig.p());
  int analysed = 0, played = 0, dialogs = 0;
  m.runFileAnalysis = [&] { ++analysed; };
  m.runPlayback = [&] { ++played; };
  m.openFileDialog = [&] { ++dialogs; };
  rig.form1("FileAnalysis").click();
  rig.button().click();
  EXPECT_EQ(analysed, 1);
  EXPECT_EQ(rig.button().caption(), "Start");

  // Mode 3 without a file: the dialog runs; cancelled, nothing plays.
  rig.form1("FileAnalysisPlay").click();
  rig.button().click();
  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(played, 0);

  // With a file chosen the playback runs and the sampling rate text comes back.
  const std::string rate = rig.options0("Combo2").text();
  m.openFileDialog = [&] { rig.p().vars().CurrentFile = "/tmp/x.wav"; };
  m.runPlayback = [&] {
    ++played;
    rig.options0("Combo2").setText("22050");
  };
  rig.button().click();
  EXPECT_EQ(played, 1);
  EXPECT_EQ(rig.options0("Combo2").text(), rate);
  // Back to the live mode: the open file is closed.
  rig.form1("RealTimeAnalysis").click();
  EXPECT_TRUE(rig.p().vars().CurrentFile.empty());
}

TEST(Modes, ABackColourChangeReachesTheViewOnce) {
  ModesRig rig;
  int notified = 0;
  rig.button().addObserver([&](const Control&) { ++notified; });
  rig.form1("RealTimeRecording").click();
  EXPECT_EQ(rig.button().backColour(), kRecordRed);
  const int afterMode = notified;
  EXPECT_GE(afterMode, 1);
  rig.button().setBackColour(kRecordRed);  // unchanged: no notice
  EXPECT_EQ(notified, afterMode);
  rig.button().setBackColour(0);
  EXPECT_EQ(notified, afterMode + 1);
}

}  // namespace
}  // namespace qv
