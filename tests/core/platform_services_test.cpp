// The headless dialogs and the bundle of real services.
#include <gtest/gtest.h>

#include <QTimer>
#include <chrono>
#include <cstdio>
#include <fstream>

#include "platform/audio/portaudio_input.h"
#include "platform/audio/portaudio_output.h"
#include "platform/clock.h"
#include "platform/disk.h"
#include "platform/qt/headless_dialogs.h"
#include "platform/qt/qt_event_pump.h"
#include "platform/qt/std_disk.h"
#include "support/temp_dir.h"
#include "platform/qt/real_services.h"

namespace qv {
namespace {

std::string readAll(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string s;
  char buf[256];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  return s;
}

TEST(HeadlessDialogs, PrintsEveryLineAndTakesTheDefaults) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  HeadlessDialogs d(f);
  EXPECT_EQ(d.message("Not enough space on /data\r\nRecording stopped", "Quorvel", MsgButtons::Ok, MsgIcon::Warning,
                      MsgAnswer::Ok),
            MsgAnswer::Ok);
  EXPECT_EQ(d.message("Quit?", "", MsgButtons::YesNo, MsgIcon::Question, MsgAnswer::No), MsgAnswer::No);
  // A default that is not offered cannot be the answer.
  EXPECT_EQ(d.message("Overwrite?", "", MsgButtons::YesNo, MsgIcon::Question, MsgAnswer::Ok), MsgAnswer::Yes);
  EXPECT_EQ(d.input("Go to time", "", "00:01:00"), "00:01:00");
  FileDialogOptions o;
  o.title = "Open Wave File";
  EXPECT_TRUE(d.openFile(o).empty());
  EXPECT_EQ(d.saveFile(o), "");
  std::string out = readAll(f);
  std::fclose(f);
  EXPECT_EQ(out,
            "quorvel: Not enough space on /data\n"
            "quorvel: Recording stopped\n"
            "quorvel: Quit?\n"
            "quorvel: Overwrite?\n"
            "quorvel: Go to time\n"
            "quorvel: Open Wave File: cancelled (no display)\n"
            "quorvel: Open Wave File: cancelled (no display)\n");
}

TEST(RealServices, FillsEverySeamButDialogsAndDsp) {
  RealServices real;
  Services s = real.services();
  EXPECT_EQ(s.audioIn, &real.audioIn());
  EXPECT_EQ(s.audioOut, &real.audioOut());
  EXPECT_NE(s.pump, nullptr);
  EXPECT_NE(s.clock, nullptr);
  EXPECT_NE(s.disk, nullptr);
  EXPECT_NE(s.net, nullptr);
  EXPECT_NE(s.surfaces, nullptr);
  EXPECT_EQ(s.dialogs, nullptr);
  EXPECT_EQ(s.dsp, nullptr);
  // Input and output share the sound library: both list at once.
  EXPECT_FALSE(s.audioIn->devices().empty());
  EXPECT_EQ(s.audioOut->devices().back().name, PortAudioOutput::kSilentName);
  auto t0 = s.clock->tickMs();
  EXPECT_GE(s.clock->tickMs(), t0);
  EXPECT_GT(s.disk->freeKB("/tmp/"), 0);
}

TEST(StdDisk, MeasuresTheFilesystemOfAFolderNotYetMade) {
  test::TempDir dir;
  StdDisk disk;
  int64_t here = disk.freeKB(dir.path());
  EXPECT_GT(here, 0);
  // A recording folder that does not exist yet: the filesystem it would be on.
  EXPECT_NEAR(double(disk.freeKB(dir.path() + "later/deeper/")), double(here), 1024.0 * 64);
  EXPECT_GE(disk.totalKB(dir.path()), here);
  EXPECT_TRUE(disk.isWritable(dir.path()));
  EXPECT_TRUE(disk.isWritable(dir.path().substr(0, dir.path().size() - 1))) << "without the trailing slash";
  EXPECT_FALSE(disk.isWritable(dir.path() + "missing/"));
  EXPECT_FALSE(std::ifstream(dir.file("killme.tmp")).good()) << "the probe file is removed";
}

TEST(QtEventPump, WaitingForEventsSleepsUntilOneComesOrTheTimeIsUp) {
  using Clock = std::chrono::steady_clock;
  QtEventPump pump;
  // Idle: waits about the time asked, without spinning through it.
  auto t0 = Clock::now();
  pump.processEventsFor(80);
  double idle = std::chrono::duration<double>(Clock::now() - t0).count();
  EXPECT_GE(idle, 0.07);
  // An event that comes early ends the wait early and is served.
  bool fired = false;
  QTimer::singleShot(10, [&] { fired = true; });
  t0 = Clock::now();
  for (int i = 0; i < 5 && !fired; ++i) pump.processEventsFor(2000);
  double busy = std::chrono::duration<double>(Clock::now() - t0).count();
  EXPECT_TRUE(fired);
  EXPECT_LT(busy, 1.9);
}

}  // namespace
}  // namespace qv
