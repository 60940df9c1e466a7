#include <gtest/gtest.h>

#include "analysis/engine.h"
#include "config/command_line.h"
#include "config/startup.h"
#include "support/program_rig.h"

namespace qv {
namespace {

TEST(Assembly, FreshStartIsReadyInRealTimeAnalysisWithTheBuiltInPreset) {
  test::ProgramRig rig;
  startUp(rig.p(), CommandLine{}, *rig.subsystems->hooks, StartupOptions{false});
  EXPECT_EQ(rig.p().status(), "Ready...");
  EXPECT_EQ(rig.p().vars().Task, 1);
  EXPECT_TRUE(rig.p().vars().StopFlag);
  EXPECT_EQ(rig.form1("Combo1").text(), "16384");
  EXPECT_EQ(rig.form1("Combo3").text(), "512");
  EXPECT_EQ(rig.form1("Combo5").text(), "Hanning");
  // The device lists were filled from the input seam; position 0 is the default.
  ASSERT_FALSE(rig.form1("Combo10").items().empty());
  EXPECT_EQ(rig.form1("Combo10").items()[0], rig.audioIn.devices()[0].name);
}

TEST(Assembly, QuickSettingsRulesRunFromTheAssembledProgram) {
  test::ProgramRig rig;
  startUp(rig.p(), CommandLine{}, *rig.subsystems->hooks, StartupOptions{false});
  rig.form1("Combo3").selectItem("4096");
  rig.form1("Combo1").selectItem("1024");
  EXPECT_EQ(rig.form1("Combo3").text(), "1024");
  EXPECT_LE(rig.form1("Combo4").intNumber(), 1024);
  EXPECT_LE(rig.form1("Combo6").intNumber(), 512);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(Assembly, FreshStartTakesTheDefaultDeviceWithoutAWarning) {
  test::ProgramRig rig;
  startUp(rig.p(), CommandLine{}, *rig.subsystems->hooks, StartupOptions{false});
  EXPECT_TRUE(rig.dialogs.shown.empty()) << rig.dialogs.shown.front().text;
  EXPECT_EQ(rig.form1("Combo10").listIndex(), 0);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(Assembly, CloseAllAndTheLiveModesDoNotCallEachOtherForever) {
  test::ProgramRig rig;
  startUp(rig.p(), CommandLine{}, *rig.subsystems->hooks, StartupOptions{false});
  rig.p().vars().CurrentFile = rig.home.file("x.wav");
  rig.form1("CloseFile").click();
  EXPECT_EQ(rig.p().vars().CurrentFile, "");
  EXPECT_EQ(rig.p().vars().Task, 1);
  rig.form1("RealTimeRecording").click();
  EXPECT_EQ(rig.p().vars().Task, 2);
  EXPECT_EQ(rig.form1("StartStop").caption(), "REC Start");
}

}  // namespace
}  // namespace qv
