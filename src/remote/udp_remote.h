// Remote control over UDP: the command socket of the "Remote Commander"
// frame (commands in, feedback out) and the GPS socket whose text goes into
// the GPS label and from there into recording and buffer file names.
//
// Commands act only through the controls other subsystems attach to (the
// Start/Stop button, the mode and buffer menu items) and the one-key
// snapshot, exactly as an operator's press would. A datagram does not run
// its command on arrival: it goes into the program's command path, which
// runs it once no other command's handler is running (identical queued
// SNAPSHOT and STATUS requests count once; a full queue drops and counts).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/command_path.h"

namespace qv {

class Program;
class Control;
class UdpSocket;

// Every command datagram starts with this, in upper case.
inline constexpr const char* kUdpCommandPrefix = "$QVLPRO,";

// The command word: the text after the first comma up to the next comma (or
// the end), upper case, outer blanks and line ends removed.
std::string udpCommandWord(const std::string& datagram);
bool hasUdpCommandPrefix(const std::string& datagram);

// "Status Run Task 2 <file> 48000 x 2 Fails 0 OVL 0" and the like.
std::string udpStatusText(Program& p);

// What the last-datagram box shows for a datagram: control characters become
// blanks and very long datagrams are cut, so the box (a saved setting) can
// never carry a line break or megabytes into a controls file.
std::string udpDisplayText(const std::string& datagram);
// GPS text as it goes into the GPS label and file names: control characters
// dropped (a sentence's CR LF), cut to a length a file name can hold.
std::string udpGpsText(const std::string& datagram);
// Shows a GPS text from any source (a datagram, the text link) and keeps
// the position it gives for the files' metadata.
void showGpsText(Program& p, const std::string& text);

// The senders a station takes commands from: IPv4 addresses and networks
// ("192.168.1.20", "10.0.0.0/8") separated by commas, semicolons or blanks.
// An empty list takes commands from anyone.
class SenderAllowList {
 public:
  // Nothing when an entry is not an address; `bad` then holds that entry.
  static std::optional<SenderAllowList> parse(const std::string& text, std::string* bad = nullptr);
  // Refuses every sender.
  static SenderAllowList nobody() {
    SenderAllowList l;
    l.nobody_ = true;
    return l;
  }
  bool allows(const std::string& host) const;
  bool anyone() const { return !nobody_ && nets_.empty(); }

 private:
  bool nobody_ = false;
  struct Net {
    uint32_t address;
    uint32_t mask;
  };
  std::vector<Net> nets_;
};

inline constexpr size_t kUdpDisplayMax = 200;
inline constexpr size_t kGpsTextMax = 120;
// Busy ports tried one after another before a socket gives up.
inline constexpr int kMaxBusyPorts = 100;

class RemoteCommander : public std::enable_shared_from_this<RemoteCommander> {
 public:
  explicit RemoteCommander(Program& p);
  ~RemoteCommander();
  RemoteCommander(const RemoteCommander&) = delete;
  RemoteCommander& operator=(const RemoteCommander&) = delete;

  // Command socket (Winsock2).
  void chkUDPSlave_Click();
  void InitUDP2();
  void CloseUDP2();
  void LocalPort2_Change();
  void AllowedIP2_Change();
  // A datagram from `fromHost`: a sender not allowed is ignored and counted;
  // otherwise the box shows it and a command goes to the command path.
  void Winsock2_DataArrival(const std::string& data, const std::string& fromHost);
  // A command in the datagrams' words ("$QVLPRO,START") from another remote
  // view: it takes the command path as a datagram would, in turn with all
  // other commands. Text without the prefix is refused.
  CommandPath::Outcome submitCommand(const std::string& data);
  // Sends one datagram to RemoteIP2:RemotePort2, read afresh every time.
  void broadcast2(const std::string& text);
  void ExecuteUDPCommand(const std::string& datagram);

  // GPS socket (Winsock1).
  void AddUDP_Click();
  void AddGPS_Click();
  void LocalPort1_Change();
  void Winsock1_DataArrival(const std::string& data);

  // Bound port, 0 when closed.
  int commandPort() const;
  int gpsPort() const;

 private:
  UdpSocket* commandSocket();
  UdpSocket* gpsSocket();
  // Closes the socket and binds it to the port in `box`; a busy port moves
  // the box to the next port, at most kMaxBusyPorts times.
  void bindToBox(UdpSocket* s, Control& box);
  void message(const std::string& text);
  void pressStartStop();
  void click(const char* form1Control);
  bool running() const;

  Program& p_;
  std::unique_ptr<UdpSocket> winsock2_;
  std::unique_ptr<UdpSocket> winsock1_;
  bool steppingPort_ = false;
  SenderAllowList allowed_;
  uint64_t socketDrops_ = 0;  // the command socket's drops already counted
  std::string lastRefused_;
  ThrottledCount refused_;
};

// Attaches the handlers of the remote controls. The commander lives as long
// as the controls; the pointer is for callers that want to reach it. A
// refused start goes to the feedback address as "REFUSED " + the reason.
std::shared_ptr<RemoteCommander> installRemote(Program& p);

}  // namespace qv
