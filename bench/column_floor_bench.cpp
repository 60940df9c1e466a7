// The spectrum column against its floor: the cheapest code a person would
// write for the same column (window, FFTW r2c planned with the program's
// flags, power, dB of the rows shown; no averaging, no palette) and the
// program's ComputeSpectrumColumn with the default settings (Hanning over the
// whole transform, 256 rows, one row per bin while the band fits them, else
// the band compressed, dB scale, scan step 512 as the level range).
//
// Both run in the same benchmark, batch after batch over the same columns,
// taking turns at going first, timed by the thread's own CPU clock; the ratio
// is of the median batch times, so a neighbour's burst on a shared machine
// moves both sides or neither.
#include <benchmark/benchmark.h>

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "analysis/spectrum.h"
#include "bench_summary.h"
#include "core/program.h"
#include "platform/fftw/fftw_dsp.h"

namespace {

constexpr int kRows = 256;      // the default display height
constexpr int kScanStep = 512;  // the default scan step

class Floor {
 public:
  Floor(int order, const float* window, unsigned flags, int binsPerRow)
      : n_(1 << order), window_(window), z_(binsPerRow) {
    in_ = fftwf_alloc_real(static_cast<size_t>(n_));
    out_ = fftwf_alloc_complex(static_cast<size_t>(n_ / 2 + 1));
    plan_ = fftwf_plan_dft_r2c_1d(n_, in_, out_, flags);
  }
  ~Floor() {
    fftwf_destroy_plan(plan_);
    fftwf_free(in_);
    fftwf_free(out_);
  }
  Floor(const Floor&) = delete;
  Floor& operator=(const Floor&) = delete;

  void column(const int16_t* x, float* db) {
    for (int i = 0; i < n_; ++i) in_[i] = static_cast<float>(x[i]) * window_[i];
    fftwf_execute(plan_);
    // A compressed row is never below 1.0, a single bin never below 0.001.
    const float least = z_ > 1 ? 1.0f : 0.001f;
    for (int r = 0; r < kRows; ++r) {
      float m = least;
      for (int b = r * z_; b < (r + 1) * z_; ++b) m = std::max(m, out_[b][0] * out_[b][0] + out_[b][1] * out_[b][1]);
      db[r] = 20.0f * std::log10(m);
    }
  }

 private:
  int n_;
  const float* window_;
  int z_;
  float* in_;
  fftwf_complex* out_;
  fftwf_plan plan_;
};

// CPU seconds of this thread: time spent waiting for a core is not counted.
double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

void ColumnAgainstFloor(benchmark::State& state) {
  const int order = static_cast<int>(state.range(0));
  const int n = 1 << order;
  qv::FftwDsp dsp;
  qv::SpectrumEngine engine(dsp);
  qv::PublicVars vars;
  vars.specVsize = kRows;
  qv::ColumnSetup s;
  s.order = order;
  s.windowSize = n;
  s.windowType = 1;
  s.displayHeight = kRows;
  s.zoomFactor = std::max(1, n / kRows / 2);
  s.levelStart = (n - std::min(kScanStep, n)) / 2;
  s.levelLength = std::min(kScanStep, n);
  s.binWidthHz = 48000.0f / static_cast<float>(n);
  // The live rule: one row per bin whenever the band fits the rows.
  vars.ZoomMode = 2 * kRows >= n ? 1 : 0;
  const int binsPerRow = vars.ZoomMode == 1 ? 1 : s.zoomFactor;

  // A sweeping tone over a noise floor: every row has a level of its own.
  std::minstd_rand rng(3);
  int16_t* x = engine.samples();
  double phase = 0;
  for (int i = 0; i < qv::kSampleCapacity; ++i) {
    phase += 0.02 + 2.5 * i / qv::kSampleCapacity;
    x[i] = static_cast<int16_t>(std::lround(12000 * std::sin(phase)) + static_cast<int>(rng() % 601) - 300);
  }
  engine.beginRun(s);
  Floor floor(order, engine.windowTable(), dsp.planFlags(), binsPerRow);

  const int batch = std::max(4, 65536 / n);
  const int hop = n / 2;
  const int lastStart = qv::kSampleCapacity - n - 1;
  std::vector<float> db(kRows);
  std::vector<double> floorTimes, columnTimes;
  int start = 0;
  bool floorFirst = true;
  for (auto _ : state) {
    if (start + batch * hop > lastStart) start = 0;
    double tf = 0, tc = 0;
    for (int pass = 0; pass < 2; ++pass) {
      const bool runFloor = (pass == 0) == floorFirst;
      const double t0 = bench::threadSeconds();
      if (runFloor)
        for (int b = 0; b < batch; ++b) floor.column(x + start + b * hop, db.data());
      else
        for (int b = 0; b < batch; ++b) benchmark::DoNotOptimize(engine.ComputeSpectrumColumn(start + b * hop, vars));
      const double t = bench::threadSeconds() - t0;
      (runFloor ? tf : tc) = t;
    }
    benchmark::ClobberMemory();
    floorTimes.push_back(tf / batch);
    columnTimes.push_back(tc / batch);
    state.SetIterationTime(tf + tc);
    floorFirst = !floorFirst;
    start += batch * hop;
  }

  // Both compute the same column (the program's rows carry its display offset).
  floor.column(x, db.data());
  engine.ComputeSpectrumColumn(0, vars);
  const float offset = static_cast<float>(12 * order - 60);
  float worst = 0;
  for (int r = 0; r < kRows; ++r) worst = std::max(worst, std::fabs(engine.column()[r] + offset - db[r]));
  if (worst > 0.01f) {
    char why[96];
    std::snprintf(why, sizeof why, "column and floor differ by %.4f dB", worst);
    state.SkipWithError(why);
    return;
  }

  const double f = median(floorTimes), c = median(columnTimes);
  state.counters["floor_us"] = f * 1e6;
  state.counters["column_us"] = c * 1e6;
  state.counters["ratio"] = f > 0 ? c / f : 0;
  char line[160];
  std::snprintf(line, sizeof line, "floor %5d: %9.3f us   column %5d: %9.3f us", n, f * 1e6, n, c * 1e6);
  bench::summary("column-floor-1-" + std::to_string(100 + order), line);
  std::snprintf(line, sizeof line, "ratio column/floor %d: %.2f", n, f > 0 ? c / f : 0.0);
  bench::summary("column-floor-2-" + std::to_string(100 + order), line);
}
BENCHMARK(ColumnAgainstFloor)->Arg(9)->Arg(10)->Arg(11)->Arg(12)->Arg(14)->ArgName("order")->UseManualTime();

}  // namespace
