// Batch rendering: where a tone lands, a band per channel, errors beside
// good files, frames, output names, the width both ways, and the same pixels
// whatever the number of workers and however a long file is shared out.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "config/setting_rules.h"
#include "export/recording_stamp.h"
#include "export/render.h"
#include "files/guano.h"
#include "recording/wav_file.h"
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
  std::string wav(const std::string& name, int rate, const std::vector<int16_t>& s, int channels = 1) {
    std::string path = home.file(name);
    test::writeWav(path, rate, channels, s);
    return path;
  }
  std::string folder(const std::string& name) {
    std::filesystem::create_directories(home.file(name));
    return home.file(name);
  }
};

QImage load(const std::string& path) { return QImage(QString::fromStdString(path)); }

// Mean grey level of each pixel row of a band's plot area.
std::vector<double> rowMeans(const QImage& img, const RenderLayout& l, int band = 0) {
  std::vector<double> m;
  for (int y = l.bandTop(band); y < l.bandTop(band) + l.plotHeight; ++y) {
    double sum = 0;
    for (int x = l.left; x < l.left + l.plotWidth; ++x) sum += qGray(img.pixel(x, y));
    m.push_back(sum / l.plotWidth);
  }
  return m;
}

int darkestRow(const QImage& img, const RenderLayout& l, int band = 0) {
  auto m = rowMeans(img, l, band);
  return static_cast<int>(std::min_element(m.begin(), m.end()) - m.begin()) + l.bandTop(band);
}

int inkedPixels(const QImage& img, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = std::max(0, y0); y < std::min(img.height(), y1); ++y)
    for (int x = std::max(0, x0); x < std::min(img.width(), x1); ++x) n += qGray(img.pixel(x, y)) < 128;
  return n;
}

// Interleaved frames of a busy recording: a tone per channel, clicks and
// noise, so that every column differs from its neighbours.
std::vector<int16_t> busySignal(size_t frames, int rate, int channels) {
  std::minstd_rand rng(11);
  std::vector<int16_t> v(frames * static_cast<size_t>(channels));
  for (size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) {
      double x = 6000 * std::sin(2 * M_PI * (600.0 + 900.0 * c) * static_cast<double>(i) / rate);
      x += static_cast<double>(static_cast<int>(rng() % 1601) - 800);
      if (i % static_cast<size_t>(rate / 3 + 17 * c) < 3) x += 20000;  // a click
      v[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] = static_cast<int16_t>(std::clamp(x, -32767.0, 32767.0));
    }
  return v;
}

TEST(Render, AToneIsDrawnAtItsFrequencyWithCaptionAxesAndColourBar) {
  RenderRig r;
  RenderSettings s = r.settings();
  const int rate = 8000;
  std::string in = r.wav("tone_20240512_134501.wav", rate, test::tone(rate * 3, rate, 1000));
  RenderOptions o;
  o.width = 50;  // the 94 columns squeezed into 50
  RenderResult res = renderFile(in, r.home.file("tone.png"), s, o, r.dsp, r.surfaces);
  ASSERT_TRUE(res.ok) << res.error;
  ASSERT_EQ(res.outputs.size(), 1u);
  QImage img = load(res.outputs[0]);
  ASSERT_FALSE(img.isNull());
  const RenderLayout& l = res.layout;
  EXPECT_EQ(img.width(), l.imageWidth());
  EXPECT_EQ(img.height(), l.imageHeight());
  EXPECT_EQ(l.plotWidth, 50);
  EXPECT_EQ(l.bands, 1);
  // Colour scale 0 draws loud levels dark: the darkest row is the tone's.
  EXPECT_NEAR(darkestRow(img, l), l.yOfFrequency(1000), 1);
  EXPECT_GT(l.yOfFrequency(1000), l.yOfFrequency(2000));  // higher frequencies further up
  // Frequency labels left of the plot, times under it, the caption above.
  EXPECT_GT(inkedPixels(img, 0, l.top, l.left - 1, l.plotBottom()), 20);
  EXPECT_GT(inkedPixels(img, l.left, l.plotBottom() + 1, l.left + l.plotWidth, img.height()), 20);
  EXPECT_GT(inkedPixels(img, l.left, 0, img.width(), l.top - 4), 100);
  // The caption is wider than this narrow picture: it wraps onto lines of
  // its own above the plot rather than being cut at the edge, and so does
  // the footer with the analysis settings under the time labels.
  const int captionLines = (l.top - RenderLayout{}.top) / 16 + 1;
  EXPECT_GE(captionLines, 2);
  for (int i = 0; i < captionLines; ++i)
    EXPECT_GT(inkedPixels(img, l.left, 4 + 16 * i, img.width(), 4 + 16 * i + 14), 10) << "caption line " << i;
  const int footerLines = (l.bottom - RenderLayout{}.bottom) / 16;
  EXPECT_GE(footerLines, 2);
  for (int i = 0; i < footerLines; ++i) {
    const int y = l.plotBottom() + 26 + 16 * i;
    EXPECT_GT(inkedPixels(img, l.left, y, img.width(), y + 14), 10) << "footer line " << i;
  }
  EXPECT_EQ(inkedPixels(img, 0, l.plotBottom() + 26 + 16 * footerLines, img.width(), img.height()), 0);
  // The colour bar right of the plot runs from white (quiet) at the bottom to black (loud) at the top.
  const int barX = l.left + l.plotWidth + 20;
  EXPECT_GT(qGray(img.pixel(barX, l.plotBottom() - 2)), 240);
  EXPECT_LT(qGray(img.pixel(barX, l.top + 2)), 20);
  EXPECT_EQ(res.columns, (rate * 3 + 255) / 256);
}

