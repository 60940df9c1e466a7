// Text-link double: keeps every message sent, and can be told to refuse.
#pragma once

#include <string>
#include <vector>

#include "platform/text_link.h"

namespace qv {

class RecordingTextLink : public TextLink {
 public:
  struct Message {
    std::string host;
    int port = 0;
    std::string item;
    std::string text;
    std::string datagram;  // as it would go on the wire
  };
  std::vector<Message> sent;
  // Non-empty: every send fails with these words (nothing is recorded).
  std::string failure;

  std::string send(const LinkAddress& to, const std::string& item, const std::string& text) override {
    if (!failure.empty()) return failure;
    sent.push_back({to.host, to.port, item, text, linkDatagram(item, text)});
    return {};
  }

  // Listening: the port heard on (0 when not listening).
  int listeningPort = 0;
  std::string listen(const LinkAddress& at, Heard heard) override {
    if (!failure.empty()) return failure;
    listeningPort = at.port;
    heard_ = std::move(heard);
    return {};
  }
  void stopListening() override {
    listeningPort = 0;
    heard_ = nullptr;
  }
  // A message arrives on the listened port; false when nobody listens.
  bool deliver(const std::string& datagram) {
    if (listeningPort == 0 || !heard_) return false;
    std::string item, text;
    splitLinkDatagram(datagram, item, text);
    auto h = heard_;
    h(item, text);
    return true;
  }

 private:
  Heard heard_;
};

}  // namespace qv
