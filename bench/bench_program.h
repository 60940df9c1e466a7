// A whole program for the live benchmarks, with doubles for the world:
// captured blocks come from `in`, and the loops run as the assembled
// program runs them, minus the windows.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "config/assembly.h"
#include "core/program.h"
#include "platform/doubles/fake_audio.h"
#include "platform/doubles/fake_clock.h"
#include "platform/doubles/fake_disk.h"
#include "platform/doubles/scripted_dialogs.h"
#include "platform/doubles/scripted_pump.h"
#include "platform/fftw/fftw_dsp.h"
#include "platform/qt/qimage_surface.h"

namespace bench {

struct BenchProgram {
  qv::FakeAudioInput in;
  qv::FftwDsp dsp;
  qv::ScriptedDialogs dialogs;
  qv::ScriptedPump pump;
  qv::FakeClock clock{10, 59, 30};
  qv::FakeDisk disk;
  qv::QImageSurfaceFactory surfaces;
  std::string folder;
  std::unique_ptr<qv::Program> program;
  std::unique_ptr<qv::Subsystems> subsystems;

  // `name`: the program folder's name in the temporary folder.
  explicit BenchProgram(const std::string& name)
      : folder((std::filesystem::temp_directory_path() / name).string() + "/") {
    std::filesystem::create_directories(folder);
    qv::Services s;
    s.audioIn = &in;
    s.dsp = &dsp;
    s.dialogs = &dialogs;
    s.pump = &pump;
    s.clock = &clock;
    s.disk = &disk;
    s.surfaces = &surfaces;
    program = std::make_unique<qv::Program>(s, folder);
    subsystems = qv::assembleProgram(*program);
  }
  qv::Program& p() { return *program; }
};

}  // namespace bench
