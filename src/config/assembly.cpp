#include "config/assembly.h"

#include "analysis/engine.h"
#include "config/startup.h"
#include "core/designer.h"
#include "core/program.h"
#include "export/snapshot.h"
#include "files/install.h"
#include "files/playback.h"
#include "files/playlist.h"
#include "realtime/cursor_readout.h"
#include "realtime/devices.h"
#include "realtime/modes.h"
#include "realtime/window_layout.h"
#include "recording/notes_log.h"
#include "recording/recording_files.h"
#include "recording/recording_loop.h"
#include "recording/station.h"
#include "remote/gps_link.h"
#include "remote/gps_logger.h"
#include "remote/tcp_receiver.h"
#include "remote/text_send.h"
#include "remote/udp_remote.h"
#include "remote/web_view.h"

namespace qv {

Subsystems::~Subsystems() = default;

std::unique_ptr<Subsystems> assembleProgram(Program& p) {
  auto s = std::make_unique<Subsystems>();
  buildForms(p.forms());
  s->analysis = installAnalysis(p);
  s->layout = std::make_unique<WindowLayout>(p, *s->analysis);
  s->layout->install();
  s->cursor = std::make_unique<CursorReadout>(p, *s->analysis);
  s->cursor->install();
  installRecordingFiles(p);
  Subsystems* parts = s.get();
  // "Analyze Buffer" and "Play Buffer" open their temp.wav as the operator's Open does.
  const LiveRecordingParts live =
      installLiveRecording(p, [parts](const std::string& path) { parts->files->OpenFile(path); });
  installStation(p);
  auto notes = installNotes(p);
  installSnapshots(p);
  // Commands dropped by a full queue are counted in the recording log.
  p.commands().setReport([&p](const std::string& line) { AppendRecLog(p, line); });
  auto remote = installRemote(p);
  s->tcpReceiver = installTcpReceiver(p);
  s->gpsLogger = installGpsLogger(p);
  installGpsTextLink(p);
  // The page's buttons take the UDP commands' path.
  s->web = installWebView(p, *live.ramBuffer, *notes,
                          [remote](const std::string& datagram) { remote->submitCommand(datagram); });
  installPlayback(p);
  installPlayList(p);
  AttachDeviceHandlers(p);
  installModes(p);
  s->hooks = installConfig(p);
  p.form1()["SpecialSettings"].on(Event::Click, [&p] { p.options2().setShown(true); });

  StartupHooks& h = *s->hooks;
  AnalysisEngine* a = s->analysis.get();
  h.updateForm = [a] { a->UpdateForm(); };
  h.updateInfo = [a] { a->UpdateInfo(); };
  // The information box also refreshes the recording's duration, free space and hourly-split rule.
  a->onUpdateInfo = [&p] { UpdateInfo(p); };
  h.drawColourBar = [a] { a->Options0_Load(); };
  WindowLayout* layout = s->layout.get();
  h.setForm = [layout] { layout->SetForm(); };
  h.saveSpecGram = [a] { a->SaveSpecGram(); };
  h.restoreSpecGram = [a] { a->RestoreSpecGram(); };
  h.showMainWindow = [&p] {
    p.form1().setWindowState(WindowState::Normal);
    p.form1().setShown(true);
  };
  h.enumerateDevices = [&p] { ListAudioDevices(p); };
  // A mode is chosen and a recording started the way the operator does it, through the menu items.
  h.selectTask = [&p](int task) {
    p.vars().Task = task;
    if (const char* item = modeMenuItem(task)) p.form1()[item].click();
  };
  h.startRecording = [&p] {
    p.commands().press(p.form1()["RealTimeRecording"], CommandOrigin::Local);
    p.commands().press(p.form1()["StartStop"], CommandOrigin::Local);
  };
  h.selectDevices = [&p] {
    if (p.services().audioIn) FindInputDevice(p, p.form1()["Combo10"].text());
    if (p.services().audioOut) FindOutputDevice(p, p.options0()["Combo9"].text());
  };
  s->files = installFiles(p, s->hooks);

  // The modes start the file loops and the file dialogs through the files subsystem.
  FileSubsystem* files = s->files.get();
  if (Modes* m = findModes(p)) {
    m->runFileAnalysis = [files] { files->RunFileAnalysis(); };
    m->runPlayback = [&p, files] {
      RunFilePlay(p, FileLoopHooks{[files] { files->OpenFilewav_Click(); }, files->sendFileInfo});
    };
    m->openFileDialog = [files] { files->OpenFilewav_Click(); };
    // "Close all" re-applies the mode, and a live mode closes the file: the
    // mode's own close only clears the current file, so the two never recurse.
    m->closeFile = [&p] {
      PublicVars& v = p.vars();
      v.CurrentFile.clear();
      v.FilePos = 0;
      v.LastFilePos = 0;
      v.PlayListSize = 0;
    };
  }
  files->sendFileInfo = installTextSend(p);
  files->playbackReposition = [&p] { repositionPlayback(p, p.vars().FilePos); };
  setPlayListOpener(p, [files](const std::string& path) { files->OpenFile(path); });
  return s;
}

}  // namespace qv
