// Playback through the output double: format, speed, channel choice, the
// two-buffer ring, the play list, positions, pause and the end.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/program.h"
#include "files/playback.h"
#include "files/markers.h"
#include "files/playlist.h"
#include "playback_wav.h"
#include "realtime/devices.h"
#include "support/program_rig.h"

namespace qv {
namespace {

struct PlaybackRig : test::ProgramRig {
  PlaybackRig() {
    ListAudioDevices(p());
    options0("Combo9").setListIndex(0);
    p().vars().Task = 3;
    // The device plays whatever is queued each time the loop lets events run.
    pump.every([this] { audioOut.playAll(); });
  }
  std::string wav(const std::string& name, int rate, int channels, const std::vector<int16_t>& s) {
    std::string path = home.file(name);
    test::writeWav(path, rate, channels, s);
    return path;
  }
  void play(const std::string& path) {
    p().vars().CurrentFile = path;
    RunFilePlay(p());
  }
  int block() { return form1("Combo1").intNumber(); }
  // What was played after the two silent buffers that start the ring.
  std::vector<int16_t> playedAfterPriming(int perBuffer) {
    auto& v = audioOut.played;
    return std::vector<int16_t>(v.begin() + std::min<long>(2L * perBuffer, long(v.size())), v.end());
  }
};

bool startsWith(const std::vector<int16_t>& v, const std::vector<int16_t>& prefix) {
  return v.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), v.begin());
}

TEST(Playback, SpeedTwoOpensTheOutputAtTwiceTheRateAndPlaysTheWholeFile) {
  PlaybackRig r;
  r.options0("cmbSpeedUp").setText("2");
  auto samples = test::ramp(10000, 5);
  r.play(r.wav("a.wav", 44100, 1, samples));

  EXPECT_EQ(r.audioOut.openFormat.sampleRate, 88200);
  EXPECT_EQ(r.audioOut.openFormat.channels, 1);
  // Queried before opened, closed at the end.
  auto q = std::find(r.audioOut.calls.begin(), r.audioOut.calls.end(), "query(-1,88200,1,16)");
  auto o = std::find(r.audioOut.calls.begin(), r.audioOut.calls.end(), "open(-1,88200,1,16)");
  ASSERT_NE(q, r.audioOut.calls.end());
  EXPECT_LT(q, o);
  EXPECT_EQ(r.audioOut.calls.back(), "close");
  EXPECT_FALSE(r.audioOut.isOpen);
  // Every sample of the file reached the output, the last block included.
  auto played = r.playedAfterPriming(r.block());
  EXPECT_TRUE(startsWith(played, samples));
  EXPECT_NE(r.p().status().find(" Play Speed 2x  "), std::string::npos);
  EXPECT_TRUE(r.p().vars().StopFlag);
  EXPECT_EQ(r.form1("StartStop").caption(), "Start");
  // File time, not wall time: 10000 samples at 44100 Hz.
  EXPECT_EQ(r.form1("Label3").caption(), "00:00:00.227");
}

TEST(Playback, HighRatesGetAtLeast4096SamplesPerBlock) {
  PlaybackRig r;
  r.form1("Combo1").setText("1024");
  r.form1("Combo3").setText("512");
  r.form1("Combo4").setText("512");
  r.form1("Combo6").setText("256");
  r.play(r.wav("a.wav", 48000, 1, test::ramp(9000)));
  EXPECT_EQ(r.block(), 4096);
  EXPECT_EQ(r.audioOut.played.size() % 4096, 0u);
}

TEST(Playback, StereoFileWithMonoRightPlaysTheRightChannel) {
  PlaybackRig r;
  r.options0("OptionCS2").setValue(1);
  std::vector<int16_t> inter, right;
  for (int i = 0; i < 6000; ++i) {
    inter.push_back(static_cast<int16_t>(1000 + i % 7));
    inter.push_back(static_cast<int16_t>(-2000 - i % 11));
    right.push_back(static_cast<int16_t>(-2000 - i % 11));
  }
  r.play(r.wav("s.wav", 16000, 2, inter));
  EXPECT_EQ(r.audioOut.openFormat.channels, 1);
  EXPECT_EQ(r.audioOut.openFormat.sampleRate, 16000);
  EXPECT_TRUE(startsWith(r.playedAfterPriming(r.block()), right));
  EXPECT_EQ(r.p().vars().ChanMode, "R");
}

TEST(Playback, StereoFileWithStereoPlaysBothChannelsAndKeepsTwoInTheChannelsBox) {
  PlaybackRig r;
  r.options0("OptionCS0").setValue(1);
  std::vector<int16_t> inter;
  for (int i = 0; i < 6000; ++i) {
    inter.push_back(static_cast<int16_t>(i % 300));
    inter.push_back(static_cast<int16_t>(-(i % 500)));
  }
  r.play(r.wav("s.wav", 16000, 2, inter));
  EXPECT_EQ(r.audioOut.openFormat.channels, 2);
  EXPECT_TRUE(startsWith(r.playedAfterPriming(2 * r.block()), inter));
  EXPECT_EQ(r.options0("NchanCombo").intNumber(), 2);
  EXPECT_EQ(r.p().vars().ChanMode, "S");
}

TEST(Playback, DigitalGainMultipliesWhatIsPlayedAndSaturates) {
  PlaybackRig r;
  r.form1("Text2").setText("4");
  std::vector<int16_t> s = {100, -100, 20000, -20000};
  s.resize(3000, 7);
  r.play(r.wav("g.wav", 8000, 1, s));
  auto played = r.playedAfterPriming(r.block());
  ASSERT_GE(played.size(), 5u);
  EXPECT_EQ(played[0], 400);
  EXPECT_EQ(played[1], -400);
  EXPECT_EQ(played[2], 32767);
  EXPECT_EQ(played[3], -32768);
  EXPECT_EQ(played[4], 28);
}

