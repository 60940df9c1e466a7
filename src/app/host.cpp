#include "app/host.h"

#include <QApplication>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <unistd.h>

#include "config/command_line.h"
#include "config/program_folder.h"
#include "config/settings_line.h"
#include "core/designer.h"
#include "core/program.h"
#include "gui/main_window.h"
#include "gui/views.h"
#include "platform/qt/qimage_surface.h"
#include "platform/qt/qt_event_pump.h"
#include "platform/qt/std_disk.h"
#include "platform/qt/system_clock.h"

namespace qv {

namespace {

int gSignalPipe[2] = {-1, -1};

void onSignal(int) {
  char c = 1;
  ssize_t n = ::write(gSignalPipe[1], &c, 1);
  (void)n;
}

std::string executableFolder() {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.parent_path().string();
}

}  // namespace

int runQuorvel(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  ParseResult pr = parseCommandLine(args);
  if (!pr.error.empty()) {
    std::cerr << "quorvel: " << pr.error << "\n";
    return 2;
  }
  const CommandLine& cl = pr.cl;
  if (cl.help) {
    std::cout << commandLineHelp();
    return 0;
  }
  if (cl.version) {
    std::cout << "Quorvel 2.0\n";
    return 0;
  }

  if (cl.headless && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::unique_ptr<QGuiApplication> app;
  if (cl.headless) app = std::make_unique<QGuiApplication>(argc, argv);
  else app = std::make_unique<QApplication>(argc, argv);

  const char* envHome = std::getenv("QUORVEL_HOME");
  const char* userHome = std::getenv("HOME");
  std::string folder =
      chooseProgramFolder(cl.home, envHome ? envHome : "", executableFolder(), userHome ? userHome : "");

  QtEventPump pump;
  SystemClock clock;
  StdDisk disk;
  Services svc;
  svc.pump = &pump;
  svc.clock = &clock;
  svc.disk = &disk;
  QImageSurfaceFactory surfaces;
  svc.surfaces = &surfaces;
  Program program(svc, folder);
  buildForms(program.forms());

  // Command-line settings come after the start-up files.
  bool setFailed = false;
  for (auto& [key, value] : cl.sets) {
    Control* c = program.forms().findKey(key);
    if (!c || !c->isSaved()) {
      std::cerr << "quorvel: --set " << key << ": no such setting; nothing changed\n";
      setFailed = true;
      continue;
    }
    applyControlValue(*c, value);
  }
  (void)setFailed;

  std::unique_ptr<Views> views;
  if (!cl.headless) {
    installPanelMenus(program);
    views = std::make_unique<Views>(program);
    program.form1().setShown(true);
  }

  // SIGINT and SIGTERM stop like the Stop button, then the program exits.
  if (::pipe(gSignalPipe) == 0) {
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
  }
  QSocketNotifier sigNotifier(gSignalPipe[0], QSocketNotifier::Read);
  QObject::connect(&sigNotifier, &QSocketNotifier::activated, [&] {
    char buf[16];
    ssize_t n = ::read(gSignalPipe[0], buf, sizeof buf);
    (void)n;
    program.requestStop();
    QTimer::singleShot(0, [] { QCoreApplication::quit(); });
  });

  if (cl.quitAfterSeconds) {
    QTimer::singleShot(static_cast<int>(*cl.quitAfterSeconds * 1000.0), [&] {
      program.requestStop();
      QTimer::singleShot(0, [] { QCoreApplication::quit(); });
    });
  }
  return app->exec();
}

}  // namespace qv
