// Playback through the output double: format, speed, channel choice, the
// two-buffer ring, the play list, positions, pause and the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "core/program.h"
#include "platform/surface.h"
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
  // FFT 512, window 512, hop 256, blocks of 2048 samples: a block is eight
  // columns and the first column of a file falls left of the picture.
  void smallBlocks(int updateRate, int scrollFlag) {
    form1("Combo1").setText("2048");
    form1("Combo3").setText("512");
    form1("Combo4").setText("512");
    form1("Combo6").setText("256");
    options1("Combo9").setText(std::to_string(updateRate));
    options1("ScrollFlag").setValue(scrollFlag);
  }
  Surface& picture() { return *form1("SpecGram").surface(); }
  int width() { return form1("SpecGram").geometry().width; }
  int specVsize() { return p().vars().specVsize; }
  // A picture column whose spectrogram rows show anything but the background.
  bool painted(int x) {
    Surface& s = picture();
    for (int y = 0; y < specVsize(); ++y)
      if (s.pixel(x, y) != s.background()) return true;
    return false;
  }
  // What was played after the two silent buffers that start the ring.
  std::vector<int16_t> playedAfterPriming(int perBuffer) {
    auto& v = audioOut.played;
    return std::vector<int16_t>(v.begin() + std::min<long>(2L * perBuffer, long(v.size())), v.end());
  }
};

// Broadband and loud, so every column has colour in every row.
std::vector<int16_t> noise(size_t n) {
  std::vector<int16_t> v(n);
  uint32_t x = 12345;
  for (auto& s : v) {
    x = x * 1103515245u + 12345u;
    s = static_cast<int16_t>(static_cast<int>((x >> 16) & 0x3FFF) - 0x2000);
  }
  return v;
}

