#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/settings.h"
#include "config/command_line.h"
#include "config/startup.h"
#include "realtime/live_participant.h"
#include "recording/ram_buffer.h"
#include "recording/recording_loop.h"
#include "recording_fixture.h"
#include "recording_loop_util.h"
#include "support/wav_parts.h"
#include "support/program_rig.h"

namespace qv {
namespace {

using test::le32;
using test::readFile;
using test::readWavSamples;
using test::sampleAt;

struct RamBufferTest : test::RecordingFixture {
  RunParams run;
  // The opener belongs to the assembled program (see LiveRecordingAssembly).
  RamBuffer buffer{p(), [](const std::string& f) { ADD_FAILURE() << "opened " << f; }};
  std::vector<int16_t> data;
  int blockNo = 0;

  RamBufferTest() {
    p().vars().SampleRate = 48000;
    p().vars().Channels = 1;
    run.BlockSize = 4096;
    opt("RamBufferModeCombo").setText("1 - circular");
  }
  void start(int mb, int channels = 1) {
    p().vars().Channels = channels;
    run.ramBufferMB = mb;
    deriveRunParams(run, p().vars());
    p().vars().StopFlag = false;
    ASSERT_TRUE(buffer.setUp(p(), run));
  }
  // Blocks whose words are all the block number.
  void feed(int blocks) {
    data.resize(static_cast<size_t>(run.BlockSize));
    for (int i = 0; i < blocks; ++i) {
      std::fill(data.begin(), data.end(), static_cast<int16_t>(++blockNo));
      buffer.block(data.data(), run.BlockSize);
    }
  }
  // Block numbers of a saved file, one per block.
  std::vector<int> blocksIn(const std::string& file) {
    const std::string b = readWavSamples(file);
    std::vector<int> out;
    for (size_t at = 48; at + 2 <= b.size(); at += static_cast<size_t>(run.BlockSize) * 2) out.push_back(sampleAt(b, at));
    return out;
  }
  std::string autoFile(const std::string& suffix = "") {
    return dir.file("buffer end at 20260115 105930" + suffix + ".wav");
  }
};

TEST_F(RamBufferTest, SetUpSizesToWholeBlocksOrStaysOff) {
  start(4);
  EXPECT_TRUE(buffer.RamRecording());
  EXPECT_EQ(buffer.RamBufferSize(), 2097152);
  EXPECT_EQ(buffer.RamBufferPointer(), 0);
  EXPECT_FALSE(buffer.RamBufferFilled());
  run.BlockSize = 3000;  // 699.05 blocks: 699 whole blocks
  start(4);
  EXPECT_EQ(buffer.RamBufferSize(), 699 * 3000);
  feed(3);
  start(0);
  EXPECT_FALSE(buffer.RamRecording());
  EXPECT_EQ(buffer.RamBufferPointer(), 0);
  EXPECT_LE(buffer.words().capacity(), 2u);
  buffer.SaveBuffer_Click();
  buffer.AnalyzeBuffer_Click();
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[0].text, "Buffer Empty");
  EXPECT_EQ(dialogs.shown[0].icon, MsgIcon::None);
  EXPECT_EQ(dialogs.shown[1].icon, MsgIcon::Warning);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(RamBufferTest, BlockCountIsNotLimitedTo16Bits) {
  run.BlockSize = 2048;
  start(256);
  EXPECT_EQ(buffer.RamBufferSize(), 65536LL * 2048);
  feed(40000);
  EXPECT_EQ(buffer.RamBufferPointer(), 40000LL * 2048);
  EXPECT_FALSE(buffer.RamBufferFilled());
}

TEST_F(RamBufferTest, WholeSaveAfterAWrapIsInTimeOrder) {
  start(4);  // 512 blocks
  feed(512 + 128);
  EXPECT_TRUE(buffer.RamBufferFilled());
  EXPECT_EQ(buffer.RamBufferPointer(), 128 * 4096);
  EXPECT_EQ(p().form1()["Label9"].caption(), "25%");
  buffer.SaveBuffer_Click();
  const auto blocks = blocksIn(autoFile());
  ASSERT_EQ(blocks.size(), 512u);
  for (int i = 0; i < 512; ++i) ASSERT_EQ(blocks[i], 129 + i) << i;
  EXPECT_EQ(p().status(), "Saved <buffer end at 20260115 105930>");
  EXPECT_EQ(buffer.RamBufferPointer(), 0);
  EXPECT_FALSE(buffer.RamBufferFilled());
  const std::string b = readWavSamples(autoFile());
  EXPECT_EQ(le32(b, 24), 48000u);
  EXPECT_EQ(le32(b, 40), b.size() - 44);
  if (test::haveSox()) {
    EXPECT_EQ(test::soxSamples(autoFile()), 512 * 4096 + 2);
  }
}

TEST_F(RamBufferTest, SecondSaveFindsTheBufferEmptyAndKeepsTheFirstFile) {
  start(4);
  feed(20);
  buffer.QuickSaveBuffer_Click();
  buffer.QuickSaveBuffer_Click();  // same second: the first file must survive
  EXPECT_EQ(blocksIn(autoFile()).size(), 20u);
  const std::string empty = readWavSamples(autoFile("-2"));
  ASSERT_EQ(empty.size(), 44u);  // the header alone, data length 0
  EXPECT_EQ(le32(empty, 40), 0u);
  EXPECT_EQ(p().status(), "Saved <buffer end at 20260115 105930-2>");
}

TEST_F(RamBufferTest, Save60sAt48000StereoTakesWhole2048WordChunks) {
  run.BlockSize = 8192;
  start(32, 2);  // 16777216 words, 174.76 s
  feed(1000);    // 8192000 words, not wrapped
  buffer.BufferSave60_Click();
  const std::string b = readWavSamples(autoFile());
  ASSERT_EQ(b.size(), 48u + 5758976u * 2);
  // The span ends at the newest word: block 1000's last words close the file.
  EXPECT_EQ(sampleAt(b, b.size() - 2), 1000);
  EXPECT_EQ(sampleAt(b, 48), 1000 - 702);  // 5758976 / 8192 = 702.99 blocks back
  if (test::haveSox()) {
    EXPECT_EQ(test::soxSamples(autoFile()), (5758976 + 2) / 2);
  }
}

TEST_F(RamBufferTest, Save30sOfAShortUnwrappedBufferTakesWhatThereIs) {
  start(16);
  feed(117);  // about 10 s mono
  buffer.BufferSave30_Click();
  EXPECT_EQ(readWavSamples(autoFile()).size(), 48u + 117u * 8192);
}

TEST_F(RamBufferTest, SpanAcrossTheWrapEndsAtTheNewestBlock) {
  start(4);  // 512 blocks of 4096
  feed(512 + 3);
  // 2 s = 96000 words = 46.875 chunks: 46 chunks = 94208 words = 23 blocks.
  ASSERT_TRUE(buffer.SaveBufferSpan(dir.file("span.wav"), 2));
  const auto blocks = blocksIn(dir.file("span.wav"));
  ASSERT_EQ(blocks.size(), 23u);
  for (int i = 0; i < 23; ++i) EXPECT_EQ(blocks[i], 515 - 22 + i);
}

TEST_F(RamBufferTest, SpanLongerThanTheBufferSavesItWhole) {
  start(4);  // 43.7 s mono
  feed(600);
  buffer.BufferSave60_Click();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, "Buffer shorter than requested");
  EXPECT_EQ(dialogs.shown[0].icon, MsgIcon::Information);
  EXPECT_EQ(blocksIn(autoFile()).size(), 512u);
}

TEST_F(RamBufferTest, StopWhenFullEndsTheRunAndKeepsTheWholeBuffer) {
  opt("RamBufferModeCombo").setText("2 - stop when full");
  start(4);
  feed(511);
  EXPECT_FALSE(p().vars().StopFlag);
  feed(1);
  EXPECT_TRUE(p().vars().StopFlag);
  EXPECT_TRUE(buffer.RamBufferFilled());
  feed(2);  // rest of the pass: the full buffer is not overwritten
  ASSERT_TRUE(buffer.SaveWholeBuffer(dir.file("full.wav")));
  const auto blocks = blocksIn(dir.file("full.wav"));
  ASSERT_EQ(blocks.size(), 512u);
  EXPECT_EQ(blocks.front(), 1);
  EXPECT_EQ(blocks.back(), 512);
}

TEST_F(RamBufferTest, ChosenNamesGetTheExtensionAndCancelWritesNothing) {
  start(4);
  feed(10);
  buffer.SaveBufferAs_Click();  // cancelled
  for (auto& e : std::filesystem::directory_iterator(dir.path())) EXPECT_NE(e.path().extension(), ".wav");
  EXPECT_EQ(buffer.RamBufferPointer(), 10 * 4096);
  ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
  EXPECT_EQ(dialogs.fileDialogs[0].initialName, "buffer end at 20260115 105930");
  EXPECT_EQ(dialogs.fileDialogs[0].initialFolder, dir.path());
  EXPECT_EQ(dialogs.fileDialogs[0].defaultExt, "wav");

  dialogs.saveAnswers.push_back(dir.file("mine"));
  buffer.SaveBufferAs_Click();
  EXPECT_EQ(blocksIn(dir.file("mine.wav")).size(), 10u);

  feed(20);
  dialogs.inputs.push_back("0.5");  // less than a second: nothing
  buffer.SaveBufferPartial_Click();
  EXPECT_EQ(dialogs.fileDialogs.size(), 2u);
  dialogs.inputs.push_back("1");
  dialogs.saveAnswers.push_back(dir.file("part.WAV"));
  buffer.SaveBufferPartial_Click();
  // 1 s = 48000 words = 23 chunks = 47104 words.
  EXPECT_EQ(readWavSamples(dir.file("part.WAV")).size(), 48u + 47104u * 2);
}

TEST_F(RamBufferTest, AFailedSaveKeepsTheBuffer) {
  start(4);
  feed(7);
  EXPECT_FALSE(buffer.SaveWholeBuffer(dir.file("missing/b.wav")));
  EXPECT_EQ(buffer.RamBufferPointer(), 7 * 4096);
  opt("FileRecPathField").setText(dir.file("gone/"));
  buffer.SaveBuffer_Click();
  EXPECT_EQ(buffer.RamBufferPointer(), 7 * 4096);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_NE(dialogs.shown[0].text.find("gone/buffer end at"), std::string::npos);
  EXPECT_EQ(p().status().substr(0, 18), "Buffer not saved: ");
}

TEST(LiveRecordingAssembly, BufferThenRecordingAreRegisteredAndTheMenuSaves) {
  test::ProgramRig rig;
  auto& parts = rig.p().liveParticipants();
  ASSERT_GE(parts.size(), 2u);
  RamBuffer* buffer = nullptr;
  RecordingLoop* recording = nullptr;
  size_t bi = 0, ri = 0;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (auto* b = dynamic_cast<RamBuffer*>(parts[i])) buffer = b, bi = i;
    if (auto* r = dynamic_cast<RecordingLoop*>(parts[i])) recording = r, ri = i;
  }
  ASSERT_TRUE(buffer && recording);
  EXPECT_LT(bi, ri);
  RunParams run;
  run.BlockSize = 4096;
  run.ramBufferMB = 4;
  deriveRunParams(run, rig.p().vars());
  ASSERT_TRUE(buffer->setUp(rig.p(), run));
  std::vector<int16_t> block(4096, 7);
  buffer->block(block.data(), 4096);
  rig.options0("FileRecPathField").setText(rig.home.path());
  rig.form1("SaveBuffer").click();
  EXPECT_EQ(readWavSamples(rig.home.file("buffer end at 20260115 105930.wav")).size(), 48u + 8192);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// The buffer of a real run in the assembled program, handed to the file
// analysis and saved in part with what an operator might type.
struct AssembledBuffer : test::ProgramRig {
  AssembledBuffer() {
    startUp(p(), CommandLine{}, *subsystems->hooks, StartupOptions{false});
    options2("Combo2").setText("4");
    form1("Combo1").setText("4096");
    form1("Combo12").setText("4 Mbytes");
    pump.every([this] {
      if (pump.passes < 11) audioIn.completeNextRamp(static_cast<int16_t>(100 * pump.passes));
      if (pump.passes == 11) form1("StartStop").click();
    });
    form1("StartStop").click();  // ten blocks, then Stop
  }
  RamBuffer& buffer() {
    for (LiveParticipant* part : p().liveParticipants())
      if (auto* b = dynamic_cast<RamBuffer*>(part)) return *b;
    throw std::logic_error("no RAM buffer");
  }
};

TEST(LiveRecordingAssembly, AnalyzeAndPlayBufferOpenTheSavedBufferAsTheCurrentFile) {
  AssembledBuffer rig;
  ASSERT_EQ(rig.buffer().RamBufferPointer(), 10 * 4096);
  rig.form1("AnalyzeBuffer").click();
  const std::string temp = rig.p().programFile("temp.wav");
  EXPECT_EQ(rig.p().vars().CurrentFile, temp);
  const std::string bytes = readWavSamples(temp);
  ASSERT_EQ(bytes.size(), 48u + 10 * 4096 * 2);
  EXPECT_EQ(sampleAt(bytes, 48), 100);                    // the first block's ramp
  EXPECT_EQ(sampleAt(bytes, 48 + 9 * 4096 * 2), 1000);  // the tenth block's
  EXPECT_EQ(rig.buffer().RamBufferPointer(), 0);

  // "Play Buffer" over the file it just analysed: a fresh temp.wav, opened again.
  rig.p().vars().CurrentFile.clear();
  rig.buffer().block(std::vector<int16_t>(4096, 9).data(), 4096);
  rig.form1("PlayBuffer").click();
  EXPECT_EQ(rig.p().vars().CurrentFile, temp);
  EXPECT_EQ(readWavSamples(temp).size(), 48u + 4096 * 2);
}

TEST(LiveRecordingAssembly, SecondsThatAreNoSpanOfTheBufferAreRefusedAndTheBufferKept) {
  AssembledBuffer rig;
  for (const char* typed : {"1e15", "1e30", "-3", "abc", "0", "45"}) {
    rig.dialogs.inputs.push_back(typed);
    const size_t shown = rig.dialogs.shown.size();
    rig.form1("SaveBufferPartial").click();
    EXPECT_TRUE(rig.dialogs.fileDialogs.empty()) << typed << ": no save dialog";
    EXPECT_EQ(rig.buffer().RamBufferPointer(), 10 * 4096) << typed;
    ASSERT_EQ(rig.dialogs.shown.size(), shown + 2) << typed;  // the question, then the refusal
    EXPECT_NE(rig.dialogs.shown.back().text.find("nothing was saved"), std::string::npos) << typed;
    EXPECT_EQ(rig.p().status(), rig.dialogs.shown.back().text);
  }
  // A span the buffer holds (4 MB at 48000 Hz mono: 43 s) is saved.
  rig.dialogs.inputs.push_back("0.5e1");
  rig.dialogs.saveAnswers.push_back(rig.home.file("five"));
  rig.form1("SaveBufferPartial").click();
  // 10 blocks = 40960 words are less than 5 s: everything recorded so far.
  EXPECT_EQ(readWavSamples(rig.home.file("five.wav")).size(), 48u + 40960u * 2);
  EXPECT_EQ(rig.buffer().RamBufferPointer(), 0);
}

}  // namespace
}  // namespace qv
