// The widgets follow their controls and send the operator's actions back
// through the same setters, so every handler runs once per change.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QThread>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QResizeEvent>
#include <QTest>
#include <QtTest/qtestspontaneevent.h>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "core/form.h"
#include "gui/form_view.h"
#include "gui/form_window.h"
#include "gui/picture_widget.h"
#include "platform/qt/qimage_surface.h"

namespace qv {
namespace {

struct Counted {
  int change = 0, click = 0;
  void attach(Control& c) {
    c.on(Event::Change, [this] { ++change; });
    c.on(Event::Click, [this] { ++click; });
  }
};

// A form on a visible canvas; the view is torn down before the form.
struct Fixture {
  Form form{"TEST", "Test"};
  std::unique_ptr<QWidget> canvas;
  std::unique_ptr<FormView> view;

  void bind() {
    canvas = std::make_unique<QWidget>();
    canvas->resize(640, 480);
    view = std::make_unique<FormView>(form, canvas.get());
    canvas->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(canvas.get()));
  }
  template <class W>
  W* w(const std::string& name) {
    auto* p = qobject_cast<W*>(view->widget(name));
    EXPECT_NE(p, nullptr) << name;
    return p;
  }
  ~Fixture() {
    view.reset();
    canvas.reset();
  }
};

TEST(Binder, ComboChoiceRunsTheHandlersOnceAndTypingGoesThroughSetText) {
  Fixture fx;
  Control& c = fx.form.add("Combo3", Kind::ComboBox);
  c.setItems({"512", "1024", "2048"});
  c.setText("512");
  c.setGeometry({10, 10, 100, 22});
  Counted n;
  n.attach(c);
  fx.bind();
  auto* cb = fx.w<QComboBox>("Combo3");
  ASSERT_TRUE(cb);
  EXPECT_EQ(cb->currentText(), "512");
  EXPECT_EQ(cb->geometry(), QRect(10, 10, 100, 22));

  // Arrow down on the combo is the operator choosing the next entry.
  QTest::keyClick(cb, Qt::Key_Down);
  EXPECT_EQ(c.text(), "1024");
  EXPECT_EQ(c.listIndex(), 1);
  EXPECT_EQ(n.change, 1);
  EXPECT_EQ(n.click, 1);

  // Choosing from the list (activated) with the same text again: a Click only.
  emit cb->activated(1);
  EXPECT_EQ(n.change, 1);
  EXPECT_EQ(n.click, 2);

  // A wheel passing over the box changes nothing until the operator clicks into it.
  {
    QWidget other;
    other.show();
    other.activateWindow();
    other.setFocus();
    cb->clearFocus();
    const QPointF at(cb->width() / 2.0, cb->height() / 2.0);
    QWheelEvent wheel(at, cb->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(cb, &wheel);
    EXPECT_EQ(c.text(), "1024");
    EXPECT_EQ(n.click, 2);
  }

  // Typing: one Change per keystroke, text lands in the model, no Click.
  cb->lineEdit()->selectAll();
  QTest::keyClicks(cb->lineEdit(), "77");
  EXPECT_EQ(c.text(), "77");
  EXPECT_EQ(c.listIndex(), -1);
  EXPECT_EQ(n.change, 3);
  EXPECT_EQ(n.click, 2);
  EXPECT_EQ(cb->count(), 3) << "typing must not add items";

  // Enter after typing an item's text is not a choice from the list.
  cb->lineEdit()->selectAll();
  QTest::keyClicks(cb->lineEdit(), "2048");
  QTest::keyClick(cb->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(c.text(), "2048");
  EXPECT_EQ(c.listIndex(), 2);
  EXPECT_EQ(n.click, 2);
  EXPECT_EQ(cb->count(), 3);
}

TEST(Binder, ModelChangesReachTheWidgetWithoutEchoingBack) {
  Fixture fx;
  Control& combo = fx.form.add("Combo1", Kind::ComboBox);
  combo.setItems({"a", "b"});
  Control& text = fx.form.add("Text1", Kind::TextBox);
  Control& label = fx.form.add("Label1", Kind::Label);
  Counted nc, nt;
  nc.attach(combo);
  nt.attach(text);
  fx.bind();
  auto* cb = fx.w<QComboBox>("Combo1");
  auto* le = fx.w<QLineEdit>("Text1");
  auto* lb = fx.w<QLabel>("Label1");
  ASSERT_TRUE(cb && le && lb);
  QSignalSpy activated(cb, &QComboBox::activated);
  QSignalSpy edited(cb->lineEdit(), &QLineEdit::textEdited);
  QSignalSpy indexChanged(cb, &QComboBox::currentIndexChanged);
  QSignalSpy leChanged(le, &QLineEdit::textChanged);

  combo.setText("b");
  EXPECT_EQ(cb->currentText(), "b");
  EXPECT_EQ(cb->currentIndex(), 1);
  combo.setItems({"x", "b", "y"});
  EXPECT_EQ(cb->count(), 3);
  EXPECT_EQ(cb->itemText(2), "y");
  EXPECT_EQ(cb->currentIndex(), 1);
  combo.setText("free text");
  EXPECT_EQ(cb->currentText(), "free text");
  text.setText("hello");
  EXPECT_EQ(le->text(), "hello");
  label.setCaption("Real-Time display");
  EXPECT_EQ(lb->text(), "Real-Time display");

  // Each model change ran its handler exactly once; nothing came back.
  EXPECT_EQ(nc.change, 2);
  EXPECT_EQ(nc.click, 0);
  EXPECT_EQ(nt.change, 1);
  EXPECT_EQ(activated.count() + edited.count() + indexChanged.count() + leChanged.count(), 0);

  combo.setEnabled(false);
  text.setVisible(false);
  combo.setToolTip("Block Size");
  combo.setGeometry({5, 6, 70, 20});  // any notify refreshes the tooltip too
  EXPECT_FALSE(cb->isEnabled());
  EXPECT_TRUE(le->isHidden());
  EXPECT_EQ(cb->toolTip(), "Block Size");
  EXPECT_EQ(cb->geometry(), QRect(5, 6, 70, 20));
  text.setVisible(true);
  EXPECT_TRUE(le->isVisible());
}

TEST(Binder, TextBoxTypingSetsTheModelOnePerKeystroke) {
  Fixture fx;
  Control& t = fx.form.add("Text4", Kind::TextBox);
  t.setText("00:00");
  Counted n;
  n.attach(t);
  // A handler that rejects letters, as a numeric field would.
  t.on(Event::Change, [&t] {
    std::string s = t.text();
    std::erase_if(s, [](char ch) { return ch >= 'a' && ch <= 'z'; });
    t.setText(s);
  });
  fx.bind();
  auto* le = fx.w<QLineEdit>("Text4");
  ASSERT_TRUE(le);
  le->setFocus();
  le->selectAll();
  QTest::keyClicks(le, "1x2");
  EXPECT_EQ(t.text(), "12");
  EXPECT_EQ(le->text(), "12") << "the widget shows what the handler left";
}

TEST(Binder, OptionButtonsExcludeByModelGroupNotByWidgetParent) {
  Fixture fx;
  Control& a = fx.form.add("OptA", Kind::OptionButton);
  Control& b = fx.form.add("OptB", Kind::OptionButton);
  Control& other = fx.form.add("OptC", Kind::OptionButton);
  a.setGroup("G");
  b.setGroup("G");
  other.setGroup("H");
  a.setCaption("Stereo");
  a.setValue(1);
  other.setValue(1);
  a.setGeometry({10, 10, 120, 20});
  b.setGeometry({10, 40, 120, 20});
  other.setGeometry({10, 70, 120, 20});
  Counted na, nb;
  na.attach(a);
  nb.attach(b);
  fx.bind();
  auto* ra = fx.w<QRadioButton>("OptA");
  auto* rb = fx.w<QRadioButton>("OptB");
  auto* rc = fx.w<QRadioButton>("OptC");
  ASSERT_TRUE(ra && rb && rc);
  EXPECT_EQ(ra->text(), "Stereo");
  EXPECT_TRUE(ra->isChecked());

  QTest::mouseClick(rb, Qt::LeftButton, {}, QPoint(7, rb->height() / 2));  // on the indicator
  EXPECT_EQ(b.value(), 1);
  EXPECT_EQ(a.value(), 0);
  EXPECT_EQ(other.value(), 1) << "another group is untouched";
  EXPECT_TRUE(rb->isChecked());
  EXPECT_FALSE(ra->isChecked());
  EXPECT_TRUE(rc->isChecked());
  EXPECT_EQ(nb.click, 1);
  EXPECT_EQ(na.click, 0);

  // Clicking the selected one keeps it selected and raises nothing new.
  QTest::mouseClick(rb, Qt::LeftButton, {}, QPoint(7, rb->height() / 2));  // on the indicator
  EXPECT_TRUE(rb->isChecked());
  EXPECT_EQ(b.value(), 1);
  EXPECT_EQ(nb.click, 1);

  // From the model (a settings file): the widgets follow.
  a.setValue(1);
  EXPECT_TRUE(ra->isChecked());
  EXPECT_FALSE(rb->isChecked());
}

TEST(Binder, CheckBoxClickTogglesTheModelAndShowsGreyState) {
  Fixture fx;
  Control& c = fx.form.add("PauseButton", Kind::CheckBox);
  c.setCaption("Pause");
  c.setGeometry({10, 10, 100, 20});
  Control& locked = fx.form.add("Locked", Kind::CheckBox);
  locked.setGeometry({10, 40, 100, 20});
  // A handler that refuses the change puts the value back.
  locked.on(Event::Click, [&locked] { locked.setValue(0); });
  Counted n;
  n.attach(c);
  fx.bind();
  auto* cb = fx.w<QCheckBox>("PauseButton");
  auto* lk = fx.w<QCheckBox>("Locked");
  ASSERT_TRUE(cb && lk);
  EXPECT_EQ(cb->text(), "Pause");

  QTest::mouseClick(cb, Qt::LeftButton);
  EXPECT_EQ(c.value(), 1);
  EXPECT_EQ(n.click, 1);
  QTest::mouseClick(cb, Qt::LeftButton);
  EXPECT_EQ(c.value(), 0);
  EXPECT_EQ(n.click, 2);

  c.setValue(2);
  EXPECT_EQ(cb->checkState(), Qt::PartiallyChecked);
  EXPECT_EQ(n.click, 3);
  QTest::mouseClick(cb, Qt::LeftButton);
  EXPECT_EQ(c.value(), 1) << "an operator's click never leaves grey";
  EXPECT_EQ(cb->checkState(), Qt::Checked);

  QTest::mouseClick(lk, Qt::LeftButton);
  EXPECT_EQ(locked.value(), 0);
  EXPECT_EQ(lk->checkState(), Qt::Unchecked);
}

TEST(Binder, UpDownsScrollBarsAndListsGoThroughTheModel) {
  Fixture fx;
  Control& spin = fx.form.add("UpDown2", Kind::UpDown);
  spin.setRange(1, 5);
  spin.setValue(1);
  spin.setGeometry({10, 10, 60, 22});
  Control& arrows = fx.form.add("UpDown1", Kind::UpDown);
  arrows.setRange(-2, 2);
  arrows.setGeometry({80, 10, 17, 30});
  Control& bar = fx.form.add("HScroll1", Kind::HScrollBar);
  bar.setRange(0, 100);
  bar.setGeometry({10, 50, 200, 17});
  Control& list = fx.form.add("List1", Kind::ListBox);
  list.setItems({"one.wav", "two.wav"});
  list.setGeometry({10, 80, 200, 80});
  Counted ns, na, nl;
  ns.attach(spin);
  na.attach(arrows);
  nl.attach(list);
  fx.bind();

  auto* sb = fx.w<QSpinBox>("UpDown2");
  ASSERT_TRUE(sb);
  QTest::keyClick(sb, Qt::Key_Up);
  EXPECT_EQ(spin.value(), 2);
  EXPECT_EQ(ns.change, 1);
  spin.setValue(9);  // clamped by the model
  EXPECT_EQ(sb->value(), 5);

  QWidget* pair = fx.view->widget("UpDown1");
  ASSERT_TRUE(pair);
  auto buttons = pair->findChildren<QToolButton*>();
  ASSERT_EQ(buttons.size(), 2);
  QToolButton* up = buttons[0]->arrowType() == Qt::UpArrow ? buttons[0] : buttons[1];
  QToolButton* down = up == buttons[0] ? buttons[1] : buttons[0];
  QTest::mouseClick(up, Qt::LeftButton);
  QTest::mouseClick(up, Qt::LeftButton);
  EXPECT_EQ(arrows.value(), 2);
  EXPECT_FALSE(up->isEnabled()) << "at the maximum";
  QTest::mouseClick(down, Qt::LeftButton);
  EXPECT_EQ(arrows.value(), 1);
  EXPECT_EQ(na.change, 3);

  auto* scroll = fx.w<QScrollBar>("HScroll1");
  ASSERT_TRUE(scroll);
  scroll->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(bar.value(), scroll->value());
  EXPECT_GT(bar.value(), 0);
  bar.setValue(42);
  EXPECT_EQ(scroll->value(), 42);

  auto* lw = fx.w<QListWidget>("List1");
  ASSERT_TRUE(lw);
  QTest::mouseClick(lw->viewport(), Qt::LeftButton, {}, lw->visualItemRect(lw->item(1)).center());
  EXPECT_EQ(list.listIndex(), 1);
  EXPECT_EQ(list.text(), "two.wav");
  EXPECT_EQ(nl.change, 1);
  EXPECT_EQ(nl.click, 1);
  list.addItem("three.wav");
  EXPECT_EQ(lw->count(), 3);
}

TEST(Binder, ButtonsFramesAndMenus) {
  Form form("MAIN", "Main");
  Control& frame = form.add("Frame1", Kind::Frame);
  frame.setCaption("Quick Settings");
  frame.setGeometry({300, 10, 200, 150});
  // Declared before its frame's children would be, and placed inside it.
  Control& start = form.add("StartStop", Kind::Button);
  start.setCaption("Start");
  start.setParent("Frame1");
  start.setGeometry({10, 30, 80, 26});
  Control& mode = form.add("ModeMenu", Kind::MenuItem);
  mode.setCaption("&Mode");
  Control& rta = form.add("RealTimeAnalysis", Kind::MenuItem);
  rta.setCaption("Real-Time Analysis");
  rta.setParent("ModeMenu");
  Control& hidden = form.add("DebugMenu", Kind::MenuItem);
  hidden.setCaption("Debug");
  hidden.setVisible(false);
  Counted ns, nm;
  ns.attach(start);
  nm.attach(rta);
  Control& label = form.add("Label9", Kind::Label);
  label.setCaption("Disk && &Recording");
  label.setGeometry({10, 200, 150, 20});

  auto win = std::make_unique<FormWindow>(form);
  form.setShown(true);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(win.get()));
  EXPECT_EQ(win->windowTitle(), "Main");
  // A label shows its caption's mnemonic markers the way a label does: not at all.
  auto* shown = qobject_cast<QLabel*>(win->control("Label9"));
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->text(), "Disk & Recording");

  auto* box = qobject_cast<QGroupBox*>(win->control("Frame1"));
  auto* pb = qobject_cast<QPushButton*>(win->control("StartStop"));
  ASSERT_TRUE(box && pb);
  EXPECT_EQ(box->title(), "Quick Settings");
  EXPECT_EQ(pb->parentWidget(), box);
  EXPECT_EQ(pb->geometry(), QRect(10, 30, 80, 26));
  QTest::mouseClick(pb, Qt::LeftButton);
  EXPECT_EQ(ns.click, 1);
  start.setCaption("Stop");
  EXPECT_EQ(pb->text(), "Stop");
  start.setEnabled(false);
  QTest::mouseClick(pb, Qt::LeftButton);
  EXPECT_EQ(ns.click, 1) << "a disabled button does nothing";

  QMenu* menu = win->view().menu("ModeMenu");
  QAction* act = win->view().action("RealTimeAnalysis");
  ASSERT_TRUE(menu && act);
  EXPECT_EQ(menu->title(), "&Mode");
  EXPECT_TRUE(win->menuBar()->actions().contains(menu->menuAction()));
  EXPECT_TRUE(menu->actions().contains(act));
  act->trigger();
  EXPECT_EQ(nm.click, 1);
  EXPECT_FALSE(act->isChecked());
  rta.setValue(1);  // the mode handler ticks its entry
  EXPECT_TRUE(act->isCheckable());
  EXPECT_TRUE(act->isChecked());
  rta.setValue(0);
  EXPECT_FALSE(act->isChecked());
  EXPECT_FALSE(win->view().action("DebugMenu")->isVisible());

  // The window follows the Form (its size is the area under the menu bar),
  // and the operator's close goes back to it.
  form.setSize(700, 500);
  EXPECT_EQ(win->centralWidget()->size(), QSize(700, 500));
  win->close();
  EXPECT_FALSE(form.shown());
  form.setShown(true);
  EXPECT_TRUE(win->isVisible());
  form.setShown(false);
  EXPECT_FALSE(win->isVisible());
  win.reset();
  form.setShown(true);  // the dead window's observer must not fire
}

TEST(Binder, PictureShowsWhatIsDrawnIntoItsSurface) {
  Fixture fx;
  Control& pic = fx.form.add("SpecGram", Kind::Picture);
  pic.setGeometry({0, 0, 64, 32});
  auto surface = std::make_shared<QImageSurface>(64, 32);
  surface->clear();
  pic.setSurface(surface);
  fx.bind();
  auto* pw = fx.w<PictureWidget>("SpecGram");
  ASSERT_TRUE(pw);

  surface->setPixel(5, 7, rgb(255, 0, 0));
  surface->fillBox(20, 10, 29, 19, rgb(0, 0, 255));
  QImage shot = pw->grab().toImage();
  ASSERT_FALSE(shot.isNull());
  EXPECT_EQ(shot.pixel(5, 7) & 0xFFFFFFu, 0xFF0000u);
  EXPECT_EQ(shot.pixel(25, 15) & 0xFFFFFFu, 0x0000FFu);
  EXPECT_EQ(shot.pixel(40, 25) & 0xFFFFFFu, 0xFFFFFFu);

  // Drawing between paints is noticed by the cheap generation check.
  EXPECT_FALSE(pw->refreshIfChanged());
  surface->setPixel(1, 1, rgb(0, 255, 0));
  EXPECT_TRUE(pw->refreshIfChanged());
  EXPECT_EQ(pw->grab().toImage().pixel(1, 1) & 0xFFFFFFu, 0x00FF00u);

  // A new surface on the control replaces the old one in the widget.
  auto other = std::make_shared<QImageSurface>(64, 32);
  other->setBackground(rgb(0, 0, 0));
  other->clear();
  pic.setSurface(other);
  EXPECT_EQ(pw->grab().toImage().pixel(5, 7) & 0xFFFFFFu, 0x000000u);
}

TEST(Binder, UnplacedControlsAreFlowedVisiblyInsideTheirFrames) {
  Fixture fx;
  fx.form.add("Frame1", Kind::Frame).setCaption("Quick Settings");
  for (int i = 1; i <= 6; ++i) {
    Control& c = fx.form.add("Combo" + std::to_string(i), Kind::ComboBox);
    c.setParent("Frame1");
  }
  fx.form.add("Label1", Kind::Label).setCaption("not in the frame");
  fx.bind();
  QWidget* frame = fx.view->widget("Frame1");
  ASSERT_TRUE(frame);
  std::vector<QRect> seen;
  for (int i = 1; i <= 6; ++i) {
    QWidget* w = fx.view->widget("Combo" + std::to_string(i));
    ASSERT_TRUE(w);
    EXPECT_EQ(w->parentWidget(), frame);
    EXPECT_TRUE(frame->rect().contains(w->geometry())) << i;
    for (const QRect& r : seen) EXPECT_FALSE(r.intersects(w->geometry())) << "overlap at " << i;
    seen.push_back(w->geometry());
  }
  QWidget* label = fx.view->widget("Label1");
  EXPECT_FALSE(frame->geometry().intersects(label->geometry()));
}

TEST(Binder, FramesInFramesAndBrokenHoldersStillGiveEveryControlAWidget) {
  Fixture fx;
  // Children declared before their holders, a nested frame, a cycle, a missing holder.
  fx.form.add("Check1", Kind::CheckBox).setParent("Inner");
  fx.form.add("Inner", Kind::Frame).setParent("Outer");
  fx.form.add("Outer", Kind::Frame);
  fx.form.add("A", Kind::Frame).setParent("B");
  fx.form.add("B", Kind::Frame).setParent("A");
  fx.form.add("Lost", Kind::Label).setParent("NoSuchFrame");
  fx.bind();
  EXPECT_EQ(fx.view->widget("Check1")->parentWidget(), fx.view->widget("Inner"));
  EXPECT_EQ(fx.view->widget("Inner")->parentWidget(), fx.view->widget("Outer"));
  EXPECT_EQ(fx.view->widget("Lost")->parentWidget(), fx.canvas.get());
  QWidget* a = fx.view->widget("A");
  QWidget* b = fx.view->widget("B");
  ASSERT_TRUE(a && b);
  EXPECT_TRUE(a->parentWidget() == fx.canvas.get() || b->parentWidget() == fx.canvas.get());
  EXPECT_TRUE(fx.view->widget("Check1")->isVisible());
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(Binder, PictureKeepsUpWithALoopThatPumpsEvents) {
  Fixture fx;
  Control& pic = fx.form.add("SpecGram", Kind::Picture);
  pic.setGeometry({0, 0, 200, 64});
  auto surface = std::make_shared<QImageSurface>(200, 64);
  pic.setSurface(surface);
  fx.bind();
  auto* pw = fx.w<PictureWidget>("SpecGram");
  ASSERT_TRUE(pw);
  QCoreApplication::processEvents();
  const int before = pw->paintCount();

  // Like the live loop: draw a column, let events run, again; the loop never
  // returns to the main event loop.
  QElapsedTimer t;
  t.start();
  int x = 0;
  while (pw->paintCount() < before + 3 && t.elapsed() < 5000) {
    surface->line(x % 200, 0, x % 200, 63, rgb(x & 255, 0, 255));
    ++x;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(2);
  }
  EXPECT_GE(pw->paintCount(), before + 3) << "no repaint while the loop pumped events";
  // The last column drawn is on screen after the next paint.
  QImage shot = pw->grab().toImage();
  const int last = (x - 1) % 200;
  EXPECT_EQ(shot.pixel(last, 30) & 0xFFFFFFu, static_cast<unsigned>(rgb((x - 1) & 255, 0, 255)));
}

TEST(Binder, PictureReportsMouseInSurfacePixels) {
  Fixture fx;
  Control& pic = fx.form.add("SpecGram", Kind::Picture);
  pic.setGeometry({30, 40, 100, 50});
  fx.bind();
  auto* pw = fx.w<PictureWidget>("SpecGram");
  ASSERT_TRUE(pw);
  QSignalSpy pressed(pw, &PictureWidget::mousePressed);
  QTest::mouseClick(pw, Qt::LeftButton, {}, QPoint(12, 34));
  ASSERT_EQ(pressed.count(), 1);
  EXPECT_EQ(pressed[0][0].toInt(), 12);
  EXPECT_EQ(pressed[0][1].toInt(), 34);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// A resize as the window system delivers it for an operator's drag.
void operatorResize(QWidget* w, QSize to) {
  const QSize from = w->size();
  w->resize(to);
  QResizeEvent e(to, from);
  // notify() delivers as is; sendEvent() would clear the flag.
  QSpontaneKeyEvent::setSpontaneous(&e);
  QCoreApplication::instance()->notify(w, &e);
}

TEST(Binder, OperatorResizeGoesToTheFormAndTheLayoutMayAnswer) {
  Form form("MAIN", "Main");
  form.add("Label1", Kind::Label).setCaption("x");
  FormWindow win(form);
  // The layout code snaps the window to its full height of 500.
  form.addObserver([](const Form& f) {
    if (f.width() > 0 && f.height() != 500) const_cast<Form&>(f).setSize(f.width(), 500);
  });
  form.setShown(true);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&win));
  operatorResize(&win, QSize(640, 400));
  EXPECT_EQ(form.width(), 640);
  EXPECT_EQ(form.height(), 500);
  EXPECT_EQ(win.size(), QSize(640, 500)) << "the window takes the size the layout chose";

  // The window system's late report of the older size is not the operator's.
  operatorResize(&win, QSize(640, 400));
  EXPECT_EQ(form.height(), 500);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// The Start button's handler runs the loop inside itself and pumps events;
// the second press, the quick settings and the menu are served nested.
TEST(Binder, WidgetsWorkWhileAHandlerRunsAPumpingLoop) {
  Form form("MAIN", "Main");
  Control& start = form.add("StartStop", Kind::Button);
  start.setCaption("Start");
  start.setGeometry({10, 10, 80, 26});
  Control& combo = form.add("Combo6", Kind::ComboBox);
  combo.setItems({"256", "512"});
  combo.setText("256");
  combo.setGeometry({10, 50, 80, 22});
  Control& menu = form.add("ModeMenu", Kind::MenuItem);
  menu.setCaption("Mode");
  Control& stopItem = form.add("StopPlotAcq", Kind::MenuItem);
  stopItem.setCaption("Stop ");
  stopItem.setParent("ModeMenu");
  FormWindow win(form);
  form.setShown(true);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&win));
  auto* pb = qobject_cast<QPushButton*>(win.control("StartStop"));
  auto* cb = qobject_cast<QComboBox*>(win.control("Combo6"));
  ASSERT_TRUE(pb && cb);

