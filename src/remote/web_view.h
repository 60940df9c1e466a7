// The station's web view: a page that shows the live spectrogram and the
// station's health and presses the few buttons that matter, for people who
// reach a station without a screen from a browser on the same network.
//
// Off by default ("Web view" in the settings panel). Every request and
// every WebSocket upgrade must present the access token; commands are POST
// only and refused from another site's page; at most kMaxViewers watch at
// once. The spectrogram goes out as palette indices, one byte per row, in
// batches of columns; a viewer whose connection backs up loses columns
// instead of holding memory, and nothing here ever waits for a viewer.
//
// The buttons hand their command to the same command path as the UDP
// commands, so their effects and log lines are the same.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/web_server.h"
#include "realtime/column_observer.h"
#include "remote/web_access.h"

namespace qv {

class Program;
class RamBuffer;
class NotesLog;

// The commands the page's buttons send, by their UDP command word.
inline constexpr const char* kWebCommands[] = {"START", "STOP", "RECMODE", "DISPLAYMODE", "SAVEBUFFER", "SNAPSHOT"};
// File that keeps a generated token, in the program folder.
inline constexpr const char* kWebTokenFile = "webview.token";
inline constexpr int kDefaultWebPort = 8765;

class WebView : public ColumnObserver {
 public:
  // Bytes a viewer may have waiting on its connection before columns are
  // dropped for it, and how long columns gather before they go out.
  static constexpr int64_t kViewerBacklogBytes = 512 * 1024;
  // Every message costs the station a turn through the network stack, so
  // columns go out a few times a second; the page spreads them out again.
  static constexpr int64_t kBatchMs = 125;
  static constexpr int kMaxBatchColumns = 256;
  static constexpr size_t kMaxNoteBytes = 200;
  static constexpr size_t kMaxListedFiles = 1000;

  // `runCommand` takes a command datagram ("$QVLPRO,STOP") into the
  // program's command path; `buffer` is the live runs' RAM buffer and
  // `notes` the field notes writer of the note buttons.
  WebView(Program& p, RamBuffer& buffer, NotesLog& notes, std::function<void(const std::string&)> runCommand);
  ~WebView() override;
  WebView(const WebView&) = delete;
  WebView& operator=(const WebView&) = delete;

  // Control handlers.
  void chkWebView_Click();
  void WebPort_Change();
  void WebBind_Change();
  void WebToken_Change();

  bool serving() const;
  int port() const;
  const std::string& token() const { return token_; }
  // "http://127.0.0.1:8765/" (the loopback stands for "every address").
  std::string url() const;
  // The line a station prints when it starts: where to point a browser, with
  // the token; empty while off.
  std::string startLine() const;
  int viewers() const { return static_cast<int>(viewers_.size()); }
  int64_t columnsDropped() const { return dropped_; }
  bool runsCommands() const { return bool(runCommand_); }

  // ColumnObserver.
  void displayBegins(int rows, bool stereo) override;
  void column(const float* values, int rows, int channel) override;
  void displayEnds() override;

  // What the page polls every second, as JSON.
  std::string statusJson();
  // The day's recordings and snapshots, as JSON.
  std::string filesJson();

 private:
  struct Viewer {
    bool paletteDue = true;
    bool gap = false;
    int64_t dropped = 0;
  };

  void start();
  void stop(const std::string& why);
  void restartIfServing();
  // The token in force after the settings; false (with the reason) when
  // there is none to serve with.
  bool settleToken(std::string& why);
  void setStatusLabel(const std::string& text);
  void warn(const std::string& text);

  HeadVerdict judgeHead(const std::string& head, const std::string& peer);
  WebReply handle(const std::string& head, const std::string& body, const std::string& peer);
  // The refusal a request earns before it is looked at, if any.
  bool refused(const web::Request& r, WebReply& reply, bool& tokenCheckedOnly);
  WebReply asset(const std::string& name, const char* type);
  WebReply download(const std::string& folder, const std::string& name, const char* extension);
  WebReply command(const web::Request& r);
  WebReply note(const web::Request& r);

  void viewerOpened(WebServer::ViewerId id);
  void viewerClosed(WebServer::ViewerId id);
  void flush();
  void sendPalette(WebServer::ViewerId id, Viewer& v);
  bool paletteChanged();

  std::string recordingFolder() const;
  std::string snapshotFolder() const;

  Program& p_;
  RamBuffer& buffer_;
  NotesLog& notes_;
  std::function<void(const std::string&)> runCommand_;
  std::unique_ptr<WebServer> server_;
  std::string token_;
  std::string address_;
  std::map<WebServer::ViewerId, Viewer> viewers_;
  int64_t dropped_ = 0;

  // The display being watched and the batch of columns gathering for it:
  // 'C', flags, rows (16 bits), count (16 bits), then count columns of
  // rows bytes, top row first.
  int rows_ = 0;      // display values per channel
  int outRows_ = 0;   // bytes per column sent
  bool stereo_ = false;
  std::vector<uint8_t> batch_;
  int batchColumns_ = 0;
  int64_t lastFlushMs_ = 0;
  std::array<uint8_t, 1 + 256 * 3> palette_{};
  bool paletteKnown_ = false;
};

// Creates the web view, attaches its controls and registers it to watch the
// spectrogram. It lives as long as the program's forms.
std::shared_ptr<WebView> installWebView(Program& p, RamBuffer& buffer, NotesLog& notes,
                                        std::function<void(const std::string&)> runCommand);

}  // namespace qv
