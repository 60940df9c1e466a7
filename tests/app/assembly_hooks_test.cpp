// The program assembled exactly as the executable assembles it, with its
// windows and without: no hook, callback or seam of what it assembles may be
// left empty, since a feature behind an empty hook does nothing in the
// running program however well its tests pass.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QScreen>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>

#include "analysis/engine.h"
#include "app/assembled_app.h"
#include "config/assembly.h"
#include "config/startup.h"
#include "core/program.h"
#include "export/model_screen_grab.h"
#include "export/snapshot.h"
#include "platform/surface.h"
#include "files/install.h"
#include "gui/main_window.h"
#include "gui/views.h"
#include "platform/services.h"
#include "realtime/modes.h"
#include "realtime/update_form.h"
#include "recording/ram_buffer.h"
#include "remote/web_view.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

// Hooks the display work fills; until it lands they may be empty. Remove
// each name as soon as the assembled program fills it.
const std::set<std::string> kDisplayHooksStillToFill = {
    "StartupHooks::setForm",          "StartupHooks::saveSpecGram",  "StartupHooks::restoreSpecGram",
    "StartupHooks::showSplash",       "AnalysisEngine::PlotSpec",    "AnalysisEngine::RestoreSpecGram",
    "AxisHooks::VerticalAxis",        "AxisHooks::HorizontalAxis",   "AxisHooks::SetMVAxis",
};

// std::function members that are not part of an assembled object: argument
// structs built afresh for each call, a copy taken at each run, test doubles.
const std::map<std::string, std::string> kNotAssembled = {
    {"FileLoopHooks::openFileDialog", "argument of each file loop call, built filled where it is called"},
    {"FileLoopHooks::sendFileInfo", "argument of each file loop call, built filled where it is called"},
    {"NavigationHooks::runLoop", "argument of attachNavigation, built filled by the file subsystem"},
    {"NavigationHooks::playbackReposition", "argument of attachNavigation, built filled by the file subsystem"},
    {"SpectrumEngine::plotSpec", "taken from AnalysisEngine::PlotSpec at the start of each run"},
    {"FakeTcpConnection::onData_", "test double"},
    {"FakeTcpConnection::onClosed_", "test double"},
    {"FakeTcpListener::onConn_", "test double"},
    {"FakeSerialPort::onData_", "test double"},
    {"FakeWebServer::opened_", "test double"},
    {"FakeWebServer::closed_", "test double"},
    {"WebReply::then", "part of each reply, set by the request that needs it"},
};

using Hooks = std::map<std::string, bool>;  // name -> filled

