// The UDP command and GPS sockets, driven through the network double.
#include <gtest/gtest.h>

#include <filesystem>

#include "remote_fixture.h"
#include "support/program_rig.h"

namespace qv {
namespace {

using test::RemoteRig;
using Strings = std::vector<std::string>;

size_t count(const std::string& hay, const std::string& needle) {
  size_t n = 0;
  for (size_t i = hay.find(needle); i != std::string::npos; i = hay.find(needle, i + 1)) ++n;
  return n;
}

TEST(UdpCommandWord, PrefixIsExactAndTheWordIsTrimmedUpperCase) {
  EXPECT_TRUE(hasUdpCommandPrefix("$QVLPRO,START"));
  for (const char* no : {"$qvlpro,STOP", "$QVLPRO", "$QVLPRO START", " $QVLPRO,START", "", "$", "QVLPRO,START"})
    EXPECT_FALSE(hasUdpCommandPrefix(no)) << no;

  EXPECT_EQ(udpCommandWord("$QVLPRO, start"), "START");
  EXPECT_EQ(udpCommandWord("$QVLPRO,Start,123"), "START");
  EXPECT_EQ(udpCommandWord("$QVLPRO,  SaveBuffer  ,x,y"), "SAVEBUFFER");
  // A sender that ends its line (echo | nc) still means the word.
  EXPECT_EQ(udpCommandWord("$QVLPRO,STATUS\r\n"), "STATUS");
  EXPECT_EQ(udpCommandWord("$QVLPRO,"), "");
  EXPECT_EQ(udpCommandWord("$QVLPRO,,STOP"), "");
  EXPECT_EQ(udpCommandWord("$QVLPRO,st op"), "ST OP");
}

TEST(UdpRemote, CheckBoxOpensAndClosesTheCommandSocket) {
  RemoteRig r;
  EXPECT_EQ(r.remote->commandPort(), 0);
  FakeUdpSocket* s = r.enable();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->localPort(), 11140);
  EXPECT_EQ(r.o0("txtUDP2").text(), "Enabled");

  // A new port while enabled moves the socket.
  r.o0("LocalPort2").setText("12001");
  EXPECT_EQ(r.remote->commandPort(), 12001);
  EXPECT_EQ(r.net.udpOn(11140), nullptr);

  r.o0("chkUDPSlave").setValue(0);
  EXPECT_EQ(r.remote->commandPort(), 0);
  EXPECT_EQ(r.o0("txtUDP2").text(), "Disabled");
  EXPECT_FALSE(s->inject("$QVLPRO,STATUS"));

