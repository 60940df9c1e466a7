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

// Places a control and hands it back, so a declaration reads as one line.
inline Control& at(Control& c, int left, int top, int width, int height) {
  c.setGeometry({left, top, width, height});
  return c;
}

inline Control& tip(Control& c, const std::string& t) {
  c.setToolTip(t);
  return c;
}

// Row metrics shared by the panels: boxes are 20 px, combos 22, buttons 24-28,
// one row every 24 px; a caption label sits 2 px lower than its box.
constexpr int kRow = 24;

// A caption label for the box at (x, y): "<box>Label" unless a name is given.
inline Control& caption(Form& f, const std::string& name, const std::string& text, const std::string& frame, int x,
                        int y, int width) {
  return at(label(f, name, text, frame), x, y + 2, width, 18);
}

}  // namespace qv::designer
