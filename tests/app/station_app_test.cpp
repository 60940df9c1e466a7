// The headless station as its operator meets it on a terminal and under a
// service manager: what it prints, where, and the exit status it ends with.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include "support/temp_dir.h"

namespace qv {
namespace {

struct Outcome {
  int exitCode = -1;
  bool finished = false;
  QString out, err;
  QStringList outLines() const { return out.split('\n', Qt::SkipEmptyParts); }
};

// The environment of a machine without a sound card or a session: no
// runtime folder, which Qt would otherwise mention.
QProcessEnvironment bareEnvironment(bool fakeNoSoundCard = true) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("XDG_RUNTIME_DIR");
  if (fakeNoSoundCard) env.insert("QUORVEL_NO_SOUND_CARD", "1");
  else env.remove("QUORVEL_NO_SOUND_CARD");
  return env;
}

Outcome runQuorvel(const QStringList& args, const QProcessEnvironment& env = bareEnvironment(), int timeoutMs = 30000) {
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(QUORVEL_EXE, args);
  Outcome r;
  r.finished = p.waitForFinished(timeoutMs);
  if (!r.finished) {
    p.kill();
    p.waitForFinished();
  }
  r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = QString::fromUtf8(p.readAllStandardOutput());
  r.err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

QString q(const std::string& s) { return QString::fromStdString(s); }

const QRegularExpression kTimed(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d )");

// Reads a running program's stdout until a line matches or the time is up.
bool waitForLine(QProcess& p, QString& seen, const QRegularExpression& re, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < timeoutMs) {
    p.waitForReadyRead(100);
    seen += QString::fromUtf8(p.readAllStandardOutput());
    for (const QString& l : seen.split('\n'))
      if (re.match(l).hasMatch()) return true;
    if (p.state() == QProcess::NotRunning) return false;
  }
  return false;
}

// GIVEN a recording station started from the command line with a small single file
// WHEN the file reaches its size
// THEN the run ends, the program with it (status 0), having printed its start
//      line, its "Creating" and "Closing" lines with their times and a summary
//      that names the file with its size on disk; nothing on stderr.
TEST(StationApp, RecordingRunPrintsStartEventsAndSummaryAndEndsTheProgram) {
  test::TempDir home;
  const std::string rec = home.path() + "rec/";
  QDir().mkpath(q(rec));
  Outcome r = runQuorvel({"--headless", "--home", q(home.path()), "--set", q("OPTIONS0.FileRecPathField=" + rec),
                      "--set", "OPTIONS0.FileMaxSizeCombo=0.2 MB", "--task", "2", "--start"});
  ASSERT_TRUE(r.finished) << r.out.toStdString();
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  const QStringList lines = r.outLines();
  ASSERT_GE(lines.size(), 5) << r.out.toStdString();
  EXPECT_EQ(lines[0], q("Station: program folder " + home.path() + "; input \"Test Signal\", 48000 Hz, 1 channel; "
                        "mode 2 \"Real-Time Analysis + Recording\"; recording to " + rec +
                        ", file mode \"2 - single file recording\", max size \"0.2 MB\""));
  for (int i = 1; i < lines.size(); ++i) EXPECT_TRUE(kTimed.match(lines[i]).hasMatch()) << lines[i].toStdString();

  const QStringList wavs = QDir(q(rec)).entryList({"*.wav"});
  ASSERT_EQ(wavs.size(), 1);
  const QString wav = q(rec) + wavs[0];
  const qint64 size = QFileInfo(wav).size();
  EXPECT_GT(size, 200 * 1024);
  EXPECT_TRUE(lines[2].endsWith("Creating " + wav + " Rec Mode 2 - single file recording")) << lines[2].toStdString();
  EXPECT_TRUE(QRegularExpression(R"(\[00:00:0\d\.\d{3}\] Closing  )" + QRegularExpression::escape(wav) +
                                 R"( \d+kB Fails 0 Overloads \d+$)")
                  .match(lines[lines.size() - 2])
                  .hasMatch())
      << lines[lines.size() - 2].toStdString();
  EXPECT_TRUE(QRegularExpression(R"(Summary: duration 00:00:0\d\.\d{3}, blocks \d+, Fails 0, Overloads \d+, files 1: ")" +
                                 QRegularExpression::escape(wav) + "\" " + QString::number(size) + " bytes$")
                  .match(lines.last())
                  .hasMatch())
      << lines.last().toStdString();
  // The log and the station told the same events.
  EXPECT_TRUE(QFile(q(home.path() + "RecLog.Log")).size() > 0);
}

