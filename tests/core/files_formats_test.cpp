#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "files/file_info.h"
#include "files/sample_reader.h"
#include "support/temp_dir.h"
#include "core/files_test_util.h"

namespace qv {
namespace {

using test::Bytes;
using test::TempDir;
using test::ownWavHeader;

FileCheck info(const std::string& path, FileInfo& out, RawFileSettings raw = {}) {
  return GetFileInfo(path, raw, out);
}

std::vector<int16_t> readAll(const std::string& path, const FileInfo& fi) {
  SampleReader r;
  EXPECT_TRUE(r.open(path, fi));
  std::vector<int16_t> s(static_cast<size_t>(r.frames() * r.channels()));
  size_t got = r.readFrames(0, s.data(), static_cast<size_t>(r.frames()));
  EXPECT_EQ(got, static_cast<size_t>(r.frames()));
  return s;
}

TEST(FileFormats, ExtensionDecidesTheFormatWithoutRegardToCase) {
  TempDir d;
  std::string body = ownWavHeader(1, 8000, 52, 8).b + std::string(8, '\0');
  for (const char* n : {"x.wav", "x.Wav", "y.WAV"}) {
    test::writeFile(d.file(n), body);
    FileInfo fi;
    EXPECT_TRUE(info(d.file(n), fi).ok) << n;
    EXPECT_EQ(fi.FileType, kFileWav) << n;
  }
  test::writeFile(d.file("x.wave"), body);
  FileInfo fi;
  fi.SampleRate = 12345;
  fi.channels = 2;
  FileCheck c = info(d.file("x.wave"), fi);
  EXPECT_FALSE(c.ok);
  EXPECT_EQ(c.message, "Unknown File Extension (" + d.file("x.wave") + " > AVE)");
  EXPECT_EQ(fi.FileType, kFileNone);
  EXPECT_EQ(fi.SampleRate, 12345);  // the last file's values stay
  EXPECT_EQ(fi.channels, 2);
}

TEST(FileFormats, OwnWavLayoutStartsAtByte48AndEndsAtTheDataChunkOrTheFile) {
  TempDir d;
  // A finished file: 1000 sample bytes after byte 48.
  Bytes f = ownWavHeader(2, 48000, 1040, 1004);
  f.zeros(4);
  for (int i = 0; i < 500; ++i) f.s16(i - 250);
  test::writeFile(d.file("own.wav"), f.b);
  FileInfo fi;
  ASSERT_TRUE(info(d.file("own.wav"), fi).ok);
  EXPECT_EQ(fi.HeaderSize, 48);
  EXPECT_EQ(fi.channels, 2);
  EXPECT_EQ(fi.SampleRate, 48000);
  EXPECT_EQ(fi.frames, 250);
  EXPECT_EQ(fi.FileSize, 1048);
  EXPECT_FALSE(fi.headerNeedsRepair);
  auto s = readAll(d.file("own.wav"), fi);
  EXPECT_EQ(s.front(), -250);
  EXPECT_EQ(s.back(), 249);

  // A recording cut short: provisional sizes 0 and -44, samples to the end.
  Bytes p = ownWavHeader(1, 22050, 0, 0xFFFFFFD4);
  p.zeros(4);
  for (int i = 0; i < 100; ++i) p.s16(i);
  test::writeFile(d.file("cut.wav"), p.b);
  ASSERT_TRUE(info(d.file("cut.wav"), fi).ok);
  EXPECT_EQ(fi.frames, 100);
  EXPECT_EQ(fi.FileSize, 248);
  EXPECT_TRUE(fi.headerNeedsRepair);

  // A data size larger than the file never reads past its end; a smaller
  // one ends the samples there, whatever follows.
  Bytes big = ownWavHeader(1, 8000, 5000, 4000);
  big.zeros(4).s16(7).s16(8);
  test::writeFile(d.file("big.wav"), big.b);
  ASSERT_TRUE(info(d.file("big.wav"), fi).ok);
  EXPECT_EQ(fi.frames, 2);
  Bytes small = ownWavHeader(1, 8000, 100, 8);  // 4 + 2 samples, then a trailer
  small.zeros(4).s16(1).s16(2).tag("LIST").u32(4).tag("INFO");
  test::writeFile(d.file("small.wav"), small.b);
  ASSERT_TRUE(info(d.file("small.wav"), fi).ok);
  EXPECT_EQ(fi.frames, 2);
  EXPECT_EQ(readAll(d.file("small.wav"), fi), (std::vector<int16_t>{1, 2}));

  // An empty "data" chunk at byte 36 with 84-byte frames: no sample, and the
  // first sample stays inside the file.
  Bytes wide;
  wide.tag("RIFF").u32(0).tag("WAVE").tag("JUNK").u32(16).pad(16, 'j');
  wide.tag("data").u32(0);
  wide.tag("fmt ").u32(16).u16(1).u16(21).u32(48000).u32(48000 * 84).u16(84).u16(32);
  test::writeFile(d.file("wide.wav"), wide.b);
  ASSERT_TRUE(info(d.file("wide.wav"), fi).ok);
  EXPECT_EQ(fi.frames, 0);
  EXPECT_LE(fi.firstSample, fi.sampleEnd);
  EXPECT_LE(fi.firstSample, static_cast<int64_t>(wide.size()));
}

TEST(FileFormats, WavChunksAreFoundWhereverTheyStand) {
  TempDir d;
  Bytes f;
  f.tag("RIFF").u32(0).tag("WAVE");
  f.tag("JUNK").u32(3).pad(3, 'j').u8(0);  // odd size: padded to even
  f.tag("bext").u32(10).pad(10, 'b');
  f.tag("fmt ").u32(16).u16(1).u16(1).u32(16000).u32(32000).u16(2).u16(16);
  f.tag("LIST").u32(12).tag("INFOabcdefgh");
  f.tag("fact").u32(4).u32(3);
  size_t data = f.size();
  f.tag("data").u32(6).s16(-1).s16(2).s16(-3);
  test::writeFile(d.file("chunks.wav"), f.b);
  FileInfo fi;
  ASSERT_TRUE(info(d.file("chunks.wav"), fi).ok);
  EXPECT_EQ(fi.HeaderSize, static_cast<int64_t>(data + 8));
  EXPECT_EQ(fi.SampleRate, 16000);
  EXPECT_EQ(fi.frames, 3);
  EXPECT_EQ(readAll(d.file("chunks.wav"), fi), (std::vector<int16_t>{-1, 2, -3}));
}

TEST(FileFormats, Rf64TakesTheDataSizeFromItsDs64Chunk) {
  TempDir d;
  Bytes f;
  f.tag("RF64").u32(0xFFFFFFFF).tag("WAVE");
  f.tag("ds64").u32(28).u32(100).u32(0).u32(6).u32(0).u32(3).u32(0).u32(0);
  f.tag("fmt ").u32(16).u16(1).u16(1).u32(8000).u32(16000).u16(2).u16(16);
  f.tag("data").u32(0xFFFFFFFF).s16(4).s16(5).s16(6).tag("LIST").u32(4).tag("INFO");
  test::writeFile(d.file("w.wav"), f.b);
  FileInfo fi;
  ASSERT_TRUE(info(d.file("w.wav"), fi).ok);
  EXPECT_EQ(fi.frames, 3);
  EXPECT_EQ(readAll(d.file("w.wav"), fi), (std::vector<int16_t>{4, 5, 6}));
}

TEST(FileFormats, WavSampleWidthsBecome16BitSamples) {
  TempDir d;
  FileInfo fi;
  // 8-bit unsigned; the data chunk starts at 44, so bytes 44..47 are skipped.
  Bytes u8 = ownWavHeader(1, 8000, 0, 7, 8);
  u8.pad(4, 'z').u8(0).u8(128).u8(255);
  test::writeFile(d.file("u8.wav"), u8.b);
  ASSERT_TRUE(info(d.file("u8.wav"), fi).ok);
  EXPECT_EQ(fi.HeaderSize, 48);
  EXPECT_EQ(readAll(d.file("u8.wav"), fi), (std::vector<int16_t>{-32768, 0, 32512}));
  // Extensible 24-bit stereo behind a LIST chunk.
  Bytes x;
  x.tag("RIFF").u32(0).tag("WAVE").tag("fmt ").u32(40).u16(0xFFFE).u16(2).u32(96000).u32(96000 * 6).u16(6).u16(24);
  x.u16(22).u16(24).u32(3).u16(1).u16(0).u8(0).u8(0).u8(0x10).u8(0).u8(0x80).u8(0).u8(0).u8(0xAA).u8(0).u8(0x38)
      .u8(0x9B).u8(0x71);
  x.tag("LIST").u32(4).tag("INFO").tag("data").u32(12);
  x.s24(0x123456).s24(-0x123456).s24(0x7FFFFF).s24(-0x800000);
  test::writeFile(d.file("x24.wav"), x.b);
  ASSERT_TRUE(info(d.file("x24.wav"), fi).ok) << info(d.file("x24.wav"), fi).message;
  EXPECT_EQ(fi.channels, 2);
  EXPECT_EQ(fi.SampleRate, 96000);
  EXPECT_EQ(fi.frames, 2);
  EXPECT_EQ(fi.FileSize, fi.HeaderSize + 2 * 2 * 2);  // positions count 2 bytes a sample
  EXPECT_EQ(readAll(d.file("x24.wav"), fi), (std::vector<int16_t>{0x1234, -0x1234, 32767, -32768}));
  // Rounding to the nearest 16-bit value.
  Bytes r24;
  r24.tag("RIFF").u32(0).tag("WAVE").tag("fmt ").u32(18).u16(1).u16(1).u32(8000).u32(24000).u16(3).u16(24).u16(0);
  r24.tag("data").u32(9).s24(0x123480).s24(0x12347F).s24(-0x123481);
  test::writeFile(d.file("r24.wav"), r24.b);
  ASSERT_TRUE(info(d.file("r24.wav"), fi).ok);
  EXPECT_EQ(readAll(d.file("r24.wav"), fi), (std::vector<int16_t>{0x1235, 0x1234, -0x1235}));
  // A plain 44-byte 24-bit header keeps whole frames: bytes 44..49 are skipped.
  Bytes p = ownWavHeader(1, 8000, 0, 9, 24);
  p.s24(1 << 8).s24(2 << 8).s24(3 << 8);
  test::writeFile(d.file("p24.wav"), p.b);
  ASSERT_TRUE(info(d.file("p24.wav"), fi).ok);
  EXPECT_EQ(fi.HeaderSize, 50);
  EXPECT_EQ(readAll(d.file("p24.wav"), fi), (std::vector<int16_t>{3}));
  // 32-bit integer and float, float clipped.
  Bytes i32;
  i32.tag("RIFF").u32(0).tag("WAVE").tag("fmt ").u32(18).u16(1).u16(1).u32(8000).u32(32000).u16(4).u16(32).u16(0);
  i32.tag("data").u32(8).s32(0x12348000).s32(-0x7FFFFFFF - 1);
  test::writeFile(d.file("i32.wav"), i32.b);
  ASSERT_TRUE(info(d.file("i32.wav"), fi).ok);
  EXPECT_EQ(readAll(d.file("i32.wav"), fi), (std::vector<int16_t>{0x1235, -32768}));
  Bytes fl;
  fl.tag("RIFF").u32(0).tag("WAVE").tag("fmt ").u32(18).u16(3).u16(1).u32(8000).u32(32000).u16(4).u16(32).u16(0);
  fl.tag("data").u32(16);
  for (float v : {0.5f, -1.0f, 1.0f, 3.0f}) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    fl.u32(u);
  }
  test::writeFile(d.file("f32.wav"), fl.b);
  ASSERT_TRUE(info(d.file("f32.wav"), fi).ok);
  EXPECT_EQ(readAll(d.file("f32.wav"), fi), (std::vector<int16_t>{16384, -32768, 32767, 32767}));
}

TEST(FileFormats, UnreadableWavFilesAreRefusedWithAReason) {
  TempDir d;
  struct Case {
    const char* name;
    std::string bytes;
    const char* says;
  };
  Bytes adpcm = ownWavHeader(1, 8000, 0, 4, 4, 2);
  adpcm.zeros(8);
  Bytes cut;
  cut.tag("RIFF").u32(0).tag("WAVEfmt ").u32(16).u16(1).u16(1);  // ends inside "fmt "
  Bytes noData;
  noData.tag("RIFF").u32(0).tag("WAVEfmt ").u32(16).u16(1).u16(1).u32(8000).u32(16000).u16(2).u16(16);
  Bytes zeroCh = ownWavHeader(0, 8000, 0, 8);
  zeroCh.zeros(8);
  std::vector<Case> cases = {{"adpcm.wav", adpcm.b, "compressed"},
                             {"cut.wav", cut.b, "cut off"},
                             {"nodata.wav", noData.b, "no \"data\""},
                             {"short.wav", "RIFF", "too short"},
                             {"text.wav", std::string(100, 'x'), "not a RIFF"},
                             {"zero.wav", zeroCh.b, "0 channels"}};
  for (auto& c : cases) {
    test::writeFile(d.file(c.name), c.bytes);
    FileInfo fi;
    fi.FileType = kFileMxx;
    fi.SampleRate = 777;
    FileCheck r = info(d.file(c.name), fi);
    EXPECT_FALSE(r.ok) << c.name;
    EXPECT_NE(r.message.find(d.file(c.name)), std::string::npos) << r.message;
    EXPECT_NE(r.message.find(c.says), std::string::npos) << r.message;
    EXPECT_EQ(fi.FileType, kFileNone);
    EXPECT_EQ(fi.SampleRate, 777);
  }
  FileInfo fi;
  EXPECT_FALSE(info(d.file("missing.wav"), fi).ok);
}

// Sox writes the same audio in each width; all must read as the 16-bit copy.
TEST(FileFormats, SoxFilesOfEveryWidthGiveThe16BitSamples) {
  if (!test::haveSox()) GTEST_SKIP() << "sox is not installed";
  TempDir d;
  for (int ch : {1, 2}) {
    std::string c = " -c " + std::to_string(ch) + " ";
    std::string src = d.file("src" + std::to_string(ch) + ".wav");
    ASSERT_TRUE(test::run("sox -n -r 48000 -b 24" + c + src + " synth 1 sine 1000 sine 1300 vol 0.7"));
    std::string ref = d.file("r16.wav"), f32 = d.file("f32.wav"), i32 = d.file("i32.wav"),
                list = d.file("list16.wav");
    ASSERT_TRUE(test::run("sox -D " + src + " -b 16 -t wavpcm " + ref));
    ASSERT_TRUE(test::run("sox -D " + src + " -e float -b 32 " + f32));
    ASSERT_TRUE(test::run("sox -D " + src + " -b 32 " + i32));
    // Reference samples straight from the plain 16-bit file's bytes 44.. on.
    std::string raw = test::readFile(ref);
    ASSERT_EQ(raw.substr(36, 4), "data");
    std::vector<int16_t> want;
    for (size_t o = 44; o + 1 < raw.size(); o += 2) want.push_back(test::sampleAt(raw, o));
    // The same 16-bit file with a LIST chunk put in before "data".
    Bytes l;
    l.tag(raw.substr(0, 36)).tag("LIST").u32(18).tag("INFOICMT").u32(5).tag("note").u8(0).u8(0);
    test::writeFile(list, l.b + raw.substr(36));

    const int64_t frames = static_cast<int64_t>(want.size()) / ch;
    EXPECT_EQ(frames, 48000);
    for (const std::string& f : {src, f32, i32, list}) {
      FileInfo fi;
      FileCheck r = info(f, fi);
      ASSERT_TRUE(r.ok) << r.message;
      EXPECT_EQ(fi.channels, ch);
      EXPECT_EQ(fi.SampleRate, 48000);
      EXPECT_EQ(fi.frames, frames) << f;
      auto got = readAll(f, fi);
      EXPECT_EQ(got, want) << f << " channels " << ch;
    }
    // The plain 44-byte file starts at byte 48 like every file of this program.
    FileInfo fi;
    ASSERT_TRUE(info(ref, fi).ok);
    EXPECT_EQ(fi.HeaderSize, 48);
    EXPECT_EQ(fi.frames, frames - (ch == 1 ? 2 : 1));
    auto got = readAll(ref, fi);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), want.begin() + 2));  // bytes 44..47: two samples;
  }
}

