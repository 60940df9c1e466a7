#include "platform/qt/qt_web_server.h"

#include <QFile>
#include <QHostAddress>
#include <QPointer>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtHttpServer/QAbstractHttpServer>
#include <QtHttpServer/QHttpServerRequest>
#include <QtHttpServer/QHttpServerResponder>
#include <QtWebSockets/QWebSocket>
#include <QtWebSockets/QWebSocketServer>
#include <map>
#include <sys/socket.h>
#include <unistd.h>

namespace qv {

namespace {

// Socket properties: the head the gate read, and whether it was answered.
constexpr const char* kHeadProperty = "qvHead";
constexpr const char* kAnsweredProperty = "qvAnswered";
// How much of a file waits on a download's connection at most.
constexpr qint64 kFileChunk = 64 * 1024;
constexpr qint64 kFileBacklog = 256 * 1024;
constexpr int kViewerSendBuffer = 128 * 1024;
// How long a closing connection may take to send its last bytes' FIN and
// hear the client's, reading and dropping whatever it still sends.
constexpr int kLingerMs = 2000;

std::string peerText(const QHostAddress& a) {
  bool ok = false;
  const quint32 v4 = a.toIPv4Address(&ok);  // "::ffff:1.2.3.4" as "1.2.3.4"
  return ok ? QHostAddress(v4).toString().toStdString() : a.toString().toStdString();
}

// Status line and headers of a reply whose body is `length` bytes; every
// connection carries one request, so each reply closes it.
QByteArray replyHead(const WebReply& r, qint64 length) {
  QByteArray h = "HTTP/1.1 " + QByteArray::number(r.status) + " " + httpReasonPhrase(r.status) + "\r\n";
  if (!r.contentType.empty()) h += "Content-Type: " + QByteArray::fromStdString(r.contentType) + "\r\n";
  for (const auto& [k, v] : r.headers) {
    // Header text comes from the program, never from a request; still, no
    // line break may split it into two headers.
    QByteArray key = QByteArray::fromStdString(k), value = QByteArray::fromStdString(v);
    value.replace('\r', ' ').replace('\n', ' ');
    h += key + ": " + value + "\r\n";
  }
  h += "Content-Length: " + QByteArray::number(length) + "\r\nConnection: close\r\n\r\n";
  return h;
}

}  // namespace

struct QtWebServer::Impl {
  // The listening socket: holds each new connection until its head is read
  // and judged, then passes it on.
  class Gate : public QTcpServer {
   public:
    explicit Gate(Impl& d) : d_(d) {}

    // Passes a judged connection to the HTTP server, which reads it from
    // the start (the gate only peeked).
    void pass(QTcpSocket* s) {
      addPendingConnection(s);
      emit newConnection();
      emit s->readyRead();
    }

   protected:
    void incomingConnection(qintptr fd) override { d_.incoming(this, fd); }

   private:
    Impl& d_;
  };

  // Reads the body of an approved request and hands the whole request on.
  class Http : public QAbstractHttpServer {
   public:
    explicit Http(Impl& d) : d_(d) {}

   protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
      d_.serve(request, socket);
      return true;
    }
    void missingHandler(const QHttpServerRequest&, QTcpSocket* socket) override { socket->abort(); }

   private:
    Impl& d_;
  };

  Impl() : ws("Quorvel", QWebSocketServer::NonSecureMode) {
    http = std::make_unique<Http>(*this);
    QObject::connect(&ws, &QWebSocketServer::newConnection, [this] { viewerArrived(); });
  }

  ~Impl() {
    close();
    http.reset();  // the gate and its connections go while the sets they leave still exist
  }

  void close() {
    if (gate) gate->close();
    for (QTcpSocket* s : QSet<QTcpSocket*>(sockets)) s->abort();
    while (!viewers.empty()) dropViewer(viewers.begin()->first, true);
  }

  void incoming(Gate* g, qintptr fd) {
    if (sockets.size() >= limits.maxConnections) {
      ::close(static_cast<int>(fd));
      return;
    }
    auto* s = new QTcpSocket(g);
    if (!s->setSocketDescriptor(fd)) {
      delete s;
      return;
    }
    s->setReadBufferSize(static_cast<qint64>(limits.maxHeadBytes + limits.maxBodyBytes + 4));
    sockets.insert(s);
    QObject::connect(s, &QObject::destroyed, [this, s] { sockets.remove(s); });
    QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    // A connection that sends or takes nothing for a while is dropped.
    auto* idle = new QTimer(s);
    idle->setSingleShot(true);
    idle->setInterval(limits.idleTimeoutMs);
    QObject::connect(idle, &QTimer::timeout, s, [s] { s->abort(); });
    QObject::connect(s, &QTcpSocket::bytesWritten, idle, [idle] { idle->start(); });
    idle->start();
    auto conn = std::make_shared<QMetaObject::Connection>();
    *conn = QObject::connect(s, &QTcpSocket::readyRead, s, [this, s, idle, conn] {
      idle->start();
      judge(s, conn);
    });
  }

