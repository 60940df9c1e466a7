// "quorvel render" as a script would run it.
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QStringList>
#include <cmath>
#include <filesystem>

#include "support/temp_dir.h"

namespace qv {
namespace {

struct RunResult {
  int exitCode = -1;
  QString out, err;
};

RunResult render(const QStringList& args) {
  QProcess p;
  p.start(QUORVEL_EXE, QStringList{"render"} + args);
  RunResult r;
  if (!p.waitForFinished(60000)) {
    p.kill();
    p.waitForFinished();
    return r;
  }
  r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = QString::fromUtf8(p.readAllStandardOutput());
  r.err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

void writeToneWav(const std::string& path, int rate, int seconds, double hz) {
  std::string b;
  auto u16 = [&](unsigned v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>((v >> 8) & 0xFF);
  };
  auto u32 = [&](uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  const uint32_t n = static_cast<uint32_t>(rate * seconds);
  b += "RIFF";
  u32(36 + n * 2 + 4);
  b += "WAVEfmt ";
  u32(16);
  u16(1);
  u16(1);
  u32(static_cast<uint32_t>(rate));
  u32(static_cast<uint32_t>(rate * 2));
  u16(2);
  u16(16);
  b += "data";
  u32(n * 2 + 4);
  b.append(4, '\0');
  for (uint32_t i = 0; i < n; ++i) u16(static_cast<uint16_t>(static_cast<int16_t>(12000 * std::sin(2 * M_PI * hz * i / rate))));
  test::writeFile(path, b);
}

TEST(RenderCommand, TwoFilesBecomeTwoImages) {
  test::TempDir d;
  writeToneWav(d.file("a.wav"), 8000, 2, 1000);
  writeToneWav(d.file("b.wav"), 16000, 1, 3000);
  RunResult r = render({QString::fromStdString(d.file("a.wav")), QString::fromStdString(d.file("b.wav")), "-o",
                  QString::fromStdString(d.file("out")), "--set", "FORM1.Combo3=1024", "--jobs", "2"});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  for (const char* name : {"out/a.png", "out/b.png"}) {
    QImage img(QString::fromStdString(d.file(name)));
    EXPECT_FALSE(img.isNull()) << name;
    EXPECT_GT(img.width(), 60) << name;
  }
  EXPECT_TRUE(r.out.contains("a.png"));
  EXPECT_TRUE(r.out.contains("b.png"));
  // stderr is not a terminal here: no progress bar.
  EXPECT_FALSE(r.err.contains("%"));
}

TEST(RenderCommand, AMissingFileFailsTheRunButNotTheOthers) {
  test::TempDir d;
  writeToneWav(d.file("a.wav"), 8000, 1, 1000);
  RunResult r = render({QString::fromStdString(d.file("gone.wav")), QString::fromStdString(d.file("a.wav")), "-o",
                  QString::fromStdString(d.file("out"))});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains("gone.wav")) << r.err.toStdString();
  EXPECT_TRUE(std::filesystem::exists(d.file("out/a.png")));
}

TEST(RenderCommand, UsageErrorsAndSettingsFiles) {
  test::TempDir d;
  EXPECT_EQ(render({}).exitCode, 2);
  EXPECT_EQ(render({"--jobs", "0", "x.wav"}).exitCode, 2);
  RunResult bad = render({"x.wav", "--set", "FORM1.NoSuchBox=1"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_TRUE(bad.err.contains("NoSuchBox"));
  RunResult missing = render({"x.wav", "--settings", QString::fromStdString(d.file("none.ini"))});
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_TRUE(missing.err.contains("none.ini"));
  RunResult help = render({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(help.out.contains("--frames"));
}

TEST(RenderCommand, FramesWriteNumberedImages) {
  test::TempDir d;
  writeToneWav(d.file("a.wav"), 8000, 4, 1000);  // 125 columns of 256 samples
  RunResult r = render({QString::fromStdString(d.file("a.wav")), "--frames", "-o", QString::fromStdString(d.file("f")),
                  "--set", "FORM1.Combo6=256", "--set", "FORM1.Combo3=1024"});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(std::filesystem::exists(d.file("f/a_0001.png")));
}

}  // namespace
}  // namespace qv
