#include <gtest/gtest.h>

#include <filesystem>

#include "config/command_line.h"
#include "config/startup.h"
#include "config_fixture.h"

namespace qv {
namespace {

using test::ConfigRig;
using test::CwdGuard;
using test::readFile;
using test::writeFile;

struct StartupTest : ::testing::Test {
  ConfigRig rig;
  CwdGuard cwd{rig.dir.path()};
  StartupHooks hooks;
  std::vector<std::string> calls;
  CommandLine cl;

  void SetUp() override {
    cl.headless = true;
    hooks.enumerateDevices = [this] { calls.push_back("enumerate"); };
    hooks.selectDevices = [this] { calls.push_back("select devices"); };
    hooks.setForm = [this] { calls.push_back("SetForm"); };
    hooks.selectTask = [this](int t) { calls.push_back("task " + std::to_string(t)); };
    hooks.openFile = [this](const std::string& f) { calls.push_back("open " + f); };
    hooks.startRecording = [this] { calls.push_back("record"); };
    hooks.showMainWindow = [this] { calls.push_back("show"); };
  }
  void start(const std::string& classic = "") {
    cl.classicArgs = classic;
    startUp(rig.p(), cl, hooks);
  }
  std::vector<std::string> after(const std::string& first) {
    auto it = std::find(calls.begin(), calls.end(), first);
    return it == calls.end() ? std::vector<std::string>{} : std::vector<std::string>(it + 1, calls.end());
  }
};

TEST_F(StartupTest, EmptyProgramFolderGivesBuiltInsAndReady) {
  rig.f1("Combo8").setText("11 wyrbb");
  rig.f1("Text1").setText("42");
  rig.f1("Label20").setCaption("77");
  rig.p().vars().StopFlag = false;
  rig.o1("Check1").setValue(0);  // "Quick Panel"
  start();
  Program& p = rig.p();
  EXPECT_EQ(p.status(), "Ready...");
  EXPECT_EQ(p.vars().Task, 1);
  EXPECT_TRUE(p.vars().StopFlag);
  EXPECT_EQ(p.form1().title(), "Quorvel 2.0 Real-Time Spectrograph");
  EXPECT_FALSE(rig.f1("DebugMenu").visible());

  EXPECT_EQ(rig.f1("Combo1").text(), "16384");
  EXPECT_EQ(rig.f1("Combo2").text(), "48000");
  EXPECT_EQ(rig.f1("Combo3").text(), "512");
  EXPECT_EQ(rig.f1("Combo4").text(), "512");
  // The built-in "1 - Hanning" is followed by the designer's list choice of the same window.
  EXPECT_EQ(rig.f1("Combo5").listIndex(), 1);
  EXPECT_EQ(rig.f1("Combo5").text(), "Hanning");
  EXPECT_EQ(rig.f1("Combo6").text(), "512");
  EXPECT_EQ(rig.f1("Combo7").text(), "256");
  EXPECT_EQ(rig.f1("Combo8").text(), "0");
  EXPECT_EQ(rig.f1("Combo12").text(), "off");
  EXPECT_EQ(rig.f1("ZoomFlag").value(), 0);
  EXPECT_FALSE(rig.f1("ZoomFlag").enabled());
  EXPECT_FALSE(rig.f1("UpDown5").enabled());
  EXPECT_EQ(rig.o0("NchanCombo").text(), "1 - mono (left)");
  EXPECT_EQ(rig.f1("Text1").text(), "0");
  EXPECT_EQ(rig.f1("Label20").caption(), "0");
  EXPECT_EQ(rig.o1("RTCursorFlag").value(), 1);
  EXPECT_EQ(rig.p().options2()["Combo2"].text(), "2");
  EXPECT_EQ(p.vars().SampleRate, 48000);
  EXPECT_EQ(p.vars().FFTsize, 512);
  EXPECT_EQ(p.vars().Channels, 1);
  EXPECT_FALSE(rig.f1("Frame1").visible());  // "Quick Panel" unticked

  EXPECT_EQ(calls, (std::vector<std::string>{"enumerate", "select devices", "SetForm", "task 1"}));
  EXPECT_TRUE(rig.dialogs.shown.empty());
  EXPECT_FALSE(std::filesystem::exists(rig.prog("temp.preset")));  // no preset was loaded
}

TEST_F(StartupTest, PresetWinsOverUserDefaultsForItsElevenSettings) {
  writeFile(rig.prog("Quorvel.ini"),
            "FORM1.Combo1  = 1024\r\n"
            "FORM1.Combo7  = 512\r\n"
            "FORM1.Combo8  = 3 bw sharp\r\n"
            "OPTIONS0.NchanCombo         = 1 - mono\r\n"
            "OPTIONS1.TapeSpeedCombo     = 2\r\n"
            "OPTIONS1.Check1 =  1 \r\n");
  rig.o1("Check1").setValue(0);
  writeFile(rig.prog("default.preset"), "2048\r\n32000\r\n*\r\n*\r\n*\r\n*\r\n7 sepia\r\n*\r\n*\r\n*\r\n2 - stereo\r\n");
  start();
  EXPECT_EQ(rig.p().status(), "Load Controls. Load Settings. Ready...");
  EXPECT_EQ(rig.f1("Combo1").text(), "2048");
  EXPECT_EQ(rig.f1("Combo2").text(), "32000");
  EXPECT_EQ(rig.f1("Combo8").text(), "7 sepia");
  EXPECT_EQ(rig.o0("NchanCombo").text(), "2 - stereo");
  EXPECT_EQ(rig.f1("Combo7").text(), "512");            // not a preset setting: the user defaults keep it
  EXPECT_EQ(rig.o1("TapeSpeedCombo").text(), "2");
  EXPECT_TRUE(rig.f1("Frame1").visible());              // "Quick Panel" ticked in the user defaults
  // Read after "Reset to default" (which already loads default.preset) and before the user's files.
  EXPECT_EQ(rig.p().vars().SampleRate, 32000);
  EXPECT_TRUE(std::filesystem::exists(rig.prog("temp.preset")));
}

TEST_F(StartupTest, RatesAndDefaultPathsAreReadAndFoldersMade) {
  writeFile(rig.prog("rates.ini"), "8000,16000,32000\r\n");
  std::string base = rig.dir.path();
  writeFile(rig.prog("defpaths.ini"), base + "play/\r\n" + base + "rec/\r\n" + base + "pics/\r\n" + base + "logs/\r\n");
  start();
  EXPECT_EQ(rig.p().status(), "Load Paths. Ready...");
  EXPECT_EQ(rig.f1("Combo2").items(), (std::vector<std::string>{"8000", "16000", "32000"}));
  EXPECT_EQ(rig.o0("Combo2").items(), (std::vector<std::string>{"8000", "16000", "32000"}));
  EXPECT_EQ(rig.o0("FileRecPathField").text(), base + "rec/");
  for (const char* d : {"play", "rec", "pics", "logs"}) EXPECT_TRUE(std::filesystem::is_directory(base + d)) << d;
}

TEST_F(StartupTest, UnusableFolderInDefaultPathsIsReportedAndTheRestGoesOn) {
  std::string base = rig.dir.path();
  writeFile(base + "afile", "x");
  writeFile(rig.prog("defpaths.ini"), base + "afile/sub/\r\n" + base + "rec/\r\n\r\n\r\n");
  start();
  const std::string why = "The folder " + base + "afile/sub/ cannot be made: " + base + "afile is not a folder";
  EXPECT_EQ(rig.p().status(), "Load Paths. " + why + ". Ready...");
  ASSERT_EQ(rig.dialogs.shown.size(), 1u);
  EXPECT_EQ(rig.dialogs.shown[0].text, why);
  EXPECT_EQ(rig.o0("DefPlayPathField").text(), base + "afile/sub/");
  EXPECT_TRUE(std::filesystem::is_directory(base + "rec"));
}

TEST_F(StartupTest, FileWithAutoSwitchIsOpened) {
  writeFile(rig.dir.file("rec1.wav"), "RIFF");
  start("  rec1.wav /AUTO ");
  EXPECT_EQ(after("task 1"), (std::vector<std::string>{"show", "open rec1.wav"}));
}

TEST_F(StartupTest, RecSwitchInAnyCaseStartsRecordingBeforeTheFileChecks) {
  start("/rec");
  EXPECT_EQ(after("task 1"), (std::vector<std::string>{"show", "record"}));

  ConfigRig second;
  calls.clear();
  writeFile(rig.dir.file("take two.wav"), "RIFF");
  CommandLine c2;
  c2.headless = true;
  c2.classicArgs = "take two.wav /PPT /Rec";
  startUp(second.p(), c2, hooks);
  EXPECT_EQ(after("task 1"), (std::vector<std::string>{"show", "record", "show", "open take two.wav"}));
}

TEST_F(StartupTest, ArgumentsThatAreNotFilesAreIgnored) {
  start("nothere.wav /AUTO");
  EXPECT_TRUE(after("task 1").empty());
  calls.clear();
  std::filesystem::create_directories(rig.dir.path() + "afolder");
  runClassicCommandLine(rig.p(), "afolder", hooks);
  runClassicCommandLine(rig.p(), "   ", hooks);
  runClassicCommandLine(rig.p(), "/REC/AUTO", hooks);  // "/AUTO" is checked after "/REC" only
  EXPECT_TRUE(calls.empty());
}

TEST_F(StartupTest, WithoutHooksTheModeMenuAndStartButtonAreClicked) {
  StartupHooks none;
  std::vector<std::string> clicks;
  for (const char* n : {"RealTimeAnalysis", "RealTimeRecording", "StartStop"})
    rig.f1(n).on(Event::Click, [&clicks, n] { clicks.push_back(n); });
  cl.classicArgs = "/REC";
  startUp(rig.p(), cl, none);
  EXPECT_EQ(clicks, (std::vector<std::string>{"RealTimeAnalysis", "RealTimeRecording", "StartStop"}));
  EXPECT_TRUE(rig.p().form1().shown());
}

TEST_F(StartupTest, SplashWaitsTwoSecondsWithDots) {
  rig.clock.set(2026, 1, 15, 9, 0, 0);
  rig.pump.every([&] { rig.clock.advance(0.025); });
  SplashWindow shownSplash;
  bool closed = false;
  hooks.showSplash = [&](SplashWindow& s) { shownSplash = s; };
  hooks.closeSplash = [&](SplashWindow& s) {
    closed = true;
    shownSplash = s;
  };
  cl.headless = false;
  start();
  EXPECT_TRUE(closed);
  EXPECT_EQ(rig.pump.passes, 80);
  EXPECT_GE(shownSplash.textProgress.size(), 198u);
  EXPECT_LE(shownSplash.textProgress.size(), 201u);
  EXPECT_NE(shownSplash.text.find("Quorvel 2.0"), std::string::npos);
  EXPECT_EQ(rig.p().status(), "Ready...");
}

TEST_F(StartupTest, SplashClosesOnKeyAndSurvivesMidnight) {
  double step = 0.01;
  rig.pump.every([&] { rig.clock.advance(step); });
  SplashWindow s;
  rig.pump.at(3, [&] { s.close(); });
  runSplashWait(rig.p(), s);
  EXPECT_EQ(rig.pump.passes, 3);

  // Started half a second before midnight: still two seconds, not a day.
  step = 1.0 / 64;
  rig.clock.set(2026, 1, 15, 23, 59, 59);
  rig.clock.advance(0.5);
  SplashWindow late;
  long before = rig.pump.passes;
  runSplashWait(rig.p(), late);
  EXPECT_EQ(rig.pump.passes - before, 128);
}

TEST_F(StartupTest, HeadlessStartShowsNoSplash) {
  bool shown = false;
  hooks.showSplash = [&](SplashWindow&) { shown = true; };
  start();
  EXPECT_FALSE(shown);
  EXPECT_EQ(rig.pump.passes, 0);
}

struct ShutdownTest : ::testing::Test {
  ConfigRig rig;
  std::shared_ptr<StartupHooks> hooks = installConfig(rig.p());
  int ended = 0;
  void SetUp() override {
    hooks->endProgram = [this] { ++ended; };
    for (Form* f : rig.p().forms().all()) f->setShown(true);
    rig.p().vars().StopFlag = false;  // a loop is running
    rig.f1("PauseButton").setValue(1);
  }
};

TEST_F(ShutdownTest, NoIsTheDefaultAndLeavesEverythingRunning) {
  EXPECT_FALSE(requestShutdown(rig.p(), *hooks));  // no answer given: the default
  ASSERT_EQ(rig.dialogs.shown.size(), 1u);
  EXPECT_EQ(rig.dialogs.shown[0].text, "Are you sure you want to terminate the program ?");
  EXPECT_EQ(rig.dialogs.shown[0].buttons, MsgButtons::YesNo);
  EXPECT_EQ(rig.dialogs.shown[0].icon, MsgIcon::Error);
  rig.dialogs.answers.push_back(MsgAnswer::No);
  rig.f1("ExitProgram").click();
  EXPECT_FALSE(rig.p().vars().StopFlag);
  EXPECT_EQ(rig.f1("PauseButton").value(), 1);
  for (Form* f : rig.p().forms().all()) EXPECT_TRUE(f->shown()) << f->section();
  EXPECT_EQ(ended, 0);
}

TEST_F(ShutdownTest, YesStopsTheLoopClosesWindowsAndEnds) {
  rig.dialogs.answers.push_back(MsgAnswer::Yes);
  rig.f1("ExitProgram").click();
  EXPECT_TRUE(rig.p().vars().StopFlag);
  EXPECT_EQ(rig.f1("PauseButton").value(), 0);
  for (Form* f : rig.p().forms().all()) EXPECT_FALSE(f->shown()) << f->section();
  EXPECT_EQ(ended, 1);
}

TEST(CommandLineSetting, UnknownKeysAndBadValuesChangeNothing) {
  ConfigRig rig;
  std::string msg;
  EXPECT_FALSE(applyCommandLineSetting(rig.p(), "OPTIONS0.chkUDPSlav", "1", msg));
  EXPECT_NE(msg.find("OPTIONS0.chkUDPSlav"), std::string::npos);
  EXPECT_NE(msg.find("nothing changed"), std::string::npos);
  EXPECT_FALSE(applyCommandLineSetting(rig.p(), "FORM1.StartStop", "1", msg));  // a button is not a setting
  EXPECT_FALSE(applyCommandLineSetting(rig.p(), "OPTIONS0.chkUDPSlave", "yes", msg));
  int gainSteps = rig.f1("UpDown2").value();
  EXPECT_FALSE(applyCommandLineSetting(rig.p(), "FORM1.UpDown2", "500", msg));
  EXPECT_FALSE(applyCommandLineSetting(rig.p(), "OPTIONS1.Option2", "maybe", msg));
  EXPECT_EQ(rig.o0("chkUDPSlave").value(), 0);
  EXPECT_EQ(rig.f1("UpDown2").value(), gainSteps);
  EXPECT_EQ(rig.o1("Option1").value(), 1);

  EXPECT_TRUE(applyCommandLineSetting(rig.p(), "OPTIONS0.chkUDPSlave", "1", msg));
  EXPECT_TRUE(applyCommandLineSetting(rig.p(), "OPTIONS1.Option2", "True", msg));
  EXPECT_TRUE(applyCommandLineSetting(rig.p(), "FORM1.HeadLine", "Reef = 3", msg));
  EXPECT_EQ(msg, "");
  EXPECT_EQ(rig.o0("chkUDPSlave").value(), 1);
  EXPECT_EQ(rig.o1("Option2").value(), 1);
  EXPECT_EQ(rig.f1("HeadLine").text(), "Reef = 3");
}

}  // namespace
}  // namespace qv
