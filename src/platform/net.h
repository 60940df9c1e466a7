// UDP and TCP endpoints and the serial port. Data arrives through callbacks
// that run from the event pump, on the program's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/web_server.h"

namespace qv {

class UdpSocket {
 public:
  using Receiver = std::function<void(const std::string& data, const std::string& fromHost, int fromPort)>;
  virtual ~UdpSocket() = default;
  // False when the port is taken or cannot be bound.
  virtual bool bind(int port) = 0;
  virtual void close() = 0;
  virtual int localPort() const = 0;
  // Broadcast addresses allowed.
  virtual bool send(const std::string& host, int port, const std::string& data) = 0;
  virtual void onReceive(Receiver r) = 0;
  // Datagrams that arrived faster than the receiver could be given them and
  // were dropped on the way, since the socket was made.
  virtual uint64_t droppedCount() const = 0;
};

class TcpConnection {
 public:
  virtual ~TcpConnection() = default;
  virtual std::string peerAddress() const = 0;
  virtual bool send(const std::string& data) = 0;
  virtual void close() = 0;
  virtual void onData(std::function<void(const std::string&)> f) = 0;
  virtual void onClosed(std::function<void()> f) = 0;
};

class TcpListener {
 public:
  virtual ~TcpListener() = default;
  virtual bool listen(int port) = 0;
  virtual void close() = 0;
  virtual void onConnection(std::function<void(std::shared_ptr<TcpConnection>)> f) = 0;
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;
  // Port number n opens /dev/ttyS(n-1); a device path is used as it stands.
  virtual bool open(const std::string& portOrPath, int baud) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  virtual void onData(std::function<void(const std::string&)> f) = 0;
  virtual std::string errorText() const = 0;
};

class Network {
 public:
  virtual ~Network() = default;
  virtual std::unique_ptr<UdpSocket> udp() = 0;
  virtual std::unique_ptr<TcpListener> tcpListener() = 0;
  virtual std::unique_ptr<SerialPort> serial() = 0;
  virtual std::unique_ptr<WebServer> webServer() = 0;
};

// "n" -> /dev/ttyS(n-1); anything else as typed.
std::string serialDevicePath(const std::string& portOrPath);

// Fills `out` from the system's random source; false when it cannot.
bool systemRandomBytes(uint8_t* out, size_t size);

}  // namespace qv
