// The axes as they land on the main window: which texts at which pixels,
// where the ticks are, and one look at the rendered glyph cells.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "analysis/text_format.h"
#include "platform/qt/qimage_surface.h"
#include "realtime/axes.h"
#include "realtime/palette.h"
#include "support/memory_surface.h"
#include "support/program_rig.h"

namespace qv {
namespace {

using Text = test::MemorySurface::Text;
constexpr Rgb kBlack = rgb(0, 0, 0);

struct Printed {
  int x, y;
  std::string s;
  bool operator==(const Printed&) const = default;
};

std::vector<Printed> printed(const test::MemorySurface& s) {
  std::vector<Printed> out;
  for (const Text& t : s.texts) out.push_back({t.x, t.y, t.s});
  return out;
}

std::ostream& operator<<(std::ostream& o, const Printed& p) { return o << "(" << p.x << "," << p.y << ",\"" << p.s << "\")"; }

// A white picture, so that black pixels are what was drawn.
struct Paper : test::MemorySurface {
  Paper(int w, int h) : MemorySurface(w, h) {
    setBackground(rgb(255, 255, 255));
    clear();
  }
};

// Rows of black tick pixels in the column x.
std::vector<int> tickRows(const Surface& s, int x) {
  std::vector<int> rows;
  for (int y = 0; y < s.height(); ++y)
    if (s.pixel(x, y) == kBlack) rows.push_back(y);
  return rows;
}

TEST(Axes, SingleValuesPrintAsTheLabelsNeedThem) {
  EXPECT_EQ(strSingle(85.33333f), " 85.33333");
  EXPECT_EQ(strSingle(0.043f), " .043");
  EXPECT_EQ(strSingle(-2.5f), "-2.5");
  EXPECT_EQ(strSingle(10000), " 10000");
  EXPECT_EQ(strSingle(12345678), " 1.234568E+07");
}

TEST(Axes, FrequencyAxisOfA24kHzBandLabelsEveryWholeKilohertzTick) {
  Paper s(200, 400);
  // GIVEN the spectrogram's left edge at 80 and its image bottom at 308
  VerticalAxis(s, 80, 308, 0, 24000, 256, 32, "", {});
  // THEN a tick every 32 rows from the bottom row, and the top one
  std::vector<int> expected;
  for (int i = 256; i >= 0; i -= 32) expected.push_back(308 - i - 1);
  EXPECT_EQ(tickRows(s, 75), expected);
  EXPECT_EQ(s.pixel(71, 307), inactiveBorder()) << "ticks run from x - 8 to x - 2";
  // AND labels right-aligned three cells wide ending 6 pixels left of the
  // picture, each 7 pixels above its tick; the unit left of the top label
  std::vector<Printed> want;
  for (int i = 0, k = 0; i <= 256; i += 32, k += 3) {
    std::string n = std::to_string(k);
    want.push_back({50, 308 - i - 8, std::string(3 - n.size(), ' ') + n});
  }
  want.push_back({26, 44, "kHz"});
  EXPECT_EQ(printed(s), want);
  // AND the label area was cleared first
  EXPECT_EQ(s.pixel(5, 100), inactiveBorder());
}

TEST(Axes, FrequencyAxisWithoutWholeTopValueAndInHertz) {
  Paper s(200, 400);
  // 22050 Hz: no tick above 0 falls on a whole kHz; the top value is printed instead.
  VerticalAxis(s, 80, 308, 0, 22050, 256, 32, "", {});
  EXPECT_EQ(printed(s), (std::vector<Printed>{{26, 300, "     0"}, {32, 44, "22.05"}, {10, 44, "kHz"}}));

  // Below 10 kHz the axis is in Hz; a y tic below 4 means 32.
  Paper hz(200, 400);
  VerticalAxis(hz, 80, 308, 0, 5000, 256, 2, "", {});
  ASSERT_EQ(hz.texts.size(), 10u);
  EXPECT_EQ(printed(hz)[1], (Printed{42, 268, " 625"}));
  EXPECT_EQ(printed(hz)[8], (Printed{42, 44, "5000"}));
  EXPECT_EQ(printed(hz)[9], (Printed{18, 44, "Hz"}));

  // A recording played at twice its speed shows its own frequencies: half.
  Paper tape(200, 400);
  VerticalAxis(tape, 80, 308, 0, 24000, 256, 64, "", {2.0f, 1.0f});
  EXPECT_EQ(printed(tape)[1], (Printed{50, 236, "  3"}));
}

TEST(Axes, TimeAxisUnitsAndLabelSpacing) {
  // 500 ms: milliseconds, a label at every 50-pixel tick, centred on it.
  Paper ms(700, 100);
  HorizontalAxis(ms, 80, 10, 0, 500, 500, 50, "", {});
  ASSERT_EQ(ms.texts.size(), 12u);
  EXPECT_EQ(printed(ms)[0], (Printed{76, 20, "0"}));
  EXPECT_EQ(printed(ms)[1], (Printed{122, 20, "50"}));
  EXPECT_EQ(printed(ms)[10], (Printed{568, 20, "500"}));
  EXPECT_EQ(printed(ms)[11], (Printed{592, 20, " ms"}));
  for (int x = 80; x <= 580; x += 50) EXPECT_EQ(tickRows(ms, x), (std::vector<int>{12, 13, 14, 15, 16, 17, 18})) << x;
  EXPECT_TRUE(tickRows(ms, 105).empty());

  // 10000 ms has six characters: the axis counts seconds.
  Paper s(700, 100);
  HorizontalAxis(s, 80, 10, 0, 10000, 500, 50, "", {});
  EXPECT_EQ(printed(s)[1].s, "1");
  EXPECT_EQ(printed(s).back().s, " s");

  // 85.33333 ms over 512 pixels: fractions of a second with their zero.
  Paper frac(700, 100);
  HorizontalAxis(frac, 80, 10, 0, 85.33333f, 512, 64, "", {});
  EXPECT_EQ(printed(frac)[4], (Printed{80 + 256 - 20, 20, "0.043"}));

  // A 20-pixel tic gets a label every second tick, 40 pixels at every one.
  for (auto [tic, labels] : {std::pair{20, 11}, std::pair{40, 11}}) {
    Paper t(700, 100);
    HorizontalAxis(t, 0, 10, 0, 400, 400, static_cast<float>(tic), "", {});
    EXPECT_EQ(static_cast<int>(t.texts.size()), labels + 1) << tic;
    EXPECT_EQ(t.texts[1].x + static_cast<int>(t.texts[1].s.size()) * 4, 40) << tic;
  }

  // The default screen, 7680 ms over 720 pixels with a tick every 64: a
  // label that would touch the one before it is left out, its tick stays.
  Paper crowded(900, 100);
  HorizontalAxis(crowded, 80, 10, 0, 7680, 720, 64, "", {});
  std::vector<std::string> shown;
  for (const Text& t : crowded.texts) shown.push_back(t.s);
  EXPECT_EQ(shown, (std::vector<std::string>{"0", "682.667", "2048", "2730.667", "4096", "4778.667", "6144",
                                             "6826.667", " ms"}));
  EXPECT_EQ(tickRows(crowded, 80 + 128).size(), 7u);

  // A spacing that rounds to 0 draws nothing at all.
  Paper none(700, 100);
  HorizontalAxis(none, 80, 10, 0, 500, 500, 0.4f, "", {});
  VerticalAxis(none, 80, 90, 0, 24000, 64, 0.4f, "", {});  // below 4: 32
  EXPECT_EQ(none.texts.front().s, "  0");
  EXPECT_TRUE(tickRows(none, 300).empty());
}

TEST(Axes, VoltageAxesBesideTheWaveformTraces) {
  test::ProgramRig rig;
  Program& p = rig.p();
  auto window = std::make_shared<test::MemorySurface>(p.form1().width(), p.form1().height());
  p.form1().setSurface(window);
  rig.options1("CheckVIN").setValue(1);
  rig.options1("txtMaxVIN").setText("1000");
  p.vars().DigitalGain = 2;
  p.vars().Channels = 1;
  SetMVAxis(p);
  const Geometry& g = rig.form1("SpecGram").geometry();
  const int y0 = g.top + p.vars().specVsize + 17;
  EXPECT_EQ(printed(*window), (std::vector<Printed>{{g.left - 46, y0 + 33, "    0"},
                                                    {g.left - 46, y0 + 17, "  250"},
                                                    {g.left - 46, y0 + 1, "  500"},
                                                    {g.left - 78, y0 + 1, "  mV"}}));

  // Two channels: one small axis per trace, each with its channel in the unit.
  window->texts.clear();
  p.vars().Channels = 2;
  rig.form1("Text2").setText("4");  // the gain box redraws the axes
  std::vector<std::string> units;
  for (const Text& t : window->texts)
    if (t.s.find("mV") != std::string::npos) units.push_back(t.s);
  EXPECT_EQ(units, (std::vector<std::string>{" L mV", " R mV"}));
  EXPECT_EQ(window->texts[1].s, "  250");  // 1000 mV / 4, full scale 16 pixels up

  // Unticked, nothing is drawn.
  window->texts.clear();
  rig.options1("CheckVIN").setValue(0);
  SetMVAxis(p);
  EXPECT_TRUE(window->texts.empty());
}

TEST(Axes, LabelsAreDrawnInEightPixelCellsWithoutBlendedPixels) {
  QImageSurface s(64, 20);
  s.clear();
  s.text(4, 2, "8 8", kBlack);
  int black = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 64; ++x) {
      const Rgb c = s.pixel(x, y);
      ASSERT_TRUE(c == kBlack || c == rgb(255, 255, 255)) << x << "," << y;
      if (c == kBlack) {
        ++black;
        EXPECT_GE(x, 4);
        EXPECT_LT(x, 4 + 3 * 8);
        // The third character repeats the first one two cells (16 pixels) on.
        if (x < 12) {
          EXPECT_EQ(s.pixel(x + 16, y), kBlack) << x << "," << y;
        }
        EXPECT_FALSE(x >= 12 && x < 20) << "the blank cell stays empty";
      }
    }
  EXPECT_GT(black, 10);
}

}  // namespace
}  // namespace qv