TEST(FileFormats, ReaderReadsAtAnyFrameAcrossItsBufferAndStopsAtTheEnd) {
  TempDir d;
  const int n = 100000;  // 400 kB of stereo: several internal chunks
  Bytes f = ownWavHeader(2, 44100, 0, 0xFFFFFFD4);
  f.zeros(4);
  for (int i = 0; i < n; ++i) f.s16(i % 30000).s16(-(i % 30000));
  test::writeFile(d.file("long.wav"), f.b);
  FileInfo fi;
  ASSERT_TRUE(info(d.file("long.wav"), fi).ok);
  SampleReader r;
  ASSERT_TRUE(r.open(d.file("long.wav"), fi));
  EXPECT_EQ(r.frames(), n);
  std::vector<int16_t> buf(2 * 40000, 99);
  ASSERT_EQ(r.readFrames(12345, buf.data(), 40000), 40000u);
  for (int k : {0, 16383, 16384, 39999}) {
    EXPECT_EQ(buf[2 * k], (12345 + k) % 30000);
    EXPECT_EQ(buf[2 * k + 1], -((12345 + k) % 30000));
  }
  EXPECT_EQ(r.readFrames(n - 10, buf.data(), 40000), 10u);
  EXPECT_EQ(r.readFrames(n, buf.data(), 1), 0u);
  EXPECT_EQ(r.readFrames(-1, buf.data(), 1), 0u);
  // Loop positions are file bytes for 16-bit files.
  EXPECT_EQ(r.frameAt(48 + 4 * 1000), 1000);
  EXPECT_EQ(r.positionOf(1000), 48 + 4 * 1000);
}

