// The real executable, headless, driven over real UDP sockets on the loopback
// as a station script would drive it.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkDatagram>
#include <QProcess>
#include <QRegularExpression>
#include <QUdpSocket>
#include <random>

#include "support/temp_dir.h"

namespace qv {
namespace {

int freeUdpPort() {
  QUdpSocket s;
  if (!s.bind(QHostAddress::AnyIPv4, 0)) return 0;
  return s.localPort();
}

// One running program and the script's feedback socket.
class Station {
 public:
  explicit Station(const QStringList& extra = {}, int commandPort = 0) {
    feedback_.bind(QHostAddress::AnyIPv4, 0);
    port_ = commandPort ? commandPort : freeUdpPort();
    QStringList args{"--headless", "--home", QString::fromStdString(home.path()),
                     // The port first, so enabling binds it at once.
                     "--set", QString("OPTIONS0.LocalPort2=%1").arg(port_), "--set", "OPTIONS0.chkUDPSlave=1",
                     "--set", QString("OPTIONS0.RemotePort2=%1").arg(feedback_.localPort())};
    for (QString a : extra) args << a.replace("{HOME}", QString::fromStdString(home.path()));
    proc.setProcessChannelMode(QProcess::MergedChannels);
    proc.start(QUORVEL_EXE, args);
  }
  ~Station() {
    if (proc.state() != QProcess::NotRunning) {
      proc.kill();
      proc.waitForFinished(5000);
    }
  }

  int port() const { return port_; }
  void send(const QByteArray& d, int port = 0) {
    out_.writeDatagram(d, QHostAddress::LocalHost, quint16(port ? port : port_));
  }
  // Next datagram at the feedback port, or empty after the timeout.
  QByteArray receiveRaw(int timeoutMs = 3000) {
    QElapsedTimer t;
    t.start();
    while (!feedback_.hasPendingDatagrams() && t.elapsed() < timeoutMs) feedback_.waitForReadyRead(50);
    if (!feedback_.hasPendingDatagrams()) return {};
    return feedback_.receiveDatagram().data();
  }
  QString receive(int timeoutMs = 3000) { return QString::fromUtf8(receiveRaw(timeoutMs)); }
  void drain() {
    while (feedback_.hasPendingDatagrams()) feedback_.receiveDatagram();
  }
  // Asks for the status until the program answers (it may still be starting).
  QString status(int timeoutMs = 15000, int port = 0) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
      drain();
      send("$QVLPRO,STATUS", port);
      if (receive(400) == "STATUS") return receive(2000);
      if (proc.state() == QProcess::NotRunning) break;
    }
    return {};
  }
  // Polls the status until it matches.
  QString statusMatching(const QRegularExpression& re, int timeoutMs = 10000) {
    QElapsedTimer t;
    t.start();
    QString s;
    while (t.elapsed() < timeoutMs) {
      s = status(2000);
      if (re.match(s).hasMatch()) return s;
    }
    return s;
  }
  int terminate() {
    proc.terminate();
    if (!proc.waitForFinished(10000) || proc.exitStatus() != QProcess::NormalExit) return -1;
    return proc.exitCode();
  }
  // Everything the program printed so far (messages of the headless dialogs).
  QString output() {
    proc.waitForReadyRead(200);
    log_ += proc.readAll();
    return QString::fromUtf8(log_);
  }

  test::TempDir home;
  QProcess proc;

 private:
  QUdpSocket feedback_;
  QUdpSocket out_;
  int port_ = 0;
  QByteArray log_;
};

const QRegularExpression kStoppedTask1(R"(^Status Stop Task 1 \d+ x [12] Fails 0 OVL 0$)");

TEST(UdpApp, StatusAnswersToTheBroadcastFeedbackGarbageIsHarmlessAndSigtermExitsZero) {
  // The feedback address stays at its default, the loopback broadcast 127.255.255.255.
  Station st;
  ASSERT_TRUE(st.proc.waitForStarted());
  const QString first = st.status();
  ASSERT_TRUE(kStoppedTask1.match(first).hasMatch()) << first.toStdString() << "\n" << st.output().toStdString();

  // An unknown word is echoed and does nothing else.
  st.drain();
  st.send("$QVLPRO,launch,now");
  EXPECT_EQ(st.receive(), "LAUNCH");
  // A lower-case prefix is not a command: no echo; a junk word is echoed as it came.
  st.send("$qvlpro,STATUS");
  st.send(QByteArray("$QVLPRO,\x01\x02\xff", 11));
  EXPECT_EQ(st.receiveRaw(), QByteArray("\x01\x02\xff", 3));
  EXPECT_EQ(st.receive(300), QString()) << "nothing else came back";

  // Binary garbage and largest datagrams (a burst: the system may drop some).
  std::mt19937 rng(7);
  for (int i = 0; i < 200; ++i) {
    QByteArray b(int(rng() % 1400), '\0');
    for (char& c : b) c = char(rng());
    if (i % 50 == 0) b = QByteArray(65507, char(rng()));
    st.send(b);
  }
  EXPECT_EQ(st.status(), first);
  EXPECT_EQ(st.proc.state(), QProcess::Running);
  EXPECT_EQ(st.terminate(), 0) << st.output().toStdString();
}

