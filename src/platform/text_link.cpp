#include "platform/text_link.h"

#include <cctype>

#include "platform/net.h"

namespace qv {

namespace {

constexpr const char* kTopicForm = " (use host:port, or a port for this machine)";

bool allDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// 1..65535, or 0 when the text is not such a number.
int portOf(const std::string& s) {
  if (!allDigits(s) || s.size() > 5) return 0;
  const int n = std::stoi(s);
  return n >= 1 && n <= 65535 ? n : 0;
}

}  // namespace

std::optional<LinkAddress> parseLinkTopic(const std::string& topicText, std::string* why) {
  auto fail = [why](std::string reason) -> std::optional<LinkAddress> {
    if (why) *why = std::move(reason);
    return std::nullopt;
  };
  // Blanks around the topic are typing noise; blanks inside make it malformed.
  const size_t a = topicText.find_first_not_of(" \t");
  const size_t b = topicText.find_last_not_of(" \t");
  const std::string topic = a == std::string::npos ? std::string() : topicText.substr(a, b - a + 1);
  if (topic.empty()) return fail(std::string("no link topic") + kTopicForm);
  const size_t colon = topic.rfind(':');
  if (colon == std::string::npos) {
    const int port = portOf(topic);
    if (port == 0) return fail("bad link topic \"" + topic + "\"" + kTopicForm);
    return LinkAddress{"127.0.0.1", port};
  }
  const std::string host = topic.substr(0, colon);
  const int port = portOf(topic.substr(colon + 1));
  const bool hostOk = !host.empty() && host.find_first_of(" \t:") == std::string::npos;
  if (!hostOk || port == 0) return fail("bad link topic \"" + topic + "\"" + kTopicForm);
  return LinkAddress{host, port};
}

std::string linkDatagram(const std::string& item, const std::string& text) {
  return item.empty() ? text : item + "\t" + text;
}

void splitLinkDatagram(const std::string& datagram, std::string& item, std::string& text) {
  const size_t tab = datagram.find('\t');
  if (tab == std::string::npos) {
    item.clear();
    text = datagram;
    return;
  }
  item = datagram.substr(0, tab);
  text = datagram.substr(tab + 1);
}

UdpTextLink::UdpTextLink(Network& net) : net_(net) {}

UdpTextLink::~UdpTextLink() = default;

std::string UdpTextLink::send(const LinkAddress& to, const std::string& item, const std::string& text) {
  if (!socket_) socket_ = net_.udp();
  if (!socket_) return "no network";
  if (!socket_->send(to.host, to.port, linkDatagram(item, text)))
    return "cannot send to " + to.host + ":" + std::to_string(to.port);
  return {};
}

std::string UdpTextLink::listen(const LinkAddress& at, Heard heard) {
  stopListening();
  listener_ = net_.udp();
  if (!listener_) return "no network";
  if (!listener_->bind(at.port)) {
    listener_.reset();
    return "port " + std::to_string(at.port) + " is in use";
  }
  listener_->onReceive([this, heard = std::move(heard)](const std::string& data, const std::string&, int fromPort) {
    // What this program itself sends to a topic on this machine is not incoming text.
    if (socket_ && fromPort == socket_->localPort()) return;
    std::string item, text;
    splitLinkDatagram(data, item, text);
    heard(item, text);
  });
  return {};
}

void UdpTextLink::stopListening() {
  if (listener_) listener_->close();
  listener_.reset();
}

}  // namespace qv