TEST(FileFormats, MxxAndDapHeadersGiveTheRateAndRewriteLargeCounts) {
  TempDir d;
  auto header = [](const std::string& rate, const std::string& count) {
    Bytes h;
    h.pad(10, 'A').pad(8, 'B').tag(rate).tag("xx").tag(count).pad(16, ' ').pad(208, ' ');
    return h.b;
  };
  auto make = [&](const std::string& name, const std::string& count, int64_t samples) {
    test::writeFile(d.file(name), header(" 22050", count));
    ASSERT_EQ(::truncate(d.file(name).c_str(), 256 + 2 * samples), 0);
  };
  make("a.M16", "300000", 3000000);
  make("b.m22", "2929k ", 3000000);
  make("c.M44", "999999", 999999);
  make("e.dap", "123456", 1000);
  FileInfo fi;
  ASSERT_TRUE(info(d.file("a.M16"), fi).ok);
  EXPECT_EQ(fi.FileType, kFileMxx);
  EXPECT_EQ(fi.SampleRate, 22050);
  EXPECT_EQ(fi.HeaderSize, 256);
  EXPECT_EQ(fi.FileSize, 6000000);
  EXPECT_EQ(fi.channels, 1);
  EXPECT_EQ(test::readFile(d.file("a.M16")).substr(26, 6), "2929k ");
  EXPECT_EQ(test::readFile(d.file("a.M16")).substr(0, 26), header(" 22050", "").substr(0, 26));
  ASSERT_TRUE(info(d.file("b.m22"), fi).ok);
  EXPECT_EQ(test::readFile(d.file("b.m22")).substr(26, 6), "2929k ");
  ASSERT_TRUE(info(d.file("c.M44"), fi).ok);
  EXPECT_EQ(test::readFile(d.file("c.M44")).substr(26, 6), "999999");
  ASSERT_TRUE(info(d.file("e.dap"), fi).ok);
  EXPECT_EQ(fi.FileType, kFileDap);
  EXPECT_EQ(fi.frames, 1000);
  // A file that cannot be written is still read, and left as it is.
  make("ro.M08", "300000", 3000000);
  ::chmod(d.file("ro.M08").c_str(), 0444);
  if (::access(d.file("ro.M08").c_str(), W_OK) != 0) {
    ASSERT_TRUE(info(d.file("ro.M08"), fi).ok);
    EXPECT_EQ(test::readFile(d.file("ro.M08")).substr(26, 6), "300000");
  }
  // Field arithmetic: a count field holding "k" is never touched.
  EXPECT_EQ(kiloCountField("999999", 999999), "");
  EXPECT_EQ(kiloCountField("1000000", 1000000), "976k  ");
  EXPECT_EQ(kiloCountField("12k   ", 5000000), "");
  EXPECT_EQ(kiloCountField("      ", 2000000), "1953k ");
  // Too short for the header, or no rate: refused.
  test::writeFile(d.file("short.M48"), std::string(100, ' '));
  EXPECT_FALSE(info(d.file("short.M48"), fi).ok);
  test::writeFile(d.file("norate.M48"), header("  none", "     1"));
  FileCheck c = info(d.file("norate.M48"), fi);
  EXPECT_FALSE(c.ok);
  EXPECT_NE(c.message.find("sampling rate"), std::string::npos);
}

