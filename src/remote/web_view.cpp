#include "remote/web_view.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "analysis/engine.h"
#include "core/program.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/disk.h"
#include "platform/net.h"
#include "realtime/palette.h"
#include "recording/notes_log.h"
#include "recording/ram_buffer.h"
#include "recording/rec_text.h"
#include "recording/station.h"
#include "remote/udp_remote.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

constexpr uint8_t kColumnsMessage = 'C';
constexpr uint8_t kPaletteMessage = 'P';
constexpr uint8_t kFlagStereo = 1;
constexpr uint8_t kFlagGap = 2;  // columns were dropped for this viewer before these
constexpr size_t kColumnsHeader = 6;

const char* modeName(int task) {
  switch (task) {
    case 1: return "Real-Time Analysis";
    case 2: return "Real-Time Analysis + Recording";
    case 3: return "File Analysis + Play";
    case 4: return "File Analysis";
    default: return "";
  }
}

WebReply plain(int status, const std::string& text) {
  WebReply r;
  r.status = status;
  r.contentType = "text/plain; charset=utf-8";
  r.body = text + "\n";
  return r;
}

WebReply json(const std::string& body, int status = 200) {
  WebReply r;
  r.status = status;
  r.contentType = "application/json";
  r.headers.emplace_back("Cache-Control", "no-store");
  r.body = body;
  return r;
}

// A palette index byte of a display value: the entry it is drawn with, the
// entries below 0 and above 255 being the end colours.
uint8_t indexByte(float v) {
  const int i = ColourPalette::slot(v) + ColourPalette::kLow;
  return static_cast<uint8_t>(std::clamp(i, 0, 255));
}

bool endsWithNoCase(const std::string& s, const char* ext) {
  const size_t n = std::strlen(ext);
  if (s.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != ext[i]) return false;
  return true;
}

std::string number(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, std::isfinite(v) ? v : 0.0);
  return buf;
}

// "attachment" with the name in both the plain and the RFC 5987 form.
std::string attachmentHeader(const std::string& name) {
  std::string plainName, encoded;
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    plainName += (u < 0x20 || u >= 0x7F || c == '"' || c == '\\') ? '_' : c;
    if (std::isalnum(u) || std::strchr("-._~", c)) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[u >> 4];
      encoded += kHex[u & 15];
    }
  }
  return "attachment; filename=\"" + plainName + "\"; filename*=UTF-8''" + encoded;
}

}  // namespace

WebView::WebView(Program& p, RamBuffer& buffer, NotesLog& notes, std::function<void(const std::string&)> runCommand)
    : p_(p), buffer_(buffer), notes_(notes), runCommand_(std::move(runCommand)) {}

WebView::~WebView() {
  if (server_) server_->close();
}

// ---- controls ----

void WebView::chkWebView_Click() {
  if (p_.options0()["chkWebView"].checked()) start();
  else stop("Off");
}

void WebView::WebPort_Change() { restartIfServing(); }
void WebView::WebBind_Change() { restartIfServing(); }

void WebView::WebToken_Change() {
  if (!p_.options0()["chkWebView"].checked()) return;
  const std::string before = token_;
  std::string why;
  if (!settleToken(why)) {
    // The operator may still be typing: the token in force stays.
    setStatusLabel((serving() ? "On " + url() + " - " : std::string("Off - ")) + why);
    return;
  }
  if (token_ != before) {
    // Whoever watched with the old token must present the new one.
    for (auto it = viewers_.begin(); it != viewers_.end();) {
      const auto id = it->first;
      it = viewers_.erase(it);
      if (server_) server_->closeViewer(id);
    }
  }
  if (serving()) setStatusLabel("On " + url() + " token " + token_);
  else start();
}

void WebView::restartIfServing() {
  if (!p_.options0()["chkWebView"].checked()) return;
  start();
}

bool WebView::serving() const { return server_ && server_->isListening(); }
int WebView::port() const { return serving() ? server_->port() : 0; }

std::string WebView::url() const {
  std::string host = address_;
  if (host == "0.0.0.0" || host == "::" || host.empty()) host = "127.0.0.1";
  if (host.find(':') != std::string::npos) host = "[" + host + "]";
  return "http://" + host + ":" + std::to_string(port()) + "/";
}

