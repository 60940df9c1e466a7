#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "recording/wav_file.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

using test::readFile;
using test::TempDir;

uint32_t u32(const std::string& b, size_t at) {
  return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
         uint32_t(uint8_t(b[at + 3])) << 24;
}
uint16_t u16(const std::string& b, size_t at) { return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); }
int16_t sampleAt(const std::string& b, size_t at) { return static_cast<int16_t>(u16(b, at)); }

// Output of a shell command, or nullopt-like empty with ok=false.
bool run(const std::string& cmd, std::string& out) {
  out.clear();
  FILE* f = popen(cmd.c_str(), "r");
  if (!f) return false;
  char buf[512];
  while (fgets(buf, sizeof buf, f)) out += buf;
  return pclose(f) == 0;
}

bool haveTool(const std::string& name) {
  std::string out;
  return run("command -v " + name + " >/dev/null 2>&1", out);
}

std::vector<int16_t> ramp(size_t n, int16_t start = 0) {
  std::vector<int16_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<int16_t>(start + static_cast<int>(i));
  return v;
}

TEST(WavHeader, ProvisionalThenFinalSizes) {
  TempDir d;
  const std::string f = d.file("a.wav");
  ASSERT_TRUE(WriteWavHeader(f, 2, 48000));  // creates the missing file
  std::string b = readFile(f);
  ASSERT_EQ(b.size(), 44u);
  EXPECT_EQ(b.substr(0, 4), "RIFF");
  EXPECT_EQ(u32(b, 4), 0u);
  EXPECT_EQ(b.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(u32(b, 16), 16u);
  EXPECT_EQ(u16(b, 20), 1);
  EXPECT_EQ(u16(b, 22), 2);
  EXPECT_EQ(u32(b, 24), 48000u);
  EXPECT_EQ(u32(b, 28), 192000u);
  EXPECT_EQ(u16(b, 32), 4);
  EXPECT_EQ(u16(b, 34), 16);
  EXPECT_EQ(b.substr(36, 4), "data");
  EXPECT_EQ(u32(b, 40), 0xFFFFFFD4u);  // -44: an interrupted recording shows it

  // 1000 bytes of samples from byte 48, then the final header.
  std::string body = b + std::string(4, '\0') + std::string(1000, '\x11');
  test::writeFile(f, body);
  ASSERT_TRUE(WriteWavHeader(f, 1, 44100));
  b = readFile(f);
  ASSERT_EQ(b.size(), 1048u);
  EXPECT_EQ(u32(b, 4), 1040u);  // RIFF size: file length - 8
  EXPECT_EQ(u32(b, 40), 1004u);  // data from 44, bytes 44..47 included
  EXPECT_EQ(u16(b, 22), 1);
  EXPECT_EQ(u32(b, 28), 88200u);
  EXPECT_EQ(u16(b, 32), 2);
  EXPECT_EQ(b.substr(48), std::string(1000, '\x11'));  // samples untouched
}

TEST(WavHeader, SizesAbove2GBAreUnsignedAndAbove4GBRefused) {
  auto h = buildWavHeader(3'000'000'000LL, 2, 96000);
  std::string b(h.begin(), h.end());
  EXPECT_EQ(u32(b, 4), 2'999'999'992u);
  EXPECT_EQ(u32(b, 40), 2'999'999'956u);

  TempDir d;
  const std::string f = d.file("big.wav");
  ASSERT_TRUE(WriteWavHeader(f, 2, 96000));
  ASSERT_EQ(truncate(f.c_str(), 5'000'000'000LL), 0);  // sparse
  std::string err;
  EXPECT_FALSE(WriteWavHeader(f, 2, 96000, &err));
  EXPECT_NE(err.find("4 GB"), std::string::npos) << err;
  std::FILE* fp = std::fopen(f.c_str(), "rb");
  char head[44];
  ASSERT_EQ(std::fread(head, 1, 44, fp), 44u);
  std::fclose(fp);
  EXPECT_EQ(u32(std::string(head, 44), 40), 0xFFFFFFD4u);  // left as it was, not wrapped
}

TEST(WavHeader, OpenFailureIsReported) {
  std::string err;
  EXPECT_FALSE(WriteWavHeader("/nonexistent-folder/x.wav", 1, 8000, &err));
  EXPECT_NE(err.find("/nonexistent-folder/x.wav"), std::string::npos);
}

TEST(WavWriter, CreateAppendCloseGivesTheLayout) {
  TempDir d;
  WavWriter w;
  ASSERT_TRUE(w.create(d.file("r.wav"), 2, 48000)) << w.error();
  EXPECT_EQ(w.position(), 48);
  std::string b = readFile(d.file("r.wav"));
  ASSERT_EQ(b.size(), 44u);
  EXPECT_EQ(u32(b, 40), 0xFFFFFFD4u);
  auto block = ramp(1024);
  ASSERT_TRUE(w.append(block.data(), block.size()));
  ASSERT_TRUE(w.append(block.data(), block.size()));
  EXPECT_EQ(w.position(), 48 + 4096);
  ASSERT_TRUE(w.close()) << w.error();
  EXPECT_FALSE(w.isOpen());
  b = readFile(d.file("r.wav"));
  ASSERT_EQ(b.size(), 48u + 4096);
  EXPECT_EQ(u32(b, 4), b.size() - 8);
  EXPECT_EQ(u32(b, 40), b.size() - 44);
  EXPECT_EQ(u32(b, 44), 0u);
  EXPECT_EQ(sampleAt(b, 48), 0);
  EXPECT_EQ(sampleAt(b, 48 + 2 * 1023), 1023);
}

TEST(WavWriter, CreateNeverOpensAnExistingFileAndLocksItsOwnUntilClosed) {
  TempDir d;
  test::writeFile(d.file("r.wav"), std::string(10000, 'z'));
  test::writeFile(d.file("r-2.wav"), std::string(20, 'y'));
  WavWriter w;
  ASSERT_TRUE(w.create(d.file("r.wav"), 1, 8000));
  EXPECT_EQ(w.path(), d.file("r-3.wav"));
  EXPECT_TRUE(fileBeingWritten(w.path()));
  EXPECT_FALSE(fileBeingWritten(d.file("r.wav")));
  auto block = ramp(10);
  ASSERT_TRUE(w.append(block.data(), block.size()));
  ASSERT_TRUE(w.close());
  EXPECT_FALSE(fileBeingWritten(w.path()));
  EXPECT_EQ(readFile(d.file("r-3.wav")).size(), 68u);
  EXPECT_EQ(readFile(d.file("r.wav")), std::string(10000, 'z'));
  EXPECT_EQ(readFile(d.file("r-2.wav")), std::string(20, 'y'));
}

TEST(WavWriter, CircularWriteGoesBackToByte48AndKeepsTheLength) {
  TempDir d;
  WavWriter w;
  ASSERT_TRUE(w.create(d.file("c.wav"), 1, 8000));
  for (int i = 0; i < 3; ++i) {
    auto block = ramp(100, static_cast<int16_t>(1000 * i));
    ASSERT_TRUE(w.append(block.data(), block.size()));
  }
  ASSERT_TRUE(w.rewind());
  EXPECT_EQ(w.position(), 48);
  auto newest = ramp(100, 5000);
  ASSERT_TRUE(w.append(newest.data(), newest.size()));
  EXPECT_EQ(w.length(), 48 + 600);
  ASSERT_TRUE(w.close());
  std::string b = readFile(d.file("c.wav"));
  ASSERT_EQ(b.size(), 648u);
  EXPECT_EQ(u32(b, 40), 604u);
  EXPECT_EQ(sampleAt(b, 48), 5000);         // the newest block first
  EXPECT_EQ(sampleAt(b, 48 + 200), 1000);   // then the older ones
}

TEST(WavWriter, FailuresAreReportedNeverHidden) {
  WavWriter w;
  EXPECT_FALSE(w.create("/nonexistent-folder/r.wav", 1, 8000));
  EXPECT_NE(w.error().find("Cannot create /nonexistent-folder/r.wav"), std::string::npos) << w.error();
  int16_t s[4] = {};
  EXPECT_FALSE(w.append(s, 4));
  EXPECT_FALSE(w.error().empty());

  // A write that would take the file past 4 GB is refused before anything is written.
  TempDir d;
  WavWriter big;
  ASSERT_TRUE(big.create(d.file("big.wav"), 2, 192000));
  EXPECT_FALSE(big.append(s, static_cast<size_t>(kWavMaxFileBytes / 2)));
  EXPECT_NE(big.error().find("4 GB"), std::string::npos) << big.error();
  EXPECT_EQ(big.position(), 48);
  ASSERT_TRUE(big.close());
  EXPECT_EQ(readFile(d.file("big.wav")).size(), 44u);
}

// The files open in other programs with their rate, channels and length.
struct ExternalReaders : ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(ExternalReaders, SoxPythonAndLibsndfileAgree) {
  const auto [channels, rate] = GetParam();
  TempDir d;
  const std::string f = d.file("ext.wav");
  WavWriter w;
  ASSERT_TRUE(w.create(f, channels, rate));
  auto block = ramp(4096);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(w.append(block.data(), block.size()));
  ASSERT_TRUE(w.close());
  // Bytes 44..47 count as data: two extra zero samples.
  const long frames = (5 * 4096 + 2) / channels;

  bool ranAny = false;
  std::string out;
  if (haveTool("sox")) {
    ranAny = true;
    ASSERT_TRUE(run("sox --i -r '" + f + "'", out)) << out;
    EXPECT_EQ(std::stol(out), rate);
    ASSERT_TRUE(run("sox --i -c '" + f + "'", out));
    EXPECT_EQ(std::stol(out), channels);
    ASSERT_TRUE(run("sox --i -s '" + f + "'", out));
    EXPECT_EQ(std::stol(out), frames);
  }
  const std::string python = access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
  if (haveTool(python)) {
    ranAny = true;
    // Python's wave module, then libsndfile through its C interface when the library is there.
    std::string py =
        "import wave,ctypes,ctypes.util,sys\n"
        "w=wave.open(sys.argv[1])\n"
        "print(w.getframerate(),w.getnchannels(),w.getsampwidth(),w.getnframes(),"
        "len(w.readframes(w.getnframes())))\n"
        "n=ctypes.util.find_library('sndfile')\n"
        "if not n: print('none'); sys.exit(0)\n"
        "L=ctypes.CDLL(n)\n"
        "class I(ctypes.Structure): _fields_=[('frames',ctypes.c_int64),('samplerate',ctypes.c_int),"
        "('channels',ctypes.c_int),('format',ctypes.c_int),('sections',ctypes.c_int),('seekable',ctypes.c_int)]\n"
        "L.sf_open.restype=ctypes.c_void_p\n"
        "i=I(); h=L.sf_open(sys.argv[1].encode(),0x10,ctypes.byref(i))\n"
        "if not h: print('fail'); sys.exit(1)\n"
        "L.sf_close(ctypes.c_void_p(h)); print(i.samplerate,i.channels,i.frames)\n";
    test::writeFile(d.file("check.py"), py);
    ASSERT_TRUE(run(python + " '" + d.file("check.py") + "' '" + f + "'", out)) << out;
    const std::string waveLine = std::to_string(rate) + " " + std::to_string(channels) + " 2 " +
                                 std::to_string(frames) + " " + std::to_string(frames * 2 * channels) + "\n";
    ASSERT_EQ(out.substr(0, waveLine.size()), waveLine) << out;
    const std::string sf = out.substr(waveLine.size());
    if (sf != "none\n") {
      EXPECT_EQ(sf, std::to_string(rate) + " " + std::to_string(channels) + " " + std::to_string(frames) + "\n");
    }
  }
  if (!ranAny) GTEST_SKIP() << "neither sox nor python3 installed";
}

INSTANTIATE_TEST_SUITE_P(Formats, ExternalReaders,
                         ::testing::Values(std::pair{1, 44100}, std::pair{2, 48000}, std::pair{2, 192000}));

}  // namespace
}  // namespace qv
