// Network double: tests inject datagrams, TCP data and serial text, and read
// what the program sent. Callbacks run at once, inside the inject call.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/doubles/fake_web_server.h"
#include "platform/net.h"

namespace qv {

class FakeNetwork;

class FakeUdpSocket : public UdpSocket {
 public:
  struct Sent {
    std::string host;
    int port;
    std::string data;
  };
  explicit FakeUdpSocket(FakeNetwork* net) : net_(net) {}
  ~FakeUdpSocket() override;

  bool bind(int port) override;
  void close() override;
  int localPort() const override { return port_; }
  bool send(const std::string& host, int port, const std::string& data) override {
    sent.push_back({host, port, data});
    return sendResult;
  }
  void onReceive(Receiver r) override { receiver_ = std::move(r); }
  uint64_t droppedCount() const override { return dropped; }

  // A datagram arrives; false when the socket is not bound (it is dropped).
  bool inject(const std::string& data, const std::string& fromHost = "127.0.0.1", int fromPort = 40000) {
    if (port_ <= 0 || !receiver_) return false;
    auto r = receiver_;
    r(data, fromHost, fromPort);
    return true;
  }
  bool isBound() const { return port_ > 0; }

  std::vector<Sent> sent;
  bool sendResult = true;
  uint64_t dropped = 0;  // what the socket reports as dropped on its way in
  std::vector<int> bindCalls;

 private:
  FakeNetwork* net_;
  int port_ = 0;
  Receiver receiver_;
};

class FakeTcpConnection : public TcpConnection {
 public:
  std::string peer = "127.0.0.1";
  std::vector<std::string> sent;
  bool closedByProgram = false;

  std::string peerAddress() const override { return peer; }
  bool send(const std::string& data) override {
    if (closedByProgram || closedByPeer_) return false;
    sent.push_back(data);
    return true;
  }
  void close() override { closedByProgram = true; }
  void onData(std::function<void(const std::string&)> f) override { onData_ = std::move(f); }
  void onClosed(std::function<void()> f) override { onClosed_ = std::move(f); }

  void inject(const std::string& data) {
    if (auto f = onData_) f(data);
  }
  void closeFromPeer() {
    closedByPeer_ = true;
    if (auto f = onClosed_) f();
  }

 private:
  bool closedByPeer_ = false;
  std::function<void(const std::string&)> onData_;
  std::function<void()> onClosed_;
};

class FakeTcpListener : public TcpListener {
 public:
  explicit FakeTcpListener(FakeNetwork* net) : net_(net) {}
  ~FakeTcpListener() override;
  bool listen(int port) override;
  void close() override;
  void onConnection(std::function<void(std::shared_ptr<TcpConnection>)> f) override { onConn_ = std::move(f); }
  std::string errorText() const override { return error_; }

  // A peer connects; null when nobody listens.
  std::shared_ptr<FakeTcpConnection> connect(const std::string& peer = "127.0.0.1") {
    if (port_ <= 0) return nullptr;
    auto c = std::make_shared<FakeTcpConnection>();
    c->peer = peer;
    if (auto f = onConn_) f(c);
    return c;
  }
  int port() const { return port_; }

 private:
  FakeNetwork* net_;
  int port_ = 0;
  std::string error_;
  std::function<void(std::shared_ptr<TcpConnection>)> onConn_;
};

class FakeSerialPort : public SerialPort {
 public:
  explicit FakeSerialPort(FakeNetwork* net) : net_(net) {}
  ~FakeSerialPort() override;
  bool openResult = true;
  std::string openedPath;
  SerialSettings openedSettings;
  int opens = 0;

  bool open(const std::string& portOrPath, const SerialSettings& settings) override {
    ++opens;
    openedPath = serialDevicePath(portOrPath);
    openedSettings = settings;
    open_ = openResult && !openedPath.empty();
    error_ = open_ ? "" : openedPath + ": cannot open";
    return open_;
  }
  void close() override { open_ = false; }
  bool isOpen() const override { return open_; }
  void onData(std::function<void(const std::string&)> f) override { onData_ = std::move(f); }
  std::string errorText() const override { return error_; }

  bool inject(const std::string& data) {
    if (!open_) return false;
    if (auto f = onData_) f(data);
    return true;
  }

 private:
  FakeNetwork* net_;
  bool open_ = false;
  std::string error_;
  std::function<void(const std::string&)> onData_;
};

class FakeNetwork : public Network {
 public:
  // Ports held by other programs: bind and listen fail on them.
  std::set<int> busyPorts;
  // Every socket, listener and port made and still alive, in creation order.
  std::vector<FakeUdpSocket*> udpSockets;
  std::vector<FakeTcpListener*> listeners;
  std::vector<FakeSerialPort*> serialPorts;

  std::unique_ptr<UdpSocket> udp() override {
    auto s = std::make_unique<FakeUdpSocket>(this);
    udpSockets.push_back(s.get());
    return s;
  }
  std::unique_ptr<TcpListener> tcpListener() override {
    auto l = std::make_unique<FakeTcpListener>(this);
    listeners.push_back(l.get());
    return l;
  }
  std::unique_ptr<SerialPort> serial() override {
    auto p = std::make_unique<FakeSerialPort>(this);
    serialPorts.push_back(p.get());
    return p;
  }
  // The web servers made, in creation order (the program makes one).
  std::vector<FakeWebServer*> webServers;
  std::unique_ptr<WebServer> webServer() override {
    auto w = std::make_unique<FakeWebServer>();
    webServers.push_back(w.get());
    return w;
  }

  // The live socket bound to a port, or null.
  FakeUdpSocket* udpOn(int port) const {
    for (auto* s : udpSockets)
      if (s->localPort() == port) return s;
    return nullptr;
  }
  FakeTcpListener* listenerOn(int port) const {
    for (auto* l : listeners)
      if (l->port() == port) return l;
    return nullptr;
  }
  // Every datagram sent by any live socket, in socket order.
  std::vector<FakeUdpSocket::Sent> allSent() const {
    std::vector<FakeUdpSocket::Sent> v;
    for (auto* s : udpSockets) v.insert(v.end(), s->sent.begin(), s->sent.end());
    return v;
  }

  std::string hostName() const override { return "fieldstation"; }
  std::string hostAddress() const override { return "192.0.2.7"; }

  bool portTaken(int port) const { return busyPorts.count(port) || udpOn(port) || listenerOn(port); }
  int nextEphemeral = 50000;
};

inline FakeUdpSocket::~FakeUdpSocket() {
  auto& v = net_->udpSockets;
  v.erase(std::remove(v.begin(), v.end(), this), v.end());
}
inline bool FakeUdpSocket::bind(int port) {
  bindCalls.push_back(port);
  port_ = 0;
  if (port == 0) port = net_->nextEphemeral++;
  if (port < 0 || port > 65535 || net_->portTaken(port)) return false;
  port_ = port;
  return true;
}
inline void FakeUdpSocket::close() { port_ = 0; }

inline FakeTcpListener::~FakeTcpListener() {
  auto& v = net_->listeners;
  v.erase(std::remove(v.begin(), v.end(), this), v.end());
}
inline bool FakeTcpListener::listen(int port) {
  port_ = 0;
  error_.clear();
  if (port <= 0 || port > 65535 || net_->portTaken(port)) {
    error_ = "The bound address is already in use";
    return false;
  }
  port_ = port;
  return true;
}
inline void FakeTcpListener::close() { port_ = 0; }

inline FakeSerialPort::~FakeSerialPort() {
  auto& v = net_->serialPorts;
  v.erase(std::remove(v.begin(), v.end(), this), v.end());
}

}  // namespace qv
