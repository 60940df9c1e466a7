// Commands through the assembled program's command path: floods arriving
// inside handlers that serve events, Stop and Start back to back while
// recording, the queue's bounds and the senders it accepts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "config/command_line.h"
#include "config/startup.h"
#include "recording_loop_util.h"
#include "remote/udp_remote.h"
#include "support/program_rig.h"
#include "support/wav_parts.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

struct CommandRig : test::ProgramRig {
  FakeUdpSocket* socket = nullptr;
  int deepest = 0;  // most commands seen on the stack at once

  CommandRig() {
    startUp(p(), CommandLine{}, *subsystems->hooks, StartupOptions{false});
    options2("Combo2").setText("4");  // WaveIn buffers
    form1("Combo1").setText("4096");
    options0("chkUDPSlave").setValue(1);
    socket = net.udpOn(11140);
  }
  void watchDepth() {
    pump.every([this] { deepest = std::max(deepest, p().commands().commandsRunning()); });
  }
  // The event loop's turns: posted work runs until nothing is left.
  void settle(int maxTurns = 10000) {
    for (int i = 0; i < maxTurns && (p().commands().queued() > 0 || pump.postedCount() > 0); ++i) pump.processEvents();
  }
  Strings sentTexts() const {
    Strings v;
    for (auto& s : net.allSent()) v.push_back(s.data);
    return v;
  }
  Strings logLines() const { return test::logLines(program->vars().RecLogFile); }
  std::vector<std::string> wavs() const {
    std::vector<std::string> v;
    for (auto& e : fs::directory_iterator(home.path()))
      if (e.path().extension() == ".wav") v.push_back(e.path().string());
    std::sort(v.begin(), v.end());
    return v;
  }
};

size_t countContaining(const Strings& lines, const std::string& s) {
  return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.find(s) != std::string::npos;
  }));
}

