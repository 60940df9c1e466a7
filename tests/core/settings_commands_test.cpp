#include <gtest/gtest.h>

#include <filesystem>

#include "config/settings_file.h"
#include "config/startup.h"
#include "config_fixture.h"

namespace qv {
namespace {

using test::ConfigRig;
using test::readFile;
using test::writeFile;

struct CommandsTest : ::testing::Test {
  ConfigRig rig;
  std::shared_ptr<StartupHooks> hooks = installConfig(rig.p());
  std::vector<std::string> calls;
  void SetUp() override {
    hooks->updateForm = [this] { calls.push_back("UpdateForm"); };
    hooks->drawColourBar = [this] { calls.push_back("bar"); };
  }
  bool exists(const std::string& p) { return std::filesystem::exists(p); }
};

TEST_F(CommandsTest, UserDefaultsSaveLoadAndDelete) {
  rig.p().setStatus("old text");
  rig.o1("TapeSpeedCombo").setText("8");
  rig.o1("SaveDefControls").click();
  EXPECT_EQ(rig.p().status(), "Saved Def Controls.");
  std::string saved = readFile(rig.prog("Quorvel.ini"));
  EXPECT_NE(saved.find("OPTIONS1.TapeSpeedCombo     = 8\r\n"), std::string::npos);
  EXPECT_NE(saved.find("FORM1.StatusLine" + std::string(12, ' ') + "= \r\n"), std::string::npos);  // cleared first

  rig.o1("TapeSpeedCombo").setText("1");
  rig.o1("ResetControls").click();
  EXPECT_EQ(rig.o1("TapeSpeedCombo").text(), "8");

  rig.o1("Command1").click();
  EXPECT_FALSE(exists(rig.prog("Quorvel.ini")));
  rig.o1("ResetControls").click();
  EXPECT_EQ(rig.dialogs.texts(), std::vector<std::string>{"User Defaults not available"});
}

TEST_F(CommandsTest, SaveControlsNamesTheFileAndRefusesWildcards) {
  rig.dialogs.saveAnswers = {rig.dir.file("mine"), rig.dir.file("b.ini"), rig.dir.file("c.INI"),
                             rig.dir.file("*.ini"), ""};
  for (int i = 0; i < 5; ++i) rig.o1("SaveControls").click();
  EXPECT_TRUE(exists(rig.dir.file("mine.ini")));
  EXPECT_TRUE(exists(rig.dir.file("b.ini")));
  EXPECT_TRUE(exists(rig.dir.file("c.INI.ini")));
  EXPECT_FALSE(exists(rig.dir.file("*.ini")));
  ASSERT_EQ(rig.dialogs.fileDialogs.size(), 5u);
  EXPECT_EQ(rig.dialogs.fileDialogs[0].initialFolder, rig.p().programFolder());
  EXPECT_EQ(rig.dialogs.fileDialogs[0].defaultExt, "ini");
}

TEST_F(CommandsTest, LoadControlsIgnoresMissingChoices) {
  writeFile(rig.dir.file("site.INI"), "FORM1.HeadLine = Reef survey\r\n");
  rig.dialogs.openAnswers = {{rig.dir.file("site.INI")}, {rig.dir.file("gone.ini")}};
  rig.o1("LoadControls").click();
  EXPECT_EQ(rig.f1("HeadLine").text(), "Reef survey");
  EXPECT_EQ(rig.dialogs.fileDialogs[0].filter, "*.ini");
  rig.o1("LoadControls").click();  // missing: nothing, no message
  rig.o1("LoadControls").click();  // cancelled
  EXPECT_TRUE(rig.dialogs.shown.empty());
}

TEST_F(CommandsTest, DefaultPathsFromEitherPanel) {
  rig.o0("DefPlayPathField").setText("/play/");
  rig.o0("FileRecPathField").setText("/rec/");
  rig.o1("DefSavePath").setText("/save/");
  rig.o1("DefLogPath").setText("/log/");
  rig.o1("SaveDefPaths").click();
  EXPECT_EQ(readFile(rig.prog("defpaths.ini")), "/play/\r\n/rec/\r\n/save/\r\n/log/\r\n");
  rig.o0("SaveDefPaths").click();
  EXPECT_EQ(rig.o1("DefSavePath").text(), "/rec/");
  EXPECT_EQ(rig.o1("DefLogPath").text(), "/rec/");
  EXPECT_EQ(readFile(rig.prog("defpaths.ini")), "/play/\r\n/rec/\r\n/rec/\r\n/rec/\r\n");
}

TEST_F(CommandsTest, AdvancedPanelExitDropsItsChanges) {
  rig.f1("AdvancedSettings").click();
  EXPECT_TRUE(rig.p().options1().shown());
  EXPECT_TRUE(exists(rig.prog("annulla.ini")));
  rig.o1("AvgCombo").setText("3 - Hold Max");
  rig.o1("ShowDateTime").setValue(1);
  rig.o1("Option3").setValue(1);
  calls.clear();
  rig.o1("Command4").click();
  EXPECT_FALSE(rig.p().options1().shown());
  EXPECT_EQ(rig.o1("AvgCombo").text(), "0 - Off");
  EXPECT_EQ(rig.o1("ShowDateTime").value(), 0);
  EXPECT_EQ(rig.o1("Option1").value(), 1);
  EXPECT_EQ(rig.o1("Option3").value(), 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"UpdateForm"}));
}

