// What the operator reads off an analysed recording with a 5 kHz tone:
// the cursor readout and its log, the "Spec" window, the offset label.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "analysis/engine.h"
#include "file_loop_fixture.h"
#include "realtime/cursor_readout.h"

namespace qv {
namespace {

using test::FileLoopRig;

// 48000 Hz, FFT 512: 93.75 Hz per row, so 5 kHz lies in row 53 (y = 202).
constexpr double kToneHz = 5000;
constexpr double kRowHz = 48000.0 / 512;
constexpr int kToneY = 255 - 53;

struct ToneRig : FileLoopRig {
  std::string path;
  explicit ToneRig(double amplitude = 12000) {
    path = write("tone.wav", test::wavBytes(test::tone(48000 * 8, kToneHz / 48000, amplitude), 1, 48000));
  }
  AnalysisEngine& engine() { return *subsystems->analysis; }
  std::string readout() { return form1("LabelCursors").caption(); }
  void move(int x, int y, int buttons = 0) { form1("SpecGram").mouse(MouseAction::Move, {x, y, buttons}); }
  void press(int x, int y, int button) { form1("SpecGram").mouse(MouseAction::Down, {x, y, button}); }
};

double number(const std::string& text, const std::string& before) {
  std::smatch m;
  const std::regex re("(-?[0-9.]+) " + before);
  if (!std::regex_search(text, m, re)) return -1e9;
  return std::stod(m[1]);
}

std::vector<std::string> lines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  std::vector<std::string> out;
  std::string all = ss.str();
  for (size_t at = 0, crlf; (crlf = all.find("\r\n", at)) != std::string::npos; at = crlf + 2)
    out.push_back(all.substr(at, crlf - at));
  return out;
}

TEST(CursorReadout, TheToneReadsAtItsFrequencyWithTimeLevelAndFilePosition) {
  ToneRig rig;
  rig.analyse(rig.path);
  // WHEN the mouse rests on the tone's row at column 100
  rig.move(100, kToneY);
  const std::string r = rig.readout();
  // THEN the frequency is within one row of 5 kHz, the time is 100 columns of
  // 512 samples, and the position in the file follows
  EXPECT_NEAR(number(r, "Hz"), kToneHz, kRowHz) << r;
  EXPECT_EQ(r.rfind("[pix 100 53 ", 0), 0u) << r;
  EXPECT_NE(r.find("]   1066.667 ms "), std::string::npos) << r;
  EXPECT_NE(r.find(" dBr   F 00:00:01.067"), std::string::npos) << r;
  // AND the level is the tone's, far above the rows beside it
  const double tone = number(r, "dBr");
  rig.move(100, kToneY - 60);
  EXPECT_GT(tone, number(rig.readout(), "dBr") + 20) << r << " / " << rig.readout();

  // Below the image there is no frequency.
  rig.move(100, 256 + 40);
  EXPECT_EQ(number(rig.readout(), "Hz"), 0);

  // A left press sets the reference; moving with the button held reads the differences.
  rig.press(100, kToneY, kLeftButton);
  EXPECT_NE(rig.readout().find("  <move to read delta values>"), std::string::npos);
  rig.move(164, kToneY - 64, kLeftButton);
  const std::string d = rig.readout();
  EXPECT_NE(d.find("  [Ref 1066.667 4968.75 ][Delta  682.6667  6000 ]"), std::string::npos) << d;

  // Moving over the main window itself empties the readout.
  rig.p().form1().mouseMove(400, 10);
  EXPECT_EQ(rig.readout(), "");

  // Without "RT Cursor" the picture takes no mouse input.
  rig.options1("RTCursorFlag").setValue(0);
  rig.engine().UpdateForm();
  rig.move(100, kToneY);
  EXPECT_EQ(rig.readout(), "");
}

TEST(CursorReadout, RightClicksAppendToTheCursorLogNamingTheFileOnce) {
  ToneRig rig;
  rig.options1("DefLogPath").setText(rig.home.path() + "logs");  // no trailing "/"
  std::filesystem::create_directories(rig.home.path() + "logs");
  rig.options1("CursorLogFileField").setText("whales");
  rig.analyse(rig.path);
  rig.press(100, kToneY, kRightButton);
  const std::string first = rig.readout();
  rig.press(120, kToneY, kRightButton);
  const std::string second = rig.readout();
  EXPECT_EQ(lines(rig.home.path() + "logs/whales.txt"), (std::vector<std::string>{rig.path, first, second}));

  // A log that cannot be written is skipped without a word; the readout still shows.
  rig.options1("DefLogPath").setText(rig.home.path() + "missing/folder");
  rig.press(130, kToneY, kRightButton);
  EXPECT_NE(rig.readout().find("[pix 130 "), std::string::npos);
  EXPECT_TRUE(rig.dialogs.shown.empty());
}

TEST(CursorReadout, TheTopColourOfAScaleReadsAsLevel256) {
  ToneRig rig;
  rig.analyse(rig.path);
  auto pic = rig.form1("SpecGram").surface();
  ASSERT_TRUE(pic);
  pic->setPixel(10, 10, rig.engine().palette().at(255));
  rig.move(10, 10);
  EXPECT_NE(rig.readout().find("[pix 10 245 256]"), std::string::npos) << rig.readout();
  EXPECT_NE(rig.readout().find(" 128 dBr"), std::string::npos) << rig.readout();
}

TEST(CursorReadout, TwoChannelsReadTheirOwnHalves) {
  test::ProgramRig rig;
  startUp(rig.p(), CommandLine{}, *rig.subsystems->hooks, StartupOptions{false});
  rig.p().vars().Channels = 2;
  rig.p().vars().ChanMode = "S";
  auto at = [&](int y) {
    rig.subsystems->cursor->MouseCursor(5, y, 0, 0);
    return rig.form1("LabelCursors").caption();
  };
  // Left channel in the upper half, low frequencies at the bottom of each half.
  auto ends = [](const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
  };
  EXPECT_NE(at(10).find(" 21937.5 Hz "), std::string::npos) << at(10);
  EXPECT_TRUE(ends(at(10), " dBr (L)")) << at(10);
  EXPECT_NE(at(200).find(" 10312.5 Hz "), std::string::npos) << at(200);
  EXPECT_TRUE(ends(at(200), " dBr (R)")) << at(200);
  // Analysing a file shows one channel whatever the input has.
  rig.p().vars().Task = 4;
  EXPECT_NE(at(200).find(" 5156.25 Hz "), std::string::npos) << at(200);
  EXPECT_NE(at(200).find(" dBr S  F "), std::string::npos) << at(200);
}

// The topmost pixel of a colour in the spectrum window's graph: (x, y).
std::pair<int, int> peakOf(const Surface& graph, Rgb colour, int* count = nullptr) {
  std::pair<int, int> peak{-1, 1 << 20};
  int n = 0;
  for (int x = 2; x < graph.width(); ++x)
    for (int y = 0; y < graph.height(); ++y)
      if (graph.pixel(x, y) == colour) {
        ++n;
        if (y < peak.second) peak = {x, y};
      }
  if (count) *count = n;
  return peak;
}

// The spectrum window's graph of the same tone, quiet enough for its peak to stay in the picture.
TEST(SpecWindow, ShowsTheToneWithItsHeldMaximumAndResetClearsIt) {
  ToneRig rig(100);
  rig.options2("SpecFormCheck").setValue(1);
  rig.analyse(rig.path);
  Form& spec = rig.p().forms().specForm();
  EXPECT_TRUE(spec.shown());
  auto graph = spec["Picture1"].surface();
  ASSERT_TRUE(graph);
  // The spectrum (black) peaks at the tone, inside the picture; the maximum
  // (red) and the average (cyan) are drawn with it.
  int red = 0, cyan = 0;
  auto [x, y] = peakOf(*graph, rgb(0, 0, 0));
  EXPECT_NEAR(x, kToneHz / kRowHz, 1.0);
  EXPECT_GT(y, 0);
  EXPECT_LT(y, 100);
  EXPECT_NEAR(peakOf(*graph, rgb(255, 0, 0), &red).first, kToneHz / kRowHz, 1.0);
  peakOf(*graph, rgb(0, 255, 255), &cyan);
  EXPECT_GT(red, 100);
  EXPECT_GT(cyan, 20);

  // "Reset All" leaves an empty graph and forgets the maximum.
  spec["Command1"].click();
  for (int gx = 0; gx < graph->width(); gx += 3)
    for (int gy = 0; gy < graph->height(); gy += 3)
      ASSERT_EQ(graph->pixel(gx, gy), graph->background()) << gx << "," << gy;
  EXPECT_EQ(rig.engine().specWindow().plotMax()[53], 0.0f);
  EXPECT_EQ(rig.engine().specWindow().PlotCount, 0);

  // "3 - Hold Max": the held spectrum is its own maximum, outlined in red at the tone.
  rig.options1("AvgCombo").setText("3 - Hold Max");
  rig.p().vars().LastFilePos = 0;
  rig.analyse(rig.path);
  EXPECT_NEAR(peakOf(*graph, rgb(255, 0, 0), &red).first, kToneHz / kRowHz, 1.0);
  EXPECT_GT(red, 200);
}

TEST(SpecWindow, OneSpectrumAfterAResetIsItsOwnMaximumAndAWeightedAverage) {
  test::ProgramRig rig;
  SpecWindow& w = rig.subsystems->analysis->specWindow();
  rig.p().forms().specForm()["Text1"].setText("0.25");
  w.PlotSpec(nullptr, 0);
  std::vector<float> s(64);
  for (int i = 0; i < 64; ++i) s[i] = static_cast<float>(i % 16) * 4 - 8;
  w.PlotSpec(s.data(), 64);
  EXPECT_FLOAT_EQ(w.AvgCoeff, 0.25f);
  auto graph = rig.p().forms().specForm()["Picture1"].surface();
  for (int i = 2; i < 64; ++i) {
    EXPECT_FLOAT_EQ(w.plotAvg()[i - 1], s[i] * 0.25f) << i;
    EXPECT_FLOAT_EQ(w.plotMax()[i - 1], std::max(s[i], 0.0f)) << i;
    const int top = 128 - static_cast<int>(s[i]);
    // Above the baseline the maximum's red outline lies on the spectrum;
    // below it the black spectrum shows; the white area fills up to the top.
    const Rgb atTop = graph->pixel(i, top);
    EXPECT_EQ(atTop, s[i] > 0 ? rgb(255, 0, 0) : s[i] < 0 ? rgb(0, 0, 0) : atTop) << i;
    // (The steep drop to the next point runs down this column too.)
    const Rgb middle = graph->pixel(i, 128 - static_cast<int>(s[i]) / 2);
    EXPECT_EQ(middle, s[i] >= 16 && i % 16 != 15 ? rgb(255, 255, 255) : middle) << i;
  }
  // Point 0 and 1 are no points of their own; nothing is drawn past the last point.
  for (int y = 0; y < graph->height(); ++y) {
    EXPECT_EQ(graph->pixel(0, y), graph->background()) << y;
    EXPECT_EQ(graph->pixel(64, y), graph->background()) << y;
  }
}

TEST(OffsetLabel, EveryLoopThatRemovesTheOffsetShowsTheBlockMean) {
  ToneRig rig;
  // A recording sitting 300 above zero, longer than a screen.
  std::vector<int16_t> raised = test::tone(48000 * 10, kToneHz / 48000, 1000);
  for (int16_t& v : raised) v = static_cast<int16_t>(v + 300);
  const std::string path = rig.write("raised.wav", test::wavBytes(raised, 1, 48000));
  rig.form1("Check1").setValue(1);  // "Remove Offset"
  rig.analyse(path);
  EXPECT_NEAR(std::stod(rig.form1("Label7").caption()), 300, 3) << rig.form1("Label7").caption();
  EXPECT_EQ(rig.form1("Label7").caption()[0], ' ');

  // The live loop too, block by block.
  test::ProgramRig live;
  startUp(live.p(), CommandLine{}, *live.subsystems->hooks, StartupOptions{false});
  live.form1("Check1").setValue(1);
  live.pump.every([&] {
    if (live.pump.passes < 6) live.audioIn.completeNextWith(-1234);
    if (live.pump.passes == 6) live.form1("StartStop").click();
  });
  live.form1("StartStop").click();
  EXPECT_EQ(live.form1("Label7").caption(), "-1234");
}

}  // namespace
}  // namespace qv
