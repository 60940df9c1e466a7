#include <gtest/gtest.h>

#include <filesystem>

#include "config/presets.h"
#include "config/startup.h"
#include "config_fixture.h"

namespace qv {
namespace {

using test::ConfigRig;
using test::CwdGuard;
using test::readFile;
using test::writeFile;

const char* kPresetCombos[] = {"Combo1", "Combo2", "Combo3", "Combo4", "Combo5", "Combo6", "Combo8", "Combo10", "Combo12"};

struct PresetTest : ::testing::Test {
  ConfigRig rig;
  CwdGuard cwd{rig.dir.path()};
  StartupHooks hooks;
  int updates = 0;
  void SetUp() override { hooks.updateForm = [this] { ++updates; }; }

  void setOdd() {
    rig.f1("Combo1").setText("65536");
    rig.f1("Combo2").setText("96000");
    rig.f1("Combo3").setText("2048");
    rig.f1("Combo4").setText("1024");
    rig.f1("Combo5").setText("3 - Kaiser-Bessel");
    rig.f1("Combo6").setText("256");
    rig.f1("Combo8").setText("8 rainbow");
    rig.f1("Combo10").setText("USB Audio CODEC, analog");
    rig.f1("Combo12").setText("64 Mbytes");
    rig.f1("ZoomFlag").setValue(1);
    rig.o0("NchanCombo").setText("2 - stereo");
  }
  std::vector<std::string> current() {
    std::vector<std::string> v;
    for (const char* n : kPresetCombos) v.push_back(rig.f1(n).text());
    v.push_back(std::to_string(rig.f1("ZoomFlag").value()));
    v.push_back(rig.o0("NchanCombo").text());
    return v;
  }
};

TEST_F(PresetTest, FileHoldsElevenLinesInOrder) {
  setOdd();
  ASSERT_TRUE(PresetSaveFile(rig.p(), rig.prog("a.preset")));
  EXPECT_EQ(readFile(rig.prog("a.preset")),
            "65536\r\n96000\r\n2048\r\n1024\r\n3 - Kaiser-Bessel\r\n256\r\n8 rainbow\r\n"
            "USB Audio CODEC, analog\r\n64 Mbytes\r\n 1 \r\n2 - stereo\r\n");
}

TEST_F(PresetTest, RoundTripsAllElevenSettingsButNotDisplayHeight) {
  setOdd();
  auto saved = current();
  ASSERT_TRUE(PresetSaveFile(rig.p(), rig.prog("a.preset")));

  ConfigRig other;
  other.f1("Combo7").setText("512");
  ASSERT_TRUE(PresetLoadFile(other.p(), rig.prog("a.preset"), hooks));
  std::vector<std::string> got;
  for (const char* n : kPresetCombos) got.push_back(other.f1(n).text());
  got.push_back(std::to_string(other.f1("ZoomFlag").value()));
  got.push_back(other.o0("NchanCombo").text());
  EXPECT_EQ(got, saved);
  EXPECT_EQ(other.f1("Combo7").text(), "512");
  EXPECT_EQ(updates, 1);
}

TEST_F(PresetTest, StarLinesKeepTheirSettings) {
  auto before = current();
  writeFile(rig.prog("hand.preset"), "*\r\n*\r\n*\r\n*\r\n*\r\n*\r\n10 colour\r\n*\r\n*\r\n*\r\n*\r\n");
  int colourChanges = 0;
  rig.f1("Combo8").on(Event::Change, [&] { ++colourChanges; });
  ASSERT_TRUE(PresetLoadFile(rig.p(), rig.prog("hand.preset"), hooks));
  auto after = current();
  before[6] = "10 colour";
  EXPECT_EQ(after, before);
  EXPECT_EQ(colourChanges, 1);  // the palette is rebuilt by the control's own handling
}

TEST_F(PresetTest, ShortFileAppliesTheLinesItHas) {
  setOdd();
  writeFile(rig.prog("short.preset"), "4096\n48000\n1024");  // LF only, no final line end
  ASSERT_TRUE(PresetLoadFile(rig.p(), rig.prog("short.preset"), hooks));
  EXPECT_EQ(rig.f1("Combo1").text(), "4096");
  EXPECT_EQ(rig.f1("Combo2").text(), "48000");
  EXPECT_EQ(rig.f1("Combo3").text(), "1024");
  EXPECT_EQ(rig.f1("Combo4").text(), "1024");  // unchanged from setOdd
  EXPECT_EQ(rig.f1("ZoomFlag").value(), 1);
  EXPECT_EQ(rig.o0("NchanCombo").text(), "2 - stereo");
}

TEST_F(PresetTest, ByteOrderMarkIsNotPartOfTheBlockSize) {
  writeFile(rig.prog("bom.preset"), "\xEF\xBB\xBF" "4096\r\n");
  ASSERT_TRUE(PresetLoadFile(rig.p(), rig.prog("bom.preset"), hooks));
  EXPECT_EQ(rig.f1("Combo1").text(), "4096");
}

TEST_F(PresetTest, ZoomLineIsReadAsOneNumericField) {
  writeFile(rig.prog("z.preset"), "*\n*\n*\n*\n*\n*\n*\n*\n*\n 1 ,ignored\n*\n");
  ASSERT_TRUE(PresetLoadFile(rig.p(), rig.prog("z.preset"), hooks));
  EXPECT_EQ(rig.f1("ZoomFlag").value(), 1);
}

TEST_F(PresetTest, TempPresetHoldsTheSettingsBeforeEachLoad) {
  setOdd();
  std::string expected;
  ASSERT_TRUE(PresetSaveFile(rig.p(), rig.prog("expected.preset")));
  expected = readFile(rig.prog("expected.preset"));
  writeFile(rig.prog("b.preset"), "1024\n8000\n512\n512\nLinear\n128\n1 bw\n\noff\n 0 \n1 - mono\n");
  ASSERT_TRUE(PresetLoadFile(rig.p(), rig.prog("b.preset"), hooks));
  EXPECT_EQ(readFile(rig.prog("temp.preset")), expected);
  // Never into the folder the program was started from (a repository, a home folder).
  EXPECT_FALSE(std::filesystem::exists(rig.dir.file("temp.preset")));
  EXPECT_EQ(rig.f1("Combo2").text(), "8000");
  EXPECT_EQ(rig.f1("Combo10").text(), "");  // an empty line is a value, not a skip

  // The next load keeps the settings the previous one produced.
  ASSERT_TRUE(PresetSaveFile(rig.p(), rig.prog("expected2.preset")));
  ASSERT_TRUE(PresetLoadFile(rig.p(), rig.prog("expected.preset"), hooks));
  EXPECT_EQ(readFile(rig.prog("temp.preset")), readFile(rig.prog("expected2.preset")));
}

TEST_F(PresetTest, UnreadablePresetChangesNothingNotEvenTempPreset) {
  auto before = current();
  EXPECT_FALSE(PresetLoadFile(rig.p(), rig.prog("missing.preset"), hooks));
  EXPECT_FALSE(PresetLoadFile(rig.p(), rig.dir.path(), hooks));
  EXPECT_EQ(current(), before);
  EXPECT_FALSE(std::filesystem::exists(rig.prog("temp.preset")));
  EXPECT_EQ(updates, 0);
}

TEST_F(PresetTest, BuiltInsLeaveRateAndChannelsAloneInFileTasks) {
  setOdd();
  rig.p().vars().Task = 3;
  PresetDefault_Click(rig.p(), hooks);
  EXPECT_EQ(current(), (std::vector<std::string>{"16384", "96000", "512", "512", "1 - Hanning", "512", "0",
                                                  "USB Audio CODEC, analog", "off", "0", "2 - stereo"}));
  EXPECT_EQ(updates, 1);

  rig.p().vars().Task = 1;
  PresetDefault_Click(rig.p(), hooks);
  EXPECT_EQ(rig.f1("Combo2").text(), "48000");
  EXPECT_EQ(rig.o0("NchanCombo").text(), "1 - mono (left)");

  setOdd();
  rig.p().vars().Task = 2;
  applyBuiltInPreset(rig.p());
  EXPECT_EQ(rig.f1("Combo2").text(), "48000");
  rig.p().vars().Task = 4;
  setOdd();
  applyBuiltInPreset(rig.p());
  EXPECT_EQ(rig.f1("Combo2").text(), "96000");
}

TEST_F(PresetTest, ResetToDefaultPrefersDefaultPreset) {
  setOdd();
  ASSERT_TRUE(DefaultPresetSave_Click(rig.p()));
  auto saved = current();
  PresetDefault_Click(rig.p(), hooks);  // default.preset present: nothing changes
  EXPECT_EQ(current(), saved);
  EXPECT_TRUE(std::filesystem::exists(rig.prog("temp.preset")));

  // Settings panel "Reset": the default preset goes and the built-ins apply.
  auto h = installConfig(rig.p());
  int infos = 0;
  h->updateInfo = [&] { ++infos; };
  rig.o0("Command5").click();
  EXPECT_FALSE(std::filesystem::exists(rig.prog("default.preset")));
  EXPECT_EQ(rig.f1("Combo1").text(), "16384");
  EXPECT_EQ(rig.f1("Combo8").text(), "0");
  EXPECT_EQ(infos, 1);
}

TEST_F(PresetTest, OneClickPresetsSetRateAndChannels) {
  auto h = installConfig(rig.p());
  int n = 0;
  h->updateForm = [&] { ++n; };
  struct Case {
    const char* item;
    const char* rate;
    const char* chans;
  };
  for (Case c : {Case{"Mono32", "32000", "1 - mono"}, Case{"Stereo48", "48000", "2 - stereo"},
                 Case{"Stereo32", "32000", "2 - stereo"}, Case{"Mono48", "48000", "1 - mono"}}) {
    rig.f1(c.item).click();
    EXPECT_EQ(rig.f1("Combo2").text(), c.rate) << c.item;
    EXPECT_EQ(rig.o0("NchanCombo").text(), c.chans) << c.item;
  }
  EXPECT_EQ(n, 4);
}

TEST_F(PresetTest, LoadDialogFolderFilterAndExtension) {
  auto h = installConfig(rig.p());
  std::vector<std::string> order;
  h->saveSpecGram = [&] { order.push_back("keep"); };
  h->restoreSpecGram = [&] { order.push_back("restore"); };
  rig.o0("DefPlayPathField").setText(rig.dir.path());
  writeFile(rig.dir.file("site.PRESET"), "4096\n");
  rig.dialogs.openAnswers.push_back({rig.dir.file("site.PRESET")});
  rig.f1("PresetLoad").click();
  ASSERT_EQ(rig.dialogs.fileDialogs.size(), 1u);
  EXPECT_EQ(rig.dialogs.fileDialogs[0].initialFolder, rig.dir.path());
  EXPECT_EQ(rig.dialogs.fileDialogs[0].filter, "*.preset");
  EXPECT_EQ(rig.dialogs.fileDialogs[0].initialName, "*.preset");
  EXPECT_EQ(rig.f1("Combo1").text(), "4096");
  EXPECT_EQ(order, (std::vector<std::string>{"keep", "restore"}));

  // "Prog Path" ticked: the dialog opens on the program folder; a cancel does nothing.
  rig.o0("Check4").setValue(1);
  rig.f1("PresetLoad").click();
  EXPECT_EQ(rig.dialogs.fileDialogs.back().initialFolder, rig.p().programFolder());
  // A chosen file that does not exist: nothing happens.
  rig.dialogs.openAnswers.push_back({rig.dir.file("gone.preset")});
  rig.f1("PresetLoad").click();
  EXPECT_EQ(rig.f1("Combo1").text(), "4096");
}

TEST_F(PresetTest, PanelLoadCopiesTheResultBackIntoThePanel) {
  auto h = installConfig(rig.p());
  int infos = 0;
  h->updateInfo = [&] { ++infos; };
  writeFile(rig.dir.file("p.preset"), "2048\n32000\n");
  rig.dialogs.openAnswers.push_back({rig.dir.file("p.preset")});
  rig.o0("PresetLoad").click();
  EXPECT_EQ(rig.o0("Combo1").text(), "2048");
  EXPECT_EQ(rig.o0("Combo2").text(), "32000");
  EXPECT_EQ(infos, 1);
}

TEST_F(PresetTest, SaveDialogNamesAndRefusals) {
  installConfig(rig.p());
  setOdd();
  rig.dialogs.saveAnswers = {rig.dir.file("one"), rig.dir.file("two.preset"), rig.dir.file("three.PRESET"),
                             rig.dir.file("*.preset"), ""};
  for (int i = 0; i < 5; ++i) rig.f1("PresetSave").click();
  EXPECT_TRUE(std::filesystem::exists(rig.dir.file("one.preset")));
  EXPECT_TRUE(std::filesystem::exists(rig.dir.file("two.preset")));
  EXPECT_FALSE(std::filesystem::exists(rig.dir.file("two.preset.preset")));
  EXPECT_TRUE(std::filesystem::exists(rig.dir.file("three.PRESET.preset")));  // compared with case
  EXPECT_FALSE(std::filesystem::exists(rig.dir.file("*.preset")));
  EXPECT_EQ(rig.dialogs.fileDialogs[0].defaultExt, "preset");
  EXPECT_EQ(readFile(rig.dir.file("one.preset")).substr(0, 7), "65536\r\n");
}

TEST_F(PresetTest, PanelSaveButtonsTakeThePanelsQuickSettings) {
  installConfig(rig.p());
  rig.o0("Combo1").setText("8192");
  rig.o0("Combo7").setText("512");
  rig.o0("DefaultPresetSave").click();
  EXPECT_EQ(rig.f1("Combo1").text(), "8192");
  EXPECT_EQ(rig.f1("Combo7").text(), "512");
  EXPECT_EQ(readFile(rig.prog("default.preset")).substr(0, 6), "8192\r\n");

  // Link to .wav: beside the recording, as its name + ".preset".
  rig.o0("Combo1").setText("4096");
  rig.dialogs.openAnswers.push_back({rig.dir.file("x.wav")});
  rig.dialogs.openAnswers.push_back({rig.dir.file("no/such/dir/y.wav")});
  rig.o0("PresetLink").click();
  rig.o0("PresetLink").click();
  EXPECT_EQ(readFile(rig.dir.file("x.wav.preset")).substr(0, 6), "4096\r\n");
  EXPECT_FALSE(std::filesystem::exists(rig.dir.file("no/such/dir")));
  EXPECT_EQ(rig.dialogs.fileDialogs[0].defaultExt, "wav");
}

TEST_F(PresetTest, AutoloadForAnOpenedRecording) {
  std::string wav = rig.dir.file("x.wav");
  writeFile(wav, "");
  writeFile(wav + ".preset", "*\n44100\n*\n*\n*\n*\n9 rainbow\n");
  EXPECT_FALSE(PresetAutoload(rig.p(), wav, hooks));  // not ticked
  EXPECT_EQ(rig.f1("Combo8").text(), "0");

  rig.o0("PresetAutoloadFlag").setValue(1);
  EXPECT_TRUE(PresetAutoload(rig.p(), wav, hooks));
  EXPECT_EQ(rig.p().status(), "Loaded Settings for " + wav);
  EXPECT_EQ(rig.f1("Combo8").text(), "9 rainbow");
  EXPECT_EQ(rig.f1("Combo2").text(), "44100");

  EXPECT_FALSE(PresetAutoload(rig.p(), rig.dir.file("other.wav"), hooks));
  EXPECT_EQ(rig.p().status(), "Loaded Settings for " + wav);
}

}  // namespace
}  // namespace qv
