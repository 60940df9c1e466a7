// The text link: short texts sent to and received from another program,
// named by a topic and an item. On this platform a topic is "host:port" (or
// a bare port, meaning this machine) and each message is one UDP datagram:
// the item, a tab and the text, or just the text when there is no item.
#pragma once

#include <functional>
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

// The item and text of a message as it arrives: before and after the first tab.
void splitLinkDatagram(const std::string& datagram, std::string& item, std::string& text);

class TextLink {
 public:
  using Heard = std::function<void(const std::string& item, const std::string& text)>;
  virtual ~TextLink() = default;
  // Sends one message; empty on success, otherwise words saying why not.
  virtual std::string send(const LinkAddress& to, const std::string& item, const std::string& text) = 0;
  // Hears the messages that arrive on the topic's port of this machine (its
  // host part names the sender's side and is not used here); a new call
  // replaces the old listener. Empty on success, otherwise why not.
  virtual std::string listen(const LinkAddress& at, Heard heard) = 0;
  virtual void stopListening() = 0;
};

// The link over the network seam: one unbound UDP socket, made at the first send.
class UdpTextLink : public TextLink {
 public:
  explicit UdpTextLink(Network& net);
  ~UdpTextLink() override;
  std::string send(const LinkAddress& to, const std::string& item, const std::string& text) override;
  std::string listen(const LinkAddress& at, Heard heard) override;
  void stopListening() override;

 private:
  Network& net_;
  std::unique_ptr<UdpSocket> socket_;
  std::unique_ptr<UdpSocket> listener_;
};

}  // namespace qv