// A machine without a sound card and without a session: neither the sound
// libraries' probing nor the window library's notices reach stderr.
TEST(StationApp, NoForeignMessagesOnStderrWithoutASoundCard) {
  test::TempDir home;
  const QProcessEnvironment env = bareEnvironment(false);
  Outcome devices = runQuorvel({"--list-devices"}, env);
  EXPECT_EQ(devices.exitCode, 0);
  EXPECT_EQ(devices.err, "");
  EXPECT_TRUE(devices.out.startsWith("Input devices (FORM1.Combo10")) << devices.out.toStdString();
  EXPECT_TRUE(devices.out.contains("Output devices (OPTIONS0.Combo9")) << devices.out.toStdString();

  Outcome station = runQuorvel({"--headless", "--home", q(home.path()), "--task", "1", "--start", "--quit-after", "1"}, env);
  EXPECT_EQ(station.exitCode, 0);
  EXPECT_EQ(station.err, "");
  EXPECT_TRUE(station.outLines().last().contains("Summary: duration ")) << station.out.toStdString();
}

// Runs that cannot start, or end on an error, end with status 1; the reason is on stderr.
TEST(StationApp, ExitStatusOneForARunThatCannotStartOrEndsOnAnError) {
  test::TempDir home;
  // Only the last level of a folder is made: a missing parent is an unmounted disk.
  const std::string missing = home.path() + "no/such-folder/";
  Outcome folder = runQuorvel({"--headless", "--home", q(home.path()), "--set",
                           q("OPTIONS0.FileRecPathField=" + missing), "--task", "2", "--start"});
  ASSERT_TRUE(folder.finished);
  EXPECT_EQ(folder.exitCode, 1);
  const std::string reason =
      "The folder " + missing + " cannot be made: " + home.path() + "no does not exist (is its disk mounted?)";
  EXPECT_EQ(folder.err, q("quorvel: " + reason + "\n"));
  EXPECT_TRUE(folder.outLines().last().endsWith(q("Summary: the run did not start (" + reason + ")")))
      << folder.out.toStdString();

  Outcome device = runQuorvel({"--headless", "--home", q(home.path()), "--set", "FORM1.Combo2=7", "--start"});
  ASSERT_TRUE(device.finished);
  EXPECT_EQ(device.exitCode, 1);
  EXPECT_TRUE(device.err.startsWith("quorvel: Couldn't open wave device due to Error ")) << device.err.toStdString();

  // The recording folder disappears while the first file is written: the next file cannot be made.
  const std::string rec = home.path() + "rec/";
  QDir().mkpath(q(rec));
  QProcess p;
  p.setProcessEnvironment(bareEnvironment());
  p.start(QUORVEL_EXE, {"--headless", "--home", q(home.path()), "--set", q("OPTIONS0.FileRecPathField=" + rec),
                        "--set", "OPTIONS0.FileModeCombo=3 - multiple file", "--set",
                        "OPTIONS0.FileMaxSizeCombo=0.1 MB", "--task", "2", "--start"});
  QString out;
  ASSERT_TRUE(waitForLine(p, out, QRegularExpression(" Creating "), 15000)) << out.toStdString();
  // Once the first block is in the file.
  QElapsedTimer t;
  t.start();
  auto firstFileSize = [&] {
    const QStringList w = QDir(q(rec)).entryList({"*.wav"});
    return w.isEmpty() ? qint64(0) : QFileInfo(q(rec) + w[0]).size();
  };
  while (firstFileSize() <= 48 && t.elapsed() < 10000) p.waitForFinished(20);
  ASSERT_GT(firstFileSize(), 48);
  ASSERT_TRUE(QDir(q(rec)).removeRecursively());
  const bool ended = p.waitForFinished(20000);
  if (!ended) p.kill();
  ASSERT_TRUE(ended);
  out += QString::fromUtf8(p.readAllStandardOutput());
  const QString err = QString::fromUtf8(p.readAllStandardError());
  EXPECT_EQ(p.exitCode(), 1);
  EXPECT_TRUE(err.startsWith("quorvel: the run ended on an error: Stop: ")) << err.toStdString();
  EXPECT_TRUE(out.contains(" Stop: ")) << out.toStdString();
  EXPECT_TRUE(out.contains("Summary: ended on an error (Stop: ")) << out.toStdString();

  Outcome usage = runQuorvel({"--task", "9"});
  EXPECT_EQ(usage.exitCode, 2);
  EXPECT_TRUE(usage.err.contains("--task")) << usage.err.toStdString();
}

TEST(StationApp, AFileOnTheCommandLineThatCannotBeOpenedIsReported) {
  test::TempDir home;
  const std::string gone = home.path() + "rec1.wav";
  Outcome r = runQuorvel({"--headless", "--home", q(home.path()), "--quit-after", "0.3", q(gone)});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, q("quorvel: \"" + gone + "\" no such file; starting without it\n"));

  Outcome folder = runQuorvel({"--headless", "--home", q(home.path()), "--quit-after", "0.3", q(home.path()), "/AUTO"});
  EXPECT_EQ(folder.exitCode, 0);
  EXPECT_TRUE(folder.err.contains("is a folder, not a file; starting without it")) << folder.err.toStdString();
}

