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
};

}  // namespace qv
