// Where spectrogram columns and waveform bars land on a small picture.
#include <gtest/gtest.h>

#include <vector>

#include "platform/qt/qimage_surface.h"
#include "realtime/column_draw.h"
#include "realtime/palette.h"

namespace qv {
namespace {

constexpr int kW = 10;
constexpr int kSv = 8;    // specVsize
constexpr int kH = 4;     // display height
constexpr int kPicH = kSv + 97;

struct DrawRig {
  QImageSurface pic{kW, kPicH};
  std::shared_ptr<QImageSurface> bitmap;
  ColumnDraw d;
  ColourPalette pal;
  int ColumnX = 0;
  int drawn = 0;

  DrawRig(int updateRate, int scrollFlag, bool stereo = false) {
    pal.BuildPalette(1);
    ColumnLayout l;
    l.pictureWidth = kW;
    l.specVsize = kSv;
    l.displayHeight = kH;
    l.updateRate = updateRate;
    l.scrollFlag = scrollFlag;
    l.stereo = stereo;
    int cols = ColumnDraw::bitmapColumns(l);
    if (cols > 0) bitmap = std::make_shared<QImageSurface>(cols, kH);
    d.begin(pic, bitmap.get(), l);
  }
  // Column number n is painted in palette entry 10 * (n + 1) on every row.
  Rgb colourOf(int n) const { return pal.at(10 * (n + 1)); }
  void column() {
    std::vector<float> p(kH, static_cast<float>(10 * (drawn + 1)));
    const int x = d.beginColumn(ColumnX);
    d.paintMono(x, p.data(), pal);
    d.waveformMono(d.pictureX(x, ColumnX), 40, 41, rgb(0, 0, 0));
    d.endColumn(x, ColumnX);
    ColumnX = (ColumnX + 1) % kW;
    ++drawn;
  }
  // Colour of the image row nearest the bottom at picture column X.
  Rgb imageAt(int X) const { return pic.pixel(X, kSv - 1); }
};

TEST(LiveDraw, InPlaceWritesEachColumnAtColumnXAndShowsAGroupWhenItIsFull) {
  DrawRig r1(1, 0);
  r1.column();
  EXPECT_EQ(r1.imageAt(0), r1.colourOf(0));
  r1.column();
  EXPECT_EQ(r1.imageAt(1), r1.colourOf(1));
  // The image occupies the bottom display rows only.
  EXPECT_EQ(r1.pic.pixel(1, kSv - kH), r1.colourOf(1));
  EXPECT_NE(r1.pic.pixel(1, kSv - kH - 1), r1.colourOf(1));

  DrawRig r4(4, 0);
  for (int i = 0; i < 3; ++i) r4.column();
  // Three columns collected: nothing on the picture yet.
  for (int X = 0; X < 3; ++X) EXPECT_NE(r4.imageAt(X), r4.colourOf(X)) << X;
  r4.column();
  for (int X = 0; X < 4; ++X) EXPECT_EQ(r4.imageAt(X), r4.colourOf(X)) << X;
  EXPECT_EQ(r4.d.copies(), 1);
}

TEST(LiveDraw, InPlaceFlushesThePartialGroupAtTheRightEdgeAndWraps) {
  DrawRig r(4, 0);  // 10 columns wide: groups 0-3, 4-7, then 8-9
  for (int i = 0; i < kW; ++i) r.column();
  for (int X = 0; X < kW; ++X) EXPECT_EQ(r.imageAt(X), r.colourOf(X)) << X;
  EXPECT_EQ(r.ColumnX, 0);
  // The next group starts again at the left edge, over the oldest columns.
  for (int i = 0; i < 4; ++i) r.column();
  for (int X = 0; X < 4; ++X) EXPECT_EQ(r.imageAt(X), r.colourOf(kW + X)) << X;
  EXPECT_EQ(r.imageAt(4), r.colourOf(4));
}

TEST(LiveDraw, InPlaceCursorLineFollowsTheNewestColumn) {
  DrawRig r(1, 0);
  r.column();
  r.column();
  EXPECT_EQ(r.pic.pixel(2, kSv + 19), inactiveBorder());
  EXPECT_EQ(r.pic.pixel(2, kSv + 92), inactiveBorder());
  // The waveform bar of column 1 (ends 40..41 below the separator).
  EXPECT_EQ(r.pic.pixel(1, kSv + 16 + 40), rgb(0, 0, 0));
  EXPECT_EQ(r.pic.pixel(1, kSv + 17), rgb(255, 255, 255));
  EXPECT_EQ(r.pic.pixel(1, kSv + 16), inactiveBorder());
}

TEST(LiveDraw, ScrollingWithUpdateRateOneMovesThePictureOnePixelPerColumn) {
  DrawRig r(1, 1);
  r.column();
  // Copied at the right edge, then scrolled left by one.
  EXPECT_EQ(r.imageAt(kW - 2), r.colourOf(0));
  r.column();
  EXPECT_EQ(r.imageAt(kW - 3), r.colourOf(0));
  EXPECT_EQ(r.imageAt(kW - 2), r.colourOf(1));
  // The waveform scrolls with the image: the bar of column 0 moved left too.
  EXPECT_EQ(r.pic.pixel(kW - 3, kSv + 56), rgb(0, 0, 0));
  EXPECT_EQ(r.d.copies(), 2);
}

TEST(LiveDraw, ScrollingWithUpdateRateFourCopiesEveryFourthColumn) {
  DrawRig r(4, 1);
  for (int i = 0; i < 3; ++i) r.column();
  EXPECT_EQ(r.d.copies(), 0);
  // The waveform of the group being collected stands at the right edge.
  EXPECT_EQ(r.pic.pixel(kW - 4, kSv + 56), rgb(0, 0, 0));
  EXPECT_EQ(r.pic.pixel(kW - 2, kSv + 56), rgb(0, 0, 0));
  r.column();
  EXPECT_EQ(r.d.copies(), 1);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(r.imageAt(kW - 8 + i), r.colourOf(i)) << i;
  // A wrap of ColumnX (10 columns) does not break the groups while scrolling.
  for (int i = 0; i < 8; ++i) r.column();
  EXPECT_EQ(r.d.copies(), 3);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(r.imageAt(kW - 8 + i), r.colourOf(8 + i)) << i;
}

TEST(LiveDraw, ScrollFlagTwoStartsTheWhiteStripOneRowHigherAndHasNoCursor) {
  DrawRig two(1, 2), one(1, 1);
  two.column();
  one.column();
  EXPECT_EQ(two.pic.pixel(kW - 2, kSv + 16), rgb(255, 255, 255));
  EXPECT_EQ(one.pic.pixel(kW - 2, kSv + 16), inactiveBorder());
}

TEST(LiveDraw, UpdateRateZeroScrollsColumnByColumnAndInPlaceDrawsOnThePicture) {
  DrawRig scroll(0, 1);
  EXPECT_EQ(scroll.d.updateRate(), 1);
  scroll.column();
  EXPECT_EQ(scroll.imageAt(kW - 2), scroll.colourOf(0));

  DrawRig inPlace(0, 0);
  EXPECT_EQ(inPlace.d.updateRate(), 0);
  EXPECT_EQ(inPlace.d.target(), &inPlace.pic);
  // Without a bitmap the column fills every image row of the picture.
  EXPECT_EQ(inPlace.d.displayHeight(), kSv);
  std::vector<float> p(kSv, 30.0f);
  inPlace.d.paintMono(inPlace.d.beginColumn(3), p.data(), inPlace.pal);
  EXPECT_EQ(inPlace.pic.pixel(3, 0), inPlace.pal.at(30));
}

TEST(LiveDraw, MarkersOverwriteTheirRows) {
  DrawRig r(1, 0);
  r.d.setMarkers(true, 1, 0, 3, 200);
  r.column();
  EXPECT_EQ(r.pic.pixel(0, kSv - 1 - 1), r.pal.at(200));
  EXPECT_EQ(r.pic.pixel(0, kSv - 1 - 3), r.pal.at(200));
  EXPECT_EQ(r.pic.pixel(0, kSv - 1 - 2), r.colourOf(0));
  EXPECT_EQ(r.pic.pixel(0, kSv - 1), r.colourOf(0));  // row 0 is never a marker
}

TEST(LiveDraw, TwoChannelsPutTheLeftChannelInTheUpperHalf) {
  DrawRig r(1, 0, true);
  std::vector<float> left(kH, 100.0f), right(kH, 20.0f);
  left[0] = 80.0f;  // lowest pair (80 + 100) / 2 = 90
  const int x = r.d.beginColumn(0);
  r.d.paintStereo(x, 0, left.data(), r.pal, false);
  r.d.paintStereo(x, 1, right.data(), r.pal, false);
  r.d.endColumn(x, 0);
  const int top = kSv - kH;
  EXPECT_EQ(r.pic.pixel(0, top + 0), r.pal.at(100));  // left, upper pair
  EXPECT_EQ(r.pic.pixel(0, top + 1), r.pal.at(90));   // left, lowest pair
  EXPECT_EQ(r.pic.pixel(0, top + 2), r.pal.at(20));   // right
  EXPECT_EQ(r.pic.pixel(0, top + 3), r.pal.at(20));
}

TEST(LiveDraw, RbMixesBothChannelsBelowAndSilenceIsBlack) {
  DrawRig r(1, 0, true);
  std::vector<float> quiet(kH, 10.0f);
  int x = r.d.beginColumn(0);
  r.d.paintStereo(x, 0, quiet.data(), r.pal, true);
  r.d.paintStereo(x, 1, quiet.data(), r.pal, true);
  r.d.endColumn(x, 0);
  EXPECT_EQ(r.pic.pixel(0, kSv - 1), rgb(0, 0, 0));
  EXPECT_EQ(r.pic.pixel(0, kSv - 2), rgb(0, 0, 0));
  EXPECT_EQ(r.pic.pixel(0, kSv - kH), r.pal.at(10));  // left half drawn as usual

  std::vector<float> left(kH, 44.0f), right(kH, 34.0f);
  x = r.d.beginColumn(1);
  r.d.paintStereo(x, 0, left.data(), r.pal, true);
  r.d.paintStereo(x, 1, right.data(), r.pal, true);
  r.d.endColumn(x, 1);
  // right 10, left 20: red 40, green 30, blue 80.
  EXPECT_EQ(r.pic.pixel(1, kSv - 1), rgb(40, 30, 80));
}

TEST(LiveDraw, StereoBarsStandOneAboveTheOther) {
  DrawRig r(1, 1, true);
  r.d.stripStereo(5);
  r.d.barStereo(5, 0, 0, 0, rgb(255, 0, 0));
  r.d.barStereo(5, 1, 0, 0, rgb(0, 0, 0));
  EXPECT_EQ(r.pic.pixel(5, kSv + 38), rgb(255, 0, 0));
  EXPECT_EQ(r.pic.pixel(5, kSv + 74), rgb(0, 0, 0));
  EXPECT_EQ(r.pic.pixel(6, kSv + 19), inactiveBorder());  // cursor even while scrolling
}

}  // namespace
}  // namespace qv
