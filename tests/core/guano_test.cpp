// Place and time in every WAV the program writes: recordings, buffer saves
// and conversions carry a "guan" chunk after their samples, read here with a
// reader of the tests' own; every reader of the program stops at the end of
// "data", and the header repair leaves such files as they are.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "config/command_line.h"
#include "config/startup.h"
#include "files/conversions.h"
#include "files/file_info.h"
#include "files/guano.h"
#include "files/header_tools.h"
#include "files/sample_reader.h"
#include "recording/ram_buffer.h"
#include "recording/wav_file.h"
#include "recording_loop_util.h"
#include "support/wav_parts.h"
#include "remote/gps_logger.h"
#include "support/program_rig.h"

namespace qv {
namespace {

using test::le32;
using test::readFile;
using test::takeApart;
using test::WavParts;

const std::string kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";

// The assembled program with a scripted sound card and GPS.
struct StationRig : test::ProgramRig {
  StationRig() {
    startUp(p(), CommandLine{}, *subsystems->hooks, StartupOptions{false});
    options2("Combo2").setText("4");  // WaveIn buffers
    form1("Combo1").setText("4096");  // block size
    p().vars().RecLogFile = home.file("RecLog.Log");
  }
  void gpsSays(const std::string& sentence) {
    options2("ComPort").setText("/dev/ttyUSB0");
    options2("StartGPS").click();
    ASSERT_TRUE(net.serialPorts.back()->inject(sentence + "\r\n"));
  }
  // Pump pass n: the card fills one block (six at `burst`, two of them lost);
  // Stop at `stopAt`.
  void run(long burst, long stopAt, std::function<void(long)> also = {}) {
    pump.every([this, burst, stopAt, also] {
      const long n = pump.passes;
      if (n < stopAt)
        for (int i = 0; i < (n == burst ? 6 : 1); ++i) audioIn.completeNextRamp(static_cast<int16_t>(n));
      if (also) also(n);
      if (n == stopAt) form1("StartStop").click();
    });
    form1("StartStop").click();
  }
  std::vector<std::string> wavs() {
    std::vector<std::string> out;
    for (auto& e : std::filesystem::directory_iterator(home.path()))
      if (e.path().extension() == ".wav") out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
  }
};

TEST(Guano, ARecordingCarriesItsFixStartTimeNoteAndExactGapsAndReadsAsBefore) {
  StationRig rig;
  rig.gpsSays(kRmc);
  rig.form1("RealTimeRecording").click();
  rig.form1("Combo1").setText("4096");  // after the mode, which takes its own default
  // GIVEN a run in which the card loses two blocks at pass 5 and a note is made
  rig.run(5, 12, [&](long n) {
    if (n == 3) rig.form1("NoteSN").click();
  });
  auto files = rig.wavs();
  ASSERT_EQ(files.size(), 1u);
  const std::string bytes = readFile(files[0]);
  WavParts w = takeApart(bytes);
  ASSERT_EQ(w.error, "");

  // THEN the samples are where they always were and "data" covers them only
  ASSERT_TRUE(w.hasGuano);
  EXPECT_EQ(w.dataOffset, 44u);
  EXPECT_EQ(w.guanoOffset, 44u + w.dataSize);
  EXPECT_EQ(w.riffSize, bytes.size() - 8);
  const int64_t blocks = (int64_t(w.dataSize) - 4) / 2 / 4096;
  EXPECT_EQ(int64_t(w.dataSize), 4 + blocks * 4096 * 2);

  // AND the metadata says where, when and what, in the GUANO layout
  ASSERT_GE(w.guano.size(), 1u);
  EXPECT_EQ(w.guano[0], (std::pair<std::string, std::string>{"GUANO|Version", "1.0"}));
  EXPECT_EQ(w["Make"], "Quorvel");
  EXPECT_EQ(w["Model"], "Real-Time Spectrograph");
  EXPECT_EQ(w["Firmware Version"], "2.0");
  // The clock stands at 10:59:30 (UTC+1); the first block took 4096/48000 s to capture.
  EXPECT_EQ(w["Timestamp"], "2026-01-15T10:59:29.915+01:00");
  EXPECT_EQ(w["Samplerate"], "48000");
  // Fourteen blocks: passes 1-4, four of pass 5, passes 6-11.
  EXPECT_EQ(blocks, 14);
  EXPECT_EQ(w["Length"], "1.194667");
  EXPECT_EQ(w["Loc Position"], "48.117300 11.516667");
  EXPECT_EQ(w["Note"], "SN Sonar");
  EXPECT_FALSE(w.has("TE")) << "tape speed 1";
  // Blocks 1-4 and the four of pass 5 are in the file before the loss.
  EXPECT_EQ(w["Quorvel|Gaps"], "32768:8192");
  EXPECT_GE(rig.p().vars().FailCount, 1);

  // AND the program's readers stop at the end of "data"
  FileInfo info;
  ASSERT_TRUE(GetFileInfo(files[0], RawFileSettings{}, info).ok);
  EXPECT_EQ(info.frames, blocks * 4096);
  EXPECT_EQ(info.sampleEnd, int64_t(44 + w.dataSize));
  SampleReader reader;
  ASSERT_TRUE(reader.open(files[0], info));
  std::vector<int16_t> all(size_t(blocks * 4096) + 100);
  EXPECT_EQ(reader.readFrames(0, all.data(), all.size()), size_t(blocks * 4096));
  EXPECT_EQ(all[size_t(blocks * 4096) - 1], int16_t(11 + 4095)) << "the last block is pass 11's ramp";

  // AND "Fix wav header" leaves the file exactly as it is
  HeaderFix fx = FixWavHeader(files[0]);
  EXPECT_TRUE(fx.written);
  EXPECT_EQ(readFile(files[0]), bytes);
  if (test::haveSox()) {
    EXPECT_EQ(test::soxSamples(files[0]), blocks * 4096 + 2) << "bytes 44..47 are two more samples to sox";
  }
}

TEST(Guano, AFileCutOffBeforeItsChunkAndOneCutBetweenHeaderAndChunkAreRepaired) {
  test::TempDir dir;
  // A recording killed before its close: provisional header, samples, no chunk.
  const std::string cut = dir.file("cut.wav");
  {
    WavWriter w;
    ASSERT_TRUE(w.create(cut, 1, 8000));
    std::vector<int16_t> s(1000, 7);
    ASSERT_TRUE(w.append(s.data(), s.size()));
    test::writeFile(dir.file("cut-copy.wav"), readFile(cut));
  }
  std::string killed = readFile(dir.file("cut-copy.wav"));
  ASSERT_EQ(le32(killed, 40), 0xFFFFFFD4u);
  test::writeFile(cut, killed);
  ASSERT_TRUE(FixWavHeader(cut).written);
  std::string fixed = readFile(cut);
  EXPECT_EQ(le32(fixed, 40), 48u + 2000u - 44u);
  EXPECT_EQ(le32(fixed, 4), 48u + 2000u - 8u);

  // A chunk written but the header never completed: the repair keeps the chunk out of the data.
  const std::string meta = dir.file("meta.wav");
  GuanoRecord r;
  r.sampleRate = 8000;
  r.frames = 1000;
  const std::string text = guanoText(r);
  std::string chunk = "guan";
  for (int i = 0; i < 4; ++i) chunk += char((text.size() >> (8 * i)) & 0xFF);
  chunk += text;
  if (text.size() % 2) chunk += '\0';
  test::writeFile(meta, killed + chunk);
  ASSERT_TRUE(FixWavHeader(meta).written);
  WavParts w = takeApart(readFile(meta));
  EXPECT_EQ(w.error, "");
  EXPECT_EQ(w.dataSize, 2004u);
  EXPECT_EQ(w["Samplerate"], "8000");
  FileInfo info;
  ASSERT_TRUE(GetFileInfo(meta, RawFileSettings{}, info).ok);
  EXPECT_EQ(info.frames, 1000);
}

TEST(Guano, BufferSavesAndCutsTellTheTimeOfTheirOwnFirstFrame) {
  StationRig rig;
  // The position comes by the UDP GPS port this time; plain text there is no fix.
  rig.options0("AddUDP").setValue(1);
  ASSERT_NE(rig.net.udpOn(11115), nullptr);
  rig.net.udpOn(11115)->inject("$GPRMC,1,A,3351.000,S,15112.500,E,,,,,\r\n");
  rig.net.udpOn(11115)->inject("north jetty");
  rig.form1("Combo12").setText("4 Mbytes");  // RAM buffer
  rig.options0("RamBufferModeCombo").setText("1 - circular");
  rig.form1("RealTimeAnalysis").click();
  rig.run(5, 12);
  rig.form1("SaveBuffer").click();
  auto files = rig.wavs();
  ASSERT_EQ(files.size(), 1u) << rig.p().status();
  WavParts w = takeApart(readFile(files[0]));
  ASSERT_EQ(w.error, "");
  ASSERT_TRUE(w.hasGuano);
  // The fourteen blocks taken, in a buffer that did not wrap, with the loss
  // where it happened; they end now, at 10:59:30.000, so the first frame was
  // captured (14 x 4096 + 8192) / 48000 s earlier.
  EXPECT_EQ(w.dataSize, 4u + 14 * 4096 * 2);
  EXPECT_EQ(w["Quorvel|Gaps"], "32768:8192");
  EXPECT_EQ(w["Timestamp"], "2026-01-15T10:59:28.635+01:00");
  EXPECT_EQ(w["Loc Position"], "-33.850000 151.208333");

  // A cut of the first minute of a recording with gaps takes its time, place
  // and the gaps within it from the recording.
  const std::string src = rig.home.file("long.wav");
  {
    WavWriter out;
    ASSERT_TRUE(out.create(src, 1, 8000));
    std::vector<int16_t> second(8000, 3);
    for (int i = 0; i < 150; ++i) ASSERT_TRUE(out.append(second.data(), second.size()));
    GuanoRecord r;
    r.timestamp = parseIsoTimestamp("2026-03-01T23:59:00.000-03:00");
    r.sampleRate = 8000;
    r.frames = 150 * 8000;
    r.position = parsePosition("-33.850000 151.208333");
    r.gapsKnown = true;
    r.gaps = {{8000, 800}, {70 * 8000, 16000}, {130 * 8000, 5}};
    ASSERT_TRUE(out.close(guanoText(r)));
  }
  ConversionResult cut = extractCut(src, 1, 1);
  ASSERT_TRUE(cut.ok) << cut.message;
  WavParts c = takeApart(readFile(cut.outputs[0]));
  ASSERT_EQ(c.error, "");
  EXPECT_EQ(c.dataSize, 4u + 60 * 8000 * 2);
  // Minute 1 begins 60 s plus the 0.1 s lost before it after the recording's start.
  EXPECT_EQ(c["Timestamp"], "2026-03-02T00:00:00.100-03:00");
  EXPECT_EQ(c["Loc Position"], "-33.850000 151.208333");
  EXPECT_EQ(c["Quorvel|Gaps"], "80000:16000");
  EXPECT_EQ(c["Length"], "60");

  ConversionResult split = splitStereoFile(src);
  EXPECT_FALSE(split.ok) << "mono input refused as before";
}

TEST(Guano, TheTextRoundTripsAndBadTextIsHandledSafely) {
  GuanoRecord r;
  r.timestamp = parseIsoTimestamp("2026-01-15T10:59:29.915+01:00");
  ASSERT_TRUE(r.timestamp);
  EXPECT_EQ(isoTimestamp(*r.timestamp), "2026-01-15T10:59:29.915+01:00");
  EXPECT_EQ(isoTimestamp(plusSeconds(*r.timestamp, 3600 * 14)), "2026-01-16T00:59:29.915+01:00");
  r.sampleRate = 96000;
  r.frames = 96000 * 3 / 2;
  r.tapeSpeed = 0.1;
  r.position = PositionFix{true, -12.5, -0.000001};
  r.note = "line one\r\nline two \xff end";
  r.gapsKnown = true;
  r.gaps = {{10, 20}, {30, 40}};
  const std::string text = guanoText(r);
  GuanoFields f = parseGuanoText(text);
  EXPECT_EQ(*guanoValue(f, "Length"), "1.5");
  EXPECT_EQ(*guanoValue(f, "TE"), "0.1");
  EXPECT_EQ(*guanoValue(f, "Note"), "line one  line two ? end") << "no line breaks, valid UTF-8";
  EXPECT_EQ(*guanoValue(f, "Loc Position"), "-12.500000 -0.000001");
  GuanoRecord back = guanoRecordOf(f);
  EXPECT_EQ(back.timestamp->epochMs, r.timestamp->epochMs);
  EXPECT_EQ(back.gaps.size(), 2u);
  EXPECT_EQ(back.gaps[1].lost, 40);
  EXPECT_NEAR(back.position->latitude, -12.5, 1e-9);
  EXPECT_EQ(parseIsoTimestamp("2026-01-15T10:59:29Z")->offsetMinutes, 0);
  EXPECT_FALSE(parseIsoTimestamp("2026-13-15T10:59:29Z"));
  EXPECT_FALSE(parseIsoTimestamp("yesterday"));
  EXPECT_FALSE(parsePosition("91 0"));
  EXPECT_EQ(parseGaps("1:2 x 3:-4 5:6").size(), 2u);
  // A line with colons in its value: the key ends at the first, and what is
  // written of it reads back the same (blanks in the key once let a stray
  // ": " make a key of "Quorvel|Gaps  :  8").
  const GuanoFields odd = parseGuanoText(std::string("Quorvel|Gaps\0\0:\0 8\0: 7:1 x\nNote:a: b\nKey:\n", 42));
  ASSERT_EQ(odd.size(), 3u);
  EXPECT_EQ(odd[0].first, "Quorvel|Gaps");
  EXPECT_EQ(odd[1], (std::pair<std::string, std::string>{"Note", "a: b"}));
  EXPECT_EQ(odd[2].second, "");
  const GuanoRecord oddRecord = guanoRecordOf(odd);
  const GuanoRecord oddAgain = guanoRecordOf(parseGuanoText(guanoText(oddRecord)));
  EXPECT_EQ(oddRecord.gapsKnown, oddAgain.gapsKnown);
  EXPECT_EQ(oddRecord.gaps.size(), oddAgain.gaps.size());
}

}  // namespace
}  // namespace qv
