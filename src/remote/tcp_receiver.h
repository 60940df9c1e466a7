// The "TcpIP Receiver" window: one TCP sender at a time on port 1066 delivers
// blocks of 16-bit samples; each delivery is kept in a fixed sample block,
// counted and, unless "no echo" is chosen, acknowledged.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace qv {

class Program;
class TcpConnection;
class TcpListener;

inline constexpr int kTcpReceiverPort = 1066;
// Samples kept of one delivery; the bytes beyond are counted, not kept.
inline constexpr size_t kTcpSampleBlock = 4096;

// "Acknowledge blocks  3 of  4096 ( Total  12288 )".
std::string tcpAcknowledgement(int64_t blockCount, int64_t blockBytes, int64_t totalBytes);

class TcpReceiver {
 public:
  explicit TcpReceiver(Program& p, int port = kTcpReceiverPort);
  ~TcpReceiver();
  TcpReceiver(const TcpReceiver&) = delete;
  TcpReceiver& operator=(const TcpReceiver&) = delete;

  // FORM1 "Set TcpIP": shows the window, not modal (loading it first).
  void SetTcpIp_Click();
  // Caption, port and listening; run when the window is shown unloaded.
  void Form_Load();
  // Closes the sockets; run when the window is closed.
  void Form_Unload();
  void Winsock1_ConnectionRequest(std::shared_ptr<TcpConnection> connection);
  void Winsock1_DataArrival(const std::string& data);
  void Winsock1_Close();
  // "OK": minimizes the window and names the sender in the status line.
  void Command1_Click();

  int64_t BytesReceivedTotal = 0;
  int64_t BlockCount = 0;
  float TimeStart = 0;
  float TimeElapsed = 0;
  // The last delivery's samples (element 0 is the first sample).
  const std::array<int16_t, kTcpSampleBlock>& sampleBlock() const { return block_; }

  int port() const { return port_; }
  bool listening() const { return listening_; }
  bool connected() const { return connection_ != nullptr; }

 private:
  void listen(const std::string& before);
  float timer() const;

  Program& p_;
  int port_;
  bool loaded_ = false;
  bool listening_ = false;
  int64_t requests_ = 0;
  std::unique_ptr<TcpListener> listener_;
  std::shared_ptr<TcpConnection> connection_;
  std::string peer_;
  std::array<int16_t, kTcpSampleBlock> block_{};
};

// Attaches "Set TcpIP", the window's OK button and its load and unload.
// `port` is for tests that cannot take the fixed port.
std::shared_ptr<TcpReceiver> installTcpReceiver(Program& p, int port = kTcpReceiverPort);

}  // namespace qv