  void judge(QTcpSocket* s, const std::shared_ptr<QMetaObject::Connection>& conn) {
    const QByteArray seen = s->peek(static_cast<qint64>(limits.maxHeadBytes + 4));
    const qsizetype end = seen.indexOf("\r\n\r\n");
    if (end < 0) {
      if (static_cast<size_t>(seen.size()) >= limits.maxHeadBytes) {
        QObject::disconnect(*conn);
        WebReply r{431, "text/plain; charset=utf-8", {}, "431 Request Header Fields Too Large\n", "", {}};
        answer(s, r);
      }
      return;
    }
    QObject::disconnect(*conn);
    const std::string head = seen.left(end + 4).toStdString();
    const std::string peer = peerText(s->peerAddress());
    HeadVerdict v = headHandler ? headHandler(head, peer) : HeadVerdict{};
    switch (v.action) {
      case HeadVerdict::Action::Refuse:
        answer(s, v.refusal);
        return;
      case HeadVerdict::Action::Upgrade:
        // The handshake is still unread: the WebSocket server reads it.
        for (QTimer* t : s->findChildren<QTimer*>()) delete t;
        sockets.remove(s);
        QObject::disconnect(s, nullptr, nullptr, nullptr);
        s->setParent(nullptr);
        s->setReadBufferSize(0);
        // What the kernel holds for a viewer that stops reading stays small
        // too; the viewer's own backlog is counted above it.
        s->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, kViewerSendBuffer);
        ws.handleConnection(s);
        emit s->readyRead();
        return;
      case HeadVerdict::Action::Serve:
        s->setProperty(kHeadProperty, QByteArray::fromStdString(head));
        gate->pass(s);
        return;
    }
  }

  void serve(const QHttpServerRequest& request, QTcpSocket* s) {
    // One request per connection: anything sent after it is not looked at.
    if (s->property(kAnsweredProperty).toBool()) {
      s->abort();
      return;
    }
    s->setProperty(kAnsweredProperty, true);
    const std::string head = s->property(kHeadProperty).toByteArray().toStdString();
    const QByteArray body = request.body();
    WebReply r;
    if (static_cast<size_t>(body.size()) > limits.maxBodyBytes)
      r = WebReply{413, "text/plain; charset=utf-8", {}, "413 Payload Too Large\n", "", {}};
    else if (requestHandler)
      r = requestHandler(head, body.toStdString(), peerText(s->peerAddress()));
    else
      r = WebReply{503, "text/plain; charset=utf-8", {}, "503 Service Unavailable\n", "", {}};
    // The responder writes the status line; headers and body follow as for
    // any reply of this server.
    if (r.then) QMetaObject::invokeMethod(http.get(), r.then, Qt::QueuedConnection);
    if (r.filePath.empty()) {
      answer(s, r);
      return;
    }
    auto* f = new QFile(QString::fromStdString(r.filePath), s);
    if (!f->open(QIODevice::ReadOnly)) {
      delete f;
      answer(s, WebReply{404, "text/plain; charset=utf-8", {}, "404 Not Found\n", "", {}});
      return;
    }
    s->write(replyHead(r, f->size()));
    // Pieces go out as the client takes them: a client that stops reading
    // holds at most kFileBacklog bytes here until the idle timer drops it.
    auto pump = [s, f] {
      while (s->bytesToWrite() < kFileBacklog && !f->atEnd()) {
        const QByteArray piece = f->read(kFileChunk);
        if (piece.isEmpty()) break;
        s->write(piece);
      }
      if (f->atEnd() || f->error() != QFileDevice::NoError) {
        QObject::disconnect(s, &QTcpSocket::bytesWritten, f, nullptr);
        finish(s);
      }
    };
    QObject::connect(s, &QTcpSocket::bytesWritten, f, pump);
    pump();
  }

  void answer(QTcpSocket* s, const WebReply& r) {
    const QByteArray body = QByteArray::fromStdString(r.body);
    s->write(replyHead(r, body.size()));
    s->write(body);
    finish(s);
  }

  // Ends a connection once its reply is queued. Closing a socket that still
  // has unread request bytes resets the connection, and a client may then
  // lose the reply it was sent (a refused oversized body, say); so the
  // sending side is shut once everything has gone, and what still arrives
  // is read and dropped until the client closes or kLingerMs pass.
  static void finish(QTcpSocket* s) {
    QObject::disconnect(s, &QTcpSocket::readyRead, nullptr, nullptr);
    s->readAll();
    QObject::connect(s, &QTcpSocket::readyRead, s, [s] { s->readAll(); });
    auto shut = [s] {
      if (s->bytesToWrite() > 0 || s->property("qvShut").toBool()) return;
      s->setProperty("qvShut", true);
      if (s->state() == QAbstractSocket::ConnectedState) ::shutdown(static_cast<int>(s->socketDescriptor()), SHUT_WR);
      QTimer::singleShot(kLingerMs, s, [s] { s->abort(); });
    };
    QObject::connect(s, &QTcpSocket::bytesWritten, s, shut);
    shut();
  }

  void viewerArrived() {
    while (ws.hasPendingConnections()) {
      QWebSocket* w = ws.nextPendingConnection();
      if (!w) break;
      const ViewerId id = nextViewer++;
      viewers[id] = w;
      // The page sends nothing; whatever comes is read within a small bound
      // and ignored.
      w->setMaxAllowedIncomingFrameSize(limits.maxViewerMessageBytes);
      w->setMaxAllowedIncomingMessageSize(limits.maxViewerMessageBytes);
      w->setReadBufferSize(static_cast<qint64>(limits.maxViewerMessageBytes) * 4);
      QObject::connect(w, &QWebSocket::disconnected, w, [this, id] { dropViewer(id, false); });
      if (opened) opened(id, peerText(w->peerAddress()));
    }
  }

  void dropViewer(ViewerId id, bool byProgram) {
    auto it = viewers.find(id);
    if (it == viewers.end()) return;
    QPointer<QWebSocket> w = it->second;
    viewers.erase(it);
    if (w) {
      QObject::disconnect(w, &QWebSocket::disconnected, nullptr, nullptr);
      if (byProgram) w->abort();
      w->deleteLater();
    }
    if (closed) closed(id);
  }

  QWebSocket* viewer(ViewerId id) const {
    auto it = viewers.find(id);
    return it == viewers.end() ? nullptr : it->second.data();
  }

  WebLimits limits;
  QWebSocketServer ws;
  std::unique_ptr<Http> http;
  Gate* gate = nullptr;  // owned by http once bound
  bool bound = false;
  QSet<QTcpSocket*> sockets;  // connections before and during their request
  std::map<ViewerId, QPointer<QWebSocket>> viewers;
  ViewerId nextViewer = 1;
  std::string error;
  HeadHandler headHandler;
  RequestHandler requestHandler;
  std::function<void(ViewerId, const std::string&)> opened;
  std::function<void(ViewerId)> closed;
};

