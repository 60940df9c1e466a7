// The web view of a real headless station, reached over real sockets on the
// loopback with hand-written requests, as a browser or a hostile client
// would send them.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <memory>

#include "support/temp_dir.h"

namespace qv {
namespace {

const QByteArray kToken = "loopback-test-token-42";

int freeTcpPort() {
  QTcpServer s;
  if (!s.listen(QHostAddress::LocalHost, 0)) return 0;
  return s.serverPort();
}

struct Reply {
  int status = 0;
  QByteArray head, body;
  QByteArray header(const QByteArray& name) const {
    for (const QByteArray& line : head.split('\n'))
      if (line.toLower().startsWith(name.toLower() + ":")) return line.mid(name.size() + 1).trimmed();
    return {};
  }
};

// One request on its own connection; the reply is read to the server's close.
Reply exchange(int port, const QByteArray& request, int timeoutMs = 5000) {
  QTcpSocket s;
  s.connectToHost(QHostAddress::LocalHost, quint16(port));
  Reply r;
  if (!s.waitForConnected(timeoutMs)) return r;
  s.write(request);
  s.waitForBytesWritten(timeoutMs);
  QByteArray all;
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < timeoutMs) {
    if (s.waitForReadyRead(100)) all += s.readAll();
    if (s.state() != QAbstractSocket::ConnectedState) {
      all += s.readAll();
      break;
    }
  }
  const qsizetype end = all.indexOf("\r\n\r\n");
  if (end < 0) return r;
  r.head = all.left(end);
  r.body = all.mid(end + 4);
  const QList<QByteArray> first = r.head.left(r.head.indexOf("\r\n")).split(' ');
  if (first.size() >= 2) r.status = first[1].toInt();
  return r;
}

QByteArray get(const QByteArray& target, const QByteArray& extra = "") {
  return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n";
}
QByteArray withToken() { return "Authorization: Bearer " + kToken + "\r\n"; }

// The head of a WebSocket handshake; the socket stays open for the caller.
int upgrade(QTcpSocket& s, int port, const QByteArray& extra) {
  s.connectToHost(QHostAddress::LocalHost, quint16(port));
  if (!s.waitForConnected(3000)) return 0;
  s.write("GET /ws HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
          "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
          "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nOrigin: http://127.0.0.1:" +
          QByteArray::number(port) + "\r\n" + extra + "\r\n");
  QByteArray got;
  QElapsedTimer t;
  t.start();
  // Byte by byte, so that no frame after the head is taken.
  while (!got.contains("\r\n\r\n") && t.elapsed() < 5000) {
    if (s.bytesAvailable() == 0 && !s.waitForReadyRead(100)) continue;
    while (s.bytesAvailable() > 0 && !got.contains("\r\n\r\n")) got += s.read(1);
  }
  const QList<QByteArray> first = got.left(got.indexOf("\r\n")).split(' ');
  return first.size() >= 2 ? first[1].toInt() : 0;
}

class Station {
 public:
  explicit Station(const QStringList& extra) {
    port = freeTcpPort();
    QStringList args{"--headless", "--home", QString::fromStdString(home.path()), "--set",
                     "OPTIONS0.WebPort=" + QString::number(port), "--set", "OPTIONS0.WebToken=" + kToken, "--set",
                     "OPTIONS0.chkWebView=1"};
    for (QString a : extra) args << a.replace("{HOME}", QString::fromStdString(home.path()));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUORVEL_NO_SOUND_CARD", "1");
    proc.setProcessEnvironment(env);
    proc.start(QUORVEL_EXE, args);
  }
  ~Station() {
    if (proc.state() != QProcess::NotRunning) {
      proc.terminate();
      if (!proc.waitForFinished(10000)) proc.kill();
      proc.waitForFinished(3000);
    }
  }
  // Waits for the start line that says where the web view is.
  bool ready() {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000 && proc.state() != QProcess::NotRunning) {
      proc.waitForReadyRead(100);
      out += proc.readAllStandardOutput();
      if (out.contains("; web view http://127.0.0.1:" + QByteArray::number(port) + "/?token=" + kToken)) return true;
    }
    return false;
  }
  QByteArray status() { return exchange(port, get("/api/status", withToken())).body; }
  // A JSON number or string field of the status, as text.
  QString field(const QByteArray& json, const QString& name) {
    QRegularExpression re("\"" + name + "\":(\"[^\"]*\"|[-0-9.]+|true|false)");
    auto m = re.match(QString::fromUtf8(json));
    return m.hasMatch() ? m.captured(1).remove('"') : QString();
  }
  double seconds(const QString& hhmmss) {
    const QStringList p = hhmmss.split(':');
    return p.size() == 3 ? p[0].toInt() * 3600 + p[1].toInt() * 60 + p[2].toDouble() : -1;
  }

  test::TempDir home;
  QProcess proc;
  QByteArray out;
  int port = 0;
};

