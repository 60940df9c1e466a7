#include "app/station_cli.h"

#include <QString>
#include <QtGlobal>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "config/command_line.h"
#include "config/listings.h"
#include "core/designer.h"
#include "core/program.h"
#include "platform/audio/portaudio_input.h"
#include "platform/audio/portaudio_output.h"
#include "recording/station.h"

namespace qv {

namespace {

bool envSet(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

DateTime nowOf(Program& p) {
  if (Clock* c = p.services().clock) return c->now();
  return {};
}

// Lines go out whole and at once: a service manager's journal or a pipe
// reads them while the station runs.
void out(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

void err(const std::string& line) {
  std::fputs(("quorvel: " + line + "\n").c_str(), stderr);
  std::fflush(stderr);
}

bool classicRecords(const std::string& args) {
  std::string s = args;
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  if (s.size() < 4) return false;
  std::string tail = s.substr(s.size() - 4);
  for (char& c : tail) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return tail == "/REC";
}

}  // namespace

void quietWindowLibrary() {
  if (envSet("QUORVEL_QT_DEBUG")) return;
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) err(message.toStdString());
  });
}

bool noDisplay() { return !envSet("DISPLAY") && !envSet("WAYLAND_DISPLAY") && !envSet("QT_QPA_PLATFORM"); }

int runListing(const CommandLine& cl) {
  if (cl.listSettings) {
    std::fputs(settingsListing(cl.settingsMarkdown).c_str(), stdout);
    return 0;
  }
  PortAudioInput in;
  PortAudioOutput outDevices;
  Services s;
  s.audioIn = &in;
  s.audioOut = &outDevices;
  Program p(s, "");
  buildForms(p.forms());
  std::fputs(deviceListing(p).c_str(), stdout);
  return 0;
}

MsgAnswer StationDialogs::message(const std::string& text, const std::string& title, MsgButtons buttons,
                                  MsgIcon icon, MsgAnswer defaultAnswer) {
  if (program_)
    if (Station* s = findStation(*program_)) s->operatorMessage(text);
  return HeadlessDialogs::message(text, title, buttons, icon, defaultAnswer);
}

void attachStationOutput(Program& p, StationDialogs& dialogs) {
  dialogs.watch(p);
  Station* station = findStation(p);
  if (!station) return;
  station->onEvent([](const StationEvent& e) { out(stationEventLine(e)); });
  station->onRunEnd([&p](const RunFigures& f) {
    out(runSummaryLine(f, nowOf(p)));
    // A refusal was shown on stderr as it happened; an error event went to stdout only.
    if (f.outcome == RunOutcome::Failed) err("the run ended on an error: " + f.error);
    if (f.outcome == RunOutcome::NotStarted && f.error.empty()) err("the run did not start");
  });
}

void printStationStart(Program& p, const CommandLine& cl, const std::string& webView) {
  const int task = classicRecords(cl.classicArgs) ? 2 : cl.task.value_or(p.vars().Task);
  out(stationStartLine(p, task) + (webView.empty() ? "" : "; " + webView));
}

bool endsWithItsRun(Program& p, const CommandLine& cl) {
  if (!cl.start && !classicRecords(cl.classicArgs)) return false;
  // A command socket or the web view can still start the next run.
  Control* udp = p.options0().find("chkUDPSlave");
  Control* web = p.options0().find("chkWebView");
  return !(udp && udp->checked()) && !(web && web->checked());
}

int stationExitCode(Program& p) {
  Station* s = findStation(p);
  return s && s->troubledRuns() > 0 ? 1 : 0;
}

}  // namespace qv
