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
  // Why the last listen failed ("The bound address is already in use").
  virtual std::string errorText() const { return {}; }
  virtual void close() = 0;
  virtual void onConnection(std::function<void(std::shared_ptr<TcpConnection>)> f) = 0;
};

enum class Parity { None, Even, Odd, Mark, Space };
enum class StopBits { One, OneAndHalf, Two };

// The line settings of a serial port, as in "4800,N,8,1".
struct SerialSettings {
  int baud = 4800;
  Parity parity = Parity::None;
  int dataBits = 8;
  StopBits stopBits = StopBits::One;
};

// Reads "baud,parity,data bits,stop bits" (parity N, E, O, M or S; data bits
// 5 to 8; stop bits 1, 1.5 or 2). Missing trailing fields keep their
// defaults. False with a message for anything else; `out` is then untouched.
bool parseSerialSettings(const std::string& text, SerialSettings& out, std::string& error);

class SerialPort {
 public:
  virtual ~SerialPort() = default;
  // Port number n opens /dev/ttyS(n-1); a device path is used as it stands.
  virtual bool open(const std::string& portOrPath, const SerialSettings& settings) = 0;
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
  // This machine's name and the address others reach it at.
  virtual std::string hostName() const = 0;
  virtual std::string hostAddress() const = 0;
  virtual std::unique_ptr<WebServer> webServer() = 0;
};

// "n" (1 to 9999, blanks around allowed) -> /dev/ttyS(n-1); "COMn" the same;
// a path starting with "/" as it stands. Empty for anything else.
std::string serialDevicePath(const std::string& portOrPath);

// Fills `out` from the system's random source; false when it cannot.
bool systemRandomBytes(uint8_t* out, size_t size);

}  // namespace qv
