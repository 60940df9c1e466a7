#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "analysis/settings.h"
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
  RamBuffer buffer{p()};
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

TEST_F(RamBufferTest, AnalyzeBufferSavesTempWavAndOpensIt) {
  start(4);
  feed(5);
  std::string opened;
  buffer.openFile = [&](const std::string& f) { opened = f; };
  test::writeFile(p().programFile("temp.wav"), std::string(1000000, 'x'));
  buffer.AnalyzeBuffer_Click();
  EXPECT_EQ(opened, p().programFile("temp.wav"));
  EXPECT_EQ(blocksIn(opened).size(), 5u);
  feed(2);
  buffer.PlayBuffer_Click();
  EXPECT_EQ(blocksIn(opened).size(), 2u);
}

TEST_F(RamBufferTest, AFailedSaveKeepsTheBuffer) {
  start(4);
  feed(7);
  EXPECT_FALSE(buffer.SaveWholeBuffer("/dev/full"));
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
