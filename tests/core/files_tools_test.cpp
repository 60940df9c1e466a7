#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "core/designer.h"
#include "core/program.h"
#include "files/conversions.h"
#include "files/file_info.h"
#include "files/header_tools.h"
#include "files/open_dialog.h"
#include "files/open_file.h"
#include "platform/doubles/scripted_dialogs.h"
#include "support/wav_parts.h"
#include "support/temp_dir.h"
#include "core/files_test_util.h"

namespace qv {
namespace {

using test::Bytes;
using test::ownWavHeader;
using test::TempDir;

uint32_t u32At(const std::string& s, size_t o) {
  return static_cast<uint8_t>(s[o]) | (static_cast<uint8_t>(s[o + 1]) << 8) | (static_cast<uint8_t>(s[o + 2]) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(s[o + 3])) << 24);
}
uint16_t u16At(const std::string& s, size_t o) {
  return static_cast<uint16_t>(static_cast<uint8_t>(s[o]) | (static_cast<uint8_t>(s[o + 1]) << 8));
}

struct FileTools : ::testing::Test {
  TempDir dir;
  ScriptedDialogs dialogs;
  Program program{Services{.dialogs = &dialogs}, dir.path()};
  void SetUp() override {
    buildForms(program.forms());
    program.options0()["DefPlayPathField"].setText(dir.path());
  }
};

// ---- header report and repair ----

TEST(WavHeaderTools, ReportShowsEveryFieldWithSignedNumbers) {
  TempDir d;
  Bytes h = ownWavHeader(2, 48000, 0, 0xFFFFFFD4);
  test::writeFile(d.file("a.wav"), h.b + std::string(4, '\0'));
  std::string want = "File " + d.file("a.wav") +
                     "\r\nSignature RIFF\r\nFilesize  0\r\nFormat WAVEfmt \r\n         16\r\nMode  1\r\n"
                     "Channels  2\r\nSample rate  48000\r\nBytes x sec  192000\r\nBytes x sample  4\r\n"
                     "Bits x sample  16\r\nData start data\r\nData size -44";
  EXPECT_EQ(wavHeaderReport(d.file("a.wav")), want);
  test::writeFile(d.file("s.wav"), "RIFF1234");
  EXPECT_EQ(wavHeaderReport(d.file("s.wav")),
            "File " + d.file("s.wav") + "\r\nis only 8 bytes long: too short for a WAV header");
  ScriptedDialogs dl;
  ShowWavHeader(dl, "");
  EXPECT_TRUE(dl.shown.empty());
  ShowWavHeader(dl, d.file("a.wav"));
  ASSERT_EQ(dl.texts(), std::vector<std::string>{want});
}

TEST(WavHeaderTools, RepairRewritesTheHeaderFromTheRealLength) {
  TempDir d;
  // A recording cut short, 8-bit in the header: becomes a complete 16-bit one.
  Bytes h = ownWavHeader(2, 44100, 0, 0xFFFFFFD4, 8);
  std::string samples(1000, '\x11');
  test::writeFile(d.file("a.wav"), h.b + std::string(4, '\0') + samples);
  HeaderFix fx = FixWavHeader(d.file("a.wav"));
  ASSERT_TRUE(fx.written) << fx.message;
  EXPECT_FALSE(fx.sizesOnly);
  std::string f = test::readFile(d.file("a.wav"));
  ASSERT_EQ(f.size(), 1048u);
  EXPECT_EQ(f.substr(0, 4), "RIFF");
  EXPECT_EQ(u32At(f, 4), 1040u);  // length - 8
  EXPECT_EQ(f.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(u32At(f, 16), 16u);
  EXPECT_EQ(u16At(f, 20), 1);
  EXPECT_EQ(u16At(f, 22), 2);
  EXPECT_EQ(u32At(f, 24), 44100u);
  EXPECT_EQ(u32At(f, 28), 44100u * 4);
  EXPECT_EQ(u16At(f, 32), 4);
  EXPECT_EQ(u16At(f, 34), 16);
  EXPECT_EQ(f.substr(36, 4), "data");
  EXPECT_EQ(u32At(f, 40), 1004u);
  EXPECT_EQ(f.substr(44), std::string(4, '\0') + samples);
  // Repairing again changes nothing.
  ASSERT_TRUE(FixWavHeader(d.file("a.wav")).written);
  EXPECT_EQ(test::readFile(d.file("a.wav")), f);
  FileInfo fi;
  ASSERT_TRUE(GetFileInfo(d.file("a.wav"), {}, fi).ok);
  EXPECT_FALSE(fi.headerNeedsRepair);
  EXPECT_EQ(fi.frames, 250);
}

TEST(WavHeaderTools, RepairNeverWritesShortOrForeignFiles) {
  TempDir d;
  const std::string shortFile = "RIFF\x10\0\0\0WAVEfmt ";
  const std::string notWav = std::string("ID3\x03") + std::string(200, 'm');
  test::writeFile(d.file("short.wav"), shortFile);
  test::writeFile(d.file("mp3.wav"), notWav);
  HeaderFix a = FixWavHeader(d.file("short.wav"));
  HeaderFix b = FixWavHeader(d.file("mp3.wav"));
  EXPECT_FALSE(a.written);
  EXPECT_FALSE(b.written);
  EXPECT_NE(a.message.find("shorter"), std::string::npos);
  EXPECT_NE(b.message.find("RIFF"), std::string::npos);
  EXPECT_EQ(test::readFile(d.file("short.wav")), shortFile);
  EXPECT_EQ(test::readFile(d.file("mp3.wav")), notWav);
  EXPECT_FALSE(FixWavHeader(d.file("none.wav")).written);
}

TEST(WavHeaderTools, RepairOfAnotherLayoutMendsOnlyTheSizes) {
  TempDir d;
  // Extensible 24-bit with a LIST chunk before "data" and an unfinished data size.
  Bytes x;
  x.tag("RIFF").u32(0).tag("WAVE").tag("fmt ").u32(40).u16(0xFFFE).u16(1).u32(48000).u32(144000).u16(3).u16(24);
  x.u16(22).u16(24).u32(4).u16(1).u16(0).u8(0).u8(0).u8(0x10).u8(0).u8(0x80).u8(0).u8(0).u8(0xAA).u8(0).u8(0x38)
      .u8(0x9B).u8(0x71);
  x.tag("LIST").u32(4).tag("INFO");
  size_t data = x.size();
  x.tag("data").u32(0xFFFFFFFF).s24(100).s24(200).s24(300);
  test::writeFile(d.file("x.wav"), x.b);
  HeaderFix fx = FixWavHeader(d.file("x.wav"));
  ASSERT_TRUE(fx.written);
  EXPECT_TRUE(fx.sizesOnly);
  std::string f = test::readFile(d.file("x.wav"));
  std::string want = x.b;
  want.replace(4, 4, Bytes().u32(static_cast<uint32_t>(x.size() - 8)).b);
  want.replace(data + 4, 4, Bytes().u32(9).b);
  EXPECT_EQ(f, want);
  // The format survived: still three 24-bit samples.
  FileInfo fi;
  ASSERT_TRUE(GetFileInfo(d.file("x.wav"), {}, fi).ok);
  EXPECT_EQ(fi.coding, SampleCoding::Int24);
  EXPECT_EQ(fi.frames, 3);
}

// ---- file dialog ----

TEST_F(FileTools, OpenDialogAsksAgainUntilTheExtensionFitsAndRemembersTheFolder) {
  test::writeFile(dir.file("a.txt"), "x");
  test::writeFile(dir.file("b.WAV"), "x");
  program.options0()["DefPlayPathField"].setText("/elsewhere/");
  dialogs.openAnswers = {{dir.file("a.txt")}, {dir.file("b.WAV")}};
  EXPECT_EQ(OpenFileDialog(program, "/start/", "wav"), dir.file("b.WAV"));
  ASSERT_EQ(dialogs.fileDialogs.size(), 2u);
  EXPECT_EQ(dialogs.fileDialogs[0].initialFolder, "/start/");
  EXPECT_EQ(dialogs.fileDialogs[0].filter, "*.wav");
  EXPECT_EQ(program.options0()["DefPlayPathField"].text(), dir.path());
  // "m??" takes any name; a missing file gives nothing.
  dialogs.openAnswers = {{dir.file("a.txt")}, {dir.file("gone.M16")}};
  EXPECT_EQ(OpenFileDialog(program, "", "m??"), dir.file("a.txt"));
  EXPECT_EQ(OpenFileDialog(program, "", "m??"), "");
  // While a loop runs no dialog is offered.
  program.vars().StopFlag = false;
  dialogs.fileDialogs.clear();
  EXPECT_EQ(OpenFileDialog(program, "", "wav"), "");
  EXPECT_TRUE(dialogs.fileDialogs.empty());
}

// ---- conversions ----

std::string stereoFile(int frames, int rate) {
  Bytes f = ownWavHeader(2, rate, static_cast<uint32_t>(40 + frames * 4), static_cast<uint32_t>(4 + frames * 4));
  f.zeros(4);
  for (int i = 0; i < frames; ++i) f.s16(i % 32000).s16(-(i % 32000) - 1);
  return f.b;
}

TEST_F(FileTools, SplitStereoGivesTwoMonoFilesOfHalfTheSamples) {
  std::string in = dir.file("st.wav");
  test::writeFile(in, stereoFile(1024, 32000));  // 48 + 4096 bytes
  test::writeFile(dir.file("st ch2.wav"), std::string(100000, 'o'));  // an old output, kept
  dialogs.openAnswers = {{in}};
  Split2chwav_Click(program);
  EXPECT_TRUE(dialogs.shown.empty()) << dialogs.texts()[0];
  EXPECT_EQ(test::readFile(dir.file("st ch2.wav")), std::string(100000, 'o'));
  for (int c = 0; c < 2; ++c) {
    const std::string path = dir.file(c ? "st ch2-2.wav" : "st ch1.wav");
    std::string f = test::readWavSamples(path);
    ASSERT_EQ(f.size(), 48u + 2048u);
    EXPECT_EQ(u32At(f, 4), test::readFile(path).size() - 8);
    EXPECT_EQ(u16At(f, 22), 1);
    EXPECT_EQ(u32At(f, 24), 32000u);
    EXPECT_EQ(u32At(f, 44), 0u);
    for (int i : {0, 511, 512, 1023})
      EXPECT_EQ(test::sampleAt(f, 48 + 2 * i), c ? -i - 1 : i) << c << " " << i;
  }
  // A last chunk that is not full is completed with zeros.
  test::writeFile(in, stereoFile(600, 8000));
  ConversionResult r = splitStereoFile(in);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.outputs[0], dir.file("st ch1-2.wav"));
  std::string f = test::readWavSamples(r.outputs[0]);
  ASSERT_EQ(f.size(), 48u + 2 * 1024u);
  EXPECT_EQ(test::sampleAt(f, 48 + 2 * 599), 599);
  EXPECT_EQ(test::sampleAt(f, 48 + 2 * 600), 0);
  // A mono file is not split.
  Bytes mono = ownWavHeader(1, 8000, 0, 0xFFFFFFD4);
  test::writeFile(dir.file("m.wav"), mono.zeros(100).b);
  dialogs.openAnswers = {{dir.file("m.wav")}};
  Split2chwav_Click(program);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_NE(dialogs.shown[0].text.find("only stereo"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.file("m ch1.wav")));
}

TEST_F(FileTools, SplitFourChannelsAsksTheRateAndPadsTheLastChunk) {
  std::string in = dir.file("four.bin");
  Bytes b;
  for (int i = 0; i < 256 + 3; ++i)
    for (int c = 0; c < 4; ++c) b.s16(c * 1000 + i);
  test::writeFile(in, b.b);  // 2048 + 24 bytes
  dialogs.openAnswers = {{in}};
  dialogs.inputs = {"96000 Hz"};
  Split4ch_Click(program);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, "Sampling rate for " + in);
  for (int c = 0; c < 4; ++c) {
    std::string f = test::readWavSamples(dir.file("four ch" + std::to_string(c + 1) + ".wav"));
    ASSERT_EQ(f.size(), 48u + 1024u);
    EXPECT_EQ(u32At(f, 24), 96000u);
    EXPECT_EQ(test::sampleAt(f, 48), c * 1000);
    EXPECT_EQ(test::sampleAt(f, 48 + 2 * 258), c * 1000 + 258);
    EXPECT_EQ(test::sampleAt(f, 48 + 2 * 259), 0);
  }
  // A rate that is no number writes nothing.
  std::filesystem::remove(dir.file("four ch1.wav"));
  dialogs.shown.clear();
  dialogs.openAnswers = {{in}};
  dialogs.inputs = {"fast"};
  Split4ch_Click(program);
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_NE(dialogs.shown[1].text.find("Invalid sampling rate"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.file("four ch1.wav")));
}

