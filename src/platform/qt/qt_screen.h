// The real screen: the one that holds the main window once it exists, the
// primary screen before.
#pragma once

#include <functional>

#include "platform/screen.h"

class QScreen;

namespace qv {

class QtScreen : public Screen {
 public:
  ScreenSize size() override;
  // The view tells where the main window is.
  void setLocator(std::function<QScreen*()> locate) { locate_ = std::move(locate); }

 private:
  std::function<QScreen*()> locate_;
};

}  // namespace qv
