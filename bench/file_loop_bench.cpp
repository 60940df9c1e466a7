// Spectrogram columns per second through the file analysis loop: frame after
// frame of a 48000 Hz recording, read, converted, analysed and drawn.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "analysis/engine.h"
#include "bench_wav.h"
#include "config/assembly.h"
#include "core/program.h"
#include "files/file_loop.h"
#include "files/install.h"
#include "platform/doubles/fake_clock.h"
#include "platform/doubles/scripted_dialogs.h"
#include "platform/doubles/scripted_pump.h"
#include "platform/fftw/fftw_dsp.h"
#include "platform/qt/qimage_surface.h"

namespace {

// A representative slice of a long recording: ten minutes at 48000 Hz mono,
// a chirp with a little noise.
std::string benchFile() {
  uint32_t x = 1;
  return bench::monoWav("qv_file_loop_bench_48k.wav", 48000, 48000u * 600u, [&](uint64_t i) {
    x = x * 1103515245u + 12345u;
    const double t = static_cast<double>(i);
    return static_cast<int16_t>(std::lround(9000 * std::sin(0.07 * t + 0.00001 * t * t / 48000) +
                                            static_cast<double>((x >> 16) % 400) - 200));
  });
}

void FileAnalysisColumns(benchmark::State& state) {
  qv::FftwDsp dsp;
  qv::ScriptedDialogs dialogs;
  qv::ScriptedPump pump;
  qv::FakeClock clock;
  qv::QImageSurfaceFactory surfaces;
  qv::Services s;
  s.dsp = &dsp;
  s.dialogs = &dialogs;
  s.pump = &pump;
  s.clock = &clock;
  s.surfaces = &surfaces;
  qv::Program program(s, "/tmp/qv_file_loop_bench_prog/");
  auto subsystems = qv::assembleProgram(program);
  program.vars().Task = 4;
  program.form1()["Combo6"].setText(std::to_string(state.range(0)));
  subsystems->files->OpenFile(benchFile());
  qv::PublicVars& v = program.vars();

  int64_t columns = 0;
  int width = 0;
  // Every pass steps one frame on, back to the start at the end of the file.
  pump.every([&] {
    if (auto surf = program.form1()["SpecGram"].surface()) width = surf->width();
    columns += std::max(0, std::min(v.ColumnX, width));
    if (v.FilePos + v.FileStep >= v.FileSize) v.FilePos = v.HeaderSize;
    else v.FilePos += v.FileStep;
  });
  for (auto _ : state) {
    state.PauseTiming();
    const long stopAt = pump.passes + 20;
    pump.at(stopAt, [&] { program.requestStop(); });
    v.FilePos = 0;
    state.ResumeTiming();
    subsystems->files->RunFileAnalysis();
  }
  state.counters["columns/s"] = benchmark::Counter(static_cast<double>(columns), benchmark::Counter::kIsRate);
  state.counters["width"] = width;
}
BENCHMARK(FileAnalysisColumns)->Arg(512)->Arg(128)->Unit(benchmark::kMillisecond);

}  // namespace