TEST_F(FileTools, ExtractCutCopiesWholeMinutesOfOneSecondChunks) {
  const int rate = 48000;
  std::string in = dir.file("long.wav");
  test::writeFile(in, stereoFile(rate * 90, rate));  // 90 s of stereo
  test::writeFile(dir.file("long - cut 0.wav"), std::string(1200, 'o'));  // kept
  dialogs.openAnswers = {{in}};
  dialogs.inputs = {"0", "1"};
  ExtractCut_Click(program);
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[0].text,
            in + "\r\n 48000 2 " + std::to_string(40 + rate * 90 * 4) + "\r\nStartPoint in minutes");
  EXPECT_EQ(dialogs.shown[1].text, "Duration in minutes");
  EXPECT_EQ(test::readFile(dir.file("long - cut 0.wav")), std::string(1200, 'o'));
  std::string f = test::readWavSamples(dir.file("long - cut 0-2.wav"));
  ASSERT_EQ(f.size(), 48u + 60u * 192000u);
  EXPECT_EQ(u32At(f, 4), test::readFile(dir.file("long - cut 0-2.wav")).size() - 8);
  EXPECT_EQ(u32At(f, 40), f.size() - 44);
  EXPECT_EQ(u16At(f, 22), 2);
  EXPECT_EQ(u32At(f, 24), 48000u);
  std::string src = test::readFile(in);
  EXPECT_EQ(f.substr(48), src.substr(48, 60u * 192000u));
  // From minute 1 for 1 minute: 30 s of audio, then zeros to the full minute.
  ConversionResult r = extractCut(in, 1, 1);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(r.outputs[0], dir.file("long - cut 1.wav"));
  f = test::readWavSamples(r.outputs[0]);
  ASSERT_EQ(f.size(), 48u + 60u * 192000u);
  EXPECT_EQ(f.substr(48, 30u * 192000u), src.substr(48 + 60u * 192000u));
  EXPECT_EQ(f.substr(48 + 30u * 192000u), std::string(30u * 192000u, '\0'));
  // A start past the end, or no duration, writes nothing.
  EXPECT_FALSE(extractCut(in, 2, 1).ok);
  EXPECT_FALSE(std::filesystem::exists(dir.file("long - cut 2.wav")));
  EXPECT_FALSE(extractCut(in, 0, 0).ok);
  EXPECT_EQ(cutFileName("/x/a.wav", 5), "/x/a - cut 5.wav");
}

