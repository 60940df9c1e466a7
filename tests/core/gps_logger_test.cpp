// The serial GPS logger: sentences cut into pieces as a port delivers them,
// the panel's decoding and log, "Stop" and "Shot", and a pseudo-terminal
// standing in for the receiver.
#include <gtest/gtest.h>

#include <QTimer>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "core/designer.h"
#include "core/program.h"
#include "platform/qt/qt_event_pump.h"
#include "platform/qt/qt_network.h"
#include "remote/gps_logger.h"
#include "remote/nmea.h"
#include "support/program_rig.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

using Steady = std::chrono::steady_clock;

const std::string kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
const std::string kGga = "$GPGGA,123520,4124.8963,N,08151.6838,W,1,05,1.5,280.2,M,-34.0,M,,*7B";
const std::string kRmc2 = "$GPRMC,123521,A,3351.000,S,15112.500,E,000.0,000.0,230394,,*0E";
const std::string kLower = "$gprmc,123522,A,1111.111,N,02222.222,E,,,230394,,";

TEST(SerialLines, SentencesCutIntoPiecesOfEverySizeComeOutWhole) {
  // GIVEN sentences ending in CR LF, one in LF alone, and an empty line
  const std::string stream = kRmc + "\r\n" + kGga + "\r\n" + kLower + "\n" + "\r\n" + kRmc2 + "\r\n" + "$GPGSV,3";
  const std::vector<std::string> whole = {kRmc, kGga, kLower, "", kRmc2};
  for (size_t size = 1; size <= stream.size(); ++size) {
    // WHEN a port delivers them in pieces of this size (several sentences in
    // one piece, one sentence over three pieces, a CR and its LF apart)
    SerialLineAssembler a;
    std::vector<std::string> got;
    for (size_t at = 0; at < stream.size(); at += size) {
      auto lines = a.feed(std::string_view(stream).substr(at, size));
      got.insert(got.end(), lines.begin(), lines.end());
    }
    // THEN each line is whole, only its own CR and LF dropped, the rest waits
    ASSERT_EQ(got, whole) << "pieces of " << size;
    ASSERT_EQ(a.pending(), "$GPGSV,3");
  }
  // Noise without line feeds is dropped instead of growing without end.
  SerialLineAssembler a;
  for (int i = 0; i < 100; ++i) a.feed(std::string(100, 'x'));
  EXPECT_LE(a.pending().size(), SerialLineAssembler::kMaxLine);
  EXPECT_EQ(a.feed("tail\n" + kRmc + "\n").back(), kRmc);
}

TEST(SerialLines, FieldsPositionsAndTheLoggersDecoding) {
  EXPECT_EQ(GetParameter(kRmc, ",", 1), "$GPRMC");
  EXPECT_EQ(GetParameter(kRmc, "", 4), "4807.038") << "an empty separator is a comma";
  EXPECT_EQ(GetParameter(kRmc, ",", 13), "");
  EXPECT_EQ(GetParameter(kRmc, ",", 0), "");
  EXPECT_EQ(GetParameter("a,,c", ",", 2), "");
  EXPECT_EQ(GetParameter("a,,c", ",", 3), "c");
  EXPECT_EQ(GetParameter("a;b", ";", 2), "b");
  LatLongText t = decodeLatLong(kRmc, 4, 6);
  EXPECT_EQ(t.lat, "48 07.038");
  EXPECT_EQ(t.lon, "011 31.000");

  auto fix = parsePositionSentence(kRmc);
  ASSERT_TRUE(fix);
  EXPECT_NEAR(fix->latitude, 48 + 7.038 / 60, 1e-9);
  EXPECT_NEAR(fix->longitude, 11 + 31.0 / 60, 1e-9);
  fix = parsePositionSentence(kGga + "\r\n");
  ASSERT_TRUE(fix);
  EXPECT_NEAR(fix->latitude, 41 + 24.8963 / 60, 1e-9);
  EXPECT_NEAR(fix->longitude, -(81 + 51.6838 / 60), 1e-9) << "west is negative";
  fix = parsePositionSentence(kRmc2);
  ASSERT_TRUE(fix);
  EXPECT_LT(fix->latitude, 0) << "south is negative";
  EXPECT_TRUE(parsePositionSentence("$GNRMC,1,A,4807.038,N,01131.000,E,,,,,")) << "multi-system receivers";

  // Not a fix: void status, no fix quality, a wrong checksum, letters
  // missing, minutes out of range, other sentences.
  EXPECT_FALSE(parsePositionSentence("$GPRMC,1,V,4807.038,N,01131.000,E,,,,,"));
  EXPECT_FALSE(parsePositionSentence("$GPGGA,1,4124.8963,N,08151.6838,W,0,00,,,M,,M,,"));
  EXPECT_FALSE(parsePositionSentence(kRmc.substr(0, kRmc.size() - 2) + "6B"));
  EXPECT_FALSE(parsePositionSentence("$GPRMC,1,A,4807.038,,01131.000,E,,,,,"));
  EXPECT_FALSE(parsePositionSentence("$GPRMC,1,A,4860.000,N,01131.000,E,,,,,"));
  EXPECT_FALSE(parsePositionSentence("$GPRMC,1,A,9107.000,N,01131.000,E,,,,,"));
  EXPECT_FALSE(parsePositionSentence("$GPGSV,3,1,11,03,03,111,00"));
  EXPECT_FALSE(parsePositionSentence("Station 7 north jetty"));
  // A datagram with several sentences gives its last valid one.
  auto last = parsePositionText(kRmc + "\r\n" + kRmc2 + "\r\n$GPRMC,1,V,,,,,,,,,");
  ASSERT_TRUE(last);
  EXPECT_LT(last->latitude, 0);
}

