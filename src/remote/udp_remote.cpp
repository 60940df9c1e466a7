#include "remote/udp_remote.h"

#include <algorithm>
#include <cctype>

#include "core/program.h"
#include "export/snapshot.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/event_pump.h"
#include "platform/net.h"
#include "recording/rec_text.h"
#include "recording/recording_files.h"
#include "recording/station.h"
#include "remote/nmea.h"

namespace qv {

namespace {

bool isControlChar(unsigned char c) { return c < 0x20 || c == 0x7F; }

bool isOuterBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Cuts to at most `n` bytes without splitting a UTF-8 sequence.
std::string cutUtf8(const std::string& s, size_t n) {
  if (s.size() <= n) return s;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return s.substr(0, n);
}

// Returns once the tick has advanced by `seconds`, serving events meanwhile:
// datagrams arriving during the wait are handled in between. The monotonic
// tick, not the time of day, so a wait across midnight still ends.
void WaitSeconds(Program& p, double seconds) {
  Clock* clock = p.services().clock;
  EventPump* pump = p.services().pump;
  if (!clock) return;
  const int64_t start = clock->tickMs();
  const int64_t span = static_cast<int64_t>(seconds * 1000.0);
  for (;;) {
    const int64_t left = span - (clock->tickMs() - start);
    if (left <= 0) return;
    if (pump) pump->processEventsFor(static_cast<int>(left < 20 ? left : 20));
  }
}

bool isListSeparator(char c) { return c == ',' || c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Strict dotted quad: four decimal parts of one to three digits, each at most 255.
std::optional<uint32_t> parseIPv4(const std::string& s) {
  uint32_t address = 0;
  size_t i = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (i >= s.size() || s[i] != '.') return std::nullopt;
      ++i;
    }
    size_t digits = 0;
    uint32_t v = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])) && digits < 4) {
      v = v * 10 + static_cast<uint32_t>(s[i] - '0');
      ++i;
      ++digits;
    }
    if (digits == 0 || digits > 3 || v > 255) return std::nullopt;
    address = (address << 8) | v;
  }
  if (i != s.size()) return std::nullopt;
  return address;
}

}  // namespace

std::optional<SenderAllowList> SenderAllowList::parse(const std::string& text, std::string* bad) {
  SenderAllowList list;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && isListSeparator(text[i])) ++i;
    size_t end = i;
    while (end < text.size() && !isListSeparator(text[end])) ++end;
    if (end == i) break;
    const std::string entry = text.substr(i, end - i);
    i = end;
    const size_t slash = entry.find('/');
    std::optional<uint32_t> address = parseIPv4(entry.substr(0, slash));
    int bits = 32;
    if (address && slash != std::string::npos) {
      const std::string b = entry.substr(slash + 1);
      const bool numeric = !b.empty() && b.size() <= 2 &&
                           std::all_of(b.begin(), b.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
      bits = numeric ? std::stoi(b) : -1;
      if (bits < 0 || bits > 32) address.reset();
    }
    if (!address) {
      if (bad) *bad = entry;
      return std::nullopt;
    }
    const uint32_t mask = bits == 0 ? 0u : ~uint32_t{0} << (32 - bits);
    list.nets_.push_back({*address & mask, mask});
  }
  return list;
}

bool SenderAllowList::allows(const std::string& host) const {
  if (nobody_) return false;
  if (nets_.empty()) return true;
  const std::optional<uint32_t> a = parseIPv4(host);
  if (!a) return false;
  for (const Net& n : nets_)
    if ((*a & n.mask) == n.address) return true;
  return false;
}

bool hasUdpCommandPrefix(const std::string& datagram) { return datagram.compare(0, 8, kUdpCommandPrefix) == 0; }

std::string udpCommandWord(const std::string& datagram) {
  const size_t first = datagram.find(',');
  if (first == std::string::npos) return {};
  const size_t next = datagram.find(',', first + 1);
  std::string w = datagram.substr(first + 1, next == std::string::npos ? std::string::npos : next - first - 1);
  size_t a = 0, b = w.size();
  while (a < b && isOuterBlank(w[a])) ++a;
  while (b > a && isOuterBlank(w[b - 1])) --b;
  return upper(w.substr(a, b - a));
}

std::string udpStatusText(Program& p) {
  const StationStatus st = stationStatus(p);
  std::string s = "Status ";
  s += st.running ? "Run Task" : "Stop Task";
  s += rec::numText(st.task);
  if (!st.recFile.empty()) s += " " + st.recFile;
  s += rec::numText(st.sampleRate) + " x" + rec::numText(st.channels);
  s += " Fails" + rec::numText(st.fails) + " OVL" + rec::numText(st.overloads);
  return s;
}

std::string udpDisplayText(const std::string& datagram) {
  std::string s = cutUtf8(datagram, kUdpDisplayMax);
  for (char& c : s)
    if (isControlChar(static_cast<unsigned char>(c))) c = ' ';
  if (s.size() < datagram.size()) s += "...";
  return s;
}

