// The main window: widgets bound by name to the controls of FORM1.
#pragma once

#include <QMainWindow>

namespace qv {

class Program;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(Program& program, QWidget* parent = nullptr);

 private:
  Program& program_;
};

}  // namespace qv
