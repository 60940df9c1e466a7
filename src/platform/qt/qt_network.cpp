#include "platform/qt/qt_network.h"

#include "platform/qt/qt_web_server.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QMetaObject>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QPointer>
#include <QSerialPort>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <algorithm>
#include <deque>

namespace qv {

namespace {

// Items waiting to be handed to a callback, and the callback. Shared with
// the Qt lambdas by weak pointer so that a wrapper destroyed from inside its
// own callback leaves nothing dangling.
template <class Item>
struct Mailbox : std::enable_shared_from_this<Mailbox<Item>> {
  std::deque<Item> items;
  std::function<void(const Item&)> deliver;
  bool posted = false;

  // Called from the Qt signal: queue and post one delivery pass.
  void put(QObject* context, Item item) {
    items.push_back(std::move(item));
    if (posted) return;
    posted = true;
    std::weak_ptr<Mailbox> weak = this->shared_from_this();
    QMetaObject::invokeMethod(
        context,
        [weak] {
          if (auto self = weak.lock()) self->run();
        },
        Qt::QueuedConnection);
  }
  void run() {
    auto keep = this->shared_from_this();
    posted = false;
    while (!items.empty()) {
      Item it = std::move(items.front());
      items.pop_front();
      auto f = deliver;  // the callback may replace itself
      if (f) f(it);
    }
  }
};

QString q(const std::string& s) { return QString::fromStdString(s); }

std::string hostText(const QHostAddress& a) {
  bool ok = false;
  quint32 v4 = a.toIPv4Address(&ok);  // "::ffff:1.2.3.4" as "1.2.3.4"
  return ok ? QHostAddress(v4).toString().toStdString() : a.toString().toStdString();
}

QHostAddress resolve(const std::string& host) {
  QHostAddress a;
  if (host.empty()) return QHostAddress(QHostAddress::LocalHost);
  if (a.setAddress(q(host))) return a;
  if (host == "localhost") return QHostAddress(QHostAddress::LocalHost);
  QHostInfo info = QHostInfo::fromName(q(host));
  for (const QHostAddress& x : info.addresses())
    if (x.protocol() == QAbstractSocket::IPv4Protocol) return x;
  return info.addresses().isEmpty() ? QHostAddress() : info.addresses().first();
}

// ---- UDP ----

// Datagrams are read when the socket signals them (Qt hears the next ones
// only once these are read) and handed to the receiver from a queued call,
// so the receiver never runs inside the socket's own signal. Between the
// two they wait in a bounded box: what does not fit is read, dropped and
// counted, so a flood cannot grow the program's memory.
constexpr size_t kUdpBoxDatagrams = 1024;
constexpr size_t kUdpBoxBytes = size_t{4} << 20;

struct Datagram {
  std::string data, host;
  int port = 0;
};

struct UdpBox {
  std::deque<Datagram> items;
  size_t bytes = 0;
  uint64_t dropped = 0;
  bool posted = false;
  UdpSocket::Receiver deliver;

