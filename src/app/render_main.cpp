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
#include "platform/qt/indexed_surface.h"

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
  IndexedSurfaceFactory surfaces;
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