// The assembled program with the port double: each injected piece is one delivery.
struct FakeGps : test::ProgramRig {
  GpsLogger& gps() { return *subsystems->gpsLogger; }
  FakeSerialPort* port() { return net.serialPorts.empty() ? nullptr : net.serialPorts.back(); }
};

TEST(GpsLogger, ReadsAcceptsDecodesAndLogsThroughThePanel) {
  FakeGps r;
  r.options2("ComPort").setText("/dev/ttyUSB0");
  r.options2("ComSet").setText("9600,E,7,2");
  r.options2("LogToFile").setValue(1);
  r.options2("LogName").setText("gps.log");
  r.options2("StartGPS").click();
  ASSERT_NE(r.port(), nullptr);
  EXPECT_TRUE(r.port()->isOpen());
  EXPECT_EQ(r.port()->openedPath, "/dev/ttyUSB0");
  EXPECT_EQ(r.port()->openedSettings.baud, 9600);
  EXPECT_EQ(r.port()->openedSettings.parity, Parity::Even);
  EXPECT_EQ(r.port()->openedSettings.dataBits, 7);
  EXPECT_EQ(r.port()->openedSettings.stopBits, StopBits::Two);
  EXPECT_EQ(r.options2("GpsString").text(), "waiting for <$GPRMC> & LineFeed character");
  EXPECT_EQ(r.gps().GPSreading, 1);

  // GIVEN a fix, a lower-case tag, another sentence, two fixes in one piece,
  // a sentence ending in LF alone split over three pieces
  for (const std::string& piece : std::vector<std::string>{kRmc.substr(0, 20), kRmc.substr(20) + "\r\n" + kLower + "\r\n" + kGga + "\r", "\n",
        kRmc2 + "\r\n" + kRmc + "\r\n$GPRMC,9,A,0100.000,N,00200.000", ",E,,,,,", "\n$GPGSV"})
    ASSERT_TRUE(r.port()->inject(piece));

  // THEN exactly the accepted lines are logged, whole, each with CR LF
  const std::string last = "$GPRMC,9,A,0100.000,N,00200.000,E,,,,,";
  EXPECT_EQ(test::readFile(r.home.file("gps.log")),
            kRmc + "\r\n" + kRmc2 + "\r\n" + kRmc + "\r\n" + last + "\r\n");
  EXPECT_EQ(r.gps().FULLGPS, last) << "its last character kept although no CR came";
  EXPECT_EQ(r.options2("GpsString").text(), last);
  EXPECT_EQ(r.gps().GPSLAT, "01 00.000");
  EXPECT_EQ(r.gps().GPSLONG, "002 00.000");
  ASSERT_TRUE(r.p().vars().LastFix.valid);
  EXPECT_NEAR(r.p().vars().LastFix.latitude, 1.0, 1e-9);
  EXPECT_NEAR(r.p().vars().LastFix.longitude, 2.0, 1e-9);

  // The field positions are read afresh for every line.
  r.options2("LatStringPos").setText("6");
  r.options2("LongStringPos").setText("4");
  r.port()->inject("\n" + kRmc + "\r\n");
  EXPECT_EQ(r.gps().GPSLAT, "01 131.000");
  EXPECT_EQ(r.gps().GPSLONG, "480 7.038");

  // WHEN Stop is pressed: the port closes, later data reaches nothing
  r.options2("StopGPS").click();
  EXPECT_EQ(r.gps().GPSreading, 0);
  EXPECT_FALSE(r.port()->isOpen());
  EXPECT_FALSE(r.port()->inject(kRmc2 + "\r\n"));
}