Hooks hooksOf(AssembledApp& app, bool windows) {
  Hooks h;
  const StartupHooks& s = app.hooks();
  h["StartupHooks::updateForm"] = bool(s.updateForm);
  h["StartupHooks::setForm"] = bool(s.setForm);
  h["StartupHooks::saveSpecGram"] = bool(s.saveSpecGram);
  h["StartupHooks::restoreSpecGram"] = bool(s.restoreSpecGram);
  h["StartupHooks::drawColourBar"] = bool(s.drawColourBar);
  h["StartupHooks::updateInfo"] = bool(s.updateInfo);
  h["StartupHooks::enumerateDevices"] = bool(s.enumerateDevices);
  h["StartupHooks::selectDevices"] = bool(s.selectDevices);
  h["StartupHooks::selectTask"] = bool(s.selectTask);
  h["StartupHooks::openFile"] = bool(s.openFile);
  h["StartupHooks::startRecording"] = bool(s.startRecording);
  h["StartupHooks::showMainWindow"] = bool(s.showMainWindow);
  h["StartupHooks::showSplash"] = bool(s.showSplash);
  h["StartupHooks::closeSplash"] = bool(s.closeSplash);
  h["StartupHooks::beforeCommandLine"] = bool(s.beforeCommandLine);
  h["StartupHooks::endProgram"] = bool(s.endProgram);

  AnalysisEngine& a = *app.subsystems().analysis;
  h["AnalysisEngine::PlotSpec"] = bool(a.PlotSpec);
  h["AnalysisEngine::RestoreSpecGram"] = bool(a.RestoreSpecGram);
  h["AnalysisEngine::onUpdateInfo"] = bool(a.onUpdateInfo);
  const AxisHooks& axes = a.display().axes;
  h["AxisHooks::VerticalAxis"] = bool(axes.VerticalAxis);
  h["AxisHooks::HorizontalAxis"] = bool(axes.HorizontalAxis);
  h["AxisHooks::SetMVAxis"] = bool(axes.SetMVAxis);

  Modes* m = findModes(app.program());
  h["Modes::runFileAnalysis"] = m && m->runFileAnalysis;
  h["Modes::runPlayback"] = m && m->runPlayback;
  h["Modes::openFileDialog"] = m && m->openFileDialog;
  h["Modes::closeFile"] = m && m->closeFile;

  FileSubsystem& f = *app.subsystems().files;
  h["FileSubsystem::sendFileInfo"] = bool(f.sendFileInfo);
  h["FileSubsystem::playbackReposition"] = bool(f.playbackReposition);

  bool opener = false;
  for (LiveParticipant* part : app.program().liveParticipants())
    if (auto* b = dynamic_cast<RamBuffer*>(part)) opener = b->hasFileOpener();
  h["RamBuffer::openFile_"] = opener;

  // The seams to the world are hooks too: each needs its real piece.
  const Services& sv = app.services();
  h["Services::audioIn"] = sv.audioIn;
  h["Services::audioOut"] = sv.audioOut;
  h["Services::dsp"] = sv.dsp;
  h["Services::dialogs"] = sv.dialogs;
  h["Services::pump"] = sv.pump;
  h["Services::clock"] = sv.clock;
  h["Services::disk"] = sv.disk;
  h["Services::net"] = sv.net;
  h["Services::surfaces"] = sv.surfaces;
  h["Services::textLink"] = sv.textLink;
  h["Services::screen"] = sv.screen;

  h["WebView::runCommand_"] = app.subsystems().web && app.subsystems().web->runsCommands();

  if (windows) h["MainWindow::closeGuard_"] = app.views() && app.views()->main().hasCloseGuard();
  return h;
}

// Every "std::function<...> name;" member declared in the program's headers,
// as "Struct::name" of the innermost struct or class that encloses it.
std::set<std::string> declaredFunctionMembers() {
  std::set<std::string> out;
  const std::regex member(R"(^\s*std::function<.*>\s+(\w+)\s*(=[^;]*)?;)");
  const std::regex owner(R"(^\s*(?:struct|class)\s+(\w+)\b[^;]*$)");
  for (auto& e : std::filesystem::recursive_directory_iterator(QUORVEL_SOURCE_DIR "/src")) {
    if (e.path().extension() != ".h") continue;
    std::ifstream in(e.path());
    std::string line;
    std::vector<std::pair<std::string, long>> open;  // enclosing types with the depth they open at
    long depth = 0;
    std::smatch m;
    while (std::getline(in, line)) {
      if (std::regex_search(line, m, owner)) open.emplace_back(m[1], depth);
      else if (std::regex_search(line, m, member))
        out.insert((open.empty() ? std::string() : open.back().first) + "::" + std::string(m[1]));
      depth += std::count(line.begin(), line.end(), '{') - std::count(line.begin(), line.end(), '}');
      while (!open.empty() && depth <= open.back().second && line.find('}') != std::string::npos) open.pop_back();
    }
  }
  return out;
}

