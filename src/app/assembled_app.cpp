#include "app/assembled_app.h"
#include "app/station_cli.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <iostream>

#include "config/assembly.h"
#include "config/startup.h"
#include "core/program.h"
#include "export/model_screen_grab.h"
#include "gui/main_window.h"
#include "gui/qt_dialogs.h"
#include "gui/qt_screen_grab.h"
#include "gui/views.h"
#include "platform/fftw/fftw_dsp.h"
#include "platform/qt/real_services.h"
#include "remote/web_view.h"

namespace qv {

AssembledApp::AssembledApp(const CommandLine& cl, const std::string& programFolder)
    : cl_(cl), real_(std::make_unique<RealServices>()), dsp_(std::make_unique<FftwDsp>()) {
  Services svc = real_->services();
  svc.dsp = dsp_.get();
  ModelScreenGrab* modelGrab = nullptr;
  QtScreenGrab* qtGrab = nullptr;
  if (cl_.headless) {
    dialogs_ = std::make_unique<StationDialogs>();
    auto g = std::make_unique<ModelScreenGrab>();
    modelGrab = g.get();
    screen_ = std::move(g);
  } else {
    dialogs_ = std::make_unique<QtDialogs>();
    auto g = std::make_unique<QtScreenGrab>();
    qtGrab = g.get();
    screen_ = std::move(g);
  }
  svc.dialogs = dialogs_.get();
  svc.screen = screen_.get();
  program_ = std::make_unique<Program>(svc, programFolder);
  if (modelGrab) modelGrab->attach(*program_);
  subsystems_ = assembleProgram(*program_);
  if (cl_.headless) attachStationOutput(*program_, static_cast<StationDialogs&>(*dialogs_));

  StartupHooks& h = hooks();
  Program& p = *program_;
  // Command-line settings come after the start-up files, before the classic switches act.
  h.beforeCommandLine = [this, &p] {
    for (auto& [key, value] : cl_.sets) {
      std::string message;
      if (!applyCommandLineSetting(p, key, value, message)) std::cerr << "quorvel: " << message << "\n";
    }
    // A station without a screen says once where a browser finds it.
    if (cl_.headless) printStationStart(p, cl_, subsystems_->web ? subsystems_->web->startLine() : "");
  };
  h.endProgram = [this] { stopAndQuit(); };

  if (cl_.headless) {
    h.showMainWindow = [&p] { p.form1().setShown(true); };
    // Nothing is shown without windows; the wait itself ends the splash.
    h.closeSplash = [](SplashWindow& s) { s.close(); };
    return;
  }
  views_ = std::make_unique<Views>(p);
  MainWindow& main = views_->main();
  main.setCloseGuard([this, &p] { return quitRequested_ || requestShutdown(p, hooks()); });
  static_cast<QtDialogs*>(dialogs_.get())->setParent(&main);
  qtGrab->setMainWindow(&main);
  h.showMainWindow = [&p, &main] {
    p.form1().setShown(true);
    main.showNormal();
  };
  // The splash window, whoever shows it, is the top-level widget named after its form.
  h.closeSplash = [](SplashWindow& s) {
    s.close();
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == "frmSplash") w->close();
  };
}

AssembledApp::~AssembledApp() {
  // The windows go before the program they show.
  views_.reset();
}

StartupHooks& AssembledApp::hooks() { return *subsystems_->hooks; }

const Services& AssembledApp::services() const { return program_->services(); }

void AssembledApp::stopAndQuit() {
  program_->requestStop();
  quitRequested_ = true;
  // exit(), not quit(): quit() offers the windows a close first, and the
  // main window's close asks the exit question nobody is there to answer.
  QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
}

}  // namespace qv
