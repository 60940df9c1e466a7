#include "remote/text_send.h"

#include <memory>

#include "core/program.h"
#include "platform/text_link.h"

namespace qv {

namespace {

struct SendState {
  bool quiet = false;       // the press comes from a loop, not the operator
  std::string lastFailure;  // reported last; cleared by a good send
};

bool sendNow(Program& p, SendState* state) {
  Form& o2 = p.options2();
  std::string why;
  bool ok = false;
  if (TextLink* link = p.services().textLink) {
    if (auto to = parseLinkTopic(o2["Text4"].text(), &why)) {
      why = link->send(*to, o2["Text5"].text(), o2["Text3"].text());
      ok = why.empty();
    }
  } else {
    why = "no text link on this system";
  }
  if (ok) {
    if (state) state->lastFailure.clear();
    return true;
  }
  const bool repeat = state && state->quiet && state->lastFailure == why;
  if (!repeat) p.setStatus("Text link: " + why);
  if (state) state->lastFailure = why;
  return false;
}

}  // namespace

bool cmdSendText_Click(Program& p) { return sendNow(p, nullptr); }

std::function<void(const std::string&)> installTextSend(Program& p) {
  auto state = std::make_shared<SendState>();
  p.options2()["cmdSendText"].on(Event::Click, [&p, state] { sendNow(p, state.get()); });
  return [&p, state](const std::string& text) {
    Form& o2 = p.options2();
    o2["Text3"].setText(text);
    state->quiet = true;
    o2["cmdSendText"].click();
    state->quiet = false;
  };
}

}  // namespace qv
