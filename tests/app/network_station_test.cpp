// A station without a screen: buttons pressed from the command line open the
// TCP receiver and start the GPS logger; a pseudo-terminal is the GPS.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTcpSocket>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <pty.h>
#include <thread>
#include <unistd.h>

#include "files/header_tools.h"
#include "support/temp_dir.h"
#include "support/wav_parts.h"

namespace qv {
namespace {

const std::string kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";

// What a command prints, or empty when it fails or is missing.
std::string commandOutput(const std::string& command) {
  FILE* f = popen((command + " 2>/dev/null").c_str(), "r");
  if (!f) return {};
  std::string out;
  char buf[256];
  while (fgets(buf, sizeof buf, f)) out += buf;
  return pclose(f) == 0 ? out : std::string();
}

bool waitFor(const std::function<bool()>& done, int ms = 15000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > ms) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

struct Finished {
  int exitCode = -1;
  std::string err;
};

Finished runToEnd(const QStringList& args) {
  QProcess p;
  p.start(QUORVEL_EXE, args);
  Finished r;
  if (!p.waitForFinished(20000)) {
    p.kill();
    p.waitForFinished();
    return r;
  }
  r.exitCode = p.exitCode();
  r.err = p.readAllStandardError().toStdString();
  return r;
}

TEST(ClickOption, OnlyButtonsAndMenuItemsArePressedOthersEndWithCode2) {
  test::TempDir home;
  const QString h = QString::fromStdString(home.path());
  Finished unknown = runToEnd({"--headless", "--home", h, "--click", "FORM1.NoSuchButton"});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.err.find("--click FORM1.NoSuchButton: no such control"), std::string::npos) << unknown.err;
  Finished setting = runToEnd({"--headless", "--home", h, "--click", "OPTIONS2.ComSet"});
  EXPECT_EQ(setting.exitCode, 2);
  EXPECT_NE(setting.err.find("TextBox is not pressed"), std::string::npos) << setting.err;
  Finished shape = runToEnd({"--headless", "--home", h, "--click", "SetTcpIp"});
  EXPECT_EQ(shape.exitCode, 2);
  // A press that fails says why, though no status line is seen.
  Finished gps = runToEnd({"--headless", "--home", h, "--set", "OPTIONS2.ComPort=/dev/quorvel-no-gps", "--click",
                           "OPTIONS2.StartGPS", "--quit-after", "0.5"});
  EXPECT_EQ(gps.exitCode, 0);
  EXPECT_NE(gps.err.find("OPTIONS2.StartGPS: GPS Logger: /dev/quorvel-no-gps: "), std::string::npos) << gps.err;
}

TEST(ClickOption, AHeadlessStationOpensTheTcpReceiverAndAcknowledges) {
  {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::AnyIPv4, 1066)) GTEST_SKIP() << "port 1066 is taken on this machine";
  }
  test::TempDir home;
  QProcess p;
  p.start(QUORVEL_EXE, {"--headless", "--home", QString::fromStdString(home.path()), "--click", "FORM1.SetTcpIp",
                        "--quit-after", "20"});
  ASSERT_TRUE(p.waitForStarted());
  QTcpSocket sender;
  ASSERT_TRUE(waitFor([&] {
    sender.abort();
    sender.connectToHost(QHostAddress::LocalHost, 1066);
    return sender.waitForConnected(200);
  }));
  sender.write(QByteArray(4096, '\x02'));
  std::string ack;
  ASSERT_TRUE(waitFor([&] {
    sender.waitForReadyRead(100);
    ack += sender.readAll().toStdString();
    return ack.size() >= 46;
  }, 5000));
  EXPECT_EQ(ack, "Acknowledge blocks  1 of  4096 ( Total  4096 )");
  ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
  EXPECT_TRUE(p.waitForFinished(10000));
  EXPECT_EQ(p.exitCode(), 0);
}