size_t lineCount(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

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

TEST(Playback, FourChannelFileIsReducedLikeTheFileAnalysisAtItsOwnSpeed) {
  // Four interleaved channels once played as one stream at four times the speed.
  PlaybackRig r;
  std::vector<int16_t> inter, first, rightOfPair, mix;
  for (int i = 0; i < 6000; ++i) {
    const int16_t a = static_cast<int16_t>(i), b = static_cast<int16_t>(-3 * i);
    for (int16_t v : {a, b, int16_t(30000), int16_t(-30000)}) inter.push_back(v);
    first.push_back(a);
    rightOfPair.push_back(b);
    mix.push_back(static_cast<int16_t>(std::nearbyint(a / 2.0 + b / 2.0)));
  }
  // As other recorders write it: samples right after a 44-byte header.
  const std::string path = r.wav("q.wav", 16000, 4, inter);
  {
    std::string b = test::readFile(path);
    b.erase(44, 4);
    const uint32_t data = static_cast<uint32_t>(inter.size() * 2), riff = data + 36;
    std::memcpy(&b[4], &riff, 4);
    std::memcpy(&b[40], &data, 4);
    test::writeFile(path, b);
  }
  r.options0("OptionCS0").setValue(1);  // "Stereo" is for two-channel files only
  r.play(path);
  EXPECT_EQ(r.audioOut.openFormat.channels, 1);
  EXPECT_EQ(r.audioOut.openFormat.sampleRate, 16000);
  std::vector<int16_t> played = r.playedAfterPriming(r.block());
  // The reader's first frame of such a file may be the file's first or second.
  ASSERT_FALSE(played.empty());
  const long j = played[0];
  ASSERT_TRUE(j == 0 || j == 1) << j;
  auto from = [j](const std::vector<int16_t>& v) { return std::vector<int16_t>(v.begin() + j, v.end()); };
  EXPECT_TRUE(startsWith(played, from(first)));
  // 6000 frames, not 24000 samples: the file lasts as long as it should.
  EXPECT_LT(played.size(), 6000u + 2u * static_cast<size_t>(r.block()));

  r.audioOut.played.clear();
  r.options0("OptionCS2").setValue(1);
  r.play(path);
  EXPECT_TRUE(startsWith(r.playedAfterPriming(r.block()), from(rightOfPair)));
  EXPECT_EQ(r.p().vars().ChanMode, "R");
  r.audioOut.played.clear();
  r.options0("OptionCS3").setValue(1);
  r.play(path);
  EXPECT_TRUE(startsWith(r.playedAfterPriming(r.block()), from(mix)));
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

// ---- What playback shows: the live display's columns, detectors and markers.

TEST(PlaybackDisplay, ScrollingKeepsTheNewestColumnsAtTheRightAndInPlaceWritesFromTheLeft) {
  const auto samples = noise(2048 * 10);  // 80 columns, the first left of the picture
  PlaybackRig scroll;
  scroll.smallBlocks(4, 1);
  scroll.play(scroll.wav("n.wav", 8000, 1, samples));
  const int w = scroll.width();
  ASSERT_GT(w, 200);
  ASSERT_EQ(scroll.p().vars().ColumnCount, 79);
  // 19 full groups of four were copied and scrolled: they stand just left of
  // the strip where the next group is collected; the rest is untouched.
  int left = 0;
  for (int x = 0; x < w - 4; ++x) left += scroll.painted(x);
  EXPECT_EQ(left, 76);
  EXPECT_TRUE(scroll.painted(w - 5));
  EXPECT_TRUE(scroll.painted(w - 4 - 76));
  EXPECT_FALSE(scroll.painted(w - 4 - 77));
  EXPECT_FALSE(scroll.painted(0));

  PlaybackRig inPlace;
  inPlace.smallBlocks(4, 0);
  inPlace.play(inPlace.wav("n.wav", 8000, 1, samples));
  EXPECT_TRUE(inPlace.painted(0));
  EXPECT_TRUE(inPlace.painted(75));
  // The last three columns wait in the bitmap for their group to fill.
  EXPECT_FALSE(inPlace.painted(76));
  EXPECT_FALSE(inPlace.painted(inPlace.width() - 5));
}

TEST(PlaybackDisplay, TrackerWritesATrackRowPerColumnOfAToneAndTheTriggerOneEvent) {
  PlaybackRig r;
  r.smallBlocks(1, 0);
  r.form1("Check2").setValue(1);
  r.options1("TrackToFileFlag").setValue(1);
  r.options1("TriggerFlag").setValue(1);
  r.options1("TriggerToFileFlag").setValue(1);
  r.options0("AddTimeStamp").setValue(0);
  // 2000 Hz is display row 64 at 16000 Hz with a 512-point transform.
  r.play(r.wav("t.wav", 16000, 1, test::tone(2048 * 8, 16000, 2000)));
  const std::string track = test::readFile(r.home.file("track.track.txt"));
  ASSERT_NE(track.find("DayTime"), std::string::npos);
  EXPECT_EQ(r.p().vars().ColumnCount, 63);
  EXPECT_EQ(lineCount(track), 2u + 63u);
  size_t at = track.find('\n', track.find("DayTime"));
  for (int row = 0; row < 63; ++row) {
    const size_t end = track.find('\n', at + 1);
    ASSERT_NE(track.substr(at + 1, end - at).find(" 2000 "), std::string::npos) << "row " << row;
    at = end;
  }
  // The tracker marks the tone's row in red on the picture.
  EXPECT_EQ(r.picture().pixel(10, r.specVsize() - 1 - 64), rgb(255, 0, 0));
  // One continuous event: two header lines and one record, its mark on the strip.
  const std::string trig = test::readFile(r.home.file("trigger.trig.txt"));
  EXPECT_NE(trig.find("PP"), std::string::npos);
  EXPECT_EQ(lineCount(trig), 3u);
  EXPECT_EQ(r.picture().pixel(5, 268), rgb(255, 255, 0));
}

TEST(PlaybackDisplay, AveragingModeHoldsTheToneAfterItEnds) {
  // One second of tone, then one of silence.
  auto samples = test::tone(16384, 16000, 2000);
  samples.resize(2 * 16384, 0);
  auto lastColumn = [&](const char* mode, int& toneRow, int& quietRow) {
    PlaybackRig r;
    r.smallBlocks(1, 0);
    r.options1("AvgCombo").setText(mode);
    r.play(r.wav("a.wav", 16000, 1, samples));
    const int x = static_cast<int>(r.p().vars().ColumnCount) - 1;
    toneRow = static_cast<int>(r.picture().pixel(x, r.specVsize() - 1 - 64));
    quietRow = static_cast<int>(r.picture().pixel(x, r.specVsize() - 1 - 100));
  };
  int tone = 0, quiet = 0;
  lastColumn("0 - Off", tone, quiet);
  EXPECT_EQ(tone, quiet);
  lastColumn("3 - Hold Max", tone, quiet);
  EXPECT_NE(tone, quiet);
}

TEST(PlaybackDisplay, TestMarkersStandAtTheirSamplesAndScrollWithThePicture) {
  const auto samples = noise(2048 * 10);
  auto markerFile = [](PlaybackRig& r) {
    test::writeFile(r.p().programFile("TEST.mrk"), "1, 10240, 0, 0, \"first\"\r\n2, 9999999, 0, 0, \"beyond\"\r\n");
  };
  const Rgb red = rgb(255, 0, 0);

  PlaybackRig r;
  r.smallBlocks(1, 0);
  markerFile(r);
  r.play(r.wav("m.wav", 8000, 1, samples));
  EXPECT_EQ(r.form1("HeadLine").text(), " 2 Markers");
  // Sample 10240 starts the window of column 40 (hop 256).
  const int sv = r.specVsize();
  EXPECT_EQ(r.picture().pixel(40, sv + 1), red);
  EXPECT_EQ(r.picture().pixel(40, sv + 44), red);
  EXPECT_NE(r.picture().pixel(40, sv + 60), red);
  EXPECT_NE(r.picture().pixel(39, sv + 30), red);
  EXPECT_NE(r.picture().pixel(41, sv + 30), red);
  // Nothing else carries a marker line.
  int lines = 0;
  for (int x = 0; x < r.width(); ++x) lines += r.picture().pixel(x, sv + 40) == red;
  EXPECT_EQ(lines, 1);

  PlaybackRig s;
  s.smallBlocks(1, 1);
  markerFile(s);
  s.play(s.wav("m.wav", 8000, 1, samples));
  // Each column scrolls the picture by one: column 40 of 79 now stands 38
  // columns left of the newest, which sits just left of the collecting strip.
  const int x = s.width() - 2 - (79 - 1 - 40);
  EXPECT_EQ(s.picture().pixel(x, s.specVsize() + 30), red);
  EXPECT_NE(s.picture().pixel(x + 1, s.specVsize() + 30), red);
}

TEST(PlaybackDisplay, StereoShowsEachChannelInItsHalfAndKeepsNoLogs) {
  PlaybackRig r;
  r.smallBlocks(1, 0);
  r.options0("OptionCS0").setValue(1);
  r.form1("Check2").setValue(1);
  r.options1("TrackToFileFlag").setValue(1);
  r.options1("TriggerFlag").setValue(1);
  r.options1("TriggerToFileFlag").setValue(1);
  r.options0("AddTimeStamp").setValue(0);
  // A tone on the left, silence on the right.
  const auto left = test::tone(2048 * 4, 16000, 2000);
  std::vector<int16_t> inter;
  for (int16_t v : left) {
    inter.push_back(v);
    inter.push_back(0);
  }
  r.play(r.wav("s.wav", 16000, 2, inter));
  EXPECT_FALSE(std::filesystem::exists(r.home.file("track.track.txt")));
  EXPECT_FALSE(std::filesystem::exists(r.home.file("trigger.trig.txt")));
  // 128 rows a channel, display rows paired: the tone's row 64 is pair 32.
  Surface& pic = r.picture();
  const int x = 10;
  EXPECT_NE(pic.pixel(x, 127 - 32), pic.pixel(x, 127 - 60));
  for (int y = 128; y < 256; ++y) ASSERT_EQ(pic.pixel(x, y), pic.pixel(x, 128)) << y;
  EXPECT_NE(pic.pixel(x, 127 - 32), pic.pixel(x, 255 - 32));
}

// ---- "DDE send file info": every block's position through the text link.

struct LinkRig : PlaybackRig {
  LinkRig() {
    smallBlocks(2, 1);
    options0("CheckDDEsend").setValue(1);
    options2("Text5").setText("FileInfo");
  }
  // Start in "File Analysis + Play", as the operator does.
  void start(const std::string& path) {
    p().vars().CurrentFile = path;
    form1("StartStop").click();
  }
};

TEST(PlaybackLink, EachBlockSendsThePathAndItsPosition) {
  LinkRig r;
  r.options2("Text4").setText("192.168.1.20:7010");
  const std::string path = r.wav("d.wav", 8000, 1, noise(2048 * 10));
  r.start(path);
  ASSERT_EQ(r.textLink.sent.size(), 10u);
  EXPECT_EQ(r.textLink.sent.front().text, path + ", 00:00:00.256");
  EXPECT_EQ(r.textLink.sent.back().text, path + ", 00:00:02.560");
  EXPECT_EQ(r.textLink.sent.front().host, "192.168.1.20");
  EXPECT_EQ(r.textLink.sent.front().port, 7010);
  EXPECT_EQ(r.textLink.sent.front().datagram, "FileInfo\t" + path + ", 00:00:00.256");
  EXPECT_EQ(r.options2("Text3").text(), path + ", 00:00:02.560");

  LinkRig off;
  off.options0("CheckDDEsend").setValue(0);
  off.options2("Text4").setText("7010");
  off.start(off.wav("d.wav", 8000, 1, noise(2048 * 2)));
  EXPECT_TRUE(off.textLink.sent.empty());
}

TEST(PlaybackLink, ABadTopicSendsNothingAndSaysWhyOnce) {
  LinkRig r;
  r.options2("Text4").setText("nowhere");
  r.start(r.wav("d.wav", 8000, 1, noise(2048 * 6)));
  EXPECT_TRUE(r.textLink.sent.empty());
  const std::string status = r.p().status();
  EXPECT_EQ(status.rfind("Text link: bad link topic \"nowhere\"", 0), 0u) << status;
  size_t n = 0;
  for (size_t at = status.find("Text link"); at != std::string::npos; at = status.find("Text link", at + 1)) ++n;
  EXPECT_EQ(n, 1u);
  // Playback itself went on to the end of the file.
  EXPECT_EQ(r.form1("Label3").caption(), "00:00:01.536");
}

}  // namespace
}  // namespace qv