TEST(Render, StereoWithSoundOnTheRightOnlyDrawsAQuietLeftBandAndAVisibleRightBand) {
  RenderRig r;
  RenderSettings s = r.settings();
  const int rate = 8000;
  auto tone = test::tone(rate * 2, rate, 1500);
  std::vector<int16_t> frames(tone.size() * 2, 0);
  for (size_t i = 0; i < tone.size(); ++i) frames[2 * i + 1] = tone[i];
  std::string in = r.wav("stereo.wav", rate, frames, 2);

  RenderResult both = renderFile(in, r.home.file("both.png"), s, RenderOptions{}, r.dsp, r.surfaces);
  ASSERT_TRUE(both.ok) << both.error;
  QImage img = load(both.outputs[0]);
  const RenderLayout& l = both.layout;
  ASSERT_EQ(l.bands, 2);
  EXPECT_EQ(img.height(), l.imageHeight());
  auto left = rowMeans(img, l, 0);
  EXPECT_GT(*std::min_element(left.begin(), left.end()), 250) << "the silent left band stays white";
  EXPECT_NEAR(darkestRow(img, l, 1), l.yOfFrequency(1500, 1), 1);
  auto right = rowMeans(img, l, 1);
  EXPECT_LT(*std::min_element(right.begin(), right.end()), 60);
  // "L" and "R" beside their bands.
  for (int b = 0; b < 2; ++b)
    EXPECT_GT(inkedPixels(img, 0, l.bandTop(b), 16, l.bandTop(b) + l.plotHeight), 5) << "band " << b;

  RenderOptions only;
  only.channel = 2;
  RenderResult one = renderFile(in, r.home.file("right.png"), s, only, r.dsp, r.surfaces);
  ASSERT_TRUE(one.ok) << one.error;
  EXPECT_EQ(one.layout.bands, 1);
  EXPECT_NEAR(darkestRow(load(one.outputs[0]), one.layout), one.layout.yOfFrequency(1500), 1);

  only.channel = 3;
  RenderResult none = renderFile(in, r.home.file("none.png"), s, only, r.dsp, r.surfaces);
  EXPECT_FALSE(none.ok);
  EXPECT_NE(none.error.find("no channel 3"), std::string::npos) << none.error;
  EXPECT_FALSE(std::filesystem::exists(r.home.file("none.png")));

  // "Mono (Right)" of the stereo options still gives one band of the right channel.
  r.options0("OptionCS2").click();
  RenderSettings mono = r.settings();
  RenderResult m = renderFile(in, r.home.file("mono.png"), mono, RenderOptions{}, r.dsp, r.surfaces);
  ASSERT_TRUE(m.ok) << m.error;
  EXPECT_EQ(m.layout.bands, 1);
  EXPECT_NEAR(darkestRow(load(m.outputs[0]), m.layout), m.layout.yOfFrequency(1500), 1);
}

