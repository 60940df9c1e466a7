// The station's web view driven as a browser would drive it (through the
// web server double) on the assembled program: access, commands, files and
// the spectrogram push.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "config/command_line.h"
#include "config/startup.h"
#include "remote/web_access.h"
#include "remote/web_view.h"
#include "support/program_rig.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

constexpr const char* kToken = "field-station-token-0123";

std::string get(const std::string& target, const std::string& extra = "") {
  return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:8765\r\n" + extra + "\r\n";
}
std::string post(const std::string& target, size_t length, const std::string& extra = "") {
  return "POST " + target + " HTTP/1.1\r\nHost: 127.0.0.1:8765\r\nContent-Length: " + std::to_string(length) +
         "\r\n" + extra + "\r\n";
}
std::string bearer(const std::string& token = kToken) { return "Authorization: Bearer " + token + "\r\n"; }
std::string wsHead(const std::string& extra) {
  return get("/ws", "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
                    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nOrigin: http://127.0.0.1:8765\r\n" +
                        extra);
}

struct WebRig : test::ProgramRig {
  WebRig() { startUp(p(), CommandLine{}, *subsystems->hooks, StartupOptions{false}); }
  WebView& web() { return *subsystems->web; }
  FakeWebServer& server() { return *net.webServers.back(); }
  void enable(const std::string& token = kToken) {
    options0("WebToken").setText(token);
    options0("chkWebView").setValue(1);
  }
  std::string recLog() {
    std::ifstream f(p().programFile("RecLog.Log"));
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
};

TEST(WebView, OffByDefaultThenEveryRequestNeedsTheTokenAndTheFirstVisitTradesItForACookie) {
  WebRig rig;
  EXPECT_FALSE(rig.web().serving());
  EXPECT_TRUE(rig.net.webServers.empty() || !rig.server().isListening());

  // GIVEN the web view enabled with no typed token
  rig.options0("chkWebView").setValue(1);
  ASSERT_TRUE(rig.web().serving());
  FakeWebServer& s = rig.server();
  EXPECT_EQ(s.address(), "127.0.0.1");
  EXPECT_EQ(s.port(), 8765);
  // THEN a token was generated, kept owner-only in the program folder and shown in the panel
  const std::string token = rig.web().token();
  EXPECT_GE(token.size(), 32u);
  const std::string file = rig.p().programFile(kWebTokenFile);
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_NE(rig.options0("WebStatus").caption().find(token), std::string::npos);
  EXPECT_EQ(rig.options0("WebToken").text(), "");  // never lands in a controls file

  // WHEN requests come without the token, with a wrong one or a near miss
  for (const std::string& head :
       {get("/"), get("/api/status"), get("/?token=wrong"), get("/api/files", bearer("x" + token.substr(1))),
        get("/app.js", "Cookie: qv_token=" + token + "x\r\n"), get("/files/rec/a.wav", bearer(token.substr(1)))}) {
    const WebReply r = s.send(head);
    // THEN 401 and nothing else
    EXPECT_EQ(r.status, 401) << head;
    EXPECT_EQ(r.body, "401 Unauthorized\n");
    EXPECT_TRUE(r.filePath.empty());
  }
  WebReply refused;
  EXPECT_EQ(s.openViewer(wsHead(""), &refused), 0);
  EXPECT_EQ(refused.status, 401);

  // WHEN the first visit carries ?token=
  const WebReply first = s.send(get("/?token=" + token));
  // THEN the token moves into an HttpOnly, SameSite=Strict cookie and out of the address bar
  ASSERT_EQ(first.status, 303);
  std::string cookie, location;
  for (auto& [k, v] : first.headers) {
    if (k == "Set-Cookie") cookie = v;
    if (k == "Location") location = v;
  }
  EXPECT_EQ(location, "/");
  EXPECT_EQ(cookie.rfind("qv_token=" + token + ";", 0), 0u) << cookie;
  EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
  EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos);
  // AND the cookie or a Bearer header opens the page, its status and a viewer
  const WebReply page = s.send(get("/", "Cookie: other=1; qv_token=" + token + "\r\n"));
  EXPECT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("Quorvel"), std::string::npos);
  const WebReply status = s.send(get("/api/status", bearer(token)));
  EXPECT_EQ(status.status, 200);
  EXPECT_NE(status.body.find("\"status\":\"Status Stop Task 1 48000 x 1 Fails 0 OVL 0\""), std::string::npos)
      << status.body;
  EXPECT_GT(s.openViewer(wsHead("Cookie: qv_token=" + token + "\r\n")), 0);
}

