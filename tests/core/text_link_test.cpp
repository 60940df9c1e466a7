// The text link: topics, datagrams, the UDP link and the tools panel's "Send".
#include <gtest/gtest.h>

#include "platform/doubles/fake_network.h"
#include "platform/text_link.h"
#include "remote/text_send.h"
#include "support/program_rig.h"

namespace qv {
namespace {

TEST(TextLinkTopic, HostPortOrABarePortAndNothingElse) {
  auto a = parseLinkTopic("192.168.1.20:7010");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->host, "192.168.1.20");
  EXPECT_EQ(a->port, 7010);
  a = parseLinkTopic(" logger.local:65535 ");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->host, "logger.local");
  EXPECT_EQ(a->port, 65535);
  a = parseLinkTopic("7000");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->host, "127.0.0.1");
  EXPECT_EQ(a->port, 7000);

  std::string why;
  EXPECT_FALSE(parseLinkTopic("", &why));
  EXPECT_EQ(why, "no link topic (use host:port, or a port for this machine)");
  EXPECT_FALSE(parseLinkTopic("   ", &why));
  EXPECT_EQ(why.rfind("no link topic", 0), 0u);
  for (const char* bad : {"excel|sheet1", "host:", ":80", "host:0", "host:65536", "host:99999999999", "a b:80",
                          "host:80:81", "host:8x", "-5", "0"}) {
    why.clear();
    EXPECT_FALSE(parseLinkTopic(bad, &why)) << bad;
    EXPECT_EQ(why.rfind("bad link topic \"", 0), 0u) << bad << ": " << why;
  }
}

TEST(TextLinkTopic, TheItemLeadsTheTextAfterATab) {
  EXPECT_EQ(linkDatagram("FileInfo", "a.wav, 00:00:01.000"), "FileInfo\ta.wav, 00:00:01.000");
  EXPECT_EQ(linkDatagram("", "just text"), "just text");
}

TEST(UdpTextLink, SendsOneDatagramPerMessageAndReportsAFailedSend) {
  FakeNetwork net;
  UdpTextLink link(net);
  EXPECT_EQ(link.send({"10.0.0.7", 9100}, "Item", "hello"), "");
  EXPECT_EQ(link.send({"10.0.0.7", 9101}, "", "again"), "");
  auto sent = net.allSent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].host, "10.0.0.7");
  EXPECT_EQ(sent[0].port, 9100);
  EXPECT_EQ(sent[0].data, "Item\thello");
  EXPECT_EQ(sent[1].data, "again");
  // One socket serves every message.
  EXPECT_EQ(net.udpSockets.size(), 1u);

  net.udpSockets[0]->sendResult = false;
  EXPECT_EQ(link.send({"10.0.0.7", 9100}, "Item", "lost"), "cannot send to 10.0.0.7:9100");
}

struct SendRig : test::ProgramRig {
  void send(const std::string& topic, const std::string& item, const std::string& text) {
    options2("Text4").setText(topic);
    options2("Text5").setText(item);
    options2("Text3").setText(text);
    p().setStatus("ready");
    options2("cmdSendText").click();
  }
};

TEST(TextSend, SendGoesToTheTopicAndItemOfThePanel) {
  SendRig r;
  r.send("7000", "", "position 12");
  ASSERT_EQ(r.textLink.sent.size(), 1u);
  EXPECT_EQ(r.textLink.sent[0].host, "127.0.0.1");
  EXPECT_EQ(r.textLink.sent[0].port, 7000);
  EXPECT_EQ(r.textLink.sent[0].datagram, "position 12");
  EXPECT_EQ(r.p().status(), "ready");
  EXPECT_TRUE(cmdSendText_Click(r.p()));
}

TEST(TextSend, AMissingOrMalformedTopicOrAFailedLinkSendsNothingAndSaysWhyEveryTime) {
  SendRig r;
  r.send("", "Item", "x");
  EXPECT_EQ(r.p().status(), "Text link: no link topic (use host:port, or a port for this machine)");
  r.send("somewhere", "Item", "x");
  EXPECT_EQ(r.p().status(), "Text link: bad link topic \"somewhere\" (use host:port, or a port for this machine)");
  // The operator pressing again hears it again.
  r.send("somewhere", "Item", "x");
  EXPECT_EQ(r.p().status().rfind("Text link: bad link topic", 0), 0u);
  EXPECT_TRUE(r.textLink.sent.empty());

  r.textLink.failure = "cannot send to 127.0.0.1:7000";
  r.send("7000", "Item", "x");
  EXPECT_EQ(r.p().status(), "Text link: cannot send to 127.0.0.1:7000");
  EXPECT_FALSE(cmdSendText_Click(r.p()));
}

}  // namespace
}  // namespace qv