TEST(FileFormats, KayRawExtAndSxxFiles) {
  TempDir d;
  FileInfo fi;
  // KAY: 20 x 10^3 Hz from the exponent at 120 and mantissa at 122.
  Bytes k;
  k.zeros(120).s16(3).s16(20).zeros(512 - 124).s16(5).s16(-6);
  test::writeFile(d.file("k.KAY"), k.b);
  ASSERT_TRUE(info(d.file("k.KAY"), fi).ok);
  EXPECT_EQ(fi.FileType, kFileKay);
  EXPECT_EQ(fi.SampleRate, 20000);
  EXPECT_EQ(fi.HeaderSize, 512);
  EXPECT_EQ(fi.FileSize, 516);
  EXPECT_EQ(readAll(d.file("k.KAY"), fi), (std::vector<int16_t>{5, -6}));
  EXPECT_EQ(kaySampleRate(-1, 25), 2);  // 2.5 rounds to even
  EXPECT_EQ(kaySampleRate(0, -5), 0);   // no rate
  EXPECT_EQ(kaySampleRate(300, 1), 0);

  // BIN / RAW: no header, rate from the raw-file setting.
  Bytes b;
  b.s16(1).s16(2).s16(3).u8(9);
  test::writeFile(d.file("r.raw"), b.b);
  RawFileSettings raw{0, 11025, 8192};
  ASSERT_TRUE(info(d.file("r.raw"), fi, raw).ok);
  EXPECT_EQ(fi.FileType, kFileRaw);
  EXPECT_EQ(fi.SampleRate, 11025);
  EXPECT_EQ(fi.FileSize, 7);
  EXPECT_EQ(fi.frames, 3);
  raw.rawSampleRate = 0;
  EXPECT_FALSE(info(d.file("r.raw"), fi, raw).ok);

  // EXT: header skip, 32-bit values divided and rounded half to even, clipped.
  Bytes e;
  e.pad(6, 'h').s32(2 * 64 + 32).s32(-(4 * 64 + 32)).s32(-64 * 40000).s32(64 * 100);
  test::writeFile(d.file("e.ext"), e.b);
  raw = {6, 5000, 64};
  ASSERT_TRUE(info(d.file("e.ext"), fi, raw).ok);
  EXPECT_EQ(fi.FileType, kFileExt);
  EXPECT_EQ(fi.HeaderSize, 6);
  EXPECT_EQ(fi.FileSize, 22);
  EXPECT_EQ(fi.frames, 4);
  EXPECT_EQ(readAll(d.file("e.ext"), fi), (std::vector<int16_t>{2, -4, -32768, 100}));
  {
    SampleReader r;
    ASSERT_TRUE(r.open(d.file("e.ext"), fi));
    EXPECT_EQ(r.frameAt(6 + 4 * 3), 3);  // 4 bytes a sample
  }
  EXPECT_DOUBLE_EQ(positionSeconds(fi, 6 + 4 * 5000), 1.0);
  raw.scale32 = 0;
  EXPECT_FALSE(info(d.file("e.ext"), fi, raw).ok);

  // S files: the header is not read; rate and channels stay the last file's.
  test::writeFile(d.file("s.S16"), std::string(256, ' ') + std::string(8, '\1'));
  fi = FileInfo{};
  fi.SampleRate = 16000;
  fi.channels = 2;
  fi.FileSize = 999999;
  ASSERT_TRUE(info(d.file("s.S16"), fi).ok);
  EXPECT_EQ(fi.FileType, kFileSxx);
  EXPECT_EQ(fi.HeaderSize, 256);
  EXPECT_EQ(fi.SampleRate, 16000);
  EXPECT_EQ(fi.channels, 2);
  EXPECT_EQ(fi.FileSize, 264);  // its own length, never the last file's
  EXPECT_EQ(fi.frames, 2);
}

