// The play list: dialog order and its rotation, drops, the printed list, and
// playback through every entry with the first file's format.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/program.h"
#include "files/playback.h"
#include "files/playlist.h"
#include "playback_wav.h"
#include "realtime/devices.h"
#include "support/program_rig.h"

namespace qv {
namespace {

struct ListRig : test::ProgramRig {
  ListRig() {
    ListAudioDevices(p());
    options0("Combo9").setListIndex(0);
    p().vars().Task = 3;
    pump.every([this] { audioOut.playAll(); });
  }
  std::string wav(const std::string& name, int rate, int channels, std::vector<int16_t> s) {
    std::string path = home.file(name);
    test::writeWav(path, rate, channels, s);
    return path;
  }
};

std::vector<int16_t> constant(size_t n, int16_t v) { return std::vector<int16_t>(n, v); }

TEST(PlayList, RotationPutsTheFirstChosenLast) {
  EXPECT_EQ(rotatePlayList({"a", "b", "c"}), (std::vector<std::string>{"b", "c", "a"}));
  EXPECT_EQ(rotatePlayList({"a", "b"}), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(rotatePlayList({"a"}), (std::vector<std::string>{"a"}));
}

TEST(PlayList, DialogChoiceOpensTheSecondChosenFileAndPlaysInRotatedOrderWithTheFirstFormat) {
  ListRig r;
  // b and c are mono 8000 Hz; a is a 22050 Hz stereo file, read as b's format.
  std::string a = r.wav("a.wav", 22050, 2, [] {
    std::vector<int16_t> v;
    for (int i = 0; i < 3000; ++i) {
      v.push_back(300);
      v.push_back(-300);
    }
    return v;
  }());
  std::string b = r.wav("b.wav", 8000, 1, constant(20000, 100));
  std::string c = r.wav("c.wav", 8000, 1, constant(20000, 200));
  r.dialogs.openAnswers.push_back({a, b, c});
  r.form1("SetPlayList").click();

  PublicVars& v = r.p().vars();
  ASSERT_EQ(v.PlayListSize, 3);
  EXPECT_EQ(v.PlayList[1], b);
  EXPECT_EQ(v.PlayList[2], c);
  EXPECT_EQ(v.PlayList[3], a);
  EXPECT_EQ(v.CurrentFile, b);  // a is not opened first
  auto t = r.dialogs.texts();
  EXPECT_NE(std::find(t.begin(), t.end(), " 3PlayList"), t.end());
  ASSERT_FALSE(r.dialogs.fileDialogs.empty());
  EXPECT_TRUE(r.dialogs.fileDialogs.back().multiple);

  RunFilePlay(r.p());
  // One output for the whole list, at the first file's rate and channels.
  EXPECT_EQ(std::count_if(r.audioOut.calls.begin(), r.audioOut.calls.end(),
                          [](const std::string& s) { return s.rfind("open(", 0) == 0; }),
            1);
  EXPECT_EQ(r.audioOut.openFormat.sampleRate, 8000);
  EXPECT_EQ(r.audioOut.openFormat.channels, 1);
  // Played in order b, c, a; a's two channels arrive as consecutive mono samples.
  const auto& p = r.audioOut.played;
  auto firstOf = [&](int16_t x) { return std::find(p.begin(), p.end(), x) - p.begin(); };
  auto lastOf = [&](int16_t x) { return p.rend() - std::find(p.rbegin(), p.rend(), x) - 1; };
  EXPECT_EQ(std::count(p.begin(), p.end(), int16_t{100}), 20000);
  EXPECT_EQ(std::count(p.begin(), p.end(), int16_t{200}), 20000);
  EXPECT_EQ(std::count(p.begin(), p.end(), int16_t{300}), 3000);
  EXPECT_EQ(std::count(p.begin(), p.end(), int16_t{-300}), 3000);
  EXPECT_LT(lastOf(100), firstOf(200));
  EXPECT_LT(lastOf(200), firstOf(300));
  const auto at = firstOf(300);
  EXPECT_EQ(p[static_cast<size_t>(at) + 1], -300);
  EXPECT_EQ(v.CurrentFile, a);
  EXPECT_TRUE(v.StopFlag);
}

TEST(PlayList, ASingleChoiceOrNoneLeavesTheListAlone) {
  ListRig r;
  std::string b = r.wav("b.wav", 8000, 1, constant(100, 1));
  r.dialogs.openAnswers.push_back({b});
  r.form1("SetPlayList").click();
  EXPECT_EQ(r.p().vars().PlayListSize, 0);
  auto t = r.dialogs.texts();
  EXPECT_NE(std::find(t.begin(), t.end(), "Use Open .wav to play a file"), t.end());
  EXPECT_TRUE(r.p().vars().CurrentFile.empty());

  r.form1("SetPlayList").click();  // cancelled
  EXPECT_EQ(r.p().vars().PlayListSize, 0);
}

TEST(PlayList, DropsOpenOneFileOrBuildTheListInTheGivenOrder) {
  ListRig r;
  std::string x = r.wav("x.wav", 8000, 1, constant(100, 1));
  std::string y = r.wav("y.wav", 8000, 1, constant(100, 2));
  r.p().vars().PlayListSize = 0;
  SpecGram_OLEDragDrop(r.p(), {x});
  EXPECT_EQ(r.p().vars().CurrentFile, x);
  EXPECT_EQ(r.p().vars().PlayListSize, 0);

  SpecGram_OLEDragDrop(r.p(), {y, x});
  EXPECT_EQ(r.p().vars().PlayListSize, 2);
  EXPECT_EQ(r.p().vars().PlayList[1], y);
  EXPECT_EQ(r.p().vars().PlayList[2], x);
  EXPECT_EQ(r.p().vars().CurrentFile, y);
  EXPECT_EQ(playListLines(r.p()), (std::vector<std::string>{" 1 " + y, " 2 " + x}));

  // Not while a loop runs.
  r.p().vars().StopFlag = false;
  SpecGram_OLEDragDrop(r.p(), {x});
  EXPECT_EQ(r.p().vars().CurrentFile, y);
  r.p().vars().StopFlag = true;
}

TEST(PlayList, TheInstalledOpenerIsUsedAndShowPrintsTheList) {
  ListRig r;
  std::vector<std::string> opened;
  setPlayListOpener(r.p(), [&](const std::string& path) { opened.push_back(path); });
  SpecGram_OLEDragDrop(r.p(), {"/m/one.wav", "/m/two.wav"});
  EXPECT_EQ(opened, (std::vector<std::string>{"/m/one.wav"}));
  r.form1("ShowPlayList").click();
  ASSERT_TRUE(r.form1("SpecGram").surface());
  setPlayListOpener(r.p(), nullptr);
}

TEST(PlayList, AnUnreadableEntryIsSkipped) {
  ListRig r;
  std::string b = r.wav("b.wav", 8000, 1, constant(5000, 100));
  std::string c = r.wav("c.wav", 8000, 1, constant(5000, 200));
  SpecGram_OLEDragDrop(r.p(), {b, r.home.file("gone.wav"), c});
  RunFilePlay(r.p());
  const auto& p = r.audioOut.played;
  EXPECT_EQ(std::count(p.begin(), p.end(), int16_t{100}), 5000);
  EXPECT_EQ(std::count(p.begin(), p.end(), int16_t{200}), 5000);
  EXPECT_NE(r.p().status().find("Cannot read"), std::string::npos);
}

}  // namespace
}  // namespace qv
