// --click FORM.Control: a button or menu item pressed from the command line
// exactly as the operator presses it, through its Click handlers.
#pragma once

#include <string>

namespace qv {

class Control;
class Program;

// The button or menu item that `key` names ("FORM1.SetTcpIp"); null with a
// message for an unknown control or one of another kind.
Control* clickTarget(Program& program, const std::string& key, std::string& message);

// Presses it. A disabled one cannot be pressed, as on the screen: false
// with a message then.
bool pressFromCommandLine(Control& control, std::string& message);

}  // namespace qv