  bool stop = true;
  int starts = 0, passes = 0;
  std::string seenByLoop;
  start.on(Event::Click, [&] {
    if (!stop) {  // a press while running is a stop request
      stop = true;
      start.setCaption("Start");
      return;
    }
    ++starts;
    stop = false;
    start.setCaption("Stop");
    QElapsedTimer t;
    t.start();
    while (!stop && t.elapsed() < 5000) {
      ++passes;
      seenByLoop = combo.text();
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
  });
  stopItem.on(Event::Click, [&] { stop = true; });

  // While running: the operator picks another scan step, then presses Start again.
  QTimer::singleShot(30, [&] { emit cb->activated(1); });
  QTimer::singleShot(80, [&] {
    EXPECT_EQ(pb->text(), "Stop");
    QTest::mouseClick(pb, Qt::LeftButton);
  });
  QTest::mouseClick(pb, Qt::LeftButton);
  EXPECT_TRUE(stop);
  EXPECT_EQ(starts, 1);
  EXPECT_GT(passes, 1);
  EXPECT_EQ(seenByLoop, "512") << "the loop read the setting changed under it";
  EXPECT_EQ(pb->text(), "Start");

  // The menu item stops a run too.
  QTimer::singleShot(30, [&] { win.view().action("StopPlotAcq")->trigger(); });
  QTest::mouseClick(pb, Qt::LeftButton);
  EXPECT_TRUE(stop);
  EXPECT_EQ(starts, 2);
}

}  // namespace
}  // namespace qv