std::string WebView::startLine() const {
  if (!serving()) return {};
  return "web view " + url() + "?token=" + token_ + " (listening on " + address_ + ":" + std::to_string(port()) + ")";
}

void WebView::setStatusLabel(const std::string& text) {
  if (Control* c = p_.options0().find("WebStatus")) c->setCaption(text);
}

void WebView::warn(const std::string& text) {
  if (Dialogs* d = p_.services().dialogs) d->message(text, "Quorvel", MsgButtons::Ok, MsgIcon::Warning);
}

bool WebView::settleToken(std::string& why) {
  const std::string typed = rec::trimBlanks(p_.options0()["WebToken"].text());
  if (!typed.empty()) {
    why = web::tokenProblem(typed);
    if (!why.empty()) return false;
    token_ = typed;
    return true;
  }
  // No typed token: the stored one, or a new one stored for next time.
  const std::string file = p_.programFile(kWebTokenFile);
  std::string error;
  std::string stored = web::readTokenFile(file, error);
  if (stored.empty()) {
    stored = web::newToken();
    if (stored.empty()) {
      why = "No token: the system's random source failed";
      return false;
    }
    if (!web::writeTokenFile(file, stored, error)) {
      why = "No token: cannot store it in " + file + " (" + error + ")";
      return false;
    }
  }
  token_ = stored;
  return true;
}

void WebView::start() {
  std::string why;
  if (!settleToken(why) && token_.empty()) {
    stop("Off - " + why);
    warn("Web view not started: " + why);
    return;
  }
  Control& portBox = p_.options0()["WebPort"];
  const double port = portBox.number();
  if (!(port >= 1 && port <= 65535) || port != std::floor(port)) {
    stop("Off - WebPort must be a port number (1 to 65535)");
    warn("Web view not started: WebPort " + portBox.text() + " is not a port number (1 to 65535)");
    return;
  }
  std::string address = rec::trimBlanks(p_.options0()["WebBind"].text());
  if (address.empty()) address = "127.0.0.1";

  if (!server_) {
    if (!p_.services().net) return;
    server_ = p_.services().net->webServer();
    if (!server_) return;
    WebLimits limits;
    limits.maxHeadBytes = web::kMaxHeadBytes;
    limits.maxBodyBytes = web::kMaxBodyBytes;
    server_->setLimits(limits);
    server_->onHead([this](const std::string& head, const std::string& peer) { return judgeHead(head, peer); });
    server_->onRequest([this](const std::string& head, const std::string& body, const std::string& peer) {
      return handle(head, body, peer);
    });
    server_->onViewerOpened([this](WebServer::ViewerId id, const std::string&) { viewerOpened(id); });
    server_->onViewerClosed([this](WebServer::ViewerId id) { viewerClosed(id); });
  }
  viewers_.clear();
  if (!server_->listen(address, static_cast<int>(port))) {
    const std::string err = server_->errorText();
    stop("Off - cannot listen on " + address + ":" + portBox.text());
    warn("Web view cannot listen on " + address + ":" + rec::trimBlanks(portBox.text()) + ": " + err);
    return;
  }
  address_ = address;
  setStatusLabel("On " + url() + " token " + token_ + (why.empty() ? "" : " - " + why));
}

void WebView::stop(const std::string& why) {
  viewers_.clear();
  if (server_) server_->close();
  setStatusLabel(why);
}

// ---- requests ----

bool WebView::refused(const web::Request& r, WebReply& reply, bool& firstVisit) {
  firstVisit = false;
  if (!web::admitted(r, token_)) {
    reply = plain(401, "401 Unauthorized");
    reply.headers.emplace_back("WWW-Authenticate", "Bearer");
    return true;
  }
  firstVisit = web::tokenInQuery(r, token_);
  const bool changes = r.method != "GET";
  if ((changes || r.upgradeToWebSocket) && web::foreignOrigin(r)) {
    reply = plain(403, "403 Forbidden: request from another site");
    return true;
  }
  return false;
}

