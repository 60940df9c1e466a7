#include "app/render_main.h"

#include <QGuiApplication>
#include <QtGlobal>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "config/assembly.h"
#include "config/setting_rules.h"
#include "config/settings_file.h"
#include "config/settings_line.h"
#include "config/startup.h"
#include "core/program.h"
#include "export/render.h"
#include "files/file_info.h"
#include "platform/fftw/fftw_dsp.h"
#include "platform/qt/headless_dialogs.h"
#include "platform/qt/indexed_surface.h"

namespace qv {

namespace {

namespace fs = std::filesystem;

const char* kUsage =
    "Usage: quorvel render [OPTIONS] [--] INPUT...\n"
    "Renders the spectrogram of each recording to a PNG image: every channel in a band of its\n"
    "own, with the file name, its start date and time, axes and a dB colour bar.\n"
    "\n"
    "Output\n"
    "  -o, --output OUT  a .png file (one input) or a folder, made when missing;\n"
    "                    default: each image beside its recording\n"
    "  --force           replace images that exist (otherwise that file fails, the others go on)\n"
    "  --frames          one image per screen of columns (NAME_0001.png, ...)\n"
    "  --width N         columns across the image: a short recording is widened, a long one\n"
    "                    squeezed keeping each row's loudest value. Default: one column per\n"
    "                    scan step, with the picture at most 16384 pixels wide so that common\n"
    "                    image tools open it. With --frames: columns per screen\n"
    "  --channel N       channel N only (1 is left); default: every channel in its own band\n"
    "Analysis: the program's own settings; a value the setting does not take is refused\n"
    "  --fft N           FFT size and window length, a power of two from 512 to 16384\n"
    "                    (FORM1.Combo3, FORM1.Combo4)\n"
    "  --window NAME     Linear, Hanning, Hamming, Kaiser-Bessel or Gaussian (FORM1.Combo5)\n"
    "  --step N          scan step: samples from one column to the next (FORM1.Combo6)\n"
    "  --height N        rows of each band, at most half the FFT size (FORM1.Combo7)\n"
    "  --scale N         colour scale, 0 to 18 (FORM1.Combo8)\n"
    "  --fmin HZ         lowest frequency shown, one row per FFT bin (the zoom)\n"
    "  --fmax HZ         highest frequency shown (with --fmin: instead of --height)\n"
    "  --set KEY=VALUE   any setting, as in a controls file (e.g. FORM1.Combo3=1024)\n"
    "  --settings FILE   a controls file to start from (\"Save Controls\" writes one)\n"
    "Work\n"
    "  --jobs N          workers (default: every core); one long file is shared out too\n"
    "  --shard K/N       only the K-th of N equal shares of the inputs sorted by name,\n"
    "                    for job arrays (see docs/render.md)\n"
    "  --                end of options (for a file named -x.wav)\n"
    "  -h, --help        this help\n"
    "Exit status: 0 every image written, 1 a file failed, 2 usage error (nothing written).\n";

// One analysis setting from the command line, applied in the order given.
struct Assignment {
  std::string option;  // as typed, for messages
  std::string name;    // "set", "fft", "window", "step", "height", "scale"
  std::string value;
};

struct RenderArgs {
  std::vector<std::string> inputs;
  std::vector<Assignment> assignments;
  std::string settingsFile;
  RenderOptions options;
  std::string fmin, fmax;
  int shardK = 0, shardN = 0;
  bool help = false;
};

bool parseCount(const std::string& text, int lo, int hi, int& out) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  const long v = std::strtol(text.c_str(), nullptr, 10);
  if (v < lo || v > hi) return false;
  out = static_cast<int>(v);
  return true;
}

bool parseHz(const std::string& text, double& out) {
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return !text.empty() && end && *end == '\0' && out >= 0 && out < 1e7;
}

std::string lowered(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string parseArgs(const std::vector<std::string>& a, RenderArgs& r) {
  const std::vector<std::string> withValue = {"-o",      "--output", "--set",   "--settings", "--jobs",
                                              "--width", "--channel", "--fft",  "--window",   "--step",
                                              "--height", "--scale", "--fmin",  "--fmax",     "--shard"};
  bool options = true;
  for (size_t i = 0; i < a.size(); ++i) {
    std::string s = a[i];
    if (!options || s.size() < 2 || s[0] != '-') {
      r.inputs.push_back(s);
      continue;
    }
    if (s == "--") {
      options = false;
      continue;
    }
    std::string v;
    bool hasValue = false;
    const size_t eq = s.find('=');
    if (s.rfind("--", 0) == 0 && eq != std::string::npos) {
      v = s.substr(eq + 1);
      s = s.substr(0, eq);
      hasValue = true;
    }
    const bool takesValue = std::find(withValue.begin(), withValue.end(), s) != withValue.end();
    if (hasValue && !takesValue) return s + " takes no value";
    if (takesValue && !hasValue) {
      if (i + 1 >= a.size()) return s + " needs a value";
      v = a[++i];
    }
    if (s == "-h" || s == "--help") {
      r.help = true;
    } else if (s == "-o" || s == "--output") {
      if (v.empty()) return s + " needs a file or folder";
      r.options.output = v;
    } else if (s == "--force") {
      r.options.force = true;
    } else if (s == "--frames") {
      r.options.frames = true;
    } else if (s == "--set") {
      const size_t e = v.find('=');
      if (e == std::string::npos || e == 0) return "--set needs KEY=VALUE, not \"" + v + "\"";
      r.assignments.push_back({"--set " + v, "set", v});
    } else if (s == "--settings") {
      r.settingsFile = v;
    } else if (s == "--jobs") {
      if (!parseCount(v, 1, 1024, r.options.jobs)) return "--jobs takes a number from 1 to 1024, not \"" + v + "\"";
    } else if (s == "--width") {
      if (!parseCount(v, 1, kMaxRenderWidth, r.options.width))
        return "--width takes a number of columns from 1 to " + std::to_string(kMaxRenderWidth) + ", not \"" + v + "\"";
    } else if (s == "--channel") {
      if (!parseCount(v, 1, 1024, r.options.channel)) return "--channel takes a channel number from 1, not \"" + v + "\"";
    } else if (s == "--fft" || s == "--window" || s == "--step" || s == "--height" || s == "--scale") {
      r.assignments.push_back({s + " " + v, s.substr(2), v});
    } else if (s == "--fmin" || s == "--fmax") {
      double hz = 0;
      if (!parseHz(v, hz)) return s + " takes a frequency in Hz, not \"" + v + "\"";
      (s == "--fmin" ? r.fmin : r.fmax) = v;
    } else if (s == "--shard") {
      const size_t slash = v.find('/');
      if (slash == std::string::npos || !parseCount(v.substr(0, slash), 1, 1000000, r.shardK) ||
          !parseCount(v.substr(slash + 1), 1, 1000000, r.shardN) || r.shardK > r.shardN)
        return "--shard takes K/N with 1 <= K <= N, not \"" + v + "\"";
    } else {
      return "unknown option " + s + " (a file whose name starts with - goes after --)";
    }
  }
  if (!r.help && r.inputs.empty()) return "no input file";
  return {};
}

// Where the images go, checked before anything is written.
std::string checkOutput(const RenderArgs& ra) {
  const std::string& out = ra.options.output;
  if (out.empty()) return {};
  std::error_code ec;
  const bool isFolder = fs::is_directory(out, ec);
  const bool exists = fs::exists(out, ec);
  const bool slash = out.back() == '/';
  const std::string ext = slash ? std::string() : lowered(fs::path(out).extension().string());
  if (!isFolder && ext == ".png") {
    if (ra.inputs.size() > 1)
      return "-o " + out + " names one image, but there are " + std::to_string(ra.inputs.size()) +
             " inputs; give a folder";
    return {};
  }
  if (!isFolder && !ext.empty())
    return "-o " + out + ": images are written as PNG; give NAME.png for one input or a folder "
           "(a folder name ending in / may hold a dot)";
  if (exists && !isFolder) return "-o " + out + " exists and is not a folder";
  return {};
}

// A controls file holds "SECTION.Name = value" lines for the program's
// controls; anything else is refused before it changes a setting.
std::string loadSettingsFile(Program& program, const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return "cannot read the settings file " + path;
  std::ifstream in(path, std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) return "cannot read the settings file " + path;
  const std::string notControls = path + " is not a controls file (lines like FORM1.Combo3 = 1024)";
  if (content.find('\0') != std::string::npos) return notControls;
  // Editors elsewhere may put a byte-order mark first; it is not part of the first key.
  if (content.rfind("\xEF\xBB\xBF", 0) == 0) content.erase(0, 3);
  // Checked before any line is applied, so a refused file changes nothing.
  int known = 0;
  std::istringstream ss(content);
  for (std::string line; std::getline(ss, line);) {
    std::string value;
    const Control* c = settingsLineControl(program.forms(), line, value);
    if (!c) continue;
    ++known;
    if (c->kind() == Kind::TextBox || c->kind() == Kind::ComboBox)
      if (std::string p = settingValueProblem(*c, value); !p.empty()) return path + ": " + p;
  }
  if (known == 0) return notControls;
  applyControlsText(program, std::move(content));
  return {};
}

// Chooses a value the way the operator does: from the list when it is
// there, else typed; either way the control's choice handling runs.
void choose(Control& c, const std::string& value) {
  const auto& items = c.items();
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i] == value) {
      c.setListIndex(static_cast<int>(i));
      return;
    }
  c.setText(value);
  c.raise(Event::Click);
}

