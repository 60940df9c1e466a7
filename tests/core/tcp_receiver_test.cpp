// The TCP receiver window with real sockets on the loopback: senders write,
// the window counts and acknowledges, closes and listens again.
#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <chrono>
#include <functional>

#include "core/designer.h"
#include "core/program.h"
#include "platform/doubles/fake_clock.h"
#include "platform/doubles/scripted_dialogs.h"
#include "platform/qt/qt_event_pump.h"
#include "platform/qt/qt_network.h"
#include "remote/tcp_receiver.h"
#include "support/program_rig.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

using Steady = std::chrono::steady_clock;

bool pumpUntil(const std::function<bool()>& done, int ms = 5000) {
  QtEventPump pump;
  auto end = Steady::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (Steady::now() > end) return false;
    pump.processEventsFor(5);
  }
  return true;
}

int freeTcpPort() {
  QTcpServer s;
  s.listen(QHostAddress::AnyIPv4, 0);
  return s.serverPort();
}

// The window with the real network, on a port of its own.
struct TcpRig {
  test::TempDir home;
  QtNetwork net;
  QtEventPump pump;
  FakeClock clock{9, 0, 0};
  ScriptedDialogs dialogs;
  std::unique_ptr<Program> program;
  std::shared_ptr<TcpReceiver> rx;
  int port = freeTcpPort();
  // Sizes of the deliveries as the window reported them in its block line.
  std::vector<int64_t> deliveries;

  TcpRig() {
    Services s;
    s.net = &net;
    s.pump = &pump;
    s.clock = &clock;
    s.dialogs = &dialogs;
    program = std::make_unique<Program>(s, home.path());
    buildForms(program->forms());
    rx = installTcpReceiver(*program, port);
    tcp("Text2").addObserver([this](const Control& c) {
      // "Received block  N of  M bytes "
      const std::string& t = c.text();
      auto of = t.find(" of ");
      if (of != std::string::npos) deliveries.push_back(std::stoll(t.substr(of + 4)));
    });
  }
  ~TcpRig() {
    program->forms().tcpIp().setShown(false);
    rx.reset();
    program.reset();
    pumpUntil([] { return false; }, 20);  // sockets deleted later go now
  }
  Control& tcp(const std::string& n) { return program->forms().tcpIp()[n]; }
  std::string state() { return tcp("Text4").text(); }

  // Connects a sender and waits until the window has taken it.
  std::unique_ptr<QTcpSocket> connectSender(int64_t requestId) {
    auto c = std::make_unique<QTcpSocket>();
    c->connectToHost(QHostAddress::LocalHost, quint16(port));
    const std::string want = "Connection request id  " + std::to_string(requestId) + " from 127.0.0.1";
    EXPECT_TRUE(pumpUntil([&] { return state() == want; })) << state();
    return c;
  }
  // Writes and waits until the window has counted every byte.
  void send(QTcpSocket& c, const std::string& bytes) {
    const int64_t before = rx->BytesReceivedTotal;
    c.write(bytes.data(), qint64(bytes.size()));
    ASSERT_TRUE(pumpUntil([&] { return rx->BytesReceivedTotal == before + int64_t(bytes.size()); }))
        << rx->BytesReceivedTotal << " of " << before + int64_t(bytes.size());
  }
  // Everything the sender has been sent back so far.
  std::string acks(QTcpSocket& c, size_t atLeast) {
    std::string got;
    pumpUntil([&] {
      got += c.readAll().toStdString();
      return got.size() >= atLeast;
    });
    return got;
  }
};

std::string pattern(size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = char((i * 131 + seed * 17 + (i >> 9)) & 0xFF);
  return s;
}

int16_t sampleAt(const std::string& bytes, size_t index) {
  return int16_t(uint16_t((unsigned char)bytes[2 * index]) | uint16_t((unsigned char)bytes[2 * index + 1]) << 8);
}