TEST(GpsLogger, SingleShotEndsTheReadAndThePanelClosingEndsItToo) {
  FakeGps r;
  r.options2("SingleShot").setValue(1);
  r.options2("StartGPS").click();
  ASSERT_TRUE(r.port()->isOpen());
  // Two accepted lines in one piece: the read ends after the first.
  r.port()->inject(kRmc + "\r\n" + kRmc2 + "\r\n");
  EXPECT_EQ(r.gps().FULLGPS, kRmc);
  EXPECT_EQ(r.gps().GPSreading, 0);
  EXPECT_FALSE(r.port()->isOpen());

  r.options2("SingleShot").setValue(0);
  r.p().options2().setShown(true);
  r.options2("StartGPS").click();
  ASSERT_TRUE(r.port()->isOpen());
  r.options2("CloseButton").click();
  EXPECT_FALSE(r.p().options2().shown());
  EXPECT_FALSE(r.port()->isOpen()) << "the panel unloading closes the port";
  EXPECT_EQ(r.gps().GPSreading, 0);
}

TEST(GpsLogger, PortsAndSettingsThatCannotBeUsedAreExplained) {
  FakeGps r;
  struct Case {
    std::string port, settings, says;
  } cases[] = {
      {"99999999999999999999", "4800,N,8,1", "Com Port \"99999999999999999999\" is neither a port number"},
      {"0", "4800,N,8,1", "Com Port \"0\" is neither"},
      {"ttyUSB0", "4800,N,8,1", "Com Port \"ttyUSB0\" is neither"},
      {"1", "4800,X,8,1", "the parity must be N, E, O, M or S"},
      {"1", "fast,N,8,1", "the baud rate must be a number"},
      {"1", "4800,N,9,1", "the data bits must be 5, 6, 7 or 8"},
      {"1", "4800,N,8,3", "the stop bits must be 1, 1.5 or 2"},
      {"1", "4800,N,8,1,X", "more than baud, parity"},
  };
  for (const Case& c : cases) {
    r.options2("ComPort").setText(c.port);
    r.options2("ComSet").setText(c.settings);
    r.options2("StartGPS").click();
    EXPECT_NE(r.options2("GpsString").text().find(c.says), std::string::npos) << r.options2("GpsString").text();
    EXPECT_NE(r.p().status().find(c.says), std::string::npos) << r.p().status();
    EXPECT_EQ(r.gps().GPSreading, 0);
  }
  // A port that exists in name but will not open.
  r.options2("ComPort").setText("3");
  r.options2("ComSet").setText("4800");
  r.options2("StartGPS").click();
  ASSERT_NE(r.port(), nullptr);
  EXPECT_EQ(r.port()->openedPath, "/dev/ttyS2");
  r.port()->openResult = false;
  r.options2("StartGPS").click();
  EXPECT_EQ(r.options2("GpsString").text(), "/dev/ttyS2: cannot open");
  EXPECT_EQ(r.p().status(), "GPS Logger: /dev/ttyS2: cannot open");
  EXPECT_EQ(r.gps().GPSreading, 0);
}

// ---- a pseudo-terminal as the receiver ----

bool pumpUntil(const std::function<bool()>& done, int ms = 3000) {
  QtEventPump pump;
  auto end = Steady::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (Steady::now() > end) return false;
    pump.processEventsFor(5);
  }
  return true;
}

struct Pty {
  int master = -1, slave = -1;
  std::string path;
  Pty() {
    char name[128] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) == 0) path = name;
  }
  ~Pty() {
    if (master >= 0) ::close(master);
    if (slave >= 0) ::close(slave);
  }
  void write(const std::string& s) const {
    ssize_t n = ::write(master, s.data(), s.size());
    (void)n;
  }
  termios settings() const {
    termios t{};
    tcgetattr(slave, &t);
    return t;
  }
};

struct PtyGps {
  test::TempDir home;
  QtNetwork net;
  QtEventPump pump;
  ScriptedDialogs dialogs;
  std::unique_ptr<Program> program;
  std::shared_ptr<GpsLogger> gps;
  Pty pty;

  PtyGps() {
    Services s;
    s.net = &net;
    s.pump = &pump;
    s.dialogs = &dialogs;
    program = std::make_unique<Program>(s, home.path());
    buildForms(program->forms());
    program->options1()["DefLogPath"].setText(home.path());
    gps = installGpsLogger(*program);
    o2("ComPort").setText(pty.path);
  }
  ~PtyGps() {
    gps->CloseGPS();
    program.reset();
    gps.reset();
    pumpUntil([] { return false; }, 20);
  }
  Control& o2(const std::string& n) { return program->options2()[n]; }
};