std::string applyAssignment(Program& program, const Assignment& a) {
  Form& f = program.form1();
  auto checked = [&](Control& c, const std::string& value) {
    std::string p = settingValueProblem(c, value);
    return p.empty() ? p : a.option + ": " + p;
  };
  if (a.name == "set") {
    const size_t e = a.value.find('=');
    const std::string key = a.value.substr(0, e), value = a.value.substr(e + 1);
    if (Control* c = program.forms().findKey(key))
      if (std::string p = checked(*c, value); !p.empty()) return p;
    std::string message;
    if (!applyCommandLineSetting(program, key, value, message)) return message;
    return {};
  }
  if (a.name == "fft") {
    if (std::string p = checked(f["Combo3"], a.value); !p.empty()) return p;
    choose(f["Combo3"], a.value);
    choose(f["Combo4"], a.value);
    return {};
  }
  if (a.name == "window") {
    Control& c = f["Combo5"];
    const std::string want = lowered(a.value);
    int found = -1, matches = 0;
    for (size_t i = 0; i < c.items().size(); ++i) {
      const std::string item = lowered(c.items()[i]);
      if (item == want) {
        found = static_cast<int>(i);
        matches = 1;
        break;
      }
      if (!want.empty() && item.rfind(want, 0) == 0) {
        found = static_cast<int>(i);
        ++matches;
      }
    }
    if (matches != 1) return a.option + ": " + settingValueProblem(c, a.value);
    c.setListIndex(found);
    return {};
  }
  if (a.name == "step" || a.name == "height") {
    Control& c = f[a.name == "step" ? "Combo6" : "Combo7"];
    if (std::string p = checked(c, a.value); !p.empty()) return p;
    choose(c, a.value);
    return {};
  }
  if (a.name == "scale") {
    Control& c = f["Combo8"];
    int n = -1;
    if (!parseCount(a.value, 0, 18, n))
      return a.option + ": FORM1.Combo8 (colour scale) takes a number from 0 to 18 for a picture, not \"" + a.value + "\"";
    for (size_t i = 0; i < c.items().size(); ++i)
      if (static_cast<int>(leadingNumber(c.items()[i])) == n && !c.items()[i].empty() &&
          std::isdigit(static_cast<unsigned char>(c.items()[i][0]))) {
        c.setListIndex(static_cast<int>(i));
        return {};
      }
    choose(c, a.value);
    return {};
  }
  return "unknown setting " + a.option;
}