TEST(Playback, StopEndsThePlayAndAbandonsQueuedBuffers) {
  PlaybackRig r;
  r.pump.at(3, [&] { r.p().requestStop(); });
  r.play(r.wav("long.wav", 8000, 1, test::ramp(200000)));
  EXPECT_LT(r.audioOut.played.size(), 200000u);
  EXPECT_NE(std::find(r.audioOut.calls.begin(), r.audioOut.calls.end(), "reset"), r.audioOut.calls.end());
  EXPECT_FALSE(r.audioOut.isOpen);
  EXPECT_EQ(r.form1("StartStop").caption(), "Start");
  EXPECT_FALSE(playbackRunning(r.p()));
}

TEST(Playback, PauseHoldsTheLoopUntilUnchecked) {
  PlaybackRig r;
  size_t playedAtPause = 0;
  r.pump.at(2, [&] { r.form1("PauseButton").setValue(1); });
  r.pump.at(3, [&] { playedAtPause = r.audioOut.played.size(); });
  r.pump.at(8, [&] {
    // Nothing new was queued while paused.
    EXPECT_EQ(r.audioOut.played.size(), playedAtPause);
    r.form1("PauseButton").setValue(0);
  });
  auto s = test::ramp(40000);
  r.play(r.wav("p.wav", 8000, 1, s));
  EXPECT_NE(r.p().status().find("P"), std::string::npos);
  EXPECT_TRUE(startsWith(r.playedAfterPriming(r.block()), s));
}

TEST(Playback, BothBuffersFoundDoneMarksAnUnderrun) {
  PlaybackRig r;
  r.play(r.wav("u.wav", 8000, 1, test::ramp(40000)));
  // The double plays everything between passes: the output always runs dry.
  EXPECT_NE(r.p().status().find("E"), std::string::npos);
}

TEST(Playback, GoToMovesTheRunningPlayAndRefusesAPlaceBeyondTheEnd) {
  PlaybackRig r;
  auto s = test::ramp(8000 * 20);  // 20 s at 8000 Hz
  r.form1("Text4").setText("00:15");
  r.form1("PauseButton").setValue(0);
  r.pump.at(2, [&] { GoToS_Click(r.p()); });
  r.play(r.wav("g.wav", 8000, 1, s));
  // After the jump the samples from 15 s on were played.
  auto& v = r.audioOut.played;
  auto it = std::search(v.begin(), v.end(), s.begin() + 120000, s.begin() + 120100);
  EXPECT_NE(it, v.end());
  EXPECT_LT(v.size(), s.size());

  PlaybackRig r2;
  r2.form1("Text4").setText("1:00");
  r2.form1("PauseButton").setValue(0);
  r2.pump.at(2, [&] { GoToS_Click(r2.p()); });
  r2.play(r2.wav("g.wav", 8000, 1, s));
  auto t = r2.dialogs.texts();
  EXPECT_NE(std::find(t.begin(), t.end(), "End of File"), t.end());
  EXPECT_TRUE(startsWith(r2.playedAfterPriming(r2.block()), s));
}

TEST(Playback, TypingAPositionPausesPlayback) {
  PlaybackRig r;
  r.form1("Text4").setText("1:23");
  EXPECT_TRUE(r.form1("PauseButton").checked());
}

TEST(Playback, ARejectedFormatIsReportedAndNothingIsOpened) {
  PlaybackRig r;
  r.audioOut.queryResult = kWaveBadFormat;
  r.play(r.wav("x.wav", 8000, 1, test::ramp(1000)));
  EXPECT_FALSE(r.audioOut.isOpen);
  EXPECT_EQ(std::count(r.audioOut.calls.begin(), r.audioOut.calls.end(), "write"), 0);
  auto t = r.dialogs.texts();
  EXPECT_NE(std::find(t.begin(), t.end(), "Couldn't open wave device due to Error  32 BADFORMAT"), t.end())
      << (t.empty() ? "" : t.back());
  EXPECT_TRUE(r.p().vars().StopFlag);
}

TEST(Playback, NoCurrentFileDoesNothing) {
  PlaybackRig r;
  RunFilePlay(r.p());
  EXPECT_TRUE(r.audioOut.calls.empty() ||
              std::find(r.audioOut.calls.begin(), r.audioOut.calls.end(), "write") == r.audioOut.calls.end());
}

TEST(Playback, DaytimeFromTheTimeTagInTheFileNameFollowsThePosition) {
  PlaybackRig r;
  r.options0("TimeTag").setText("2003");
  r.play(r.wav("x_20030512_134501.wav", 8000, 1, test::ramp(8000 * 3)));
  // The last block read ends 3 s into the file.
  EXPECT_EQ(r.form1("Label5").caption(), "Daytime: 13:45:04.000");

  PlaybackRig plain;
  plain.options0("TimeTag").setText("2003");
  plain.play(plain.wav("plain.wav", 8000, 1, test::ramp(8000)));
  EXPECT_EQ(plain.form1("Label5").caption().find("Daytime"), std::string::npos);

  EXPECT_EQ(fileStartTime("/x/x_20030512_134501.wav", "2003"), "13:45:01");
  EXPECT_FALSE(fileStartTime("/x/plain.wav", "2003").has_value());
  EXPECT_DOUBLE_EQ(ParseDuration("1:02:03"), 3723);
  EXPECT_DOUBLE_EQ(ParseDuration("2:30"), 150);
  EXPECT_DOUBLE_EQ(ParseDuration("45"), 45);
  EXPECT_DOUBLE_EQ(ParseDuration("abc"), 0);
}

}  // namespace
}  // namespace qv
