#include <gtest/gtest.h>

#include <filesystem>

#include "core/designer.h"
#include "recording/ram_buffer.h"
#include "recording/recording_files.h"
#include "recording_fixture.h"

namespace qv {
namespace {

using test::readFile;
using test::RecordingFixture;

TEST(RecordingText, FormatDurationFields) {
  EXPECT_EQ(FormatDuration(0), "00:00:00.000");
  EXPECT_EQ(FormatDuration(3713.7), "01:01:53.700");
  EXPECT_EQ(FormatDuration(59.25), "00:00:59.250");
  EXPECT_EQ(FormatDuration(100 * 3600 + 61.5), "00:01:01.500");  // hours keep their last two digits
  EXPECT_EQ(FormatDuration(0.0004), "00:00:00.000");
  // A fraction that rounds to a whole second carries into the seconds.
  EXPECT_EQ(FormatDuration(59.9996), "00:01:00.000");
}

TEST(RecordingText, NumbersAndZones) {
  EXPECT_EQ(rec::numText(680.0), " 680");
  EXPECT_EQ(rec::numText(659.18), " 659.18");
  EXPECT_EQ(rec::numText(0.5), " .5");
  EXPECT_EQ(rec::numText(int64_t{-3}), "-3");
  EXPECT_EQ(rec::printZones({"a", "", "b"}), std::string("a") + std::string(27, ' ') + "b");
  // An item filling its zone still leaves a blank before the next one.
  EXPECT_EQ(rec::printZones({"12345678901234", "x"}), "12345678901234" + std::string(14, ' ') + "x");
}

struct FileNames : RecordingFixture {
  std::string name(int32_t index = 1) {
    std::string rf, np;
    CreateFileName(p(), rf, np, index, "/rec/");
    EXPECT_EQ(rf, "/rec/" + np + ".wav");
    return np;
  }
};

TEST_F(FileNames, DefaultsGivePrefixSeparatorAndTimeStamp) { EXPECT_EQ(name(), "Quorvel _20260115 105930"); }

TEST_F(FileNames, EveryOptionInOrderWithTheSeparator) {
  opt("FSep").setText("-");
  opt("AddRecN").setValue(1);
  opt("AddUDP").setValue(1);
  opt("FileNamePostfix").setText("ship");
  p().form1()["DDETXT"].setCaption("  4330.1N 01020.2E  ");
  EXPECT_EQ(name(7), "Quorvel -0007-20260115 105930-4330.1N 01020.2E-ship");
  opt("AddUDP").setValue(0);
  opt("AddGPS").setValue(1);
  EXPECT_EQ(name(12345), "Quorvel -2345-20260115 105930-4330.1N 01020.2E-ship");
}

TEST_F(FileNames, NumberKeepsItsLastFourDigits) {
  opt("FileRecNameField").setText("");
  opt("AddTimeStamp").setValue(0);
  opt("AddRecN").setValue(1);
  EXPECT_EQ(name(1), "_0001");  // an empty prefix still gets the separator
  EXPECT_EQ(name(10000), "_0000");
}

TEST_F(FileNames, NothingChosenGivesTheTimeStampAlone) {
  opt("FileRecNameField").setText("");
  opt("AddTimeStamp").setValue(0);
  EXPECT_EQ(name(), "20260115 105930");
}

TEST_F(FileNames, GpsTextIsClearedWhenNotUsedAndNeverMakesAFolder) {
  p().form1()["DDETXT"].setCaption("old fix");
  p().vars().DDETXT = "old fix";
  EXPECT_EQ(name(), "Quorvel _20260115 105930");
  EXPECT_EQ(p().form1()["DDETXT"].caption(), "");
  EXPECT_EQ(p().vars().DDETXT, "");

  opt("AddGPS").setValue(1);
  p().form1()["DDETXT"].setCaption("N43/E10");
  EXPECT_EQ(name(), "Quorvel _20260115 105930_N43-E10");

  // A GPS sentence, a note-like prefix and postfix: nothing a FAT or exFAT card refuses.
  opt("AddGPS").setValue(0);
  opt("AddUDP").setValue(1);
  p().form1()["DDETXT"].setCaption("$GPRMC,123519,A,4807.038,N*6A \"fix\" <ok?>|x\\y\tz");
  opt("FileRecNameField").setText("Sta:1 ");
  opt("FileNamePostfix").setText("a*b");
  EXPECT_EQ(name(), "Sta-1 _20260115 105930_$GPRMC,123519,A,4807.038,N-6A -fix- -ok---x-y-z_a-b");
  // The buffer's automatic name follows the same rule.
  RamBuffer buffer(p(), [](const std::string&) {});
  EXPECT_EQ(buffer.automaticName(), "buffer end at 20260115 105930 $GPRMC,123519,A,4807.038,N-6A -fix- -ok---x-y-z");
}

TEST_F(FileNames, SeparatorThatWouldBreakAPathIsRefused) {
  installRecordingFiles(p());
  opt("FSep").setText("/");
  EXPECT_EQ(opt("FSep").text(), "_");
  ASSERT_EQ(dialogs.texts().size(), 1u);
  EXPECT_EQ(dialogs.texts()[0], "Separator char (not allowed: /\\;:)");
  opt("FSep").setText("-");
  EXPECT_EQ(opt("FSep").text(), "-");
}

struct RecLog : RecordingFixture {
  RecLog() { installRecordingFiles(p()); }
  std::string log() { return readFile(p().vars().RecLogFile); }
};

TEST_F(RecLog, LinesInPrintZonesEndedByCrLf) {
  EXPECT_EQ(p().vars().RecLogFile, dir.path() + "RecLog.Log");
  p().vars().Task = 1;
  ASSERT_TRUE(AppendRecLog(p(), "Fail"));
  p().vars().Task = 2;
  p().vars().FileTime = "";
  ASSERT_TRUE(AppendRecLog(p(), reclog::creating("/r/a.wav", "2 - single file")));
  clock.advance(62.5);
  p().vars().FileTime = "00:01:02.500";
  ASSERT_TRUE(AppendRecLog(p(), reclog::kPausing));
  EXPECT_EQ(log(),
            // date at 1, time at 15, message at 29
            "01-15-2026    10:59:30      Fail\r\n"
            // recording: FileTime (empty) at 29, message at 43
            "01-15-2026    10:59:30                    Creating /r/a.wav Rec Mode 2 - single file\r\n"
            "01-15-2026    11:00:32      00:01:02.500  Pausing...\r\n");
}

TEST_F(RecLog, MessagesOfTheTable) {
  EXPECT_EQ(reclog::runStart(2, 48000, "USB Audio", 16384), " 2ch 48000 USB Audio block 16384");
  EXPECT_EQ(reclog::rewriting("/r/a.wav"), "rewriting /r/a.wav");
  EXPECT_EQ(reclog::closing("Closing  ", "/r/a.wav", 0, 3), "Closing  /r/a.wav Fails 0 Overloads 3");
  EXPECT_EQ(reclog::closing("Disk Full - Closing  ", "/r/a.wav", 1, 0),
            "Disk Full - Closing  /r/a.wav Fails 1 Overloads 0");
  EXPECT_EQ(reclog::created("Created ", "/r/b.wav"), "Created /r/b.wav");
  EXPECT_EQ(reclog::switchTo("/mnt/b/"), "Switch to /mnt/b/");
  EXPECT_EQ(reclog::stopNonWritable("/mnt/b/"), "Stop: /mnt/b/ non writable");
  EXPECT_EQ(reclog::stopDiskFull("/mnt/b/"), "Stop: /mnt/b/ Disk Full");
  EXPECT_EQ(reclog::endOfRecording("/r/a.wav", 48 + 10240, 2, 0), "Closing  /r/a.wav 10kB Fails 2 Overloads 0");
}

TEST_F(RecLog, UnwritableLogIsReportedNotFatal) {
  EXPECT_FALSE(AppendRecLog(p(), dir.path() + "missing/RecLog.Log", "x"));
}


struct Panel : RecordingFixture {
  Panel() { installRecordingFiles(p()); }
  Control& label4() { return p().form1()["Label4"]; }
};

TEST_F(Panel, RecStatusDescribesSizeModeAndSplit) {
  label4().setCaption("Recording");
  ShowRecStatus(p(), "/r/a.wav");
  EXPECT_EQ(label4().caption(), "Recording  Rec /r/a.wav (max 680MB)");

  opt("FileModeCombo").setText("3 - multiple file");
  opt("FileMaxSizeCombo").setText("1360 MB");
  label4().setCaption("");
  ShowRecStatus(p(), "/r/b.wav");
  EXPECT_EQ(label4().caption(), "  Rec /r/b.wav (max 1360MB)(Repeat)");

  opt("SplitHourly").setValue(1);
  label4().setCaption("");
  ShowRecStatus(p(), "/r/c.wav");
  EXPECT_EQ(label4().caption(), "  Rec /r/c.wav (Split hourly)(Repeat)");
}

TEST_F(Panel, DurationFollowsSizeRateAndChannels) {
  opt("FileMaxSizeCombo").setText("659.18 MB");
  EXPECT_DOUBLE_EQ(p().vars().RecDuration, 3600.0);
  EXPECT_EQ(opt("RecDurationLabel").caption(), "= 01:00:00");
  opt("FileMaxSizeCombo").setText("680 MB (CD size)");
  EXPECT_DOUBLE_EQ(p().vars().RecDuration, 3713.7);
  EXPECT_EQ(opt("RecDurationLabel").caption(), "= 01:01:53");
  opt("NchanCombo").setText("1 - mono");
  EXPECT_DOUBLE_EQ(p().vars().RecDuration, 7427.4);
  opt("Combo2").setText("96000");
  EXPECT_DOUBLE_EQ(p().vars().RecDuration, 3713.7);
  RecordingLimits l;
  opt("FileMaxSizeCombo").setText("659.18 MB");
  ASSERT_TRUE(readRecordingLimits(p(), l, nullptr));
  EXPECT_EQ(l.maxFileBytes, 691200328);  // 659.18 x 1048576, rounded
}

TEST_F(Panel, HourlySplitNeedsAnHourAndOnlyMultipleFilesEnableIt) {
  opt("FileModeCombo").setText("1 - circular");
  EXPECT_FALSE(opt("SplitHourly").enabled());
  EXPECT_FALSE(opt("SpanDiskCheck").enabled());
  opt("FileModeCombo").setText("3 - multiple file");
  EXPECT_TRUE(opt("SplitHourly").enabled());
  EXPECT_TRUE(opt("SpanDiskCheck").enabled());

  opt("FileMaxSizeCombo").setText("128 MB");
  opt("SplitHourly").click();
  EXPECT_EQ(opt("SplitHourly").value(), 0);
  ASSERT_EQ(dialogs.texts().size(), 1u);
  EXPECT_EQ(dialogs.texts()[0],
            "<Split Hourly> option requires a rec duration longer than 60 minutes!\n"
            "Modify <Max Size> accordingly\nSet 680MB for stereo 48kHz or 1360MB for stereo 96kHz");

  opt("FileMaxSizeCombo").setText("680 MB (CD size)");
  opt("SplitHourly").click();
  EXPECT_EQ(opt("SplitHourly").value(), 1);
  // Leaving multiple-file mode keeps the value, only disables the box.
  opt("FileModeCombo").setText("1 - circular");
  EXPECT_EQ(opt("SplitHourly").value(), 1);
  EXPECT_FALSE(opt("SplitHourly").enabled());
  EXPECT_EQ(dialogs.texts().size(), 1u);
}

TEST_F(Panel, SetExactTimeWritesTheSizeOfThoseMinutes) {
  dialogs.inputs.push_back("60");
  opt("SetExactTime").click();
  EXPECT_EQ(opt("FileMaxSizeCombo").text(), " 659.18 MB");
  EXPECT_DOUBLE_EQ(p().vars().RecDuration, 3600.0);
  dialogs.inputs.push_back("0");
  dialogs.inputs.push_back("abc");
  opt("SetExactTime").click();
  opt("SetExactTime").click();
  EXPECT_EQ(opt("FileMaxSizeCombo").text(), " 659.18 MB");
}

TEST_F(Panel, SizesBeyondWhatAWavHoldsAreRefusedNotWrapped) {
  // 2048 MB and more go past 2^31 bytes: computed in 64 bits.
  opt("FileMaxSizeCombo").setText("3000 MB");
  RecordingLimits l;
  ASSERT_TRUE(readRecordingLimits(p(), l, nullptr));
  EXPECT_EQ(l.maxFileBytes, 3000LL * 1048576);
  EXPECT_EQ(l.maxFileKB, 3000LL * 1024);
  EXPECT_TRUE(dialogs.texts().empty());

  opt("FileMaxSizeCombo").setText("5000 MB");
  EXPECT_EQ(opt("FileMaxSizeCombo").text(), "3000 MB");  // the last size that fits
  ASSERT_EQ(dialogs.texts().size(), 1u);
  EXPECT_EQ(dialogs.texts()[0], "Max Size 5000 MB is too large: a WAV file holds at most 4095 MB");

  // 3000 minutes of 192 kHz stereo: 2^31 bytes passed, more than 4 GB asked.
  opt("Combo2").setText("192000");
  dialogs.inputs.push_back("3000");
  opt("SetExactTime").click();
  EXPECT_EQ(opt("FileMaxSizeCombo").text(), "3000 MB");
  EXPECT_EQ(dialogs.texts().size(), 3u);
  // 60 minutes of the same: 2764800000 bytes, past 2^31, accepted.
  dialogs.inputs.push_back("60");
  opt("SetExactTime").click();
  EXPECT_EQ(opt("FileMaxSizeCombo").text(), " 2636.72 MB");

  std::string err;
  p().options0()["FileMaxSizeCombo"].setText("0 MB");
  EXPECT_FALSE(readRecordingLimits(p(), l, &err));
  EXPECT_EQ(err, "Max Size must be above 0 MB");
}

TEST_F(Panel, FreeSpaceLabel) {
  EXPECT_EQ(freeSpaceText(1234567, "/data/"), "( 1234 MB free on drive /data/)");
  EXPECT_EQ(freeSpaceText(2000001, "/data/"), "( > 2GB free on drive /data/)");
  disk.freeByPrefix["/small/"] = 51000;
  opt("FileRecPathField").setText("/small/rec/");
  EXPECT_EQ(opt("FreeSpaceLabel").caption(), "( 51 MB free on drive /small/rec/)");
}

TEST_F(Panel, SetPathTakesOnlyAWritableFolder) {
  disk.notWritable.insert("/ro/");
  dialogs.saveAnswers.push_back("/ro/-");
  opt("SetPath").click();
  EXPECT_EQ(opt("FileRecPathField").text(), dir.path());
  EXPECT_EQ(dialogs.texts().back(), "Cannot write to /ro/");
  dialogs.saveAnswers.push_back("/rw/x/-");
  opt("SetPath").click();
  EXPECT_EQ(opt("FileRecPathField").text(), "/rw/x/");
  opt("SetPath").click();  // cancelled
  EXPECT_EQ(opt("FileRecPathField").text(), "/rw/x/");
}

TEST_F(Panel, RecordingFolderCreatedOnceAtStartUp) {
  opt("FileRecPathField").setText(dir.path() + "rec");
  createRecordingFolder(p());
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() + "rec"));
  createRecordingFolder(p());  // existing: ignored
  // A folder whose parent is missing (an unmounted disk) is not made.
  opt("FileRecPathField").setText(dir.path() + "media/disk/rec/");
  createRecordingFolder(p());
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "media"));
}

