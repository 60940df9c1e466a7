#include "app/host.h"
#include "app/assembled_app.h"
#include "app/fix_header_main.h"
#include "app/render_main.h"
#include "app/station_cli.h"

#include <QApplication>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <unistd.h>

#include "config/assembly.h"
#include "config/click_option.h"
#include "config/command_line.h"
#include "config/folder_lock.h"
#include "config/program_folder.h"
#include "config/startup.h"
#include "core/designer.h"
#include "core/program.h"
#include "gui/qt_dialogs.h"
#include "platform/dialogs.h"

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
  quietWindowLibrary();
  if (argc >= 2 && std::string(argv[1]) == "render") return runRender(argc, argv);
  if (argc >= 2 && std::string(argv[1]) == kFixHeaderOption) return runFixHeader(argc, argv);
  std::vector<std::string> args(argv + 1, argv + argc);
  ParseResult pr = parseCommandLine(args);
  if (!pr.error.empty()) {
    std::cerr << "quorvel: " << pr.error << "\n";
    return 2;
  }
  CommandLine& cl = pr.cl;
  if (cl.help) {
    std::cout << commandLineHelp();
    return 0;
  }
  if (cl.version) {
    std::cout << "Quorvel 2.0\n";
    return 0;
  }
  if (cl.listDevices || cl.listSettings) return runListing(cl);
  if (!cl.headless && noDisplay()) {
    std::cerr << "quorvel: no display (neither DISPLAY nor WAYLAND_DISPLAY is set): running headless, as with "
                 "--headless\n";
    cl.headless = true;
  }

  if (cl.headless && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::unique_ptr<QGuiApplication> app;
  if (cl.headless) app = std::make_unique<QGuiApplication>(argc, argv);
  else app = std::make_unique<QApplication>(argc, argv);

  const char* envHome = std::getenv("QUORVEL_HOME");
  const char* userHome = std::getenv("HOME");
  std::string folder =
      chooseProgramFolder(cl.home, envHome ? envHome : "", executableFolder(), userHome ? userHome : "");

  // One instance per program folder: two would share RecLog.Log and the UDP ports.
  ProgramFolderLock folderLock(folder);
  if (!folderLock.held()) {
    std::cerr << "quorvel: " << folderLock.message() << "\n";
    if (!cl.headless) QtDialogs().message(folderLock.message(), "Quorvel", MsgButtons::Ok, MsgIcon::Error, MsgAnswer::Ok);
    return 1;
  }

  AssembledApp assembled(cl, folder);
  Program& program = assembled.program();
  StartupHooks& hooks = assembled.hooks();
  auto stopAndQuit = [&assembled] { assembled.stopAndQuit(); };
  std::vector<Control*> clicks;
  for (const std::string& key : cl.clicks) {
    std::string message;
    Control* c = clickTarget(program, key, message);
    if (!c) {
      std::cerr << "quorvel: " << message << "\n";
      return 2;
    }
    clicks.push_back(c);
  }

  // SIGINT and SIGTERM stop like the Stop button, then the program exits;
  // so does SIGHUP (a closed terminal or ssh session), so the recording's
  // header is patched rather than left provisional.
  if (::pipe(gSignalPipe) == 0) {
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);
  }
  QSocketNotifier sigNotifier(gSignalPipe[0], QSocketNotifier::Read);
  QObject::connect(&sigNotifier, &QSocketNotifier::activated, [&] {
    char buf[16];
    ssize_t n = ::read(gSignalPipe[0], buf, sizeof buf);
    (void)n;
    stopAndQuit();
  });
  if (cl.quitAfterSeconds) QTimer::singleShot(static_cast<int>(*cl.quitAfterSeconds * 1000.0), stopAndQuit);

  // A scripted run does not wait for the splash window.
  StartupOptions options;
  options.splash = !cl.quitAfterSeconds;

  // The --click presses, then --task and --start, are the operator's
  // commands: queued in order on the command path, in turn with any datagram
  // already in, so a press that starts a loop lets the next ones run from
  // inside that loop, as an operator's successive clicks do.
  // All are queued before the first runs (from inside one command, so none
  // runs while the others are queued): a loop started by one then serves
  // the rest.
  auto pressAll = [&] {
    CommandPath& commands = program.commands();
    Command queueAll;
    queueAll.name = "command line";
    queueAll.origin = CommandOrigin::Local;
    queueAll.run = [&] {
      for (Control* target : clicks) {
        Command press;
        press.name = target->key();
        press.origin = CommandOrigin::Local;
        press.run = [&, target] {
          if (assembled.quitRequested()) return;
          std::string message;
          const std::string before = program.status();
          if (!pressFromCommandLine(*target, message)) std::cerr << "quorvel: " << message << "\n";
          // Without a screen the status line is unseen: what a press put there is told.
          else if (cl.headless && program.status() != before && !program.status().empty())
            std::cerr << "quorvel: " << target->key() << ": " << program.status() << "\n";
        };
        commands.submit(std::move(press));
      }
      if (const char* mode = cl.task ? modeMenuItem(*cl.task) : nullptr)
        commands.press(program.form1()[mode], CommandOrigin::Local);
      if (cl.start && !assembled.quitRequested()) {
        commands.press(program.form1()["StartStop"], CommandOrigin::Local, [&] {
          // The run has ended; without a command socket nothing could start another.
          if (cl.headless && endsWithItsRun(program, cl)) stopAndQuit();
        });
      }
    };
    commands.submit(std::move(queueAll));
  };

  const StartupReport report = startUp(program, cl, hooks, options);
  if (!report.fileProblem.empty()) std::cerr << "quorvel: " << report.fileProblem << "\n";
  program.form1().setShown(true);
  const auto exitCode = [&] { return cl.headless ? stationExitCode(program) : 0; };
  if (assembled.quitRequested() || (cl.headless && !cl.start && endsWithItsRun(program, cl))) return exitCode();

  // They act once the event loop runs, so a started loop pumps the same
  // events as one started by the Start button.
  QTimer::singleShot(0, pressAll);
  const int rc = app->exec();
  return rc != 0 ? rc : exitCode();
}

}  // namespace qv
