#include "app/render_main.h"

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

#include "config/assembly.h"
#include "config/settings_file.h"
#include "config/startup.h"
#include "core/program.h"
#include "export/render.h"
#include "platform/fftw/fftw_dsp.h"
#include "platform/qt/headless_dialogs.h"
#include "platform/qt/qimage_surface.h"

namespace qv {

namespace {

const char* kUsage =
    "Usage: quorvel render INPUT... [-o OUT] [--frames] [--set KEY=VALUE ...] [--settings FILE]\n"
    "                      [--jobs N] [--width N]\n"
    "Renders the spectrogram of each recording to a PNG image with time and frequency axes.\n"
    "  -o OUT           a .png file (one input) or a folder; default: beside each input\n"
    "  --frames         one image per screen of columns (NAME_0001.png, ...)\n"
    "  --set KEY=VALUE  a setting, as in a controls file (e.g. FORM1.Combo3=1024)\n"
    "  --settings FILE  a controls file to start from\n"
    "  --jobs N         files rendered at once (default: every core)\n"
    "  --width N        columns of a whole-file image (default: one per scan step, at most 30000)\n";

// Rendered spectrograms are large and few-coloured: the fastest compression
// level keeps writing them from costing more than computing them.
class FastPngSurface : public QImageSurface, public DirectPixels {
 public:
  using QImageSurface::QImageSurface;
  uint32_t* pixelRow(int y) override {
    untouched_ = false;
    return row(y);
  }
  // A new surface is already filled with its first background: filling the
  // large picture again would cost as much as drawing it.
  void clear() override {
    if (untouched_ && generation() == 0 && background() == kFirstBackground) return;
    untouched_ = false;
    QImageSurface::clear();
  }
  bool save(const std::string& path) const override {
    const QString name = QString::fromStdString(path);
    if (!name.endsWith(".png", Qt::CaseInsensitive)) return QImageSurface::save(path);
    QImage indexed;
    if (toIndexed(image(), indexed)) return indexed.save(name, "PNG", 80);
    return image().convertToFormat(QImage::Format_RGB888).save(name, "PNG", 80);
  }

 private:
  static constexpr Rgb kFirstBackground = rgb(255, 255, 255);  // what the base fills a new picture with
  bool untouched_ = true;
  // A spectrogram uses at most the palette's 256 colours plus the axis ink;
  // when the whole picture fits in 256 colours, an 8-bit image with a colour
  // table is exact and a third of the bytes to filter and compress.
  static bool toIndexed(const QImage& src, QImage& out) {
    if (src.format() != QImage::Format_RGB32 && src.format() != QImage::Format_ARGB32) return false;
    constexpr uint32_t kSlots = 4096;  // open addressing, power of two, well above 256 entries
    std::vector<uint32_t> keys(kSlots, 0);
    std::vector<uint8_t> used(kSlots, 0), index(kSlots, 0);
    QList<QRgb> table;
    table.reserve(256);
    out = QImage(src.width(), src.height(), QImage::Format_Indexed8);
    if (out.isNull()) return false;
    uint32_t lastColour = 0;
    uint8_t lastIndex = 0;
    bool haveLast = false;
    const int w = src.width(), h = src.height();
    for (int y = 0; y < h; ++y) {
      const auto* in = reinterpret_cast<const uint32_t*>(src.constScanLine(y));
      uint8_t* o = out.scanLine(y);
      for (int x = 0; x < w; ++x) {
        const uint32_t c = in[x] | 0xFF000000u;
        if (haveLast && c == lastColour) {
          o[x] = lastIndex;
          continue;
        }
        uint32_t slot = (c * 2654435761u) >> 20;
        while (used[slot] && keys[slot] != c) slot = (slot + 1) & (kSlots - 1);
        if (!used[slot]) {
          if (table.size() == 256) return false;
          used[slot] = 1;
          keys[slot] = c;
          index[slot] = static_cast<uint8_t>(table.size());
          table.push_back(c);
        }
        lastColour = c;
        lastIndex = index[slot];
        haveLast = true;
        o[x] = lastIndex;
      }
    }
    out.setColorTable(table);
    return true;
  }
};

class FastPngFactory : public SurfaceFactory {
 public:
  std::shared_ptr<Surface> create(int w, int h) override { return std::make_shared<FastPngSurface>(w, h); }
};

struct RenderArgs {
  std::vector<std::string> inputs;
  std::vector<std::pair<std::string, std::string>> sets;
  std::string settingsFile;
  RenderOptions options;
  bool help = false;
};

bool parsePositive(const std::string& text, int& out) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < 1 || v > 1000000) return false;
  out = static_cast<int>(v);
  return true;
}