TEST(WebView, TheStoredTokenSurvivesARestartATypedOneReplacesItAndAShortOneIsRefused) {
  test::TempDir home;
  std::string generated;
  {
    WebRig rig;
    rig.subsystems.reset();  // they hold the program they were assembled on
    rig.program = std::make_unique<Program>(rig.p().services(), home.path());
    rig.subsystems = assembleProgram(*rig.program);
    rig.options0("chkWebView").setValue(1);
    generated = rig.subsystems->web->token();
    ASSERT_FALSE(generated.empty());
  }
  WebRig rig;
  rig.subsystems.reset();
  rig.program = std::make_unique<Program>(rig.p().services(), home.path());
  rig.subsystems = assembleProgram(*rig.program);
  rig.options0("chkWebView").setValue(1);
  EXPECT_EQ(rig.web().token(), generated);
  const int viewer = rig.server().openViewer(wsHead(bearer(generated)));
  ASSERT_GT(viewer, 0);

  // A token typed too short: a clear word, and the token in force stays.
  rig.options0("WebToken").setText("short");
  EXPECT_EQ(rig.web().token(), generated);
  EXPECT_NE(rig.options0("WebStatus").caption().find("at least 16 characters"), std::string::npos);
  EXPECT_EQ(rig.server().send(get("/api/status", bearer(generated))).status, 200);

  // A good typed token takes over; the old one and its viewers are out.
  rig.options0("WebToken").setText(kToken);
  EXPECT_EQ(rig.web().token(), kToken);
  EXPECT_TRUE(rig.server().viewers[viewer].closedByProgram);
  EXPECT_EQ(rig.server().send(get("/api/status", bearer(generated))).status, 401);
  EXPECT_EQ(rig.server().send(get("/api/status", bearer())).status, 200);

  // A program that starts with a short typed token and nothing stored does not serve.
  WebRig fresh;
  fresh.enable("tooshort");
  EXPECT_FALSE(fresh.web().serving());
  ASSERT_FALSE(fresh.dialogs.texts().empty());
  EXPECT_NE(fresh.dialogs.texts().back().find("at least 16 characters"), std::string::npos);
}

TEST(WebView, CommandsArePostOnlyRefusedFromAnotherSiteAndRunLikeTheUdpCommand) {
  WebRig rig;
  rig.enable();
  FakeWebServer& s = rig.server();

  // GET cannot change anything.
  WebReply r = s.send(get("/api/command?x=STOP", bearer()));
  EXPECT_EQ(r.status, 405);
  // A page of another site (or a sandboxed one) cannot post, cookie or not.
  for (const char* origin : {"http://evil.example", "null", "http://127.0.0.1:8766", "https://127.0.0.1:8765"}) {
    r = s.send(post("/api/command", 8, "Cookie: qv_token=" + std::string(kToken) + "\r\nOrigin: " + origin + "\r\n"),
               "SNAPSHOT");
    EXPECT_EQ(r.status, 403) << origin;
  }
  EXPECT_EQ(rig.recLog().find("SNAPSHOT"), std::string::npos);
  // A body over 4 KB is refused before it is read.
  r = s.send(post("/api/note", 4097, bearer()), std::string(4097, 'a'));
  EXPECT_EQ(r.status, 413);
  // Unknown words do nothing.
  r = s.send(post("/api/command", 6, bearer() + "Origin: http://127.0.0.1:8765\r\n"), "REBOOT");
  EXPECT_EQ(r.status, 400);

  // WHEN the page's Snapshot button posts from the station's own origin
  r = s.send(post("/api/command", 8, bearer() + "Origin: http://127.0.0.1:8765\r\n"), "SNAPSHOT");
  EXPECT_EQ(r.status, 202);
  // THEN the command path logs it and writes the snapshot as for the datagram
  EXPECT_NE(rig.recLog().find("SNAPSHOT"), std::string::npos);
  bool shot = false;
  for (auto& e : fs::directory_iterator(rig.home.path()))
    shot |= e.path().filename().string().rfind("wSpec ", 0) == 0 && e.path().extension() == ".bmp";
  EXPECT_TRUE(shot);
  EXPECT_EQ(rig.p().status(), "SNAPSHOT");

  // A field note goes to the notes file of the note buttons.
  r = s.send(post("/api/note", 14, bearer()), "Whale sighted\n");
  EXPECT_EQ(r.status, 200) << r.body;
  std::ifstream notes(rig.home.path() + "notes 20260115.log");
  std::string line;
  std::getline(notes, line);
  EXPECT_EQ(line, "20260115  10:59:30  Whale sighted\r");
}