// A pseudo-terminal keeps the speed and the stop bits it is given but is
// always 8 bits without parity; those two reach the port through the same
// settings, which the port double shows.
TEST(GpsLoggerPty, TheRealPortTakesTheSpeedAndStopBitsOfTheSettings) {
  PtyGps g;
  ASSERT_FALSE(g.pty.path.empty());
  g.o2("ComSet").setText("9600,O,7,2");
  g.o2("StartGPS").click();
  ASSERT_TRUE(g.gps->portOpen()) << g.o2("GpsString").text();
  termios t = g.pty.settings();
  EXPECT_EQ(cfgetospeed(&t), speed_t(B9600));
  EXPECT_TRUE(t.c_cflag & CSTOPB);

  g.o2("ComSet").setText("4800,S,8,1");
  g.o2("StartGPS").click();  // a second Start reopens with the new settings
  ASSERT_TRUE(g.gps->portOpen());
  t = g.pty.settings();
  EXPECT_EQ(cfgetospeed(&t), speed_t(B4800));
  EXPECT_FALSE(t.c_cflag & CSTOPB);
}

TEST(GpsLoggerPty, SentencesWrittenInPiecesAreLoggedAndStopEndsAtOnce) {
  PtyGps g;
  ASSERT_FALSE(g.pty.path.empty());
  g.o2("LogToFile").setValue(1);
  g.o2("LogName").setText("track.log");
  g.o2("StartGPS").click();
  ASSERT_TRUE(g.gps->portOpen()) << g.o2("GpsString").text();

  const std::string stream = kGga + "\r\n" + kRmc + "\r\n" + kLower + "\r\n" + kRmc2 + "\r\n";
  // Pieces of 1 to 23 characters, each given time to arrive on its own.
  for (size_t at = 0, size = 1; at < stream.size(); at += size, size = size % 23 + 1) {
    g.pty.write(stream.substr(at, size));
    pumpUntil([] { return false; }, 2);
  }
  ASSERT_TRUE(pumpUntil([&] { return g.gps->FULLGPS == kRmc2; })) << g.gps->FULLGPS;
  EXPECT_EQ(test::readFile(g.home.file("track.log")), kRmc + "\r\n" + kRmc2 + "\r\n");
  EXPECT_EQ(g.o2("GpsString").text(), kRmc2);
  EXPECT_EQ(g.gps->GPSLAT, "33 51.000");
  EXPECT_EQ(g.gps->GPSLONG, "151 12.500");
  EXPECT_LT(g.program->vars().LastFix.latitude, 0);

  // "Stop" with nothing arriving: the read ends and the port closes at once.
  g.o2("StopGPS").click();
  EXPECT_EQ(g.gps->GPSreading, 0);
  EXPECT_FALSE(g.gps->portOpen());
  g.pty.write(kRmc + "\r\n");
  pumpUntil([] { return false; }, 50);
  EXPECT_EQ(g.gps->FULLGPS, kRmc2);
}

TEST(GpsLoggerPty, ShotWaitsForOneLineShowsItAndIgnoresPressesWhileWaiting) {
  PtyGps g;
  ASSERT_FALSE(g.pty.path.empty());
  int shots = 0;
  g.o2("Command10").on(Event::Click, [&] { ++shots; });
  // While "Shot" waits, the operator keeps pressing it; then the receiver speaks.
  for (int i = 1; i <= 20; ++i) QTimer::singleShot(i * 5, [&] { g.o2("Command10").click(); });
  QTimer::singleShot(150, [&] { g.pty.write(kGga + "\r\n" + kRmc.substr(0, 30)); });
  QTimer::singleShot(200, [&] { g.pty.write(kRmc.substr(30) + "\r\n"); });
  g.o2("Command10").click();
  ASSERT_EQ(g.dialogs.texts(), (std::vector<std::string>{kRmc})) << "one box, with the accepted line";
  EXPECT_EQ(g.o2("GpsString").text(), kRmc);
  EXPECT_EQ(g.gps->GPSLAT, "48 07.038");
  EXPECT_EQ(g.gps->FULLGPS, "") << "a single read is not kept as the logger's line";
  EXPECT_FALSE(g.gps->portOpen());
  EXPECT_EQ(shots, 21) << "the presses were served while the first one waited";
}

}  // namespace
}  // namespace qv
