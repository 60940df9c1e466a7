// A whole program with every subsystem attached and doubles for the world:
// what the operator or a remote program would drive, minus the windows.
#pragma once

#include <memory>

#include "config/assembly.h"
#include "core/program.h"
#include "export/model_screen_grab.h"
#include "platform/doubles/fake_audio.h"
#include "platform/doubles/fake_clock.h"
#include "platform/doubles/fake_disk.h"
#include "platform/doubles/fake_network.h"
#include "platform/doubles/recording_text_link.h"
#include "platform/doubles/scripted_dialogs.h"
#include "platform/doubles/scripted_pump.h"
#include "platform/fftw/fftw_dsp.h"
#include "platform/qt/qimage_surface.h"
#include "support/temp_dir.h"

namespace qv::test {

struct ProgramRig {
  TempDir home;
  FakeAudioInput audioIn;
  FakeAudioOutput audioOut;
  FftwDsp dsp;
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  FakeClock clock{10, 59, 30};
  FakeDisk disk;
  FakeNetwork net;
  QImageSurfaceFactory surfaces;
  RecordingTextLink textLink;
  ModelScreenGrab screen;
  std::unique_ptr<Program> program;
  std::unique_ptr<Subsystems> subsystems;

  ProgramRig() {
    Services s;
    s.audioIn = &audioIn;
    s.audioOut = &audioOut;
    s.dsp = &dsp;
    s.dialogs = &dialogs;
    s.pump = &pump;
    s.clock = &clock;
    s.disk = &disk;
    s.net = &net;
    s.surfaces = &surfaces;
    s.textLink = &textLink;
    s.screen = &screen;
    program = std::make_unique<Program>(s, home.path());
    screen.attach(*program);
    subsystems = assembleProgram(*program);
    // Nothing a test does may land in the user's own folders.
    program->options0()["FileRecPathField"].setText(home.path());
    program->options0()["DefPlayPathField"].setText(home.path());
    program->options1()["DefSavePath"].setText(home.path());
    program->options1()["DefLogPath"].setText(home.path());
  }

  Program& p() { return *program; }
  Control& form1(const std::string& name) { return program->form1()[name]; }
  Control& options0(const std::string& name) { return program->options0()[name]; }
  Control& options1(const std::string& name) { return program->options1()[name]; }
  Control& options2(const std::string& name) { return program->options2()[name]; }
};

}  // namespace qv::test
