#include "gui/qt_screen_grab.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include "platform/qt/qimage_surface.h"

namespace qv {

std::shared_ptr<Surface> QtScreenGrab::grabMainWindow() {
  if (!window_) return nullptr;
  // The window as drawn now, frame excluded, at its device-independent size.
  QImage img = window_->grab().toImage();
  if (img.isNull()) return nullptr;
  if (img.size() != window_->size()) img = img.scaled(window_->size());
  return std::make_shared<QImageSurface>(img);
}

std::shared_ptr<Surface> QtScreenGrab::grabScreen() {
  QScreen* screen = window_ && window_->screen() ? window_->screen() : QGuiApplication::primaryScreen();
  if (!screen) return nullptr;
  QImage img = screen->grabWindow(0).toImage();
  // Platforms that cannot grab the desktop (offscreen, some Wayland
  // compositors) give nothing; the program's own window is then the best picture.
  if (img.isNull() || img.width() <= 1) {
    if (!window_) return nullptr;
    QImage canvas(screen->geometry().size(), QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QImage win = window_->grab().toImage();
    QPainter(&canvas).drawImage(window_->frameGeometry().topLeft() - screen->geometry().topLeft(), win);
    return std::make_shared<QImageSurface>(canvas);
  }
  return std::make_shared<QImageSurface>(img);
}

}  // namespace qv
