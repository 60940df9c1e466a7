// A program with the remote commander and the pieces it acts through
// (recording log, snapshots), but with stand-ins for the Start/Stop button,
// the mode items and the buffer save: they record each press, and Start runs
// a small loop that pumps events until the stop flag is set, as a real loop
// does. So the commands are seen arriving at the controls they press.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/designer.h"
#include "core/program.h"
#include "platform/doubles/fake_clock.h"
#include "platform/doubles/fake_network.h"
#include "platform/doubles/scripted_dialogs.h"
#include "platform/doubles/scripted_pump.h"
#include "platform/qt/qimage_surface.h"
#include "recording/recording_files.h"
#include "export/model_screen_grab.h"
#include "export/snapshot.h"
#include "remote/udp_remote.h"
#include "support/temp_dir.h"

namespace qv::test {

struct RemoteRig {
  TempDir home;
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  FakeClock clock{10, 59, 30};
  FakeNetwork net;
  QImageSurfaceFactory surfaces;
  ModelScreenGrab screen;
  std::unique_ptr<Program> program;
  std::shared_ptr<RemoteCommander> remote;
  // "StartStop:start", "StartStop:stop", "RealTimeRecording", ... with the status line at the press.
  std::vector<std::string> presses;
  std::vector<std::string> statusAtPress;
  long loopPasses = 0;

  RemoteRig() {
    Services s;
    s.dialogs = &dialogs;
    s.pump = &pump;
    s.clock = &clock;
    s.net = &net;
    s.surfaces = &surfaces;
    s.screen = &screen;
    program = std::make_unique<Program>(s, home.path());
    screen.attach(*program);
    buildForms(program->forms());
    installRecordingFiles(*program);
    installSnapshots(*program);
    remote = installRemote(*program);
    // Time goes on while events are served (each pass 20 ms).
    pump.every([this] { clock.advance(0.02); });

    Program& p = *program;
    p.form1()["StartStop"].on(Event::Click, [this, &p] {
      note(p.vars().StopFlag ? "StartStop:start" : "StartStop:stop");
      if (!p.vars().StopFlag) {
        p.vars().StopFlag = true;
        return;
      }
      p.vars().StopFlag = false;
      while (!p.vars().StopFlag) {
        ++loopPasses;
        p.pumpEvents();
        if (loopPasses > 100000) break;  // a stop that never comes fails the test, not the run
      }
    });
    for (const char* name : {"RealTimeAnalysis", "RealTimeRecording", "SaveBuffer", "StopPlotAcq"})
      p.form1()[name].on(Event::Click, [this, name] { note(name); });
    p.form1()["RealTimeAnalysis"].on(Event::Click, [&p] { p.vars().Task = 1; });
    p.form1()["RealTimeRecording"].on(Event::Click, [&p] { p.vars().Task = 2; });
  }
  ~RemoteRig() {
    remote.reset();
    program.reset();  // sockets go before the network double
  }

  void note(const std::string& what) {
    presses.push_back(what);
    statusAtPress.push_back(program->status());
  }

  Program& p() { return *program; }
  Control& o0(const std::string& n) { return program->options0()[n]; }
  Control& f1(const std::string& n) { return program->form1()[n]; }

  // Enables the command socket and returns it.
  FakeUdpSocket* enable() {
    o0("chkUDPSlave").setValue(1);
    return net.udpOn(remote->commandPort());
  }
  // Texts sent by the command socket so far.
  std::vector<std::string> sentTexts() const {
    std::vector<std::string> v;
    for (auto& s : net.allSent()) v.push_back(s.data);
    return v;
  }
  std::string recLog() { return readFile(p().vars().RecLogFile); }
};

}  // namespace qv::test
