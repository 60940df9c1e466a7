// Batch rendering: where a tone lands, errors beside good files, frames,
// output names, and the same pixels whatever the number of workers.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "export/render.h"
#include "platform/qt/indexed_surface.h"
#include "playback_wav.h"
#include "support/program_rig.h"

namespace qv {
namespace {

struct RenderRig : test::ProgramRig {
  RenderSettings settings() {
    form1("Combo3").setText("1024");
    form1("Combo4").setText("1024");
    form1("Combo6").setText("256");
    return renderSettingsFrom(p());
  }
  std::string wav(const std::string& name, int rate, const std::vector<int16_t>& s) {
    std::string path = home.file(name);
    test::writeWav(path, rate, 1, s);
    return path;
  }
};

// Mean grey level of each pixel row of the plot area.
std::vector<double> rowMeans(const QImage& img, const RenderLayout& l) {
  std::vector<double> m;
  for (int y = l.top; y < l.top + l.plotHeight; ++y) {
    double sum = 0;
    for (int x = l.left; x < l.left + l.plotWidth; ++x) sum += qGray(img.pixel(x, y));
    m.push_back(sum / l.plotWidth);
  }
  return m;
}

TEST(Render, AToneIsDrawnAtItsFrequencyWithAxes) {
  RenderRig r;
  RenderSettings s = r.settings();
  const int rate = 8000;
  std::string in = r.wav("tone.wav", rate, test::tone(rate * 3, rate, 1000));
  RenderOptions o;
  o.width = 50;  // the 94 columns squeezed into 50
  RenderResult res = renderFile(in, r.home.file("tone.png"), s, o, r.dsp, r.surfaces);
  ASSERT_TRUE(res.ok) << res.error;
  ASSERT_EQ(res.outputs.size(), 1u);
  QImage img(QString::fromStdString(res.outputs[0]));
  ASSERT_FALSE(img.isNull());
  const RenderLayout& l = res.layout;
  EXPECT_EQ(img.width(), l.imageWidth());
  EXPECT_EQ(img.height(), l.imageHeight());
  EXPECT_EQ(l.plotWidth, 50);
  // Colour scale 0 draws loud levels dark: the darkest row is the tone's.
  auto means = rowMeans(img, l);
  int darkest = static_cast<int>(std::min_element(means.begin(), means.end()) - means.begin()) + l.top;
  EXPECT_NEAR(darkest, l.yOfFrequency(1000), 1);
  EXPECT_GT(l.yOfFrequency(1000), l.yOfFrequency(2000));  // higher frequencies further up
  // Something (tick marks, labels) is drawn left of and under the plot.
  int inked = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < l.left - 1; ++x) inked += qGray(img.pixel(x, y)) < 128;
  EXPECT_GT(inked, 20);
  inked = 0;
  for (int y = l.top + l.plotHeight + 1; y < img.height(); ++y)
    for (int x = l.left; x < l.left + l.plotWidth; ++x) inked += qGray(img.pixel(x, y)) < 128;
  EXPECT_GT(inked, 20);
  EXPECT_EQ(res.columns, (rate * 3 + 255) / 256);
}

TEST(Render, AnUnreadableFileFailsWhileTheOthersRender) {
  RenderRig r;
  RenderSettings s = r.settings();
  std::string good1 = r.wav("one.wav", 8000, test::tone(8000, 8000, 500));
  std::string good2 = r.wav("two.wav", 8000, test::tone(8000, 8000, 700));
  std::string missing = r.home.file("missing.wav");
  std::string unknown = r.home.file("notes.xyz");
  test::writeFile(unknown, "hello");
  RenderOptions o;
  o.output = r.home.file("out");
  std::filesystem::create_directories(o.output);
  o.jobs = 2;
  auto res = renderAll({good1, missing, unknown, good2}, s, o, r.dsp, r.surfaces);
  ASSERT_EQ(res.size(), 4u);
  EXPECT_TRUE(res[0].ok) << res[0].error;
  EXPECT_FALSE(res[1].ok);
  EXPECT_FALSE(res[1].error.empty());
  EXPECT_FALSE(res[2].ok);
  EXPECT_NE(res[2].error.find("XYZ"), std::string::npos) << res[2].error;
  EXPECT_TRUE(res[3].ok) << res[3].error;
  EXPECT_TRUE(std::filesystem::exists(r.home.file("out/one.png")));
  EXPECT_TRUE(std::filesystem::exists(r.home.file("out/two.png")));
}

TEST(Render, FramesGiveOneImagePerScreenOfColumns) {
  RenderRig r;
  RenderSettings s = r.settings();
  s.frameWidth = 100;
  // 250 columns of 256 samples: two full screens and a half one.
  std::string in = r.wav("f.wav", 8000, test::tone(256 * 250, 8000, 1000));
  RenderOptions o;
  o.frames = true;
  o.output = r.home.file("frames/");
  std::filesystem::create_directories(o.output);
  auto res = renderAll({in}, s, o, r.dsp, r.surfaces);
  ASSERT_TRUE(res[0].ok) << res[0].error;
  ASSERT_EQ(res[0].outputs.size(), 3u);
  EXPECT_EQ(res[0].outputs[0], r.home.file("frames/f_0001.png"));
  EXPECT_EQ(res[0].outputs[2], r.home.file("frames/f_0003.png"));
  QImage last(QString::fromStdString(res[0].outputs[2]));
  EXPECT_EQ(last.width(), res[0].layout.left + 50 + res[0].layout.right);
}

// The slot-keeping surface (what the command uses) and the plain one give
// the same plot pixels, and every column of every screen is drawn: the last
// column of a screen belongs to that screen.
TEST(Render, EveryColumnOfEveryScreenIsDrawnOnEitherSurface) {
  RenderRig r;
  RenderSettings s = r.settings();
  s.frameWidth = 40;
  std::string in = r.wav("g.wav", 8000, test::tone(256 * 100, 8000, 1000));
  RenderOptions o;
  o.frames = true;
  o.output = r.home.file("plain/");
  std::filesystem::create_directories(o.output);
  auto plain = renderAll({in}, s, o, r.dsp, r.surfaces);
  IndexedSurfaceFactory slotSurfaces;
  o.output = r.home.file("slots/");
  std::filesystem::create_directories(o.output);
  auto indexed = renderAll({in}, s, o, r.dsp, slotSurfaces);
  ASSERT_TRUE(plain[0].ok && indexed[0].ok) << plain[0].error << indexed[0].error;
  ASSERT_EQ(plain[0].outputs.size(), 3u);
  ASSERT_EQ(indexed[0].outputs.size(), 3u);
  for (size_t f = 0; f < 3; ++f) {
    QImage a(QString::fromStdString(plain[0].outputs[f])), b(QString::fromStdString(indexed[0].outputs[f]));
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(b.format(), QImage::Format_Indexed8) << "written with a colour table";
    const RenderLayout& l = plain[0].layout;
    const int toneY = l.yOfFrequency(1000);
    const int columns = a.width() - l.left - l.right;
    int differ = 0;
    for (int x = l.left; x < l.left + columns; ++x) {
      for (int y = l.top; y < l.top + l.plotHeight; ++y) differ += a.pixel(x, y) != b.pixel(x, y);
      // Colour scale 0 draws the tone dark in every column after the first screen's start.
      if (f > 0 || x > l.left + 4) {
        EXPECT_LT(qGray(b.pixel(x, toneY)), 128) << "screen " << f << " column " << x - l.left;
      }
    }
    EXPECT_EQ(differ, 0) << "screen " << f;
  }
}

TEST(Render, OutputNames) {
  RenderOptions o;
  EXPECT_EQ(renderOutputBase("/d/rec.wav", o, 1), "/d/rec.png");
  o.output = "/o/pic.png";
  EXPECT_EQ(renderOutputBase("/d/rec.wav", o, 1), "/o/pic.png");
  EXPECT_EQ(renderOutputBase("/d/rec.wav", o, 2), "/o/rec.png");
  o.output = "/o";
  EXPECT_EQ(renderOutputBase("/d/rec.wav", o, 2), "/o/rec.png");
  o.frames = true;
  EXPECT_EQ(renderOutputBase("/d/rec.wav", o, 2), "/o/rec");
}

TEST(Render, SameNamesFromTwoFoldersDoNotOverwriteEachOther) {
  RenderRig r;
  RenderSettings s = r.settings();
  std::filesystem::create_directories(r.home.file("x"));
  std::filesystem::create_directories(r.home.file("y"));
  std::string a = r.wav("x/rec.wav", 8000, test::tone(4000, 8000, 500));
  std::string b = r.wav("y/rec.wav", 8000, test::tone(4000, 8000, 900));
  RenderOptions o;
  o.output = r.home.file("out");
  std::filesystem::create_directories(o.output);
  auto res = renderAll({a, b}, s, o, r.dsp, r.surfaces);
  ASSERT_TRUE(res[0].ok && res[1].ok);
  EXPECT_NE(res[0].outputs[0], res[1].outputs[0]);
}

TEST(Render, ParallelWorkersDrawTheSamePixelsAsOne) {
  RenderRig r;
  RenderSettings s = r.settings();
  std::vector<std::string> ins;
  for (int i = 0; i < 4; ++i) ins.push_back(r.wav("p" + std::to_string(i) + ".wav", 8000, test::tone(16000, 8000, 300 + 400 * i)));
  RenderOptions one, four;
  one.jobs = 1;
  one.output = r.home.file("one");
  four.jobs = 4;
  four.output = r.home.file("four");
  std::filesystem::create_directories(one.output);
  std::filesystem::create_directories(four.output);
  int64_t lastDone = -1, lastTotal = 0;
  auto a = renderAll(ins, s, one, r.dsp, r.surfaces);
  auto b = renderAll(ins, s, four, r.dsp, r.surfaces, [&](int64_t d, int64_t t) {
    lastDone = d;
    lastTotal = t;
  });
  EXPECT_EQ(lastDone, lastTotal);
  EXPECT_EQ(lastTotal, 4 * ((16000 + 255) / 256));
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(a[i].ok && b[i].ok);
    QImage x(QString::fromStdString(a[i].outputs[0])), y(QString::fromStdString(b[i].outputs[0]));
    EXPECT_TRUE(x == y) << i;
  }
}

}  // namespace
}  // namespace qv