TEST(Render, FourChannelsGiveFourNumberedBands) {
  RenderRig r;
  RenderSettings s = r.settings();
  const int rate = 8000;
  auto t = test::tone(rate, rate, 2000);
  // The reader skips the whole frame that covers the 4 spare header bytes:
  // two more samples put the first frame at byte 52.
  std::vector<int16_t> frames(2 + t.size() * 4, 0);
  for (size_t i = 0; i < t.size(); ++i) frames[2 + 4 * i + 2] = t[i];  // channel 3
  RenderResult res = renderFile(r.wav("four.wav", rate, frames, 4), r.home.file("four.png"), s, RenderOptions{},
                                r.dsp, r.surfaces);
  ASSERT_TRUE(res.ok) << res.error;
  QImage img = load(res.outputs[0]);
  const RenderLayout& l = res.layout;
  ASSERT_EQ(l.bands, 4);
  for (int b = 0; b < 4; ++b) {
    auto m = rowMeans(img, l, b);
    const double darkest = *std::min_element(m.begin(), m.end());
    if (b == 2) {
      EXPECT_NEAR(darkestRow(img, l, b), l.yOfFrequency(2000, b), 1);
      EXPECT_LT(darkest, 60);
    } else {
      EXPECT_GT(darkest, 250) << "band " << b;
    }
    EXPECT_GT(inkedPixels(img, 0, l.bandTop(b), 16, l.bandTop(b) + l.plotHeight), 5) << "label of band " << b;
  }
}

TEST(Render, WidthIsHonouredBothWaysAndCappedByDefault) {
  RenderRig r;
  RenderSettings s = r.settings();
  const int rate = 8000;
  std::string clip = r.wav("clip.wav", rate, test::tone(rate, rate, 1000));  // 32 columns
  RenderOptions wide;
  wide.width = 320;
  RenderResult w = renderFile(clip, r.home.file("wide.png"), s, wide, r.dsp, r.surfaces);
  ASSERT_TRUE(w.ok) << w.error;
  QImage img = load(w.outputs[0]);
  EXPECT_EQ(w.layout.plotWidth, 320);
  EXPECT_EQ(w.columns, 32);
  // Each column is repeated over ten pixels: pixel columns within a group are equal.
  const RenderLayout& l = w.layout;
  int differ = 0, groupsDiffer = 0;
  for (int x = 0; x + 1 < 320; ++x)
    for (int y = l.top; y < l.plotBottom(); ++y) {
      const bool d = img.pixel(l.left + x, y) != img.pixel(l.left + x + 1, y);
      if ((x + 1) % 10 != 0) differ += d;
      else groupsDiffer += d;
    }
  EXPECT_EQ(differ, 0);
  EXPECT_GT(groupsDiffer, 0) << "the tone starts in the first columns, so groups do differ";
  EXPECT_NEAR(darkestRow(img, l), l.yOfFrequency(1000), 1);
  EXPECT_EQ(l.top, RenderLayout{}.top) << "the caption fits on one line";

  // 40 s at 8000 Hz with a scan step of 16: 20000 columns, more than a
  // common image tool opens at one pixel each.
  r.form1("Combo3").setText("512");
  r.form1("Combo4").setText("512");
  r.form1("Combo6").setText("16");
  RenderSettings fine = renderSettingsFrom(r.p());
  std::string longer = r.wav("long.wav", rate, test::tone(rate * 40, rate, 1000));
  RenderResult capped = renderFile(longer, r.home.file("long.png"), fine, RenderOptions{}, r.dsp, r.surfaces);
  ASSERT_TRUE(capped.ok) << capped.error;
  EXPECT_EQ(capped.columns, 20000);
  EXPECT_EQ(load(capped.outputs[0]).width(), kMaxImageWidth);
}