// What the settings say together that no single control checks.
std::string checkCombination(Program& program, const RenderArgs& ra) {
  Form& f = program.form1();
  const int fft = f["Combo3"].intNumber();
  const int height = f["Combo7"].intNumber();
  const bool band = !ra.fmin.empty() || !ra.fmax.empty();
  bool heightGiven = false;
  for (const Assignment& a : ra.assignments) heightGiven = heightGiven || a.name == "height";
  if (heightGiven && !ra.fmax.empty()) return "--height and --fmax both set the rows; give one of them";
  if (!band || ra.fmax.empty()) {
    if (height < 1) return "the display height (FORM1.Combo7) is 0: a picture needs at least one row";
    if (height > fft / 2)
      return "the display height " + std::to_string(height) + " (FORM1.Combo7) needs an FFT size of at least " +
             std::to_string(2 * height) + " (FORM1.Combo3 is " + std::to_string(fft) + "): one row per bin at most";
  }
  return {};
}

void dropLibraryChatter(QtMsgType type, const QMessageLogContext&, const QString& msg) {
  // Notices of the Qt runtime (no runtime folder, font fallbacks) are not
  // the user's business; real failures still show.
  if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "quorvel render: %s\n", qPrintable(msg));
}

void showProgress(const RenderProgressInfo& p) {
  std::fprintf(stderr, "\r%s\033[K", renderProgressLine(p).c_str());
  std::fflush(stderr);
}

}  // namespace

