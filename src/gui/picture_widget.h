// Shows a control's drawing surface. The loops draw into the surface, never
// into the widget; the view polls the surface's generation and repaints only
// when it moved, so a loop that pumps events gets a smooth spectrogram.
#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <memory>

namespace qv {

class Surface;

class PictureWidget : public QWidget {
  Q_OBJECT
 public:
  explicit PictureWidget(QWidget* parent = nullptr);

  void setSurface(std::shared_ptr<Surface> s);
  const std::shared_ptr<Surface>& surface() const { return surface_; }
  // Schedules a repaint when the surface changed since the last paint; cheap
  // enough to call from a timer many times a second.
  bool refreshIfChanged();
  QSize sizeHint() const override;
  // Paints so far: lets a test see the picture kept up with a running loop.
  int paintCount() const { return paints_; }

 signals:
  // The mouse over the picture, in the surface's pixel coordinates (the
  // cursor readout and markers listen here).
  void mouseMoved(int x, int y, Qt::MouseButtons buttons);
  void mousePressed(int x, int y, Qt::MouseButton button);
  void mouseReleased(int x, int y, Qt::MouseButton button);
  // Local paths of files dropped on the picture.
  void filesDropped(const QStringList& paths);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  std::shared_ptr<Surface> surface_;
  uint64_t shownGeneration_ = ~uint64_t(0);
  // Pixels of a surface that is not QImage-backed (test doubles), rebuilt on change.
  QImage converted_;
  uint64_t convertedGeneration_ = ~uint64_t(0);
  int paints_ = 0;
};

}  // namespace qv