TEST_F(CommandsTest, ResetRestoresAndKeepsThePanelOpen) {
  std::string text9 = rig.o1("Text9").text();
  rig.f1("AdvancedSettings").click();
  rig.o1("Text9").setText("changed");
  rig.o1("Command10").click();
  EXPECT_EQ(rig.o1("Text9").text(), text9);
  EXPECT_TRUE(rig.p().options1().shown());
  EXPECT_EQ(rig.dialogs.texts(), std::vector<std::string>{"Restored previous settings"});

  std::string maxFiles = rig.o0("MaxNFiles").text();
  rig.f1("BasicSettings").click();
  rig.o0("MaxNFiles").setText("99 changed");
  rig.o0("Command10").click();
  EXPECT_EQ(rig.o0("MaxNFiles").text(), maxFiles);
  EXPECT_TRUE(rig.p().options0().shown());
}

TEST_F(CommandsTest, SettingsPanelOpensWithTheMainQuickSettings) {
  rig.f1("Combo1").setText("4096");
  rig.f1("Combo12").setText("32 Mbytes");
  rig.f1("Combo10").setText("Line In");
  rig.f1("BasicSettings").click();
  EXPECT_EQ(rig.o0("Combo1").text(), "4096");
  EXPECT_EQ(rig.o0("Combo12").text(), "32 Mbytes");
  EXPECT_EQ(rig.o0("Combo10").text(), "Line In");
  EXPECT_EQ(calls, (std::vector<std::string>{"UpdateForm", "bar"}));
  // The snapshot holds the copied values: Exit returns to them.
  rig.o0("Combo1").setText("1024");
  rig.o0("Command13").click();
  EXPECT_EQ(rig.o0("Combo1").text(), "4096");
  EXPECT_FALSE(rig.p().options0().shown());
}

TEST_F(CommandsTest, UndoLatestChangesUsesTheLatestSnapshot) {
  rig.f1("UndoLatest").click();  // no snapshot yet: no false claim of a restore
  EXPECT_EQ(rig.dialogs.texts(), std::vector<std::string>{"User Defaults not available"});
  rig.dialogs.shown.clear();

  rig.f1("Text7").setText("first");
  rig.f1("AdvancedSettings").click();
  rig.o1("ok").click();
  rig.f1("Text7").setText("second");
  rig.f1("BasicSettings").click();  // overwrites the snapshot
  rig.o0("Command13").click();
  rig.f1("Text7").setText("third");
  rig.f1("UndoLatest").click();
  EXPECT_EQ(rig.f1("Text7").text(), "second");
  EXPECT_EQ(rig.dialogs.texts(),
            std::vector<std::string>{"Restored previous settings... only the very latest changes have been undone"});
}

TEST_F(CommandsTest, ApplyCompletesAndCreatesTheLogAndSaveFolders) {
  rig.f1("AdvancedSettings").click();
  rig.o1("DefLogPath").setText(rig.dir.path() + "logs");
  rig.o1("DefSavePath").setText(rig.dir.path() + "pics/");
  calls.clear();
  rig.o1("ok").click();
  EXPECT_EQ(rig.o1("DefLogPath").text(), rig.dir.path() + "logs/");
  EXPECT_EQ(rig.o1("DefSavePath").text(), rig.dir.path() + "pics/");
  EXPECT_TRUE(std::filesystem::is_directory(rig.dir.path() + "logs"));
  EXPECT_TRUE(std::filesystem::is_directory(rig.dir.path() + "pics"));
  EXPECT_FALSE(rig.p().options1().shown());
  EXPECT_EQ(calls, (std::vector<std::string>{"UpdateForm"}));
}

}  // namespace
}  // namespace qv