HeadVerdict WebView::judgeHead(const std::string& head, const std::string& peer) {
  HeadVerdict v;
  web::Request r;
  int status = 0;
  if (!web::parseHead(head, r, status)) {
    v.refusal = plain(status, std::to_string(status) + " " + httpReasonPhrase(status));
    return v;
  }
  r.peer = peer;
  bool firstVisit = false;
  if (refused(r, v.refusal, firstVisit)) return v;
  if (!r.upgradeToWebSocket) {
    v.action = HeadVerdict::Action::Serve;
    return v;
  }
  if (r.method != "GET" || r.path != "/ws") {
    v.refusal = plain(404, "404 Not Found");
  } else if (static_cast<int>(viewers_.size()) >= web::kMaxViewers) {
    v.refusal = plain(503, "503 Service Unavailable: " + std::to_string(web::kMaxViewers) + " viewers already watch");
  } else {
    v.action = HeadVerdict::Action::Upgrade;
  }
  return v;
}

WebReply WebView::handle(const std::string& head, const std::string& body, const std::string& peer) {
  web::Request r;
  int status = 0;
  if (!web::parseHead(head, r, status)) return plain(status, std::to_string(status) + " " + httpReasonPhrase(status));
  if (body.size() > web::kMaxBodyBytes) return plain(413, "413 Payload Too Large");
  r.body = body;
  r.peer = peer;
  WebReply reply;
  bool firstVisit = false;
  if (refused(r, reply, firstVisit)) return reply;
  if (r.upgradeToWebSocket) return plain(400, "400 Bad Request");

  const bool get = r.method == "GET";
  const bool post = r.method == "POST";
  const std::string& path = r.path;
  auto only = [&](bool postOnly) {
    WebReply m = plain(405, "405 Method Not Allowed");
    m.headers.emplace_back("Allow", postOnly ? "POST" : "GET");
    return m;
  };

  if (path == "/api/command") return post ? command(r) : only(true);
  if (path == "/api/note") return post ? note(r) : only(true);
  if (!get) return only(false);

  if (path == "/" || path == "/index.html") {
    if (firstVisit) {
      // The token leaves the address bar for a cookie the page's scripts cannot read.
      WebReply redirect = plain(303, "303 See Other");
      redirect.headers.emplace_back("Location", "/");
      redirect.headers.emplace_back("Set-Cookie", std::string(web::kTokenCookie) + "=" + token_ +
                                                      "; Path=/; HttpOnly; SameSite=Strict; Max-Age=2592000");
      return redirect;
    }
    return asset("index.html", "text/html; charset=utf-8");
  }
  if (path == "/app.js") return asset("app.js", "text/javascript; charset=utf-8");
  if (path == "/style.css") return asset("style.css", "text/css; charset=utf-8");
  if (path == "/api/status") return json(statusJson());
  if (path == "/api/files") return json(filesJson());
  static const std::string kRec = "/files/rec/", kSnap = "/files/snap/";
  if (path.compare(0, kRec.size(), kRec) == 0) return download(recordingFolder(), path.substr(kRec.size()), ".wav");
  if (path.compare(0, kSnap.size(), kSnap) == 0)
    return download(snapshotFolder(), path.substr(kSnap.size()), ".bmp");
  return plain(404, "404 Not Found");
}

WebReply WebView::asset(const std::string& name, const char* type) {
  WebReply r;
  if (!server_ || !server_->asset(name, r.body)) return plain(404, "404 Not Found");
  r.contentType = type;
  r.headers.emplace_back("Cache-Control", "no-cache");
  r.headers.emplace_back("Content-Security-Policy",
                         "default-src 'self'; connect-src 'self'; img-src 'self' data:; frame-ancestors 'none'");
  r.headers.emplace_back("X-Content-Type-Options", "nosniff");
  r.headers.emplace_back("Referrer-Policy", "no-referrer");
  return r;
}

WebReply WebView::download(const std::string& folder, const std::string& name, const char* extension) {
  // Only recordings and snapshots, and only those the folder really holds.
  if (!endsWithNoCase(name, extension)) return plain(404, "404 Not Found");
  const auto file = web::fileInside(folder, name);
  if (!file) return plain(404, "404 Not Found");
  WebReply r;
  r.contentType = std::strcmp(extension, ".wav") == 0 ? "audio/wav" : "image/bmp";
  r.filePath = *file;
  r.headers.emplace_back("Content-Disposition", attachmentHeader(name));
  r.headers.emplace_back("X-Content-Type-Options", "nosniff");
  return r;
}

