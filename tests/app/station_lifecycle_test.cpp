// Stations as they live in the field: two on one folder, killed outright
// and restarted, hung up on, and a disk that fills all at once. Real
// processes, real files.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "platform/audio/test_signal.h"
#include "support/temp_dir.h"
#include "support/wav_parts.h"

namespace qv {
namespace {

using Clock = std::chrono::steady_clock;

uint32_t le32(const std::string& b, size_t at) {
  uint32_t v = 0;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

bool waitFor(const std::function<bool()>& done, int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return done();
}

QStringList wavsIn(const std::string& folder) {
  return QDir(QString::fromStdString(folder)).entryList({"*.wav"}, QDir::Files, QDir::Name);
}

int64_t sizeOf(const std::string& path) { return QFileInfo(QString::fromStdString(path)).size(); }

// A headless station recording the test signal in stereo, blocks of 4096 words.
struct Station {
  QProcess proc;
  Station(const std::string& home, const std::string& recFolder, QStringList extra = {}, int seed = 7) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUORVEL_TEST_SIGNAL_SEED", QString::number(seed));
    env.insert("QUORVEL_NO_SOUND_CARD", "1");
    proc.setProcessEnvironment(env);
    QStringList args{"--headless", "--home", QString::fromStdString(home)};
    if (!recFolder.empty())
      args << "--set" << QString::fromStdString("OPTIONS0.FileRecPathField=" + recFolder) << "--set"
           << "OPTIONS0.NchanCombo=2 - stereo"
           << "--set"
           << "FORM1.Combo1=4096" << extra << "--task"
           << "2"
           << "--start";
    else
      args << extra;
    proc.start(QUORVEL_EXE, args);
    proc.waitForStarted();
  }
  ~Station() {
    if (proc.state() != QProcess::NotRunning) {
      proc.kill();
      proc.waitForFinished(5000);
    }
  }
  qint64 pid() const { return proc.processId(); }
  void signal(int sig) { ::kill(static_cast<pid_t>(proc.processId()), sig); }
  // Exit code after a normal end, -1 otherwise.
  int waitEnd(int ms = 15000) {
    if (!proc.waitForFinished(ms)) return -1;
    return proc.exitStatus() == QProcess::NormalExit ? proc.exitCode() : -1;
  }
  std::string err() { return proc.readAllStandardError().toStdString(); }
};

// The file holds whole blocks of the seeded test signal from its first sample.
void expectSignal(const std::vector<int16_t>& got, int seed) {
  std::vector<int16_t> expected(got.size());
  TestSignalGenerator gen(seed, 48000, 2);
  gen.generate(expected.data(), static_cast<int>(expected.size() / 2));
  size_t firstDiff = 0;
  while (firstDiff < got.size() && got[firstDiff] == expected[firstDiff]) ++firstDiff;
  EXPECT_EQ(firstDiff, got.size()) << "first differing sample " << firstDiff << " of " << got.size();
}

// The samples, without the metadata chunk a closed file ends with.
std::vector<int16_t> samplesOf(const std::string& file) {
  const std::string bytes = test::samplesPart(file);
  std::vector<int16_t> s((bytes.size() - 48) / 2);
  std::memcpy(s.data(), bytes.data() + 48, s.size() * 2);
  return s;
}

bool headerFinal(const std::string& b) {
  return b.size() >= 48 && le32(b, 4) == b.size() - 8 && le32(b, 40) == test::samplesPart(b).size() - 44;
}
bool headerProvisional(const std::string& b) { return b.size() >= 44 && le32(b, 4) == 0 && le32(b, 40) == 0xFFFFFFD4u; }

TEST(StationLifecycle, ASecondInstanceOnTheSameFolderSaysWhoHoldsItAndLeaves) {
  test::TempDir home;
  Station first(home.path(), "", {"--quit-after", "30"});
  ASSERT_TRUE(waitFor([&] { return test::readFile(home.file("Quorvel.lock")) == std::to_string(first.pid()) + "\n"; },
                      10000));
  Station second(home.path(), "", {"--quit-after", "5"});
  EXPECT_EQ(second.waitEnd(), 1);
  const std::string err = second.err();
  EXPECT_NE(err.find("in use"), std::string::npos) << err;
  EXPECT_NE(err.find("process " + std::to_string(first.pid())), std::string::npos) << err;
  EXPECT_EQ(first.proc.state(), QProcess::Running);
  first.signal(SIGTERM);
  EXPECT_EQ(first.waitEnd(), 0);
  // The lock went with the process: the folder is free again.
  Station third(home.path(), "", {"--quit-after", "0.3"});
  EXPECT_EQ(third.waitEnd(), 0) << third.err();
}

TEST(StationLifecycle, TwoStationsRecordingOneNameIntoOneFolderKeepBothFiles) {
  test::TempDir homeA, homeB, rec;
  const QStringList sameName{"--set", "OPTIONS0.AddTimeStamp=0", "--set", "OPTIONS0.FileRecNameField=station"};
  Station a(homeA.path(), rec.path(), sameName, 7);
  Station b(homeB.path(), rec.path(), sameName, 8);
  ASSERT_TRUE(waitFor(
      [&] {
        QStringList w = wavsIn(rec.path());
        return w.size() == 2 && sizeOf(rec.file(w[0].toStdString())) > 100000 &&
               sizeOf(rec.file(w[1].toStdString())) > 100000;
      },
      15000));
  a.signal(SIGTERM);
  b.signal(SIGTERM);
  EXPECT_EQ(a.waitEnd(), 0);
  EXPECT_EQ(b.waitEnd(), 0);
  EXPECT_EQ(wavsIn(rec.path()), (QStringList{"station-2.wav", "station.wav"}));
  // Each station wrote its own signal into its own file, from the first sample on.
  for (auto [home, seed] : {std::pair{homeA.path(), 7}, std::pair{homeB.path(), 8}}) {
    const std::string log = test::readFile(home + "RecLog.Log");
    const std::string mine = log.find("Creating " + rec.file("station.wav")) != std::string::npos
                                 ? rec.file("station.wav")
                                 : rec.file("station-2.wav");
    EXPECT_NE(log.find("Creating " + mine), std::string::npos) << log;
    const std::string bytes = test::readFile(mine);
    EXPECT_TRUE(headerFinal(bytes));
    expectSignal(samplesOf(bytes), seed);
  }
}

TEST(StationLifecycle, AKilledRecordingIsRepairedAtTheNextStartButNotOneStillRecording) {
  test::TempDir home, otherHome, rec;
  std::string killed;
  {
    Station a(home.path(), rec.path());
    ASSERT_TRUE(waitFor([&] { return wavsIn(rec.path()).size() == 1 && sizeOf(rec.file(wavsIn(rec.path())[0].toStdString())) > 200000; },
                        15000));
    killed = rec.file(wavsIn(rec.path())[0].toStdString());
    a.signal(SIGKILL);
    a.waitEnd();
  }
  const std::string before = test::readFile(killed);
  ASSERT_TRUE(headerProvisional(before));

  // Another station records into the same folder meanwhile.
  Station other(otherHome.path(), rec.path(), {"--set", "OPTIONS0.FileRecNameField=other"});
  std::string running;
  ASSERT_TRUE(waitFor(
      [&] {
        for (const QString& w : wavsIn(rec.path()))
          if (w.startsWith("other") && sizeOf(rec.file(w.toStdString())) > 48) running = rec.file(w.toStdString());
        return !running.empty();
      },
      15000));

  // The other station, starting on the folder, mended the killed file before it recorded.
  const std::string after = test::readFile(killed);
  ASSERT_EQ(after.size(), before.size());
  EXPECT_TRUE(headerFinal(after));
  EXPECT_EQ(after.substr(44), before.substr(44));
  const std::string otherLog = test::readFile(otherHome.file("RecLog.Log"));
  EXPECT_NE(otherLog.find("Repaired " + killed + "\r\n"), std::string::npos) << otherLog;

  // The killed station starts again while the other one records: its file is left alone.
  Station restart(home.path(), "",
                  {"--set", QString::fromStdString("OPTIONS0.FileRecPathField=" + rec.path()), "--quit-after", "0.5"});
  EXPECT_EQ(restart.waitEnd(), 0) << restart.err();
  const std::string log = test::readFile(home.file("RecLog.Log"));
  EXPECT_EQ(log.find("Repaired"), std::string::npos) << log;
  EXPECT_TRUE(headerProvisional(test::readFile(running))) << "a file still being recorded was touched";
  // Standard tools read the repaired file.
  QProcess py;
  py.start("python3", {"-c", "import sys,wave; w=wave.open(sys.argv[1]); print(w.getnchannels(), w.getnframes())",
                       QString::fromStdString(killed)});
  ASSERT_TRUE(py.waitForFinished(10000));
  EXPECT_EQ(py.readAllStandardOutput().trimmed().toStdString(),
            "2 " + std::to_string((after.size() - 44) / 4));

  // The command line does the same, and leaves the running recording alone too.
  QProcess fix;
  fix.start(QUORVEL_EXE, {"--fix-header", QString::fromStdString(running)});
  ASSERT_TRUE(fix.waitForFinished(10000));
  EXPECT_EQ(fix.exitCode(), 1);
  EXPECT_NE(fix.readAllStandardError().toStdString().find("being recorded"), std::string::npos);
  other.signal(SIGTERM);
  EXPECT_EQ(other.waitEnd(), 0);
  EXPECT_TRUE(headerFinal(test::readFile(running)));

  test::writeFile(rec.file("cut.wav"), before);
  test::writeFile(rec.file("notes.txt"), "not a recording at all, longer than forty-four bytes of header");
  fix.start(QUORVEL_EXE, {"--fix-header", QString::fromStdString(rec.file("cut.wav")),
                          QString::fromStdString(rec.file("notes.txt"))});
  ASSERT_TRUE(fix.waitForFinished(10000));
  EXPECT_EQ(fix.exitCode(), 1);  // one of the two could not be repaired
  EXPECT_EQ(fix.readAllStandardOutput().toStdString(), "Repaired " + rec.file("cut.wav") + "\n");
  EXPECT_TRUE(headerFinal(test::readFile(rec.file("cut.wav"))));
  EXPECT_EQ(test::readFile(rec.file("notes.txt")).substr(0, 7), "not a r");
}

TEST(StationLifecycle, AHangUpEndsTheRecordingWithItsHeaderPatchedAndLogged) {
  test::TempDir home, rec;
  Station a(home.path(), rec.path());
  ASSERT_TRUE(waitFor([&] { return wavsIn(rec.path()).size() == 1 && sizeOf(rec.file(wavsIn(rec.path())[0].toStdString())) > 100000; },
                      15000));
  a.signal(SIGHUP);
  EXPECT_EQ(a.waitEnd(), 0);
  const std::string file = rec.file(wavsIn(rec.path())[0].toStdString());
  const std::string bytes = test::readFile(file);
  EXPECT_TRUE(headerFinal(bytes));
  expectSignal(samplesOf(bytes), 7);
  EXPECT_NE(test::readFile(home.file("RecLog.Log")).find("Closing  " + file), std::string::npos);
}

// The disk fills at once between two blocks, long before its free space was
// seen to run low (another program took it, or the card lied about its size).
TEST(StationLifecycle, ADiskThatFillsSuddenlyContinuesInTheSpanFolderWithoutLosingASample) {
  if (QProcess::execute("unshare", {"-m", "sh", "-c", "mount -t tmpfs -o size=1m tmpfs /mnt"}) != 0)
    GTEST_SKIP() << "needs a private mount namespace (root) for a small disk";
  test::TempDir home, full, span, out;
  const std::string script =
      "set -e\n"
      "mount -t tmpfs -o size=120m tmpfs \"$FULL\"\n"
      "\"$EXE\" --headless --home \"$HOMEDIR\" --set \"OPTIONS0.FileRecPathField=$FULL\" "
      "--set \"OPTIONS0.SpanFolders=$SPAN\" --set \"OPTIONS0.FileModeCombo=3 - multiple file\" "
      "--set OPTIONS0.SpanDiskCheck=1 --set \"OPTIONS0.FileMaxSizeCombo=64 MB\" "
      "--set \"OPTIONS0.NchanCombo=2 - stereo\" --set FORM1.Combo1=4096 --task 2 --start 2>\"$OUT/stderr\" &\n"
      "pid=$!\n"
      "sleep 2\n"
      // The disk shrinks at once to what is used plus half a block (a remount
      // is atomic, unlike any file that fills it): the next block no longer fits.
      "for i in 1 2 3 4 5 6 7 8 9 10; do\n"
      "  used=$(df --output=used -B1 \"$FULL\" | tail -1)\n"
      "  mount -o remount,size=$((used + 16384)) \"$FULL\" 2>/dev/null && break\n"
      "done\n"
      "sleep 2\n"
      "kill -TERM $pid\n"
      "wait $pid || echo \"exit $?\" >\"$OUT/exit\"\n"
      "cp \"$FULL\"/*.wav \"$OUT/\"\n";
  QProcess sh;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QUORVEL_TEST_SIGNAL_SEED", "7");
  env.insert("QUORVEL_NO_SOUND_CARD", "1");
  env.insert("EXE", QUORVEL_EXE);
  env.insert("HOMEDIR", QString::fromStdString(home.path()));
  env.insert("FULL", QString::fromStdString(full.path()));
  env.insert("SPAN", QString::fromStdString(span.path()));
  env.insert("OUT", QString::fromStdString(out.path()));
  sh.setProcessEnvironment(env);
  sh.start("unshare", {"-m", "sh", "-c", QString::fromStdString(script)});
  ASSERT_TRUE(sh.waitForFinished(60000));
  ASSERT_EQ(sh.exitCode(), 0) << sh.readAllStandardError().toStdString();
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(out.file("exit")))) << test::readFile(out.file("exit"));

