// Batch rendering of recordings to PNG spectrograms: the column pipeline and
// the palette of the file analysis, with time and frequency axes, several
// files at once on worker threads. Headless: images are drawn on surfaces
// from a factory and written by Surface::save.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "analysis/spectrum.h"
#include "files/file_info.h"
#include "platform/dsp.h"
#include "realtime/palette.h"

namespace qv {

class Program;
class SurfaceFactory;

// What the controls say about the analysis, read once so the workers share
// nothing of the program.
struct RenderSettings {
  ColumnSetup column;       // transform, window, rows and post-processing
  int fftSize = 1024;
  int scanStep = 256;
  int zoomMode = 1;         // 1: one row per bin from zoomBase
  int zoomBase = 0;
  int darkness = 0;
  float tapeSpeed = 1;
  float frequencyDivision = 1;
  ConditionSetup condition; // offset removal and gain (no dither)
  ColourPalette palette;
  int chanMode = 1;         // two-channel files: 1 L, 2 R, 3 L+R, 4 L-R
  int frameWidth = 800;     // columns per image with --frames (the spectrogram's width)
  RawFileSettings raw;
};

// Reads the settings from a program whose analysis engine is installed and
// whose signal-processing service is set (a transform is planned and freed).
RenderSettings renderSettingsFrom(Program& p);

struct RenderOptions {
  std::string output;  // a .png file (one input, whole image) or a folder; empty: beside each input
  bool frames = false; // one image per screen width of columns
  int jobs = 0;        // worker threads; 0: every core
  int width = 0;       // whole-file image: columns across (0: one per scan step, up to kMaxRenderWidth)
};

constexpr int kMaxRenderWidth = 30000;

// Pixel layout of one image: the plot area and its axes.
struct RenderLayout {
  int left = 64, top = 10, bottom = 34, right = 12;
  int plotWidth = 0, plotHeight = 0;
  double hzPerRow = 0;       // frequency step of one display row
  double baseHz = 0;         // frequency of row 0
  double secondsPerPixel = 0;
  double startSeconds = 0;   // time of the first column
  int imageWidth() const { return left + plotWidth + right; }
  int imageHeight() const { return top + plotHeight + bottom; }
  // Pixel row of a frequency (the row of its display value).
  int yOfFrequency(double hz) const;
};

struct RenderResult {
  std::string input;
  bool ok = false;
  std::string error;                 // why the file was not rendered
  std::vector<std::string> outputs;  // images written
  int64_t columns = 0;               // spectrum columns computed
  RenderLayout layout;               // of the (last) image
};

// Where the images of input number `index` (of `count`) go: the path of the
// whole image, or the base to which "_0001.png" etc. is appended.
std::string renderOutputBase(const std::string& input, const RenderOptions& o, int count);

// Serialises transform planning and plan release (FFTW's planner keeps
// global state); everything else goes straight to the wrapped service.
class SerialDsp : public Dsp {
 public:
  explicit SerialDsp(Dsp& inner) : inner_(inner) {}
  std::unique_ptr<RealFft> planRealFft(int order) override;
  void intToFloat(const int16_t* src, float* dst, int n) override { inner_.intToFloat(src, dst, n); }
  float max(const float* v, int n) override { return inner_.max(v, n); }
  float min(const float* v, int n) override { return inner_.min(v, n); }
  float maxExt(const float* v, int n, int* index) override { return inner_.maxExt(v, n, index); }
  void mul(const float* w, float* work, int n) override { inner_.mul(w, work, n); }
  void powerSpectrum(const float* c, float* d, int n) override { inner_.powerSpectrum(c, d, n); }
  void threshold(float* v, int n, float level) override { inner_.threshold(v, n, level); }
  void ln(float* v, int n) override { inner_.ln(v, n); }
  void add(const float* s, float* d, int n) override { inner_.add(s, d, n); }
  void sub(const float* s, float* d, int n) override { inner_.sub(s, d, n); }
  void scale(float* v, int n, float k) override { inner_.scale(v, n, k); }
  float mean(const float* v, int n) override { return inner_.mean(v, n); }

 private:
  Dsp& inner_;
  std::shared_ptr<std::mutex> mutex_ = std::make_shared<std::mutex>();
};

// Progress of the whole batch: columns done of the columns expected.
using RenderProgress = std::function<void(int64_t done, int64_t total)>;

// One file on the calling thread. `dsp` must be safe to plan on from this
// thread (a SerialDsp when several workers share it).
RenderResult renderFile(const std::string& input, const std::string& outBase, const RenderSettings& s,
                        const RenderOptions& o, Dsp& dsp, SurfaceFactory& surfaces,
                        std::atomic<int64_t>* columnsDone = nullptr);

// Every input on up to `o.jobs` workers; results in input order. An input
// that cannot be read gives an error result and the others go on.
std::vector<RenderResult> renderAll(const std::vector<std::string>& inputs, const RenderSettings& s,
                                    const RenderOptions& o, Dsp& dsp, SurfaceFactory& surfaces,
                                    const RenderProgress& progress = {});

// Expected spectrum columns of a file (for progress); 0 when unreadable.
int64_t expectedColumns(const std::string& input, const RenderSettings& s);

}  // namespace qv