TEST(FileFormats, EarsRecordsAreBigEndianWith500Of512BytesSamples) {
  TempDir d;
  Bytes e;
  for (int rec = 0; rec < 2; ++rec) {
    e.pad(12, 'H');
    for (int i = 0; i < 250; ++i) e.s16be(rec * 1000 + i - 125);
  }
  e.pad(12, 'H').s16be(-2).s16be(32767).u8(1);  // a record cut short
  test::writeFile(d.file("x.002"), e.b);
  FileInfo fi;
  ASSERT_TRUE(info(d.file("x.002"), fi).ok);
  EXPECT_EQ(fi.FileType, kFileEars);
  EXPECT_EQ(fi.SampleRate, 25000);
  EXPECT_EQ(fi.HeaderSize, 0);
  EXPECT_EQ(fi.FileSize, 1024 + 17);
  EXPECT_EQ(fi.frames, 502);
  auto s = readAll(d.file("x.002"), fi);
  ASSERT_EQ(s.size(), 502u);
  EXPECT_EQ(s[0], -125);
  EXPECT_EQ(s[249], 124);
  EXPECT_EQ(s[250], 875);
  EXPECT_EQ(s[500], -2);
  EXPECT_EQ(s[501], 32767);
  SampleReader r;
  ASSERT_TRUE(r.open(d.file("x.002"), fi));
  EXPECT_EQ(r.frameAt(512), 250);
  EXPECT_EQ(r.frameAt(512 + 12 + 20), 260);
  EXPECT_EQ(r.positionOf(260), 512 + 12 + 20);
  std::vector<int16_t> buf(4);
  ASSERT_EQ(r.readFrames(248, buf.data(), 4), 4u);  // across a record header
  EXPECT_EQ(buf, (std::vector<int16_t>{123, 124, 875, 876}));
  // 100 records are 25000 samples: one second, although 51200 bytes at 2 a sample.
  EXPECT_DOUBLE_EQ(positionSeconds(fi, 512 * 100), 1.0);
  for (const char* n : {"a.001", "a.003", "a.004"}) {
    test::writeFile(d.file(n), e.b);
    EXPECT_TRUE(info(d.file(n), fi).ok);
    EXPECT_EQ(fi.FileType, kFileEars);
  }
}

