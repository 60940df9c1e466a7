#include "remote/tcp_receiver.h"

#include <algorithm>
#include <charconv>

#include "core/program.h"
#include "platform/clock.h"
#include "platform/net.h"
#include "recording/rec_text.h"

namespace qv {

namespace {

// Shortest text that reads back as the same single-precision number.
std::string floatText(float v) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

void setText(Program& p, const char* name, const std::string& t) {
  if (Control* c = p.forms().tcpIp().find(name)) c->setText(t);
}

}  // namespace

std::string tcpAcknowledgement(int64_t blockCount, int64_t blockBytes, int64_t totalBytes) {
  return "Acknowledge blocks " + rec::numText(blockCount) + " of " + rec::numText(blockBytes) + " ( Total " +
         rec::numText(totalBytes) + " )";
}

TcpReceiver::TcpReceiver(Program& p, int port) : p_(p), port_(port) {}

TcpReceiver::~TcpReceiver() = default;

float TcpReceiver::timer() const {
  Clock* c = p_.services().clock;
  return c ? static_cast<float>(c->secondsSinceMidnight()) : 0.0f;
}

void TcpReceiver::SetTcpIp_Click() {
  Form& f = p_.forms().tcpIp();
  f.setMinimized(false);
  f.setShown(true);  // loads it through the form's observer
}

void TcpReceiver::Form_Load() {
  if (loaded_) return;
  loaded_ = true;
  Network* net = p_.services().net;
  if (net) p_.forms().tcpIp().setTitle(net->hostName() + ": " + net->hostAddress());
  listen("");
}

void TcpReceiver::listen(const std::string& before) {
  listening_ = false;
  Network* net = p_.services().net;
  if (!net) {
    setText(p_, "Text4", before + "No network on this system");
    return;
  }
  if (!listener_) {
    listener_ = net->tcpListener();
    listener_->onConnection([this](std::shared_ptr<TcpConnection> c) { Winsock1_ConnectionRequest(std::move(c)); });
  }
  const std::string portText = std::to_string(port_);
  if (listener_->listen(port_)) {
    listening_ = true;
    setText(p_, "Text4", before + "Listening to port: " + portText);
    return;
  }
  std::string why = listener_->errorText();
  const std::string line = "Cannot listen to port: " + portText + " (" +
                           (why.empty() ? std::string("in use by another program") : why) + ")";
  setText(p_, "Text4", before + line + "; close the window and open it again to retry");
  p_.setStatus("TcpIP Receiver: " + line);
}

void TcpReceiver::Form_Unload() {
  if (!loaded_) return;
  loaded_ = false;
  if (connection_) {
    auto c = std::move(connection_);
    c->onData(nullptr);
    c->onClosed(nullptr);
    c->close();
  }
  if (listener_) listener_->close();
  listening_ = false;
}

void TcpReceiver::Winsock1_ConnectionRequest(std::shared_ptr<TcpConnection> connection) {
  // One sender at a time: one that slipped in before listening stopped is sent away.
  if (connection_ || !loaded_) {
    connection->close();
    return;
  }
  ++requests_;
  peer_ = connection->peerAddress();
  setText(p_, "Text4", "Connection request id " + rec::numText(requests_) + " from " + peer_);
  listener_->close();
  listening_ = false;
  connection_ = std::move(connection);
  connection_->onData([this](const std::string& d) { Winsock1_DataArrival(d); });
  connection_->onClosed([this] { Winsock1_Close(); });
  BytesReceivedTotal = 0;
  BlockCount = 0;
}

void TcpReceiver::Winsock1_DataArrival(const std::string& data) {
  if (!connection_) return;
  const int64_t bytes = static_cast<int64_t>(data.size());
  if (BytesReceivedTotal == 0) TimeStart = timer();
  // Little-endian byte pairs from the first sample; a delivery longer than
  // the block fills it and the rest is only counted. An odd last byte sets
  // the low byte of its sample, as a byte copy would.
  const size_t n = std::min(data.size(), block_.size() * 2);
  for (size_t i = 0; i < n; ++i) {
    auto& s = reinterpret_cast<uint16_t&>(block_[i / 2]);
    const uint16_t b = static_cast<unsigned char>(data[i]);
    s = (i % 2 == 0) ? static_cast<uint16_t>((s & 0xFF00u) | b) : static_cast<uint16_t>((s & 0x00FFu) | (b << 8));
  }
  ++BlockCount;
  setText(p_, "Text2", "Received block " + rec::numText(BlockCount) + " of " + rec::numText(bytes) + " bytes ");
  BytesReceivedTotal += bytes;
  float elapsed = timer() - TimeStart;
  if (elapsed < 0) elapsed += 86400.0f;  // the timer restarts at midnight
  TimeElapsed = elapsed;
  setText(p_, "Text1", std::to_string(block_[511]));
  setText(p_, "Text5", "Total Received " + rec::numText(BytesReceivedTotal) + " in " + floatText(TimeElapsed) +
                           " seconds");
  const Control* noEcho = p_.forms().tcpIp().find("Option1");
  if (noEcho && noEcho->checked()) return;
  setText(p_, "Text3", "Acknowledge to " + peer_);
  connection_->send(tcpAcknowledgement(BlockCount, bytes, BytesReceivedTotal));
}

void TcpReceiver::Winsock1_Close() {
  setText(p_, "Text4", "Connection closed");
  if (connection_) {
    auto c = std::move(connection_);
    c->onData(nullptr);
    c->onClosed(nullptr);
    c->close();
  }
  if (loaded_) listen("Connection closed - ");
}

void TcpReceiver::Command1_Click() {
  p_.forms().tcpIp().setMinimized(true);
  // What analysis of the received blocks would be is not decided: nothing
  // reads the sample block beyond this window.
  p_.setStatus("Receiving data from " + peer_);
}

std::shared_ptr<TcpReceiver> installTcpReceiver(Program& p, int port) {
  auto r = std::make_shared<TcpReceiver>(p, port);
  if (Control* c = p.form1().find("SetTcpIp")) c->on(Event::Click, [r] { r->SetTcpIp_Click(); });
  Form& f = p.forms().tcpIp();
  if (Control* ok = f.find("Command1")) ok->on(Event::Click, [r] { r->Command1_Click(); });
  std::weak_ptr<TcpReceiver> weak = r;
  f.addObserver([weak](const Form& form) {
    auto self = weak.lock();
    if (!self) return;
    if (form.shown()) self->Form_Load();
    else self->Form_Unload();
  });
  return r;
}

}  // namespace qv
