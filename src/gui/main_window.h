// The main window: the FORM1 controls and menus; closing it stops any
// running loop and ends the program.
#pragma once

#include <functional>

#include "gui/form_window.h"

namespace qv {

class Program;

class MainWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit MainWindow(Program& program, QWidget* parent = nullptr);
  // Asked before the window closes (the shutdown confirmation); false keeps it open.
  void setCloseGuard(std::function<bool()> guard) { closeGuard_ = std::move(guard); }
  bool hasCloseGuard() const { return static_cast<bool>(closeGuard_); }

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  Program& program_;
  std::function<bool()> closeGuard_;
};

}  // namespace qv
