// Batch rendering: one long recording on one core, and several files on
// every core. The files are made once in the temporary folder.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "export/render.h"
#include "platform/fftw/fftw_dsp.h"
#include "platform/qt/qimage_surface.h"

namespace {

std::string benchFolder() {
  std::string d = (std::filesystem::temp_directory_path() / "quorvel-render-bench").string() + "/";
  std::filesystem::create_directories(d);
  return d;
}

// A 48000 Hz mono recording: a slow chirp and a little noise.
std::string makeWav(const std::string& name, int seconds) {
  const std::string path = benchFolder() + name;
  const int rate = 48000;
  const uint32_t n = static_cast<uint32_t>(rate) * static_cast<uint32_t>(seconds);
  if (std::filesystem::exists(path) && std::filesystem::file_size(path) == 48 + 2ull * n) return path;
  std::ofstream f(path, std::ios::binary);
  auto u16 = [&](unsigned v) {
    char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
    f.write(b, 2);
  };
  auto u32 = [&](uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  f.write("RIFF", 4);
  u32(36 + n * 2 + 4);
  f.write("WAVEfmt ", 8);
  u32(16);
  u16(1);
  u16(1);
  u32(rate);
  u32(rate * 2);
  u16(2);
  u16(16);
  f.write("data", 4);
  u32(n * 2 + 4);
  u32(0);
  std::minstd_rand rng(7);
  std::vector<int16_t> buf(65536);
  double phase = 0;
  for (uint32_t i = 0; i < n;) {
    size_t k = 0;
    for (; k < buf.size() && i < n; ++k, ++i) {
      const double hz = 500 + 8000 * std::fmod(i / double(rate), 20.0) / 20.0;
      phase += 2 * M_PI * hz / rate;
      buf[k] = static_cast<int16_t>(8000 * std::sin(phase) + (static_cast<int>(rng() % 2001) - 1000));
    }
    f.write(reinterpret_cast<const char*>(buf.data()), static_cast<std::streamsize>(k * 2));
  }
  return path;
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
  qv::QImageSurfaceFactory surfaces;
  qv::RenderOptions o;
  o.width = static_cast<int>(state.range(0));
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

void RenderEightFiles(benchmark::State& state) {
  std::vector<std::string> ins;
  for (int i = 0; i < 8; ++i) ins.push_back(makeWav("one-minute-" + std::to_string(i) + ".wav", 60));
  qv::FftwDsp dsp;
  qv::QImageSurfaceFactory surfaces;
  qv::RenderOptions o;
  o.width = 2000;
  o.jobs = static_cast<int>(state.range(0));
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

// Axis labels need fonts, and fonts need a GUI application (never a display).
int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
