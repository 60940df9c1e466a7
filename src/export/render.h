// Batch rendering of recordings to PNG spectrograms: the column pipeline and
// the palette of the file analysis, every channel in a band of its own, with
// caption, time and frequency axes and a dB colour bar. The work is shared
// out in column ranges, so one long file keeps every worker busy as well as
// many short ones. Headless: images are drawn on surfaces from a factory and
// written by Surface::save.
#pragma once

#include <cstdint>
#include <functional>
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
  int chanMode = 0;         // two-channel files: 0 each channel in a band, 1 L, 2 R, 3 L+R, 4 L-R
  int frameWidth = 800;     // columns per image with --frames (the spectrogram's width)
  std::string windowName;   // as the window list shows it, for the picture's footer
  RawFileSettings raw;
  // A band of frequencies shown through the zoom, one row per bin, worked
  // out for each file's own sampling rate. Negative: not given (from 0 Hz /
  // as many rows as the display height).
  double fminHz = -1, fmaxHz = -1;
};

// Reads the settings from a program whose analysis engine is installed and
// whose signal-processing service is set (a transform is planned and freed).
// The display height is the picture's height, so it also sets how many bins
// share a row, as the spectrogram height does in the window.
RenderSettings renderSettingsFrom(Program& p);

struct RenderOptions {
  std::string output;  // a .png file (one input, whole image) or a folder; empty: beside each input
  bool frames = false; // one image per screen width of columns
  bool force = false;  // replace images that exist
  int jobs = 0;        // workers; 0: every core
  int width = 0;       // columns across each image (0: one per scan step, capped; screens: the spectrogram's width)
  int channel = 0;     // 1..n: that channel only; 0: as the channel options say
};

// Widest whole-file picture by default, margins included: common image
// tools refuse wider ones.
constexpr int kMaxImageWidth = 16384;
// Widest picture asked for with a width.
constexpr int kMaxRenderWidth = 1000000;

// Pixel layout of one image: caption, bands of plot rows stacked top to
// bottom, axes and the colour bar, and footer lines under the time axis.
// `top` and `bottom` grow by a line for each caption line past the first
// and each footer line.
struct RenderLayout {
  int left = 84, top = 26, bottom = 34, right = 78;
  int bands = 1, bandGap = 10;
  int plotWidth = 0, plotHeight = 0;  // plotHeight: rows of one band
  double hzPerRow = 0;       // frequency step of one display row
  double baseHz = 0;         // frequency of row 0
  double secondsPerPixel = 0;
  double startSeconds = 0;   // time of the first column
  int imageWidth() const { return left + plotWidth + right; }
  int imageHeight() const { return plotBottom() + bottom; }
  int bandTop(int band) const { return top + band * (plotHeight + bandGap); }
  // One past the last row of the last band.
  int plotBottom() const { return bandTop(bands - 1) + plotHeight; }
  // Pixel row of a frequency (the row of its display value) in a band.
  int yOfFrequency(double hz, int band = 0) const;
};

// The zoom that shows fminHz..fmaxHz (each negative when not given) at a bin
// width: the first bin and the rows, one per bin. `problem` says why it
// cannot (then base and rows are 0).
struct BandZoom {
  int base = 0;
  int rows = 0;
  std::string problem;
};
BandZoom zoomForBand(double fminHz, double fmaxHz, double binHz, int fftSize, int displayHeight);
// Width of one FFT bin of a recording sampled at `rate`, in the frequencies
// the picture shows (tape speed and frequency division applied).
double binWidthHz(int rate, const RenderSettings& s);

struct RenderResult {
  std::string input;
  bool ok = false;
  std::string error;                 // why the file was not rendered
  std::vector<std::string> outputs;  // images written
  int64_t columns = 0;               // spectrum columns computed, every band counted
  int ranges = 0;                    // pieces its columns were shared out in
  RenderLayout layout;               // of the (last) image
};

// Where the images of input number `index` (of `count`) go: the path of the
// whole image, or the base to which "_0001.png" etc. is appended.
std::string renderOutputBase(const std::string& input, const RenderOptions& o, int count);

// How far the batch is, for a progress line.
struct RenderProgressInfo {
  int64_t done = 0, total = 0;  // work: the rows of every column, and the pixels of the images written
  std::string file;             // the earliest file not finished
  int fileNumber = 0, fileCount = 0;
  double secondsLeft = -1;      // negative until there is something to go by
};
using RenderProgress = std::function<void(const RenderProgressInfo&)>;

// "[#####.....]  42%  rec.wav (3/12)  1:05 left", `barWidth` marks wide.
std::string renderProgressLine(const RenderProgressInfo& p, int barWidth = 30);

// One file, whole, on the calling thread.
RenderResult renderFile(const std::string& input, const std::string& outBase, const RenderSettings& s,
                        const RenderOptions& o, Dsp& dsp, SurfaceFactory& surfaces);

// Workers for a `jobs` option: 0 means every core.
int renderWorkers(int jobs);

// Every input on up to `o.jobs` workers, the columns of each shared out in
// ranges; results in input order. An input that cannot be read gives an
// error result and the others go on. The pictures are the same whatever the
// number of workers. Transforms are planned before the workers start.
std::vector<RenderResult> renderAll(const std::vector<std::string>& inputs, const RenderSettings& s,
                                    const RenderOptions& o, Dsp& dsp, SurfaceFactory& surfaces,
                                    const RenderProgress& progress = {});

// Share `k` (1-based) of `n` equal contiguous shares of the inputs sorted by
// name; share sizes differ by one at most.
std::vector<std::string> shardOf(std::vector<std::string> inputs, int k, int n);

}  // namespace qv
