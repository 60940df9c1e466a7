#include "gui/form_canvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QTimer>

#include "core/form.h"
#include "platform/qt/qimage_surface.h"
#include "platform/surface.h"

namespace qv {

FormCanvas::FormCanvas(Form& form, QWidget* parent) : QWidget(parent), form_(form) {
  setMouseTracking(true);
  auto* timer = new QTimer(this);
  timer->setInterval(33);
  connect(timer, &QTimer::timeout, this, &FormCanvas::refreshIfChanged);
  timer->start();
}

void FormCanvas::refreshIfChanged() {
  auto s = form_.surface();
  if (s.get() == shownSurface_ && (!s || s->generation() == shownGeneration_)) return;
  if (isVisible()) update();
}

void FormCanvas::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  const QRect r = e->rect();
  p.fillRect(r, palette().color(QPalette::Window));
  auto s = form_.surface();
  shownSurface_ = s.get();
  if (!s) return;
  shownGeneration_ = s->generation();
  if (auto* q = dynamic_cast<QImageSurface*>(s.get())) {
    p.drawImage(r.topLeft(), q->image(), r);
    return;
  }
  // Surfaces that are not images (test doubles) are converted when shown.
  converted_ = QImage(s->width(), s->height(), QImage::Format_RGB32);
  for (int y = 0; y < s->height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(converted_.scanLine(y));
    for (int x = 0; x < s->width(); ++x) line[x] = 0xFF000000u | s->pixel(x, y);
  }
  p.drawImage(r.topLeft(), converted_, r);
}

void FormCanvas::mouseMoveEvent(QMouseEvent* e) {
  const QPoint at = e->position().toPoint();
  form_.mouseMove(at.x(), at.y());
}

}  // namespace qv
