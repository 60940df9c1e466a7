// The screen of the program without windows: a fixed size (1024 x 768
// unless set), the main window drawn from its controls (its own surface with
// the axes, every visible picture at its place), and a screen of the
// program's screen size with that window at its corner.
#pragma once

#include "platform/screen_grab.h"

namespace qv {

class Program;

class ModelScreenGrab : public ScreenGrab {
 public:
  // The program is made with its services, this grab among them: it is attached afterwards.
  void attach(Program& p) { p_ = &p; }
  void setSize(int width, int height) { size_ = {width, height}; }
  ScreenSize size() override { return size_; }
  std::shared_ptr<Surface> grabMainWindow() override;
  std::shared_ptr<Surface> grabScreen() override;

 private:
  Program* p_ = nullptr;
  ScreenSize size_{1024, 768};
};

}  // namespace qv
