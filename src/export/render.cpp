#include "export/render.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include "analysis/engine.h"
#include "analysis/text_format.h"
#include "core/program.h"
#include "export/recording_stamp.h"
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

constexpr Rgb kInk = rgb(0, 0, 0);
constexpr Rgb kPaper = rgb(255, 255, 255);
constexpr int kEntries = ColourPalette::kHigh - ColourPalette::kLow + 1;
constexpr int kTextHeight = 14;
constexpr int kLineStep = kTextHeight + 2;
// Columns of a tile: columns reach the picture a tile at a time, as a
// column written straight into a wide picture touches a cache line and a
// page per row.
constexpr int kTile = 256;
// A range smaller than this is not worth a worker of its own.
constexpr int64_t kMinRangeColumns = 2048;

double niceStep(double range, int ticks) {
  if (!(range > 0)) return 1;
  const double raw = range / std::max(ticks, 1);
  const double mag = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * mag >= raw) return m * mag;
  return 10 * mag;
}

// Time ticks at steps a clock reader expects: seconds, then 15 s, 30 s, minutes...
double niceTimeStep(double range, int ticks) {
  const double raw = range / std::max(ticks, 1);
  if (raw < 1) return niceStep(range, ticks);
  for (double m : {1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 60.0, 120.0, 300.0, 600.0, 900.0, 1800.0, 3600.0, 7200.0,
                   10800.0, 21600.0, 43200.0, 86400.0})
    if (m >= raw) return m;
  return niceStep(range, ticks);
}

std::string frequencyLabel(double hz) {
  if (std::fabs(hz) >= 10000) return numText(roundHalfUp(hz / 1000, 2)) + "k";
  return numText(roundHalfUp(hz, 1));
}

std::string clockText(long long t) {
  const long long h = t / 3600, m = (t / 60) % 60, sec = t % 60;
  char buf[48];
  if (h > 0) std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", h, m, sec);
  else std::snprintf(buf, sizeof buf, "%lld:%02lld", m, sec);
  return buf;
}

// Clock text once the axis reaches a minute ("0:00", "0:30", "1:00"), else seconds.
std::string timeLabel(double seconds, double step, double end) {
  if (step >= 1 && end >= 60) return clockText(static_cast<long long>(std::llround(seconds)));
  return numText(roundHalfUp(seconds, 3)) + "s";
}

int chanModeNumber(const std::string& letters) {
  if (letters == "L") return 1;
  if (letters == "R") return 2;
  if (letters == "L+R") return 3;
  if (letters == "L-R") return 4;
  return 0;  // "Stereo": every channel
}