// The README's run command on a server: no display, so the station runs headless.
TEST(StationApp, WithoutADisplayItRunsHeadlessAndSaysSoInOneLine) {
  test::TempDir home;
  QProcessEnvironment env = bareEnvironment();
  for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(v);
  Outcome r = runQuorvel({"--home", q(home.path()), "--task", "1", "--start", "--quit-after", "0.5"}, env);
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_EQ(r.err, "quorvel: no display (neither DISPLAY nor WAYLAND_DISPLAY is set): running headless, as with "
                   "--headless\n");
  EXPECT_TRUE(r.out.startsWith("Station: program folder ")) << r.out.toStdString();
  EXPECT_TRUE(r.outLines().last().contains("Summary: duration ")) << r.out.toStdString();
}

TEST(StationApp, HelpMentionsRenderAndTheListings) {
  Outcome h = runQuorvel({"--help"});
  EXPECT_EQ(h.exitCode, 0);
  for (const char* s : {"quorvel render", "--list-devices", "--list-settings", "Exit status"})
    EXPECT_TRUE(h.out.contains(s)) << s;
}

// docs/settings.md is what the program lists today.
TEST(StationApp, SettingsDocumentIsCurrent) {
  Outcome md = runQuorvel({"--list-settings=markdown"});
  EXPECT_EQ(md.exitCode, 0);
  QFile doc(QV_SOURCE_DIR "/docs/settings.md");
  ASSERT_TRUE(doc.open(QIODevice::ReadOnly));
  EXPECT_EQ(md.out, QString::fromUtf8(doc.readAll())) << "run scripts/settings-doc";
  EXPECT_EQ(runQuorvel({"--list-settings=yaml"}).exitCode, 2);
}

// The systemd unit of docs/station.md: its ExecStart line, with the folders
// moved into a temporary one, runs a station that SIGTERM stops cleanly.
QStringList execStartOfTheDocumentedUnit() {
  QFile doc(QV_SOURCE_DIR "/docs/station.md");
  if (!doc.open(QIODevice::ReadOnly)) return {};
  QString line;
  for (const QString& l : QString::fromUtf8(doc.readAll()).split('\n'))
    if (l.startsWith("ExecStart=")) line = l.mid(10);
  // systemd's quoting: blanks separate words, double quotes hold a word together.
  QStringList words;
  QString w;
  bool quoted = false, any = false;
  for (QChar c : line) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if (c == ' ' && !quoted) {
      if (any) words << w;
      w.clear();
      any = false;
    } else {
      w += c;
      any = true;
    }
  }
  if (any) words << w;
  return words;
}

TEST(StationApp, TheDocumentedSystemdUnitRecordsAndStopsCleanlyOnSigterm) {
  QStringList words = execStartOfTheDocumentedUnit();
  ASSERT_GE(words.size(), 2);
  ASSERT_EQ(words.takeFirst(), "/usr/local/bin/quorvel");
  test::TempDir root;
  QDir().mkpath(q(root.path() + "srv/recordings"));
  for (QString& w : words) {
    w.replace("/var/lib/quorvel", q(root.path() + "var/lib/quorvel"));
    w.replace("/srv/recordings/", q(root.path() + "srv/recordings/"));
  }
  ASSERT_TRUE(words.contains("--headless"));
  ASSERT_TRUE(words.contains("--start"));
  QProcess p;
  p.setProcessEnvironment(bareEnvironment());
  p.start(QUORVEL_EXE, words);
  QString out;
  ASSERT_TRUE(waitForLine(p, out, QRegularExpression(" Creating .*Rec Mode 3 - multiple file$"), 15000))
      << out.toStdString();
  p.waitForFinished(1500);  // some audio on disk
  ASSERT_EQ(p.state(), QProcess::Running);
  p.terminate();
  const bool ended = p.waitForFinished(15000);
  if (!ended) p.kill();
  ASSERT_TRUE(ended);
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), 0);
  out += QString::fromUtf8(p.readAllStandardOutput());
  const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_TRUE(QRegularExpression(QRegularExpression::escape(q("; recording to " + root.path() +
                                                               "srv/recordings/, file mode \"3 - multiple file\", "
                                                               "max size \"659.18 MB\"; UDP commands on port ")) +
                                 R"(\d+$)")
                  .match(lines[0])
                  .hasMatch())
      << lines[0].toStdString();
  EXPECT_TRUE(lines.last().contains("Summary: duration ")) << out.toStdString();
  EXPECT_TRUE(lines.last().contains(", Fails 0, ")) << out.toStdString();
  const QStringList wavs = QDir(q(root.path() + "srv/recordings")).entryList({"*.wav"});
  ASSERT_EQ(wavs.size(), 1);
  EXPECT_TRUE(lines.last().contains(wavs[0] + "\" " +
                                    QString::number(QFileInfo(q(root.path() + "srv/recordings/") + wavs[0]).size()) +
                                    " bytes"))
      << lines.last().toStdString();
  EXPECT_TRUE(QFile::exists(q(root.path() + "var/lib/quorvel/RecLog.Log")));
}

}  // namespace
}  // namespace qv
