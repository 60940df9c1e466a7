#include "config/command_line.h"

#include <cstdlib>

namespace qv {

static bool parseInt(const std::string& s, int& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (*end != '\0' || v < -2147483647L || v > 2147483647L) return false;
  out = static_cast<int>(v);
  return true;
}

ParseResult parseCommandLine(const std::vector<std::string>& args) {
  ParseResult r;
  auto& cl = r.cl;
  std::vector<std::string> classic;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto needValue = [&](std::string& out) -> bool {
      auto eq = a.find('=');
      if (eq != std::string::npos && a.rfind("--", 0) == 0) {
        out = a.substr(eq + 1);
        return true;
      }
      if (i + 1 >= args.size()) {
        r.error = "Option " + a + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    std::string opt = a;
    if (a.rfind("--", 0) == 0 && a.find('=') != std::string::npos) opt = a.substr(0, a.find('='));
    std::string v;
    if (opt == "--home") {
      if (!needValue(cl.home)) return r;
    } else if (opt == "--set") {
      if (!needValue(v)) return r;
      auto eq = v.find('=');
      if (eq == std::string::npos || eq == 0) {
        r.error = "--set takes KEY=VALUE, for example --set OPTIONS0.chkUDPSlave=1 (got \"" + v + "\")";
        return r;
      }
      cl.sets.emplace_back(v.substr(0, eq), v.substr(eq + 1));
    } else if (opt == "--click") {
      if (!needValue(v)) return r;
      auto dot = v.find('.');
      if (dot == std::string::npos || dot == 0 || dot + 1 == v.size()) {
        r.error = "--click takes FORM.Control, for example --click FORM1.SetTcpIp (got \"" + v + "\")";
        return r;
      }
      cl.clicks.push_back(v);
    } else if (opt == "--task") {
      if (!needValue(v)) return r;
      int n = 0;
      if (!parseInt(v, n) || n < 1 || n > 4) {
        r.error = "--task takes a mode number from 1 to 4 (got \"" + v + "\")";
        return r;
      }
      cl.task = n;
    } else if (opt == "--start") {
      cl.start = true;
    } else if (opt == "--quit-after") {
      if (!needValue(v)) return r;
      char* end = nullptr;
      double s = std::strtod(v.c_str(), &end);
      if (v.empty() || *end != '\0' || !(s >= 0) || s > 1e9) {
        r.error = "--quit-after takes a number of seconds (got \"" + v + "\")";
        return r;
      }
      cl.quitAfterSeconds = s;
    } else if (opt == "--headless") {
      cl.headless = true;
    } else if (opt == "--version") {
      cl.version = true;
    } else if (opt == "--help" || opt == "-h") {
      cl.help = true;
    } else if (opt == "--list-devices") {
      cl.listDevices = true;
    } else if (opt == "--list-settings") {
      cl.listSettings = true;
      if (a != opt) {
        const std::string format = a.substr(opt.size() + 1);
        if (format != "markdown" && format != "text") {
          r.error = "--list-settings takes no value, or =markdown (got \"" + format + "\")";
          return r;
        }
        cl.settingsMarkdown = format == "markdown";
      }
    } else if (a.rfind("--", 0) == 0 || (a.size() > 1 && a[0] == '-')) {
      r.error = "Unknown option " + a + " (see --help)";
      return r;
    } else {
      classic.push_back(a);
    }
  }
  for (size_t i = 0; i < classic.size(); ++i) cl.classicArgs += (i ? " " : "") + classic[i];
  return r;
}

std::string commandLineHelp() {
  return "Usage: quorvel [options] [FILE] [/REC] [/AUTO] [/PPT]\n"
         "       quorvel render INPUT... [options]   spectrogram pictures of recordings (see render --help)\n"
         "\n"
         "  FILE               open a recording for analysis\n"
         "  /REC               start real-time analysis with recording\n"
         "  --home DIR         program folder (settings, presets, logs); default $QUORVEL_HOME,\n"
         "                     the executable's folder when writable, else ~/.local/share/Quorvel/\n"
         "  --set KEY=VALUE    set a control after start-up, e.g. --set OPTIONS0.chkUDPSlave=1\n"
         "  --click FORM.CTRL  press a button or menu item as the operator would, e.g.\n"
         "                     --click FORM1.SetTcpIp --click OPTIONS2.StartGPS (in order,\n"
         "                     after --set, before --task and --start)\n"
         "  --task N           select mode N (1 real-time, 2 real-time + recording,\n"
         "                     3 file analysis + play, 4 file analysis)\n"
         "  --start            press Start after start-up\n"
         "  --quit-after S     stop as the Stop button does S seconds after start-up, then exit\n"
         "  --headless         run without any window (also when there is no display); the station's\n"
         "                     events and a summary of every run go to stdout, errors to stderr. A run\n"
         "                     started with --start or /REC ends the program when it ends, unless UDP\n"
         "                     commands are enabled\n"
         "  --list-devices     print the input and output devices as the device lists show them\n"
         "  --list-settings    print every KEY that --set and controls files take, with its caption,\n"
         "                     default and choices (=markdown for a document)\n"
         "  --version          print the version\n"
         "  --help             print this help\n"
         "  --fix-header FILE...  repair the header of WAV recordings cut off by a power cut\n"
         "\n"
         "Exit status: 0 when every run ended normally, 1 when a run could not start or ended on an\n"
         "error (device, folder, disk full, write error), 2 for a bad command line.\n";
}

}  // namespace qv
