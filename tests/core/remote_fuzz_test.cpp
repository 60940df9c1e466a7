// Garbage on the UDP ports: nothing crashes and no control changes, except
// the boxes that show what arrived.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <sstream>

#include "remote_fixture.h"

namespace qv {
namespace {

using test::RemoteRig;

// Every control's state on every window, one line each, but for the named ones.
std::vector<std::string> controlsSnapshot(Program& p, const std::vector<std::string>& except) {
  std::vector<std::string> lines;
  for (Form* f : p.forms().all()) {
    for (auto& c : f->controls()) {
      if (std::find(except.begin(), except.end(), c->name()) != except.end()) continue;
      std::ostringstream o;
      o << c->key() << '|' << c->text() << '|' << c->caption() << '|' << c->value() << '|' << c->listIndex() << '|'
        << c->enabled() << c->visible() << '|' << c->items().size();
      lines.push_back(o.str());
    }
  }
  const PublicVars& v = p.vars();
  std::ostringstream o;
  o << "vars|" << v.Task << v.StopFlag << '|' << v.RecFile << '|' << v.SampleRate << '|' << v.Channels;
  lines.push_back(o.str());
  return lines;
}

struct Garbage {
  std::mt19937 rng{20261207};

  std::string bytes(size_t n) {
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng() & 0xFF);
    return s;
  }
  // A word no command could be: it always holds a digit, and no command word does.
  std::string junkWord() {
    std::string w = bytes(rng() % 24);
    for (char& c : w)
      if (c == ',') c = ';';
    w.insert(w.begin() + static_cast<long>(w.empty() ? 0 : rng() % w.size()), static_cast<char>('0' + rng() % 10));
    return w;
  }
  std::string next(long i) {
    static const char* nearMisses[] = {
        "$qvlpro,START", "$QVLPRO START",  " $QVLPRO,STOP",  "$QVLPRO;RECMODE",  "$QVLPRO,STAR", "$QVLPRO,STOPP",
        "$QVLPRO,S T O P", "$QVLPRO,START2", "$QVLPRO,\vSTOP", "$QVLPRO,RECMODE!", "QVLPRO,START", "$QVLPRO"};
    switch (i % 10) {
      case 0: return nearMisses[(i / 10) % 12];
      case 1:
      case 2:
      case 3: return std::string(kUdpCommandPrefix) + junkWord() + (rng() % 2 ? "," + bytes(rng() % 40) : "");
      default:
        if (i % 1000 == 4) {
          // Datagrams of the largest size, with and without the prefix.
          std::string big = bytes(65507);
          if (i % 2000 == 4) {
            big.replace(0, 8, kUdpCommandPrefix);
            big[8] = '9';
          }
          return big;
        }
        return bytes(rng() % 600);
    }
  }
};

TEST(UdpFuzz, HundredThousandGarbageDatagramsChangeNothing) {
  RemoteRig r;
  FakeUdpSocket* cmd = r.enable();
  r.o0("AddUDP").setValue(1);
  FakeUdpSocket* gps = r.net.udpOn(r.remote->gpsPort());
  ASSERT_NE(cmd, nullptr);
  ASSERT_NE(gps, nullptr);
  r.p().setStatus("steady");
  const std::vector<std::string> shows = {"txtUDP2", "DDETXT"};
  const std::vector<std::string> before = controlsSnapshot(r.p(), shows);

  Garbage g;
  size_t echoes = 0;
  for (long i = 0; i < 100000; ++i) {
    const std::string d = g.next(i);
    if (i % 50 == 7) {
      gps->inject(d);
      const std::string& t = r.f1("DDETXT").caption();
      ASSERT_LE(t.size(), kGpsTextMax);
      for (unsigned char c : t) ASSERT_FALSE(c < 0x20 || c == 0x7F) << "datagram " << i;
    } else {
      cmd->inject(d);
      const std::string& t = r.o0("txtUDP2").text();
      ASSERT_LE(t.size(), kUdpDisplayMax + 3);
      for (unsigned char c : t) ASSERT_FALSE(c < 0x20 || c == 0x7F) << "datagram " << i;
    }
    echoes += cmd->sent.size();
    cmd->sent.clear();
  }
  const std::vector<std::string> after = controlsSnapshot(r.p(), shows);
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i], before[i]);
  EXPECT_TRUE(r.presses.empty());
  EXPECT_FALSE(std::filesystem::exists(r.p().vars().RecLogFile));
  EXPECT_TRUE(r.dialogs.shown.empty());
  EXPECT_GT(echoes, 30000u);  // the junk words were heard as commands and echoed

  // And it still answers.
  cmd->inject("$QVLPRO,STATUS");
  ASSERT_EQ(cmd->sent.size(), 2u);
  EXPECT_EQ(cmd->sent[1].data, "Status Stop Task 1 48000 x 1 Fails 0 OVL 0");
}

}  // namespace
}  // namespace qv