struct Spanning : RecordingFixture {
  Spanning() {
    installRecordingFiles(p());
    opt("SpanFolders").setText("/mnt/b/rec ; /mnt/c/rec/;/mnt/d/");
    disk.freeByPrefix["/mnt/a/"] = 50000;
    disk.freeByPrefix["/mnt/b/"] = 900000;
    disk.freeByPrefix["/mnt/c/"] = 900000;
    disk.freeByPrefix["/mnt/d/"] = 900000;
  }
  std::string log() { return readFile(p().vars().RecLogFile); }
};

TEST_F(Spanning, FindDriveWithSpaceTriesTheFolderThenTheList) {
  EXPECT_EQ(spanFolders(p()), (std::vector<std::string>{"/mnt/b/rec/", "/mnt/c/rec/", "/mnt/d/"}));
  disk.notWritable.insert("/mnt/b/rec/");

  std::string path = "/mnt/a/rec/";
  int64_t needed = 696320;
  EXPECT_FALSE(FindDriveWithSpace(p(), path, needed, 1));
  EXPECT_EQ(needed, 0);
  EXPECT_EQ(path, "/mnt/a/rec/");

  needed = 696320;
  EXPECT_FALSE(FindDriveWithSpace(p(), path, needed, 2));  // b is not writable

  needed = 696320;
  EXPECT_TRUE(FindDriveWithSpace(p(), path, needed, 9));
  EXPECT_EQ(path, "/mnt/c/rec/");
  EXPECT_EQ(needed, 900000);

  // The folder itself qualifies: it stays as it is.
  path = "/mnt/d/";
  needed = 1000;
  EXPECT_TRUE(FindDriveWithSpace(p(), path, needed, 1));
  EXPECT_EQ(path, "/mnt/d/");
  EXPECT_EQ(needed, 900000);
}

