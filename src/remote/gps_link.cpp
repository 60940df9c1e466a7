#include "remote/gps_link.h"

#include <memory>

#include "core/program.h"
#include "platform/dialogs.h"
#include "platform/text_link.h"
#include "remote/udp_remote.h"

namespace qv {

namespace {

// Starts or stops hearing the link as the box says. A topic that cannot be
// heard is said in the status line, and in a message box when the box was
// ticked (not at every key typed into the topic).
void followGpsBox(Program& p, bool ticked) {
  TextLink* link = p.services().textLink;
  Control* box = p.options0().find("AddGPS");
  if (!link || !box) return;
  if (!box->checked()) {
    link->stopListening();
    return;
  }
  std::string why;
  auto at = parseLinkTopic(p.options2()["Text4"].text(), &why);
  if (at) {
    why = link->listen(*at, [&p](const std::string& item, const std::string& text) {
      const std::string& wanted = p.options2()["Text5"].text();
      if (!wanted.empty() && item != wanted) return;
      showGpsText(p, text);
    });
    if (why.empty()) return;
  }
  link->stopListening();
  const std::string text = "GPS DDE: " + why;
  p.setStatus(text);
  if (Dialogs* d = p.services().dialogs; d && ticked) d->message(text, "Quorvel", MsgButtons::Ok, MsgIcon::Warning);
}

}  // namespace

void installGpsTextLink(Program& p) {
  if (Control* c = p.options0().find("AddGPS")) c->on(Event::Click, [&p] { followGpsBox(p, true); });
  if (Control* c = p.options2().find("Text4")) c->on(Event::Change, [&p] {
    if (Control* box = p.options0().find("AddGPS"); box && box->checked()) followGpsBox(p, false);
  });
}

}  // namespace qv