TEST(WebView, OnlyRecordingsAndSnapshotsInsideTheirFoldersAreServed) {
  WebRig rig;
  const std::string rec = rig.home.path() + "rec/", shots = rig.home.path() + "shots/";
  fs::create_directories(rec);
  fs::create_directories(shots);
  rig.options0("FileRecPathField").setText(rec);
  rig.options1("DefSavePath").setText(shots);
  auto write = [](const std::string& path, size_t n) { std::ofstream(path) << std::string(n, 'x'); };
  write(rec + "Quorvel _20260115 105900.wav", 1048);
  write(rec + "buffer end at 20260115 105930.wav", 96);
  write(shots + "wSpec 20260115 105931.bmp", 70);
  write(rig.home.path() + "secret.wav", 10);
  write(rec + "notes.txt", 10);
  fs::create_symlink(rig.home.path() + "secret.wav", rec + "link.wav");
  write(rec + "old.wav", 5);
  // An old recording is not among the day's.
  fs::last_write_time(rec + "old.wav", fs::last_write_time(rec + "old.wav") - std::chrono::hours(24 * 400));
  rig.clock.set(2026, 1, 15, 10, 59, 30);
  // The files were written today on the machine's calendar: the station's clock agrees.
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  rig.clock.set(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, 10, 59, 30);
  rig.enable();
  FakeWebServer& s = rig.server();

  const WebReply list = s.send(get("/api/files", bearer()));
  ASSERT_EQ(list.status, 200);
  EXPECT_NE(list.body.find("{\"kind\":\"rec\",\"name\":\"Quorvel _20260115 105900.wav\",\"size\":1048"), std::string::npos)
      << list.body;
  EXPECT_NE(list.body.find("\"name\":\"buffer end at 20260115 105930.wav\""), std::string::npos);
  EXPECT_NE(list.body.find("{\"kind\":\"snap\",\"name\":\"wSpec 20260115 105931.bmp\",\"size\":70"), std::string::npos);
  EXPECT_EQ(list.body.find("old.wav"), std::string::npos);
  EXPECT_EQ(list.body.find("notes.txt"), std::string::npos);

  const WebReply ok = s.send(get("/files/rec/Quorvel%20_20260115%20105900.wav", bearer()));
  EXPECT_EQ(ok.status, 200);
  EXPECT_EQ(fs::path(ok.filePath), fs::canonical(rec + "Quorvel _20260115 105900.wav"));
  EXPECT_EQ(s.send(get("/files/snap/wSpec%2020260115%20105931.bmp", bearer())).status, 200);

  for (const std::string& target : std::vector<std::string>{"/files/rec/../secret.wav", "/files/rec/%2e%2e/secret.wav", "/files/rec/%2E%2E%2Fsecret.wav",
        "/files/rec/..%2fsecret.wav", "/files/rec/%2Fetc%2Fpasswd", "/files/rec//etc/passwd",
        "/files/rec/" + rig.home.path().substr(1) + "secret.wav", "/files/rec/link.wav", "/files/rec/notes.txt",
        "/files/rec/%00.wav", "/files/rec/..%5csecret.wav", "/files/snap/..%2Frec%2Fold.wav", "/files/rec/",
        "/files/rec/.wav%2f..", "/files/rec/missing.wav"}) {
    const WebReply r = s.send(get(target, bearer()));
    EXPECT_TRUE(r.status == 404 || r.status == 400) << target << " " << r.status;
    EXPECT_TRUE(r.filePath.empty()) << target;
  }
}

