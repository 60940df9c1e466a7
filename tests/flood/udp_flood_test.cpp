// A headless recording station under command floods on real UDP sockets:
// the recording must keep its pace and every sample, memory must come back,
// and quick Stop and Start pairs must each give a recording.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/test_signal.h"
#include "support/temp_dir.h"
#include "support/wav_parts.h"

namespace qv {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRate = 48000;
constexpr int kBlock = 16384;  // the recording mode's default block, mono
constexpr double kBlockSeconds = double(kBlock) / kRate;
constexpr uint32_t kSeed = 7;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// A plain UDP socket on the loopback: usable from any thread, bound to the
// given local address so the station sees it as that sender.
class Udp {
 public:
  explicit Udp(const char* local = "127.0.0.1") : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ::inet_pton(AF_INET, local, &a.sin_addr);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int big = 1 << 22;
    ::setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
  }
  ~Udp() { ::close(fd_); }
  int port() const {
    sockaddr_in a{};
    socklen_t n = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n);
    return ntohs(a.sin_port);
  }
  void send(int port, const std::string& d) const {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::sendto(fd_, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
  }
  // Next datagram within the timeout, or nothing.
  std::optional<std::string> receive(int timeoutMs) const {
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    std::string buf(70000, '\0');
    const ssize_t n = ::recv(fd_, buf.data(), buf.size(), 0);
    if (n < 0) return std::nullopt;
    buf.resize(static_cast<size_t>(n));
    return buf;
  }
  void drain() const {
    while (receive(1)) {
    }
  }

 private:
  int fd_;
};

int freePort() {
  Udp probe;
  return probe.port();
}

class Station {
 public:
  explicit Station(const QStringList& extra, const char* allowed = "") : port_(freePort()) {
    rec = home.path() + "rec/";
    QDir().mkpath(QString::fromStdString(rec));
    QDir().mkpath(QString::fromStdString(home.path() + "shots/"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUORVEL_NO_SOUND_CARD", "1");
    env.insert("QUORVEL_TEST_SIGNAL_SEED", QString::number(kSeed));
    proc.setProcessEnvironment(env);
    proc.setProcessChannelMode(QProcess::MergedChannels);
    // Into a file: a pipe nobody reads during a flood would fill with the
    // station's log lines and hold the station at its next write.
    proc.setStandardOutputFile(QString::fromStdString(home.path() + "station-output.txt"));
    const QString h = QString::fromStdString(home.path());
    QStringList args{"--headless", "--home", h,
                     "--set", QString("OPTIONS0.LocalPort2=%1").arg(port_),
                     "--set", "OPTIONS0.chkUDPSlave=1",
                     "--set", "OPTIONS0.RemoteIP2=127.0.0.1",
                     "--set", QString("OPTIONS0.RemotePort2=%1").arg(feedback.port()),
                     "--set", QString("OPTIONS0.AllowedIP2=%1").arg(allowed),
                     "--set", "OPTIONS0.FileRecPathField=" + QString::fromStdString(rec),
                     "--set", "OPTIONS1.DefSavePath=" + h + "shots/"};
    proc.start(QUORVEL_EXE, args + extra);
  }
  ~Station() {
    if (proc.state() != QProcess::NotRunning) {
      proc.kill();
      proc.waitForFinished(5000);
    }
  }
  void send(const std::string& d) const { out.send(port_, d); }
  int port() const { return port_; }
  // The status text, asked until it comes (the station may still be starting).
  std::string status(int timeoutMs = 15000) const {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
      feedback.drain();
      send("$QVLPRO,STATUS");
      for (int i = 0; i < 4; ++i)
        if (auto d = feedback.receive(250); d && d->rfind("Status ", 0) == 0) return *d;
    }
    return {};
  }
  std::vector<std::string> wavs() const {
    std::vector<std::string> v;
    for (const QString& f : QDir(QString::fromStdString(rec)).entryList({"*.wav"}, QDir::Files, QDir::Name))
      v.push_back(rec + f.toStdString());
    return v;
  }
  double recordedSeconds() const {
    double s = 0;
    for (const std::string& w : wavs()) s += double(std::max<qint64>(QFileInfo(QString::fromStdString(w)).size() - 48, 0)) / 2 / kRate;
    return s;
  }
  long rssMB() const {
    std::ifstream f("/proc/" + std::to_string(proc.processId()) + "/status");
    std::string line;
    while (std::getline(f, line))
      if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6)) / 1024;
    return -1;
  }
  std::string recLog() const { return test::readFile(home.path() + "RecLog.Log"); }
  int terminate() {
    proc.terminate();
    if (!proc.waitForFinished(20000) || proc.exitStatus() != QProcess::NormalExit) return -1;
    return proc.exitCode();
  }
  std::string output() const {
    const std::string all = test::readFile(home.path() + "station-output.txt");
    return all.substr(all.size() > 4000 ? all.size() - 4000 : 0);
  }

  test::TempDir home;
  std::string rec;
  QProcess proc;
  Udp feedback;
  Udp out;

 private:
  int port_;
};

