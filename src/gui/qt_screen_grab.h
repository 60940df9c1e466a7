// The screen grab of the windowed program: the main window as the window
// system shows it, and the screen it is on.
#pragma once

#include "platform/screen_grab.h"

class QWidget;

namespace qv {

class QtScreenGrab : public ScreenGrab {
 public:
  // The window exists only after the program it shows: it is set afterwards.
  void setMainWindow(QWidget* w) { window_ = w; }
  std::shared_ptr<Surface> grabMainWindow() override;
  std::shared_ptr<Surface> grabScreen() override;

 private:
  QWidget* window_ = nullptr;
};

}  // namespace qv
