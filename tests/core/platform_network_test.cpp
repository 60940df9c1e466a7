// Real sockets over the loopback interface, pumped through the Qt event
// loop as the program pumps it; and the network double.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <chrono>
#include <functional>

#include "platform/doubles/fake_network.h"
#include "platform/qt/qt_event_pump.h"
#include "platform/qt/qt_network.h"

namespace qv {
namespace {

using Clock = std::chrono::steady_clock;

// Pumps until `done` or the time runs out.
bool pumpUntil(const std::function<bool()>& done, int ms = 3000) {
  QtEventPump pump;
  auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (Clock::now() > end) return false;
    pump.processEventsFor(10);
  }
  return true;
}

struct Received {
  std::string data, host;
  int port = 0;
};

TEST(QtUdp, SendsAndReceivesOverLoopbackIncludingLargeDatagrams) {
  QtNetwork net;
  auto a = net.udp(), b = net.udp();
  ASSERT_TRUE(a->bind(0));
  ASSERT_TRUE(b->bind(0));
  ASSERT_GT(a->localPort(), 0);
  std::vector<Received> got;
  a->onReceive([&](const std::string& d, const std::string& h, int p) { got.push_back({d, h, p}); });

  ASSERT_TRUE(b->send("127.0.0.1", a->localPort(), "$QVLPRO,STATUS"));
  std::string big(65000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = char(i * 31 + 7);
  ASSERT_TRUE(b->send("localhost", a->localPort(), big));
  ASSERT_TRUE(pumpUntil([&] { return got.size() == 2; }));
  EXPECT_EQ(got[0].data, "$QVLPRO,STATUS");
  EXPECT_EQ(got[0].host, "127.0.0.1");
  EXPECT_EQ(got[0].port, b->localPort());
  EXPECT_EQ(got[1].data, big) << "a datagram of 65000 bytes arrives whole";

  // Closed, it hears nothing more.
  int aPort = a->localPort();
  a->close();
  b->send("127.0.0.1", aPort, "late");
  pumpUntil([] { return false; }, 100);
  EXPECT_EQ(got.size(), 2u);
}

TEST(QtUdp, ReportsABusyPort) {
  QtNetwork net;
  auto a = net.udp(), b = net.udp();
  ASSERT_TRUE(a->bind(0));
  int port = a->localPort();
  EXPECT_FALSE(b->bind(port));
  a->close();
  EXPECT_TRUE(b->bind(port)) << "free again once closed";
  EXPECT_EQ(b->localPort(), port);
}

TEST(QtUdp, AHandlerThatPumpsEventsHearsTheNextDatagram) {
  // A "START" handler runs a loop that pumps events; the "STOP" sent during
  // that loop must reach the handler while the loop still runs.
  QtNetwork net;
  auto rx = net.udp(), tx = net.udp();
  ASSERT_TRUE(rx->bind(0));
  int port = rx->localPort();
  std::vector<std::string> order;
  bool stopSeen = false;
  rx->onReceive([&](const std::string& d, const std::string&, int) {
    order.push_back("begin " + d);
    if (d == "START") {
      tx->send("127.0.0.1", port, "STOP");
      stopSeen = pumpUntil([&] { return order.size() >= 3; });
    }
    order.push_back("end " + d);
  });
  tx->send("127.0.0.1", port, "START");
  ASSERT_TRUE(pumpUntil([&] { return order.size() == 4; }));
  EXPECT_TRUE(stopSeen);
  EXPECT_EQ(order, (std::vector<std::string>{"begin START", "begin STOP", "end STOP", "end START"}));
}

TEST(QtUdp, ASocketDestroyedInsideItsOwnHandlerIsSafe) {
  QtNetwork net;
  auto rx = net.udp(), tx = net.udp();
  ASSERT_TRUE(rx->bind(0));
  int port = rx->localPort();
  int calls = 0;
  rx->onReceive([&](const std::string&, const std::string&, int) {
    ++calls;
    rx.reset();
  });
  tx->send("127.0.0.1", port, "one");
  tx->send("127.0.0.1", port, "two");
  ASSERT_TRUE(pumpUntil([&] { return !rx; }));
  pumpUntil([] { return false; }, 100);
  EXPECT_EQ(calls, 1);
}

TEST(QtUdp, BroadcastSendingIsAllowed) {
  QtNetwork net;
  auto s = net.udp();
  ASSERT_TRUE(s->bind(0));
  // No broadcast route in some sandboxes; the socket must at least not refuse it for lack of permission.
  bool ok = s->send("255.255.255.255", 11111, "$QVLPRO,STATUS");
  if (!ok) GTEST_SKIP() << "no broadcast route on this machine";
  SUCCEED();
}

int freeTcpPort() {
  QTcpServer s;
  s.listen(QHostAddress::LocalHost, 0);
  return s.serverPort();
}

TEST(QtTcp, AcceptsAConnectionAndExchangesData) {
  QtNetwork net;
  auto listener = net.tcpListener();
  int port = freeTcpPort();
  ASSERT_TRUE(listener->listen(port));
  std::shared_ptr<TcpConnection> conn;
  std::string data;
  bool closed = false;
  listener->onConnection([&](std::shared_ptr<TcpConnection> c) {
    conn = c;
    c->onData([&](const std::string& d) { data += d; });
    c->onClosed([&] { closed = true; });
  });
  QTcpSocket client;
  client.connectToHost(QHostAddress::LocalHost, quint16(port));
  ASSERT_TRUE(pumpUntil([&] { return conn != nullptr; }));
  EXPECT_EQ(conn->peerAddress(), "127.0.0.1");
  client.write("block one;");
  client.write("block two");
  ASSERT_TRUE(pumpUntil([&] { return data == "block one;block two"; }));
  ASSERT_TRUE(conn->send("ack"));
  ASSERT_TRUE(pumpUntil([&] { return client.bytesAvailable() >= 3; }));
  EXPECT_EQ(client.readAll().toStdString(), "ack");
  client.disconnectFromHost();
  EXPECT_TRUE(pumpUntil([&] { return closed; }));

  auto second = net.tcpListener();
  EXPECT_FALSE(second->listen(port)) << "a port in use is reported";
}

TEST(QtSerial, AMissingPortFailsWithAReason) {
  QtNetwork net;
  auto p = net.serial();
  EXPECT_FALSE(p->open("/dev/quorvel-no-such-port", SerialSettings{}));
  EXPECT_FALSE(p->isOpen());
  EXPECT_NE(p->errorText().find("/dev/quorvel-no-such-port"), std::string::npos);
  EXPECT_EQ(serialDevicePath("3"), "/dev/ttyS2");
  EXPECT_EQ(serialDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
}

TEST(FakeNetwork, InjectsDatagramsRecordsSendsAndKnowsBusyPorts) {
  FakeNetwork net;
  net.busyPorts.insert(11140);
  auto s = net.udp();
  EXPECT_FALSE(s->bind(11140));
  EXPECT_FALSE(static_cast<FakeUdpSocket*>(s.get())->inject("lost"));
  ASSERT_TRUE(s->bind(11141));
  auto other = net.udp();
  EXPECT_FALSE(other->bind(11141)) << "bound by the first socket";
  std::vector<std::string> got;
  s->onReceive([&](const std::string& d, const std::string& h, int p) { got.push_back(d + "@" + h + ":" + std::to_string(p)); });
  ASSERT_EQ(net.udpOn(11141), s.get());
  net.udpOn(11141)->inject("$QVLPRO,START", "10.0.0.2", 5000);
  EXPECT_EQ(got, (std::vector<std::string>{"$QVLPRO,START@10.0.0.2:5000"}));
  s->send("10.0.0.2", 11111, "OK");
  ASSERT_EQ(net.allSent().size(), 1u);
  EXPECT_EQ(net.allSent()[0].port, 11111);
  s.reset();
  EXPECT_EQ(net.udpOn(11141), nullptr);
  EXPECT_TRUE(other->bind(11141));

  auto l = net.tcpListener();
  ASSERT_TRUE(l->listen(1066));
  std::string tcp;
  l->onConnection([&](std::shared_ptr<TcpConnection> c) { c->onData([&](const std::string& d) { tcp += d; }); });
  auto c = net.listenerOn(1066)->connect();
  c->inject("abc");
  EXPECT_EQ(tcp, "abc");
}

}  // namespace
}  // namespace qv
