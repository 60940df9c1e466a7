// Blocks per second through the one-channel live loop body: capture slot,
// participants, conditioning, columns, drawing, scrolling and the pass end.
#include <benchmark/benchmark.h>


#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "config/assembly.h"
#include "core/program.h"
#include "platform/doubles/fake_audio.h"
#include "platform/doubles/fake_clock.h"
#include "platform/doubles/fake_disk.h"
#include "platform/doubles/scripted_dialogs.h"
#include "platform/doubles/scripted_pump.h"
#include "platform/fftw/fftw_dsp.h"
#include "platform/qt/qimage_surface.h"
#include "realtime/live_loop.h"
#include "realtime/modes.h"

namespace {

void LiveLoopMonoBlocks(benchmark::State& state) {
  const int block = static_cast<int>(state.range(0));
  const int updateRate = static_cast<int>(state.range(1));
  qv::FakeAudioInput in;
  qv::FftwDsp dsp;
  qv::ScriptedDialogs dialogs;
  qv::ScriptedPump pump;
  qv::FakeClock clock{10, 59, 30};
  qv::FakeDisk disk;
  qv::QImageSurfaceFactory surfaces;
  qv::Services s;
  s.audioIn = &in;
  s.dsp = &dsp;
  s.dialogs = &dialogs;
  s.pump = &pump;
  s.clock = &clock;
  s.disk = &disk;
  s.surfaces = &surfaces;
  const std::string folder = (std::filesystem::temp_directory_path() / "qv_live_bench/").string();
  std::filesystem::create_directories(folder);
  qv::Program p(s, folder);
  auto subsystems = qv::assembleProgram(p);
  p.form1()["Combo1"].setText(std::to_string(block));
  p.form1()["Combo3"].setText("512");
  p.form1()["Combo6"].setText("256");
  p.options1()["Combo9"].setText(std::to_string(updateRate));
  p.form1()["SpecGram"].setGeometry({80, 40, 900, 400});
  p.options2()["Combo2"].setText("4");

  std::vector<int16_t> samples(static_cast<size_t>(block));
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(std::lround(9000 * std::sin(0.07 * double(i)) + 500 * std::sin(1.9 * double(i))));

  qv::LiveLoop& loop = qv::findModes(p)->live();
  if (!loop.setUp(false)) {
    state.SkipWithError("set-up failed");
    return;
  }
  for (auto _ : state) {
    in.completeNext(samples);
    loop.pass();
  }
  loop.tearDown();
  state.SetItemsProcessed(static_cast<int64_t>(loop.blocks()));
  state.counters["columns_per_block"] = loop.columnsPerBlock();
}
BENCHMARK(LiveLoopMonoBlocks)->Args({4096, 2})->Args({16384, 2})->Args({16384, 1})->Args({16384, 16});

}  // namespace
