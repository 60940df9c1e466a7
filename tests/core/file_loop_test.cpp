#include <gtest/gtest.h>

#include <set>

#include "analysis/text_format.h"
#include "core/file_loop_fixture.h"
#include "files/file_loop.h"
#include "realtime/palette.h"

namespace qv::test {
namespace {

constexpr Rgb kWhite = rgb(255, 255, 255);

// Mono 48000 Hz, long enough for several frames at the designer settings.
std::string longFile(FileLoopRig& rig, const std::string& name = "long.wav", size_t seconds = 20) {
  return rig.write(name, wavBytes(tone(48000 * seconds, 0.05), 1, 48000));
}

TEST(FileLoopPositions, ClampRuleAndFirstColumn) {
  // Near the end a position lands 8192 bytes past the last full frame.
  EXPECT_EQ(clampFramePosition(900, 48, 1000048, 100000), 900 > 48 ? 900 : 48);
  EXPECT_EQ(clampFramePosition(950000, 48, 1000048, 100000), 1000048 - 100000 + 8192);
  EXPECT_EQ(clampFramePosition(1000048 - 100000, 48, 1000048, 100000), 1000048 - 100000);
  EXPECT_EQ(clampFramePosition(-5, 48, 1000048, 100000), 48);
  // A file shorter than one frame is shown from its start, never before it.
  EXPECT_EQ(clampFramePosition(5000, 48, 10048, 100000), 48);
  EXPECT_EQ(firstColumnX(1024, 256), -3);
  EXPECT_EQ(firstColumnX(512, 512), 0);
  EXPECT_EQ(firstColumnX(512, 2048), 1);
}

TEST(FileLoopPositions, DaytimeFromTheTimeTag) {
  EXPECT_EQ(daytimeStatus("/data/x_20030512_134501.wav", "2003", 30.0),
            "Daytime: File 13:45:01  Frame 13:45:31.000");
  // Only the file name is searched; an empty tag is no tag.
  EXPECT_EQ(daytimeStatus("/2003/rec_1.wav", "2003", 0), "No timestamp");
  EXPECT_EQ(daytimeStatus("/data/x_20030512_134501.wav", "", 0), "No timestamp");
  // Not wrapped at midnight.
  EXPECT_EQ(daytimeStatus("x_20030512_235959.wav", "2003", 2.5), "Daytime: File 23:59:59  Frame 24:00:01.500");
}

TEST(FileLoopChannels, ModesReduceTwoChannels) {
  const int16_t in[] = {100, -50, 32767, -32768, 3, 4};
  int16_t out[3];
  reduceChannels(1, in, 3, 2, out);
  EXPECT_EQ(out[0], 100);
  EXPECT_EQ(out[1], 32767);
  reduceChannels(2, in, 3, 2, out);
  EXPECT_EQ(out[1], -32768);
  reduceChannels(3, in, 3, 2, out);
  EXPECT_EQ(out[0], 25);
  EXPECT_EQ(out[2], 4);  // 3.5 to the even neighbour
  reduceChannels(4, in, 3, 2, out);
  EXPECT_EQ(out[0], 150);
  EXPECT_EQ(out[1], -1);  // 32767 - (-32768) wraps at 16 bits
}

TEST(FileLoop, EndButtonShowsTheLastFullFrameAndForwardNearTheEndFillsWhite) {
  FileLoopRig rig;
  std::string path = longFile(rig);
  PublicVars& v = rig.p().vars();
  int64_t endFrame = 0, columnsAtEnd = 0, nearEnd = 0, columnsNearEnd = 0;
  rig.pump.at(1, [&] { rig.form1("Command5").click(); });
  rig.pump.at(2, [&] {
    endFrame = v.LastFilePos;
    columnsAtEnd = v.ColumnX;
    v.FilePos = v.FileSize - v.FileStep - 1000;
    rig.form1("Command6").click();
  });
  rig.pump.at(3, [&] {
    nearEnd = v.LastFilePos;
    columnsNearEnd = v.ColumnX;
  });
  rig.analyse(path, 4);
  const int w = rig.width();
  EXPECT_EQ(endFrame, v.FileSize - v.FileStep);
  EXPECT_GE(columnsAtEnd, w);
  EXPECT_EQ(nearEnd, v.FileSize - v.FileStep + 8192);
  // 8192 bytes are 4096 samples: 8 columns of 512 are missing at the right.
  ASSERT_LT(columnsNearEnd, w);
  EXPECT_EQ(columnsNearEnd, w - 8);
  for (int x = static_cast<int>(columnsNearEnd); x < w; ++x) {
    EXPECT_EQ(rig.spec().pixel(x, 0), kWhite) << x;
    EXPECT_EQ(rig.spec().pixel(x, v.specVsize + 60), kWhite) << x;
  }
  EXPECT_NE(rig.spec().pixel(static_cast<int>(columnsNearEnd) - 1, v.specVsize + 8), kWhite);
  EXPECT_TRUE(v.StopFlag);
}

TEST(FileLoop, FrameStepsMoveByTheFrameWidthAndStartStaysAtTheHeader) {
  FileLoopRig rig;
  std::string path = longFile(rig);
  PublicVars& v = rig.p().vars();
  std::vector<int64_t> drawn;
  auto record = [&] { drawn.push_back(v.LastFilePos); };
  rig.pump.at(1, [&] { record(); rig.form1("Command6").click(); });
  rig.pump.at(2, [&] { record(); rig.form1("Command7").click(); });
  rig.pump.at(3, [&] { record(); rig.form1("Command1").click(); });
  rig.pump.at(4, [&] { record(); rig.form1("Command3").click(); });
  rig.pump.at(5, record);
  rig.analyse(path, 6);
  ASSERT_EQ(drawn.size(), 5u);
  const int64_t h = v.HeaderSize;
  EXPECT_EQ(v.FileStep, static_cast<int64_t>(rig.width()) * 512 * 2);
  EXPECT_EQ(drawn[0], h);
  EXPECT_EQ(drawn[1], h + v.FileStep);
  EXPECT_EQ(drawn[2], h + v.FileStep - v.FileStep / 4);
  EXPECT_EQ(drawn[3], h);
  EXPECT_EQ(drawn[4], h);  // "<<" before the start is clamped
}

TEST(FileLoop, ColumnZeroIsTheWindowStartingAtFilePos) {
  // FFT 1024 with scan step 256: frames start at column -3, so a frame that
  // starts three steps earlier shows the same column three pixels further right.
  FileLoopRig rig;
  rig.form1("Combo3").setText("1024");
  rig.form1("Combo4").setText("1024");
  rig.form1("Combo6").setText("256");
  std::string path = longFile(rig);
  PublicVars& v = rig.p().vars();
  int64_t start = 0;
  std::vector<Rgb> colA, colB;
  auto column = [&](int x) {
    std::vector<Rgb> c;
    for (int y = 0; y < 256; ++y) c.push_back(rig.spec().pixel(x, y));
    return c;
  };
  rig.pump.at(1, [&] {
    start = v.HeaderSize + 20000 * 2;
    v.FilePos = start;
  });
  rig.pump.at(2, [&] {
    EXPECT_EQ(v.LastFilePos, start);
    colA = column(0);
    v.FilePos = start - 3 * 256 * 2;
  });
  rig.pump.at(3, [&] { colB = column(3); });
  rig.analyse(path, 4);
  ASSERT_EQ(colA.size(), 256u);
  EXPECT_EQ(colA, colB);
}

TEST(FileLoop, GoToBeyondTheEndShowsEndOfFileAndDaytimeFollowsThePosition) {
  FileLoopRig rig;
  std::string path = rig.write("x_20030512_134501.wav", wavBytes(tone(48000 * 40, 0.02), 1, 48000));
  PublicVars& v = rig.p().vars();
  std::string status30;
  rig.pump.at(1, [&] {
    rig.form1("Text3").setText("30");
    rig.form1("GoToS2").click();
  });
  rig.pump.at(2, [&] {
    status30 = rig.p().status();
    rig.form1("Text3").setText("10:00");
    rig.form1("GoToS2").click();
  });
  int64_t afterEnd = 0;
  rig.pump.at(3, [&] { afterEnd = v.LastFilePos; });
  rig.analyse(path, 4);
  EXPECT_EQ(status30, "Daytime: File 13:45:01  Frame 13:45:31.000");
  ASSERT_EQ(rig.dialogs.texts().size(), 1u);
  EXPECT_EQ(rig.dialogs.texts()[0], "End of File");
  EXPECT_EQ(afterEnd, v.FileSize - v.FileStep + 8192);
}

TEST(FileLoop, SkipIsRelativeAndAnEmptyFieldReadsZero) {
  FileLoopRig rig;
  std::string path = longFile(rig, "long.wav", 80);
  PublicVars& v = rig.p().vars();
  int64_t afterSkip = 0;
  rig.pump.at(1, [&] {
    rig.form1("Text6").setText("1:02");
    rig.form1("Jump").click();
  });
  rig.pump.at(2, [&] {
    afterSkip = v.LastFilePos;
    rig.form1("Text3").setText("abc");
    rig.form1("GoToS2").click();
  });
  rig.analyse(path, 3);
  EXPECT_EQ(afterSkip, v.HeaderSize + 62LL * 48000 * 2);
  EXPECT_EQ(rig.form1("Text3").text(), "0");
  EXPECT_EQ(v.FilePos, v.HeaderSize);
  EXPECT_TRUE(rig.dialogs.texts().empty());
}

TEST(FileLoop, WiderSamplesShowTheSamePixelsAsSixteenBits) {
  std::vector<int16_t> s = tone(48000 * 3, 0.031, 12000, 7);
  std::vector<std::vector<Rgb>> images;
  for (auto [bits, tag] : {std::pair{16, 1}, std::pair{24, 1}, std::pair{32, 3}}) {
    FileLoopRig rig;
    std::string path = rig.write("w" + std::to_string(bits) + ".wav", wavBytes(s, 1, 48000, bits, tag));
    rig.analyse(path);
    EXPECT_EQ(rig.p().vars().LastFilePos, 46) << bits;
    images.push_back(rig.image(rig.p().vars().specVsize + 97));
  }
  ASSERT_EQ(images.size(), 3u);
  std::set<Rgb> colours(images[0].begin(), images[0].end());
  EXPECT_GT(colours.size(), 20u);  // a real spectrogram, not a blank picture
  EXPECT_EQ(images[0], images[1]);
  EXPECT_EQ(images[0], images[2]);
}

TEST(FileLoop, MonoRightAnalysesTheRightChannelAndStereoReadsLeftThenComesBack) {
  std::vector<int16_t> left = tone(48000 * 2, 0.01, 9000, 3), right = tone(48000 * 2, 0.2, 9000, 5);
  auto imageOf = [](const std::string& bytes, int option) {
    FileLoopRig rig;
    rig.options0("OptionCS" + std::to_string(option)).setValue(1);
    std::string path = rig.write("f.wav", bytes);
    rig.analyse(path);
    EXPECT_TRUE(rig.options0("OptionCS" + std::to_string(option)).checked());
    return rig.image(256);
  };
  const std::string stereo = wavBytes(interleave(left, right), 2, 48000);
  EXPECT_EQ(imageOf(stereo, 2), imageOf(wavBytes(right, 1, 48000), 0));
  EXPECT_EQ(imageOf(stereo, 0), imageOf(wavBytes(left, 1, 48000), 0));
  EXPECT_NE(imageOf(stereo, 1), imageOf(stereo, 2));
}

TEST(FileLoop, StatusLabelShowsFileChannelModeAndLength) {
  FileLoopRig rig;
  rig.options0("OptionCS3").setValue(1);
  std::vector<int16_t> s = tone(22050 * 2 * 2, 0.01);
  std::string path = rig.write("s.wav", wavBytes(s, 2, 22050));
  rig.analyse(path);
  EXPECT_EQ(rig.form1("Label4").caption(), path + " 172kb 22050s/sec 2ch (L+R)  Tot 00:00:02.000 16bit");
  EXPECT_EQ(rig.p().vars().ChanMode, "L+R");
}

TEST(FileLoop, MarkerFileBeyondAHundredRecordsUsesTheFirstHundred) {
  FileLoopRig rig;
  std::string text;
  for (int i = 1; i <= 150; ++i) text += std::to_string(i) + "," + std::to_string(i * 1000) + ",0,0,\"m" +
                                        std::to_string(i) + "\"\r\n";
  writeFile(rig.p().programFile("TEST.mrk"), text);
  std::string path = longFile(rig);
  rig.analyse(path);
  EXPECT_EQ(rig.form1("HeadLine").text(), " 100 Markers");
  EXPECT_NE(rig.p().status().find("only the first 100"), std::string::npos) << rig.p().status();
  // Sample 3000 is column round(3000 / 512) = 6 of the first frame.
  EXPECT_EQ(rig.spec().pixel(6, rig.p().vars().specVsize + 90), rgb(255, 0, 0));
}

TEST(FileLoop, ShortFileEndsEarlyWithWhiteBehind) {
  FileLoopRig rig;
  std::string path = rig.write("short.wav", wavBytes(tone(512 * 40, 0.05), 1, 48000));
  rig.analyse(path);
  PublicVars& v = rig.p().vars();
  EXPECT_EQ(v.LastFilePos, 46);
  EXPECT_LE(v.ColumnX, 40);
  EXPECT_GT(v.ColumnX, 30);
  EXPECT_EQ(rig.spec().pixel(v.ColumnX, 10), kWhite);
  EXPECT_EQ(rig.spec().pixel(rig.width() - 1, v.specVsize + 20), kWhite);
}

TEST(FileLoop, TrackLogRowsCountColumnsFromTheStartOfTheFile) {
  FileLoopRig rig;
  rig.options1("DefLogPath").setText(rig.home.path());
  rig.options1("TrackToFileFlag").setValue(1);
  rig.options0("AddTimeStamp").setValue(0);
  rig.form1("Check2").setValue(1);
  std::string path = longFile(rig);
  PublicVars& v = rig.p().vars();
  rig.pump.at(1, [&] { rig.form1("Command6").click(); });
  rig.analyse(path, 2);
  std::string log = readFile(rig.home.file(rig.options1("TrackLogFileField").text() + ".track.txt"));
  // The first row of the second frame: "----", then its time in the file.
  const int w = rig.width();
  std::string second = "----          " + formatDuration(static_cast<double>(w) * 512 / 48000);
  EXPECT_NE(log.find(second), std::string::npos) << log.substr(0, 400) << rig.p().status();
  EXPECT_NE(log.find(" " + std::to_string(w) + " "), std::string::npos);
  EXPECT_EQ(log.find("10:59"), std::string::npos);  // no time of day
  EXPECT_TRUE(v.StopFlag);
}

TEST(FileLoop, RefreshAndZoomButtons) {
  FileLoopRig rig;
  PublicVars& v = rig.p().vars();
  // Without a file the dialog is refused while the refresh "runs": no loop is left behind.
  rig.form1("Command14").click();
  EXPECT_TRUE(v.StopFlag);
  rig.form1("Combo1").setText("4096");
  rig.form1("Combo6").setText("1");
  rig.form1("Command24").click();
  EXPECT_EQ(rig.form1("Combo6").text(), "1");
  rig.form1("Combo6").setText("3");
  rig.form1("Command24").click();
  EXPECT_EQ(rig.form1("Combo6").text(), "1.5");
  rig.form1("Combo6").setText("256");
  rig.form1("Command25").click();
  EXPECT_EQ(rig.form1("Combo6").text(), "512");
}

TEST(FileLoop, RefreshRunsNestedAndBothRunsEndAtOneStop) {
  FileLoopRig rig;
  std::string path = longFile(rig);
  PublicVars& v = rig.p().vars();
  int depth = 0, maxDepth = 0;
  rig.pump.every([&] { maxDepth = std::max(maxDepth, depth); });
  rig.pump.at(1, [&] {
    ++depth;
    rig.form1("Combo6").setText("1024");
    rig.form1("Command14").click();
    --depth;
  });
  rig.pump.at(3, [&] { rig.p().requestStop(); });
  rig.analyse(path, 100);
  EXPECT_EQ(maxDepth, 1);
  EXPECT_TRUE(v.StopFlag);
  EXPECT_EQ(v.FileStep, static_cast<int64_t>(rig.width()) * 1024 * 2);
  EXPECT_LT(rig.pump.passes, 10);
}

TEST(FileLoop, FileInfoGoesToTheTextLinkOncePerFrameAndGoToWaitsForARun) {
  FileLoopRig rig;
  std::string path = longFile(rig);
  std::vector<std::string> sent;
  rig.files().sendFileInfo = [&](const std::string& t) { sent.push_back(t); };
  rig.options0("CheckDDEsend").setValue(1);
  rig.form1("Text3").setText("5");
  rig.form1("GoToS2").click();  // no run: nothing moves
  EXPECT_EQ(rig.p().vars().FilePos, 0);
  rig.pump.at(1, [&] { rig.form1("Command6").click(); });
  rig.analyse(path, 4);
  const double frameSeconds = static_cast<double>(rig.width()) * 512 / 48000;
  EXPECT_EQ(sent, (std::vector<std::string>{path + ", 00:00:00.000", path + ", " + formatDuration(frameSeconds)}));
}

TEST(FileLoop, ZoomBaseRedrawsARunningAnalysisAndWaitsWhenIdle) {
  FileLoopRig rig;
  std::string path = longFile(rig);
  PublicVars& v = rig.p().vars();
  bool inHandler = false, nestedPass = false;
  rig.pump.at(1, [&] {
    inHandler = true;
    rig.form1("UpDown5").setValue(3);
    inHandler = false;
  });
  rig.pump.at(2, [&] { nestedPass = inHandler && v.LastFilePos == v.HeaderSize; });
  rig.pump.at(3, [&] { rig.p().requestStop(); });
  rig.analyse(path, 50);
  EXPECT_TRUE(nestedPass);
  EXPECT_TRUE(v.StopFlag);
  // Idle: no run starts, but the next one redraws.
  const long passes = rig.pump.passes;
  rig.form1("UpDown5").setValue(4);
  EXPECT_EQ(rig.pump.passes, passes);
  EXPECT_EQ(v.LastFilePos, 0);
}

TEST(FileLoop, EarsFilesAreRefused) {
  FileLoopRig rig;
  std::string path = rig.write("e.001", std::string(512 * 4, '\0'));
  rig.files().OpenFile(path);
  rig.files().RunFileAnalysis();
  ASSERT_FALSE(rig.dialogs.texts().empty());
  EXPECT_EQ(rig.dialogs.texts().back(), "For detailed file analysis convert EARS to WAV");
  EXPECT_TRUE(rig.p().vars().StopFlag);
}

TEST(FileLoop, RealTimeControlsSetGainAndOffset) {
  FileLoopRig rig;
  rig.form1("UpDown2").setValue(3);
  EXPECT_EQ(rig.p().vars().DigitalGain, 8);
  EXPECT_EQ(rig.form1("Text2").text(), "8");
  rig.form1("Text2").setText("2.5");
  EXPECT_EQ(rig.p().vars().DigitalGain, 2);
  rig.form1("Text5").setText("-40000");
  EXPECT_EQ(rig.form1("Text5").text(), "0");
  rig.form1("Text5").setText("-300");
  EXPECT_EQ(rig.form1("Text5").text(), "-300");
}

}  // namespace
}  // namespace qv::test
