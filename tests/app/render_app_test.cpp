// "quorvel render" as a script or a user on a shell would run it: exit
// codes, what lands on disk and what is said on stdout and stderr.
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <cmath>
#include <filesystem>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace qv {
namespace {

struct RunResult {
  int exitCode = -1;
  QString out, err;
};

RunResult render(const QStringList& args, const QString& folder = {}) {
  QProcess p;
  // As on a server: no runtime folder, no display.
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("XDG_RUNTIME_DIR");
  env.remove("DISPLAY");
  env.remove("QT_QPA_PLATFORM");
  p.setProcessEnvironment(env);
  if (!folder.isEmpty()) p.setWorkingDirectory(folder);
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

QString q(const std::string& s) { return QString::fromStdString(s); }

// `seconds` of a tone of `hz` on each channel whose level is not 0.
void writeWav(const std::string& path, int rate, double seconds, double hz, std::vector<double> levels = {12000}) {
  const auto channels = static_cast<uint32_t>(levels.size());
  std::string b;
  auto u16 = [&](unsigned v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>((v >> 8) & 0xFF);
  };
  auto u32 = [&](uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  const auto n = static_cast<uint32_t>(rate * seconds);
  const uint32_t bytes = n * 2 * channels;
  b += "RIFF";
  u32(36 + bytes);
  b += "WAVEfmt ";
  u32(16);
  u16(1);
  u16(channels);
  u32(static_cast<uint32_t>(rate));
  u32(static_cast<uint32_t>(rate) * 2 * channels);
  u16(2 * channels);
  u16(16);
  b += "data";
  u32(bytes);
  for (uint32_t i = 0; i < n; ++i)
    for (double level : levels)
      u16(static_cast<uint16_t>(static_cast<int16_t>(level * std::sin(2 * M_PI * hz * i / rate))));
  test::writeFile(path, b);
}

// The bands of a picture, found by their frequency axis: runs of ink down
// the column left of the plot. First and last row of each.
std::vector<std::pair<int, int>> bandsOf(const QImage& img, int axisX = 83) {
  std::vector<std::pair<int, int>> runs;
  for (int y = 0; y < img.height(); ++y) {
    if (qGray(img.pixel(axisX, y)) >= 128) continue;
    if (!runs.empty() && runs.back().second == y - 1) runs.back().second = y;
    else runs.push_back({y, y});
  }
  std::erase_if(runs, [](auto r) { return r.second - r.first < 8; });
  for (auto& r : runs) --r.second;  // the axis reaches one row past the band
  return runs;
}

int filesIn(const std::string& folder) {
  int n = 0;
  for (auto& e : std::filesystem::recursive_directory_iterator(folder)) n += e.is_regular_file();
  return n;
}

TEST(RenderCommand, TwoFilesBecomeTwoImagesWithNothingElseOnStderr) {
  test::TempDir d;
  writeWav(d.file("a.wav"), 8000, 2, 1000);
  writeWav(d.file("b.wav"), 16000, 1, 3000);
  RunResult r = render({q(d.file("a.wav")), q(d.file("b.wav")), "-o", q(d.file("out")), "--fft", "1024", "--jobs", "2"});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  for (const char* name : {"out/a.png", "out/b.png"}) {
    QImage img(q(d.file(name)));
    EXPECT_FALSE(img.isNull()) << name;
    EXPECT_GT(img.width(), 160) << name;
  }
  EXPECT_EQ(r.out, q(d.file("out/a.png") + "\n" + d.file("out/b.png") + "\n"));
  // No progress bar when stderr is not a terminal, and no notice of the libraries.
  EXPECT_EQ(r.err, "");
}

TEST(RenderCommand, AMissingFileFailsTheRunButNotTheOthers) {
  test::TempDir d;
  writeWav(d.file("a.wav"), 8000, 1, 1000);
  RunResult r = render({q(d.file("gone.wav")), q(d.file("a.wav")), "-o", q(d.file("out"))});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains("gone.wav")) << r.err.toStdString();
  EXPECT_TRUE(std::filesystem::exists(d.file("out/a.png")));
}

TEST(RenderCommand, OutputsThatCannotBeRightAreRefusedBeforeAnythingIsWritten) {
  test::TempDir d;
  writeWav(d.file("a.wav"), 8000, 1, 1000);
  writeWav(d.file("b.wav"), 8000, 1, 2000);
  test::writeFile(d.file("notes"), "a file, not a folder");
  const int before = filesIn(d.path());
  struct Case {
    QStringList args;
    const char* says;
  };
  const QString a = q(d.file("a.wav")), b = q(d.file("b.wav"));
  for (const Case& c : {Case{{a, b, "-o", q(d.file("one.png"))}, "give a folder"},
                        Case{{a, "-o", q(d.file("out.jpg"))}, "PNG"},
                        Case{{a, b, "-o", q(d.file("notes"))}, "not a folder"},
                        Case{{a, "-o", q(d.file("sub/x.tiff"))}, "PNG"}}) {
    RunResult r = render(c.args);
    EXPECT_EQ(r.exitCode, 2) << c.args.join(' ').toStdString();
    EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
  }
  EXPECT_EQ(filesIn(d.path()), before);
  EXPECT_FALSE(std::filesystem::exists(d.file("out.jpg")));
  EXPECT_FALSE(std::filesystem::exists(d.file("sub")));
}

TEST(RenderCommand, AnExistingImageIsReplacedOnlyWithForce) {
  test::TempDir d;
  writeWav(d.file("a.wav"), 8000, 1, 1000);
  writeWav(d.file("b.wav"), 8000, 1, 2000);
  const QString out = q(d.file("out"));
  ASSERT_EQ(render({q(d.file("a.wav")), "-o", out}).exitCode, 0);
  const std::string first = test::readFile(d.file("out/a.png"));
  // Another file and other settings: only b is written, a is kept as it was.
  RunResult again = render({q(d.file("a.wav")), q(d.file("b.wav")), "-o", out, "--scale", "8"});
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_TRUE(again.err.contains("a.png") && again.err.contains("--force")) << again.err.toStdString();
  EXPECT_TRUE(std::filesystem::exists(d.file("out/b.png")));
  EXPECT_EQ(test::readFile(d.file("out/a.png")), first);
  RunResult forced = render({q(d.file("a.wav")), "-o", out, "--scale", "8", "--force"});
  EXPECT_EQ(forced.exitCode, 0) << forced.err.toStdString();
  EXPECT_NE(test::readFile(d.file("out/a.png")), first);
  EXPECT_EQ(filesIn(d.file("out")), 2) << "nothing left beside the images";
}

TEST(RenderCommand, DoubleDashEndsTheOptions) {
  test::TempDir d;
  writeWav(d.file("-x.wav"), 8000, 1, 1000);
  RunResult opt = render({"-x.wav"}, q(d.path()));
  EXPECT_EQ(opt.exitCode, 2);
  EXPECT_TRUE(opt.err.contains("--")) << opt.err.toStdString();
  RunResult file = render({"--", "-x.wav"}, q(d.path()));
  EXPECT_EQ(file.exitCode, 0) << file.err.toStdString();
  EXPECT_TRUE(std::filesystem::exists(d.file("-x.png")));
  RunResult named = render({"-o", "named.png", "--", "-x.wav"}, q(d.path()));
  EXPECT_EQ(named.exitCode, 0) << named.err.toStdString();
  EXPECT_TRUE(std::filesystem::exists(d.file("named.png")));
}

TEST(RenderCommand, FriendlyOptionsSetTheAnalysisAndBadValuesAreRefused) {
  test::TempDir d;
  writeWav(d.file("a.wav"), 48000, 1, 3000);
  const QString a = q(d.file("a.wav"));
  RunResult ok = render({a, "-o", q(d.file("ok.png")), "--fft", "2048", "--window", "hamming", "--step", "480",
                         "--height", "128", "--scale", "8", "--width", "400"});
  ASSERT_EQ(ok.exitCode, 0) << ok.err.toStdString();
  QImage img(q(d.file("ok.png")));
  // 128 rows under the caption, over the time axis and the footer; 400
  // columns between the axes and the colour bar.
  const auto bands = bandsOf(img);
  ASSERT_EQ(bands.size(), 1u);
  const int top = bands[0].first;
  EXPECT_EQ(bands[0].second - top + 1, 128);
  EXPECT_EQ(img.width(), 84 + 400 + 78);
  int coloured = 0;
  for (int y = top; y < top + 128; ++y)
    for (int x = 84; x < 84 + 400; ++x) coloured += qRed(img.pixel(x, y)) != qBlue(img.pixel(x, y));
  EXPECT_GT(coloured, 1000) << "a colour scale, not the grey one";

  struct Case {
    QStringList args;
    const char* says;
  };
  for (const Case& c : {Case{{"--fft", "1000"}, "power of two"},
                        Case{{"--fft=banana"}, "FORM1.Combo3"},
                        Case{{"--set", "FORM1.Combo3=banana"}, "FORM1.Combo3"},
                        Case{{"--window", "blackman"}, "FORM1.Combo5"},
                        Case{{"--step", "0"}, "FORM1.Combo6"},
                        Case{{"--height", "600", "--fft", "1024"}, "FFT size of at least 1200"},
                        Case{{"--scale", "30"}, "FORM1.Combo8"},
                        Case{{"--fmin", "30000"}, "half the sampling rate"},
                        Case{{"--fmin", "5000", "--fmax", "4000"}, "not above"},
                        Case{{"--width", "0"}, "--width"},
                        Case{{"--shard", "3/2"}, "--shard"},
                        Case{{"--set", "FORM1.NoSuchBox=1"}, "NoSuchBox"}}) {
    RunResult r = render(QStringList{a, "-o", q(d.file("bad.png"))} + c.args);
    EXPECT_EQ(r.exitCode, 2) << c.args.join(' ').toStdString();
    EXPECT_TRUE(r.err.contains(c.says)) << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
  }
  EXPECT_FALSE(std::filesystem::exists(d.file("bad.png")));
}

TEST(RenderCommand, ASettingsFileMustBeAControlsFileWithValuesItsControlsTake) {
  test::TempDir d;
  writeWav(d.file("a.wav"), 8000, 1, 1000);
  const QString a = q(d.file("a.wav"));
  test::writeFile(d.file("picture.ini"), std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
  test::writeFile(d.file("notes.ini"), "just some notes\nabout the deployment\n");
  test::writeFile(d.file("banana.ini"), "FORM1.Combo3  = banana\r\nFORM1.Combo7  = 128\r\n");
  // As an editor elsewhere may save it: a byte-order mark before the first key.
  test::writeFile(d.file("good.ini"), "\xEF\xBB\xBF" "FORM1.Combo7  = 128\r\nFORM1.Combo3  = 2048\r\nFORM1.Combo4  = 2048\r\n");
  for (const char* name : {"picture.ini", "notes.ini"}) {
    RunResult r = render({a, "--settings", q(d.file(name))});
    EXPECT_EQ(r.exitCode, 2) << name;
    EXPECT_TRUE(r.err.contains("not a controls file")) << r.err.toStdString();
  }
  RunResult bad = render({a, "--settings", q(d.file("banana.ini"))});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_TRUE(bad.err.contains("FORM1.Combo3") && bad.err.contains("banana")) << bad.err.toStdString();
  EXPECT_FALSE(std::filesystem::exists(d.file("a.png")));
  RunResult good = render({a, "--settings", q(d.file("good.ini"))});
  ASSERT_EQ(good.exitCode, 0) << good.err.toStdString();
  const auto bands = bandsOf(QImage(q(d.file("a.png"))));
  ASSERT_EQ(bands.size(), 1u);
  EXPECT_EQ(bands[0].second - bands[0].first + 1, 128);
}

TEST(RenderCommand, AStereoFileWithSoundOnTheRightShowsItInTheRightBand) {
  test::TempDir d;
  writeWav(d.file("st.wav"), 8000, 2, 1000, {0, 12000});
  RunResult r = render({q(d.file("st.wav")), "--fft", "1024", "--step", "256"});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  QImage img(q(d.file("st.png")));
  // Two bands of 256 rows, 10 apart.
  const auto bands = bandsOf(img);
  ASSERT_EQ(bands.size(), 2u);
  for (auto b : bands) EXPECT_EQ(b.second - b.first + 1, 256);
  EXPECT_EQ(bands[1].first - bands[0].second - 1, 10);
  auto darkIn = [&](int top) {
    int n = 0;
    for (int y = top; y < top + 256; ++y)
      for (int x = 84; x < img.width() - 78; ++x) n += qGray(img.pixel(x, y)) < 64;
    return n;
  };
  EXPECT_EQ(darkIn(bands[0].first), 0) << "the left band is silent";
  EXPECT_GT(darkIn(bands[1].first), 40) << "the right band shows the tone";
}

TEST(RenderCommand, ShardsSplitTheSortedInputsBetweenJobs) {
  test::TempDir d;
  QStringList all;
  for (const char* n : {"e", "b", "d", "a", "c"}) {
    writeWav(d.file(std::string(n) + ".wav"), 8000, 0.5, 1000);
    all << q(d.file(std::string(n) + ".wav"));
  }
  RunResult first = render(all + QStringList{"-o", q(d.file("one")), "--shard", "1/2"});
  RunResult second = render(all + QStringList{"-o", q(d.file("two")), "--shard", "2/2"});
  ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
  ASSERT_EQ(second.exitCode, 0) << second.err.toStdString();
  EXPECT_EQ(first.out, q(d.file("one/a.png") + "\n" + d.file("one/b.png") + "\n"));
  EXPECT_EQ(second.out, q(d.file("two/c.png") + "\n" + d.file("two/d.png") + "\n" + d.file("two/e.png") + "\n"));
}

TEST(RenderCommand, HelpSaysWhatTheOptionsDo) {
  RunResult help = render({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  for (const char* word : {"--frames", "16384", "--shard", "--fft", "--force", "--channel", "--fmin", "--"})
    EXPECT_TRUE(help.out.contains(word)) << word;
  EXPECT_EQ(render({}).exitCode, 2);
  QProcess main;
  main.start(QUORVEL_EXE, {"--help"});
  ASSERT_TRUE(main.waitForFinished(20000));
  EXPECT_TRUE(QString::fromUtf8(main.readAllStandardOutput()).contains("quorvel render"));
}

TEST(RenderCommand, FramesWriteNumberedImages) {
  test::TempDir d;
  writeWav(d.file("a.wav"), 8000, 4, 1000);  // 125 columns of 256 samples
  RunResult r = render({q(d.file("a.wav")), "--frames", "--width", "50", "-o", q(d.file("f")), "--step", "256"});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(std::filesystem::exists(d.file("f/a_0003.png")));
  EXPECT_FALSE(std::filesystem::exists(d.file("f/a_0004.png")));
}

}  // namespace
}  // namespace qv
