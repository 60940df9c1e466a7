// A station killed outright in mid-recording: what was written must survive.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <csignal>
#include <cstring>
#include <thread>
#include <vector>

#include "files/header_tools.h"
#include "platform/audio/test_signal.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

uint32_t le32(const std::string& b, size_t at) {
  uint32_t v = 0;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

TEST(RecordingKill, AKilledRecordingKeepsEveryBlockWrittenAndItsHeaderIsRepaired) {
  test::TempDir home;
  const std::string rec = home.path() + "rec/";
  QDir().mkpath(QString::fromStdString(rec));
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QUORVEL_TEST_SIGNAL_SEED", "7");
  env.insert("QUORVEL_NO_SOUND_CARD", "1");
  p.setProcessEnvironment(env);
  p.start(QUORVEL_EXE, {"--headless", "--home", QString::fromStdString(home.path()), "--set",
                        QString::fromStdString("OPTIONS0.FileRecPathField=" + rec), "--set",
                        "OPTIONS0.NchanCombo=2 - stereo", "--set", "FORM1.Combo1=4096", "--task", "2", "--start"});
  ASSERT_TRUE(p.waitForStarted());

  // Wait until some blocks are on disk, then kill without warning.
  QStringList wavs;
  for (int i = 0; i < 200 && (wavs.isEmpty() || QFileInfo(QString::fromStdString(rec) + wavs[0]).size() < 200000);
       ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    wavs = QDir(QString::fromStdString(rec)).entryList({"*.wav"});
  }
  ::kill(static_cast<pid_t>(p.processId()), SIGKILL);
  p.waitForFinished(5000);
  ASSERT_EQ(wavs.size(), 1);
  const std::string path = rec + wavs[0].toStdString();

  // The provisional header is still there: sizes were never patched.
  std::string bytes = test::readFile(path);
  ASSERT_GE(bytes.size(), 48u + 4096 * 2);
  EXPECT_EQ(bytes.substr(0, 4), "RIFF");
  EXPECT_NE(le32(bytes, 40), bytes.size() - 44) << "the data size was already patched";

  // Every whole block written before the kill is the input, sample for sample.
  const size_t samples = (bytes.size() - 48) / 2;
  const size_t blocks = samples / 4096;
  ASSERT_GE(blocks, 2u);
  std::vector<int16_t> expected(blocks * 4096);
  TestSignalGenerator gen(7, 48000, 2);
  gen.generate(expected.data(), static_cast<int>(expected.size() / 2));
  std::vector<int16_t> got(expected.size());
  std::memcpy(got.data(), bytes.data() + 48, got.size() * 2);
  size_t firstDiff = 0;
  while (firstDiff < got.size() && got[firstDiff] == expected[firstDiff]) ++firstDiff;
  EXPECT_EQ(firstDiff, got.size()) << "first differing sample " << firstDiff << " of " << got.size();

  // The repair makes the sizes match the file; the samples stay untouched.
  HeaderFix fix = FixWavHeader(path);
  EXPECT_TRUE(fix.written) << fix.message;
  std::string repaired = test::readFile(path);
  ASSERT_EQ(repaired.size(), bytes.size());
  EXPECT_EQ(le32(repaired, 4), repaired.size() - 8);
  EXPECT_EQ(le32(repaired, 40), repaired.size() - 44);
  EXPECT_EQ(repaired.substr(48), bytes.substr(48));
}

}  // namespace
}  // namespace qv