TEST(FileFormats, ExtCheckSuggestsAPowerOfTwoDivisor) {
  EXPECT_EQ(extDivisorForPeak(1000000), 64);  // e = 4.93
  EXPECT_EQ(extDivisorForPeak(32768), 2);
  EXPECT_EQ(extDivisorForPeak(2147483648LL), 131072);
  EXPECT_EQ(extDivisorForPeak(20000), 1);  // below 16-bit full scale: never below 1
  EXPECT_EQ(extDivisorForPeak(1000), 1);
  EXPECT_EQ(extDivisorForPeak(0), 1);
  Bytes b;
  for (int i = 0; i < 700; ++i) b.s32(i == 650 ? -1000000 : i);  // peak in the third block
  b.u8(0xFF).u8(0xFF);                                            // a partial value is ignored
  MemoryByteSource src(reinterpret_cast<const uint8_t*>(b.b.data()), b.size());
  ExtPeak p = scanExtFile(src);
  EXPECT_EQ(p.peak, 1000000);
  EXPECT_EQ(p.divisor, 64);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// Positions beyond 2 GB (recordings up to 4 GB and more) are 64-bit all the way.
TEST(FileFormats, SamplesBeyondTwoGigabytesAreReachable) {
  test::TempDir d;
  std::string path = d.file("big.wav");
  const int64_t len = 3'500'000'048LL;
  test::writeFile(path, test::ownWavHeader(2, 48000, 0, 0xFFFFFFD4).zeros(4).b);
  if (::truncate(path.c_str(), len) != 0) GTEST_SKIP() << "no room for a sparse 3.5 GB file";
  FileByteSource w;
  ASSERT_TRUE(w.open(path, true));
  const uint8_t last[4] = {0x34, 0x12, 0xCC, 0xED};
  ASSERT_TRUE(w.writeAt(len - 4, last, 4));
  w.close();
  FileInfo fi;
  ASSERT_TRUE(GetFileInfo(path, {}, fi).ok);
  EXPECT_EQ(fi.frames, (len - 48) / 4);
  EXPECT_EQ(fi.FileSize, len);
  SampleReader r;
  ASSERT_TRUE(r.open(path, fi));
  int16_t s[4];
  ASSERT_EQ(r.readFrames(r.frameAt(len - 4), s, 2), 1u);
  EXPECT_EQ(s[0], 0x1234);
  EXPECT_EQ(s[1], static_cast<int16_t>(0xEDCC));
  EXPECT_DOUBLE_EQ(positionSeconds(fi, len), (len - 48) / 192000.0);
}

}  // namespace
}  // namespace qv
