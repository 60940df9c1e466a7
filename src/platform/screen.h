// The screen the main window is laid out for.
#pragma once

namespace qv {

struct ScreenSize {
  int width = 0;
  int height = 0;
};

class Screen {
 public:
  virtual ~Screen() = default;
  // Pixels of the screen that holds the main window.
  virtual ScreenSize size() = 0;
};

// A screen of fixed size: the headless program lays out for 1024 x 768,
// tests for whatever they choose.
class FixedScreen : public Screen {
 public:
  explicit FixedScreen(int width = 1024, int height = 768) : size_{width, height} {}
  ScreenSize size() override { return size_; }
  void set(int width, int height) { size_ = {width, height}; }

 private:
  ScreenSize size_;
};

}  // namespace qv
