#include "gui/main_window.h"

#include <QApplication>
#include <QCloseEvent>

#include "core/program.h"

namespace qv {

MainWindow::MainWindow(Program& program, QWidget* parent) : FormWindow(program.form1(), parent), program_(program) {}

void MainWindow::closeEvent(QCloseEvent* e) {
  // A loop may be running inside a handler below us: ask it to end after its
  // pass, then leave once control is back in the main event loop.
  if (closeGuard_ && !closeGuard_()) {
    e->ignore();
    return;
  }
  program_.requestStop();
  FormWindow::closeEvent(e);
  QApplication::closeAllWindows();
  QCoreApplication::quit();
}

}  // namespace qv