// The command draws on the slot-keeping surface; a file split into ranges
// by several workers must give exactly the one-worker picture, whatever
// the squeeze, for mono and stereo, whole and in screens.
TEST(Render, ALongFileSharedOutInRangesIsPixelIdenticalToOneWorker) {
  RenderRig r;
  r.form1("Combo3").setText("512");
  r.form1("Combo4").setText("512");
  r.form1("Combo6").setText("192");  // not a divisor of the FFT size: the first window starts late
  r.form1("Combo7").setText("128");
  RenderSettings s = renderSettingsFrom(r.p());
  const int rate = 8000;
  const size_t length = 192 * 4300;  // 4300 columns: at least three ranges of 2048
  IndexedSurfaceFactory command(3);  // what the command draws on
  int compared = 0;
  for (int channels : {1, 2}) {
    std::string in = r.wav("busy" + std::to_string(channels) + ".wav", rate, busySignal(length, rate, channels), channels);
    // Squeezed, one column per pixel, widened, and in screens.
    for (auto [width, screens] : std::vector<std::pair<int, bool>>{{1500, false}, {0, false}, {5000, false}, {700, true}}) {
      RenderOptions one, many;
      one.width = many.width = width;
      one.frames = many.frames = screens;
      one.jobs = 1;
      many.jobs = 3;
      const std::string tag = std::to_string(channels) + "-" + std::to_string(width) + (screens ? "f" : "");
      one.output = r.folder("one" + tag);
      many.output = r.folder("many" + tag);
      auto a = renderAll({in}, s, one, r.dsp, command);
      auto b = renderAll({in}, s, many, r.dsp, command);
      ASSERT_TRUE(a[0].ok && b[0].ok) << a[0].error << b[0].error;
      EXPECT_EQ(a[0].ranges, 1) << tag;
      EXPECT_GE(b[0].ranges, 3) << tag;
      EXPECT_EQ(a[0].columns, b[0].columns) << tag;
      ASSERT_EQ(a[0].outputs.size(), b[0].outputs.size()) << tag;
      for (size_t i = 0; i < a[0].outputs.size(); ++i) {
        QImage x = load(a[0].outputs[i]), y = load(b[0].outputs[i]);
        ASSERT_FALSE(x.isNull());
        EXPECT_TRUE(x == y) << tag << " image " << i;
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 8);
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
  o.output = r.folder("out");
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
  o.output = r.folder("frames/");
  auto res = renderAll({in}, s, o, r.dsp, r.surfaces);
  ASSERT_TRUE(res[0].ok) << res[0].error;
  ASSERT_EQ(res[0].outputs.size(), 3u);
  EXPECT_EQ(res[0].outputs[0], r.home.file("frames/f_0001.png"));
  EXPECT_EQ(res[0].outputs[2], r.home.file("frames/f_0003.png"));
  QImage last = load(res[0].outputs[2]);
  EXPECT_EQ(last.width(), res[0].layout.left + 50 + res[0].layout.right);
  // A width sets the screen's columns.
  o.width = 125;
  o.output = r.folder("frames2/");
  res = renderAll({in}, s, o, r.dsp, r.surfaces);
  ASSERT_TRUE(res[0].ok) << res[0].error;
  EXPECT_EQ(res[0].outputs.size(), 2u);
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
  o.output = r.folder("plain/");
  auto plain = renderAll({in}, s, o, r.dsp, r.surfaces);
  IndexedSurfaceFactory slotSurfaces(1);
  o.output = r.folder("slots/");
  auto indexed = renderAll({in}, s, o, r.dsp, slotSurfaces);
  ASSERT_TRUE(plain[0].ok && indexed[0].ok) << plain[0].error << indexed[0].error;
  ASSERT_EQ(plain[0].outputs.size(), 3u);
  ASSERT_EQ(indexed[0].outputs.size(), 3u);
  for (size_t f = 0; f < 3; ++f) {
    QImage a = load(plain[0].outputs[f]), b = load(indexed[0].outputs[f]);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(b.format(), QImage::Format_Indexed8) << "written with a colour table";
    const RenderLayout& l = plain[0].layout;
    const int toneY = l.yOfFrequency(1000);
    const int columns = a.width() - l.left - l.right;
    int differ = 0;
    for (int x = l.left; x < l.left + columns; ++x) {
      for (int y = l.top; y < l.top + l.plotHeight; ++y) differ += a.pixel(x, y) != b.pixel(x, y);
      // Colour scale 0 draws the tone dark in every column.
      EXPECT_LT(qGray(b.pixel(x, toneY)), 128) << "screen " << f << " column " << x - l.left;
    }
    EXPECT_EQ(differ, 0) << "screen " << f;
  }
}

TEST(Render, OutputNames) {
  RenderOptions o;
  EXPECT_EQ(renderOutputBase("/d/rec.wav", o, 1), "/d/rec.png");
  o.output = "/o/pic.png";
  EXPECT_EQ(renderOutputBase("/d/rec.wav", o, 1), "/o/pic.png");
  o.output = "/o";
  EXPECT_EQ(renderOutputBase("/d/rec.wav", o, 2), "/o/rec.png");
  o.frames = true;
  EXPECT_EQ(renderOutputBase("/d/rec.wav", o, 2), "/o/rec");
}

TEST(Render, SameNamesFromTwoFoldersDoNotOverwriteEachOther) {
  RenderRig r;
  RenderSettings s = r.settings();
  r.folder("x");
  r.folder("y");
  std::string a = r.wav("x/rec.wav", 8000, test::tone(4000, 8000, 500));
  std::string b = r.wav("y/rec.wav", 8000, test::tone(4000, 8000, 900));
  RenderOptions o;
  o.output = r.folder("out");
  auto res = renderAll({a, b}, s, o, r.dsp, r.surfaces);
  ASSERT_TRUE(res[0].ok && res[1].ok);
  EXPECT_NE(res[0].outputs[0], res[1].outputs[0]);
}

TEST(Render, ParallelWorkersDrawTheSamePixelsAsOneAndReportProgress) {
  RenderRig r;
  RenderSettings s = r.settings();
  std::vector<std::string> ins;
  for (int i = 0; i < 4; ++i) ins.push_back(r.wav("p" + std::to_string(i) + ".wav", 8000, test::tone(16000, 8000, 300 + 400 * i)));
  RenderOptions one, four;
  one.jobs = 1;
  one.output = r.folder("one");
  four.jobs = 4;
  four.output = r.folder("four");
  RenderProgressInfo last;
  auto a = renderAll(ins, s, one, r.dsp, r.surfaces);
  auto b = renderAll(ins, s, four, r.dsp, r.surfaces, [&](const RenderProgressInfo& p) { last = p; });
  EXPECT_EQ(last.done, last.total);
  EXPECT_GT(last.total, 4 * ((16000 + 255) / 256) * s.column.displayHeight) << "the columns' rows and the images";
  EXPECT_EQ(last.fileCount, 4);
  EXPECT_FALSE(last.file.empty());
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(a[i].ok && b[i].ok);
    EXPECT_TRUE(load(a[i].outputs[0]) == load(b[i].outputs[0])) << i;
  }
}

TEST(Render, AFrequencyBandIsShownThroughTheZoomAtEachFilesOwnRate) {
  RenderRig r;
  RenderSettings s = r.settings();  // FFT 1024
  s.fminHz = 1000;
  s.fmaxHz = 2000;
  std::string slow = r.wav("slow.wav", 8000, test::tone(8000 * 2, 8000, 1500));
  std::string fast = r.wav("fast.wav", 16000, test::tone(16000 * 2, 16000, 1500));
  RenderOptions o;
  o.output = r.folder("band");
  auto res = renderAll({slow, fast}, s, o, r.dsp, r.surfaces);
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(res[i].ok) << res[i].error;
    const RenderLayout& l = res[i].layout;
    const double bin = (i == 0 ? 8000.0 : 16000.0) / 1024;
    EXPECT_NEAR(l.baseHz, 1000, bin);
    EXPECT_NEAR(l.baseHz + l.hzPerRow * (l.plotHeight - 1), 2000, bin);
    EXPECT_NEAR(darkestRow(load(res[i].outputs[0]), l), l.yOfFrequency(1500), 1);
  }
  // What the zoom cannot show is refused with the reason.
  EXPECT_NE(zoomForBand(5000, -1, 8000.0 / 1024, 1024, 256).problem.find("half the sampling rate"), std::string::npos);
  EXPECT_NE(zoomForBand(-1, 5000, 8000.0 / 1024, 1024, 256).problem.find("above half"), std::string::npos);
  EXPECT_NE(zoomForBand(2000, 1000, 8000.0 / 1024, 1024, 256).problem.find("not above"), std::string::npos);
  EXPECT_NE(zoomForBand(3000, -1, 8000.0 / 1024, 1024, 256).problem.find("--fmax"), std::string::npos)
      << "256 rows from 3000 Hz reach past 4000 Hz";
  EXPECT_TRUE(zoomForBand(2000, -1, 8000.0 / 1024, 1024, 256).problem.empty());
}