  const QStringList first = wavsIn(out.path()), second = wavsIn(span.path());
  ASSERT_EQ(first.size(), 1) << test::readFile(out.file("stderr"));
  ASSERT_EQ(second.size(), 1) << test::readFile(home.file("RecLog.Log"));
  const std::string a = test::readFile(out.file(first[0].toStdString()));
  const std::string b = test::readFile(span.file(second[0].toStdString()));
  EXPECT_TRUE(headerFinal(a));
  EXPECT_TRUE(headerFinal(b));
  EXPECT_EQ((test::samplesPart(a).size() - 48) % 8192, 0u) << "the first file ends inside a block";
  std::vector<int16_t> all = samplesOf(a), rest = samplesOf(b);
  ASSERT_GT(all.size(), 0u);
  ASSERT_GT(rest.size(), 0u);
  all.insert(all.end(), rest.begin(), rest.end());
  expectSignal(all, 7);
  for (const std::string* f : {&a, &b})
    EXPECT_NE(f->find("\nTimestamp: "), std::string::npos) << "each file says when its first sample was recorded";

  const std::string log = test::readFile(home.file("RecLog.Log"));
  const std::string firstPath = full.file(first[0].toStdString()), secondPath = span.file(second[0].toStdString());
  for (const std::string& line : {"Disk Full - Closing  " + firstPath, "Switch to " + span.path(), "Creating " + secondPath,
                                  "Closing  " + secondPath})
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  EXPECT_EQ(log.find("Stop:"), std::string::npos) << log;
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

int freeUdpPort() {
  QUdpSocket s;
  s.bind(QHostAddress::LocalHost, 0);
  return s.localPort();
}

// A station whose recording folder lies on a disk that is not mounted, and
// that gets its GPS position through the text link, driven over UDP.
TEST(StationLifecycle, AnUnmountedFolderIsReportedAndRefusedOverUdpThenRecordsWithTheLinkedGpsText) {
  test::TempDir home, media;
  const std::string rec = media.file("disk/rec/");  // media/disk is not there: not mounted
  test::writeFile(home.file("defpaths.ini"), home.path() + "\r\n" + rec + "\r\n" + home.path() + "\r\n" + home.path() + "\r\n");
  QUdpSocket feedback;
  ASSERT_TRUE(feedback.bind(QHostAddress::LocalHost, 0));
  const int commandPort = freeUdpPort(), gpsPort = freeUdpPort();
  Station s(home.path(), "",
            {"--set", "OPTIONS0.chkUDPSlave=1", "--set", "OPTIONS0.LocalPort2=" + QString::number(commandPort), "--set",
             "OPTIONS0.RemoteIP2=127.0.0.1", "--set", "OPTIONS0.RemotePort2=" + QString::number(feedback.localPort()),
             "--set", "OPTIONS2.Text4=" + QString::number(gpsPort), "--set", "OPTIONS0.AddGPS=1", "--set",
             "OPTIONS0.NchanCombo=2 - stereo", "--quit-after", "30"});
  QUdpSocket out;
  std::vector<std::string> heard;
  auto send = [&](const std::string& text, int port) {
    out.writeDatagram(QByteArray::fromStdString(text), QHostAddress::LocalHost, static_cast<quint16>(port));
  };
  auto listen = [&](int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
      feedback.waitForReadyRead(50);
      while (feedback.hasPendingDatagrams()) heard.push_back(feedback.receiveDatagram().data().toStdString());
    }
  };
  // Up once it answers.
  ASSERT_TRUE(waitFor(
      [&] {
        send("$QVLPRO,STATUS", commandPort);
        listen(200);
        return !heard.empty();
      },
      15000));
  heard.clear();
  // Nothing was made on the root filesystem in the disk's place.
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(media.file("disk"))));

  send("$QVLPRO,RECMODE", commandPort);
  send("$QVLPRO,START", commandPort);
  listen(2000);
  const std::string refusal = "REFUSED The folder " + rec + " cannot be made: " + media.file("disk") +
                              " does not exist (is its disk mounted?)";
  EXPECT_EQ(heard, (std::vector<std::string>{"RECMODE", "START", refusal}));
  EXPECT_NE(test::readFile(home.file("RecLog.Log")).find("Not started: The folder " + rec), std::string::npos);

  // The disk is there now; the GPS program sends a position with characters a card refuses.
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(media.file("disk"))));
  send("43\xC2\xB0" "12.5'N 7:15*E <fix?>|\"ok\"", gpsPort);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  send("$QVLPRO,START", commandPort);
  ASSERT_TRUE(waitFor([&] { return wavsIn(rec).size() == 1 && sizeOf(rec + wavsIn(rec)[0].toStdString()) > 48; }, 10000));
  send("$QVLPRO,STOP", commandPort);
  const std::string name = wavsIn(rec)[0].toStdString();
  EXPECT_NE(name.find("_43\xC2\xB0" "12.5'N 7-15-E -fix----ok-.wav"), std::string::npos) << name;
  s.signal(SIGTERM);
  s.waitEnd();
  // Start-up had said so at once.
  EXPECT_NE(s.err().find("The folder " + rec + " cannot be made: " + media.file("disk") + " does not exist"),
            std::string::npos);
}

}  // namespace
}  // namespace qv