TEST(TcpReceiver, CountsAndAcknowledgesEveryBlockThenFollowsTheSenderThroughCloseAndReconnect) {
  TcpRig r;
  r.program->form1()["StatusLine"].setText("");
  r.rx->SetTcpIp_Click();
  ASSERT_TRUE(r.program->forms().tcpIp().shown());
  EXPECT_EQ(r.state(), "Listening to port: " + std::to_string(r.port));
  EXPECT_EQ(r.program->forms().tcpIp().title(), r.net.hostName() + ": " + r.net.hostAddress());

  // GIVEN a sender that waits for each acknowledgement
  auto a = r.connectSender(1);
  std::string expectedAcks, gotAcks;
  std::string third;
  for (unsigned b = 1; b <= 3; ++b) {
    third = pattern(4096, b);
    r.clock.advance(0.5);
    r.send(*a, third);
    expectedAcks += tcpAcknowledgement(b, 4096, 4096 * b);
    gotAcks += r.acks(*a, expectedAcks.size() - gotAcks.size());
  }
  // THEN the acknowledgements are these texts, byte for byte, nothing between them
  EXPECT_EQ(tcpAcknowledgement(3, 4096, 12288), "Acknowledge blocks  3 of  4096 ( Total  12288 )");
  ASSERT_EQ(r.deliveries, (std::vector<int64_t>{4096, 4096, 4096})) << "the loopback delivers 4096 bytes whole";
  EXPECT_EQ(r.tcp("Text2").text(), "Received block  3 of  4096 bytes ");
  EXPECT_EQ(r.tcp("Text5").text(), "Total Received  12288 in 1 seconds");
  EXPECT_EQ(r.tcp("Text3").text(), "Acknowledge to 127.0.0.1");
  EXPECT_EQ(r.tcp("Text1").text(), std::to_string(sampleAt(third, 511)));

  // WHEN a short block comes: the 512th sample of the earlier block stays
  const std::string shortBlock = pattern(1000, 9);
  r.send(*a, shortBlock);
  expectedAcks += tcpAcknowledgement(4, 1000, 13288);
  EXPECT_EQ(r.tcp("Text1").text(), std::to_string(sampleAt(third, 511)));
  EXPECT_EQ(r.rx->sampleBlock()[0], sampleAt(shortBlock, 0));
  EXPECT_EQ(r.rx->sampleBlock()[499], sampleAt(shortBlock, 499));
  EXPECT_EQ(r.rx->sampleBlock()[500], sampleAt(third, 500));
  gotAcks += r.acks(*a, expectedAcks.size() - gotAcks.size());
  EXPECT_EQ(gotAcks, expectedAcks);

  // WHEN "no echo" is chosen: counted, not acknowledged, the target line kept
  r.tcp("Text3").setText("kept");
  r.tcp("Option1").click();
  r.send(*a, pattern(2048, 4));
  EXPECT_EQ(r.rx->BlockCount, 5);
  pumpUntil([] { return false; }, 100);
  EXPECT_EQ(a->bytesAvailable(), 0);
  EXPECT_EQ(r.tcp("Text3").text(), "kept");
  r.tcp("Option2").click();

  // WHEN the operator presses OK: the window goes to its icon, the sender is named
  r.tcp("Command1").click();
  EXPECT_TRUE(r.program->forms().tcpIp().minimized());
  EXPECT_EQ(r.program->status(), "Receiving data from 127.0.0.1");

  // WHEN the sender closes and comes back: listening again, counting from block 1
  a->disconnectFromHost();
  const std::string listening = "Connection closed - Listening to port: " + std::to_string(r.port);
  ASSERT_TRUE(pumpUntil([&] { return r.state() == listening; })) << r.state();
  EXPECT_FALSE(r.rx->connected());
  auto again = r.connectSender(2);
  r.send(*again, pattern(600, 7));
  EXPECT_EQ(r.tcp("Text2").text(), "Received block  1 of  600 bytes ");
  EXPECT_EQ(r.rx->BytesReceivedTotal, 600);
  EXPECT_EQ(r.acks(*again, 1), tcpAcknowledgement(1, 600, 600));
}