  void clear() {
    items.clear();
    bytes = 0;
  }
};

void postDelivery(QUdpSocket* s, const std::shared_ptr<UdpBox>& box);

void deliverDatagrams(QUdpSocket* s, const std::shared_ptr<UdpBox>& box) {
  box->posted = false;
  while (!box->items.empty()) {
    Datagram d = std::move(box->items.front());
    box->items.pop_front();
    box->bytes -= d.data.size();
    // The receiver may not return for a long while (a Start runs its loop):
    // the rest are then delivered from inside it.
    if (!box->items.empty()) postDelivery(s, box);
    auto f = box->deliver;  // the receiver may replace itself or close the socket
    if (f) f(d.data, d.host, d.port);
  }
}

void postDelivery(QUdpSocket* s, const std::shared_ptr<UdpBox>& box) {
  if (box->posted) return;
  box->posted = true;
  std::weak_ptr<UdpBox> weak = box;
  QMetaObject::invokeMethod(
      s,
      [s, weak] {
        if (auto self = weak.lock()) deliverDatagrams(s, self);
      },
      Qt::QueuedConnection);
}

class QtUdp : public UdpSocket {
 public:
  QtUdp() : sock_(new QUdpSocket), box_(std::make_shared<UdpBox>()) {
    std::weak_ptr<UdpBox> weak = box_;
    QUdpSocket* s = sock_;
    QObject::connect(s, &QUdpSocket::readyRead, s, [s, weak] {
      auto box = weak.lock();
      std::string scratch;
      while (s->hasPendingDatagrams()) {
        const qint64 size = std::max<qint64>(s->pendingDatagramSize(), 0);
        QHostAddress from;
        quint16 port = 0;
        if (!box || box->items.size() >= kUdpBoxDatagrams || box->bytes + size_t(size) > kUdpBoxBytes) {
          scratch.resize(size_t(size));
          s->readDatagram(scratch.data(), size);
          if (box) ++box->dropped;
          continue;
        }
        std::string data(size_t(size), '\0');
        const qint64 got = s->readDatagram(data.data(), size, &from, &port);
        if (got < 0) continue;
        data.resize(size_t(got));
        box->bytes += data.size();
        box->items.push_back({std::move(data), hostText(from), port});
      }
      if (box && !box->items.empty()) postDelivery(s, box);
    });
  }
  ~QtUdp() override {
    box_->deliver = nullptr;
    sock_->close();
    sock_->deleteLater();
  }
  bool bind(int port) override {
    if (sock_->state() != QAbstractSocket::UnconnectedState) sock_->close();
    box_->clear();  // nothing heard on the old port is delivered after a rebind
    // No address sharing: a port another program holds must be reported.
    return sock_->bind(QHostAddress::AnyIPv4, quint16(port), QAbstractSocket::DontShareAddress);
  }
  void close() override {
    sock_->close();
    box_->clear();
  }
  int localPort() const override { return sock_->localPort(); }
  bool send(const std::string& host, int port, const std::string& data) override {
    QHostAddress a = resolve(host);
    if (a.isNull() || port <= 0 || port > 65535) return false;
    qint64 n = sock_->writeDatagram(data.data(), qint64(data.size()), a, quint16(port));
    return n == qint64(data.size());
  }
  void onReceive(Receiver r) override { box_->deliver = std::move(r); }
  uint64_t droppedCount() const override { return box_->dropped; }

 private:
  QUdpSocket* sock_;
  std::shared_ptr<UdpBox> box_;
};

// ---- TCP ----

enum class TcpEventKind { Data, Closed };
struct TcpEvent {
  TcpEventKind kind;
  std::string data;
};

class QtTcpConnection : public TcpConnection {
 public:
  explicit QtTcpConnection(QTcpSocket* s) : sock_(s), box_(std::make_shared<Mailbox<TcpEvent>>()) {
    sock_->setParent(nullptr);
    std::weak_ptr<Mailbox<TcpEvent>> weak = box_;
    QObject::connect(s, &QTcpSocket::readyRead, s, [s, weak] {
      QByteArray b = s->readAll();
      if (auto box = weak.lock()) box->put(s, {TcpEventKind::Data, std::string(b.constData(), size_t(b.size()))});
    });
    QObject::connect(s, &QTcpSocket::disconnected, s, [s, weak] {
      if (auto box = weak.lock()) box->put(s, {TcpEventKind::Closed, {}});
    });
    box_->deliver = [this](const TcpEvent& e) {
      // Copies: the callback may destroy this connection.
      if (e.kind == TcpEventKind::Data) {
        if (auto f = onData_) f(e.data);
      } else if (auto f = onClosed_) {
        f();
      }
    };
  }
  ~QtTcpConnection() override {
    box_->deliver = nullptr;
    sock_->abort();
    sock_->deleteLater();
  }
  std::string peerAddress() const override { return hostText(sock_->peerAddress()); }
  bool send(const std::string& data) override {
    if (sock_->state() != QAbstractSocket::ConnectedState) return false;
    return sock_->write(data.data(), qint64(data.size())) == qint64(data.size());
  }
  void close() override { sock_->disconnectFromHost(); }
  void onData(std::function<void(const std::string&)> f) override { onData_ = std::move(f); }
  void onClosed(std::function<void()> f) override { onClosed_ = std::move(f); }

