// The screen grab of the program without windows: the main window drawn
// from its controls (every visible picture at its place on a blank window),
// and a screen of the program's screen size with that window at its corner.
#pragma once

#include "platform/screen_grab.h"

namespace qv {

class Program;

class ModelScreenGrab : public ScreenGrab {
 public:
  // The program is made with its services, this grab among them: it is attached afterwards.
  void attach(Program& p) { p_ = &p; }
  std::shared_ptr<Surface> grabMainWindow() override;
  std::shared_ptr<Surface> grabScreen() override;

 private:
  Program* p_ = nullptr;
};

}  // namespace qv
