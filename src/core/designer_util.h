// Small helpers for declaring designer controls.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "core/form.h"

namespace qv::designer {

inline Control& text(Form& f, const std::string& name, const std::string& value, const std::string& frame = "") {
  Control& c = f.add(name, Kind::TextBox);
  c.setText(value);
  c.setParent(frame);
  return c;
}

inline Control& combo(Form& f, const std::string& name, std::vector<std::string> items, const std::string& value,
                      const std::string& frame = "") {
  Control& c = f.add(name, Kind::ComboBox);
  c.setItems(std::move(items));
  c.setText(value);
  c.setParent(frame);
  return c;
}

inline Control& check(Form& f, const std::string& name, const std::string& caption, int value = 0,
                      const std::string& frame = "") {
  Control& c = f.add(name, Kind::CheckBox);
  c.setCaption(caption);
  c.setValue(value);
  c.setParent(frame);
  return c;
}

inline Control& option(Form& f, const std::string& name, const std::string& caption, const std::string& group,
                       bool value = false, const std::string& frame = "") {
  Control& c = f.add(name, Kind::OptionButton);
  c.setCaption(caption);
  c.setGroup(group);
  c.setValue(value ? 1 : 0);
  c.setParent(frame);
  return c;
}

inline Control& updown(Form& f, const std::string& name, int lo, int hi, int value, const std::string& frame = "") {
  Control& c = f.add(name, Kind::UpDown);
  c.setRange(lo, hi);
  c.setValue(value);
  c.setParent(frame);
  return c;
}

inline Control& label(Form& f, const std::string& name, const std::string& caption, const std::string& frame = "") {
  Control& c = f.add(name, Kind::Label);
  c.setCaption(caption);
  c.setParent(frame);
  return c;
}

inline Control& button(Form& f, const std::string& name, const std::string& caption, const std::string& frame = "") {
  Control& c = f.add(name, Kind::Button);
  c.setCaption(caption);
  c.setParent(frame);
  return c;
}

inline Control& frame(Form& f, const std::string& name, const std::string& caption, const std::string& parent = "") {
  Control& c = f.add(name, Kind::Frame);
  c.setCaption(caption);
  c.setParent(parent);
  return c;
}

// Menu items: parent is the menu that holds them ("" for the menu bar).
inline Control& menu(Form& f, const std::string& name, const std::string& caption, const std::string& parent = "") {
  Control& c = f.add(name, Kind::MenuItem);
  c.setCaption(caption);
  c.setParent(parent);
  return c;
}

inline Control& picture(Form& f, const std::string& name, const std::string& frame = "") {
  Control& c = f.add(name, Kind::Picture);
  c.setParent(frame);
  return c;
}

inline void place(Control& c, int left, int top, int width, int height) { c.setGeometry({left, top, width, height}); }

}  // namespace qv::designer