std::string udpGpsText(const std::string& datagram) {
  std::string s;
  for (char c : datagram)
    if (!isControlChar(static_cast<unsigned char>(c))) s += c;
  return cutUtf8(s, kGpsTextMax);
}

RemoteCommander::RemoteCommander(Program& p)
    : p_(p), refused_(p.services().clock, p.services().pump, [this](uint64_t n) {
        AppendRecLog(p_, "Ignored" + rec::numText(static_cast<int64_t>(n)) +
                             " commands from senders not allowed, the last from " + lastRefused_);
      }) {}
RemoteCommander::~RemoteCommander() = default;

UdpSocket* RemoteCommander::commandSocket() {
  if (!winsock2_ && p_.services().net) {
    winsock2_ = p_.services().net->udp();
    winsock2_->onReceive(
        [this](const std::string& data, const std::string& host, int) { Winsock2_DataArrival(data, host); });
  }
  return winsock2_.get();
}

UdpSocket* RemoteCommander::gpsSocket() {
  if (!winsock1_ && p_.services().net) {
    winsock1_ = p_.services().net->udp();
    winsock1_->onReceive([this](const std::string& data, const std::string&, int) { Winsock1_DataArrival(data); });
  }
  return winsock1_.get();
}

int RemoteCommander::commandPort() const { return winsock2_ ? winsock2_->localPort() : 0; }
int RemoteCommander::gpsPort() const { return winsock1_ ? winsock1_->localPort() : 0; }

void RemoteCommander::message(const std::string& text) {
  if (Dialogs* d = p_.services().dialogs) d->message(text, "Quorvel", MsgButtons::Ok, MsgIcon::Warning);
}

void RemoteCommander::bindToBox(UdpSocket* s, Control& box) {
  if (!s || steppingPort_) return;
  s->close();
  const double asked = box.number();
  if (!(asked >= 1 && asked <= 65535)) {
    message("Local Port " + box.text() + " is not a port number (1 to 65535)");
    return;
  }
  int port = box.intNumber();
  const int first = port;
  for (int busy = 0;;) {
    if (s->bind(port)) return;
    message("Local Port " + box.text() + " already in use");
    if (++busy >= kMaxBusyPorts || port >= 65535) {
      s->close();
      message("No free UDP port from " + std::to_string(first) + " to " + std::to_string(port) +
              "; the port stays closed until another port is entered");
      return;
    }
    ++port;
    // The box follows the port taken; its change handler must not rebind meanwhile.
    steppingPort_ = true;
    box.setText(rec::numText(port));
    steppingPort_ = false;
  }
}

// ---- command socket ----

void RemoteCommander::chkUDPSlave_Click() {
  if (p_.options0()["chkUDPSlave"].checked()) InitUDP2();
  else CloseUDP2();
}

void RemoteCommander::InitUDP2() {
  bindToBox(commandSocket(), p_.options0()["LocalPort2"]);
  // Saying "Enabled" while nothing listens would mislead whoever reads the box.
  p_.options0()["txtUDP2"].setText(commandPort() > 0 ? "Enabled" : "Port closed");
}

void RemoteCommander::CloseUDP2() {
  if (winsock2_) winsock2_->close();
  p_.options0()["txtUDP2"].setText("Disabled");
}

void RemoteCommander::LocalPort2_Change() {
  if (!p_.options0()["chkUDPSlave"].checked()) return;
  bindToBox(commandSocket(), p_.options0()["LocalPort2"]);
}

void RemoteCommander::AllowedIP2_Change() {
  std::string bad;
  std::optional<SenderAllowList> list = SenderAllowList::parse(p_.options0()["AllowedIP2"].text(), &bad);
  if (!list) {
    // Typing passes through partial addresses: say so in the box, keep the
    // list in force. A list meant where anyone was heard (a mistyped one in
    // the settings file or on the command line) lets no one in until it reads.
    if (!allowed_.anyone()) {
      p_.options0()["txtUDP2"].setText("Not an address: " + udpDisplayText(bad) + " (senders unchanged)");
      return;
    }
    allowed_ = SenderAllowList::nobody();
    const std::string why = "Not an address: " + udpDisplayText(bad) + " (no senders until corrected)";
    p_.options0()["txtUDP2"].setText(why);
    AppendRecLog(p_, why);
    return;
  }
  allowed_ = *list;
}

void RemoteCommander::Winsock2_DataArrival(const std::string& data, const std::string& fromHost) {
  if (winsock2_) {
    const uint64_t lost = winsock2_->droppedCount();
    if (lost > socketDrops_) p_.commands().noteDropped(lost - socketDrops_);
    socketDrops_ = lost;
  }
  if (!allowed_.allows(fromHost)) {
    lastRefused_ = udpDisplayText(fromHost);
    refused_.add();
    return;
  }
  p_.options0()["txtUDP2"].setText(udpDisplayText(data));
  submitCommand(data);
}

