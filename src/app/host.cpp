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
#include "config/startup.h"
#include "core/designer.h"
#include "core/program.h"
#include "gui/main_window.h"
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
  Program program(svc, folder);
  buildForms(program.forms());

  // Start-up files first; command-line settings after them, before the classic switches act.
  auto configHooks = installConfig(program);
  configHooks->beforeCommandLine = [&] {
    for (auto& [key, value] : cl.sets) {
      std::string message;
      if (!applyCommandLineSetting(program, key, value, message)) std::cerr << "quorvel: " << message << "\n";
    }
  };

  configHooks->endProgram = [] { QTimer::singleShot(0, [] { QCoreApplication::quit(); }); };

  std::unique_ptr<MainWindow> window;
  if (!cl.headless) {
    window = std::make_unique<MainWindow>(program);
    configHooks->showMainWindow = [&] { window->showNormal(); };
  }
  startUp(program, cl, *configHooks);
  if (window) window->show();

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