TEST(UdpApp, ASecondInstanceOnTheSamePortMovesToTheNextOne) {
  Station a;
  ASSERT_TRUE(a.proc.waitForStarted());
  ASSERT_FALSE(a.status().isEmpty());
  Station b({}, a.port());
  ASSERT_TRUE(b.proc.waitForStarted());
  // The second one answers on the next port; the first still on its own.
  const QString onNext = b.status(15000, a.port() + 1);
  EXPECT_TRUE(kStoppedTask1.match(onNext).hasMatch()) << onNext.toStdString() << "\n" << b.output().toStdString();
  EXPECT_TRUE(b.output().contains(QString("Local Port %1 already in use").arg(a.port())));
  EXPECT_EQ(b.terminate(), 0);
  EXPECT_EQ(a.terminate(), 0);
}

// End to end through the whole program. Every status expectation here needs
// the live loop, the mode handlers, the recording and the buffer save to be
// attached (other branches); only the log lines of the commands hold without
// them. Enable once those are merged.
TEST(UdpApp, StartStopRecModeAndSaveBufferRunTheProgram) {
  Station run({"--set", "OPTIONS0.FileRecPathField={HOME}rec/", "--set", "FORM1.Combo12=4 Mbytes"});
  ASSERT_TRUE(run.proc.waitForStarted());
  const QString rec = QString::fromStdString(run.home.path()) + "rec/";
  QDir().mkpath(rec);
  ASSERT_TRUE(kStoppedTask1.match(run.status()).hasMatch());

  run.send("$QVLPRO,START");
  QString s = run.statusMatching(QRegularExpression("^Status Run Task 1 "));
  EXPECT_TRUE(s.startsWith("Status Run Task 1 ")) << s.toStdString();
  run.send("$QVLPRO,STOP");
  s = run.statusMatching(kStoppedTask1);
  EXPECT_TRUE(kStoppedTask1.match(s).hasMatch()) << s.toStdString();

  run.send("$QVLPRO,RECMODE");
  s = run.statusMatching(QRegularExpression("^Status Stop Task 2 "));
  EXPECT_TRUE(s.startsWith("Status Stop Task 2 ")) << s.toStdString();
  run.send("$QVLPRO,START");
  s = run.statusMatching(QRegularExpression("^Status Run Task 2 " + QRegularExpression::escape(rec) + ".*\\.wav \\d+ x"));
  EXPECT_TRUE(s.startsWith("Status Run Task 2 " + rec)) << s.toStdString();
  run.send("$QVLPRO,STOP");
  s = run.statusMatching(QRegularExpression("^Status Stop Task 2 "));
  EXPECT_TRUE(s.startsWith("Status Stop Task 2 ")) << s.toStdString();

  run.send("$QVLPRO,SAVEBUFFER");
  // Replies to earlier STATUS requests may still be queued, so wait for the file itself.
  // A STATUS can be answered from inside the save's own event processing, so
  // wait for what the save leaves behind: the file and its log line.
  const QString logPath = QString::fromStdString(run.home.path()) + "RecLog.Log";
  auto saved = [&] {
    QFile f(logPath);
    return !QDir(rec).entryList({"buffer end at *.wav"}).isEmpty() && f.open(QIODevice::ReadOnly) &&
           f.readAll().contains("SAVEBUFFER");
  };
  for (int i = 0; i < 100 && !saved(); ++i) run.status();
  const QStringList wavs = QDir(rec).entryList({"*.wav"});
  EXPECT_GE(wavs.size(), 2) << wavs.join(", ").toStdString();
  EXPECT_FALSE(QDir(rec).entryList({"buffer end at *.wav"}).isEmpty()) << wavs.join(", ").toStdString();

  QFile log(QString::fromStdString(run.home.path()) + "RecLog.Log");
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(log.readAll());
  for (const char* w : {"START", "STOP", "RECMODE", "SAVEBUFFER"}) EXPECT_TRUE(text.contains(w)) << w;
  EXPECT_EQ(run.terminate(), 0);
}

}  // namespace
}  // namespace qv