TEST(WebApp, WithoutTheTokenEverythingIs401TheCookieFlowOpensThePageAndTheViewer) {
  Station st({});
  ASSERT_TRUE(st.ready()) << st.out.toStdString();

  for (const QByteArray& req : {get("/"), get("/app.js"), get("/api/status"), get("/?token=nope"),
                                get("/api/status", "Authorization: Bearer " + kToken + "x\r\n"),
                                get("/", "Cookie: qv_token=" + kToken.left(10) + "\r\n")}) {
    const Reply r = exchange(st.port, req);
    EXPECT_EQ(r.status, 401) << req.toStdString();
    EXPECT_EQ(r.body, "401 Unauthorized\n");
  }
  QTcpSocket anonymous;
  EXPECT_EQ(upgrade(anonymous, st.port, ""), 401);

  // The first visit trades ?token= for a cookie and sends the browser on.
  const Reply first = exchange(st.port, get("/?token=" + kToken));
  ASSERT_EQ(first.status, 303);
  EXPECT_EQ(first.header("Location"), "/");
  const QByteArray cookie = first.header("Set-Cookie");
  EXPECT_TRUE(cookie.startsWith("qv_token=" + kToken + ";")) << cookie.toStdString();
  EXPECT_TRUE(cookie.contains("HttpOnly"));
  EXPECT_TRUE(cookie.contains("SameSite=Strict"));

  const QByteArray jar = "Cookie: qv_token=" + kToken + "\r\n";
  const Reply page = exchange(st.port, get("/", jar));
  EXPECT_EQ(page.status, 200);
  EXPECT_TRUE(page.header("Content-Type").startsWith("text/html"));
  EXPECT_TRUE(page.body.contains("<canvas id=\"spectrogram\""));
  EXPECT_EQ(exchange(st.port, get("/app.js", jar)).status, 200);
  EXPECT_EQ(exchange(st.port, get("/style.css", jar)).status, 200);
  const QByteArray status = st.status();
  EXPECT_TRUE(status.contains("\"status\":\"Status Stop Task 1 48000 x 1 Fails 0 OVL 0\"")) << status.toStdString();

  QTcpSocket viewer;
  EXPECT_EQ(upgrade(viewer, st.port, jar), 101);
  // The palette comes first: a binary frame of 769 bytes starting with 'P'.
  QByteArray frame = viewer.readAll();
  QElapsedTimer t;
  t.start();
  while (frame.size() < 4 + 769 && t.elapsed() < 3000)
    if (viewer.waitForReadyRead(100)) frame += viewer.readAll();
  ASSERT_GE(frame.size(), 4 + 769);
  EXPECT_EQ(uint8_t(frame[0]), 0x82);  // final binary frame
  EXPECT_EQ(uint8_t(frame[1]), 126);   // 16-bit length follows
  EXPECT_EQ((uint8_t(frame[2]) << 8) | uint8_t(frame[3]), 769);
  EXPECT_EQ(frame[4], 'P');

  // Garbage, a request that is not HTTP and a head that never ends are
  // answered or dropped without taking the station down.
  EXPECT_EQ(exchange(st.port, "\x16\x03\x01\x02\x00 hello\r\n\r\n").status, 0);
  EXPECT_EQ(exchange(st.port, "GET / HTTP/1.1\r\nHost: x\r\nX: " + QByteArray(9000, 'a') + "\r\n\r\n").status, 431);
  EXPECT_EQ(exchange(st.port, get("/api/status", withToken())).status, 200);
}

TEST(WebApp, TraversalAttemptsAreRefusedOverTheWireAndARecordingDownloadsWhole) {
  test::TempDir outside;
  Station st({"--set", "OPTIONS0.FileRecPathField={HOME}rec/", "--set", "OPTIONS1.DefSavePath={HOME}shots/"});
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(st.home.path() + "rec")));
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(st.home.path() + "shots")));
  ASSERT_TRUE(st.ready()) << st.out.toStdString();
  const std::string rec = st.home.path() + "rec/";
  QByteArray audio(300000, '\0');
  for (int i = 0; i < audio.size(); ++i) audio[i] = char(i * 7);
  test::writeFile(rec + "Quorvel _20260115 105900.wav", audio.toStdString());
  test::writeFile(outside.path() + "secret.wav", "SECRET");
  test::writeFile(st.home.path() + "Quorvel.ini.wav", "SECRET");
  ASSERT_TRUE(QFile::link(QString::fromStdString(outside.path() + "secret.wav"), QString::fromStdString(rec + "out.wav")));

  const Reply whole = exchange(st.port, get("/files/rec/Quorvel%20_20260115%20105900.wav", withToken()));
  EXPECT_EQ(whole.status, 200);
  EXPECT_EQ(whole.body, audio);
  EXPECT_TRUE(whole.header("Content-Disposition").startsWith("attachment"));

  const QByteArray abs = QByteArray::fromStdString(outside.path() + "secret.wav");
  for (const QByteArray& target :
       {QByteArray("/files/rec/../Quorvel.ini.wav"), QByteArray("/files/rec/%2e%2e/Quorvel.ini.wav"),
        QByteArray("/files/rec/%2e%2e%2fQuorvel.ini.wav"), QByteArray("/files/rec/..%2F..%2F..%2Fetc%2Fpasswd"),
        "/files/rec/" + abs.toPercentEncoding(), "/files/rec/" + abs, QByteArray("/files/rec/out.wav"),
        QByteArray("/files/snap/..%2frec%2fQuorvel%20_20260115%20105900.wav"), QByteArray("/files/rec/%00x.wav"),
        QByteArray("/files/rec/%c0%ae%c0%ae%2fQuorvel.ini.wav"), QByteArray("/files/rec/..\\Quorvel.ini.wav")}) {
    const Reply r = exchange(st.port, get(target, withToken()));
    EXPECT_TRUE(r.status == 404 || r.status == 400) << target.toStdString() << " -> " << r.status;
    EXPECT_FALSE(r.body.contains("SECRET")) << target.toStdString();
  }
}