TEST(Render, ShardsAreEqualContiguousSharesOfTheSortedInputs) {
  std::vector<std::string> in;
  for (int i = 10; i >= 0; --i) in.push_back("rec" + std::to_string(100 + i) + ".wav");  // 11, reversed
  for (int n : {1, 3, 4, 11, 15}) {
    std::vector<std::string> all;
    size_t smallest = 99, largest = 0;
    for (int k = 1; k <= n; ++k) {
      auto share = shardOf(in, k, n);
      smallest = std::min(smallest, share.size());
      largest = std::max(largest, share.size());
      all.insert(all.end(), share.begin(), share.end());
    }
    EXPECT_LE(largest - smallest, 1u) << n;
    ASSERT_EQ(all.size(), in.size()) << n;
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end())) << n << ": shares follow each other in name order";
  }
  EXPECT_EQ(shardOf(in, 1, 4).front(), "rec100.wav");
  EXPECT_TRUE(shardOf(in, 5, 4).empty());
}

TEST(Render, TheStartComesFromTheRecordingsName) {
  auto st = stampFromName("Quorvel _20240512 134501.wav");
  ASSERT_TRUE(st);
  EXPECT_EQ(st->text(), "2024-05-12 13:45:01");
  EXPECT_EQ(st->secondsOfDay, 13 * 3600 + 45 * 60 + 1);
  EXPECT_EQ(stampFromName("x_20030512_134501.wav")->text(), "2003-05-12 13:45:01");
  EXPECT_EQ(stampFromName("0001_20240229T235959_buoy.wav")->text(), "2024-02-29 23:59:59");
  EXPECT_EQ(stampFromName("20240512134501.wav")->text(), "2024-05-12 13:45:01");
  EXPECT_EQ(stampFromName("site3_20240512.wav")->text(), "2024-05-12") << "a date alone";
  EXPECT_EQ(stampFromName("20240512_256199.wav")->text(), "2024-05-12") << "not a time";
  EXPECT_FALSE(stampFromName("20230229_120000.wav")) << "not a date";
  EXPECT_FALSE(stampFromName("take 12345678.wav"));
  EXPECT_FALSE(stampFromName("rec0001.wav"));
  EXPECT_EQ(recordingStamp("/data/2024/rec_20240512_134501.wav").text(), "2024-05-12 13:45:01");
}

