#include <gtest/gtest.h>

#include "files/markers.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

TEST(MarkerFile, ReadsFiveValuesPerRecordAsListInput) {
  MarkerLoad m = parseMarkers(
      "1, 48000, 0.5, 1.25, \"click, loud\"\r\n"
      "2 96000 0 0 whistle\r\n"
      "\r\n"
      "  3,\t1e3, -1, 2,plain label  \n"
      "4, 5, 6");  // incomplete: ignored
  ASSERT_EQ(m.markers.size(), 3u);
  EXPECT_EQ(m.recordsInFile, 3);
  EXPECT_FALSE(m.truncated());
  EXPECT_TRUE(m.notice().empty());
  EXPECT_EQ(m.markers[0].id, 1);
  EXPECT_EQ(m.markers[0].sampleIndex, 48000);
  EXPECT_FLOAT_EQ(m.markers[0].b, 1.25f);
  EXPECT_EQ(m.markers[0].label, "click, loud");
  EXPECT_EQ(m.markers[1].sampleIndex, 96000);
  EXPECT_EQ(m.markers[1].label, "whistle");
  EXPECT_EQ(m.markers[2].sampleIndex, 1000);
  EXPECT_EQ(m.markers[2].label, "plain label");
  // Sample indices beyond 32 bits (files of more than 4 GB) are kept.
  EXPECT_EQ(parseMarkers("9,5000000000,0,0,x").markers.at(0).sampleIndex, 5000000000LL);
  EXPECT_TRUE(parseMarkers("").markers.empty());
}

TEST(MarkerFile, MoreThanAHundredRecordsKeepTheFirstHundredAndSaySo) {
  test::TempDir d;
  std::string text;
  for (int i = 1; i <= 105; ++i) text += std::to_string(i) + "," + std::to_string(i * 10) + ",0,0,m" + std::to_string(i) + "\r\n";
  test::writeFile(d.file("TEST.mrk"), text);
  MarkerLoad m = readMarkerFile(d.file("TEST.mrk"));
  ASSERT_EQ(m.markers.size(), 100u);
  EXPECT_EQ(m.markers.back().label, "m100");
  EXPECT_EQ(m.recordsInFile, 105);
  EXPECT_TRUE(m.truncated());
  EXPECT_EQ(m.notice(), "TEST.mrk holds 105 markers: only the first 100 are shown");
  EXPECT_TRUE(readMarkerFile(d.file("none.mrk")).markers.empty());
}

TEST(Durations, PositionTextsInEveryForm) {
  EXPECT_DOUBLE_EQ(ParseDuration("1:02:03"), 3723);
  EXPECT_DOUBLE_EQ(ParseDuration("2:30"), 150);
  EXPECT_DOUBLE_EQ(ParseDuration("45.5"), 45.5);
  EXPECT_DOUBLE_EQ(ParseDuration(" 1: 2"), 62);
  EXPECT_DOUBLE_EQ(ParseDuration("00:00"), 0);
  EXPECT_DOUBLE_EQ(ParseDuration("abc"), 0);
  EXPECT_DOUBLE_EQ(ParseDuration("1:x:3"), 3603);
  EXPECT_DOUBLE_EQ(ParseDuration("10s"), 10);
  EXPECT_DOUBLE_EQ(ParseDuration("1:00:00:99"), 3600);
}

}  // namespace
}  // namespace qv
