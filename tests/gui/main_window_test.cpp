// The program's own windows built from the designed forms, as an operator
// sees them. With QV_SCREENSHOT_DIR set the grabs are also written there
// (gui-main.png, gui-options0.png, ...) for a look by eye.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <cstdlib>

#include "core/designer.h"
#include "core/program.h"
#include "gui/form_window.h"
#include "gui/main_window.h"
#include "gui/views.h"
#include "platform/qt/qimage_surface.h"
#include "support/program_rig.h"

namespace qv {
namespace {

int distinctColours(const QImage& img) {
  QSet<QRgb> seen;
  for (int y = 0; y < img.height(); y += 2)
    for (int x = 0; x < img.width(); x += 2) seen.insert(img.pixel(x, y));
  return seen.size();
}

void keep(const QImage& img, const char* name) {
  if (const char* dir = std::getenv("QV_SCREENSHOT_DIR")) img.save(QString(dir) + "/" + name);
}

struct ProgramFixture {
  // Every subsystem attached, so menus and panels behave as in the program.
  test::ProgramRig rig;
  Program* program = rig.program.get();
  std::unique_ptr<Views> views = std::make_unique<Views>(*program);
  ~ProgramFixture() { views.reset(); }
};

TEST(MainWindow, ShowsTheDesignedFormWithItsStartButton) {
  ProgramFixture fx;
  Program& p = *fx.program;
  // A spectrogram with something on it, as during a run.
  Control& spec = p.form1()["SpecGram"];
  auto surface = std::make_shared<QImageSurface>(512, 256);
  for (int x = 0; x < 512; ++x)
    for (int y = 0; y < 256; ++y) surface->setPixel(x, y, rgb(x / 2, 255 - y, (x * y) & 255));
  spec.setSurface(surface);
  p.form1().setShown(true);
  MainWindow& win = fx.views->main();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&win));

  EXPECT_EQ(win.windowTitle(), "Quorvel 2.0 Real-Time Spectrograph");
  auto* start = win.findChild<QPushButton*>("StartStop");
  ASSERT_NE(start, nullptr);
  EXPECT_EQ(start->text(), "Start");
  EXPECT_TRUE(start->isVisible());
  auto* combo = win.findChild<QComboBox*>("Combo3");
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->currentText(), "512");
  EXPECT_EQ(combo->toolTip(), "FFTsize");

  QImage shot = win.grab().toImage();
  keep(shot, "gui-main.png");
  EXPECT_GT(shot.width(), 300);
  EXPECT_GT(shot.height(), 200);
  EXPECT_GT(distinctColours(shot), 8) << "the window looks blank";

  // Every top-level control lies inside the window.
  const QRect inside = win.centralWidget()->rect();
  for (auto& c : p.form1().controls()) {
    if (!c->visible() || !c->parent().empty()) continue;
    QWidget* w = win.control(c->name());
    if (!w) continue;
    EXPECT_TRUE(inside.intersects(w->geometry())) << c->name();
  }
}

TEST(MainWindow, PanelsAreSeparateWindowsShownWithTheirForms) {
  ProgramFixture fx;
  Program& p = *fx.program;
  p.form1().setShown(true);
  const struct {
    Form* form;
    const char* title;
    const char* file;
  } panels[] = {{&p.options0(), "Settings", "gui-options0.png"},
                {&p.options1(), "Advanced Settings", "gui-options1.png"},
                {&p.options2(), "Special Settings", "gui-options2.png"}};
  for (auto& pn : panels) {
    FormWindow* w = fx.views->window(pn.form->section());
    ASSERT_NE(w, nullptr) << pn.title;
    EXPECT_FALSE(w->isVisible());
    EXPECT_NE(w, static_cast<FormWindow*>(&fx.views->main()));
    pn.form->setShown(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    EXPECT_EQ(w->windowTitle(), pn.title);
    EXPECT_TRUE(w->isWindow());
    QImage shot = w->grab().toImage();
    keep(shot, pn.file);
    EXPECT_GT(distinctColours(shot), 3) << pn.title;
    w->close();
    EXPECT_FALSE(pn.form->shown());
  }
  EXPECT_TRUE(fx.views->main().isVisible()) << "closing a panel leaves the main window";
}

TEST(MainWindow, ClosingAsksTheGuardThenStopsTheRunAndClosesThePanels) {
  ProgramFixture fx;
  Program& p = *fx.program;
  p.form1().setShown(true);
  p.options1().setShown(true);
  MainWindow& win = fx.views->main();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&win));
  p.vars().StopFlag = false;  // a loop is running

  bool allow = false;
  int asked = 0;
  win.setCloseGuard([&] {
    ++asked;
    return allow;
  });
  win.close();
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(win.isVisible()) << "the operator said no";
  EXPECT_FALSE(p.vars().StopFlag);
  EXPECT_TRUE(p.options1().shown());

  allow = true;
  win.close();
  EXPECT_TRUE(p.vars().StopFlag);
  EXPECT_FALSE(win.isVisible());
  EXPECT_FALSE(p.form1().shown());
  EXPECT_FALSE(p.options1().shown());
  EXPECT_FALSE(fx.views->window("OPTIONS1")->isVisible());
}

}  // namespace
}  // namespace qv

#include "gui/picture_widget.h"
#include "recording/wav_file.h"

namespace qv {
namespace {

TEST(MainWindow, RecordingsDroppedOnTheSpectrogramBecomeThePlayList) {
  ProgramFixture fx;
  QStringList paths;
  for (const char* name : {"a.wav", "b.wav"}) {
    std::string path = fx.rig.home.file(name);
    WavWriter w;
    ASSERT_TRUE(w.create(path, 1, 8000));
    std::vector<int16_t> samples(4000, 100);
    ASSERT_TRUE(w.append(samples.data(), samples.size()));
    ASSERT_TRUE(w.close());
    paths << QString::fromStdString(path);
  }
  auto* spec = fx.views->main().findChild<PictureWidget*>("SpecGram");
  ASSERT_NE(spec, nullptr);
  emit spec->filesDropped(paths);
  EXPECT_EQ(fx.program->vars().PlayListSize, 2);
}

}  // namespace
}  // namespace qv
