#include "core/control.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "core/command_path.h"
#include "core/form.h"

namespace qv {

const char* kindName(Kind k) {
  switch (k) {
    case Kind::TextBox: return "TextBox";
    case Kind::ComboBox: return "ComboBox";
    case Kind::CheckBox: return "CheckBox";
    case Kind::OptionButton: return "OptionButton";
    case Kind::UpDown: return "UpDown";
    case Kind::HScrollBar: return "HScrollBar";
    case Kind::VScrollBar: return "VScrollBar";
    case Kind::Label: return "Label";
    case Kind::Button: return "Button";
    case Kind::Frame: return "Frame";
    case Kind::MenuItem: return "MenuItem";
    case Kind::Picture: return "Picture";
    case Kind::ListBox: return "ListBox";
  }
  return "?";
}

double leadingNumber(const std::string& s) {
  // Same reading as the controls' own: blanks, then a number, anything after ignored.
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  size_t start = i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  bool digits = false;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, digits = true;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, digits = true;
  }
  if (!digits) return 0.0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
      while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
      i = j;
    }
  }
  double v = std::strtod(s.substr(start, i - start).c_str(), nullptr);
  return std::isfinite(v) ? v : 0.0;
}

long long roundEven(double x) {
  if (!std::isfinite(x)) return 0;
  if (x > 9.2e18) return 9200000000000000000LL;
  if (x < -9.2e18) return -9200000000000000000LL;
  return static_cast<long long>(std::nearbyint(x));  // default FE_TONEAREST: ties to even
}

Control::Control(Form& form, std::string name, Kind kind) : form_(form), name_(std::move(name)), kind_(kind) {
  if (kind == Kind::UpDown || kind == Kind::HScrollBar || kind == Kind::VScrollBar) {
    min_ = 0;
    max_ = kind == Kind::UpDown ? 10 : 32767;
  }
}

std::string Control::key() const { return form_.section() + "." + name_; }

bool Control::isSaved() const {
  switch (kind_) {
    case Kind::TextBox:
    case Kind::ComboBox:
    case Kind::CheckBox:
    case Kind::OptionButton:
    case Kind::UpDown:
    case Kind::HScrollBar:
    case Kind::VScrollBar:
      return true;
    default:
      return false;
  }
}

void Control::notify() {
  // Copy: an observer may add or remove observers.
  auto obs = observers_;
  for (auto& [id, o] : obs) o(*this);
}

void Control::setText(const std::string& t) {
  if (kind_ != Kind::TextBox && kind_ != Kind::ComboBox && kind_ != Kind::ListBox) {
    setCaption(t);
    return;
  }
  if (t == text_) return;
  text_ = t;
  if (kind_ == Kind::ComboBox) {
    // The selection follows the text, as in a drop-down combo.
    auto it = std::find(items_.begin(), items_.end(), t);
    listIndex_ = it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
  }
  notify();
  raise(Event::Change);
}

void Control::setCaption(const std::string& c) {
  if (c == caption_) return;
  caption_ = c;
  notify();
}

void Control::setValueSilently(int v) {
  value_ = v;
  notify();
}

void Control::setValue(int v) {
  switch (kind_) {
    case Kind::CheckBox:
      v = std::clamp(v, 0, 2);
      if (v == value_) return;
      setValueSilently(v);
      raise(Event::Click);
      return;
    case Kind::OptionButton: {
      v = v ? 1 : 0;
      if (v == value_) return;
      if (v) {
        // Selecting one button deselects the others of its group first.
        for (auto& c : form_.controls()) {
          Control& o = *c;
          if (&o != this && o.kind_ == Kind::OptionButton && o.group_ == group_ && o.value_) o.setValueSilently(0);
        }
      }
      setValueSilently(v);
      if (v) raise(Event::Click);
      return;
    }
    case Kind::UpDown:
    case Kind::HScrollBar:
    case Kind::VScrollBar:
      v = std::clamp(v, min_, max_);
      if (v == value_) return;
      setValueSilently(v);
      raise(Event::Change);
      return;
    default:
      if (v == value_) return;
      setValueSilently(v);
      return;
  }
}

double Control::number() const { return leadingNumber(text_); }

int Control::intNumber() const {
  long long r = roundEven(number());
  return static_cast<int>(std::clamp<long long>(r, -2147483647LL - 1, 2147483647LL));
}

void Control::setItems(std::vector<std::string> items) {
  items_ = std::move(items);
  auto it = std::find(items_.begin(), items_.end(), text_);
  listIndex_ = it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
  notify();
}

void Control::addItem(const std::string& item) {
  items_.push_back(item);
  if (listIndex_ < 0 && item == text_) listIndex_ = static_cast<int>(items_.size()) - 1;
  notify();
}

void Control::clearItems() {
  items_.clear();
  listIndex_ = -1;
  notify();
}

void Control::setListIndex(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) {
    if (listIndex_ != -1) {
      listIndex_ = -1;
      notify();
    }
    return;
  }
  listIndex_ = index;
  const std::string& t = items_[index];
  if (t != text_) {
    text_ = t;
    notify();
    raise(Event::Change);
  } else {
    notify();
  }
  raise(Event::Click);
}

bool Control::selectItem(const std::string& text) {
  auto it = std::find(items_.begin(), items_.end(), text);
  if (it == items_.end()) return false;
  setListIndex(static_cast<int>(it - items_.begin()));
  return true;
}

void Control::click() {
  switch (kind_) {
    case Kind::CheckBox:
      setValue(value_ ? 0 : 1);
      return;
    case Kind::OptionButton:
      if (value_) raise(Event::Click);
      else setValue(1);
      return;
    default:
      if (enabled_) raise(Event::Click);
      return;
  }
}

void Control::setBackColour(uint32_t c) {
  if (c == backColour_) return;
  backColour_ = c;
  notify();
}

void Control::setEnabled(bool e) {
  if (e == enabled_) return;
  enabled_ = e;
  notify();
}

void Control::setVisible(bool v) {
  if (v == visible_) return;
  visible_ = v;
  notify();
}

void Control::setRange(int lo, int hi) {
  min_ = lo;
  max_ = hi;
  notify();
}

void Control::setGeometry(Geometry g) {
  geom_ = g;
  notify();
}

void Control::setSurface(std::shared_ptr<Surface> s) {
  surface_ = std::move(s);
  notify();
}

void Control::on(Event e, Handler h) { (e == Event::Change ? onChange_ : onClick_).push_back(std::move(h)); }

void Control::raise(Event e) {
  // Copy: a handler may attach further handlers.
  auto hs = e == Event::Change ? onChange_ : onClick_;
  if (hs.empty()) return;
  // A command arriving while the handlers serve events waits for them.
  CommandPath::Handler running(form_.commandPath());
  for (auto& h : hs) h();
}

void Control::onMouse(MouseAction a, MouseHandler h) { onMouse_.emplace_back(a, std::move(h)); }

void Control::mouse(MouseAction a, const MouseEvent& m) {
  if (!enabled_) return;
  auto hs = onMouse_;
  for (auto& [action, h] : hs)
    if (action == a) h(m);
}

int Control::addObserver(Observer o) {
  observers_.emplace_back(nextObserver_, std::move(o));
  return nextObserver_++;
}

void Control::removeObserver(int id) {
  std::erase_if(observers_, [id](auto& p) { return p.first == id; });
}

}  // namespace qv