  // A port typed while disabled is taken at the next enable, not before.
  r.o0("LocalPort2").setText("12002");
  EXPECT_EQ(r.remote->commandPort(), 0);
  r.o0("chkUDPSlave").setValue(1);
  EXPECT_EQ(r.remote->commandPort(), 12002);
  EXPECT_TRUE(r.dialogs.shown.empty());
}

TEST(UdpRemote, StatusAnswersWithTheWordAndTheStatusTextAtTheFeedbackAddress) {
  RemoteRig r;
  FakeUdpSocket* s = r.enable();
  r.p().setStatus("before");
  ASSERT_TRUE(s->inject("$QVLPRO,status"));
  ASSERT_EQ(s->sent.size(), 2u);
  EXPECT_EQ(s->sent[0].data, "STATUS");
  EXPECT_EQ(s->sent[1].data, "Status Stop Task 1 48000 x 1 Fails 0 OVL 0");
  for (auto& d : s->sent) {
    EXPECT_EQ(d.host, "127.255.255.255");
    EXPECT_EQ(d.port, 11111);
  }
  EXPECT_EQ(r.o0("txtUDP2").text(), "$QVLPRO,status");
  EXPECT_EQ(r.p().status(), "before");        // not a logged or shown command
  EXPECT_FALSE(std::filesystem::exists(r.p().vars().RecLogFile));

  // The address is read afresh for every send.
  r.o0("RemoteIP2").setText("192.168.1.255");
  r.o0("RemotePort2").setText("9999");
  s->sent.clear();
  s->inject("$QVLPRO,STATUS");
  ASSERT_EQ(s->sent.size(), 2u);
  EXPECT_EQ(s->sent[1].host, "192.168.1.255");
  EXPECT_EQ(s->sent[1].port, 9999);

  // While recording, the file follows the task number.
  auto& v = r.p().vars();
  v.StopFlag = false;
  v.Task = 2;
  v.RecFile = "/data/rec/dolphins 20260115.wav";
  v.SampleRate = 96000;
  v.Channels = 2;
  v.FailCount = 3;
  v.OverloadCount = 12;
  EXPECT_EQ(udpStatusText(r.p()), "Status Run Task 2 /data/rec/dolphins 20260115.wav 96000 x 2 Fails 3 OVL 12");
  v.Task = 1;
  EXPECT_EQ(udpStatusText(r.p()), "Status Run Task 1 96000 x 2 Fails 3 OVL 12");
  v.StopFlag = true;
  v.Task = 2;
  EXPECT_EQ(udpStatusText(r.p()), "Status Stop Task 2 96000 x 2 Fails 3 OVL 12");
}

TEST(UdpRemote, WithoutThePrefixOnlyTheBoxShowsTheDatagram) {
  RemoteRig r;
  FakeUdpSocket* s = r.enable();
  r.p().vars().StopFlag = false;  // a run is going
  s->inject("$qvlpro,STOP");
  EXPECT_TRUE(s->sent.empty());
  EXPECT_TRUE(r.presses.empty());
  EXPECT_FALSE(r.p().vars().StopFlag);
  EXPECT_EQ(r.o0("txtUDP2").text(), "$qvlpro,STOP");

  // Unknown words are echoed and do nothing else.
  r.p().setStatus("kept");
  s->inject("$QVLPRO,launch,now");
  EXPECT_EQ(r.sentTexts(), (Strings{"LAUNCH"}));
  EXPECT_TRUE(r.presses.empty());
  EXPECT_EQ(r.p().status(), "kept");
  EXPECT_FALSE(std::filesystem::exists(r.p().vars().RecLogFile));
}

TEST(UdpRemote, DisplayTextCannotCarryLineBreaksOrMegabytes) {
  RemoteRig r;
  FakeUdpSocket* s = r.enable();
  s->inject(std::string("$QVLPRO,x\r\nOPTIONS0.chkUDPSlave = 0\0z", 37));
  const std::string shown = r.o0("txtUDP2").text();
  EXPECT_EQ(shown.find_first_of(std::string("\r\n\0", 3)), std::string::npos);
  EXPECT_EQ(shown, std::string("$QVLPRO,x  OPTIONS0.chkUDPSlave = 0 z"));

  s->inject(std::string(65507, 'A'));
  EXPECT_EQ(r.o0("txtUDP2").text(), std::string(kUdpDisplayMax, 'A') + "...");
  // A multi-byte character is not split by the cut.
  std::string utf(kUdpDisplayMax - 1, 'b');
  utf += "\xC3\xA9tail";
  EXPECT_EQ(udpDisplayText(utf), std::string(kUdpDisplayMax - 1, 'b') + "...");
}

TEST(UdpRemote, StartRunsTheModeAndAStopArrivingDuringTheRunEndsIt) {
  RemoteRig r;
  FakeUdpSocket* s = r.enable();
  r.pump.at(3, [&] { s->inject("$QVLPRO,START"); });  // a second start while running: status only
  r.pump.at(5, [&] { s->inject("$QVLPRO,STOP"); });
  s->inject("$QVLPRO,Start,1");
  EXPECT_EQ(r.presses, (Strings{"StartStop:start", "StartStop:stop"}));
  EXPECT_EQ(r.statusAtPress[0], "START");
  EXPECT_EQ(r.loopPasses, 5);
  EXPECT_TRUE(r.p().vars().StopFlag);
  EXPECT_EQ(r.p().status(), "STOP");
  EXPECT_EQ(r.sentTexts(), (Strings{"START", "START", "STOP"}));
  const std::string log = r.recLog();
  EXPECT_EQ(count(log, "START\r\n"), 2u);
  EXPECT_EQ(count(log, "STOP\r\n"), 1u);
  EXPECT_NE(log.find("01-15-2026"), std::string::npos);
  EXPECT_NE(log.find("10:59:30"), std::string::npos);

  // Stop with nothing running: the status line only.
  r.presses.clear();
  r.statusAtPress.clear();
  r.p().setStatus("");
  s->inject("$QVLPRO,STOP");
  EXPECT_TRUE(r.presses.empty());
  EXPECT_EQ(r.p().status(), "STOP");
}

TEST(UdpRemote, RecModeStopsTheRunWaitsHalfASecondAndDoesNotRestart) {
  RemoteRig r;
  FakeUdpSocket* s = r.enable();
  r.p().vars().StopFlag = false;  // a run is going (its loop is further down the stack)
  r.p().setStatus("running");
  size_t pressesWhenAnswered = 99;
  r.pump.at(2, [&] {
    s->inject("$QVLPRO,STATUS");
    pressesWhenAnswered = r.presses.size();
  });
  const int64_t t0 = r.clock.tickMs();
  s->inject("$QVLPRO,RECMODE");
  EXPECT_GE(r.clock.tickMs() - t0, 500);
  EXPECT_LT(r.clock.tickMs() - t0, 600);
  EXPECT_EQ(r.presses, (Strings{"StartStop:stop", "RealTimeRecording"}));
  EXPECT_EQ(r.statusAtPress[0], "running");
  EXPECT_EQ(r.statusAtPress[1], "RECMODE");  // shown before the mode is chosen
  EXPECT_EQ(r.p().vars().Task, 2);
  EXPECT_TRUE(r.p().vars().StopFlag);
  // The status asked during the wait waits for the mode change to finish:
  // no command runs inside another one's wait.
  EXPECT_EQ(pressesWhenAnswered, 1u);
  EXPECT_EQ(r.sentTexts(), (Strings{"RECMODE"}));
  r.pump.processEvents();
  EXPECT_EQ(r.sentTexts(), (Strings{"RECMODE", "STATUS", "Status Stop Task 2 48000 x 1 Fails 0 OVL 0"}));
  EXPECT_NE(r.recLog().find("RECMODE\r\n"), std::string::npos);

  // Idle: no press, no wait, the mode is chosen.
  r.presses.clear();
  r.statusAtPress.clear();
  const int64_t t1 = r.clock.tickMs();
  s->inject("$QVLPRO,DISPLAYMODE");
  EXPECT_EQ(r.clock.tickMs(), t1);
  EXPECT_EQ(r.presses, (Strings{"RealTimeAnalysis"}));
  EXPECT_EQ(r.statusAtPress[0], "RECMODE");  // shown after the mode is chosen
  EXPECT_EQ(r.p().status(), "DISPLAYMODE");
  EXPECT_EQ(r.p().vars().Task, 1);
}

TEST(UdpRemote, DisplayModeDuringARunStopsItFirst) {
  RemoteRig r;
  FakeUdpSocket* s = r.enable();
  r.p().vars().StopFlag = false;
  r.p().vars().Task = 2;
  const int64_t t0 = r.clock.tickMs();
  s->inject("$QVLPRO,displaymode");
  EXPECT_GE(r.clock.tickMs() - t0, 500);
  EXPECT_EQ(r.presses, (Strings{"StartStop:stop", "RealTimeAnalysis"}));
  EXPECT_EQ(r.p().vars().Task, 1);
  EXPECT_EQ(r.p().status(), "DISPLAYMODE");
}

TEST(UdpRemote, SaveBufferAndSnapshotActThroughTheirControls) {
  RemoteRig r;
  FakeUdpSocket* s = r.enable();
  s->inject("$QVLPRO,SAVEBUFFER");
  EXPECT_EQ(r.presses, (Strings{"SaveBuffer"}));
  EXPECT_EQ(r.statusAtPress[0], "SAVEBUFFER");

  r.p().options1()["DefSavePath"].setText(r.home.path());
  r.p().options1()["Combo3"].setText("Form");
  s->inject("$QVLPRO,Snapshot");
  EXPECT_TRUE(std::filesystem::exists(r.home.file("wSpec 20260115 105930.bmp")));
  EXPECT_EQ(r.p().status(), "SNAPSHOT");
  const std::string log = r.recLog();
  EXPECT_NE(log.find("SAVEBUFFER\r\n"), std::string::npos);
  EXPECT_NE(log.find("SNAPSHOT\r\n"), std::string::npos);
  EXPECT_EQ(r.sentTexts(), (Strings{"SAVEBUFFER", "SNAPSHOT"}));
}

TEST(UdpRemote, CommandsWorkWithoutFeedbackWhenCalledDirectly) {
  // The command path used by other sources: no socket enabled, no echo.
  RemoteRig r;
  r.remote->ExecuteUDPCommand("$QVLPRO,STATUS");
  r.remote->ExecuteUDPCommand("$QVLPRO,RECMODE");
  EXPECT_TRUE(r.net.allSent().empty());
  EXPECT_EQ(r.presses, (Strings{"RealTimeRecording"}));
}

TEST(UdpRemote, BusyPortsStepToTheNextFreeOneWithOneMessageEach) {
  RemoteRig r;
  r.net.busyPorts = {11140, 11141};
  r.enable();
  EXPECT_EQ(r.remote->commandPort(), 11142);
  EXPECT_EQ(r.o0("LocalPort2").text(), " 11142");
  EXPECT_EQ(r.dialogs.texts(), (Strings{"Local Port 11140 already in use", "Local Port  11141 already in use"}));
  EXPECT_EQ(r.o0("txtUDP2").text(), "Enabled");
}

TEST(UdpRemote, AfterAHundredBusyPortsTheSocketGivesUpWithAClearMessage) {
  RemoteRig r;
  for (int port = 11140; port < 11400; ++port) r.net.busyPorts.insert(port);
  r.enable();
  EXPECT_EQ(r.remote->commandPort(), 0);
  const Strings texts = r.dialogs.texts();
  ASSERT_EQ(texts.size(), 101u);
  EXPECT_EQ(texts[0], "Local Port 11140 already in use");
  EXPECT_EQ(texts[99], "Local Port  11239 already in use");
  EXPECT_EQ(texts[100], "No free UDP port from 11140 to 11239; the port stays closed until another port is entered");
  EXPECT_EQ(r.o0("txtUDP2").text(), "Port closed");

  // Typing a free port opens it.
  r.dialogs.shown.clear();
  r.o0("LocalPort2").setText("12000");
  EXPECT_EQ(r.remote->commandPort(), 12000);
  EXPECT_TRUE(r.dialogs.shown.empty());

  // The top of the port range ends the stepping too.
  r.net.busyPorts = {65534, 65535};
  r.o0("LocalPort2").setText("65534");
  EXPECT_EQ(r.remote->commandPort(), 0);
  EXPECT_EQ(r.dialogs.texts().back(), "No free UDP port from 65534 to 65535; the port stays closed until another port is entered");
}

TEST(UdpRemote, APortTextThatIsNoPortIsRefused) {
  RemoteRig r;
  r.enable();
  for (const char* bad : {"abc", "0", "70000", "-5"}) {
    r.dialogs.shown.clear();
    r.o0("LocalPort2").setText(bad);
    EXPECT_EQ(r.remote->commandPort(), 0) << bad;
    EXPECT_EQ(r.dialogs.texts(), (Strings{std::string("Local Port ") + bad + " is not a port number (1 to 65535)"}));
  }
}

TEST(UdpGps, TextArrivesInTheGpsLabelAndTheTwoGpsSourcesExcludeEachOther) {
  RemoteRig r;
  r.o0("AddGPS").setValue(1);
  r.o0("AddUDP").setValue(1);
  EXPECT_EQ(r.o0("AddGPS").value(), 0);
  FakeUdpSocket* g = r.net.udpOn(11115);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(r.remote->gpsPort(), 11115);

  g->inject("4330.1N 01020.2E");
  EXPECT_EQ(r.f1("DDETXT").caption(), "4330.1N 01020.2E");
  EXPECT_EQ(r.p().vars().DDETXT, "4330.1N 01020.2E");
  // A sentence's line end does not reach a file name; nor do megabytes.
  g->inject("$GPGGA,123519,4807.038,N\r\n");
  EXPECT_EQ(r.f1("DDETXT").caption(), "$GPGGA,123519,4807.038,N");
  g->inject(std::string(65507, '7'));
  EXPECT_EQ(r.f1("DDETXT").caption(), std::string(kGpsTextMax, '7'));
  // Commands mean nothing on the GPS port.
  g->inject("$QVLPRO,START");
  EXPECT_TRUE(r.presses.empty());

  // The GPS text reaches the next recording file name.
  g->inject("N43 E10");
  std::string file, part;
  r.o0("AddTimeStamp").setValue(0);
  CreateFileName(r.p(), file, part, 1, "/rec/");
  EXPECT_NE(part.find("N43 E10"), std::string::npos) << part;

  r.o0("LocalPort1").setText("12115");
  EXPECT_EQ(r.remote->gpsPort(), 12115);

  r.o0("AddGPS").setValue(1);
  EXPECT_EQ(r.o0("AddUDP").value(), 0);
  EXPECT_EQ(r.remote->gpsPort(), 0);
  r.o0("LocalPort1").setText("12116");  // not listening now: no socket opened
  EXPECT_EQ(r.remote->gpsPort(), 0);
}

TEST(UdpGps, BusyGpsPortStepsLikeTheCommandPort) {
  RemoteRig r;
  r.net.busyPorts = {11115};
  r.o0("AddUDP").setValue(1);
  EXPECT_EQ(r.remote->gpsPort(), 11116);
  EXPECT_EQ(r.o0("LocalPort1").text(), " 11116");
  EXPECT_EQ(r.dialogs.texts(), (Strings{"Local Port 11115 already in use"}));
}

TEST(UdpRemote, TheAssembledProgramHasTheRemoteAttached) {
  test::ProgramRig rig;
  rig.options0("chkUDPSlave").setValue(1);
  FakeUdpSocket* s = rig.net.udpOn(11140);
  ASSERT_NE(s, nullptr);
  s->inject("$QVLPRO,STATUS");
  ASSERT_EQ(s->sent.size(), 2u);
  EXPECT_EQ(s->sent[0].data, "STATUS");
  EXPECT_EQ(s->sent[1].data.rfind("Status Stop Task 1 ", 0), 0u) << s->sent[1].data;

  rig.options0("AddUDP").setValue(1);
  ASSERT_NE(rig.net.udpOn(11115), nullptr);
  rig.net.udpOn(11115)->inject("fix");
  EXPECT_EQ(rig.form1("DDETXT").caption(), "fix");
}

}  // namespace
}  // namespace qv
