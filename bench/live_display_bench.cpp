// The live display at a high rate, as the windowed program draws it: 192000
// Hz stereo, FFT 2048 over a 2048-sample window, scan step 256, a 512-row
// spectrogram on QImage surfaces in the main window's picture at its widest
// design width (1600 pixels: the picture is what is left of the window
// beside the quick-settings frame). Blocks of the default size come from the
// Test Signal's generator through the capture ring; each pass is timed by
// the thread's own CPU clock, the synthesis of its block separately, and
// both are given as the share of one core that a second of audio takes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "bench_program.h"
#include "bench_summary.h"
#include "core/designer.h"
#include "platform/audio/test_signal.h"
#include "realtime/live_loop.h"
#include "realtime/modes.h"

namespace {

constexpr int kRate = 192000;
constexpr int kWidestWindow = 1600;
constexpr int kRows = 512;

void LiveDisplayStereo192k(benchmark::State& state) {
  bench::BenchProgram rig("qv_live_display_bench");
  qv::FakeAudioInput& in = rig.in;
  qv::FakeClock& clock = rig.clock;
  qv::Program& p = rig.p();

  // The window laid out at its widest: the quick-settings frame at its right.
  qv::Form& f = p.form1();
  f.setSize(kWidestWindow, qv::design::kFormHeight + kRows - qv::design::kSpecVsize);
  qv::Geometry quick = f["Frame1"].geometry();
  quick.left = kWidestWindow - qv::design::kQuickWidth - 16;
  f["Frame1"].setGeometry(quick);
  p.vars().specVsize = kRows;
  p.options1()["Combo4"].setText(std::to_string(kRows));
  f["Combo7"].setText(std::to_string(kRows));
  f["Combo2"].setText(std::to_string(kRate));
  p.options0()["NchanCombo"].setText("2 - stereo");
  f["Combo3"].setText("2048");
  f["Combo4"].setText("2048");
  f["Combo6"].setText("256");

  qv::LiveLoop& loop = qv::findModes(p)->live();
  if (!loop.setUp(true)) {
    state.SkipWithError("set-up failed");
    return;
  }
  const int blockSamples = loop.params().BlockSize;
  const int frames = blockSamples / 2;
  const double blockSeconds = static_cast<double>(frames) / kRate;
  qv::TestSignalGenerator signal(1, kRate, 2);
  std::vector<int16_t> block(static_cast<size_t>(blockSamples));

  double liveSeconds = 0, synthSeconds = 0;
  int64_t blocks = 0;
  for (auto _ : state) {
    const double t0 = bench::threadSeconds();
    signal.generate(block.data(), frames);
    const double t1 = bench::threadSeconds();
    in.completeNext(block);
    loop.pass();
    clock.advance(blockSeconds);
    const double t2 = bench::threadSeconds();
    synthSeconds += t1 - t0;
    liveSeconds += t2 - t1;
    ++blocks;
  }
  const double columns = static_cast<double>(p.vars().ColumnCount);
  const int width = loop.draw().layout().pictureWidth;
  const int updateRate = loop.draw().updateRate();
  loop.tearDown();

  const double audio = static_cast<double>(blocks) * blockSeconds;
  const double live = audio > 0 ? 100.0 * liveSeconds / audio : 0;
  const double synth = audio > 0 ? 100.0 * synthSeconds / audio : 0;
  state.counters["live_%core"] = live;
  state.counters["synth_%core"] = synth;
  state.counters["picture_width"] = width;
  state.counters["columns_per_block"] = blocks > 0 ? columns / static_cast<double>(blocks) : 0;
  char line[200];
  std::snprintf(line, sizeof line,
                "live display 192000 Hz stereo, FFT 2048, scan step 256, %d x %d picture, update rate %d: "
                "%.2f %% of one core per second of audio",
                width, kRows, updateRate, live);
  bench::summary("live-1", line);
  std::snprintf(line, sizeof line, "Test Signal synthesis 192000 Hz stereo: %.2f %% of one core per second of audio",
                synth);
  bench::summary("live-2", line);
  std::snprintf(line, sizeof line, "live display with the Test Signal: %.2f %% of one core per second of audio",
                live + synth);
  bench::summary("live-3", line);
}
BENCHMARK(LiveDisplayStereo192k)->Unit(benchmark::kMillisecond);

}  // namespace