WebReply WebView::command(const web::Request& r) {
  const std::string word = rec::trimBlanks(r.body);
  for (const char* known : kWebCommands) {
    if (word != known) continue;
    WebReply r = json("{\"command\":" + web::jsonString(word) + "}", 202);
    // After the answer: START runs the whole run inside the command.
    r.then = [this, word] { runCommand_(std::string(kUdpCommandPrefix) + word); };
    return r;
  }
  return plain(400, "400 Bad Request: unknown command");
}

WebReply WebView::note(const web::Request& r) {
  std::string text;
  for (char c : r.body)
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) text += c;
  text = rec::trimBlanks(text);
  if (text.empty()) return plain(400, "400 Bad Request: empty note");
  if (text.size() > kMaxNoteBytes) return plain(413, "413 Payload Too Large: a note holds at most 200 bytes");
  if (!notes_.write(text)) return plain(500, "500 Internal Server Error: note not written to " + notes_.fileName());
  return json("{\"note\":" + web::jsonString(text) + ",\"file\":" + web::jsonString(notes_.fileName()) + "}");
}

std::string WebView::recordingFolder() const { return rec::withSlash(p_.options0()["FileRecPathField"].text()); }

std::string WebView::snapshotFolder() const {
  Control* c = p_.options1().find("DefSavePath");
  return c ? rec::withSlash(c->text()) : std::string();
}

std::string WebView::statusJson() {
  const PublicVars& v = p_.vars();
  const bool running = !v.StopFlag;
  std::string file = v.Task == 2 ? v.RecFile : v.CurrentFile;
  if (v.Task == 2 && !running) file.clear();
  double bufferSeconds = 0, bufferFilled = 0;
  const double perSecond = std::max(1, v.SampleRate) * static_cast<double>(std::max(1, v.Channels));
  if (buffer_.RamRecording()) {
    bufferSeconds = static_cast<double>(buffer_.RamBufferSize()) / perSecond;
    bufferFilled = buffer_.RamBufferFilled() ? bufferSeconds : static_cast<double>(buffer_.RamBufferPointer()) / perSecond;
  }
  int64_t freeMB = -1;
  if (DiskInfo* d = p_.services().disk) {
    const int64_t kb = d->freeKB(recordingFolder());
    if (kb >= 0) freeMB = kb / 1024;
  }
  std::string s = "{";
  s += "\"status\":" + web::jsonString(udpStatusText(p_));
  s += ",\"running\":" + std::string(running ? "true" : "false");
  s += ",\"task\":" + std::to_string(v.Task);
  s += ",\"mode\":" + web::jsonString(modeName(v.Task));
  s += ",\"sampleRate\":" + std::to_string(v.SampleRate);
  s += ",\"channels\":" + std::to_string(v.Channels);
  s += ",\"fails\":" + std::to_string(v.FailCount);
  s += ",\"overloads\":" + std::to_string(v.OverloadCount);
  s += ",\"file\":" + web::jsonString(file);
  s += ",\"fileTime\":" + web::jsonString(v.FileTime);
  s += ",\"freeMB\":" + std::to_string(freeMB);
  s += ",\"bufferSeconds\":" + number(bufferSeconds, 1);
  s += ",\"bufferFilledSeconds\":" + number(bufferFilled, 1);
  s += ",\"statusLine\":" + web::jsonString(p_.status());
  // The station's figures of the run going on, or of the last one.
  if (Station* st = findStation(p_); st && st->runs() > 0) {
    const RunFigures f = st->current();
    const char* outcome = f.outcome == RunOutcome::Running    ? "running"
                          : f.outcome == RunOutcome::Ended      ? "ended"
                          : f.outcome == RunOutcome::NotStarted ? "not started"
                                                                : "failed";
    int64_t bytes = 0;
    for (const WrittenFile& w : f.files) bytes += w.bytes;
    s += ",\"run\":{\"outcome\":" + web::jsonString(outcome) + ",\"duration\":" +
         web::jsonString(FormatDuration(f.seconds)) + ",\"blocks\":" + std::to_string(f.blocks) +
         ",\"fails\":" + std::to_string(f.fails) + ",\"overloads\":" + std::to_string(f.overloads) +
         ",\"filesWritten\":" + std::to_string(f.files.size()) + ",\"bytesWritten\":" + std::to_string(bytes) +
         ",\"currentFile\":" + web::jsonString(f.currentFile) + ",\"fileTime\":" + web::jsonString(f.fileTime) +
         ",\"error\":" + web::jsonString(f.error) + "}";
  }
  s += ",\"viewers\":" + std::to_string(viewers_.size());
  s += ",\"columnsDropped\":" + std::to_string(dropped_);
  s += "}";
  return s;
}

