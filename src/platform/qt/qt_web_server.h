// The web server through Qt HttpServer and Qt WebSockets, on the Qt event
// loop. A gate in front reads each new connection's request head (peeking,
// within the limits) and asks the head handler before anything else
// happens: refused heads get their answer and the connection is closed,
// approved WebSocket handshakes go to the WebSocket server, and everything
// else to the HTTP server, which reads the body and hands the request on.
// Files go out in pieces as the client takes them, so a slow client costs
// a bounded buffer and a fast disk never fills memory.
#pragma once

#include <memory>

#include "platform/web_server.h"

namespace qv {

class QtWebServer : public WebServer {
 public:
  QtWebServer();
  ~QtWebServer() override;

  void setLimits(const WebLimits& limits) override;
  bool listen(const std::string& address, int port) override;
  void close() override;
  bool isListening() const override;
  int port() const override;
  std::string errorText() const override;
  void onHead(HeadHandler h) override;
  void onRequest(RequestHandler h) override;
  void onViewerOpened(std::function<void(ViewerId, const std::string&)> f) override;
  void onViewerClosed(std::function<void(ViewerId)> f) override;
  bool sendBinary(ViewerId id, const uint8_t* data, size_t size) override;
  bool sendText(ViewerId id, const std::string& text) override;
  int64_t queuedBytes(ViewerId id) const override;
  void closeViewer(ViewerId id) override;
  bool asset(const std::string& name, std::string& content) const override;

  struct Impl;

 private:
  std::unique_ptr<Impl> d_;
};

}  // namespace qv