bool endsWithPng(const std::string& s) {
  if (s.size() < 4) return false;
  std::string t = s.substr(s.size() - 4);
  for (auto& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return t == ".png";
}

std::string nameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string stemOf(const std::string& path) {
  const std::string name = nameOf(path);
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string folderPart(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

int64_t ceilDiv(int64_t a, int64_t b) { return (a + b - 1) / b; }

// One band of a picture: a channel, or two channels reduced to one.
struct Band {
  int channel = 0;  // with mode 0
  int mode = 0;     // 1 L, 2 R, 3 L+R, 4 L-R of a two-channel file
  std::string label;
};

// One image being filled. Everything but the plot rows is drawn before the
// workers write, so they touch nothing shared but their own pixel columns.
struct Plot {
  std::shared_ptr<Surface> surface;
  RenderLayout layout;
  std::vector<std::vector<uint8_t*>> slotRows;    // [band][row], top row first
  std::vector<std::vector<uint32_t*>> pixelRows;  // when the colours do not fit a table
  std::array<uint8_t, kEntries> slotOfEntry{};
  std::array<uint32_t, kEntries> argbOfEntry{};
  std::mutex generic;  // surfaces without row access take one pixel at a time
};

// One input and everything its ranges share.
struct FileJob {
  std::string input;
  FileInfo info;
  int channels = 1;
  int rate = 0;
  int64_t frames = 0;
  int64_t total = 0;  // columns of one band
  std::vector<Band> bands;
  int width = 0;      // columns across a whole image, or across a full screen
  int rows = 0;
  int zoomMode = 0, zoomBase = 0;
  double secondsPerColumn = 0;
  RenderLayout base;
  RecordingStamp stamp;
  // Lines for the footer from the recording's own metadata (where and when
  // it was made), under the line that says how it was analysed.
  std::vector<std::string> notes;
  int textChars = 1;  // characters across the narrowest image, where text wraps
  std::vector<std::string> paths;  // whole image: one; screens: one per screen

  std::once_flag plotOnce;
  std::unique_ptr<Plot> plot;  // whole image
  int ranges = 0;
  std::atomic<int> rangesLeft{0};
  std::atomic<bool> started{false};
  std::atomic<bool> finished{false};  // every image written, or failed
  std::atomic<int64_t> columns{0};
  int64_t work = 0;  // for the progress line: see imageWork
  std::mutex m;  // the fields below
  std::string error;
  std::vector<char> written;

  void fail(const std::string& why) {
    std::lock_guard<std::mutex> lock(m);
    if (error.empty()) error = why;
  }
  bool failed() {
    std::lock_guard<std::mutex> lock(m);
    return !error.empty();
  }
};

// Work for the progress line is counted in row values: each band's column
// adds its rows. Compressing and writing a picture costs roughly a row
// value a pixel, which is most of the time of a picture drawn at one column
// per scan step.
int64_t imageWork(const RenderLayout& l) { return static_cast<int64_t>(l.imageWidth()) * l.imageHeight(); }

struct Range {
  FileJob* file;
  int64_t first, end;  // columns
};

// A piece of a caption or footer line; pieces are kept whole when a line
// is too long for the picture and wraps.
struct Piece {
  std::string text;
  int gap = 3;  // blanks before it on the same line
};

std::vector<std::string> wrapPieces(const std::vector<Piece>& pieces, int maxChars) {
  std::vector<std::string> lines;
  for (const Piece& p : pieces) {
    if (p.text.empty()) continue;
    if (!lines.empty() && static_cast<int>(lines.back().size() + static_cast<size_t>(p.gap) + p.text.size()) <= maxChars)
      lines.back() += std::string(static_cast<size_t>(p.gap), ' ') + p.text;
    else
      lines.push_back(p.text);
  }
  return lines;
}

std::vector<Piece> captionOf(const FileJob& f, const RenderSettings& s, int screen, int screens) {
  std::vector<Piece> c = {{nameOf(f.input)}, {f.stamp.text()}};
  const double seconds = static_cast<double>(f.frames) / f.rate * s.tapeSpeed;
  c.push_back({numText(f.rate) + " Hz"});
  c.push_back({numText(f.channels) + " ch", 2});
  c.push_back({formatDuration(seconds), 2});
  if (screens > 0) c.push_back({"screen " + numText(screen) + "/" + numText(screens)});
  return c;
}

// The footer: how the picture was analysed, then the recording's notes,
// each starting a line of its own.
std::vector<std::vector<Piece>> footerOf(const FileJob& f, const RenderSettings& s, const RenderLayout& l) {
  std::vector<Piece> analysis = {{"FFT " + numText(s.fftSize), 0}};
  if (!s.windowName.empty()) analysis.push_back({s.windowName + " window", 2});
  const double stepMs = static_cast<double>(std::max(1, s.scanStep)) / f.rate * s.tapeSpeed * 1000;
  analysis.push_back({"step " + numText(s.scanStep) + " (" + numText(roundHalfUp(stepMs, 2)) + " ms)", 2});
  analysis.push_back({numText(roundHalfUp(l.hzPerRow, 3)) + " Hz per row", 2});
  std::vector<std::vector<Piece>> lines = {analysis};
  for (const std::string& n : f.notes) lines.push_back({{n, 0}});
  return lines;
}

std::vector<std::string> footerLines(const FileJob& f, const RenderSettings& s) {
  std::vector<std::string> lines;
  for (const auto& line : footerOf(f, s, f.base))
    for (std::string& w : wrapPieces(line, f.textChars)) lines.push_back(std::move(w));
  return lines;
}

// Text lines under the time axis, from the left edge of the plot.
void drawFooter(Surface& sf, const RenderLayout& l, const std::vector<std::string>& lines) {
  const int y0 = l.plotBottom() + 8 + kLineStep + 2;
  for (size_t i = 0; i < lines.size(); ++i) sf.text(l.left, y0 + static_cast<int>(i) * kLineStep, lines[i], kInk);
}

void drawDecorations(Surface& sf, const RenderLayout& l, const FileJob& f, const RenderSettings& s,
                     const std::vector<std::string>& caption, const std::vector<std::string>& footer) {
  std::lock_guard<std::mutex> lock(textMutex());
  const int x0 = l.left - 1, yEnd = l.plotBottom();
  for (size_t i = 0; i < caption.size(); ++i) sf.text(l.left, 4 + static_cast<int>(i) * kLineStep, caption[i], kInk);
  sf.text(4, l.top - 22, "Hz", kInk);
  // Frequency axis of every band, and its label.
  const double fMax = l.baseHz + l.hzPerRow * l.plotHeight;
  const double fStep = niceStep(fMax - l.baseHz, std::max(3, l.plotHeight / 32));
  for (int b = 0; b < l.bands; ++b) {
    const int top = l.bandTop(b), bottom = top + l.plotHeight;
    sf.line(x0, top, x0, bottom, kInk);
    for (double fq = std::ceil(l.baseHz / fStep) * fStep; fq <= fMax + 1e-9; fq += fStep) {
      const int y = l.yOfFrequency(fq, b);
      if (y < top || y >= bottom) continue;
      sf.line(x0 - 5, y, x0, y, kInk);
      const std::string t = frequencyLabel(fq);
      sf.text(std::max(0, x0 - 7 - static_cast<int>(t.size()) * kCharWidthPx), y - 7, t, kInk);
    }
    if (!f.bands[static_cast<size_t>(b)].label.empty())
      sf.text(4, top + l.plotHeight / 2 - kTextHeight / 2, f.bands[static_cast<size_t>(b)].label, kInk);
  }
  // Time axis under the last band.
  sf.line(x0, yEnd, l.left + l.plotWidth, yEnd, kInk);
  const double span = l.secondsPerPixel * l.plotWidth;
  const double tStep = niceTimeStep(span, std::max(2, l.plotWidth / 90));
  for (double t = std::ceil(l.startSeconds / tStep) * tStep; t <= l.startSeconds + span + 1e-9; t += tStep) {
    const int x = l.left + static_cast<int>(std::lround((t - l.startSeconds) / l.secondsPerPixel));
    if (x < l.left || x >= l.left + l.plotWidth) continue;
    sf.line(x, yEnd, x, yEnd + 5, kInk);
    const std::string txt = timeLabel(t, tStep, l.startSeconds + span);
    sf.text(std::max(0, x - static_cast<int>(txt.size()) * kCharWidthPx / 2), yEnd + 8, txt, kInk);
  }
  // Colour bar: palette entries 0..255 bottom to top, two per dB, labelled
  // as the window's legend is, shifted by the darkness.
  const int bx = l.left + l.plotWidth + 14, bw = 12, by0 = l.top, by1 = yEnd - 1;
  const int h = std::max(1, by1 - by0 + 1);
  for (int y = by0; y <= by1; ++y) {
    const int e = static_cast<int>(roundEven((by1 - y) * 255.0 / std::max(1, h - 1)));
    sf.fillBox(bx, y, bx + bw - 1, y, s.palette.at(e));
  }
  sf.line(bx - 1, by0 - 1, bx + bw, by0 - 1, kInk);
  sf.line(bx - 1, by1 + 1, bx + bw, by1 + 1, kInk);
  sf.line(bx - 1, by0 - 1, bx - 1, by1 + 1, kInk);
  sf.line(bx + bw, by0 - 1, bx + bw, by1 + 1, kInk);
  const int dbStep = h >= 160 ? 12 : (h >= 80 ? 24 : 48);
  const double lowDb = -s.darkness, highDb = 127.5 - s.darkness;
  for (int v = static_cast<int>(std::ceil(lowDb / dbStep)) * dbStep; v <= highDb; v += dbStep) {
    const double e = 2.0 * (v + s.darkness);
    const int y = by1 - static_cast<int>(std::lround(e * (h - 1) / 255.0));
    sf.line(bx + bw, y, bx + bw + 3, y, kInk);
    sf.text(bx + bw + 6, y - 7, numText(v), kInk);
  }
  sf.text(bx, yEnd + 8, "dB", kInk);
  drawFooter(sf, l, footer);
}

// The layout of a file's image `index` (screens: one per width of columns;
// else the one whole-file picture, index 0).
RenderLayout imageLayout(const FileJob& f, int64_t index, bool screens) {
  RenderLayout l = f.base;
  const int64_t first = index * f.width;
  l.plotWidth = screens ? static_cast<int>(std::min<int64_t>(f.width, f.total - first)) : f.width;
  l.startSeconds = static_cast<double>(first) * f.secondsPerColumn;
  l.secondsPerPixel = screens ? f.secondsPerColumn
                              : f.secondsPerColumn * static_cast<double>(f.total) / std::max(1, f.width);
  return l;
}

// Image `index` of a file, decorated, its plot rows handed out.
std::unique_ptr<Plot> makePlot(const FileJob& f, const RenderSettings& s, SurfaceFactory& surfaces, int64_t index,
                               bool screens) {
  auto p = std::make_unique<Plot>();
  RenderLayout& l = p->layout;
  l = imageLayout(f, index, screens);
  const int screen = screens ? static_cast<int>(index + 1) : 0;
  const int count = screens ? static_cast<int>(ceilDiv(f.total, std::max(1, f.width))) : 0;
  const std::vector<std::string> caption = wrapPieces(captionOf(f, s, screen, count), f.textChars);
  const std::vector<std::string> footer = footerLines(f, s);
  p->surface = surfaces.create(l.imageWidth(), l.imageHeight());
  if (!p->surface) throw std::runtime_error("no image surface");
  Surface& sf = *p->surface;
  sf.setBackground(kPaper);
  sf.clear();
  drawDecorations(sf, l, f, s, caption, footer);

  for (int e = 0; e < kEntries; ++e) p->argbOfEntry[static_cast<size_t>(e)] = 0xFF000000u | s.palette.at(e + ColourPalette::kLow);
  if (auto* indexed = dynamic_cast<IndexedPixels*>(&sf)) {
    bool fits = true;
    for (int e = 0; fits && e < kEntries; ++e) {
      const int slot = indexed->slotOf(s.palette.at(e + ColourPalette::kLow));
      fits = slot >= 0;
      p->slotOfEntry[static_cast<size_t>(e)] = static_cast<uint8_t>(slot);
    }
    if (fits) {
      p->slotRows.resize(static_cast<size_t>(l.bands));
      for (int b = 0; fits && b < l.bands; ++b)
        for (int y = 0; fits && y < l.plotHeight; ++y) {
          uint8_t* row = indexed->indexRow(l.bandTop(b) + y);
          fits = row != nullptr;
          p->slotRows[static_cast<size_t>(b)].push_back(row);
        }
      if (!fits) p->slotRows.clear();
    }
  }
  if (p->slotRows.empty())
    if (auto* direct = dynamic_cast<DirectPixels*>(&sf)) {
      p->pixelRows.resize(static_cast<size_t>(l.bands));
      for (int b = 0; b < l.bands; ++b)
        for (int y = 0; y < l.plotHeight; ++y) p->pixelRows[static_cast<size_t>(b)].push_back(direct->pixelRow(l.bandTop(b) + y));
    }
  return p;
}

// Writes next to the image's place first, so a failed write leaves an older
// image as it was and nobody reads half a picture.
bool savePlot(const Plot& p, const std::string& path, std::string& error) {
  const std::string tmp = folderPart(path) + "." + nameOf(path) + ".part.png";
  if (!p.surface->save(tmp)) {
    std::remove(tmp.c_str());
    error = "cannot write " + path;
    return false;
  }
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  if (ec) {
    std::remove(tmp.c_str());
    error = "cannot write " + path + ": " + ec.message();
    return false;
  }
  return true;
}

// A worker's pen for one band: display values become palette entries in a
// tile, and columns that share a pixel keep each row's largest value, so
// short loud events survive the squeeze.
class Pen {
 public:
  explicit Pen(int rows) : rows_(rows), peak_(static_cast<size_t>(rows), -1e30f) {}

  int rows() const { return rows_; }
  // Forgets anything pending, for a range that ended early.
  void reset() {
    tileX0_ = -1;
    peakX_ = -1;
    target_ = nullptr;
    std::fill(peak_.begin(), peak_.end(), -1e30f);
  }

  void put(Plot& p, int band, int px, const float* v) {
    if (tileX0_ >= 0 && (&p != target_ || px != tileEnd_ || px >= tileX0_ + kTile)) flush(band);
    target_ = &p;
    if (tileX0_ < 0) tileX0_ = px;
    const auto at = static_cast<size_t>(px - tileX0_);
    // Only the tile a picture uses is made: pages never touched cost nothing.
    const size_t tileSize = static_cast<size_t>(rows_) * kTile;
    if (!p.slotRows.empty()) {
      if (slotTile_.size() != tileSize) slotTile_.resize(tileSize);
      uint8_t* t = slotTile_.data() + at;
      for (int r = 0; r < rows_; ++r)
        t[static_cast<size_t>(rows_ - 1 - r) * kTile] = p.slotOfEntry[static_cast<size_t>(ColourPalette::slot(v[r]))];
    } else {
      if (tile_.size() != tileSize) tile_.resize(tileSize);
      uint16_t* t = tile_.data() + at;
      for (int r = 0; r < rows_; ++r)
        t[static_cast<size_t>(rows_ - 1 - r) * kTile] = static_cast<uint16_t>(ColourPalette::slot(v[r]));
    }
    tileEnd_ = px + 1;
  }
  void accumulate(Plot& p, int band, int px, const float* v) {
    if (px != peakX_) {
      settlePeak(p, band);
      peakX_ = px;
    }
    for (int r = 0; r < rows_; ++r) peak_[static_cast<size_t>(r)] = std::max(peak_[static_cast<size_t>(r)], v[r]);
  }
  // Writes what is pending into the picture.
  void finish(Plot& p, int band) {
    settlePeak(p, band);
    flush(band);
  }

 private:
  void settlePeak(Plot& p, int band) {
    if (peakX_ < 0) return;
    put(p, band, peakX_, peak_.data());
    std::fill(peak_.begin(), peak_.end(), -1e30f);
    peakX_ = -1;
  }
  void flush(int band) {
    if (tileX0_ < 0) return;
    Plot& p = *target_;
    const int n = tileEnd_ - tileX0_;
    const int x = p.layout.left + tileX0_;
    const auto b = static_cast<size_t>(band);
    if (!p.slotRows.empty()) {
      for (int y = 0; y < rows_; ++y)
        std::memcpy(p.slotRows[b][static_cast<size_t>(y)] + x, slotTile_.data() + static_cast<size_t>(y) * kTile,
                    static_cast<size_t>(n));
    } else if (!p.pixelRows.empty()) {
      for (int y = 0; y < rows_; ++y) {
        uint32_t* dst = p.pixelRows[b][static_cast<size_t>(y)] + x;
        const uint16_t* src = tile_.data() + static_cast<size_t>(y) * kTile;
        for (int c = 0; c < n; ++c) dst[c] = p.argbOfEntry[src[c]];
      }
    } else {
      std::lock_guard<std::mutex> lock(p.generic);
      const int top = p.layout.bandTop(band);
      for (int y = 0; y < rows_; ++y)
        for (int c = 0; c < n; ++c)
          p.surface->setPixel(x + c, top + y, p.argbOfEntry[tile_[static_cast<size_t>(y) * kTile + static_cast<size_t>(c)]] & 0xFFFFFFu);
    }
    tileX0_ = -1;
  }

  int rows_;
  std::vector<uint16_t> tile_;     // palette entries, top row first
  std::vector<uint8_t> slotTile_;  // colour-table slots, when the picture keeps them
  int tileX0_ = -1, tileEnd_ = 0;
  Plot* target_ = nullptr;  // of the tile
  std::vector<float> peak_;
  int peakX_ = -1;
};

// What a worker keeps from one range to the next: buffers made afresh for
// every range would have their pages faulted in again each time.
struct WorkerScratch {
  std::vector<int16_t> in;
  std::vector<Pen> pens;
};

// The samples of one band from interleaved frames.
void extractBand(const Band& b, const int16_t* in, size_t frames, int channels, int16_t* out) {
  if (b.mode != 0) {
    reduceChannels(b.mode, in, frames, channels, out);
    return;
  }
  if (channels == 1) {
    std::memcpy(out, in, frames * sizeof(int16_t));
    return;
  }
  const auto ch = static_cast<size_t>(channels);
  const auto c = static_cast<size_t>(b.channel);
  for (size_t i = 0; i < frames; ++i) out[i] = in[i * ch + c];
}

class Batch {
 public:
  Batch(const RenderSettings& s, const RenderOptions& o, Dsp& dsp, SurfaceFactory& surfaces)
      : s_(s), o_(o), dsp_(dsp), surfaces_(surfaces) {}

  // Measures an input and decides its bands, zoom, image size and names.
  // Null with `res.error` set when it cannot be rendered.
  std::unique_ptr<FileJob> plan(const std::string& input, const std::string& outBase, RenderResult& res) const;
  // Renders the planned files on `jobs` workers (the calling thread among
  // them unless it reports progress) and fills the results.
  void run(std::vector<std::unique_ptr<FileJob>>& files, int jobs, const RenderProgress& progress);
  void fillResult(FileJob& f, RenderResult& res) const;

 private:
  std::vector<Range> ranges(const std::vector<std::unique_ptr<FileJob>>& files, int jobs) const;
  void renderRange(const Range& r, SpectrumEngine& eng, WorkerScratch& scratch);
  void finishFile(FileJob& f);

  const RenderSettings& s_;
  const RenderOptions& o_;
  Dsp& dsp_;
  SurfaceFactory& surfaces_;
  std::atomic<int64_t> done_{0};
};

std::unique_ptr<FileJob> Batch::plan(const std::string& input, const std::string& outBase, RenderResult& res) const {
  res.input = input;
  auto f = std::make_unique<FileJob>();
  f->input = input;
  FileCheck check = GetFileInfo(input, s_.raw, f->info);
  if (!check.ok) {
    res.error = check.message.empty() ? "cannot read the file" : check.message;
    return nullptr;
  }
  if (f->info.SampleRate <= 0) {
    res.error = "no sampling rate";
    return nullptr;
  }
  SampleReader reader;
  if (!reader.open(input, f->info)) {
    res.error = "cannot open the file";
    return nullptr;
  }
  f->rate = f->info.SampleRate;
  f->frames = reader.frames();
  f->channels = std::max(1, reader.channels());
  if (f->frames <= 0) {
    res.error = "no samples";
    return nullptr;
  }

  // Bands.
  auto label = [&](int c) {
    if (f->channels == 1) return std::string();
    if (f->channels == 2) return std::string(c == 0 ? "L" : "R");
    return std::to_string(c + 1);
  };
  if (o_.channel > 0) {
    if (o_.channel > f->channels) {
      res.error = "has " + std::to_string(f->channels) + (f->channels == 1 ? " channel" : " channels") +
                  "; there is no channel " + std::to_string(o_.channel);
      return nullptr;
    }
    f->bands.push_back({o_.channel - 1, 0, label(o_.channel - 1)});
  } else if (f->channels == 2 && s_.chanMode >= 1 && s_.chanMode <= 4) {
    static const char* const kModes[] = {"", "L", "R", "L+R", "L-R"};
    f->bands.push_back({0, s_.chanMode, kModes[s_.chanMode]});
  } else {
    for (int c = 0; c < f->channels; ++c) f->bands.push_back({c, 0, label(c)});
  }

  // Rows and frequencies.
  const int fft = std::max(1, s_.fftSize);
  const double binHz = binWidthHz(f->rate, s_);
  if (s_.fminHz >= 0 || s_.fmaxHz >= 0) {
    BandZoom z = zoomForBand(s_.fminHz, s_.fmaxHz, binHz, fft, s_.column.displayHeight);
    if (!z.problem.empty()) {
      res.error = z.problem;
      return nullptr;
    }
    f->zoomMode = 1;
    f->zoomBase = z.base;
    f->rows = z.rows;
  } else {
    f->zoomMode = s_.zoomMode;
    f->zoomBase = s_.zoomBase;
    f->rows = s_.column.displayHeight;
  }
  if (f->rows <= 0) {
    res.error = "the display height is 0";
    return nullptr;
  }

  // Columns and images.
  const int scan = std::max(1, s_.scanStep);
  f->total = ceilDiv(f->frames, scan);
  f->secondsPerColumn = static_cast<double>(scan) / f->rate * s_.tapeSpeed;
  RenderLayout& l = f->base;
  l.bands = static_cast<int>(f->bands.size());
  l.plotHeight = f->rows;
  if (f->zoomMode == 1) {
    l.baseHz = f->zoomBase * binHz;
    l.hzPerRow = binHz;
  } else {
    l.hzPerRow = binHz * std::max(1, s_.column.zoomFactor);
  }
  if (o_.frames) {
    f->width = o_.width > 0 ? o_.width : std::max(1, s_.frameWidth);
    const int64_t screens = ceilDiv(f->total, f->width);
    for (int64_t i = 1; i <= screens; ++i) {
      char number[32];
      std::snprintf(number, sizeof number, "_%04lld.png", static_cast<long long>(i));
      f->paths.push_back(outBase + number);
    }
  } else {
    f->width = o_.width > 0 ? o_.width
                            : static_cast<int>(std::min<int64_t>(f->total, kMaxImageWidth - l.left - l.right));
    f->paths.push_back(outBase);
  }
  if (!o_.force) {
    std::error_code ec;
    for (const std::string& p : f->paths)
      if (std::filesystem::exists(p, ec)) {
        res.error = p + " exists (--force replaces it)";
        return nullptr;
      }
  }
  f->written.assign(f->paths.size(), 0);
  f->stamp = recordingStamp(input);
  if (std::string placeAndTime = guanoPlaceAndTime(input); !placeAndTime.empty()) f->notes.push_back(placeAndTime);

  // Caption and footer wrap where the narrowest image of the file (the last
  // screen) would cut them, so that every image has the same layout; extra
  // lines move the plot down and the bottom edge further.
  const int64_t narrowest = o_.frames ? f->total - (ceilDiv(f->total, f->width) - 1) * f->width : f->width;
  f->textChars = std::max(1, (static_cast<int>(narrowest) + l.right - 4) / kCharWidthPx);
  const int screens = o_.frames ? static_cast<int>(f->paths.size()) : 0;
  const size_t captionLines = wrapPieces(captionOf(*f, s_, screens, screens), f->textChars).size();
  l.top += static_cast<int>(std::max<size_t>(captionLines, 1) - 1) * kLineStep;
  l.bottom += static_cast<int>(footerLines(*f, s_).size()) * kLineStep;

  f->work = f->total * static_cast<int64_t>(f->bands.size()) * f->rows;
  for (size_t i = 0; i < f->paths.size(); ++i) f->work += imageWork(imageLayout(*f, static_cast<int64_t>(i), o_.frames));
  return f;
}

std::vector<Range> Batch::ranges(const std::vector<std::unique_ptr<FileJob>>& files, int jobs) const {
  std::vector<Range> out;
  int64_t work = 0;
  for (auto& f : files) work += f->total * static_cast<int64_t>(f->bands.size());
  // Averaging carries each column into the next: such files stay whole.
  const bool split = jobs > 1 && !(s_.column.avgMode >= 1 && s_.column.avgMode <= 4);
  for (auto& fp : files) {
    FileJob& f = *fp;
    const int64_t T = f.total, W = f.width;
    if (!split) {
      out.push_back({&f, 0, T});
      continue;
    }
    // Several ranges per worker, so that one that ends early finds more.
    const int64_t target = std::max<int64_t>(
        kMinRangeColumns, work / (static_cast<int64_t>(jobs) * 32) / static_cast<int64_t>(f.bands.size()));
    if (o_.frames) {
      // Screens stay whole: each range writes its own.
      const int64_t per = std::max<int64_t>(1, (target + W / 2) / W) * W;
      for (int64_t k = 0; k < T; k += per) out.push_back({&f, k, std::min(T, k + per)});
    } else if (T > W) {
      // Columns that share a pixel stay in one range.
      const int64_t pixels = std::max<int64_t>(1, ceilDiv(target * W, T));
      for (int64_t p = 0; p < W; p += pixels) {
        const int64_t q = std::min(W, p + pixels);
        out.push_back({&f, ceilDiv(p * T, W), ceilDiv(q * T, W)});
      }
    } else {
      for (int64_t k = 0; k < T; k += target) out.push_back({&f, k, std::min(T, k + target)});
    }
  }
  for (const Range& r : out) {
    ++r.file->ranges;
    r.file->rangesLeft.fetch_add(1);
  }
  return out;
}

void Batch::renderRange(const Range& r, SpectrumEngine& eng, WorkerScratch& scratch) {
  FileJob& f = *r.file;
  if (f.failed()) return;  // the file's first error stands; its other ranges need not start
  if (!o_.frames) {
    std::call_once(f.plotOnce, [&] { f.plot = makePlot(f, s_, surfaces_, 0, false); });
    if (!f.plot) throw std::runtime_error("no picture");
  }
  SampleReader reader;
  if (!reader.open(f.input, f.info)) throw std::runtime_error("cannot open the file");

  const int fft = std::max(1, s_.fftSize);
  const int scan = std::max(1, s_.scanStep);
  const int carry = scan < fft ? fft - scan : 0;
  // Column k's window starts at sample k x scan + lead, as in the file
  // analysis, whose first drawn column is the window at the first sample.
  const int skip = std::max(0, -firstColumnX(fft, scan));
  const int64_t lead = static_cast<int64_t>(skip) * scan - carry;
  const int block = std::max(scan, scan * std::max(1, 65536 / scan));
  const int perBlock = block / scan;
  const int nb = static_cast<int>(f.bands.size());
  const int ch = f.channels;
  const int64_t T = f.total, W = f.width;
  const bool squeeze = !o_.frames && T > W;
  const bool averaging = s_.column.avgMode >= 1 && s_.column.avgMode <= 4;

  PublicVars vars;
  vars.ZoomMode = f.zoomMode;
  vars.ZoomBase = f.zoomBase;
  vars.Darkness = s_.darkness;
  vars.FFTsize = s_.fftSize;

  std::vector<int16_t>& in = scratch.in;
  in.resize(std::max(in.size(), static_cast<size_t>(carry + block) * static_cast<size_t>(ch)));
  std::vector<std::vector<int16_t>> carries(static_cast<size_t>(nb), std::vector<int16_t>(static_cast<size_t>(carry)));
  std::vector<std::unique_ptr<SpectrumOps>> ops(static_cast<size_t>(nb));
  if (averaging)
    for (auto& o : ops) o = std::make_unique<SpectrumOps>();
  std::vector<Pen>& pens = scratch.pens;
  if (pens.size() != static_cast<size_t>(nb) || (!pens.empty() && pens.front().rows() != f.rows)) {
    pens.clear();
    for (int b = 0; b < nb; ++b) pens.emplace_back(f.rows);
  }
  for (Pen& pen : pens) pen.reset();

  Plot* plot = f.plot.get();
  // Screens: the bands take turns over the same columns, so a screen is
  // written once every band has left it.
  struct Screen {
    std::unique_ptr<Plot> plot;
    int bandsDone = 0;
  };
  std::map<int64_t, Screen> screens;
  std::vector<int64_t> screenOfBand(static_cast<size_t>(nb), -1);
  auto screenFor = [&](int64_t index) -> Plot& {
    Screen& sc = screens[index];
    if (!sc.plot)
      sc.plot = makePlot(f, s_, surfaces_, index, true);
    return *sc.plot;
  };
  auto leaveScreen = [&](int band) {
    const int64_t index = screenOfBand[static_cast<size_t>(band)];
    if (index < 0) return;
    Screen& sc = screens[index];
    pens[static_cast<size_t>(band)].finish(*sc.plot, band);
    if (++sc.bandsDone < nb) return;
    std::string error;
    if (!savePlot(*sc.plot, f.paths[static_cast<size_t>(index)], error)) throw std::runtime_error(error);
    done_.fetch_add(imageWork(sc.plot->layout), std::memory_order_relaxed);
    {
      std::lock_guard<std::mutex> lock(f.m);
      f.written[static_cast<size_t>(index)] = 1;
    }
    screens.erase(index);
  };

  int16_t* x = eng.samples();
  const int64_t a0 = r.first * scan + lead;
  for (int64_t kc = r.first; kc < r.end; kc += perBlock) {
    if (f.failed()) return;
    const bool first = kc == r.first;
    const int n = first ? carry + block : block;
    const int64_t from = first ? a0 : a0 + (kc - r.first) * scan + carry;
    // Frames before the start and past the end are silence.
    const int lo = static_cast<int>(std::clamp<int64_t>(-from, 0, n));
    int hi = static_cast<int>(std::clamp<int64_t>(f.frames - from, lo, n));
    std::fill(in.begin(), in.begin() + static_cast<ptrdiff_t>(lo) * ch, int16_t{0});
    if (hi > lo) hi = lo + static_cast<int>(reader.readFrames(from + lo, in.data() + static_cast<size_t>(lo) * ch, static_cast<size_t>(hi - lo)));
    std::fill(in.begin() + static_cast<ptrdiff_t>(hi) * ch, in.begin() + static_cast<ptrdiff_t>(n) * ch, int16_t{0});
    const int dst = first ? 0 : carry;
    const int cols = static_cast<int>(std::min<int64_t>(perBlock, r.end - kc));
    for (int b = 0; b < nb; ++b) {
      const auto bi = static_cast<size_t>(b);
      if (!first && carry > 0) std::memcpy(x, carries[bi].data(), static_cast<size_t>(carry) * sizeof(int16_t));
      extractBand(f.bands[bi], in.data(), static_cast<size_t>(n), ch, x + dst);
      if (hi > lo) eng.ConditionBlock(dst + lo, hi - lo, s_.condition);
      eng.ops = ops[bi].get();
      for (int j = 0; j < cols; ++j) {
        const int64_t k = kc + j;
        eng.ComputeSpectrumColumn(j * scan, vars);
        const float* col = eng.column();
        if (o_.frames) {
          if (k / W != screenOfBand[bi]) {
            leaveScreen(b);
            screenOfBand[bi] = k / W;
          }
          pens[bi].put(screenFor(k / W), b, static_cast<int>(k % W), col);
        } else if (squeeze) {
          pens[bi].accumulate(*plot, b, static_cast<int>(k * W / T), col);
        } else {
          // A short file: each column is repeated over its pixels.
          for (int64_t px = ceilDiv(k * W, T); px < ceilDiv((k + 1) * W, T); ++px)
            pens[bi].put(*plot, b, static_cast<int>(px), col);
        }
      }
      if (carry > 0) std::memcpy(carries[bi].data(), x + block, static_cast<size_t>(carry) * sizeof(int16_t));
    }
    const int64_t did = static_cast<int64_t>(cols) * nb;
    f.columns.fetch_add(did, std::memory_order_relaxed);
    done_.fetch_add(did * f.rows, std::memory_order_relaxed);
  }
  eng.ops = nullptr;
  if (o_.frames) {
    for (int b = 0; b < nb; ++b) leaveScreen(b);
  } else {
    for (int b = 0; b < nb; ++b) pens[static_cast<size_t>(b)].finish(*plot, b);
  }
}

void Batch::finishFile(FileJob& f) {
  if (o_.frames || f.failed() || !f.plot) {
    f.plot.reset();
    f.finished.store(true);
    return;
  }
  std::string error;
  if (savePlot(*f.plot, f.paths[0], error)) {
    done_.fetch_add(imageWork(f.plot->layout), std::memory_order_relaxed);
    std::lock_guard<std::mutex> lock(f.m);
    f.written[0] = 1;
  } else {
    f.fail(error);
  }
  f.plot.reset();
  f.finished.store(true);
}

void Batch::run(std::vector<std::unique_ptr<FileJob>>& files, int jobs, const RenderProgress& progress) {
  if (files.empty()) return;
  std::vector<Range> work = ranges(files, jobs);
  jobs = std::clamp(jobs, 1, static_cast<int>(work.size()));

  // Every worker's transform is planned here, before any worker starts.
  ColumnSetup cs = s_.column;
  cs.stride = 1;
  cs.zscale = 0;  // pictures are in dB, as the file analysis draws
  int rows = 1;
  for (auto& f : files) rows = std::max(rows, f->rows);
  cs.displayHeight = rows;
  std::vector<std::unique_ptr<SpectrumEngine>> engines;
  for (int j = 0; j < jobs; ++j) {
    engines.push_back(std::make_unique<SpectrumEngine>(dsp_));
    engines.back()->beginRun(cs);
  }

  std::atomic<size_t> next{0};
  std::atomic<int> busy{jobs};
  auto worker = [&](SpectrumEngine& eng) {
    WorkerScratch scratch;
    for (size_t i = next.fetch_add(1); i < work.size(); i = next.fetch_add(1)) {
      FileJob& f = *work[i].file;
      f.started.store(true);
      try {
        renderRange(work[i], eng, scratch);
      } catch (const std::exception& e) {
        f.fail(e.what());
      }
      if (f.rangesLeft.fetch_sub(1) == 1) finishFile(f);
    }
    busy.fetch_sub(1);
  };
  std::vector<std::thread> threads;
  const int first = progress ? 0 : 1;
  for (int j = first; j < jobs; ++j) threads.emplace_back(worker, std::ref(*engines[static_cast<size_t>(j)]));
  if (progress) {
    int64_t total = 0;
    for (auto& f : files) total += f->work;
    const auto t0 = std::chrono::steady_clock::now();
    auto report = [&] {
      RenderProgressInfo p;
      p.done = done_.load();
      p.total = total;
      p.fileCount = static_cast<int>(files.size());
      size_t current = 0;
      for (size_t i = 0; i < files.size(); ++i)
        if (files[i]->started.load()) {
          current = i;
          if (!files[i]->finished.load()) break;  // still drawn or written
        }
      p.file = files[current]->input;
      p.fileNumber = static_cast<int>(current) + 1;
      const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      if (p.done > 0 && elapsed > 0.5) p.secondsLeft = elapsed * static_cast<double>(p.total - p.done) / p.done;
      progress(p);
    };
    while (busy.load() > 0) {
      report();
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    report();
  } else {
    worker(*engines[0]);
  }
  for (auto& t : threads) t.join();
  for (auto& e : engines) e->endRun();
}

void Batch::fillResult(FileJob& f, RenderResult& res) const {
  res.input = f.input;
  res.columns = f.columns.load();
  res.ranges = f.ranges;
  for (size_t i = 0; i < f.paths.size(); ++i)
    if (f.written[i]) {
      res.outputs.push_back(f.paths[i]);
      res.layout = imageLayout(f, static_cast<int64_t>(i), o_.frames);  // the last image written
    }
  res.error = f.error;
  res.ok = f.error.empty();
}

}  // namespace

int RenderLayout::yOfFrequency(double hz, int band) const {
  const int bottomRow = bandTop(band) + plotHeight - 1;
  if (!(hzPerRow > 0)) return bottomRow;
  const double r = std::floor((hz - baseHz) / hzPerRow + 0.5);
  return bottomRow - static_cast<int>(r);
}

double binWidthHz(int rate, const RenderSettings& s) {
  return static_cast<double>(rate) / std::max(1, s.fftSize) / s.tapeSpeed * s.frequencyDivision;
}

BandZoom zoomForBand(double fminHz, double fmaxHz, double binHz, int fftSize, int displayHeight) {
  BandZoom z;
  const int topBin = fftSize / 2;  // half the sampling rate
  const double nyquist = topBin * binHz;
  if (!(binHz > 0)) {
    z.problem = "no frequency scale";
    return z;
  }
  if (fminHz >= 0 && fmaxHz >= 0 && fmaxHz <= fminHz) {
    z.problem = "--fmax " + numText(fmaxHz) + " is not above --fmin " + numText(fminHz);
    return z;
  }
  const int base = fminHz > 0 ? static_cast<int>(std::floor(fminHz / binHz + 1e-9)) : 0;
  if (fminHz >= 0 && base >= topBin) {
    z.problem = "--fmin " + numText(fminHz) + " Hz is not below half the sampling rate (" + numText(nyquist) + " Hz)";
    return z;
  }
  int rows;
  if (fmaxHz >= 0) {
    if (fmaxHz > nyquist + 1e-9) {
      z.problem = "--fmax " + numText(fmaxHz) + " Hz is above half the sampling rate (" + numText(nyquist) + " Hz)";
      return z;
    }
    rows = static_cast<int>(std::ceil(fmaxHz / binHz - 1e-9)) - base + 1;
  } else {
    rows = displayHeight;
    if (base + rows - 1 > topBin) {
      z.problem = "--fmin " + numText(fminHz) + " Hz leaves fewer than the " + numText(displayHeight) +
                  " rows of the display height below half the sampling rate (" + numText(nyquist) +
                  " Hz); give --fmax or a larger --fft";
      return z;
    }
  }
  if (rows > kColumnCapacity - 5) {
    z.problem = "--fmin/--fmax span more than " + numText(kColumnCapacity - 5) + " rows";
    return z;
  }
  z.base = base;
  z.rows = std::max(rows, 1);
  return z;
}

RenderSettings renderSettingsFrom(Program& p) {
  RenderSettings s;
  AnalysisEngine* a = p.analysis();
  if (!a) throw std::logic_error("no analysis engine");
  const int width = std::max(1, p.form1()["SpecGram"].geometry().width);
  PublicVars& v = p.vars();
  const int keptHeight = v.specVsize;
  const int height = p.form1()["Combo7"].intNumber();
  if (height > 0) v.specVsize = height;
  a->UpdateForm();  // the zoom follows the height
  a->beginRun(width);
  s.column = a->spectrum().setup();
  a->endRun();
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
  s.windowName = p.form1()["Combo5"].text();
  s.frameWidth = width;
  s.raw = rawFileSettings(p.forms());
  v.specVsize = keptHeight;
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

std::string renderProgressLine(const RenderProgressInfo& p, int barWidth) {
  const double frac = p.total > 0 ? std::clamp(static_cast<double>(p.done) / static_cast<double>(p.total), 0.0, 1.0) : 0.0;
  const int filled = static_cast<int>(frac * barWidth);
  std::string line = "[" + std::string(static_cast<size_t>(filled), '#') +
                     std::string(static_cast<size_t>(barWidth - filled), '.') + "] ";
  char pct[8];
  std::snprintf(pct, sizeof pct, "%3d%%", static_cast<int>(frac * 100));
  line += pct;
  if (!p.file.empty()) {
    std::string name = nameOf(p.file);
    if (name.size() > 40) name = name.substr(0, 18) + "..." + name.substr(name.size() - 19);
    line += "  " + name;
    if (p.fileCount > 1) line += " (" + std::to_string(p.fileNumber) + "/" + std::to_string(p.fileCount) + ")";
  }
  if (p.secondsLeft >= 0) line += "  " + clockText(static_cast<long long>(std::ceil(p.secondsLeft))) + " left";
  return line;
}

RenderResult renderFile(const std::string& input, const std::string& outBase, const RenderSettings& s,
                        const RenderOptions& o, Dsp& dsp, SurfaceFactory& surfaces) {
  Batch batch(s, o, dsp, surfaces);
  RenderResult res;
  std::vector<std::unique_ptr<FileJob>> files;
  if (auto f = batch.plan(input, outBase, res)) files.push_back(std::move(f));
  if (files.empty()) return res;
  batch.run(files, 1, {});
  batch.fillResult(*files[0], res);
  return res;
}

std::vector<RenderResult> renderAll(const std::vector<std::string>& inputs, const RenderSettings& s,
                                    const RenderOptions& o, Dsp& dsp, SurfaceFactory& surfaces,
                                    const RenderProgress& progress) {
  const int n = static_cast<int>(inputs.size());
  std::vector<RenderResult> results(static_cast<size_t>(n));
  if (n == 0) return results;
  // Two inputs of the same name would write the same image: number the later ones.
  std::set<std::string> used;
  Batch batch(s, o, dsp, surfaces);
  std::vector<std::unique_ptr<FileJob>> files;
  std::vector<size_t> resultOf;
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
    if (auto f = batch.plan(inputs[static_cast<size_t>(i)], b, results[static_cast<size_t>(i)])) {
      files.push_back(std::move(f));
      resultOf.push_back(static_cast<size_t>(i));
    }
  }
  batch.run(files, renderWorkers(o.jobs), progress);
  for (size_t j = 0; j < files.size(); ++j) batch.fillResult(*files[j], results[resultOf[j]]);
  return results;
}

int renderWorkers(int jobs) {
  return jobs > 0 ? jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

std::vector<std::string> shardOf(std::vector<std::string> inputs, int k, int n) {
  std::sort(inputs.begin(), inputs.end());
  if (n < 1 || k < 1 || k > n) return {};
  const size_t size = inputs.size();
  const size_t from = size * static_cast<size_t>(k - 1) / static_cast<size_t>(n);
  const size_t to = size * static_cast<size_t>(k) / static_cast<size_t>(n);
  return std::vector<std::string>(inputs.begin() + static_cast<ptrdiff_t>(from), inputs.begin() + static_cast<ptrdiff_t>(to));
}

}  // namespace qv
