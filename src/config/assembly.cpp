#include "config/assembly.h"

#include "analysis/engine.h"
#include "config/startup.h"
#include "core/designer.h"
#include "core/program.h"
#include "export/snapshot.h"
#include "files/playback.h"
#include "files/playlist.h"
#include "realtime/devices.h"
#include "recording/notes_log.h"
#include "recording/recording_files.h"

namespace qv {

Subsystems::~Subsystems() = default;

std::unique_ptr<Subsystems> assembleProgram(Program& p) {
  auto s = std::make_unique<Subsystems>();
  buildForms(p.forms());
  s->analysis = installAnalysis(p);
  installRecordingFiles(p);
  installNotes(p);
  installSnapshots(p);
  installPlayback(p);
  installPlayList(p);
  AttachDeviceHandlers(p);
  s->hooks = installConfig(p);
  p.form1()["SpecialSettings"].on(Event::Click, [&p] { p.options2().setShown(true); });

  StartupHooks& h = *s->hooks;
  AnalysisEngine* a = s->analysis.get();
  h.updateForm = [a] { a->UpdateForm(); };
  h.updateInfo = [a] { a->UpdateInfo(); };
  h.drawColourBar = [a] { a->Options0_Load(); };
  h.enumerateDevices = [&p] { ListAudioDevices(p); };
  h.selectDevices = [&p] {
    if (p.services().audioIn) FindInputDevice(p, p.form1()["Combo10"].text());
    if (p.services().audioOut) FindOutputDevice(p, p.options0()["Combo9"].text());
  };
  return s;
}

}  // namespace qv
