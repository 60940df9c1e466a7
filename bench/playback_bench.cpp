// Playback speed against real time: a 48000 Hz recording played through the
// output double (which plays whatever is queued at once), every block read,
// queued, analysed and drawn as the live display draws it. The counter
// "x realtime" is file seconds shown per second of work; below 1 the output
// would run dry.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_wav.h"
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
  return bench::monoWav("qv_playback_bench_48k.wav", kRate, uint64_t(kRate) * kSeconds, [](uint64_t i) {
    const double t = static_cast<double>(i);
    return static_cast<int16_t>(std::lround(9000 * std::sin(0.07 * t + 0.00001 * t * t / kRate) +
                                            500 * std::sin(1.9 * t)));
  });
}

// Arguments: block size, display update rate, tracker (0/1).
void PlaybackRealTime(benchmark::State& state) {
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
