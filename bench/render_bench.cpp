// Batch rendering: one long recording on one core, the same shared out to
// every worker, and several files on every core. The files are made once in
// the temporary folder.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_wav.h"
#include "export/render.h"
#include "platform/fftw/fftw_dsp.h"
#include "platform/qt/indexed_surface.h"

namespace {

std::string benchFolder() {
  std::string d = (std::filesystem::temp_directory_path() / "quorvel-render-bench").string() + "/";
  std::filesystem::create_directories(d);
  return d;
}

// A 48000 Hz mono recording: a slow chirp and a little noise.
std::string makeWav(const std::string& name, int seconds) {
  const int rate = 48000;
  std::minstd_rand rng(7);
  double phase = 0;
  return bench::monoWav("quorvel-render-bench-" + name, rate, uint64_t(rate) * uint64_t(seconds), [&](uint64_t i) {
    const double hz = 500 + 8000 * std::fmod(double(i) / rate, 20.0) / 20.0;
    phase += 2 * M_PI * hz / rate;
    return static_cast<int16_t>(8000 * std::sin(phase) + (static_cast<int>(rng() % 2001) - 1000));
  });
}

// FFT 1024, hop 256, Hanning, one row per bin up to 512 rows: the settings
// the sox comparison uses.
qv::RenderSettings settings() {
  qv::RenderSettings s;
  s.fftSize = 1024;
  s.scanStep = 256;
  s.zoomMode = 1;
  s.column.order = 10;
  s.column.windowSize = 1024;
  s.column.windowType = 1;
  s.column.displayHeight = 512;
  s.column.levelStart = 384;
  s.column.levelLength = 256;
  s.column.binWidthHz = 48000.0f / 1024;
  return s;
}

void RenderTenMinutesOneCore(benchmark::State& state) {
  const std::string in = makeWav("ten-minutes.wav", 600);
  qv::FftwDsp dsp;
  qv::IndexedSurfaceFactory surfaces(1);  // what the command draws on
  qv::RenderOptions o;
  o.width = static_cast<int>(state.range(0));
  o.force = true;
  const std::string out = benchFolder() + "ten-minutes.png";
  int64_t columns = 0;
  for (auto _ : state) {
    auto r = qv::renderFile(in, out, settings(), o, dsp, surfaces);
    if (!r.ok) state.SkipWithError(r.error.c_str());
    columns = r.columns;
  }
  state.counters["columns"] = static_cast<double>(columns);
  state.counters["audio_s_per_s"] = benchmark::Counter(600.0 * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(RenderTenMinutesOneCore)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();

// One file, its columns shared out in ranges: compare Arg(1) with the rest.
void RenderTenMinutesWorkers(benchmark::State& state) {
  const std::vector<std::string> in = {makeWav("ten-minutes.wav", 600)};
  qv::FftwDsp dsp;
  qv::IndexedSurfaceFactory surfaces(static_cast<int>(state.range(0)));
  qv::RenderOptions o;
  o.jobs = static_cast<int>(state.range(0));
  o.force = true;
  o.output = benchFolder() + "long-" + std::to_string(o.jobs) + ".png";
  for (auto _ : state) {
    auto rs = qv::renderAll(in, settings(), o, dsp, surfaces);
    if (!rs[0].ok) state.SkipWithError(rs[0].error.c_str());
  }
  state.counters["audio_s_per_s"] = benchmark::Counter(600.0 * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(RenderTenMinutesWorkers)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void RenderEightFiles(benchmark::State& state) {
  std::vector<std::string> ins;
  for (int i = 0; i < 8; ++i) ins.push_back(makeWav("one-minute-" + std::to_string(i) + ".wav", 60));
  qv::FftwDsp dsp;
  qv::IndexedSurfaceFactory surfaces(static_cast<int>(state.range(0)));  // what the command draws on
  qv::RenderOptions o;
  o.width = 2000;
  o.jobs = static_cast<int>(state.range(0));
  o.force = true;
  o.output = benchFolder() + "out-" + std::to_string(o.jobs);
  std::filesystem::create_directories(o.output);
  for (auto _ : state) {
    auto rs = qv::renderAll(ins, settings(), o, dsp, surfaces);
    for (auto& r : rs)
      if (!r.ok) state.SkipWithError(r.error.c_str());
  }
  state.counters["audio_s_per_s"] = benchmark::Counter(480.0 * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(RenderEightFiles)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
