// Spectrum columns per second through the whole column pipeline.
#include <benchmark/benchmark.h>

#include <cmath>

#include "analysis/spectrum.h"
#include "core/program.h"
#include "platform/fftw/fftw_dsp.h"
#include "realtime/spectrum_ops.h"

namespace {

void ComputeSpectrumColumn(benchmark::State& state) {
  const int order = static_cast<int>(state.range(0));
  const int n = 1 << order;
  qv::FftwDsp dsp;
  qv::SpectrumEngine engine(dsp);
  qv::SpectrumOps ops;
  engine.ops = &ops;
  qv::PublicVars vars;
  qv::ColumnSetup s;
  s.order = order;
  s.windowSize = n;
  s.windowType = 1;
  s.displayHeight = 256;
  s.zoomFactor = std::max(1, n / 512);
  s.levelStart = n / 4;
  s.levelLength = n / 2;
  s.avgMode = static_cast<int>(state.range(1));
  s.binWidthHz = 48000.0f / n;
  for (int i = 0; i < 65536; ++i)
    engine.samples()[i] = static_cast<int16_t>(std::lround(12000 * std::sin(0.05 * i) + 300 * std::sin(1.3 * i)));
  engine.beginRun(s);
  vars.ZoomMode = 0;
  const int hop = n / 2;
  int start = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(engine.ComputeSpectrumColumn(start, vars));
    start += hop;
    if (start + n >= 65536) start = 0;
  }
  state.counters["columns/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(ComputeSpectrumColumn)->Args({10, 0})->Args({12, 0})->Args({10, 1})->Args({12, 1})->ArgNames({"order", "avg"});