CommandPath::Outcome RemoteCommander::submitCommand(const std::string& data) {
  if (!hasUdpCommandPrefix(data)) return CommandPath::Outcome::Dropped;
  Command c;
  c.name = udpCommandWord(data);
  c.origin = CommandOrigin::Remote;
  // Asking again for a snapshot or the status that is still to come adds nothing.
  c.coalesce = c.name == "SNAPSHOT" || c.name == "STATUS";
  c.bytes = data.size();
  std::weak_ptr<RemoteCommander> self = weak_from_this();
  c.run = [self, data] {
    if (auto r = self.lock()) r->ExecuteUDPCommand(data);
  };
  return p_.commands().submit(std::move(c));
}

void RemoteCommander::broadcast2(const std::string& text) {
  UdpSocket* s = commandSocket();
  if (!s) return;
  const std::string host = rec::trimBlanks(p_.options0()["RemoteIP2"].text());
  const int port = p_.options0()["RemotePort2"].intNumber();
  s->send(host, port, text);  // not checked: the sender is not told of a failed feedback
}

bool RemoteCommander::running() const { return !p_.vars().StopFlag; }

void RemoteCommander::pressStartStop() { p_.form1()["StartStop"].click(); }

void RemoteCommander::click(const char* form1Control) {
  if (Control* c = p_.form1().find(form1Control)) c->click();
}

void RemoteCommander::ExecuteUDPCommand(const std::string& datagram) {
  if (!hasUdpCommandPrefix(datagram)) return;
  const std::string word = udpCommandWord(datagram);
  if (p_.options0()["chkUDPSlave"].checked()) broadcast2(word);

  if (word == "DISPLAYMODE") {
    AppendRecLog(p_, word);
    if (running()) {
      pressStartStop();
      WaitSeconds(p_, 0.5);
    }
    click("RealTimeAnalysis");
    p_.setStatus(word);
  } else if (word == "RECMODE") {
    AppendRecLog(p_, word);
    if (running()) {
      pressStartStop();
      WaitSeconds(p_, 0.5);
    }
    p_.setStatus(word);
    click("RealTimeRecording");
  } else if (word == "START") {
    AppendRecLog(p_, word);
    p_.setStatus(word);
    // Returns when the run has ended; later datagrams are served from its loop.
    if (!running()) pressStartStop();
  } else if (word == "STOP") {
    AppendRecLog(p_, word);
    if (running()) pressStartStop();
    p_.setStatus(word);
  } else if (word == "SAVEBUFFER") {
    AppendRecLog(p_, word);
    p_.setStatus(word);
    click("SaveBuffer");
  } else if (word == "SNAPSHOT") {
    AppendRecLog(p_, word);
    ScreenSnapshot_Click(p_);
    p_.setStatus(word);
  } else if (word == "STATUS") {
    if (p_.options0()["chkUDPSlave"].checked()) broadcast2(udpStatusText(p_));
  }
}

// ---- GPS socket ----

void RemoteCommander::AddUDP_Click() {
  Form& o = p_.options0();
  if (o["AddUDP"].checked()) {
    if (Control* g = o.find("AddGPS")) g->setValue(0);
    bindToBox(gpsSocket(), o["LocalPort1"]);
  } else if (winsock1_) {
    winsock1_->close();
  }
}

void RemoteCommander::AddGPS_Click() {
  Form& o = p_.options0();
  if (o["AddGPS"].checked())
    if (Control* u = o.find("AddUDP")) u->setValue(0);
}

void RemoteCommander::LocalPort1_Change() {
  if (!p_.options0()["AddUDP"].checked()) return;
  bindToBox(gpsSocket(), p_.options0()["LocalPort1"]);
}

void showGpsText(Program& p, const std::string& text) {
  const std::string gps = udpGpsText(text);
  p.vars().DDETXT = gps;
  if (auto fix = parsePositionText(text)) p.vars().LastFix = *fix;
  if (Control* label = p.form1().find("DDETXT")) label->setCaption(gps);
}

void RemoteCommander::Winsock1_DataArrival(const std::string& data) { showGpsText(p_, data); }

std::shared_ptr<RemoteCommander> installRemote(Program& p) {
  auto r = std::make_shared<RemoteCommander>(p);
  Form& o = p.options0();
  auto attach = [&o, &r](const char* name, Event e, void (RemoteCommander::*f)()) {
    if (Control* c = o.find(name)) c->on(e, [r, f] { ((*r).*f)(); });
  };
  attach("chkUDPSlave", Event::Click, &RemoteCommander::chkUDPSlave_Click);
  attach("LocalPort2", Event::Change, &RemoteCommander::LocalPort2_Change);
  attach("AllowedIP2", Event::Change, &RemoteCommander::AllowedIP2_Change);
  attach("AddUDP", Event::Click, &RemoteCommander::AddUDP_Click);
  attach("AddGPS", Event::Click, &RemoteCommander::AddGPS_Click);
  attach("LocalPort1", Event::Change, &RemoteCommander::LocalPort1_Change);
  // A start that was refused (no space, no folder, no device) is answered
  // like a command, so a station driven from afar learns why nothing runs.
  p.onStartRefused([weak = std::weak_ptr<RemoteCommander>(r), &p](const std::string& why) {
    auto c = weak.lock();
    if (c && p.options0()["chkUDPSlave"].checked()) c->broadcast2("REFUSED " + why);
  });
  return r;
}

}  // namespace qv