TEST_F(FileTools, CheckExtFileShowsTheDivisor) {
  Bytes e;
  e.s32(5).s32(-1000000).s32(7);
  test::writeFile(dir.file("x.ext"), e.b);
  dialogs.openAnswers = {{dir.file("x.ext")}};
  CheckExtFile_Click(program);
  EXPECT_EQ(dialogs.texts(), std::vector<std::string>{dir.file("x.ext") + "\r\nOptimal conversion factor =  64"});
  // Cancel: nothing shown.
  dialogs.shown.clear();
  CheckExtFile_Click(program);
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(FileTools, FixMenuRepairsThenShowsOrWarns) {
  Bytes h = ownWavHeader(1, 8000, 0, 0xFFFFFFD4);
  test::writeFile(dir.file("a.wav"), h.zeros(104).b);
  dialogs.openAnswers = {{dir.file("a.wav")}};
  mnuFixWavHeader_Click(program);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_NE(dialogs.shown[0].text.find("Filesize  140\r\n"), std::string::npos);
  EXPECT_NE(dialogs.shown[0].text.find("Data size  104"), std::string::npos);
  test::writeFile(dir.file("b.wav"), "RIFF");
  dialogs.openAnswers = {{dir.file("b.wav")}};
  mnuFixWavHeader_Click(program);
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[1].icon, MsgIcon::Warning);
  EXPECT_EQ(test::readFile(dir.file("b.wav")), "RIFF");
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(OpenFileChecks, AnUnfinishedHeaderIsRepairedAndTheLabelDescribesTheFile) {
  TempDir d;
  Bytes h = ownWavHeader(1, 48000, 0, 0xFFFFFFD4);
  test::writeFile(d.file("rec.wav"), h.zeros(4 + 2048).b);
  FileInfo fi;
  OpenCheck c = checkFileForOpen(d.file("rec.wav"), {}, fi);
  ASSERT_TRUE(c.ok);
  EXPECT_TRUE(c.headerRepaired);
  EXPECT_EQ(u32At(test::readFile(d.file("rec.wav")), 4), 2096u - 8);
  EXPECT_EQ(fi.frames, 1024);
  c = checkFileForOpen(d.file("rec.wav"), {}, fi);
  EXPECT_FALSE(c.headerRepaired);  // complete now
  c = checkFileForOpen(d.file("rec.xyz"), {}, fi);
  EXPECT_FALSE(c.ok);
  EXPECT_EQ(c.message, "Unknown File Extension (" + d.file("rec.xyz") + " > XYZ)");

  EXPECT_EQ(openFileLabel("/d/a.wav", 0, 1263616, 48000, 1), "/d/a.wav 1234kb 48000s/sec 1ch 16bit");
  EXPECT_EQ(openFileLabel("/d/a.wav", 3, 512, 8000, 2), "PlayList /d/a.wav 0kb 8000s/sec 2ch 16bit");
  std::string longPath = "/" + std::string(90, 'p') + "/name.wav";
  EXPECT_EQ(openFileLabel(longPath, 0, 1536, 8000, 1), "../name.wav 2kb 8000s/sec 1ch 16bit");
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST_F(FileTools, RawFileFieldsAreReadAsLeadingNumbers) {
  Form& o = program.options1();
  o["txtHeaderSkip"].setText(" 12 bytes");
  o["txtRawSampleRate"].setText("22050.5");
  o["textScale32Bit"].setText("x");
  RawFileSettings r = rawFileSettings(program.forms());
  EXPECT_EQ(r.headerSkip, 12);
  EXPECT_EQ(r.rawSampleRate, 22050);  // half to even
  EXPECT_EQ(r.scale32, 0);
  test::writeFile(dir.file("a.ext"), std::string(8, '\0'));
  FileInfo fi;
  FileCheck c = GetFileInfo(dir.file("a.ext"), r, fi);
  EXPECT_FALSE(c.ok);  // a divisor of 0 would divide by zero
  EXPECT_NE(c.message.find("Scale 32bit to 16bit by"), std::string::npos);
}

}  // namespace
}  // namespace qv
