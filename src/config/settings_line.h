// Applying one "SECTION.Name = value" line of a controls file to the model.
#pragma once

#include <string>

namespace qv {

class Forms;
class Control;

// Sets a saved control from a value text the way a controls file line does:
// text and combo boxes take the text, check boxes, up-downs and scroll bars
// the leading number, option buttons a truth value. The control's own change
// handling runs. False when the control is not of a saved kind.
bool applyControlValue(Control& c, const std::string& value);

// Result of applying one line: which control it named, if any.
struct SettingsLineResult {
  bool applied = false;
  std::string key;  // "FORM1.Combo8" when a section and name were found
};

// The saved control a line names and the value it gives it, without
// applying it; null when the line names none. Only FORM1, OPTIONS0 and
// OPTIONS1 are read. `key` gets "SECTION.Name" once the section is known.
Control* settingsLineControl(Forms& forms, const std::string& line, std::string& value, std::string* key = nullptr);

// Only FORM1, OPTIONS0 and OPTIONS1 are read; anything else is ignored.
SettingsLineResult applySettingsLine(Forms& forms, const std::string& line);

}  // namespace qv
