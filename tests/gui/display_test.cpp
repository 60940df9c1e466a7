// The main window as the operator reads it: the axes painted around the
// spectrogram of an analysed 5 kHz tone, the readout under the mouse, the
// layout on the screen, and the splash window.
#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <fstream>
#include <regex>

#include "config/startup.h"
#include "core/file_loop_fixture.h"
#include "gui/form_window.h"
#include "gui/main_window.h"
#include "gui/picture_widget.h"
#include "gui/splash_view.h"
#include "gui/views.h"

namespace qv {
namespace {

struct ShownRig : test::FileLoopRig {
  std::unique_ptr<Views> views = std::make_unique<Views>(p());
  ~ShownRig() { views.reset(); }
  MainWindow& win() { return views->main(); }
  QString label(const char* name) { return win().findChild<QLabel*>(name)->text(); }
};

TEST(Display, TheWindowShowsTheAxesAndReadsTheToneUnderTheMouse) {
  ShownRig rig;
  const std::string path = rig.write("tone.wav", test::wavBytes(test::tone(48000 * 8, 5000.0 / 48000, 9000), 1, 48000));
  rig.analyse(path);
  rig.p().form1().setShown(true);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.win()));

  // The window takes the layout's size under its menu bar.
  QWidget* canvas = rig.win().centralWidget();
  EXPECT_EQ(canvas->size(), QSize(rig.p().form1().width(), rig.p().form1().height()));

  // The frequency axis is painted on the window: its bottom tick one row
  // above the image's bottom edge, left of the picture, and text beside it.
  const Geometry g = rig.form1("SpecGram").geometry();
  QImage shot = canvas->grab().toImage();
  const int bottomTick = g.top + 256 - 1;
  EXPECT_EQ(shot.pixel(g.left - 5, bottomTick) & 0xFFFFFF, 0u);
  EXPECT_NE(shot.pixel(g.left - 5, bottomTick - 5) & 0xFFFFFF, 0u);
  int ink = 0;
  for (int y = bottomTick - 7; y < bottomTick + 7; ++y)
    for (int x = g.left - 30; x < g.left - 6; ++x) ink += (shot.pixel(x, y) & 0xFFFFFF) == 0;
  EXPECT_GT(ink, 5) << "the 0 label";

  // The mouse on the tone's row (5 kHz is row 53 of 256 at 93.75 Hz each).
  auto* spec = rig.win().findChild<PictureWidget*>("SpecGram");
  ASSERT_NE(spec, nullptr);
  QTest::mouseMove(spec, QPoint(120, 255 - 53));
  const std::string readout = rig.label("LabelCursors").toStdString();
  std::smatch m;
  ASSERT_TRUE(std::regex_search(readout, m, std::regex("(-?[0-9.]+) Hz"))) << readout;
  EXPECT_NEAR(std::stod(m[1]), 5000, 93.75);

  // A right click writes the line to the cursor log.
  QTest::mouseClick(spec, Qt::RightButton, {}, QPoint(120, 255 - 53));
  std::ifstream log(rig.home.file("cursor.txt"), std::ios::binary);
  std::string first, second;
  std::getline(log, first);
  std::getline(log, second);
  EXPECT_EQ(first, path + "\r");
  EXPECT_EQ(second, readout + "\r");

  // Over the window itself the readout goes.
  QTest::mouseMove(canvas, QPoint(20, g.top + g.height + 20));
  EXPECT_EQ(rig.label("LabelCursors"), "");
}

TEST(Display, TheSplashShowsItsDotsAndAKeyClosesIt) {
  SplashWindow model;
  model.text = aboutText();
  SplashView view(model);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  model.textProgress = "....";
  QTRY_COMPARE(view.findChild<QLineEdit*>("TextProgress")->text(), QString("...."));
  EXPECT_FALSE(model.closed);
  QTest::keyClick(&view, Qt::Key_Space);
  EXPECT_TRUE(model.closed);

  // A click on the about text closes it too.
  SplashWindow again;
  SplashView second(again);
  second.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
  auto* text = second.findChild<QWidget*>("Text");
  ASSERT_NE(text, nullptr);
  QTest::mouseClick(static_cast<QAbstractScrollArea*>(text)->viewport(), Qt::LeftButton);
  EXPECT_TRUE(again.closed);
}

}  // namespace
}  // namespace qv
