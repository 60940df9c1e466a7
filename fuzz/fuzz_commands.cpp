// Datagrams on the command socket of a whole program assembled with the
// platform doubles: the arrival handler, the command path and every command
// the datagrams reach (runs, recordings, mode changes, snapshots, buffer
// saves). Datagrams also arrive inside the runs and waits they start.
//
// Input: datagrams separated by '\n'. A datagram whose first byte is odd
// comes from a sender outside the allow-list; one starting with '#' sets the
// allow-list instead. The first byte is dropped in both cases.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

#include "config/assembly.h"
#include "config/command_line.h"
#include "config/startup.h"
#include "core/program.h"
#include "platform/doubles/fake_audio.h"
#include "platform/doubles/fake_clock.h"
#include "platform/doubles/fake_disk.h"
#include "platform/doubles/fake_network.h"
#include "platform/doubles/recording_text_link.h"
#include "platform/doubles/scripted_dialogs.h"
#include "platform/doubles/scripted_pump.h"
#include "platform/fftw/fftw_dsp.h"
#include "support/memory_surface.h"
#include "support/temp_dir.h"

namespace {

using namespace qv;

struct MemorySurfaces : SurfaceFactory {
  std::shared_ptr<Surface> create(int w, int h) override {
    if (w <= 0 || h <= 0 || w > 4096 || h > 4096) return nullptr;
    return std::make_shared<test::MemorySurface>(w, h);
  }
};

constexpr long kMaxPasses = 3000;

struct World {
  test::TempDir home;
  FakeAudioInput audioIn;
  FakeAudioOutput audioOut;
  FftwDsp dsp;
  ScriptedDialogs dialogs;
  ScriptedPump pump;
  FakeClock clock{10, 59, 30};
  FakeDisk disk;
  FakeNetwork net;
  MemorySurfaces surfaces;
  RecordingTextLink textLink;
  std::unique_ptr<Program> program;
  std::unique_ptr<Subsystems> subsystems;
  std::deque<std::string> pending;
  FakeUdpSocket* socket = nullptr;

  World() {
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
    program = std::make_unique<Program>(s, home.path());
    subsystems = assembleProgram(*program);
    startUp(*program, CommandLine{}, *subsystems->hooks, StartupOptions{false});
    Form& o0 = program->options0();
    o0["FileRecPathField"].setText(home.path());
    o0["DefPlayPathField"].setText(home.path());
    program->options1()["DefSavePath"].setText(home.path());
    program->options1()["DefLogPath"].setText(home.path());
    program->options2()["Combo2"].setText("4");
    program->form1()["Combo1"].setText("2048");
    o0["chkUDPSlave"].setValue(1);
    socket = net.udpOn(o0["LocalPort2"].intNumber());
    if (!socket) __builtin_trap();

    // Every pass: time goes on, the device fills a block, the next datagram
    // arrives; a run still going when the input is used up is stopped.
    pump.every([this] {
      clock.advance(0.01);
      audioIn.completeNextRamp(static_cast<int16_t>(pump.passes));
      check();
      if (!pending.empty() && pump.passes < kMaxPasses) {
        std::string piece = std::move(pending.front());
        pending.pop_front();
        arrive(piece);
      } else {
        program->vars().StopFlag = true;
      }
    });
  }
  ~World() {
    subsystems.reset();
    program.reset();
  }

  void check() {
    const CommandPath& c = program->commands();
    const CommandPath::Limits& lim = c.limits();
    if (c.queued() > lim.remoteCommands + lim.localCommands) __builtin_trap();
    if (c.queuedBytes() > lim.remoteBytes + lim.localBytes) __builtin_trap();
    // One command's handler, or one inside the run another one started.
    if (c.commandsRunning() > 2) __builtin_trap();
  }

  void arrive(const std::string& piece) {
    if (piece.empty()) {
      socket->inject(piece);
      return;
    }
    const char tag = piece[0];
    const std::string data = piece.substr(1);
    if (tag == '#') {
      program->options0()["AllowedIP2"].setText(data);
      return;
    }
    socket->inject(data, (tag & 1) ? "10.9.8.7" : "127.0.0.1");
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  World w;
  std::string_view in(reinterpret_cast<const char*>(data), size);
  for (size_t start = 0; start <= in.size();) {
    size_t end = in.find('\n', start);
    if (end == std::string_view::npos) end = in.size();
    w.pending.emplace_back(in.substr(start, end - start));
    start = end + 1;
  }
  // The idle program takes each datagram as it comes; what a run or a wait
  // does not take, the event loop's next turns do.
  for (int turn = 0; turn < 200 && (!w.pending.empty() || w.program->commands().queued() > 0); ++turn) {
    if (!w.pending.empty()) {
      std::string piece = std::move(w.pending.front());
      w.pending.pop_front();
      w.arrive(piece);
    }
    w.pump.processEvents();
  }
  w.check();
  if (w.program->commands().commandsRunning() != 0) __builtin_trap();
  return 0;
}
