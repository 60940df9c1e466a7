#include "config/settings_line.h"

#include <cctype>

#include "core/control.h"
#include "core/form.h"

namespace qv {

static bool truthValue(const std::string& v) {
  std::string t;
  for (char c : v) t += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  while (!t.empty() && (t.back() == ' ' || t.back() == '\r' || t.back() == '\n')) t.pop_back();
  if (t.rfind("true", 0) == 0) return true;
  if (t.rfind("false", 0) == 0) return false;
  return leadingNumber(v) != 0.0;
}

bool applyControlValue(Control& c, const std::string& value) {
  switch (c.kind()) {
    case Kind::TextBox:
    case Kind::ComboBox:
      c.setText(value);
      return true;
    case Kind::CheckBox:
    case Kind::UpDown:
    case Kind::HScrollBar:
    case Kind::VScrollBar:
      c.setValue(static_cast<int>(roundEven(leadingNumber(value))));
      return true;
    case Kind::OptionButton:
      c.setValue(truthValue(value) ? 1 : 0);
      return true;
    default:
      return false;
  }
}

Control* settingsLineControl(Forms& forms, const std::string& rawLine, std::string& value, std::string* key) {
  std::string line = rawLine;
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  auto p = line.find('.');
  auto q = line.find('=');
  if (p == std::string::npos || q == std::string::npos) return nullptr;
  std::string section = line.substr(0, p);
  // The name runs to two characters before "=": the last one before it is
  // always a blank in files this program writes.
  std::string name;
  if (q >= p + 2) name = line.substr(p + 1, q - 1 - (p + 1));
  while (!name.empty() && name.back() == ' ') name.pop_back();
  value = line.substr(q + 1);
  size_t lead = value.find_first_not_of(' ');
  value = lead == std::string::npos ? std::string() : value.substr(lead);
  if (section != "FORM1" && section != "OPTIONS0" && section != "OPTIONS1") return nullptr;
  Form* f = forms.find(section);
  if (!f) return nullptr;
  if (key) *key = section + "." + name;
  Control* c = f->find(name);
  return c && c->isSaved() ? c : nullptr;
}

SettingsLineResult applySettingsLine(Forms& forms, const std::string& rawLine) {
  SettingsLineResult r;
  std::string value;
  if (Control* c = settingsLineControl(forms, rawLine, value, &r.key)) r.applied = applyControlValue(*c, value);
  return r;
}

}  // namespace qv