TEST_F(Spanning, DiskFullMovesToTheNextFolderOrStops) {
  opt("SpanDiskCheck").setValue(1);
  SpanResult r = spanToNextFolder(p(), "/mnt/a/rec/", 696320);
  EXPECT_TRUE(r.carryOn);
  EXPECT_EQ(r.folder, "/mnt/b/rec/");

  disk.notWritable.insert("/mnt/c/rec/");
  r = spanToNextFolder(p(), r.folder, 696320);
  EXPECT_FALSE(r.carryOn);
  EXPECT_EQ(r.folder, "/mnt/c/rec/");

  disk.freeByPrefix["/mnt/d/"] = 1000;
  r = spanToNextFolder(p(), "/mnt/c/rec/", 696320);
  EXPECT_FALSE(r.carryOn);

  r = spanToNextFolder(p(), "/mnt/d/", 696320);  // last of the list
  EXPECT_FALSE(r.carryOn);

  opt("SpanDiskCheck").setValue(0);
  r = spanToNextFolder(p(), "/mnt/a/rec/", 696320);
  EXPECT_FALSE(r.carryOn);

  std::string expected;
  for (const char* m : {"Switch to /mnt/b/rec/", "Switch to /mnt/c/rec/", "Stop: /mnt/c/rec/ non writable",
                        "Switch to /mnt/d/", "Stop: /mnt/d/ Disk Full", "Stop: /mnt/d/ Disk Full",
                        "Stop: /mnt/a/rec/ Disk Full"})
    expected += "01-15-2026    10:59:30      " + std::string(m) + "\r\n";
  EXPECT_EQ(log(), expected);
}

TEST(RecordingDisk, HelpersOnARealFolder) {
  test::TempDir d;
  EXPECT_FALSE(FileExists(d.file("a.wav")));
  test::writeFile(d.file("a.wav"), "x");
  EXPECT_TRUE(FileExists(d.file("a.wav")));
  FakeDisk disk;
  disk.freeByPrefix[d.path()] = 1234;
  int64_t total = 0, free = 0;
  EXPECT_TRUE(GetDiskFreeKB(disk, d.file("a.wav"), total, free));
  EXPECT_EQ(free, 1234);
  disk.notWritable.insert(d.path());
  EXPECT_EQ(IsDriveWritable(disk, d.file("a.wav")), 0);
  EXPECT_EQ(IsDriveWritable(disk, d.path() + "sub/"), 1);
}

}  // namespace
}  // namespace qv