// A recording's own metadata adds where and when it was made under the
// picture's axes; a copy without it draws no such line.
TEST(Render, TheGuanoPlaceAndTimeGoUnderTheAxes) {
  RenderRig r;
  RenderSettings s = r.settings();
  const int rate = 8000;
  const std::string plain = r.wav("plain.wav", rate, test::tone(rate * 3, rate, 1000));
  GuanoRecord g;
  g.timestamp = GuanoTime{1765197444532, 0};  // 2025-12-08 12:37:24.532 UTC
  g.sampleRate = rate;
  g.frames = rate * 3;
  g.position = PositionFix{true, -33.856784, 151.215297};
  {
    WavWriter w;
    ASSERT_TRUE(w.create(r.home.file("tagged-out.wav"), 1, rate));
    std::vector<int16_t> samples(test::tone(rate * 3, rate, 1000));
    ASSERT_TRUE(w.append(samples.data(), samples.size()));
    ASSERT_TRUE(w.close(guanoText(g)));
  }
  const std::string withGuano = r.home.file("tagged-out.wav");
  EXPECT_EQ(guanoPlaceAndTime(withGuano), "Recorded 2025-12-08 12:37:24.532 +00:00 at 33.856784 S 151.215297 E");
  EXPECT_EQ(guanoPlaceAndTime(plain), "");
  EXPECT_EQ(guanoPlaceAndTime(r.home.file("missing.wav")), "");

  RenderOptions o;
  RenderResult a = renderFile(plain, r.home.file("plain.png"), s, o, r.dsp, r.surfaces);
  RenderResult b = renderFile(withGuano, r.home.file("tagged.png"), s, o, r.dsp, r.surfaces);
  ASSERT_TRUE(a.ok) << a.error;
  ASSERT_TRUE(b.ok) << b.error;
  ASSERT_EQ(b.layout.bottom - a.layout.bottom, 16) << "one footer line more";
  QImage img = load(b.outputs[0]);
  const RenderLayout& l = b.layout;
  const int footerLines = (l.bottom - RenderLayout{}.bottom) / 16;
  const int y = l.plotBottom() + 26 + 16 * (footerLines - 1);
  EXPECT_GT(inkedPixels(img, l.left, y, img.width(), y + 14), 10) << "the last footer line is drawn";
}