void expectNothingEmpty(bool windows) {
  test::TempDir home;
  CommandLine cl;
  cl.headless = !windows;
  AssembledApp app(cl, home.path());
  const Hooks hooks = hooksOf(app, windows);

  for (const auto& [name, filled] : hooks) {
    if (kDisplayHooksStillToFill.count(name)) {
      EXPECT_FALSE(filled) << name << " is filled now: take it out of kDisplayHooksStillToFill";
      continue;
    }
    EXPECT_TRUE(filled) << name << " is empty in the assembled program (" << (windows ? "windows" : "headless")
                        << ")";
  }

  // A new hook declared anywhere must be added above, so it is checked too.
  const std::set<std::string> members = declaredFunctionMembers();
  ASSERT_TRUE(members.count("StartupHooks::updateForm") && members.count("Modes::runPlayback"))
      << "the header scan finds nothing: is QUORVEL_SOURCE_DIR right?";
  for (const std::string& declared : members) {
    const bool known = hooks.count(declared) || kNotAssembled.count(declared) ||
                       (declared == "MainWindow::closeGuard_" && !windows);
    EXPECT_TRUE(known) << declared << " is not checked by this test: add it to hooksOf or, with its reason, to "
                          "kNotAssembled";
  }
}

TEST(AssembledProgram, WithWindowsNoHookIsLeftEmpty) { expectNothingEmpty(true); }

TEST(AssembledProgram, HeadlessNoHookIsLeftEmpty) { expectNothingEmpty(false); }

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// Share of pixels in which two pictures of one size differ.
double differing(const QImage& a, const QImage& b) {
  const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
  long n = 0;
  for (int r = 0; r < x.height(); ++r)
    for (int c = 0; c < x.width(); ++c) n += (x.pixel(c, r) & 0xFFFFFF) != (y.pixel(c, r) & 0xFFFFFF);
  return static_cast<double>(n) / std::max(1, x.width() * x.height());
}

// "Form" and "Screen" are pictures of what is on the screen, not of the
// controls' model: the window's buttons, menus and labels are in them.
TEST(AssembledProgram, WindowSnapshotsAreGrabsOfTheShownWindow) {
  test::TempDir home;
  AssembledApp app(CommandLine{}, home.path());
  MainWindow& main = app.views()->main();
  main.show();
  for (int i = 0; i < 10; ++i) QApplication::processEvents();
  Program& p = app.program();
  p.options1()["DefSavePath"].setText(home.path());

  p.options1()["Combo3"].setText("Form");
  ASSERT_TRUE(ScreenSnapshot_Click(p));
  const QStringList bmps = QDir(QString::fromStdString(home.path())).entryList({"wSpec *.bmp"});
  ASSERT_EQ(bmps.size(), 1);
  const QImage form(QString::fromStdString(home.path()) + bmps[0]);
  const QImage shown = main.grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(form.size(), shown.size());
  // A caret may blink between two grabs; nothing more may differ.
  EXPECT_LT(differing(form, shown), 0.002);
  // The window drawn from its model alone (the pictures on a blank form) is another picture.
  ModelScreenGrab model;
  model.attach(p);
  auto drawn = model.grabMainWindow();
  ASSERT_TRUE(drawn);
  drawn->save(home.file("model.bmp"));
  EXPECT_GT(differing(QImage(QString::fromStdString(home.file("model.bmp"))).scaled(shown.size()), shown), 0.05);

  QDir(QString::fromStdString(home.path())).remove(bmps[0]);
  p.options1()["Combo3"].setText("Screen");
  ASSERT_TRUE(ScreenSnapshot_Click(p));
  const QStringList screens = QDir(QString::fromStdString(home.path())).entryList({"wSpec *.bmp"});
  ASSERT_EQ(screens.size(), 1);
  const QImage screen(QString::fromStdString(home.path()) + screens[0]);
  EXPECT_EQ(screen.size(), main.screen()->geometry().size());
  // The window is on it where it stands.
  const QPoint at = main.geometry().topLeft() - main.screen()->geometry().topLeft();
  EXPECT_LT(differing(screen.copy(QRect(at, shown.size())), shown), 0.01);
}

}  // namespace
}  // namespace qv