TEST(WebApp, CommandsArePostOnlyFromTheStationsOwnOriginAndStopEndsTheRun) {
  Station st({"--task", "1", "--start"});
  ASSERT_TRUE(st.ready()) << st.out.toStdString();
  QElapsedTimer t;
  t.start();
  while (st.field(st.status(), "running") != "true" && t.elapsed() < 10000) QThread::msleep(100);
  ASSERT_EQ(st.field(st.status(), "running"), "true");

  const QByteArray origin = "Origin: http://127.0.0.1:" + QByteArray::number(st.port) + "\r\n";
  auto postStop = [&](const QByteArray& extra) {
    return exchange(st.port, "POST /api/command HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(st.port) +
                                 "\r\nContent-Type: text/plain\r\nContent-Length: 4\r\n" + extra + "\r\nSTOP");
  };
  EXPECT_EQ(postStop("Cookie: qv_token=" + kToken + "\r\nOrigin: http://evil.example\r\n").status, 403);
  EXPECT_EQ(postStop(origin).status, 401);
  EXPECT_EQ(exchange(st.port, get("/api/command?STOP", withToken())).status, 405);
  // A body over 4 KB is refused, and the refusal reaches the client whole.
  const Reply big = exchange(st.port, "POST /api/note HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 100000\r\n" +
                                          withToken() + "\r\n" + QByteArray(100000, 'n'));
  EXPECT_EQ(big.status, 413);
  QThread::msleep(500);
  EXPECT_EQ(st.field(st.status(), "running"), "true");

  const Reply stop = postStop("Cookie: qv_token=" + kToken + "\r\n" + origin);
  EXPECT_EQ(stop.status, 202) << stop.head.toStdString();
  t.restart();
  while (st.field(st.status(), "running") != "false" && t.elapsed() < 10000) QThread::msleep(100);
  EXPECT_EQ(st.field(st.status(), "running"), "false");
  const QString log = QString::fromStdString(test::readFile(st.home.path() + "RecLog.Log"));
  EXPECT_TRUE(log.contains("STOP")) << log.toStdString();
}

TEST(WebApp, NineViewersTheLastRefusedAndViewersThatNeverReadDoNotHoldTheRecordingBack) {
  // 750 columns a second, so a client that never reads backs up within seconds.
  Station st({"--set", "OPTIONS0.FileRecPathField={HOME}", "--set", "FORM1.Combo2=96000", "--set",
              "FORM1.Combo6=128", "--task", "2", "--start"});
  ASSERT_TRUE(st.ready()) << st.out.toStdString();
  const QByteArray jar = "Cookie: qv_token=" + kToken + "\r\n";
  std::vector<std::unique_ptr<QTcpSocket>> viewers;
  for (int i = 0; i < 8; ++i) {
    auto s = std::make_unique<QTcpSocket>();
    s->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    s->setReadBufferSize(4096);
    EXPECT_EQ(upgrade(*s, st.port, jar), 101) << i;
    viewers.push_back(std::move(s));
  }
  QTcpSocket ninth;
  EXPECT_EQ(upgrade(ninth, st.port, jar), 503);

  // The recording's file time keeps up with the clock while nobody reads.
  QElapsedTimer t;
  t.start();
  while (st.field(st.status(), "fileTime").isEmpty() && t.elapsed() < 10000) QThread::msleep(100);
  const double fileStart = st.seconds(st.field(st.status(), "fileTime"));
  t.restart();
  ASSERT_GE(fileStart, 0);
  QThread::msleep(8000);
  const QByteArray later = st.status();
  const double advanced = st.seconds(st.field(later, "fileTime")) - fileStart;
  const double wall = t.elapsed() / 1000.0;
  EXPECT_NEAR(advanced, wall, 1.0) << later.toStdString();
  EXPECT_EQ(st.field(later, "fails"), "0");
  EXPECT_GT(st.field(later, "columnsDropped").toLongLong(), 0) << later.toStdString();
  EXPECT_EQ(st.field(later, "viewers"), "8");
}

}  // namespace
}  // namespace qv
