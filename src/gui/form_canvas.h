// The plain area of a window behind its controls. It shows the Form's own
// surface (the axes and letters drawn around the pictures) and tells the
// Form when the mouse moves over it rather than over a control.
#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>

namespace qv {

class Form;

class FormCanvas : public QWidget {
  Q_OBJECT
 public:
  explicit FormCanvas(Form& form, QWidget* parent = nullptr);
  // Repaints when the surface changed since the last paint.
  void refreshIfChanged();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;

 private:
  Form& form_;
  uint64_t shownGeneration_ = ~uint64_t(0);
  const void* shownSurface_ = nullptr;
  QImage converted_;
};

}  // namespace qv