TEST(WebView, ViewersGetThePaletteOnceAndColumnsAsIndicesAndASlowOneLosesColumnsNotMemory) {
  WebRig rig;
  rig.options2("Combo2").setText("4");
  rig.enable();
  FakeWebServer& s = rig.server();
  const std::string cookie = "Cookie: qv_token=" + std::string(kToken) + "\r\n";

  // Eight may watch; the ninth is told so.
  std::vector<int> ids;
  for (int i = 0; i < 8; ++i) ids.push_back(s.openViewer(wsHead(cookie)));
  for (int id : ids) EXPECT_GT(id, 0);
  WebReply refusal;
  EXPECT_EQ(s.openViewer(wsHead(cookie), &refusal), 0);
  EXPECT_EQ(refusal.status, 503);
  // Another site's page may not watch either.
  s.closeFromPeer(ids.back());
  ids.pop_back();
  std::string foreign = wsHead(cookie);
  foreign.replace(foreign.find("Origin: http://127.0.0.1:8765"), 29, "Origin: http://evil.example:80");
  EXPECT_EQ(s.openViewer(foreign, &refusal), 0);
  EXPECT_EQ(refusal.status, 403);
  for (size_t i = 2; i < ids.size(); ++i) s.closeFromPeer(ids[i]);
  ids.resize(2);

  // Each viewer got the palette on arrival: 'P' and 256 colours of scale 0 (white for low levels).
  for (int id : ids) {
    ASSERT_EQ(s.viewers[id].binary.size(), 1u);
    const std::string& pal = s.viewers[id].binary[0];
    ASSERT_EQ(pal.size(), 769u);
    EXPECT_EQ(pal[0], 'P');
    EXPECT_EQ(static_cast<uint8_t>(pal[1]), 255);
    EXPECT_EQ(static_cast<uint8_t>(pal[768]), 0);
  }

  // GIVEN viewer 2 stops reading
  FakeWebServer::Viewer& slow = s.viewers[ids[1]];
  slow.holdBack = true;
  // WHEN a live run draws columns while the clock moves on, and halfway
  // through the slow viewer reads again and the operator picks another
  // colour scale
  size_t resumedAt = 0;
  int64_t droppedBeforeResume = 0;
  rig.pump.every([&] {
    rig.clock.advance(0.05);
    const long n = rig.pump.passes;
    if (n < 400) rig.audioIn.completeNextRamp(static_cast<int16_t>(37 * n));
    if (n == 200) {
      droppedBeforeResume = rig.web().columnsDropped();
      slow.holdBack = false;
      slow.queued = 0;
      resumedAt = slow.binary.size();
      ASSERT_TRUE(rig.form1("Combo8").selectItem("8 rainbow"));
    }
    if (n == 400) rig.form1("StartStop").click();
  });
  rig.form1("StartStop").click();

  // THEN the reading viewer got every column drawn, as palette indices
  auto count = [](const std::string& b) { return static_cast<uint8_t>(b[4]) | static_cast<uint8_t>(b[5]) << 8; };
  int64_t columns = 0;
  int rows = 0, palettes = 0;
  for (size_t m = 1; m < s.viewers[ids[0]].binary.size(); ++m) {
    const std::string& b = s.viewers[ids[0]].binary[m];
    if (b[0] == 'P') {
      ++palettes;
      continue;
    }
    ASSERT_EQ(b[0], 'C');
    rows = static_cast<uint8_t>(b[2]) | static_cast<uint8_t>(b[3]) << 8;
    EXPECT_EQ(b.size(), 6u + static_cast<size_t>(rows) * count(b));
    columns += count(b);
  }
  EXPECT_EQ(rows, rig.p().vars().specVsize);
  EXPECT_EQ(columns, rig.p().vars().ColumnCount);
  EXPECT_GT(columns, 5000);
  EXPECT_EQ(rig.p().vars().FailCount, 0);
  // AND the new colour scale went out once, as a palette
  EXPECT_EQ(palettes, 1);
  // AND the slow one was cut off at the backlog bound, every column it missed counted
  ASSERT_GT(droppedBeforeResume, 0);
  EXPECT_EQ(rig.web().columnsDropped(), droppedBeforeResume);
  int64_t slowColumns = 0, slowBeforeResume = 0;
  bool gapFlagged = false;
  std::string newPalette;
  for (size_t m = 1; m < slow.binary.size(); ++m) {
    const std::string& b = slow.binary[m];
    if (b[0] == 'P') {
      newPalette = b;
      continue;
    }
    slowColumns += count(b);
    if (m < resumedAt) slowBeforeResume += count(b);
    if (m >= resumedAt && (b[1] & 2)) gapFlagged = true;
    if (m < resumedAt) {
      EXPECT_EQ(b[1] & 2, 0);
    }
  }
  EXPECT_EQ(slowColumns + droppedBeforeResume, columns);
  EXPECT_LE(slowBeforeResume * rows, WebView::kViewerBacklogBytes + 6 + WebView::kMaxBatchColumns * rows);
  EXPECT_TRUE(gapFlagged);
  // The status tells the station's figures of the run that ended.
  const WebReply status = s.send(get("/api/status", bearer()));
  EXPECT_NE(status.body.find("\"run\":{\"outcome\":\"ended\""), std::string::npos) << status.body;
  EXPECT_NE(status.body.find("\"fails\":0,\"overloads\":0,\"filesWritten\":0"), std::string::npos) << status.body;
  // The rainbow starts red.
  ASSERT_EQ(newPalette.size(), 769u);
  EXPECT_EQ(static_cast<uint8_t>(newPalette[1]), 255);
  EXPECT_EQ(static_cast<uint8_t>(newPalette[2]), 4);
  EXPECT_EQ(static_cast<uint8_t>(newPalette[3]), 0);
}

}  // namespace
}  // namespace qv
