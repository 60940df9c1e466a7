// The station's account of its runs, driven through the assembled program:
// what it tells must be what the recording log and the disk hold.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <set>
#include <regex>

#include "config/command_line.h"
#include "config/startup.h"
#include "recording/station.h"
#include "support/program_rig.h"
#include "core/recording_loop_util.h"

namespace qv {
namespace {

struct StationRig : test::ProgramRig {
  std::vector<StationEvent> events;
  std::vector<RunFigures> ends;
  int64_t filled = 0;  // buffers the device filled

  StationRig() {
    startUp(p(), CommandLine{}, *subsystems->hooks, StartupOptions{false});
    options2("Combo2").setText("4");  // WaveIn buffers
    station().onEvent([this](const StationEvent& e) { events.push_back(e); });
    station().onRunEnd([this](const RunFigures& f) { ends.push_back(f); });
  }
  Control& options2(const std::string& name) { return program->options2()[name]; }
  Station& station() { return *findStation(p()); }
  // Every pass the device fills one buffer with `value`; from pass `stopAt` on
  // Stop is pressed. Extra work per pass comes from `alsoAt`.
  void run(long stopAt, int16_t value, std::map<long, std::function<void()>> alsoAt = {}) {
    pump.every([this, stopAt, value, alsoAt] {
      clock.advance(0.05);
      if (auto it = alsoAt.find(pump.passes); it != alsoAt.end()) it->second();
      if (pump.passes < stopAt) fill(value);
      if (pump.passes == stopAt) form1("StartStop").click();
    });
    form1("StartStop").click();
  }
  void fill(int16_t value) { filled += audioIn.completeNextWith(value) ? 1 : 0; }
  std::vector<std::string> eventMessages() const {
    std::vector<std::string> m;
    for (auto& e : events) m.push_back(e.message);
    return m;
  }
};

int64_t fileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

std::vector<std::string> wavFilesIn(const std::string& folder) {
  std::vector<std::string> out;
  for (auto& e : std::filesystem::directory_iterator(folder))
    if (e.path().extension() == ".wav") out.push_back(e.path().string());
  std::sort(out.begin(), out.end());
  return out;
}

// GIVEN a multiple-file recording with overloaded blocks, gaps and a buffer save
// WHEN it runs over two rollovers and is stopped
// THEN every log line was told as it was written, and the summary's files,
//      sizes, blocks, fails and overloads are what the disk and the log hold.
TEST(Station, MultipleFileRunIsToldLineByLineAndSummedFromDiskAndLog) {
  StationRig rig;
  rig.form1("RealTimeRecording").click();
  rig.options0("FileModeCombo").setText("3 - multiple file");
  rig.options0("FileMaxSizeCombo").setText("1 MB");
  rig.form1("Combo1").setText("16384");
  rig.form1("Combo12").setText("4 Mbytes");  // RAM buffer, saved mid-run
  // Pass 20 finds all four buffers full: a gap. Pass 40 saves the buffer.
  std::map<long, std::function<void()>> also = {
      {20, [&] { for (int i = 0; i < 3; ++i) rig.fill(32767); }},
      {40, [&] { rig.form1("SaveBuffer").click(); }},
      {41, [&] { rig.form1("SaveBuffer").click(); }},  // the same second: the next free name
  };
  rig.run(90, 32767, also);

  ASSERT_EQ(rig.ends.size(), 1u);
  const RunFigures& f = rig.ends[0];
  EXPECT_EQ(f.outcome, RunOutcome::Ended);
  EXPECT_EQ(f.task, 2);

  // The events are the log's lines, in order, with the buffer save among them.
  std::vector<std::string> logged;
  for (const std::string& line : test::logLines(rig.p().vars().RecLogFile)) logged.push_back(line.substr(42));
  std::vector<std::string> told;
  for (const std::string& m : rig.eventMessages())
    if (m.rfind("Buffer saved ", 0) != 0) told.push_back(m);
  EXPECT_EQ(told, logged);
  EXPECT_EQ(std::count_if(logged.begin(), logged.end(), [](auto& l) { return l.rfind("Creat", 0) == 0; }), 3);

  // Files: the three recordings and the two buffer files, with their sizes on disk.
  const std::vector<std::string> onDisk = wavFilesIn(rig.home.path());
  ASSERT_EQ(onDisk.size(), 5u);
  ASSERT_EQ(f.files.size(), 5u);
  std::set<std::string> named;
  for (const WrittenFile& w : f.files) named.insert(w.path);
  EXPECT_EQ(named.size(), 5u) << "each file under the name it was given";
  for (const WrittenFile& w : f.files) {
    EXPECT_NE(std::find(onDisk.begin(), onDisk.end(), w.path), onDisk.end()) << w.path;
    EXPECT_EQ(w.bytes, fileSize(w.path)) << w.path;
  }
  EXPECT_EQ(std::count_if(rig.events.begin(), rig.events.end(),
                          [](auto& e) {
                            return e.message.rfind("Buffer saved ", 0) == 0 &&
                                   e.message.find("/buffer end at ") != std::string::npos;
                          }),
            2);

  // Blocks and gaps as the loop saw them; overloads as the closing lines report them.
  EXPECT_EQ(f.blocks, rig.filled);
  EXPECT_EQ(f.fails, std::count(logged.begin(), logged.end(), "Fail"));
  EXPECT_GE(f.fails, 1);
  int64_t loggedOverloads = 0;
  std::regex closing(R"(^Clos.* Overloads (\d+)$)");
  for (const std::string& l : logged) {
    std::smatch m;
    if (std::regex_match(l, m, closing)) loggedOverloads += std::stoll(m[1]);
  }
  EXPECT_GT(loggedOverloads, 0);
  EXPECT_EQ(f.overloads, loggedOverloads);

  // Each event line carries the date, the time and, while recording, the file time.
  EXPECT_EQ(stationEventLine(rig.events[1]).substr(0, 29), "2026-01-15 10:59:30 Creating ");
  const StationEvent& last = rig.events.back();
  ASSERT_FALSE(last.fileTime.empty());
  EXPECT_EQ(stationEventLine(last).substr(19), " [" + last.fileTime + "] " + last.message);

  const std::string line = runSummaryLine(f, rig.clock.now());
  EXPECT_NE(line.find("Fails " + std::to_string(f.fails)), std::string::npos) << line;
  EXPECT_NE(line.find("files 5: "), std::string::npos) << line;
  for (const WrittenFile& w : f.files)
    EXPECT_NE(line.find("\"" + w.path + "\" " + std::to_string(w.bytes) + " bytes"), std::string::npos) << line;
  EXPECT_EQ(rig.station().troubledRuns(), 0);
}

// GIVEN runs that cannot start (no space, a device that refuses the format)
//   and one that ends on a full disk
// THEN each is counted as troubled, with the reason, and a good run after
//      them is not.
TEST(Station, RunsThatDoNotStartOrEndOnAnErrorAreTroubled) {
  StationRig rig;
  rig.form1("RealTimeRecording").click();

  rig.disk.freeByPrefix[rig.home.path()] = 10;
  rig.form1("StartStop").click();
  ASSERT_EQ(rig.ends.size(), 1u);
  EXPECT_EQ(rig.ends[0].outcome, RunOutcome::NotStarted);
  EXPECT_TRUE(rig.ends[0].files.empty());
  EXPECT_EQ(runSummaryLine(rig.ends[0], rig.clock.now()).substr(20), "Summary: the run did not start");
  rig.disk.freeByPrefix.clear();

  rig.audioIn.queryResult = kWaveBadFormat;
  rig.form1("StartStop").click();
  ASSERT_EQ(rig.ends.size(), 2u);
  EXPECT_EQ(rig.ends[1].outcome, RunOutcome::NotStarted);
  rig.audioIn.queryResult = kWaveOk;

  // Single-file mode: the disk fills after a few blocks.
  rig.run(1000, 100, {{5, [&] { rig.disk.freeByPrefix[rig.home.path()] = 50; }}});
  ASSERT_EQ(rig.ends.size(), 3u);
  const RunFigures& full = rig.ends[2];
  EXPECT_EQ(full.outcome, RunOutcome::Failed);
  EXPECT_EQ(full.error.rfind("Disk Full - Closing ", 0), 0u) << full.error;
  ASSERT_EQ(full.files.size(), 1u);
  EXPECT_EQ(full.files[0].bytes, fileSize(full.files[0].path));
  EXPECT_GT(full.files[0].bytes, 48);
  EXPECT_NE(runSummaryLine(full, rig.clock.now()).find("ended on an error (Disk Full - Closing "), std::string::npos);
  EXPECT_EQ(rig.station().troubledRuns(), 3);

  rig.disk.freeByPrefix.clear();
  rig.pump = ScriptedPump{};
  rig.run(8, 100);
  ASSERT_EQ(rig.ends.size(), 4u);
  EXPECT_EQ(rig.ends[3].outcome, RunOutcome::Ended);
  EXPECT_EQ(rig.station().troubledRuns(), 3);
  EXPECT_EQ(rig.station().runs(), 4);
}

// Without recording: blocks and overloads of the loop, no files; while the
// run goes on, the figures and the remote status follow it.
TEST(Station, AnalysisRunHasNoFilesAndItsFiguresFollowTheRun) {
  StationRig rig;
  rig.form1("RealTimeAnalysis").click();
  RunFigures during;
  StationStatus status;
  int overloadsThen = -1;
  rig.run(12, 32767, {{8, [&] {
                         during = rig.station().current();
                         status = stationStatus(rig.p());
                         overloadsThen = rig.p().vars().OverloadCount;
                       }}});
  EXPECT_EQ(during.outcome, RunOutcome::Running);
  EXPECT_GT(during.blocks, 0);
  EXPECT_GT(during.seconds, 0);
  EXPECT_TRUE(status.running);
  EXPECT_EQ(status.task, 1);
  EXPECT_GT(overloadsThen, 0);
  EXPECT_EQ(status.overloads, overloadsThen);
  EXPECT_EQ(during.overloads, overloadsThen);
  ASSERT_EQ(rig.ends.size(), 1u);
  const RunFigures& f = rig.ends[0];
  EXPECT_EQ(f.outcome, RunOutcome::Ended);
  EXPECT_EQ(f.blocks, 11);
  EXPECT_EQ(f.overloads, rig.p().vars().OverloadCount);
  EXPECT_GT(f.overloads, 0);
  EXPECT_TRUE(f.files.empty());
  const std::string line = runSummaryLine(f, rig.clock.now());
  EXPECT_EQ(line.find("files"), std::string::npos) << line;
  EXPECT_NE(line.find("blocks 11, Fails 0, Overloads "), std::string::npos) << line;
  EXPECT_FALSE(stationStatus(rig.p()).running);
}

}  // namespace
}  // namespace qv
