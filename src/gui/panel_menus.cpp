// Menu items that open a panel. The items are found by caption because
// their names belong to the window's design; opening is only showing the
// panel's Form, the panel's own code (undo snapshot, copies of the quick
// settings) hooks the same Click.
#include <string>

#include "core/program.h"
#include "gui/form_view.h"
#include "gui/views.h"

namespace qv {

static std::string trimmed(const std::string& s) {
  size_t a = s.find_first_not_of(' ');
  size_t b = s.find_last_not_of(" .");
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

void installPanelMenus(Program& program) {
  struct Opens {
    const char* caption;
    Form* form;
  };
  const Opens opens[] = {{"Basic Settings", &program.options0()},
                         {"Settings", &program.options0()},
                         {"Advanced Settings", &program.options1()},
                         {"Special Settings", &program.options2()}};
  for (auto& c : program.form1().controls()) {
    if (c->kind() != Kind::MenuItem) continue;
    const std::string caption = trimmed(plainCaption(c->caption()));
    for (const Opens& o : opens) {
      if (caption != o.caption) continue;
      Form* f = o.form;
      c->on(Event::Click, [f] { f->setShown(true); });
      break;
    }
  }
}

}  // namespace qv
