#include <gtest/gtest.h>

#include "config/command_line.h"

namespace qv {
namespace {

TEST(CommandLine, OptionsAndClassicSwitches) {
  auto r = parseCommandLine({"--home", "/tmp/h", "--set", "OPTIONS0.chkUDPSlave=1", "--set=FORM1.HeadLine=a=b",
                             "--click", "FORM1.SetTcpIp", "--click=OPTIONS2.StartGPS", "--task", "2", "--start", "--quit-after", "1.5", "--headless", "rec1.wav", "/AUTO"});
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.cl.home, "/tmp/h");
  ASSERT_EQ(r.cl.sets.size(), 2u);
  EXPECT_EQ(r.cl.sets[0].first, "OPTIONS0.chkUDPSlave");
  EXPECT_EQ(r.cl.sets[1].second, "a=b");
  EXPECT_EQ(r.cl.clicks, (std::vector<std::string>{"FORM1.SetTcpIp", "OPTIONS2.StartGPS"}));
  EXPECT_EQ(*r.cl.task, 2);
  EXPECT_TRUE(r.cl.start);
  EXPECT_DOUBLE_EQ(*r.cl.quitAfterSeconds, 1.5);
  EXPECT_TRUE(r.cl.headless);
  EXPECT_EQ(r.cl.classicArgs, "rec1.wav /AUTO");
}

TEST(CommandLine, BadInputIsRefusedWithAMessage) {
  EXPECT_NE(parseCommandLine({"--frobnicate"}).error, "");
  EXPECT_NE(parseCommandLine({"--task", "7"}).error, "");
  EXPECT_NE(parseCommandLine({"--task"}).error, "");
  EXPECT_NE(parseCommandLine({"--set", "novalue"}).error, "");
  EXPECT_NE(parseCommandLine({"--click", "FORM1."}).error, "");
  EXPECT_NE(parseCommandLine({"--click"}).error, "");
  EXPECT_NE(parseCommandLine({"--quit-after", "-1"}).error, "");
  EXPECT_NE(parseCommandLine({"--quit-after", "abc"}).error, "");
}

}  // namespace
}  // namespace qv
