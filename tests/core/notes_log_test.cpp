#include <gtest/gtest.h>

#include <filesystem>

#include "recording/notes_log.h"
#include "recording_fixture.h"

namespace qv {
namespace {

using test::readFile;

struct Notes : test::RecordingFixture {
  Notes() {
    installNotes(p());
    p().vars().Task = 1;
  }
  Control& button(const char* name) { return p().form1()[name]; }
  std::string today() { return readFile(dir.path() + "notes 20260115.log"); }
};

TEST_F(Notes, RealTimeLinesCarryDateAndTime) {
  button("NoteR").click();
  clock.advance(5);
  p().vars().Task = 2;
  button("NoteWH").click();
  EXPECT_EQ(today(),
            "20260115  10:59:30  RC Regular Clicks\r\n"
            "20260115  10:59:35  HW High freq. whistles\r\n");
}

TEST_F(Notes, EveryButtonWritesItsText) {
  for (const NoteButton& b : noteButtons()) button(b.control).click();
  const std::string t = today();
  for (const char* text : {"RC Regular Clicks", "SN Sonar", "CD Codas", "C Clicks", "B Bursts",
                           "HW High freq. whistles", "LW Low freq. whistles", "SC Tonal ship noise",
                           "SP Pulsed ship noise", "N Nacchere", "notes..."})
    EXPECT_NE(t.find(std::string("  ") + text + "\r\n"), std::string::npos) << text;
  p().form1()["Text7"].setText("humpback song");
  button("NoteOther").click();
  EXPECT_NE(today().find("10:59:30  humpback song\r\n"), std::string::npos);
}

TEST_F(Notes, SeparatorSettingGoesBetweenBlanks) {
  p().options1()["NotesFieldSeparatorText"].setText(";");
  button("NoteSN").click();
  EXPECT_EQ(today(), "20260115 ; 10:59:30 ; SN Sonar\r\n");
}

TEST_F(Notes, FileModesUseTheFilePositionAndNameTheFileOnce) {
  p().vars().Task = 4;
  p().vars().CurrentFile = "/data/dolphins.wav";
  p().vars().FileTime = "00:01:30.250";
  button("NoteC").click();
  p().vars().FileTime = "00:02:00.000";
  button("NoteB").click();
  p().vars().CurrentFile = "/data/whales.wav";
  p().vars().Task = 3;
  p().vars().FileTime = "00:00:00.000";
  button("NoteCD").click();
  // Back in real time with no file open: the empty name is written once.
  p().vars().CurrentFile = "";
  p().vars().Task = 1;
  button("NoteN").click();
  EXPECT_EQ(today(),
            "/data/dolphins.wav\r\n"
            "00:01:30.250  C Clicks\r\n"
            "00:02:00.000  B Bursts\r\n"
            "/data/whales.wav\r\n"
            "00:00:00.000  CD Codas\r\n"
            "\r\n"
            "20260115  10:59:30  N Nacchere\r\n");
}

TEST_F(Notes, NothingOpenWritesNoNameLine) {
  button("NoteSC").click();
  EXPECT_EQ(today(), "20260115  10:59:30  SC Tonal ship noise\r\n");
}

TEST_F(Notes, EachDayHasItsFile) {
  button("NoteSP").click();
  clock.advance(14 * 3600);  // past midnight
  button("NoteSP").click();
  EXPECT_EQ(today(), "20260115  10:59:30  SP Pulsed ship noise\r\n");
  EXPECT_EQ(readFile(dir.path() + "notes 20260116.log"), "20260116  00:59:30  SP Pulsed ship noise\r\n");
}

TEST_F(Notes, FolderWithOrWithoutSlashAndMissingFolder) {
  NotesLog log(p());
  p().options1()["DefLogPath"].setText(dir.path() + "logs");
  EXPECT_EQ(log.fileName(), dir.path() + "logs/notes 20260115.log");
  p().options1()["DefLogPath"].setText(dir.path() + "logs/");
  EXPECT_EQ(log.fileName(), dir.path() + "logs/notes 20260115.log");
  ASSERT_TRUE(log.write("x"));  // the missing folder is made
  EXPECT_EQ(readFile(dir.path() + "logs/notes 20260115.log"), "20260115  10:59:30  x\r\n");
}

TEST_F(Notes, UnwritableFileIsReportedAndTheNameLineKept) {
  // A file where the folder should be: the note cannot be written.
  test::writeFile(dir.path() + "blocked", "");
  p().options1()["DefLogPath"].setText(dir.path() + "blocked/");
  p().vars().Task = 4;
  p().vars().CurrentFile = "/data/a.wav";
  NotesLog log(p());
  EXPECT_FALSE(log.write("x"));
  EXPECT_EQ(p().status(), "Note not written to " + dir.path() + "blocked/notes 20260115.log: " + dir.path() +
                             "blocked/ is a file, not a folder");
  // Once the folder is back, the name line still comes first.
  p().options1()["DefLogPath"].setText(dir.path());
  ASSERT_TRUE(log.write("y"));
  EXPECT_EQ(today(), "/data/a.wav\r\n  y\r\n");
}

}  // namespace
}  // namespace qv
