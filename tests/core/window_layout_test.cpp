// The main window laid out for its screen, as the assembled program does it
// at start-up and when the operator changes the window settings.
#include <gtest/gtest.h>

#include "analysis/engine.h"
#include "config/command_line.h"
#include "config/startup.h"
#include "realtime/palette.h"
#include "support/program_rig.h"

#include <algorithm>

namespace qv {
namespace {

struct LayoutRig : test::ProgramRig {
  explicit LayoutRig(int screenWidth = 1024, int screenHeight = 768) {
    screen.setSize(screenWidth, screenHeight);
    startUp(p(), CommandLine{}, *subsystems->hooks, StartupOptions{false});
  }
  Form& f() { return p().form1(); }
  const Geometry& g(const std::string& name) { return form1(name).geometry(); }
  int bottom(const std::string& name) { return g(name).top + g(name).height; }
  int right(const std::string& name) { return g(name).left + g(name).width; }
  // Every shown control lies inside the window.
  void expectAllInside() {
    for (auto& c : f().controls()) {
      if (c->kind() == Kind::MenuItem || !c->visible() || !c->parent().empty()) continue;
      const Geometry& r = c->geometry();
      if (r.width <= 0) continue;
      EXPECT_LE(r.left + r.width, f().width()) << c->name();
      EXPECT_LE(r.top + r.height, f().height()) << c->name();
    }
  }
};

TEST(WindowLayout, TheChosenWidthIsCappedAtTheScreenAndCentred) {
  // GIVEN "Window width" 1280 in the saved settings and a 1024-pixel screen
  LayoutRig small;
  small.options1("Combo2").setText("1280");
  // THEN the choice becomes the screen's width and the window fills it
  EXPECT_EQ(small.options1("Combo2").text(), "1024");
  EXPECT_EQ(small.f().width(), 1024);
  EXPECT_EQ(small.f().left(), 0);
  EXPECT_EQ(small.p().vars().ScreenXsize, 1024);

  // GIVEN a 1920 x 1080 screen
  LayoutRig wide(1920, 1080);
  wide.options1("Combo2").setText("1280");
  EXPECT_EQ(wide.options1("Combo2").text(), "1280");
  EXPECT_EQ(wide.f().width(), 1280);
  EXPECT_EQ(wide.f().left(), 320);
  // The quick panel and its status column keep to the right edge; the
  // spectrogram takes the room up to them and "x size" shows its width.
  EXPECT_EQ(wide.right("Frame1"), 1280 - 16);
  EXPECT_EQ(wide.g("SpecGram").left, 80);
  EXPECT_EQ(wide.right("SpecGram"), wide.g("Frame1").left - 16);
  EXPECT_EQ(wide.options1("Textxsize").text(), std::to_string(wide.g("SpecGram").width));
  EXPECT_EQ(wide.g("Command23").left, wide.g("Frame1").left);
  EXPECT_EQ(wide.bottom("Command23"), wide.bottom("SpecGram"));
  EXPECT_GT(wide.g("Label3").left, wide.right("SpecGram"));
  auto picture = wide.form1("SpecGram").surface();
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width(), wide.g("SpecGram").width);
  wide.expectAllInside();

