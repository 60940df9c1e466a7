#include "gui/picture_widget.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QUrl>

#include "platform/qt/qimage_surface.h"
#include "platform/surface.h"

namespace qv {

PictureWidget::PictureWidget(QWidget* parent) : QWidget(parent) {
  // Every pixel is painted by us: no background erase, no flicker.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setAcceptDrops(true);
}

void PictureWidget::mouseMoveEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  emit mouseMoved(p.x(), p.y(), e->buttons());
}

void PictureWidget::mousePressEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  emit mousePressed(p.x(), p.y(), e->button());
}

void PictureWidget::mouseReleaseEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  emit mouseReleased(p.x(), p.y(), e->button());
}

void PictureWidget::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void PictureWidget::dropEvent(QDropEvent* e) {
  QStringList paths;
  for (const QUrl& u : e->mimeData()->urls())
    if (u.isLocalFile()) paths << u.toLocalFile();
  if (paths.isEmpty()) return;
  e->acceptProposedAction();
  emit filesDropped(paths);
}

void PictureWidget::setSurface(std::shared_ptr<Surface> s) {
  if (s == surface_) return;
  surface_ = std::move(s);
  shownGeneration_ = ~uint64_t(0);
  convertedGeneration_ = ~uint64_t(0);
  converted_ = QImage();
  update();
}

bool PictureWidget::refreshIfChanged() {
  if (!surface_ || surface_->generation() == shownGeneration_) return false;
  if (isVisible()) update();
  return true;
}

QSize PictureWidget::sizeHint() const {
  if (surface_) return {surface_->width(), surface_->height()};
  return {320, 160};
}

void PictureWidget::paintEvent(QPaintEvent* e) {
  ++paints_;
  QPainter p(this);
  const QImage* img = nullptr;
  if (surface_) {
    if (auto* q = dynamic_cast<QImageSurface*>(surface_.get())) {
      img = &q->image();
    } else {
      if (convertedGeneration_ != surface_->generation() || converted_.width() != surface_->width() ||
          converted_.height() != surface_->height()) {
        converted_ = QImage(surface_->width(), surface_->height(), QImage::Format_RGB32);
        for (int y = 0; y < converted_.height(); ++y) {
          auto* line = reinterpret_cast<QRgb*>(converted_.scanLine(y));
          for (int x = 0; x < converted_.width(); ++x) line[x] = 0xFF000000u | surface_->pixel(x, y);
        }
        convertedGeneration_ = surface_->generation();
      }
      img = &converted_;
    }
    shownGeneration_ = surface_->generation();
  }
  const QRect r = e->rect();
  if (img) {
    p.drawImage(r.topLeft(), *img, r);
    // Area beyond the picture's pixels: the surface's own background.
    QRegion rest = QRegion(r).subtracted(QRegion(0, 0, img->width(), img->height()));
    const QColor bg = QColor::fromRgb(0xFF000000u | surface_->background());
    for (const QRect& b : rest) p.fillRect(b, bg);
  } else {
    p.fillRect(r, palette().color(QPalette::Base));
  }
}

}  // namespace qv