TEST(TcpReceiver, LargeWritesAreCountedAsDeliveredAndNeverOverrunTheBlock) {
  TcpRig r;
  r.rx->SetTcpIp_Click();
  auto a = r.connectSender(1);

  // GIVEN a write of 8192 bytes, then one of 1 MB
  const std::string eight = pattern(8192, 1);
  r.send(*a, eight);
  const std::string mega = pattern(1 << 20, 2);
  r.send(*a, mega);

  // THEN the counters follow the deliveries, however the socket cut them
  int64_t sum = 0;
  for (int64_t d : r.deliveries) sum += d;
  EXPECT_EQ(sum, 8192 + (1 << 20));
  EXPECT_EQ(r.rx->BlockCount, int64_t(r.deliveries.size()));
  EXPECT_EQ(r.rx->BytesReceivedTotal, 8192 + (1 << 20));

  // AND the block holds the start of the last delivery, truncated to its size
  const int64_t last = r.deliveries.back();
  const std::string lastBytes = mega.substr(mega.size() - size_t(last));
  const size_t kept = std::min<size_t>(size_t(last) / 2, kTcpSampleBlock);
  for (size_t i = 0; i < kept; ++i) ASSERT_EQ(r.rx->sampleBlock()[i], sampleAt(lastBytes, i)) << i;

  // AND every delivery was acknowledged with its own numbers, in order
  std::string expected;
  int64_t total = 0;
  for (size_t i = 0; i < r.deliveries.size(); ++i) {
    total += r.deliveries[i];
    expected += tcpAcknowledgement(int64_t(i + 1), r.deliveries[i], total);
  }
  EXPECT_EQ(r.acks(*a, expected.size()), expected);
}

TEST(TcpReceiver, ASecondSenderIsRefusedWhileTheFirstIsConnected) {
  TcpRig r;
  r.rx->SetTcpIp_Click();
  auto a = r.connectSender(1);

  QTcpSocket b;
  bool refused = false;
  QObject::connect(&b, &QTcpSocket::errorOccurred, [&](QAbstractSocket::SocketError) { refused = true; });
  QObject::connect(&b, &QTcpSocket::disconnected, [&] { refused = true; });
  b.connectToHost(QHostAddress::LocalHost, quint16(r.port));
  ASSERT_TRUE(pumpUntil([&] { return refused; }));
  EXPECT_EQ(r.state(), "Connection request id  1 from 127.0.0.1");

  // The first sender is still served.
  r.send(*a, pattern(100, 3));
  EXPECT_EQ(r.acks(*a, 1), tcpAcknowledgement(1, 100, 100));

  // Closing the window closes the connection and stops listening.
  r.program->forms().tcpIp().setShown(false);
  EXPECT_FALSE(r.rx->connected());
  EXPECT_FALSE(r.rx->listening());
  ASSERT_TRUE(pumpUntil([&] { return a->state() == QAbstractSocket::UnconnectedState; }));
}

TEST(TcpReceiver, APortInUseGivesAStateLineAndOpeningAgainRetries) {
  TcpRig r;
  QTcpServer squatter;
  ASSERT_TRUE(squatter.listen(QHostAddress::AnyIPv4, quint16(r.port)));
  r.rx->SetTcpIp_Click();
  EXPECT_FALSE(r.rx->listening());
  EXPECT_EQ(r.state().rfind("Cannot listen to port: " + std::to_string(r.port) + " (", 0), 0u) << r.state();
  EXPECT_EQ(r.program->status().rfind("TcpIP Receiver: Cannot listen to port: ", 0), 0u) << r.program->status();

  squatter.close();
  r.program->forms().tcpIp().setShown(false);
  r.rx->SetTcpIp_Click();
  EXPECT_TRUE(r.rx->listening());
  EXPECT_EQ(r.state(), "Listening to port: " + std::to_string(r.port));
}

TEST(TcpReceiver, TheAssembledProgramListensOnPort1066FromTheMenu) {
  test::ProgramRig rig;
  ASSERT_EQ(rig.net.listenerOn(kTcpReceiverPort), nullptr);
  rig.form1("SetTcpIp").click();
  EXPECT_TRUE(rig.p().forms().tcpIp().shown());
  EXPECT_EQ(rig.p().forms().tcpIp().title(), "fieldstation: 192.0.2.7");
  EXPECT_EQ(rig.p().forms().tcpIp()["Text4"].text(), "Listening to port: 1066");
  auto* l = rig.net.listenerOn(kTcpReceiverPort);
  ASSERT_NE(l, nullptr);
  auto c = l->connect("10.1.1.5");
  c->inject(std::string(2048, '\x01'));
  EXPECT_EQ(c->sent, (std::vector<std::string>{"Acknowledge blocks  1 of  2048 ( Total  2048 )"}));
  EXPECT_EQ(rig.p().forms().tcpIp()["Text1"].text(), "257");
  EXPECT_EQ(rig.net.listenerOn(kTcpReceiverPort), nullptr) << "not listening while a sender is connected";
  c->closeFromPeer();
  EXPECT_NE(rig.net.listenerOn(kTcpReceiverPort), nullptr);
}

}  // namespace
}  // namespace qv