// A picture that takes its time to be written, as a full-resolution one does.
struct SlowSurface : IndexedSurface {
  using IndexedSurface::IndexedSurface;
  static inline std::atomic<bool> saving{false};
  bool save(const std::string& path) const override {
    saving = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(900));
    const bool ok = IndexedSurface::save(path);
    saving = false;
    return ok;
  }
};
struct SlowSurfaces : SurfaceFactory {
  std::shared_ptr<Surface> create(int w, int h) override { return std::make_shared<SlowSurface>(w, h, 1); }
};

TEST(Render, ProgressCountsTheWritingOfAnImageAndNamesTheFileBeingWritten) {
  RenderRig r;
  RenderSettings s = r.settings();
  std::string first = r.wav("first.wav", 8000, test::tone(8000, 8000, 1000));
  std::string second = r.wav("second.wav", 8000, test::tone(800, 8000, 1000));
  RenderOptions o;
  o.jobs = 1;
  o.output = r.folder("slow");
  SlowSurfaces slow;
  std::vector<RenderProgressInfo> whileSaving;
  RenderProgressInfo last;
  auto res = renderAll({first, second}, s, o, r.dsp, slow, [&](const RenderProgressInfo& p) {
    if (SlowSurface::saving) whileSaving.push_back(p);
    last = p;
  });
  ASSERT_TRUE(res[0].ok && res[1].ok);
  ASSERT_GE(whileSaving.size(), 2u) << "reported while an image was being written";
  for (const RenderProgressInfo& p : whileSaving) {
    EXPECT_LT(p.done, p.total) << "not done while an image is still being written";
    if (p.file == first) {
      EXPECT_EQ(p.fileNumber, 1);
    }
  }
  EXPECT_EQ(whileSaving.front().file, first) << "the file whose image is being written";
  EXPECT_EQ(last.done, last.total);
}

TEST(Render, ProgressNamesTheFileAndTheTimeLeft) {
  RenderProgressInfo p;
  p.done = 250;
  p.total = 1000;
  p.file = "/data/rec_20240512_134501.wav";
  p.fileNumber = 3;
  p.fileCount = 12;
  p.secondsLeft = 64.2;
  const std::string line = renderProgressLine(p, 20);
  EXPECT_EQ(line, "[#####...............]  25%  rec_20240512_134501.wav (3/12)  1:05 left");
  p.secondsLeft = -1;
  EXPECT_EQ(renderProgressLine(p, 20).find("left"), std::string::npos);
}

// A controls file saved by the program holds every control as it stands:
// each must pass its own rule, or no saved file could be loaded for render.
TEST(Render, SettingsAreCheckedWithTheControlsOwnRules) {
  RenderRig r;
  for (Form* f : {&r.p().form1(), &r.p().options0(), &r.p().options1()})
    for (const auto& c : f->controls()) {
      if (c->kind() == Kind::TextBox || c->kind() == Kind::ComboBox) {
        EXPECT_EQ(settingValueProblem(*c, c->text()), "") << c->key();
      }
    }
  Control& fft = r.form1("Combo3");
  EXPECT_TRUE(settingValueProblem(fft, "2048").empty());
  for (const char* bad : {"banana", "1000", "256", "32768", "", "1024x"})
    EXPECT_NE(settingValueProblem(fft, bad).find("power of two"), std::string::npos) << bad;
  EXPECT_TRUE(settingValueProblem(r.form1("Combo5"), "hamming").empty());
  EXPECT_NE(settingValueProblem(r.form1("Combo5"), "Blackman").find("FORM1.Combo5"), std::string::npos);
  EXPECT_TRUE(settingValueProblem(r.form1("Combo8"), "8 rainbow").empty());
  EXPECT_FALSE(settingValueProblem(r.form1("Combo8"), "rainbow").empty());
  EXPECT_FALSE(settingValueProblem(r.form1("Combo6"), "0").empty());
  EXPECT_FALSE(settingValueProblem(r.options1("AvgCoeffField"), "1.5").empty());
  EXPECT_FALSE(settingValueProblem(r.options0("NchanCombo"), "lots").empty()) << "a list of numbers takes a number";
  // The basic settings' controls of the same names are other things.
  EXPECT_NE(settingValueProblem(r.options1("Combo1"), "banana").find("amplitude scale"), std::string::npos);
  EXPECT_FALSE(settingValueProblem(r.options1("Combo2"), "banana").empty()) << "the window width is a number";
}

}  // namespace
}  // namespace qv