  // A screen narrower than the design says so and keeps the 800-pixel window.
  LayoutRig tiny(640, 480);
  const auto& said = tiny.dialogs.texts();
  EXPECT_NE(std::find(said.begin(), said.end(), "Screen resolution not supported"), said.end());
  EXPECT_EQ(tiny.f().width(), 800);
}

TEST(WindowLayout, ATallerSpectrogramMakesATallerWindowThatStillShowsEveryPanel) {
  LayoutRig rig(1280, 1024);
  const int heightBefore = rig.f().height();
  rig.options1("Combo4").setText("512");
  EXPECT_EQ(rig.p().vars().specVsize, 512);
  EXPECT_EQ(rig.form1("Combo7").text(), "512");
  EXPECT_EQ(rig.g("SpecGram").height, 512 + 96);
  EXPECT_EQ(rig.f().height(), heightBefore + 256);
  EXPECT_EQ(rig.f().height(), rig.p().vars().FormHeightMax);
  EXPECT_EQ(rig.g("Frame2").top, rig.bottom("SpecGram") + 32);
  EXPECT_EQ(rig.g("Frame3").top, rig.g("Frame2").top);
  EXPECT_EQ(rig.g("LabelCursors").top, rig.bottom("Frame2") + 4);
  rig.expectAllInside();
  EXPECT_LT(rig.f().height(), 1024 - 60) << "room for the title bar on a 1024-pixel screen";
  // The picture holds the taller image with its strips.
  EXPECT_GE(rig.form1("SpecGram").surface()->height(), 512 + 97);

  // A height out of range is not taken, and the status line says so.
  rig.options1("Combo4").setText("99999");
  EXPECT_EQ(rig.p().vars().specVsize, 512);
  EXPECT_EQ(rig.p().status(), "Spec height \"99999\" is not 16 to 2048 pixels; it stays 512");
  rig.options1("Combo4").setText("256");
  EXPECT_EQ(rig.g("SpecGram").height, 256 + 96);

  // A 1050-pixel-high screen gets a little more room below the panels.
  LayoutRig tall(1680, 1050);
  LayoutRig normal(1680, 1000);
  EXPECT_EQ(tall.p().vars().FormHeightMax, normal.p().vars().FormHeightMax + 48);
  EXPECT_EQ(tall.p().vars().FormHeightMin, normal.p().vars().FormHeightMin + 16);
}

TEST(WindowLayout, ResizingSnapsToTheFullOrTheReducedHeight) {
  LayoutRig rig;
  const PublicVars& v = rig.p().vars();
  const int w = rig.f().width();
  ASSERT_LT(v.FormHeightMin, v.FormHeightMax);
  // Dragged between the two heights: back to the full height.
  rig.f().setSize(w, v.FormHeightMax - 40);
  EXPECT_EQ(rig.f().height(), v.FormHeightMax);
  EXPECT_TRUE(rig.form1("Command23").visible());
  // Below the reduced height: up to it; the second Start button hides.
  rig.f().setSize(w, v.FormHeightMin - 30);
  EXPECT_EQ(rig.f().height(), v.FormHeightMin);
  EXPECT_FALSE(rig.form1("Command23").visible());
  EXPECT_FALSE(rig.form1("Label27").visible());
  EXPECT_EQ(rig.g("Frame2").top + 48, v.FormHeightMin) << "the Start row of the lower panel still shows";
  rig.f().setSize(w, v.FormHeightMax);
  EXPECT_TRUE(rig.form1("Command23").visible());
  // Too narrow for the lower panels: widened to hold them.
  rig.f().setSize(600, v.FormHeightMax);
  EXPECT_EQ(rig.f().width(), rig.right("Frame3") + 24);
  // A minimised window is left alone.
  rig.f().setWindowState(WindowState::Minimised);
  rig.f().setSize(100, 50);
  EXPECT_EQ(rig.f().height(), 50);
}

TEST(WindowLayout, XSizeSetsTheSpectrogramWidthInWholeTicIntervals) {
  LayoutRig rig(1280, 1024);
  rig.options1("Text15").setText("75");
  rig.options1("Textxsize").setText("500");
  EXPECT_EQ(rig.g("SpecGram").width, 525);
  rig.options1("Textxsize").setText("100");  // raised to 128 first
  EXPECT_EQ(rig.g("SpecGram").width, 150);
  // An x tic interval of 0 leaves the width as it is.
  rig.options1("Text15").setText("0");
  rig.options1("Textxsize").setText("400");
  EXPECT_EQ(rig.g("SpecGram").width, 150);
  // The time axis ends where the picture ends, and the choice survives
  // laying the window out again, shown back in "x size".
  rig.options1("Text15").setText("64");
  rig.options1("Textxsize").setText("640");
  EXPECT_EQ(rig.g("SpecGram").width, 640);
  rig.f().setSize(rig.f().width() + 100, rig.f().height());
  EXPECT_EQ(rig.g("SpecGram").width, 640);
  EXPECT_EQ(rig.options1("Textxsize").text(), "640");
  // Never under the quick panel: a small window caps it.
  rig.options1("Textxsize").setText("5000");
  EXPECT_EQ(rig.right("SpecGram"), rig.g("Frame1").left - 16);
}

// A picture worth keeping: a few coloured pixels in the image.
void paint(Surface& s) {
  for (int x = 0; x < 40; ++x) s.setPixel(x, 100, rgb(200, 10, 10));
}
bool painted(const Surface& s) { return s.pixel(5, 100) == rgb(200, 10, 10) && s.pixel(39, 100) == rgb(200, 10, 10); }

TEST(SpecGramCopy, ThePictureSurvivesDialogsAndUnchangedPanels) {
  LayoutRig rig;
  auto picture = rig.form1("SpecGram").surface();
  ASSERT_TRUE(picture);
  paint(*picture);

  // A file dialog opened and cancelled.
  rig.dialogs.openAnswers.push_back({});
  rig.form1("OpenFilewav").click();
  EXPECT_TRUE(painted(*picture));

  // Settings > Basic Settings, then Apply with nothing changed: the panel's
  // layout clears the idle picture, and the kept copy comes back.
  rig.form1("BasicSettings").click();
  EXPECT_TRUE(rig.p().options0().shown());
  rig.options0("ok").click();
  EXPECT_TRUE(painted(*picture));

  // The same panel left with Exit.
  rig.form1("BasicSettings").click();
  rig.options0("Command13").click();
  EXPECT_FALSE(rig.p().options0().shown());
  EXPECT_TRUE(painted(*picture));

  // Advanced Settings left with Exit.
  rig.form1("AdvancedSettings").click();
  rig.options1("Command4").click();
  EXPECT_TRUE(painted(*picture));

  // A preset dialog, cancelled.
  rig.dialogs.openAnswers.push_back({});
  rig.form1("PresetLoad").click();
  EXPECT_TRUE(painted(*picture));

  // Changed settings redraw from scratch instead.
  rig.form1("BasicSettings").click();
  rig.options0("Combo3").selectItem("1024");
  rig.options0("ok").click();
  EXPECT_FALSE(painted(*picture));
  EXPECT_FALSE(rig.subsystems->analysis->specGramKept());

  // A taller image laid out while the panel is open is not overwritten
  // with the old picture.
  paint(*picture);
  rig.form1("AdvancedSettings").click();
  rig.options1("Combo4").setText("512");
  rig.options1("ok").click();
  EXPECT_FALSE(painted(*rig.form1("SpecGram").surface()));
  EXPECT_EQ(rig.form1("SpecGram").surface()->pixel(5, 512 + 8), inactiveBorder());
}

}  // namespace
}  // namespace qv
