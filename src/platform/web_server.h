// A small HTTP server with WebSocket viewers, on the program's own event
// loop. The server only moves bytes: every decision (who may connect, what a
// request gets) is the handlers' and is made before anything is read past a
// request's head. Callbacks run from the event pump, on the program's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace qv {

// The reason phrase of an HTTP status line ("Not Found").
const char* httpReasonPhrase(int status);

struct WebReply {
  int status = 200;
  std::string contentType;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  // When set, this file is the body, read and sent piece by piece as the
  // client takes it; a file that cannot be opened turns the reply into 404.
  std::string filePath;
  // Runs once the reply is on its way, from the event loop rather than
  // inside the request's handling, so it may run a loop of its own (a
  // command that starts a run) while the client already has its answer.
  std::function<void()> then;
};

// What the head of a new connection's first request leads to.
struct HeadVerdict {
  enum class Action { Serve, Upgrade, Refuse };
  Action action = Action::Refuse;
  WebReply refusal;  // for Refuse
};

// Limits the server applies to what it buffers, set by whoever owns it.
struct WebLimits {
  size_t maxHeadBytes = 8192;
  size_t maxBodyBytes = 4096;
  int maxConnections = 32;
  int idleTimeoutMs = 20000;
  // Fragments a viewer may send the server; anything larger closes it.
  size_t maxViewerMessageBytes = 1024;
};

class WebServer {
 public:
  using ViewerId = int;
  // The server parses nothing itself: the head handler gets the raw head
  // (request line and header lines, up to the blank line) of a connection's
  // request before its body is read, and says whether to go on; the request
  // handler gets the same head with the body once it has arrived. Each
  // connection carries one request and is closed after the reply.
  using HeadHandler = std::function<HeadVerdict(const std::string& head, const std::string& peer)>;
  using RequestHandler =
      std::function<WebReply(const std::string& head, const std::string& body, const std::string& peer)>;

  virtual ~WebServer() = default;

  virtual void setLimits(const WebLimits& limits) = 0;
  // Listens on an address ("127.0.0.1", "0.0.0.0", "::") and port; false
  // with errorText() when the address is not one of this machine's or the
  // port is taken.
  virtual bool listen(const std::string& address, int port) = 0;
  // Closes the listener, every connection and every viewer.
  virtual void close() = 0;
  virtual bool isListening() const = 0;
  virtual int port() const = 0;
  virtual std::string errorText() const = 0;

  virtual void onHead(HeadHandler h) = 0;
  virtual void onRequest(RequestHandler h) = 0;
  // A WebSocket handshake approved by the head handler has completed.
  virtual void onViewerOpened(std::function<void(ViewerId, const std::string& peer)> f) = 0;
  virtual void onViewerClosed(std::function<void(ViewerId)> f) = 0;

  // Queues one binary message; false when the viewer is gone.
  virtual bool sendBinary(ViewerId id, const uint8_t* data, size_t size) = 0;
  virtual bool sendText(ViewerId id, const std::string& text) = 0;
  // Bytes handed to the viewer's connection and not yet taken by the network.
  virtual int64_t queuedBytes(ViewerId id) const = 0;
  virtual void closeViewer(ViewerId id) = 0;
  // Static files of the page, built into the program ("index.html", ...);
  // false when there is no such file.
  virtual bool asset(const std::string& name, std::string& content) const = 0;
};

}  // namespace qv
