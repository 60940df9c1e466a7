// Web server double: tests hand it raw request heads and whole requests as a
// browser would send them, open and close viewers, hold a viewer's bytes
// back as a client that stops reading would, and read what was sent.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/web_server.h"

namespace qv {

class FakeWebServer : public WebServer {
 public:
  struct Viewer {
    std::string peer;
    std::vector<std::string> binary;  // messages in order
    std::vector<std::string> text;
    int64_t queued = 0;          // bytes the "network" has not taken
    bool holdBack = false;       // a client that never reads: queued only grows
    bool closedByProgram = false;
  };

  // Addresses other programs hold: listen fails on them.
  std::vector<int> busyPorts;
  bool unknownAddress = false;
  std::map<std::string, std::string> assets = {{"index.html", "<!doctype html><title>Quorvel</title>"}};
  WebLimits limits;
  std::vector<std::pair<std::string, int>> listenCalls;

  void setLimits(const WebLimits& l) override { limits = l; }
  bool listen(const std::string& address, int port) override {
    listenCalls.emplace_back(address, port);
    close();
    for (int b : busyPorts)
      if (b == port) {
        error_ = "The bound address is already in use";
        return false;
      }
    if (unknownAddress) {
      error_ = "The address is not available";
      return false;
    }
    port_ = port == 0 ? 54321 : port;
    address_ = address;
    error_.clear();
    return true;
  }
  void close() override {
    port_ = 0;
    for (auto& [id, v] : viewers)
      if (!v.closedByProgram) {
        v.closedByProgram = true;
        if (closed_) closed_(id);
      }
  }
  bool isListening() const override { return port_ > 0; }
  int port() const override { return port_; }
  std::string errorText() const override { return error_; }
  const std::string& address() const { return address_; }

  void onHead(HeadHandler h) override { head_ = std::move(h); }
  void onRequest(RequestHandler h) override { request_ = std::move(h); }
  void onViewerOpened(std::function<void(ViewerId, const std::string&)> f) override { opened_ = std::move(f); }
  void onViewerClosed(std::function<void(ViewerId)> f) override { closed_ = std::move(f); }

  bool sendBinary(ViewerId id, const uint8_t* data, size_t size) override {
    Viewer* v = live(id);
    if (!v) return false;
    v->binary.emplace_back(reinterpret_cast<const char*>(data), size);
    v->queued += static_cast<int64_t>(size);
    if (!v->holdBack) v->queued = 0;
    return true;
  }
  bool sendText(ViewerId id, const std::string& text) override {
    Viewer* v = live(id);
    if (!v) return false;
    v->text.push_back(text);
    v->queued += static_cast<int64_t>(text.size());
    if (!v->holdBack) v->queued = 0;
    return true;
  }
  int64_t queuedBytes(ViewerId id) const override {
    auto it = viewers.find(id);
    return it == viewers.end() ? 0 : it->second.queued;
  }
  void closeViewer(ViewerId id) override {
    Viewer* v = live(id);
    if (!v) return;
    v->closedByProgram = true;
    if (closed_) closed_(id);
  }
  bool asset(const std::string& name, std::string& content) const override {
    auto it = assets.find(name);
    if (it == assets.end()) return false;
    content = it->second;
    return true;
  }

  // A browser's request: the head goes to the head handler first, as on a
  // new connection; a refused head never reaches the request handler. An
  // upgrade head answers 101 without a viewer (see openViewer).
  WebReply send(const std::string& head, const std::string& body = "", const std::string& peer = "127.0.0.1") {
    if (port_ <= 0) return WebReply{0, "", {}, "connection refused", "", {}};
    HeadVerdict v = head_ ? head_(head, peer) : HeadVerdict{};
    if (v.action == HeadVerdict::Action::Refuse) return v.refusal;
    if (v.action == HeadVerdict::Action::Upgrade) return WebReply{101, "", {}, "", "", {}};
    WebReply r = request_ ? request_(head, body, peer) : WebReply{500, "", {}, "", "", {}};
    // As from the event loop once the reply has gone.
    if (auto then = std::move(r.then)) then();
    return r;
  }
  // A WebSocket handshake: the head handler decides; 0 when refused (the
  // refusal in `refusal`).
  ViewerId openViewer(const std::string& head, WebReply* refusal = nullptr, const std::string& peer = "127.0.0.1") {
    HeadVerdict v = head_ ? head_(head, peer) : HeadVerdict{};
    if (v.action != HeadVerdict::Action::Upgrade) {
      if (refusal) *refusal = v.refusal;
      return 0;
    }
    const ViewerId id = nextId_++;
    viewers[id].peer = peer;
    if (opened_) opened_(id, peer);
    return viewers[id].closedByProgram ? 0 : id;
  }
  void closeFromPeer(ViewerId id) {
    Viewer* v = live(id);
    if (!v) return;
    v->closedByProgram = true;  // gone either way
    if (closed_) closed_(id);
  }
  int openViewers() const {
    int n = 0;
    for (auto& [id, v] : viewers) n += v.closedByProgram ? 0 : 1;
    return n;
  }

  std::map<ViewerId, Viewer> viewers;

 private:
  Viewer* live(ViewerId id) {
    auto it = viewers.find(id);
    return it == viewers.end() || it->second.closedByProgram ? nullptr : &it->second;
  }
  HeadHandler head_;
  RequestHandler request_;
  std::function<void(ViewerId, const std::string&)> opened_;
  std::function<void(ViewerId)> closed_;
  int port_ = 0;
  std::string address_;
  std::string error_;
  ViewerId nextId_ = 1;
};

}  // namespace qv
