// The screen that holds the main window: its size, for the window's layout,
// and pictures of what is on it, the main window as shown and the whole
// screen. The windowed program asks the window system; without windows the
// screen has a fixed size and the main window is drawn from its controls.
#pragma once

#include <memory>

namespace qv {

class Surface;

struct ScreenSize {
  int width = 0;
  int height = 0;
};

class ScreenGrab {
 public:
  virtual ~ScreenGrab() = default;
  // Pixels of the screen that holds the main window (the primary screen before there is one).
  virtual ScreenSize size() = 0;
  // The main window with its left/top edge at pixel (0, 0); null when there is nothing to grab.
  virtual std::shared_ptr<Surface> grabMainWindow() = 0;
  virtual std::shared_ptr<Surface> grabScreen() = 0;
};

}  // namespace qv