 private:
  QTcpSocket* sock_;
  std::shared_ptr<Mailbox<TcpEvent>> box_;
  std::function<void(const std::string&)> onData_;
  std::function<void()> onClosed_;
};

class QtTcpListener : public TcpListener {
 public:
  using Conn = std::shared_ptr<TcpConnection>;
  QtTcpListener() : server_(new QTcpServer), box_(std::make_shared<Mailbox<Conn>>()) {
    std::weak_ptr<Mailbox<Conn>> weak = box_;
    QTcpServer* srv = server_;
    QObject::connect(srv, &QTcpServer::newConnection, srv, [srv, weak] {
      while (QTcpSocket* s = srv->nextPendingConnection()) {
        Conn c = std::make_shared<QtTcpConnection>(s);
        if (auto box = weak.lock()) box->put(srv, c);
      }
    });
  }
  ~QtTcpListener() override {
    box_->deliver = nullptr;
    server_->close();
    server_->deleteLater();
  }
  bool listen(int port) override {
    if (server_->isListening()) server_->close();
    return server_->listen(QHostAddress::AnyIPv4, quint16(port));
  }
  std::string errorText() const override { return server_->errorString().toStdString(); }
  void close() override {
    server_->close();
    box_->items.clear();
  }
  void onConnection(std::function<void(Conn)> f) override {
    box_->deliver = [f](const Conn& c) {
      if (f) f(c);
    };
  }

 private:
  QTcpServer* server_;
  std::shared_ptr<Mailbox<Conn>> box_;
};

// ---- Serial ----

class QtSerial : public SerialPort {
 public:
  QtSerial() : port_(new QSerialPort), box_(std::make_shared<Mailbox<std::string>>()) {
    std::weak_ptr<Mailbox<std::string>> weak = box_;
    QSerialPort* p = port_;
    QObject::connect(p, &QSerialPort::readyRead, p, [p, weak] {
      QByteArray b = p->readAll();
      if (auto box = weak.lock()) box->put(p, std::string(b.constData(), size_t(b.size())));
    });
  }
  ~QtSerial() override {
    box_->deliver = nullptr;
    port_->close();
    port_->deleteLater();
  }
  bool open(const std::string& portOrPath, const SerialSettings& settings) override {
    if (port_->isOpen()) port_->close();
    box_->items.clear();
    error_.clear();
    std::string path = serialDevicePath(portOrPath);
    if (path.empty()) {
      error_ = "\"" + portOrPath + "\" is not a port number or a device path";
      return false;
    }
    port_->setPortName(q(path));
    static const QSerialPort::Parity parities[] = {QSerialPort::NoParity, QSerialPort::EvenParity,
                                                   QSerialPort::OddParity, QSerialPort::MarkParity,
                                                   QSerialPort::SpaceParity};
    static const QSerialPort::StopBits stops[] = {QSerialPort::OneStop, QSerialPort::OneAndHalfStop,
                                                  QSerialPort::TwoStop};
    port_->setBaudRate(settings.baud);
    port_->setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits));
    port_->setParity(parities[static_cast<int>(settings.parity)]);
    port_->setStopBits(stops[static_cast<int>(settings.stopBits)]);
    port_->setFlowControl(QSerialPort::NoFlowControl);
    // A receiver only listens: fall back to read-only when writing is refused.
    if (port_->open(QIODevice::ReadWrite) || port_->open(QIODevice::ReadOnly)) return true;
    error_ = path + ": " + port_->errorString().toStdString();
    return false;
  }
  void close() override {
    port_->close();
    box_->items.clear();
  }
  bool isOpen() const override { return port_->isOpen(); }
  void onData(std::function<void(const std::string&)> f) override {
    box_->deliver = [f](const std::string& s) {
      if (f) f(s);
    };
  }
  std::string errorText() const override { return error_; }

 private:
  QSerialPort* port_;
  std::shared_ptr<Mailbox<std::string>> box_;
  std::string error_;
};

}  // namespace

std::unique_ptr<UdpSocket> QtNetwork::udp() { return std::make_unique<QtUdp>(); }
std::unique_ptr<TcpListener> QtNetwork::tcpListener() { return std::make_unique<QtTcpListener>(); }
std::unique_ptr<SerialPort> QtNetwork::serial() { return std::make_unique<QtSerial>(); }
std::unique_ptr<WebServer> QtNetwork::webServer() { return std::make_unique<QtWebServer>(); }

std::string QtNetwork::hostName() const { return QHostInfo::localHostName().toStdString(); }

std::string QtNetwork::hostAddress() const {
  // The first address of an interface that is up and not the loopback.
  for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
    const auto flags = i.flags();
    if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning) ||
        (flags & QNetworkInterface::IsLoopBack))
      continue;
    for (const QNetworkAddressEntry& e : i.addressEntries())
      if (e.ip().protocol() == QAbstractSocket::IPv4Protocol) return e.ip().toString().toStdString();
  }
  return "127.0.0.1";
}

}  // namespace qv
