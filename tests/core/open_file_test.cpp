#include <gtest/gtest.h>

#include "core/file_loop_fixture.h"
#include "files/file_info.h"
#include "files/open_file.h"

namespace qv::test {
namespace {

TEST(OpenFile, CompressedWavGivesAMessageAndChangesNothing) {
  FileLoopRig rig;
  PublicVars& v = rig.p().vars();
  std::string good = rig.write("good.wav", wavBytes(tone(4800, 0.05), 1, 48000));
  rig.files().OpenFile(good);
  const std::string label = rig.form1("Label4").caption();
  const int task = v.Task;
  // IMA ADPCM: format tag 17.
  std::string adpcm = rig.write("adpcm.wav", wavBytes(tone(4800, 0.05), 1, 22050, 16, 17));
  v.StopFlag = false;  // as if a loop were running
  rig.files().OpenFile(adpcm);
  ASSERT_EQ(rig.dialogs.texts().size(), 1u);
  EXPECT_NE(rig.dialogs.texts()[0].find("compressed"), std::string::npos) << rig.dialogs.texts()[0];
  EXPECT_NE(rig.dialogs.texts()[0].find(adpcm), std::string::npos);
  EXPECT_EQ(v.CurrentFile, good);
  EXPECT_EQ(v.SampleRate, 48000);
  EXPECT_EQ(v.FileType, kFileWav);
  EXPECT_EQ(rig.form1("Label4").caption(), label);
  EXPECT_EQ(v.Task, task);
  EXPECT_FALSE(v.StopFlag);  // the running loop was left alone
  EXPECT_EQ(rig.pump.passes, 0);
}

TEST(OpenFile, UnknownExtensionNamesIt) {
  FileLoopRig rig;
  std::string path = rig.write("x.wave", "RIFF");
  rig.files().OpenFile(path);
  ASSERT_EQ(rig.dialogs.texts().size(), 1u);
  EXPECT_EQ(rig.dialogs.texts()[0], "Unknown File Extension (" + path + " > AVE)");
  EXPECT_TRUE(rig.p().vars().CurrentFile.empty());
}

TEST(OpenFile, InFileAnalysisShowsTheFileAndWaitsForStart) {
  FileLoopRig rig;
  std::string path = rig.write("x.WAV", wavBytes(tone(22050 * 4, 0.05), 2, 22050));
  rig.files().OpenFile(path);
  PublicVars& v = rig.p().vars();
  EXPECT_EQ(v.CurrentFile, path);
  EXPECT_EQ(v.FileTime, "00:00:00");
  EXPECT_EQ(rig.form1("Combo2").text(), "22050");
  EXPECT_EQ(v.Task, 4);
  EXPECT_EQ(rig.form1("Label4").caption(), path + " 172kb 22050s/sec 2ch 16bit");
  EXPECT_TRUE(v.StopFlag);
}

TEST(OpenFile, LinkedPresetLoadsButTheFileRateWins) {
  FileLoopRig rig;
  std::string path = rig.write("rec.wav", wavBytes(tone(22050, 0.05), 1, 22050));
  writeFile(path + ".preset", "*\r\n11025\r\n1024\r\n*\r\n*\r\n*\r\n*\r\n*\r\n*\r\n*\r\n*\r\n");
  rig.options0("PresetAutoloadFlag").setValue(1);
  rig.files().OpenFile(path);
  EXPECT_EQ(rig.form1("Combo3").text(), "1024");
  EXPECT_EQ(rig.form1("Combo2").text(), "22050");
  EXPECT_EQ(rig.p().vars().SampleRate, 22050);
  EXPECT_EQ(rig.p().status(), "Loaded Settings for " + path);
}

TEST(OpenFile, UnfinishedHeaderIsRepairedOnOpening) {
  FileLoopRig rig;
  std::string bytes = ownWavHeader(1, 8000, 0, 0).b + std::string(4, '\0');
  for (int i = 0; i < 1000; ++i) bytes += Bytes().s16(i).b;
  std::string path = rig.write("cut.wav", bytes);
  rig.files().OpenFile(path);
  std::string after = readFile(path);
  ASSERT_EQ(after.size(), bytes.size());
  EXPECT_EQ(static_cast<uint8_t>(after[4]) | (static_cast<uint8_t>(after[5]) << 8), static_cast<int>(bytes.size()) - 8);
  EXPECT_EQ(after.substr(48), bytes.substr(48));
  EXPECT_EQ(rig.p().vars().CurrentFile, path);
}

TEST(OpenFile, StopsARunningLoopAndFollowsPlayAndAnalysisOnOpen) {
  FileLoopRig rig;
  PublicVars& v = rig.p().vars();
  v.Task = 1;
  std::vector<std::pair<int, bool>> starts;  // Task and StopFlag at each Start
  rig.form1("StartStop").on(Event::Click, [&] { starts.push_back({v.Task, v.StopFlag}); });
  rig.options0("ImmediatePlayCheck").setValue(1);
  rig.options0("CheckAnalysisOnOpen").setValue(1);
  rig.form1("PauseButton").setValue(1);
  rig.form1("StartStop").setCaption("Stop");
  v.StopFlag = false;
  std::string path = rig.write("a.wav", wavBytes(tone(4800, 0.05), 1, 48000));
  rig.files().OpenFile(path);
  EXPECT_EQ(rig.form1("StartStop").caption(), "Start");
  EXPECT_FALSE(rig.form1("PauseButton").checked());
  EXPECT_GT(rig.pump.passes, 0);  // events were served while waiting
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[0], std::make_pair(3, true));
  EXPECT_EQ(starts[1], std::make_pair(4, true));
  EXPECT_EQ(v.CurrentFile, path);
}

TEST(OpenFile, MenuDialogsKeepAskingForTheirExtensionAndCloseAllForgetsTheFile) {
  FileLoopRig rig;
  std::string path = rig.write("k.wav", wavBytes(tone(4800, 0.05), 1, 48000));
  std::string other = rig.write("k.bin", std::string(100, '\0'));
  rig.dialogs.openAnswers.push_back({other});
  rig.dialogs.openAnswers.push_back({path});
  rig.form1("OpenFilewav").click();
  ASSERT_EQ(rig.dialogs.fileDialogs.size(), 2u);
  EXPECT_EQ(rig.dialogs.fileDialogs[0].filter, "*.wav");
  EXPECT_EQ(rig.p().vars().CurrentFile, path);
  EXPECT_EQ(rig.options0("DefPlayPathField").text(), rig.home.path());

  rig.form1("CloseFile").click();
  EXPECT_TRUE(rig.p().vars().CurrentFile.empty());
  // The label is emptied, then the re-applied mode writes its own caption.
  EXPECT_EQ(rig.p().vars().Task, 4);
  EXPECT_EQ(rig.form1("Label4").caption(), "File Analysis");
  EXPECT_EQ(rig.p().vars().PlayListSize, 0);
}

TEST(OpenFile, SaveDialogAsksBeforeReplacingAndSetPathKeepsTheFolderOnCancel) {
  FileLoopRig rig;
  StartupHooks hooks;
  std::string existing = rig.write("old.wav", "data");
  rig.dialogs.saveAnswers = {existing, existing};
  rig.dialogs.answers = {MsgAnswer::No, MsgAnswer::Yes};
  EXPECT_EQ(SaveFileDialog(rig.p(), rig.home.path(), "wav", "", hooks), existing);
  EXPECT_EQ(rig.dialogs.texts(), (std::vector<std::string>{"Replace " + existing + " ?", "Replace " + existing + " ?"}));
  EXPECT_EQ(SaveFileDialog(rig.p(), rig.home.path(), "wav", "x", hooks), "");  // cancelled
  EXPECT_EQ(rig.dialogs.fileDialogs.back().initialName, "x.wav");
  rig.dialogs.saveAnswers = {"/data/sub/-"};
  EXPECT_EQ(SetPathDialog(rig.p(), "/old/", hooks), "/data/sub/");
  EXPECT_EQ(SetPathDialog(rig.p(), "/old/", hooks), "/old/");
}

}  // namespace
}  // namespace qv::test
