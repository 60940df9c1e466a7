#include "remote/gps_logger.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "core/program.h"
#include "platform/dialogs.h"
#include "platform/event_pump.h"
#include "platform/net.h"
#include "recording/rec_text.h"
#include "remote/udp_remote.h"

namespace qv {

namespace {

constexpr int kShotWaitMs = 20;

// A relative log name lives in the log folder.
std::string logPath(Program& p, const std::string& name) {
  if (!name.empty() && name[0] == '/') return name;
  const Control* folder = p.options1().find("DefLogPath");
  const std::string f = folder ? rec::trimBlanks(folder->text()) : std::string();
  return (f.empty() ? p.programFolder() : rec::withSlash(f)) + name;
}

}  // namespace

bool AddToFile(const std::string& fileName, const std::string& line, std::string& error) {
  // One write of the whole line: a reader of the log never sees half of it.
  const int fd = ::open(fileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = fileName + ": " + std::strerror(errno);
    return false;
  }
  const std::string text = line + "\r\n";
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = fileName + ": " + std::strerror(errno);
      ::close(fd);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0) {
    error = fileName + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

GpsLogger::GpsLogger(Program& p) : p_(p) {}

GpsLogger::~GpsLogger() = default;

bool GpsLogger::portOpen() const { return port_ && port_->isOpen(); }

void GpsLogger::report(const std::string& text) {
  // Shown where the operator looks while reading, and in the status line.
  if (Control* c = p_.options2().find("GpsString")) c->setText(udpDisplayText(text));
  p_.setStatus("GPS Logger: " + udpDisplayText(text));
}

void GpsLogger::showPrompt() {
  const Control* lead = p_.options2().find("LeadChar");
  const std::string prompt = "waiting for <" + (lead ? lead->text() : std::string()) + "> & LineFeed character";
  if (Control* c = p_.options2().find("GpsString")) c->setText(udpDisplayText(prompt));
}

void GpsLogger::updateReading() { GPSreading = continuous_ || shotWaiting_ ? 1 : 0; }

bool GpsLogger::openPort() {
  Form& o = p_.options2();
  const std::string portText = o["ComPort"].text();
  if (serialDevicePath(portText).empty()) {
    report("Com Port \"" + portText + "\" is neither a port number (1 to 9999) nor a device path");
    return false;
  }
  SerialSettings settings;
  std::string error;
  if (!parseSerialSettings(o["ComSet"].text(), settings, error)) {
    report(error);
    return false;
  }
  if (!port_) {
    if (!p_.services().net) {
      report("no serial ports on this system");
      return false;
    }
    port_ = p_.services().net->serial();
    port_->onData([this](const std::string& piece) { onData(piece); });
  }
  if (port_->isOpen()) port_->close();
  lines_.clear();
  if (!port_->open(portText, settings)) {
    std::string why = port_->errorText();
    report(why.empty() ? serialDevicePath(portText) + ": cannot be opened" : why);
    return false;
  }
  return true;
}

void GpsLogger::closePortUnlessNeeded() {
  updateReading();
  if (GPSreading) return;
  if (port_ && port_->isOpen()) port_->close();
  lines_.clear();
}

void GpsLogger::ReadGPS() {
  if (port_ && port_->isOpen()) port_->close();
  continuous_ = false;
  if (!openPort()) {
    // A shot waiting on the old port has lost it.
    shotWaiting_ = false;
    closePortUnlessNeeded();
    return;
  }
  continuous_ = true;
  updateReading();
  showPrompt();
}

bool GpsLogger::ReadGPSsingle(std::string& Lettura) {
  // A second press while one waits would only stack another wait on it.
  if (shotWaiting_) return false;
  if (!continuous_ && !openPort()) return false;
  shotWaiting_ = true;
  shotGot_ = false;
  shotLine_.clear();
  updateReading();
  showPrompt();
  EventPump* pump = p_.services().pump;
  while (shotWaiting_ && pump) pump->processEventsFor(kShotWaitMs);
  shotWaiting_ = false;
  closePortUnlessNeeded();
  if (!shotGot_) return false;
  Lettura = shotLine_;
  return true;
}

void GpsLogger::Command10_Click() {
  std::string line;
  if (!ReadGPSsingle(line)) return;
  if (Dialogs* d = p_.services().dialogs) d->message(line, "GPS Logger", MsgButtons::Ok, MsgIcon::Information);
}

void GpsLogger::StopGPS_Click() { CloseGPS(); }

void GpsLogger::CloseGPS() {
  continuous_ = false;
  shotWaiting_ = false;
  closePortUnlessNeeded();
}

void GpsLogger::DecodeString(const std::string& line) {
  const Form& o = p_.options2();
  LatLongText t = decodeLatLong(line, o["LatStringPos"].intNumber(), o["LongStringPos"].intNumber());
  GPSLAT = std::move(t.lat);
  GPSLONG = std::move(t.lon);
}

void GpsLogger::onData(const std::string& piece) {
  for (const std::string& line : lines_.feed(piece)) {
    onLine(line);
    if (!GPSreading) break;  // single shot done: the rest is not read
  }
}

void GpsLogger::onLine(const std::string& line) {
  if (auto fix = parsePositionSentence(line)) p_.vars().LastFix = *fix;
  if (!GPSreading) return;
  Form& o = p_.options2();
  const std::string lead = o["LeadChar"].text();
  if (line.compare(0, lead.size(), lead) != 0) return;
  DecodeString(line);
  o["GpsString"].setText(udpDisplayText(line));
  if (shotWaiting_) {
    shotLine_ = line;
    shotGot_ = true;
    shotWaiting_ = false;
  }
  if (!continuous_) {
    closePortUnlessNeeded();
    return;
  }
  FULLGPS = line;
  if (o["LogToFile"].checked()) {
    std::string error;
    if (!AddToFile(logPath(p_, o["LogName"].text()), line, error)) p_.setStatus("GPS Logger: " + error);
  }
  if (o["SingleShot"].checked()) {
    continuous_ = false;
    closePortUnlessNeeded();
  }
}

std::shared_ptr<GpsLogger> installGpsLogger(Program& p) {
  auto g = std::make_shared<GpsLogger>(p);
  Form& o = p.options2();
  o["StartGPS"].on(Event::Click, [g] { g->ReadGPS(); });
  o["StopGPS"].on(Event::Click, [g] { g->StopGPS_Click(); });
  o["Command10"].on(Event::Click, [g] { g->Command10_Click(); });
  if (Control* close = o.find("CloseButton")) close->on(Event::Click, [&o] { o.setShown(false); });
  // The panel unloading ends any read; the observer holds no owning pointer.
  std::weak_ptr<GpsLogger> weak = g;
  auto wasShown = std::make_shared<bool>(o.shown());
  o.addObserver([weak, wasShown](const Form& f) {
    if (*wasShown && !f.shown())
      if (auto logger = weak.lock()) logger->CloseGPS();
    *wasShown = f.shown();
  });
  g->CloseGPS();
  return g;
}

}  // namespace qv
