#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <algorithm>

#include "analysis_fixture.h"
#include "support/memory_surface.h"
#include "platform/qt/qimage_surface.h"
#include "realtime/palette.h"

namespace qv {
namespace {

using testing_support::AnalysisProgram;

uint32_t pack(int r, int g, int b) { return static_cast<uint32_t>(r + 256 * g + 65536 * b); }

TEST(Palette, CheckValuesOfTheScales) {
  ColourPalette p;
  p.BuildPalette(0);
  EXPECT_EQ(p.packed(0), pack(255, 255, 255));
  EXPECT_EQ(p.packed(1), pack(255, 255, 255));
  EXPECT_EQ(p.packed(2), pack(254, 254, 254));
  EXPECT_EQ(p.packed(100), pack(131, 131, 131));
  EXPECT_EQ(p.packed(203), pack(2, 2, 2));
  for (int i = 204; i <= 512; ++i) ASSERT_EQ(p.packed(i), 0u) << i;
  p.BuildPalette(2);
  EXPECT_EQ(p.packed(33), pack(253, 253, 253));
  EXPECT_EQ(p.packed(191), pack(1, 1, 1));
  p.BuildPalette(4);
  EXPECT_EQ(p.packed(65), pack(253, 253, 253));
  EXPECT_EQ(p.packed(191), pack(1, 1, 1));
  p.BuildPalette(6);
  EXPECT_EQ(p.packed(128), pack(126, 0, 3));
  EXPECT_EQ(p.packed(191), pack(63, 0, 192));
  EXPECT_EQ(p.packed(255), pack(0, 0, 0));
  p.BuildPalette(10);
  EXPECT_EQ(p.packed(100), pack(5, 230, 222));
  EXPECT_EQ(p.packed(0), pack(5, 5, 2));
  EXPECT_EQ(p.packed(255), pack(255, 4, 0));
  p.BuildPalette(11);
  EXPECT_EQ(p.packed(150), pack(186, 0, 92));
  p.BuildPalette(1);
  EXPECT_EQ(p.packed(0), 0u);
  EXPECT_EQ(p.packed(204), pack(255, 255, 255));
  // Drawing form and the packed form describe the same colour.
  EXPECT_EQ(p.at(204), rgb(255, 255, 255));
}

TEST(Palette, ReversedRainbowAndEndCopies) {
  ColourPalette a, b;
  a.BuildPalette(8);
  b.BuildPalette(9);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(b.at(i), a.at(255 - i)) << i;
  EXPECT_EQ(a.at(0), rgb(255, 4, 0));

  ColourPalette p;
  p.BuildPalette(13);
  EXPECT_EQ(p.at(-1), rgb(0, 0, 0));
  EXPECT_EQ(p.at(-512), rgb(0, 0, 0));
  EXPECT_EQ(p.at(256), rgb(255, 0, 0));
  EXPECT_EQ(p.at(512), rgb(255, 0, 0));
  // Unknown numbers keep the colours and redo only the end copies.
  p.BuildPalette(19);
  p.BuildPalette(20);
  p.BuildPalette(-4);
  EXPECT_EQ(p.at(255), rgb(255, 0, 0));
  EXPECT_EQ(p.at(100), rgb(100, 0, 0));
  for (int n = 14; n <= 18; ++n) {
    p.BuildPalette(n);
    EXPECT_EQ(p.at(-7), p.at(0));
    EXPECT_EQ(p.at(400), p.at(255));
  }
  p.BuildPalette(17);
  EXPECT_EQ(p.at(9), rgb(0, 0, 9));
}

TEST(Palette, LookupKeepsEveryValueInsideTheTable) {
  ColourPalette p;
  p.BuildPalette(13);
  EXPECT_EQ(p.lookup(10.4f), rgb(10, 0, 0));
  EXPECT_EQ(p.lookup(10.5f), rgb(10, 0, 0));  // ties to even
  EXPECT_EQ(p.lookup(11.5f), rgb(12, 0, 0));
  EXPECT_EQ(p.lookup(1e9f), rgb(255, 0, 0));
  EXPECT_EQ(p.lookup(-1e9f), rgb(0, 0, 0));
  EXPECT_EQ(p.lookup(std::numeric_limits<float>::infinity()), rgb(255, 0, 0));
  EXPECT_EQ(p.lookup(std::numeric_limits<float>::quiet_NaN()), rgb(0, 0, 0));
  EXPECT_EQ(p.at(100000), p.at(512));

  QImageSurface col(4, 3);
  const float values[3] = {-700.0f, 20.2f, 9000.0f};
  paintColumn(p, values, 3, col, 2);
  EXPECT_EQ(col.pixel(2, 2), rgb(0, 0, 0));  // row 0 at the bottom
  EXPECT_EQ(col.pixel(2, 1), rgb(20, 0, 0));
  EXPECT_EQ(col.pixel(2, 0), rgb(255, 0, 0));
}

TEST(Palette, BarAndDbLegend) {
  ColourPalette p;
  p.BuildPalette(15);
  QImageSurface bar(256, 11);
  DrawPaletteBar(p, bar);
  EXPECT_EQ(bar.pixel(0, 0), rgb(0, 0, 0));
  EXPECT_EQ(bar.pixel(200, 10), rgb(0, 200, 0));
  EXPECT_EQ(bar.pixel(255, 5), rgb(0, 255, 0));

  QImageSurface legend(280, 16);
  legend.setBackground(rgb(255, 255, 255));
  legend.clear();
  DrawDbLegend(legend);
  for (int i = 0; i <= 240; i += 24) EXPECT_EQ(legend.pixel(i, 0), rgb(0, 0, 0)) << i;
  EXPECT_EQ(legend.pixel(12, 0), rgb(255, 255, 255));
}

TEST(UpdateForm, ZoomCaptionRangeAndAxisLimits) {
  AnalysisProgram a;
  Form& f = a.f1();
  f["Combo2"].setText("48000");
  f["Combo1"].setText("16384");
  f["Combo3"].setText("512");
  a.engine->UpdateForm();
  EXPECT_EQ(a.vars().ZoomFactor, 1);
  EXPECT_EQ(f["ZoomFlag"].caption(), "Zoom off");
  EXPECT_FALSE(f["ZoomFlag"].enabled());
  EXPECT_FALSE(f["ZoomFlag"].checked());
  EXPECT_FLOAT_EQ(a.vars().AxisMaxFreq, 24000);

  f["Combo3"].setText("4096");
  EXPECT_EQ(a.vars().ZoomFactor, 8);
  EXPECT_EQ(f["ZoomFlag"].caption(), "Zoom 8x at bin");
  EXPECT_TRUE(f["ZoomFlag"].enabled());
  EXPECT_EQ(f["UpDown5"].maximum(), 1792);
  EXPECT_FALSE(f["UpDown5"].enabled());

  f["UpDown5"].setValue(64);
  f["ZoomFlag"].setValue(1);
  EXPECT_EQ(a.vars().ZoomMode, 1);
  EXPECT_EQ(a.vars().ZoomBase, 64);
  EXPECT_EQ(f["ZoomBaseField"].text(), "64");
  EXPECT_FLOAT_EQ(a.vars().AxisMinFreq, 750);
  EXPECT_FLOAT_EQ(a.vars().AxisMaxFreq, 3750);
  EXPECT_TRUE(f["UpDown5"].enabled());

  f["Combo3"].setText("16384");
  EXPECT_EQ(a.vars().ZoomFactor, 32);

  // Back to a size without zoom: the box is cleared and the band is whole.
  f["Combo3"].setText("512");
  EXPECT_EQ(a.vars().ZoomMode, 0);
  EXPECT_EQ(a.vars().ZoomBase, 0);
  EXPECT_FLOAT_EQ(a.vars().AxisMinFreq, 0);
}

TEST(UpdateForm, PaletteLayoutAxesAndBufferMenu) {
  AnalysisProgram a;
  Form& f = a.f1();
  // The axes are drawn on the main window's own surface.
  auto window = std::make_shared<test::MemorySurface>(f.width(), f.height());
  f.setSurface(window);
  auto shown = [&](const std::string& text) {
    return std::count_if(window->texts.begin(), window->texts.end(),
                         [&](const test::MemorySurface::Text& t) { return t.s == text; });
  };
  a.opt1()["Check4"].setValue(1);  // y tics
  a.opt1()["Check3"].setValue(1);  // x tics
  a.opt1()["CheckdB"].setValue(1);
  a.vars().Channels = 1;
  f["Combo8"].setText("13 b-red");
  a.engine->UpdateForm();
  EXPECT_EQ(shown("kHz"), 1);  // one channel: one full-height axis
  EXPECT_EQ(shown(" 24"), 1);
  EXPECT_EQ(shown(" s"), 1);  // the time axis, in seconds for this span
  EXPECT_EQ(shown("L"), 0);
  EXPECT_EQ(f["SpecGram"].geometry().left, 80);
  EXPECT_TRUE(a.opt0()["OptionCS0"].checked());
  EXPECT_EQ(a.engine->display().PaletteNumber, 13);
  auto bar = f["Picture2"].surface();
  ASSERT_TRUE(bar);
  EXPECT_EQ(bar->pixel(200, 5), rgb(200, 0, 0));
  auto legend = f["Picture1"].surface();
  ASSERT_TRUE(legend);
  EXPECT_EQ(legend->pixel(24, 0), rgb(0, 0, 0));
  auto spec = f["SpecGram"].surface();
  ASSERT_TRUE(spec);
  EXPECT_EQ(spec->pixel(5, 256 + 8), inactiveBorder());
  EXPECT_TRUE(f["SpecGram"].enabled());  // RT Cursor ticked by default

  // Two channels shown as stereo: two half-height axes, the traces lettered.
  a.opt0()["NchanCombo"].setText("2 - stereo");
  a.engine->UpdateForm();
  EXPECT_EQ(shown("kHz"), 2);
  EXPECT_EQ(shown("L"), 1);
  EXPECT_EQ(shown("R"), 1);

  // Without y tics the picture moves left and no frequency axis is drawn.
  a.opt1()["Check4"].setValue(0);
  a.engine->UpdateForm();
  EXPECT_EQ(f["SpecGram"].geometry().left, 32);
  EXPECT_EQ(shown("kHz"), 0);

  f["Combo12"].setText("off");
  EXPECT_FALSE(f["BufferMenu"].enabled());
  EXPECT_FALSE(f["QuickSaveBuffer"].visible());
  f["Combo12"].setText("16 Mbytes");
  EXPECT_TRUE(f["BufferMenu"].enabled());
  EXPECT_TRUE(f["BufferSave60"].visible());
}

TEST(UpdateForm, ColourScaleHandlersAndRunningLoop) {
  AnalysisProgram a;
  ASSERT_TRUE(a.f1()["Combo8"].selectItem("10 colour"));
  EXPECT_EQ(a.engine->palette().packed(100), pack(5, 230, 222));
  ASSERT_TRUE(a.opt0()["Combo8"].selectItem("15 green"));
  EXPECT_TRUE(a.engine->Changed);
  EXPECT_EQ(a.engine->palette().at(77), rgb(0, 77, 0));
  auto bar = a.opt0()["Picture2"].surface();
  ASSERT_TRUE(bar);
  EXPECT_EQ(bar->pixel(77, 3), rgb(0, 77, 0));
  // "19" after "13 b-red" keeps the red scale.
  a.f1()["Combo8"].selectItem("13 b-red");
  a.f1()["Combo8"].selectItem("19");
  EXPECT_EQ(a.engine->palette().at(200), rgb(200, 0, 0));

  // While a loop runs the picture is not cleared or laid out.
  auto spec = a.f1()["SpecGram"].surface();
  ASSERT_TRUE(spec);
  spec->setPixel(3, 3, rgb(1, 2, 3));
  a.vars().StopFlag = false;
  a.engine->UpdateForm();
  EXPECT_EQ(spec->pixel(3, 3), rgb(1, 2, 3));
  a.vars().StopFlag = true;
  a.engine->UpdateForm();
  EXPECT_NE(spec->pixel(3, 3), rgb(1, 2, 3));

  // Colour shift in 6 dB steps.
  a.f1()["UpDown1"].setValue(2);
  EXPECT_EQ(a.vars().Darkness, 12);
  EXPECT_EQ(a.f1()["Text1"].text(), "12");
}

}  // namespace
}  // namespace qv
