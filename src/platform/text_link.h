// The text link: short texts sent to another program, named by a topic and
// an item. On this platform a topic is "host:port" (or a bare port, meaning
// this machine) and each message is one UDP datagram: the item, a tab and
// the text, or just the text when there is no item.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace qv {

class Network;
class UdpSocket;

struct LinkAddress {
  std::string host;
  int port = 0;
};

// The address a topic names; nullopt with the reason in `why` when the topic
// is empty or malformed.
std::optional<LinkAddress> parseLinkTopic(const std::string& topic, std::string* why = nullptr);

// What one message carries.
std::string linkDatagram(const std::string& item, const std::string& text);

class TextLink {
 public:
  virtual ~TextLink() = default;
  // Sends one message; empty on success, otherwise words saying why not.
  virtual std::string send(const LinkAddress& to, const std::string& item, const std::string& text) = 0;
};

// The link over the network seam: one unbound UDP socket, made at the first send.
class UdpTextLink : public TextLink {
 public:
  explicit UdpTextLink(Network& net);
  ~UdpTextLink() override;
  std::string send(const LinkAddress& to, const std::string& item, const std::string& text) override;

 private:
  Network& net_;
  std::unique_ptr<UdpSocket> socket_;
};

}  // namespace qv