QtWebServer::QtWebServer() : d_(std::make_unique<Impl>()) {}
QtWebServer::~QtWebServer() = default;

void QtWebServer::setLimits(const WebLimits& limits) { d_->limits = limits; }

bool QtWebServer::listen(const std::string& address, int port) {
  d_->close();
  QHostAddress a;
  if (!a.setAddress(QString::fromStdString(address))) {
    d_->error = "\"" + address + "\" is not an IP address";
    return false;
  }
  if (!d_->gate) d_->gate = new Impl::Gate(*d_);
  if (!d_->gate->listen(a, static_cast<quint16>(port))) {
    d_->error = d_->gate->errorString().toStdString();
    return false;
  }
  if (!d_->bound) {
    d_->http->bind(d_->gate);
    d_->bound = true;
  }
  d_->error.clear();
  return true;
}

void QtWebServer::close() { d_->close(); }
bool QtWebServer::isListening() const { return d_->gate && d_->gate->isListening(); }
int QtWebServer::port() const { return isListening() ? d_->gate->serverPort() : 0; }
std::string QtWebServer::errorText() const { return d_->error; }
void QtWebServer::onHead(HeadHandler h) { d_->headHandler = std::move(h); }
void QtWebServer::onRequest(RequestHandler h) { d_->requestHandler = std::move(h); }
void QtWebServer::onViewerOpened(std::function<void(ViewerId, const std::string&)> f) { d_->opened = std::move(f); }
void QtWebServer::onViewerClosed(std::function<void(ViewerId)> f) { d_->closed = std::move(f); }

bool QtWebServer::sendBinary(ViewerId id, const uint8_t* data, size_t size) {
  QWebSocket* w = d_->viewer(id);
  if (!w) return false;
  w->sendBinaryMessage(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
  // Handed to the network now, rather than from a later turn of the event
  // loop that would wake only for it.
  w->flush();
  return true;
}

bool QtWebServer::sendText(ViewerId id, const std::string& text) {
  QWebSocket* w = d_->viewer(id);
  if (!w) return false;
  w->sendTextMessage(QString::fromStdString(text));
  return true;
}

int64_t QtWebServer::queuedBytes(ViewerId id) const {
  QWebSocket* w = d_->viewer(id);
  return w ? w->bytesToWrite() : 0;
}

void QtWebServer::closeViewer(ViewerId id) { d_->dropViewer(id, true); }

bool QtWebServer::asset(const std::string& name, std::string& content) const {
  QFile f(":/web/" + QString::fromStdString(name));
  if (!f.open(QIODevice::ReadOnly)) return false;
  content = f.readAll().toStdString();
  return true;
}

}  // namespace qv
