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

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  std::shared_ptr<Surface> surface_;
  uint64_t shownGeneration_ = ~uint64_t(0);
  // Pixels of a surface that is not QImage-backed (test doubles), rebuilt on change.
  QImage converted_;
  uint64_t convertedGeneration_ = ~uint64_t(0);
};

}  // namespace qv