int runRender(int argc, char** argv) {
  std::vector<std::string> args(argv + 2, argv + argc);
  RenderArgs ra;
  const std::string err = parseArgs(args, ra);
  if (ra.help) {
    std::cout << kUsage;
    return 0;
  }
  auto usage = [](const std::string& why) {
    std::cerr << "quorvel render: " << why << "\n(quorvel render --help lists the options)\n";
    return 2;
  };
  if (!err.empty()) return usage(err);
  if (std::string e = checkOutput(ra); !e.empty()) return usage(e);

  // Fonts for the labels need a GUI application, but never a display.
  qInstallMessageHandler(dropLibraryChatter);
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);

  FftwDsp dsp;
  IndexedSurfaceFactory surfaces(renderWorkers(ra.options.jobs));
  HeadlessDialogs dialogs;
  Services svc;
  svc.dsp = &dsp;
  svc.surfaces = &surfaces;
  svc.dialogs = &dialogs;
  std::error_code ec;
  Program program(svc, fs::temp_directory_path(ec).string());
  auto subsystems = assembleProgram(program);

  if (!ra.settingsFile.empty()) {
    if (std::string e = loadSettingsFile(program, ra.settingsFile); !e.empty()) return usage(e);
  }
  for (const Assignment& a : ra.assignments)
    if (std::string e = applyAssignment(program, a); !e.empty()) return usage(e);
  if (std::string e = checkCombination(program, ra); !e.empty()) return usage(e);
  RenderSettings settings = renderSettingsFrom(program);
  if (!ra.fmin.empty()) settings.fminHz = std::strtod(ra.fmin.c_str(), nullptr);
  if (!ra.fmax.empty()) settings.fmaxHz = std::strtod(ra.fmax.c_str(), nullptr);

  std::vector<std::string> inputs = ra.inputs;
  if (ra.shardN > 0) {
    inputs = shardOf(inputs, ra.shardK, ra.shardN);
    if (inputs.empty()) {
      std::cerr << "quorvel render: share " << ra.shardK << "/" << ra.shardN << " of " << ra.inputs.size()
                << " inputs is empty\n";
      return 0;
    }
  }
  // A frequency band the zoom cannot show for some recording is a usage
  // error, found before any image is written.
  if (settings.fminHz >= 0 || settings.fmaxHz >= 0)
    for (const std::string& in : inputs) {
      FileInfo info;
      if (!GetFileInfo(in, settings.raw, info).ok || info.SampleRate <= 0) continue;
      BandZoom z = zoomForBand(settings.fminHz, settings.fmaxHz, binWidthHz(info.SampleRate, settings), settings.fftSize,
                               settings.column.displayHeight);
      if (!z.problem.empty()) return usage(in + ": " + z.problem);
    }

  const std::string& out = ra.options.output;
  if (!out.empty()) {
    const bool pngFile = !fs::is_directory(out, ec) && lowered(fs::path(out).extension().string()) == ".png" &&
                         out.back() != '/';
    const fs::path folder = pngFile ? fs::path(out).parent_path() : fs::path(out);
    ec.clear();
    if (!folder.empty()) fs::create_directories(folder, ec);
    if (ec) {
      std::cerr << "quorvel render: cannot make the folder " << folder.string() << ": " << ec.message() << "\n";
      return 2;
    }
  }

  const bool tty = ::isatty(STDERR_FILENO) != 0;
  std::vector<RenderResult> results =
      renderAll(inputs, settings, ra.options, dsp, surfaces, tty ? RenderProgress(showProgress) : RenderProgress());
  if (tty) std::fprintf(stderr, "\n");

  int failed = 0;
  for (const RenderResult& r : results) {
    for (const std::string& o : r.outputs) std::cout << o << "\n";
    if (!r.ok) {
      ++failed;
      std::cerr << "quorvel render: " << r.input << ": " << r.error << "\n";
    }
  }
  return failed > 0 ? 1 : 0;
}

}  // namespace qv
