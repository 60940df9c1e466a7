// The controls-file reader and the preset reader, which read files that
// users copy between stations and edit by hand, applied to the whole
// assembled program so every change handler they set off runs too.
#include <cstdint>
#include <filesystem>
#include <string>

#include "config/assembly.h"
#include "config/presets.h"
#include "config/settings_file.h"
#include "config/startup.h"
#include "core/control.h"
#include "core/program.h"
#include "platform/doubles/fake_clock.h"
#include "platform/doubles/fake_disk.h"
#include "platform/doubles/scripted_dialogs.h"
#include "platform/doubles/scripted_pump.h"

namespace {

const std::string& home() {
  static const std::string h = [] {
    std::string d = (std::filesystem::temp_directory_path() / "quorvel-fuzz-settings/").string();
    std::filesystem::create_directories(d);
    return d;
  }();
  return h;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::ScriptedDialogs dialogs;
  qv::ScriptedPump pump;
  qv::FakeClock clock{10, 59, 30};
  qv::FakeDisk disk;
  qv::Services s;
  s.dialogs = &dialogs;
  s.pump = &pump;
  s.clock = &clock;
  s.disk = &disk;
  qv::Program p(s, home());
  auto parts = qv::assembleProgram(p);
  const std::string text(reinterpret_cast<const char*>(data), size);
  qv::applyControlsText(p, text);
  qv::applyPresetText(p, text, *parts->hooks);

  // Whatever was read, the program can still save it as a controls file:
  // one line per control, no value that breaks a line.
  for (const char* section : {"FORM1", "OPTIONS0", "OPTIONS1"}) {
    qv::Form* f = p.forms().find(section);
    if (!f) __builtin_trap();
    for (auto& c : f->controls()) {
      if (!c->isSaved()) continue;
      const std::string line = qv::controlsFileLine(c->key(), qv::controlsFileValue(*c));
      if (line.find('\n') != std::string::npos) __builtin_trap();
    }
  }
  return 0;
}
