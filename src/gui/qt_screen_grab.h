// The screen of the windowed program: the one the main window is on, its
// size, and the main window as the window system shows it.
#pragma once

#include "platform/screen_grab.h"

class QWidget;

namespace qv {

class QtScreenGrab : public ScreenGrab {
 public:
  // The window exists only after the program it shows: it is set afterwards.
  void setMainWindow(QWidget* w) { window_ = w; }
  ScreenSize size() override;
  std::shared_ptr<Surface> grabMainWindow() override;
  std::shared_ptr<Surface> grabScreen() override;

 private:
  QWidget* window_ = nullptr;
};

}  // namespace qv
