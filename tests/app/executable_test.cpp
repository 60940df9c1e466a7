// Runs the real executable as a user or a station script would.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include "support/temp_dir.h"

namespace qv {
namespace {

struct ProcessResult {
  int exitCode = -1;
  QString out, err;
};

ProcessResult runQuorvel(const QStringList& args, int timeoutMs = 20000) {
  QProcess p;
  p.start(QUORVEL_EXE, args);
  ProcessResult r;
  if (!p.waitForFinished(timeoutMs)) {
    p.kill();
    p.waitForFinished();
    return r;
  }
  r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = QString::fromUtf8(p.readAllStandardOutput());
  r.err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

TEST(Executable, VersionHelpAndBadOptions) {
  ProcessResult v = runQuorvel({"--version"});
  EXPECT_EQ(v.exitCode, 0);
  EXPECT_EQ(v.out, "Quorvel 2.0\n");

  ProcessResult h = runQuorvel({"--help"});
  EXPECT_EQ(h.exitCode, 0);
  for (const char* opt : {"--home", "--set", "--task", "--start", "--quit-after", "--headless", "--version"})
    EXPECT_TRUE(h.out.contains(opt)) << opt;

  ProcessResult bad = runQuorvel({"--no-such-option"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_TRUE(bad.err.contains("--no-such-option"));
}

TEST(Executable, HeadlessRunEndsCleanlyAfterQuitAfter) {
  test::TempDir home;
  ProcessResult r = runQuorvel({"--headless", "--home", QString::fromStdString(home.path()), "--quit-after", "0.3"});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
}

// With its windows, a timed or signalled end must not stop at the exit
// question (nobody is there to answer it), also while a run is going.
TEST(Executable, WindowedRunEndsAfterQuitAfterWithoutAskingAndSigtermToo) {
  test::TempDir home;
  const QString h = QString::fromStdString(home.path());
  ProcessResult r = runQuorvel({"--home", h, "--task", "1", "--start", "--quit-after", "1"}, 15000);
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();

  QProcess p;
  p.start(QUORVEL_EXE, {"--home", h});
  ASSERT_TRUE(p.waitForStarted());
  p.waitForFinished(1500);
  ASSERT_EQ(p.state(), QProcess::Running);
  p.terminate();
  const bool ended = p.waitForFinished(10000);
  if (!ended) p.kill();
  ASSERT_TRUE(ended);
  EXPECT_EQ(p.exitCode(), 0);
}

TEST(Executable, SetWithAnUnknownControlSaysSoAndGoesOn) {
  test::TempDir home;
  ProcessResult r = runQuorvel({"--headless", "--home", QString::fromStdString(home.path()), "--set", "FORM1.NoSuchBox=3",
                      "--quit-after", "0.2"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.err.contains("FORM1.NoSuchBox")) << r.err.toStdString();
}

TEST(Executable, SigtermStopsAHeadlessRunWithExitCodeZero) {
  test::TempDir home;
  QProcess p;
  p.start(QUORVEL_EXE, {"--headless", "--home", QString::fromStdString(home.path())});
  ASSERT_TRUE(p.waitForStarted());
  // Give it time to install its handlers; a still-starting process would die of the default action.
  p.waitForFinished(1500);
  ASSERT_EQ(p.state(), QProcess::Running);
  p.terminate();
  ASSERT_TRUE(p.waitForFinished(10000));
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), 0);
}

}  // namespace
}  // namespace qv
