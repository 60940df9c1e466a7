#include "gui/form_window.h"

#include <QCloseEvent>
#include <QFont>
#include <QMenuBar>
#include <QPointer>
#include <QResizeEvent>

#include "core/form.h"
#include "gui/form_canvas.h"
#include "gui/form_view.h"

namespace qv {

static bool hasMenus(const Form& f) {
  for (auto& c : f.controls())
    if (c->kind() == Kind::MenuItem) return true;
  return false;
}

FormWindow::FormWindow(Form& form, QWidget* parent) : QMainWindow(parent, Qt::Window), form_(form) {
  setObjectName(QString::fromStdString(form.section()));
  canvas_ = new FormCanvas(form, this);
  canvas_->setObjectName("canvas");
  // The windows were designed around a small 8-point dialog font; a larger
  // one would clip captions in their designed boxes.
  QFont small = canvas_->font();
  small.setPointSizeF(8);
  canvas_->setFont(small);
  setCentralWidget(canvas_);
  view_ = std::make_unique<FormView>(form, canvas_, hasMenus(form) ? menuBar() : nullptr);

  fitContent();
  connect(view_.get(), &FormView::contentChanged, this, &FormWindow::fitContent);

  QPointer<FormWindow> self(this);
  form.addObserver([self](const Form&) {
    if (self) self->followForm();
  });
  followForm();
}

FormWindow::~FormWindow() = default;

void FormWindow::fitContent() {
  // Without a designed size the window holds everything placed on it.
  if (form_.width() > 0 && form_.height() > 0) return;
  QSize s = view_->contentSize();
  if (menuWidget()) s.rheight() += menuWidget()->sizeHint().height();
  resize(s.expandedTo(QSize(200, 100)));
}

QWidget* FormWindow::control(const std::string& name) const { return view_->widget(name); }

void FormWindow::followForm() {
  if (following_) return;
  following_ = true;
  const QString title = QString::fromStdString(form_.title());
  if (windowTitle() != title) setWindowTitle(title);
  if (!reporting_) applyFormSize();
  if (form_.shown() != isVisible()) {
    if (!form_.shown()) {
      hide();
    } else if (form_.minimized()) {
      showMinimized();
    } else {
      show();
      raise();
      activateWindow();
    }
  } else if (form_.shown() && form_.minimized() != isMinimized()) {
    if (form_.minimized()) {
      showMinimized();
    } else {
      showNormal();
      raise();
      activateWindow();
    }
  }
  following_ = false;
}

int FormWindow::menuHeight() const {
  if (!menuWidget()) return 0;
  const int h = menuWidget()->isVisible() ? menuWidget()->height() : 0;
  return h > 0 ? h : menuWidget()->sizeHint().height();
}

void FormWindow::applyFormSize() {
  if (form_.placed() && pos() != QPoint(form_.left(), form_.top())) move(form_.left(), form_.top());
  if (form_.windowState() == WindowState::Normal && (isMinimized() || isMaximized()) && isVisible()) showNormal();
  // The Form's size is the area under the menu bar.
  const QSize want(form_.width(), form_.height() + menuHeight());
  if (form_.width() <= 0 || form_.height() <= 0 || size() == want) return;
  // The window system confirms a resize later; until then its reports are
  // echoes of older sizes, not the operator's.
  sinceResize_.start();
  resize(want);
}

void FormWindow::closeEvent(QCloseEvent* e) {
  // Closing a window hides its Form; the program decides what that means.
  following_ = true;
  form_.setShown(false);
  following_ = false;
  e->accept();
}

void FormWindow::resizeEvent(QResizeEvent* e) {
  QMainWindow::resizeEvent(e);
  // Only the operator's resizes go back to the model: the layout code
  // listens there and may answer with a size of its own (the window snaps
  // to its two heights), which the window then takes.
  if (!e->spontaneous() || reporting_ || !isVisible()) return;
  if (sinceResize_.isValid() && sinceResize_.elapsed() < kEchoMs) return;
  reporting_ = true;
  form_.setSize(e->size().width(), e->size().height() - menuHeight());
  reporting_ = false;
  applyFormSize();
}

void FormWindow::changeEvent(QEvent* e) {
  QMainWindow::changeEvent(e);
  // The operator restoring, minimising or maximising the window goes back to the Form.
  if (e->type() != QEvent::WindowStateChange || following_) return;
  const WindowState s = isMinimized() ? WindowState::Minimised
                        : isMaximized() ? WindowState::Maximised
                                        : WindowState::Normal;
  reporting_ = true;
  form_.setWindowState(s);
  reporting_ = false;
}

}  // namespace qv
