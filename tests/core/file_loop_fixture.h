// A whole program in "File Analysis" with WAV files written by the tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "config/command_line.h"
#include "config/startup.h"
#include "core/files_test_util.h"
#include "files/install.h"
#include "platform/surface.h"
#include "support/program_rig.h"

namespace qv::test {

// Sample bytes after a header whose data body starts at 46 (an 18-byte
// "fmt "), so the first frame is the first sample whatever the width.
inline std::string wavBytes(const std::vector<int16_t>& s, int channels, int rate, int bits = 16, int tag = 1) {
  const int bytes = bits / 8;
  Bytes d;
  for (int16_t v : s) {
    if (tag == 3) {
      float f = static_cast<float>(v) / 32768.0f;
      uint32_t u;
      std::memcpy(&u, &f, 4);
      d.u32(u);
    } else if (bytes == 3) {
      d.s24(v * 256);
    } else {
      d.s16(v);
    }
  }
  Bytes h;
  const uint32_t data = static_cast<uint32_t>(d.size());
  h.tag("RIFF").u32(38 + data).tag("WAVEfmt ").u32(18).u16(tag).u16(channels).u32(rate);
  h.u32(rate * channels * bytes).u16(channels * bytes).u16(bits).u16(0).tag("data").u32(data);
  return h.b + d.b;
}

// A tone and a little noise so every column has structure.
inline std::vector<int16_t> tone(size_t n, double cyclesPerSample, double amp = 8000, unsigned seed = 1) {
  std::vector<int16_t> s(n);
  unsigned x = seed;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    double noise = static_cast<double>((x >> 16) % 200) - 100;
    s[i] = static_cast<int16_t>(std::lround(amp * std::sin(2 * M_PI * cyclesPerSample * static_cast<double>(i)) + noise));
  }
  return s;
}

inline std::vector<int16_t> interleave(const std::vector<int16_t>& l, const std::vector<int16_t>& r) {
  std::vector<int16_t> s;
  for (size_t i = 0; i < l.size(); ++i) {
    s.push_back(l[i]);
    s.push_back(r[i]);
  }
  return s;
}

struct FileLoopRig : ProgramRig {
  FileLoopRig() {
    startUp(p(), CommandLine{}, *subsystems->hooks, StartupOptions{false});
    p().vars().Task = 4;
    dialogs.shown.clear();  // start-up messages about the missing devices
    // A loop that forgets to stop must not hang the tests.
    pump.every([this] {
      if (pump.passes > 400) p().requestStop();
    });
  }
  FileSubsystem& files() { return *subsystems->files; }
  Surface& spec() { return *form1("SpecGram").surface(); }
  std::string write(const std::string& name, const std::string& bytes) {
    std::string path = home.file(name);
    writeFile(path, bytes);
    return path;
  }
  // Opens `path` in "File Analysis" and runs the loop; `during` runs at
  // pass 1 (after the first frame), then the loop stops at pass `stopAt`.
  void analyse(const std::string& path, long stopAt = 1) {
    files().OpenFile(path);
    long base = pump.passes;
    pump.at(base + stopAt, [this] { p().requestStop(); });
    p().vars().FilePos = 0;
    files().RunFileAnalysis();
  }
  // The image rows of the picture.
  std::vector<Rgb> image(int rows) {
    Surface& s = spec();
    std::vector<Rgb> px;
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < s.width(); ++x) px.push_back(s.pixel(x, y));
    return px;
  }
  int width() { return spec().width(); }
};

}  // namespace qv::test