uint32_t le32(const std::string& b, size_t at) {
  uint32_t v = 0;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

// A closed recording: sizes patched to the file's length.
void expectClosed(const std::string& path) {
  const std::string b = test::readFile(path);
  ASSERT_GE(b.size(), 44u) << path;
  EXPECT_EQ(b.substr(0, 4), "RIFF") << path;
  EXPECT_EQ(le32(b, 4), b.size() - 8) << path;
  // The metadata after the samples is not data.
  EXPECT_EQ(le32(b, 40), test::samplesPart(b).size() - 44) << path;
}

bool soxOpens(const std::string& path) {
  QProcess sox;
  sox.start("sox", {"--i", "-D", QString::fromStdString(path)});
  return sox.waitForFinished(10000) && sox.exitStatus() == QProcess::NormalExit && sox.exitCode() == 0;
}

// Waits until the recording has a couple of blocks on disk.
bool waitForRecording(Station& st) {
  for (int i = 0; i < 300; ++i) {
    if (st.recordedSeconds() >= 2 * kBlockSeconds) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

// Sends `make(i)` at `perSecond` for `seconds` from its own thread (0: as fast as it can).
class Flooder {
 public:
  template <class Make>
  Flooder(const Station& st, double perSecond, double seconds, Make make)
      : thread_([&st, perSecond, seconds, make, this] {
          Udp out;
          const auto t0 = Clock::now();
          long n = 0;
          while (secondsSince(t0) < seconds) {
            const long due = perSecond > 0 ? long(secondsSince(t0) * perSecond) : n + 64;
            for (; n < due; ++n) out.send(st.port(), make(n));
            if (perSecond > 0) std::this_thread::sleep_for(std::chrono::microseconds(500));
          }
          sent = n;
        }) {}
  ~Flooder() { join(); }
  void join() {
    if (thread_.joinable()) thread_.join();
  }
  std::atomic<long> sent{0};

 private:
  std::thread thread_;
};

TEST(UdpFlood, ThirtyThousandMixedCommandsASecondLeaveTheRecordingRunningAtFullPace) {
  Station st({"--task", "2", "--start"});
  ASSERT_TRUE(st.proc.waitForStarted());
  ASSERT_TRUE(waitForRecording(st)) << st.output();

  // The recording's lag behind the wall clock: its smallest value over a
  // second and a half is the pipeline's own; a block's worth more is the
  // ring's rhythm.
  auto start = Clock::now();
  const double audio0 = st.recordedSeconds();
  auto lag = [&] { return secondsSince(start) - (st.recordedSeconds() - audio0); };
  double baseline = 1e9;
  while (secondsSince(start) < 1.5) {
    baseline = std::min(baseline, lag());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }

  // Real commands that leave a recording running (a mode command would end
  // it, as the protocol says): START during a run is logged and echoed only.
  const std::vector<std::string> mix = {"$QVLPRO,SNAPSHOT", "$QVLPRO,STATUS", "$QVLPRO,START",
                                        std::string("\x07garbage\xff\x00", 11), "$QVLPRO,SNAPSHOT,x",
                                        "$QVLPRO,NOSUCHWORD"};
  double worst = 0;
  {
    Flooder flood(st, 30000, 30.0, [&mix](long i) { return mix[size_t(i) % mix.size()]; });
    const auto floodStart = Clock::now();
    while (secondsSince(floodStart) < 30.0) {
      ASSERT_EQ(st.proc.state(), QProcess::Running) << st.output();
      worst = std::max(worst, lag() - baseline);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    flood.join();
    EXPECT_GT(flood.sent, 800000);
    std::printf("[ figures  ] %.0f datagrams/s for 30 s; FileTime lag %.3f s at rest, worst %.3f s more\n",
                double(flood.sent) / 30.0, baseline, worst);
  }
  // The file time kept up with the wall clock, a block behind at most
  // (and the sampling's and the scheduler's few tens of milliseconds).
  EXPECT_LE(worst, kBlockSeconds + 0.15) << "the recording fell behind by " << worst << " s";

  // The station still answers and still records; commands were served.
  const std::string s = st.status();
  EXPECT_EQ(s.rfind("Status Run Task 2 " + st.rec, 0), 0u) << s;
  EXPECT_NE(s.find(" Fails 0 "), std::string::npos) << s;
  const std::string log = st.recLog();
  EXPECT_NE(log.find("SNAPSHOT"), std::string::npos);
  EXPECT_NE(log.find("START"), std::string::npos);
  EXPECT_EQ(st.terminate(), 0);
  ASSERT_FALSE(st.wavs().empty());
  for (const std::string& w : st.wavs()) {
    expectClosed(w);
    EXPECT_TRUE(soxOpens(w)) << w;
  }
}

TEST(UdpFlood, LargeDatagramsAtFullSpeedCostNoSampleAndNoLastingMemory) {
  Station st({"--task", "2", "--start"});
  ASSERT_TRUE(st.proc.waitForStarted());
  ASSERT_TRUE(waitForRecording(st)) << st.output();
  const long before = st.rssMB();
  ASSERT_GT(before, 0);

  std::mt19937 rng(11);
  std::string noise(65507, '\0');
  for (char& c : noise) c = char(rng());
  const std::vector<std::string> kinds = {noise, ("$QVLPRO,STATUS," + noise).substr(0, 65507),
                                          ("$QVLPRO," + noise).substr(0, 65507),
                                          ("$QVLPRO,NOSUCHWORD," + noise).substr(0, 65507),
                                          ("$QVLPRO,SNAPSHOT," + noise).substr(0, 65507)};
  long peak = before;
  long sent = 0;
  {
    Flooder a(st, 0, 10.0, [&kinds](long i) { return kinds[size_t(i) % kinds.size()]; });
    Flooder b(st, 0, 10.0, [&kinds](long i) { return kinds[size_t(i + 1) % kinds.size()]; });
    const auto t0 = Clock::now();
    while (secondsSince(t0) < 10.0) {
      ASSERT_EQ(st.proc.state(), QProcess::Running) << st.output();
      peak = std::max(peak, st.rssMB());
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    a.join();
    b.join();
    sent = a.sent + b.sent;
  }
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const long after = st.rssMB();
  std::printf("[ figures  ] %.0f datagrams/s of 65507 bytes for 10 s; memory %ld MB before, %ld MB peak, %ld MB after\n",
              double(sent) / 10.0, before, peak, after);
  EXPECT_LE(after, before + 50) << "before " << before << " MB, peak " << peak << " MB, after " << after << " MB";

  const std::string s = st.status();
  EXPECT_NE(s.find(" Fails 0 "), std::string::npos) << s;
  std::printf("[ figures  ] status after the flood: %s\n", s.c_str());
  st.send("$QVLPRO,STOP");
  EXPECT_EQ(st.status().rfind("Status Stop Task 2", 0), 0u);
  EXPECT_EQ(st.terminate(), 0);

  // One recording, the Test Signal's stream sample for sample from its first block.
  const auto files = st.wavs();
  ASSERT_EQ(files.size(), 1u);
  expectClosed(files[0]);
  const std::string bytes = test::readWavSamples(files[0]);
  const size_t samples = (bytes.size() - 48) / 2;
  ASSERT_GE(samples, size_t(12 * kRate));
  std::vector<int16_t> expected(samples);
  TestSignalGenerator gen(kSeed, kRate, 1);
  gen.generate(expected.data(), static_cast<int>(samples));
  std::vector<int16_t> got(samples);
  std::memcpy(got.data(), bytes.data() + 48, samples * 2);
  size_t firstDiff = 0;
  while (firstDiff < samples && got[firstDiff] == expected[firstDiff]) ++firstDiff;
  EXPECT_EQ(firstDiff, samples) << "first differing sample " << firstDiff << " of " << samples;
  EXPECT_NE(st.recLog().find("Fails 0 "), std::string::npos);
}

TEST(UdpFlood, TenStopStartPairsBackToBackGiveTenClosedRecordings) {
  Station st({"--task", "2"});
  ASSERT_TRUE(st.proc.waitForStarted());
  ASSERT_EQ(st.status().rfind("Status Stop Task 2", 0), 0u);
  for (int i = 0; i < 10; ++i) {
    st.send("$QVLPRO,STOP");
    st.send("$QVLPRO,START");
  }
  // The last Start's recording runs until stopped.
  std::string s;
  for (int i = 0; i < 100 && st.wavs().size() < 10; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  s = st.status();
  EXPECT_EQ(s.rfind("Status Run Task 2 ", 0), 0u) << s;
  st.send("$QVLPRO,STOP");
  for (int i = 0; i < 50 && st.status().rfind("Status Stop Task 2", 0) != 0; ++i) {
  }
  EXPECT_EQ(st.terminate(), 0);

  const auto files = st.wavs();
  ASSERT_EQ(files.size(), 10u);
  for (const std::string& f : files) expectClosed(f);
  const std::string log = st.recLog();
  size_t creating = 0, closing = 0, starts = 0;
  for (size_t at = log.find("Creating "); at != std::string::npos; at = log.find("Creating ", at + 1)) ++creating;
  for (size_t at = log.find("Closing "); at != std::string::npos; at = log.find("Closing ", at + 1)) ++closing;
  for (size_t at = log.find("START\r\n"); at != std::string::npos; at = log.find("START\r\n", at + 1)) ++starts;
  EXPECT_EQ(creating, 10u);
  EXPECT_EQ(closing, 10u);
  EXPECT_EQ(starts, 10u);
}

TEST(UdpFlood, CommandsFromASenderNotAllowedAreIgnoredAndCounted) {
  Station st({}, "127.0.0.2");
  ASSERT_TRUE(st.proc.waitForStarted());
  Udp allowed("127.0.0.2");
  // The allowed sender is answered (the station may still be starting).
  std::optional<std::string> reply;
  for (int i = 0; i < 60 && !reply; ++i) {
    allowed.send(st.port(), "$QVLPRO,STATUS");
    while (auto d = st.feedback.receive(250))
      if (d->rfind("Status ", 0) == 0) reply = d;
  }
  ASSERT_TRUE(reply) << st.output();
  EXPECT_EQ(reply->rfind("Status Stop Task 1", 0), 0u);

  // Another address on the same machine is not.
  for (int i = 0; i < 5; ++i) st.send("$QVLPRO,STATUS");
  st.send("$QVLPRO,START");
  EXPECT_FALSE(st.feedback.receive(1500).has_value());
  const std::string log = st.recLog();
  EXPECT_NE(log.find("commands from senders not allowed, the last from 127.0.0.1"), std::string::npos) << log;
  EXPECT_EQ(log.find("START"), std::string::npos);
  EXPECT_EQ(st.terminate(), 0);
  size_t ignored = 0;
  for (size_t at = log.find("Ignored "); at != std::string::npos; at = log.find("Ignored ", at + 1))
    ignored += std::stoul(log.substr(at + 8));
  EXPECT_EQ(ignored, 6u);
}

}  // namespace
}  // namespace qv