// The recording's Start press runs a loop; the GPS press queued after it is
// served from inside that loop, and both go on together. The recording ends
// with the fix and its start time in its metadata, and reads as before.
TEST(ClickOption, APressQueuedBehindALoopRunsWhileItLoopsAndTheRecordingKnowsWhereItWasMade) {
  int master = -1, slave = -1;
  char name[128] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  test::TempDir home;
  const std::string rec = home.path() + "rec/";
  QDir().mkpath(QString::fromStdString(rec));
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QUORVEL_NO_SOUND_CARD", "1");
  p.setProcessEnvironment(env);
  p.start(QUORVEL_EXE, {"--headless", "--home", QString::fromStdString(home.path()), "--set",
                        QString::fromStdString("OPTIONS0.FileRecPathField=" + rec), "--set",
                        QString::fromStdString("OPTIONS1.DefLogPath=" + home.path()), "--set",
                        QString("OPTIONS2.ComPort=") + name, "--set", "OPTIONS2.LogToFile=1", "--set",
                        "OPTIONS2.LogName=gps.log", "--click", "FORM1.RealTimeRecording", "--click",
                        "FORM1.StartStop", "--click", "OPTIONS2.StartGPS", "--quit-after", "30"});
  ASSERT_TRUE(p.waitForStarted());
  const QString recDir = QString::fromStdString(rec);
  auto wavSize = [&] {
    QStringList wavs = QDir(recDir).entryList({"*.wav"});
    return wavs.isEmpty() ? qint64(0) : QFileInfo(recDir + wavs[0]).size();
  };
  ASSERT_TRUE(waitFor([&] { return wavSize() > 100000; })) << "the recording runs";
  const std::string log = home.path() + "gps.log";
  // The logger opens the port once its press is served; sentences written
  // before that are not read, so keep sending until one is logged.
  ASSERT_TRUE(waitFor([&] {
    std::string s = kRmc + "\r\n";
    ssize_t n = ::write(master, s.data(), s.size());
    (void)n;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return QFileInfo(QString::fromStdString(log)).size() > 0;
  }));
  const qint64 before = wavSize();
  ASSERT_TRUE(waitFor([&] { return wavSize() > before + 50000; })) << "still recording while the GPS is logged";
  ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
  EXPECT_TRUE(p.waitForFinished(10000));
  EXPECT_EQ(p.exitCode(), 0);
  std::string logged = test::readFile(log);
  EXPECT_EQ(logged.substr(0, kRmc.size() + 2), kRmc + "\r\n");
  ::close(master);
  ::close(slave);

  QStringList wavs = QDir(recDir).entryList({"*.wav"});
  ASSERT_EQ(wavs.size(), 1);
  const std::string wav = rec + wavs[0].toStdString();
  const std::string bytes = test::readFile(wav);
  test::WavParts w = test::takeApart(bytes);
  ASSERT_EQ(w.error, "");
  ASSERT_TRUE(w.hasGuano);
  EXPECT_EQ(w.guanoOffset, 44u + w.dataSize);
  EXPECT_EQ(w["Loc Position"], "48.117300 11.516667");
  EXPECT_EQ(w["Samplerate"], "48000");
  // The start time is the recording's own: the name carries it to the second.
  const std::string stamp = wavs[0].toStdString().substr(wavs[0].indexOf('_') + 1, 15);  // "YYYYMMDD hhmmss"
  const std::string ts = w["Timestamp"];
  ASSERT_GE(ts.size(), 29u) << ts;
  EXPECT_EQ(ts.substr(0, 4) + ts.substr(5, 2) + ts.substr(8, 2), stamp.substr(0, 8));
  EXPECT_NEAR(std::stoi(ts.substr(11, 2)) * 3600 + std::stoi(ts.substr(14, 2)) * 60 + std::stod(ts.substr(17, 6)),
              std::stoi(stamp.substr(9, 2)) * 3600 + std::stoi(stamp.substr(11, 2)) * 60 + std::stoi(stamp.substr(13, 2)),
              2.0);

  // sox and Python's wave read the samples and nothing more.
  const long long samples = (w.dataSize) / 2;
  const std::string soxi = commandOutput("soxi -s '" + wav + "'");
  if (!soxi.empty()) {
    EXPECT_EQ(std::stoll(soxi), samples);
  }
  const std::string py = commandOutput("python3 -c \"import wave,sys; print(wave.open(sys.argv[1]).getnframes())\" '" + wav + "'");
  if (!py.empty()) {
    EXPECT_EQ(std::stoll(py), samples);
  }

  // "Fix wav header" leaves it exactly as it is.
  EXPECT_TRUE(FixWavHeader(wav).written);
  EXPECT_EQ(test::readFile(wav), bytes);
}

}  // namespace
}  // namespace qv
