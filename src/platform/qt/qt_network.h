// UDP, TCP and the serial port through Qt. Data callbacks run from the Qt
// event loop, i.e. from the program's event pump. They are posted rather
// than called inside Qt's readyRead, so a handler may itself run a loop that
// pumps events and still be told of the next datagram (a "STOP" arriving
// while the loop started by "START" runs).
#pragma once

#include <memory>

#include "platform/net.h"

namespace qv {

class QtNetwork : public Network {
 public:
  std::unique_ptr<UdpSocket> udp() override;
  std::unique_ptr<TcpListener> tcpListener() override;
  std::unique_ptr<SerialPort> serial() override;
  std::string hostName() const override;
  std::string hostAddress() const override;
  std::unique_ptr<WebServer> webServer() override;
};

}  // namespace qv
