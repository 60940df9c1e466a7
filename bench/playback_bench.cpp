// Playback speed against real time: a 48000 Hz recording played through the
// output double (which plays whatever is queued at once), every block read,
// queued, analysed and drawn as the live display draws it. The counter
// "x realtime" is file seconds shown per second of work; below 1 the output
// would run dry.
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/assembly.h"
#include "core/program.h"
#include "files/playback.h"
#include "platform/doubles/fake_audio.h"
#include "platform/doubles/fake_clock.h"
#include "platform/doubles/scripted_dialogs.h"
#include "platform/doubles/scripted_pump.h"
#include "platform/fftw/fftw_dsp.h"
#include "platform/qt/qimage_surface.h"
#include "realtime/devices.h"

namespace {

constexpr int kRate = 48000;
constexpr int kSeconds = 20;

std::string playFile() {
  static std::string path;
  if (!path.empty()) return path;
  path = (std::filesystem::temp_directory_path() / "qv_playback_bench_48k.wav").string();
  const uint32_t frames = uint32_t(kRate) * kSeconds;
  const uint32_t data = frames * 2 + 4;
  std::ofstream f(path, std::ios::binary);
  auto u32 = [&](uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
  f.write("RIFF", 4);
  u32(36 + data);
  f.write("WAVEfmt ", 8);
  u32(16);
  u16(1);
  u16(1);
  u32(kRate);
  u32(kRate * 2);
  u16(2);
  u16(16);
  f.write("data", 4);
  u32(data);
  u32(0);
  std::vector<int16_t> samples(frames);
  for (size_t i = 0; i < samples.size(); ++i) {
    const double t = static_cast<double>(i);
    samples[i] = static_cast<int16_t>(std::lround(9000 * std::sin(0.07 * t + 0.00001 * t * t / kRate) +
                                                  500 * std::sin(1.9 * t)));
  }
  f.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 2));
  return path;
}

void ensureApplication() {
  static int argc = 1;
  static char name[] = "qv_bench";
  static char* argv[] = {name, nullptr};
  if (QGuiApplication::instance()) return;
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QGuiApplication app(argc, argv);
}

// Arguments: block size, display update rate, tracker (0/1).
void PlaybackRealTime(benchmark::State& state) {
  ensureApplication();
  qv::FakeAudioOutput out;
  qv::FftwDsp dsp;
  qv::ScriptedDialogs dialogs;
  qv::ScriptedPump pump;
  qv::FakeClock clock{10, 59, 30};
  qv::QImageSurfaceFactory surfaces;
  qv::Services s;
  s.audioOut = &out;
  s.dsp = &dsp;
  s.dialogs = &dialogs;
  s.pump = &pump;
  s.clock = &clock;
  s.surfaces = &surfaces;
  const std::string folder = (std::filesystem::temp_directory_path() / "qv_playback_bench/").string();
  std::filesystem::create_directories(folder);
  qv::Program p(s, folder);
  auto subsystems = qv::assembleProgram(p);
  qv::ListAudioDevices(p);
  p.options0()["Combo9"].setListIndex(0);
  p.options1()["DefLogPath"].setText(folder);
  p.form1()["Combo1"].setText(std::to_string(state.range(0)));
  p.form1()["Combo3"].setText("512");
  p.form1()["Combo6"].setText("256");
  p.options1()["Combo9"].setText(std::to_string(state.range(1)));
  p.form1()["Check2"].setValue(static_cast<int>(state.range(2)));
  p.form1()["SpecGram"].setGeometry({80, 40, 900, 400});
  p.vars().Task = 3;
  const std::string path = playFile();
  // The device drains the queue whenever the loop lets events run.
  pump.every([&out] { out.playAll(); });

  double fileSeconds = 0;
  for (auto _ : state) {
    out.played.clear();
    p.vars().CurrentFile = path;
    qv::RunFilePlay(p);
    fileSeconds += kSeconds;
  }
  state.counters["x realtime"] = benchmark::Counter(fileSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(PlaybackRealTime)
    ->Args({8192, 2, 0})
    ->Args({8192, 2, 1})
    ->Args({8192, 1, 0})
    ->Unit(benchmark::kMillisecond);

}  // namespace
