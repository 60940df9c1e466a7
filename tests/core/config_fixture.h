// A program with its windows, scripted dialogs, a fake clock and a temporary
// program folder, for the settings, preset and start-up tests.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "config/startup.h"
#include "core/designer.h"
#include "core/program.h"
#include "platform/doubles/fake_clock.h"
#include "platform/doubles/scripted_dialogs.h"
#include "platform/doubles/scripted_pump.h"
#include "support/temp_dir.h"

namespace qv::test {

struct ConfigRig {
  TempDir dir;
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  FakeClock clock;
  std::unique_ptr<Program> program;

  explicit ConfigRig(const std::string& sub = "prog/") {
    std::filesystem::create_directories(dir.path() + sub);
    Services s;
    s.dialogs = &dialogs;
    s.pump = &pump;
    s.clock = &clock;
    program = std::make_unique<Program>(s, dir.path() + sub);
    buildForms(program->forms());
  }
  Program& p() { return *program; }
  Control& f1(const std::string& n) { return p().form1()[n]; }
  Control& o0(const std::string& n) { return p().options0()[n]; }
  Control& o1(const std::string& n) { return p().options1()[n]; }
  std::string prog(const std::string& name) { return p().programFile(name); }
};

// Runs the test body in a folder of its own: temp.preset goes to the working folder.
class CwdGuard {
 public:
  explicit CwdGuard(const std::string& folder) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~CwdGuard() {
    std::error_code ec;
    std::filesystem::current_path(old_, ec);
  }

 private:
  std::filesystem::path old_;
};

}  // namespace qv::test