std::string parseArgs(const std::vector<std::string>& a, RenderArgs& r) {
  for (size_t i = 0; i < a.size(); ++i) {
    const std::string& s = a[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= a.size()) return false;
      out = a[++i];
      return true;
    };
    std::string v;
    if (s == "-h" || s == "--help") {
      r.help = true;
    } else if (s == "-o" || s == "--output") {
      if (!value(r.options.output) || r.options.output.empty()) return s + " needs a file or folder";
    } else if (s == "--frames") {
      r.options.frames = true;
    } else if (s == "--set") {
      if (!value(v)) return "--set needs KEY=VALUE";
      size_t eq = v.find('=');
      if (eq == std::string::npos || eq == 0) return "--set needs KEY=VALUE, not \"" + v + "\"";
      r.sets.emplace_back(v.substr(0, eq), v.substr(eq + 1));
    } else if (s == "--settings") {
      if (!value(r.settingsFile)) return "--settings needs a file";
    } else if (s == "--jobs") {
      if (!value(v) || !parsePositive(v, r.options.jobs)) return "--jobs needs a positive number";
    } else if (s == "--width") {
      if (!value(v) || !parsePositive(v, r.options.width)) return "--width needs a positive number";
    } else if (s.size() > 1 && s[0] == '-') {
      return "unknown option " + s;
    } else {
      r.inputs.push_back(s);
    }
  }
  if (!r.help && r.inputs.empty()) return "no input file";
  return {};
}

void drawProgress(int64_t done, int64_t total) {
  const int width = 40;
  const double f = total > 0 ? std::min(1.0, static_cast<double>(done) / static_cast<double>(total)) : 0.0;
  const int filled = static_cast<int>(f * width);
  std::string bar(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(width - filled), '.');
  std::fprintf(stderr, "\r[%s] %3d%%", bar.c_str(), static_cast<int>(f * 100));
  std::fflush(stderr);
}

}  // namespace

int runRender(int argc, char** argv) {
  std::vector<std::string> args(argv + 2, argv + argc);
  RenderArgs ra;
  std::string err = parseArgs(args, ra);
  if (ra.help) {
    std::cout << kUsage;
    return 0;
  }
  if (!err.empty()) {
    std::cerr << "quorvel render: " << err << "\n" << kUsage;
    return 2;
  }

  // Fonts for the axis labels need a GUI application, but never a display.
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);

  FftwDsp dsp;
  FastPngFactory surfaces;
  HeadlessDialogs dialogs;
  Services svc;
  svc.dsp = &dsp;
  svc.surfaces = &surfaces;
  svc.dialogs = &dialogs;
  std::error_code ec;
  Program program(svc, std::filesystem::temp_directory_path(ec).string());
  auto subsystems = assembleProgram(program);

  if (!ra.settingsFile.empty()) {
    if (!std::filesystem::is_regular_file(ra.settingsFile, ec)) {
      std::cerr << "quorvel render: cannot read the settings file " << ra.settingsFile << "\n";
      return 2;
    }
    if (!LoadControls(program, ra.settingsFile)) {
      std::cerr << "quorvel render: cannot read the settings file " << ra.settingsFile << "\n";
      return 2;
    }
  }
  for (auto& [key, value] : ra.sets) {
    std::string message;
    if (!applyCommandLineSetting(program, key, value, message)) {
      std::cerr << "quorvel render: " << message << "\n";
      return 2;
    }
  }
  RenderSettings settings = renderSettingsFrom(program);

  const std::string& out = ra.options.output;
  if (!out.empty()) {
    const bool pngFile = out.size() >= 4 && (out.substr(out.size() - 4) == ".png" || out.substr(out.size() - 4) == ".PNG");
    std::filesystem::path folder = pngFile ? std::filesystem::path(out).parent_path() : std::filesystem::path(out);
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    if (ec) {
      std::cerr << "quorvel render: cannot create " << folder.string() << ": " << ec.message() << "\n";
      return 2;
    }
  }

  const bool tty = ::isatty(STDERR_FILENO) != 0;
  RenderProgress progress;
  if (tty) progress = drawProgress;
  std::vector<RenderResult> results = renderAll(ra.inputs, settings, ra.options, dsp, surfaces, progress);
  if (tty) std::fprintf(stderr, "\n");

  int failed = 0;
  for (const RenderResult& r : results) {
    if (r.ok) {
      for (const std::string& o : r.outputs) std::cout << o << "\n";
    } else {
      ++failed;
      std::cerr << "quorvel render: " << r.input << ": " << r.error << "\n";
    }
  }
  return failed > 0 ? 1 : 0;
}

}  // namespace qv
