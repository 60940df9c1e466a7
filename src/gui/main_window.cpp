#include "gui/main_window.h"

#include "core/program.h"

namespace qv {

MainWindow::MainWindow(Program& program, QWidget* parent) : QMainWindow(parent), program_(program) {
  setWindowTitle(QString::fromStdString(program_.form1().title()));
  resize(800, 600);
}

}  // namespace qv