uint32_t le32(const std::string& b, size_t at) {
  uint32_t v = 0;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

TEST(CommandPath, AFloodArrivingWhileASnapshotSettlesWaitsAndRunsOneCommandAtATime) {
  CommandRig rig;
  rig.watchDepth();
  // GIVEN snapshots, status requests and garbage arriving in every pass of
  // the event processing, also inside each snapshot's own settling pause
  rig.pump.every([&] {
    rig.clock.advance(0.002);
    if (rig.pump.passes > 400) return;
    for (int i = 0; i < 10; ++i) {
      rig.socket->inject("$QVLPRO,SNAPSHOT");
      rig.socket->inject("$QVLPRO,STATUS");
      rig.socket->inject("garbage \x01\xff");
    }
  });
  // WHEN the first snapshot is asked for
  rig.socket->inject("$QVLPRO,SNAPSHOT");
  rig.settle();

  // THEN no handler ever ran inside another, and the flood came down to a
  // snapshot per settling pause rather than a tower of nested ones
  EXPECT_EQ(rig.deepest, 1);
  EXPECT_EQ(rig.p().commands().queued(), 0u);
  const Strings log = rig.logLines();
  const size_t snapshots = countContaining(log, "SNAPSHOT");
  EXPECT_GE(snapshots, 10u);
  EXPECT_LE(snapshots, 120u);
  EXPECT_GT(rig.p().commands().coalesced(), 4000u);
  // Each executed command is echoed once, right before it runs; a status
  // answer follows its own echo.
  const Strings sent = rig.sentTexts();
  EXPECT_EQ(static_cast<size_t>(std::count(sent.begin(), sent.end(), "SNAPSHOT")), snapshots);
  for (size_t i = 0; i < sent.size(); ++i)
    if (sent[i] == "STATUS") {
      ASSERT_LT(i + 1, sent.size());
      EXPECT_EQ(sent[i + 1].rfind("Status Stop Task 1", 0), 0u) << i;
    }
  EXPECT_EQ(rig.p().commands().dropped(), 0u);
}

TEST(CommandPath, StopAndStartBackToBackGiveOneClosedRecordingPerStart) {
  CommandRig rig;
  rig.socket->inject("$QVLPRO,RECMODE");
  ASSERT_EQ(rig.p().vars().Task, 2);
  // The device fills a block every pass while capturing.
  rig.pump.every([&] {
    rig.clock.advance(0.01);
    rig.audioIn.completeNextRamp(static_cast<int16_t>(rig.pump.passes));
  });
  // GIVEN a recording running; WHEN ten Stop and Start pairs and a last Stop
  // arrive in one burst
  rig.pump.at(20, [&] {
    for (int i = 0; i < 10; ++i) {
      rig.socket->inject("$QVLPRO,STOP");
      rig.socket->inject("$QVLPRO,START");
    }
    rig.socket->inject("$QVLPRO,STOP");
  });
  rig.socket->inject("$QVLPRO,START");
  rig.settle();

  // THEN every Start began a recording once the one before had ended
  EXPECT_TRUE(rig.p().vars().StopFlag);
  const auto files = rig.wavs();
  ASSERT_EQ(files.size(), 11u);
  for (const std::string& f : files) {
    const std::string b = test::readFile(f);
    ASSERT_GE(b.size(), 44u) << f;
    EXPECT_EQ(le32(b, 4), b.size() - 8) << f;
    // The metadata after the samples is not data.
    EXPECT_EQ(le32(b, 40), test::samplesPart(b).size() - 44) << f;
  }
  // and the log tells it in order: each START is followed by its file.
  const Strings log = rig.logLines();
  Strings events;
  for (const std::string& l : log) {
    if (l.find("Creating ") != std::string::npos) events.push_back("create");
    else if (l.find("Closing ") != std::string::npos) events.push_back("close");
    else if (l.size() >= 5 && l.compare(l.size() - 5, 5, "START") == 0) events.push_back("START");
    else if (l.size() >= 4 && l.compare(l.size() - 4, 4, "STOP") == 0) events.push_back("STOP");
  }
  Strings expected;
  for (int i = 0; i < 11; ++i) {
    for (const char* e : {"START", "create", "STOP", "close"}) expected.push_back(e);
  }
  EXPECT_EQ(events, expected);

  const Strings sent = rig.sentTexts();
  EXPECT_EQ(static_cast<size_t>(std::count(sent.begin(), sent.end(), "START")), 11u);
}

TEST(CommandPath, PressesOnSomeonesBehalfTakeTheirTurnWithDatagrams) {
  CommandRig rig;
  rig.socket->inject("$QVLPRO,RECMODE");
  rig.pump.every([&] {
    rig.clock.advance(0.01);
    rig.audioIn.completeNextRamp(static_cast<int16_t>(rig.pump.passes));
  });
  CommandPath& path = rig.p().commands();
  Control& startStop = rig.p().form1()["StartStop"];
  // GIVEN a recording started by the command line's press; WHEN a Stop
  // datagram and a remote view's Start press arrive in one pass, and a later
  // press stops the second run
  rig.pump.at(20, [&] {
    rig.socket->inject("$QVLPRO,STOP");
    EXPECT_EQ(path.press(startStop, CommandOrigin::Remote), CommandPath::Outcome::Queued);
  });
  rig.pump.at(80, [&] { path.press(startStop, CommandOrigin::Remote); });
  size_t filesWhenFirstEnded = 0;
  path.press(startStop, CommandOrigin::Local, [&] { filesWhenFirstEnded = rig.wavs().size(); });
  rig.settle();

  // THEN the press waited for the Stop and for the run's end, then started
  // its own recording; the first press's follow-up ran when its run ended
  EXPECT_EQ(filesWhenFirstEnded, 1u);
  EXPECT_EQ(path.commandsRunning(), 0);
  EXPECT_TRUE(rig.p().vars().StopFlag);
  const auto files = rig.wavs();
  ASSERT_EQ(files.size(), 2u);
  for (const std::string& f : files) {
    const std::string b = test::readFile(f);
    ASSERT_GE(b.size(), 44u + 2 * 4096) << f;
    // The metadata after the samples is not data.
    EXPECT_EQ(le32(b, 40), test::samplesPart(b).size() - 44) << f;
  }
}

TEST(CommandPath, AFullQueueDropsCountsAndLogsOncePerSecond) {
  CommandRig rig;
  const CommandPath::Limits& lim = rig.p().commands().limits();
  size_t mostBytes = 0, mostQueued = 0;
  // GIVEN a long handler (a mode change that stops the run and waits half a
  // second serving events) while 60 KB commands pour in
  const std::string big = "$QVLPRO,NOTHING," + std::string(60000, 'x');
  rig.pump.every([&] {
    rig.clock.advance(0.02);
    if (rig.pump.passes <= 100)
      for (int i = 0; i < 20; ++i) rig.socket->inject(big);
    mostBytes = std::max(mostBytes, rig.p().commands().queuedBytes());
    mostQueued = std::max(mostQueued, rig.p().commands().queued());
  });
  for (int i = 0; i < 4; ++i) {
    rig.p().vars().StopFlag = false;  // a run is going further down the stack
    rig.socket->inject(i % 2 ? "$QVLPRO,RECMODE" : "$QVLPRO,DISPLAYMODE");
  }
  rig.settle();

  // THEN the queue stayed within its bounds, and every drop is in the log
  EXPECT_LE(mostBytes, lim.remoteBytes);
  EXPECT_LE(mostQueued, lim.remoteCommands);
  const uint64_t dropped = rig.p().commands().dropped();
  EXPECT_GT(dropped, 1000u);
  uint64_t logged = 0;
  std::vector<std::string> times;
  for (const std::string& l : rig.logLines()) {
    const size_t at = l.find("Dropped ");
    if (at == std::string::npos) continue;
    logged += std::stoull(l.substr(at + 8));
    times.push_back(l.substr(14, 8));
  }
  EXPECT_EQ(logged, dropped);
  // The handler waited 4 x 0.5 s and the flood lasted 2 s: a line a second at most.
  EXPECT_GE(times.size(), 2u);
  EXPECT_EQ(std::adjacent_find(times.begin(), times.end()), times.end()) << "two drop lines in one second";
  // The four mode changes ran one after the other, not inside each other.
  EXPECT_EQ(countContaining(rig.logLines(), "RECMODE"), 2u);
  EXPECT_EQ(countContaining(rig.logLines(), "DISPLAYMODE"), 2u);
  EXPECT_EQ(rig.p().vars().Task, 2);
}

TEST(CommandPath, OnlyAllowedSendersAreHeardOthersAreCountedAndLogged) {
  CommandRig rig;
  Control& allowed = rig.options0("AllowedIP2");
  allowed.setText("10.0.0.5; 192.168.7.0/24");
  rig.socket->inject("$QVLPRO,STATUS", "10.0.0.6");
  rig.socket->inject("$QVLPRO,DISPLAYMODE", "192.168.8.1");
  rig.socket->inject("$QVLPRO,STATUS", "::1");
  EXPECT_TRUE(rig.sentTexts().empty());
  EXPECT_EQ(rig.options0("txtUDP2").text(), "Enabled");
  rig.socket->inject("$QVLPRO,STATUS", "192.168.7.33");
  rig.socket->inject("$QVLPRO,STATUS", "10.0.0.5");
  EXPECT_EQ(rig.sentTexts().size(), 4u);

  // The first refusal is logged at once, the next ones after a second.
  Strings log = rig.logLines();
  ASSERT_EQ(countContaining(log, "senders not allowed"), 1u);
  EXPECT_NE(log.back().find("Ignored 1 commands from senders not allowed, the last from 10.0.0.6"), std::string::npos)
      << log.back();
  rig.clock.advance(1.5);
  rig.pump.processEvents();
  log = rig.logLines();
  ASSERT_EQ(countContaining(log, "senders not allowed"), 2u);
  EXPECT_NE(log.back().find("Ignored 2 commands from senders not allowed, the last from ::1"), std::string::npos)
      << log.back();

  // A mistyped list is reported in the box and leaves the senders as they were.
  allowed.setText("10.0.0.5, 10.0.0.300");
  EXPECT_EQ(rig.options0("txtUDP2").text(), "Not an address: 10.0.0.300 (senders unchanged)");
  rig.clock.advance(1.1);
  rig.socket->inject("$QVLPRO,STATUS", "10.0.0.7");
  EXPECT_EQ(rig.sentTexts().size(), 4u);
  EXPECT_EQ(countContaining(rig.logLines(), "the last from 10.0.0.7"), 1u);
  // Blank: anyone, as the protocol always worked.
  allowed.setText("");
  rig.socket->inject("$QVLPRO,STATUS", "172.16.0.1");
  EXPECT_EQ(rig.sentTexts().size(), 6u);
  // A mistyped list where anyone was heard, as a settings file may hold it,
  // lets no one in until it is corrected, and says so in the log.
  allowed.setText("192.168.7.0/24, 10.0.0.300");
  EXPECT_EQ(rig.options0("txtUDP2").text(), "Not an address: 10.0.0.300 (no senders until corrected)");
  EXPECT_EQ(countContaining(rig.logLines(), "no senders until corrected"), 1u);
  rig.socket->inject("$QVLPRO,STATUS", "192.168.7.33");
  EXPECT_EQ(rig.sentTexts().size(), 6u);
  allowed.setText("192.168.7.0/24");
  rig.socket->inject("$QVLPRO,STATUS", "192.168.7.33");
  EXPECT_EQ(rig.sentTexts().size(), 8u);

  for (const char* bad : {"10.0.0", "10.0.0.5/33", "10.0.0.5/", "1.2.3.4.5", "010.0.0.1x", "host.example", "::1"})
    EXPECT_FALSE(SenderAllowList::parse(bad).has_value()) << bad;
  auto any = SenderAllowList::parse("0.0.0.0/0");
  ASSERT_TRUE(any);
  EXPECT_TRUE(any->allows("203.0.113.9"));
  EXPECT_FALSE(any->allows("fe80::1"));
}

}  // namespace
}  // namespace qv