std::string WebView::filesJson() {
  const DateTime today = p_.services().clock ? p_.services().clock->now() : DateTime{};
  std::string s = "[";
  size_t listed = 0;
  auto list = [&](const std::string& folder, const char* kind, const char* extension) {
    std::error_code ec;
    if (folder.empty()) return;
    std::vector<std::pair<std::string, std::pair<int64_t, std::string>>> found;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end && listed < kMaxListedFiles; it.increment(ec)) {
      const std::string name = it->path().filename().string();
      if (!endsWithNoCase(name, extension)) continue;
      std::error_code e2;
      if (!it->is_regular_file(e2) || e2) continue;
      const auto size = it->file_size(e2);
      if (e2) continue;
      const auto mtime = it->last_write_time(e2);
      if (e2) continue;
      const std::time_t t = std::chrono::system_clock::to_time_t(
          std::chrono::time_point_cast<std::chrono::system_clock::duration>(std::chrono::file_clock::to_sys(mtime)));
      std::tm tm{};
      localtime_r(&t, &tm);
      if (tm.tm_year + 1900 != today.year || tm.tm_mon + 1 != today.month || tm.tm_mday != today.day) continue;
      char hhmmss[16];
      std::snprintf(hhmmss, sizeof hhmmss, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
      found.push_back({name, {static_cast<int64_t>(size), hhmmss}});
      ++listed;
    }
    std::sort(found.begin(), found.end());
    for (const auto& [name, info] : found) {
      if (s.size() > 1) s += ",";
      s += "{\"kind\":" + web::jsonString(kind) + ",\"name\":" + web::jsonString(name) +
           ",\"size\":" + std::to_string(info.first) + ",\"time\":" + web::jsonString(info.second) + "}";
    }
  };
  list(recordingFolder(), "rec", ".wav");
  list(snapshotFolder(), "snap", ".bmp");
  s += "]";
  return s;
}

// ---- viewers and columns ----

void WebView::viewerOpened(WebServer::ViewerId id) {
  if (static_cast<int>(viewers_.size()) >= web::kMaxViewers) {
    server_->closeViewer(id);
    return;
  }
  Viewer& v = viewers_[id];
  sendPalette(id, v);
}

void WebView::viewerClosed(WebServer::ViewerId id) { viewers_.erase(id); }

bool WebView::paletteChanged() {
  AnalysisEngine* a = p_.analysis();
  if (!a) return false;
  const ColourPalette& pal = a->palette();
  std::array<uint8_t, 1 + 256 * 3> now{};
  now[0] = kPaletteMessage;
  for (int i = 0; i < 256; ++i) {
    const Rgb c = pal.at(i);
    now[1 + 3 * i] = static_cast<uint8_t>((c >> 16) & 0xFF);
    now[2 + 3 * i] = static_cast<uint8_t>((c >> 8) & 0xFF);
    now[3 + 3 * i] = static_cast<uint8_t>(c & 0xFF);
  }
  if (paletteKnown_ && now == palette_) return false;
  palette_ = now;
  paletteKnown_ = true;
  return true;
}

void WebView::sendPalette(WebServer::ViewerId id, Viewer& v) {
  paletteChanged();
  if (!paletteKnown_ || !server_) return;
  if (server_->queuedBytes(id) > kViewerBacklogBytes) {
    v.paletteDue = true;  // when the connection drains
    return;
  }
  server_->sendBinary(id, palette_.data(), palette_.size());
  v.paletteDue = false;
}

