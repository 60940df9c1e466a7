// Blocks per second through the one-channel live loop body: capture slot,
// participants, conditioning, columns, drawing, scrolling and the pass end.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "bench_program.h"
#include "realtime/live_loop.h"
#include "realtime/modes.h"

namespace {

void LiveLoopMonoBlocks(benchmark::State& state) {
  const int block = static_cast<int>(state.range(0));
  const int updateRate = static_cast<int>(state.range(1));
  bench::BenchProgram rig("qv_live_bench");
  qv::Program& p = rig.p();
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
    rig.in.completeNext(samples);
    loop.pass();
  }
  loop.tearDown();
  state.SetItemsProcessed(static_cast<int64_t>(loop.blocks()));
  state.counters["columns_per_block"] = loop.columnsPerBlock();
}
BENCHMARK(LiveLoopMonoBlocks)->Args({4096, 2})->Args({16384, 2})->Args({16384, 1})->Args({16384, 16});

}  // namespace
