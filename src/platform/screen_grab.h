// Pictures of what is on the screen: the main window as shown and the whole
// screen. The windowed program grabs them from the window system; without
// windows the main window is drawn from its controls.
#pragma once

#include <memory>

namespace qv {

class Surface;

class ScreenGrab {
 public:
  virtual ~ScreenGrab() = default;
  // The main window with its left/top edge at pixel (0, 0); null when there is nothing to grab.
  virtual std::shared_ptr<Surface> grabMainWindow() = 0;
  virtual std::shared_ptr<Surface> grabScreen() = 0;
};

}  // namespace qv