void WebView::displayBegins(int rows, bool stereo) {
  rows_ = std::max(rows, 0);
  stereo_ = stereo;
  outRows_ = stereo ? 2 * static_cast<int>(std::nearbyint(rows_ / 2.0)) : rows_;
  batchColumns_ = 0;
  // Allocated here, once per display, never per column.
  batch_.assign(kColumnsHeader + static_cast<size_t>(kMaxBatchColumns) * static_cast<size_t>(outRows_), 0);
  lastFlushMs_ = p_.services().clock ? p_.services().clock->tickMs() : 0;
}

void WebView::column(const float* values, int rows, int channel) {
  if (viewers_.empty() || outRows_ <= 0 || rows != rows_) return;
  uint8_t* col = batch_.data() + kColumnsHeader + static_cast<size_t>(batchColumns_) * static_cast<size_t>(outRows_);
  if (!stereo_) {
    for (int r = 0; r < rows; ++r) col[rows - 1 - r] = indexByte(values[r]);
  } else {
    // As the picture pairs them: left in the upper half, right below.
    const int h2 = outRows_ / 2;
    for (int d = 0; d < h2; ++d) {
      const int a = std::min(2 * d, rows - 1), b = std::min(2 * d + 1, rows - 1);
      col[h2 * channel + h2 - 1 - d] = indexByte((values[a] + values[b]) / 2);
    }
    if (channel == 0) return;  // the column is finished by the right channel
  }
  ++batchColumns_;
  const int64_t now = p_.services().clock ? p_.services().clock->tickMs() : lastFlushMs_;
  if (batchColumns_ >= kMaxBatchColumns || now - lastFlushMs_ >= kBatchMs) flush();
}

void WebView::displayEnds() {
  flush();
  batch_.clear();
  batch_.shrink_to_fit();
  outRows_ = 0;
}

void WebView::flush() {
  lastFlushMs_ = p_.services().clock ? p_.services().clock->tickMs() : lastFlushMs_;
  if (batchColumns_ == 0 || !server_) {
    batchColumns_ = 0;
    return;
  }
  const bool newPalette = paletteChanged();
  batch_[0] = kColumnsMessage;
  batch_[2] = static_cast<uint8_t>(outRows_ & 0xFF);
  batch_[3] = static_cast<uint8_t>(outRows_ >> 8);
  batch_[4] = static_cast<uint8_t>(batchColumns_ & 0xFF);
  batch_[5] = static_cast<uint8_t>(batchColumns_ >> 8);
  const size_t size = kColumnsHeader + static_cast<size_t>(batchColumns_) * static_cast<size_t>(outRows_);
  for (auto& [id, v] : viewers_) {
    if (newPalette) v.paletteDue = true;
    if (server_->queuedBytes(id) > kViewerBacklogBytes) {
      v.dropped += batchColumns_;
      dropped_ += batchColumns_;
      v.gap = true;
      continue;
    }
    if (v.paletteDue) sendPalette(id, v);
    batch_[1] = static_cast<uint8_t>((stereo_ ? kFlagStereo : 0) | (v.gap ? kFlagGap : 0));
    server_->sendBinary(id, batch_.data(), size);
    v.gap = false;
  }
  batchColumns_ = 0;
}

std::shared_ptr<WebView> installWebView(Program& p, RamBuffer& buffer, NotesLog& notes,
                                        std::function<void(const std::string&)> runCommand) {
  auto w = std::make_shared<WebView>(p, buffer, notes, std::move(runCommand));
  Form& o = p.options0();
  auto attach = [&o, &w](const char* name, Event e, void (WebView::*f)()) {
    if (Control* c = o.find(name)) c->on(e, [w, f] { ((*w).*f)(); });
  };
  attach("chkWebView", Event::Click, &WebView::chkWebView_Click);
  attach("WebPort", Event::Change, &WebView::WebPort_Change);
  attach("WebBind", Event::Change, &WebView::WebBind_Change);
  attach("WebToken", Event::Change, &WebView::WebToken_Change);
  p.columnObservers().push_back(w.get());
  return w;
}

}  // namespace qv
