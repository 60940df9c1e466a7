#include "export/render.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <exception>
#include <set>
#include <thread>

#include "analysis/engine.h"
#include "analysis/text_format.h"
#include "core/program.h"
#include "files/file_loop.h"
#include "files/sample_reader.h"
#include "platform/surface.h"
#include "realtime/spectrum_ops.h"
#include "realtime/update_form.h"

namespace qv {

namespace {

// Text drawing goes through the platform's font machinery, which is not
// meant for several threads at once; labels are few, so one at a time.
std::mutex& textMutex() {
  static std::mutex m;
  return m;
}

class SerialFft : public RealFft {
 public:
  SerialFft(std::unique_ptr<RealFft> inner, std::shared_ptr<std::mutex> m) : inner_(std::move(inner)), m_(std::move(m)) {}
  ~SerialFft() override {
    std::lock_guard<std::mutex> lock(*m_);
    inner_.reset();
  }
  int order() const override { return inner_->order(); }
  void forward(float* work) override { inner_->forward(work); }

 private:
  std::unique_ptr<RealFft> inner_;
  std::shared_ptr<std::mutex> m_;
};

double niceStep(double range, int ticks) {
  if (!(range > 0)) return 1;
  const double raw = range / std::max(ticks, 1);
  const double mag = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * mag >= raw) return m * mag;
  return 10 * mag;
}

std::string frequencyLabel(double hz) {
  if (std::fabs(hz) >= 10000) return numText(roundHalfUp(hz / 1000, 2)) + "k";
  return numText(roundHalfUp(hz, 1));
}

std::string timeLabel(double seconds, double step) {
  if (step >= 1 && seconds >= 60) {
    const auto t = static_cast<long long>(std::llround(seconds));
    const long long h = t / 3600, m = (t / 60) % 60, sec = t % 60;
    char buf[32];
    if (h > 0) std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", h, m, sec);
    else std::snprintf(buf, sizeof buf, "%lld:%02lld", m, sec);
    return buf;
  }
  return numText(roundHalfUp(seconds, 3)) + "s";
}

int chanModeNumber(const std::string& letters) {
  if (letters == "R") return 2;
  if (letters == "L+R") return 3;
  if (letters == "L-R") return 4;
  return 1;  // "L", and "Stereo" read as its left channel as the file analysis does
}

bool endsWithPng(const std::string& s) {
  if (s.size() < 4) return false;
  std::string t = s.substr(s.size() - 4);
  for (auto& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return t == ".png";
}

std::string stemOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string folderPart(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// One image being filled column by column.
struct Canvas {
  std::shared_ptr<Surface> surface;
  RenderLayout layout;
};

constexpr Rgb kAxisInk = rgb(0, 0, 0);

void drawAxes(Surface& s, const RenderLayout& l) {
  const Rgb ink = kAxisInk;
  const int x0 = l.left - 1, y0 = l.top + l.plotHeight;
  s.line(x0, l.top, x0, y0, ink);
  s.line(x0, y0, l.left + l.plotWidth, y0, ink);
  std::lock_guard<std::mutex> lock(textMutex());
  // Frequency ticks.
  const double fMax = l.baseHz + l.hzPerRow * l.plotHeight;
  const double fStep = niceStep(fMax - l.baseHz, std::max(2, l.plotHeight / 40));
  for (double f = std::ceil(l.baseHz / fStep) * fStep; f <= fMax + 1e-9; f += fStep) {
    const int y = l.yOfFrequency(f);
    if (y < l.top || y > y0) continue;
    s.line(x0 - 5, y, x0, y, ink);
    const std::string t = frequencyLabel(f);
    s.text(std::max(0, x0 - 7 - static_cast<int>(t.size()) * kCharWidthPx), y - 7, t, ink);
  }
  s.text(2, 0, "Hz", ink);
  // Time ticks.
  const double span = l.secondsPerPixel * l.plotWidth;
  const double tStep = niceStep(span, std::max(2, l.plotWidth / 90));
  for (double t = std::ceil(l.startSeconds / tStep) * tStep; t <= l.startSeconds + span + 1e-9; t += tStep) {
    const int x = l.left + static_cast<int>(std::lround((t - l.startSeconds) / l.secondsPerPixel));
    if (x < l.left || x >= l.left + l.plotWidth) continue;
    s.line(x, y0, x, y0 + 5, ink);
    const std::string txt = timeLabel(t, tStep);
    s.text(std::max(0, x - static_cast<int>(txt.size()) * kCharWidthPx / 2), y0 + 8, txt, ink);
  }
}

}  // namespace

int RenderLayout::yOfFrequency(double hz) const {
  if (!(hzPerRow > 0)) return top + plotHeight - 1;
  const double r = std::floor((hz - baseHz) / hzPerRow + 0.5);
  return top + plotHeight - 1 - static_cast<int>(r);
}

std::unique_ptr<RealFft> SerialDsp::planRealFft(int order) {
  std::lock_guard<std::mutex> lock(*mutex_);
  return std::make_unique<SerialFft>(inner_.planRealFft(order), mutex_);
}

RenderSettings renderSettingsFrom(Program& p) {
  RenderSettings s;
  AnalysisEngine* a = p.analysis();
  if (!a) throw std::logic_error("no analysis engine");
  const int width = std::max(1, p.form1()["SpecGram"].geometry().width);
  a->beginRun(width);
  s.column = a->spectrum().setup();
  a->endRun();
  const PublicVars& v = p.vars();
  s.fftSize = v.FFTsize;
  s.scanStep = std::max(1, a->run().ScanStep);
  s.zoomMode = v.ZoomMode;
  s.zoomBase = v.ZoomBase;
  s.darkness = v.Darkness;
  s.tapeSpeed = v.TapeSpeed > 0 ? v.TapeSpeed : 1.0f;
  s.frequencyDivision = v.FrequencyDivision > 0 ? v.FrequencyDivision : 1.0f;
  s.condition = a->conditionSetup(false);
  s.palette.BuildPalette(paletteNumberOf(p.form1()["Combo8"]));
  s.chanMode = chanModeNumber(chanModeFromOptions(p));
  s.frameWidth = width;
  s.raw = rawFileSettings(p.forms());
  return s;
}

std::string renderOutputBase(const std::string& input, const RenderOptions& o, int count) {
  const std::string stem = stemOf(input);
  const std::string ext = o.frames ? "" : ".png";
  if (o.output.empty()) return folderPart(input) + stem + ext;
  if (endsWithPng(o.output)) {
    if (count == 1) return o.frames ? o.output.substr(0, o.output.size() - 4) : o.output;
    return folderPart(o.output) + stem + ext;
  }
  std::string folder = o.output;
  if (folder.back() != '/') folder += '/';
  return folder + stem + ext;
}

int64_t expectedColumns(const std::string& input, const RenderSettings& s) {
  FileInfo info;
  if (!GetFileInfo(input, s.raw, info).ok) return 0;
  return (std::max<int64_t>(info.frames, 0) + s.scanStep - 1) / s.scanStep;
}

RenderResult renderFile(const std::string& input, const std::string& outBase, const RenderSettings& s,
                        const RenderOptions& o, Dsp& dsp, SurfaceFactory& surfaces,
                        std::atomic<int64_t>* columnsDone) {
  RenderResult res;
  res.input = input;
  FileInfo info;
  FileCheck check = GetFileInfo(input, s.raw, info);
  if (!check.ok) {
    res.error = check.message.empty() ? "cannot read the file" : check.message;
    return res;
  }
  if (info.SampleRate <= 0) {
    res.error = "no sampling rate";
    return res;
  }
  SampleReader reader;
  if (!reader.open(input, info)) {
    res.error = "cannot open the file";
    return res;
  }
  const int64_t frames = reader.frames();
  const int channels = std::max(1, reader.channels());
  if (frames <= 0) {
    res.error = "no samples";
    return res;
  }

  SpectrumEngine eng(dsp);
  SpectrumOps ops;
  eng.ops = &ops;
  ColumnSetup cs = s.column;
  cs.stride = 1;
  eng.beginRun(cs);
  const int rows = eng.rows();
  if (rows <= 0) {
    res.error = "the display height is 0";
    return res;
  }
  PublicVars vars;
  vars.ZoomMode = s.zoomMode;
  vars.ZoomBase = s.zoomBase;
  vars.Darkness = s.darkness;
  vars.FFTsize = s.fftSize;

  const int scan = s.scanStep;
  const int fft = std::max(1, s.fftSize);
  const int carry = scan < fft ? fft - scan : 0;
  // Columns whose window starts before the first sample are not drawn, as in
  // the file analysis: column 0 is the window starting at the first sample.
  const int skip = std::max(0, static_cast<int>(roundEven(static_cast<double>(fft) / scan - 1)));
  const int64_t total = (frames + scan - 1) / scan;
  const int block = std::max(scan, scan * std::max(1, 65536 / scan));
  const int perBlock = block / scan;

  const int imageColumns = o.frames ? std::max(1, s.frameWidth)
                                    : static_cast<int>(std::min<int64_t>(
                                          total, o.width > 0 ? o.width : kMaxRenderWidth));
  const double binHz = static_cast<double>(info.SampleRate) / fft / s.tapeSpeed * s.frequencyDivision;
  const double secondsPerColumn = static_cast<double>(scan) / info.SampleRate * s.tapeSpeed;

  RenderLayout base;
  base.plotHeight = rows;
  if (s.zoomMode == 1) {
    base.baseHz = s.zoomBase * binHz;
    base.hzPerRow = binHz;
  } else {
    base.hzPerRow = binHz * std::max(1, cs.zoomFactor);
  }

  Canvas canvas;
  // The plot area's rows, top first, when the surface hands them out: as
  // colour-table slots, or else as 32-bit pixels.
  std::vector<uint8_t*> slotRows;
  std::vector<uint32_t*> plotRows;
  slotRows.reserve(static_cast<size_t>(rows));
  plotRows.reserve(static_cast<size_t>(rows));
  // Slot of every palette entry on the current surface.
  std::array<uint8_t, ColourPalette::kHigh - ColourPalette::kLow + 1> slotOfEntry{};
  int64_t canvasIndex = -1;
  int frameNumber = 0;
  auto startCanvas = [&](int64_t firstColumn, int64_t columnsInImage) {
    canvas.layout = base;
    canvas.layout.plotWidth = static_cast<int>(columnsInImage);
    canvas.layout.startSeconds = firstColumn * secondsPerColumn;
    canvas.layout.secondsPerPixel =
        o.frames ? secondsPerColumn : secondsPerColumn * static_cast<double>(total) / imageColumns;
    canvas.surface = surfaces.create(canvas.layout.imageWidth(), canvas.layout.imageHeight());
    if (!canvas.surface) throw std::runtime_error("no image surface");
    canvas.surface->setBackground(rgb(255, 255, 255));
    canvas.surface->clear();
    slotRows.clear();
    plotRows.clear();
    if (auto* indexed = dynamic_cast<IndexedPixels*>(canvas.surface.get())) {
      // The axis ink first, so the palette cannot crowd it out of the table.
      bool fits = indexed->slotOf(kAxisInk) >= 0;
      for (int i = ColourPalette::kLow; fits && i <= ColourPalette::kHigh; ++i) {
        const int slot = indexed->slotOf(s.palette.at(i));
        fits = slot >= 0;
        slotOfEntry[static_cast<size_t>(i - ColourPalette::kLow)] = static_cast<uint8_t>(slot);
      }
      for (int y = 0; fits && y < rows; ++y) {
        uint8_t* row = indexed->indexRow(canvas.layout.top + y);
        if (!row) break;
        slotRows.push_back(row);
      }
      if (slotRows.size() != static_cast<size_t>(rows)) slotRows.clear();
    }
    if (slotRows.empty())
      if (auto* direct = dynamic_cast<DirectPixels*>(canvas.surface.get()))
        for (int y = 0; y < rows; ++y) plotRows.push_back(direct->pixelRow(canvas.layout.top + y));
  };
  // Slot columns reach the picture a tile at a time: a column written
  // straight into a wide picture touches a cache line and a page per row.
  constexpr int kTile = 64;
  std::vector<uint8_t> tile(static_cast<size_t>(rows) * kTile);  // top row first
  int tileX0 = -1, tileEnd = 0;  // picture columns of the tile's first and one past its last
  auto flushTile = [&]() {
    if (tileX0 < 0) return;
    const auto n = static_cast<size_t>(tileEnd - tileX0);
    for (int y = 0; y < rows; ++y)
      std::memcpy(slotRows[static_cast<size_t>(y)] + tileX0, tile.data() + static_cast<size_t>(y) * kTile, n);
    tileX0 = -1;
  };
  // Whole-image columns combine by keeping each row's largest value, so
  // short loud events survive the squeeze.
  std::vector<float> peak(static_cast<size_t>(rows), -1e30f);
  int peakX = -1;
  // Draws display values (row 0 lowest) into plot column `px`.
  auto plotColumn = [&](int px, const float* values) {
    Surface& sf = *canvas.surface;
    const int x = canvas.layout.left + px;
    if (!slotRows.empty()) {
      if (tileX0 >= 0 && (x != tileEnd || x >= tileX0 + kTile)) flushTile();
      if (tileX0 < 0) tileX0 = x;
      uint8_t* t = tile.data() + (x - tileX0);
      for (int r = 0; r < rows; ++r)
        t[static_cast<size_t>(rows - 1 - r) * kTile] = slotOfEntry[static_cast<size_t>(ColourPalette::slot(values[r]))];
      tileEnd = x + 1;
    } else if (!plotRows.empty()) {
      // Row r is drawn at plotRows[rows - 1 - r]: lowest frequency at the bottom.
      for (int r = 0; r < rows; ++r)
        plotRows[static_cast<size_t>(rows - 1 - r)][x] = 0xFF000000u | s.palette.lookup(values[r]);
    } else {
      for (int r = 0; r < rows; ++r) sf.setPixel(x, base.top + rows - 1 - r, s.palette.lookup(values[r]));
    }
  };
  auto plotPeak = [&]() {
    if (peakX < 0 || !canvas.surface) return;
    plotColumn(peakX, peak.data());
    std::fill(peak.begin(), peak.end(), -1e30f);
    peakX = -1;
  };
  // One column per pixel (screens, or a whole image as wide as the file):
  // nothing to combine.
  const bool columnPerPixel = o.frames || imageColumns == total;

  auto finishCanvas = [&]() {
    if (!canvas.surface) return true;
    // The last column belongs to this picture, not the next.
    plotPeak();
    flushTile();
    drawAxes(*canvas.surface, canvas.layout);
    std::string path = outBase;
    if (o.frames) {
      char number[32];
      std::snprintf(number, sizeof number, "_%04d.png", ++frameNumber);
      path += number;
    }
    if (!canvas.surface->save(path)) {
      res.error = "cannot write " + path;
      return false;
    }
    res.outputs.push_back(path);
    res.layout = canvas.layout;
    canvas.surface.reset();
    return true;
  };

  try {
    int16_t* x = eng.samples();
    std::fill(x, x + carry, int16_t{0});
    std::vector<int16_t> rd(static_cast<size_t>(block) * channels);
    int64_t frame = 0;
    int64_t k = -skip;
    if (!o.frames) startCanvas(0, imageColumns);
    while (k < total) {
      size_t got = reader.readFrames(frame, rd.data(), static_cast<size_t>(block));
      frame += static_cast<int64_t>(got);
      reduceChannels(s.chanMode, rd.data(), got, channels, x + carry);
      std::fill(x + carry + got, x + carry + block, int16_t{0});
      eng.ConditionBlock(carry, block, s.condition);
      for (int j = 0; j < perBlock && k < total; ++j, ++k) {
        if (k < 0) continue;
        eng.ComputeSpectrumColumn(j * scan, vars);
        const float* col = eng.column();
        int px;
        if (o.frames) {
          const int64_t img = k / imageColumns;
          if (img != canvasIndex) {
            if (!finishCanvas()) return res;
            canvasIndex = img;
            startCanvas(k, std::min<int64_t>(imageColumns, total - img * imageColumns));
          }
          px = static_cast<int>(k % imageColumns);
        } else {
          px = static_cast<int>(k * imageColumns / total);
        }
        if (columnPerPixel) {
          plotColumn(px, col);
        } else {
          if (px != peakX) plotPeak();
          peakX = px;
          for (int r = 0; r < rows; ++r) peak[static_cast<size_t>(r)] = std::max(peak[static_cast<size_t>(r)], col[r]);
        }
        ++res.columns;
        if (columnsDone && (res.columns & 255) == 0) columnsDone->fetch_add(256, std::memory_order_relaxed);
      }
      if (carry > 0) std::memmove(x, x + block, static_cast<size_t>(carry) * sizeof(int16_t));
    }
    if (!finishCanvas()) return res;
  } catch (const std::exception& e) {
    res.error = e.what();
    return res;
  }
  eng.endRun();
  if (columnsDone) columnsDone->fetch_add(res.columns & 255, std::memory_order_relaxed);
  res.ok = true;
  return res;
}

std::vector<RenderResult> renderAll(const std::vector<std::string>& inputs, const RenderSettings& s,
                                    const RenderOptions& o, Dsp& dsp, SurfaceFactory& surfaces,
                                    const RenderProgress& progress) {
  const int n = static_cast<int>(inputs.size());
  std::vector<RenderResult> results(static_cast<size_t>(n));
  if (n == 0) return results;
  // Two inputs of the same name would write the same image: number the later ones.
  std::vector<std::string> bases(static_cast<size_t>(n));
  std::set<std::string> used;
  for (int i = 0; i < n; ++i) {
    std::string b = renderOutputBase(inputs[static_cast<size_t>(i)], o, n);
    if (used.count(b)) {
      const bool png = endsWithPng(b);
      std::string stem = png ? b.substr(0, b.size() - 4) : b;
      for (int k = 2;; ++k) {
        std::string c = stem + "-" + std::to_string(k) + (png ? ".png" : "");
        if (!used.count(c)) {
          b = c;
          break;
        }
      }
    }
    used.insert(b);
    bases[static_cast<size_t>(i)] = b;
  }
  int64_t total = 0;
  if (progress)
    for (auto& in : inputs) total += expectedColumns(in, s);

  unsigned hw = std::max(1u, std::thread::hardware_concurrency());
  const int jobs = std::clamp(o.jobs > 0 ? o.jobs : static_cast<int>(hw), 1, n);
  SerialDsp serial(dsp);
  std::atomic<int> next{0};
  std::atomic<int> finished{0};
  std::atomic<int64_t> done{0};
  auto work = [&] {
    for (int i = next.fetch_add(1); i < n; i = next.fetch_add(1)) {
      auto& r = results[static_cast<size_t>(i)];
      try {
        r = renderFile(inputs[static_cast<size_t>(i)], bases[static_cast<size_t>(i)], s, o, serial, surfaces, &done);
      } catch (const std::exception& e) {
        r.input = inputs[static_cast<size_t>(i)];
        r.ok = false;
        r.error = e.what();
      }
      finished.fetch_add(1);
    }
  };
  std::vector<std::thread> workers;
  for (int j = 1; j < jobs; ++j) workers.emplace_back(work);
  if (progress) {
    // The calling thread reports progress while the workers run.
    workers.emplace_back(work);
    while (finished.load() < n) {
      progress(done.load(), total);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    progress(done.load(), total);
  } else {
    work();
  }
  for (auto& t : workers) t.join();
  return results;
}

}  // namespace qv
