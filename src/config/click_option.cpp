#include "config/click_option.h"

#include "core/program.h"

namespace qv {

Control* clickTarget(Program& program, const std::string& key, std::string& message) {
  Control* c = program.forms().findKey(key);
  if (!c) {
    message = "--click " + key + ": no such control (keys look like FORM1.SetTcpIp or OPTIONS2.StartGPS)";
    return nullptr;
  }
  if (c->kind() != Kind::Button && c->kind() != Kind::MenuItem) {
    message = "--click " + key + ": a " + kindName(c->kind()) +
              " is not pressed; --click takes a button or a menu item (use --set for settings)";
    return nullptr;
  }
  message.clear();
  return c;
}

bool pressFromCommandLine(Control& control, std::string& message) {
  if (!control.enabled()) {
    message = "--click " + control.key() + ": disabled at this moment, not pressed";
    return false;
  }
  message.clear();
  control.click();
  return true;
}

}  // namespace qv
