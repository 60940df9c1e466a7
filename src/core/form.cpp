#include "core/form.h"

#include <stdexcept>

namespace qv {

Form::Form(std::string section, std::string title) : section_(std::move(section)), title_(std::move(title)) {}

void Form::setShown(bool s) {
  if (shown_ == s) return;
  shown_ = s;
  for (auto& o : observers_) o(*this);
}

void Form::setTitle(const std::string& t) {
  if (t == title_) return;
  title_ = t;
  for (auto& o : observers_) o(*this);
}

void Form::setMinimized(bool m) {
  if (m) setWindowState(WindowState::Minimised);
  else if (state_ == WindowState::Minimised) setWindowState(WindowState::Normal);
}

void Form::setSize(int w, int h) {
  if (w == width_ && h == height_) return;
  width_ = w;
  height_ = h;
  for (auto& o : observers_) o(*this);
}

void Form::move(int left, int top) {
  if (placed_ && left == left_ && top == top_) return;
  left_ = left;
  top_ = top;
  placed_ = true;
  for (auto& o : observers_) o(*this);
}

void Form::setWindowState(WindowState s) {
  if (s == state_) return;
  state_ = s;
  for (auto& o : observers_) o(*this);
}

void Form::setSurface(std::shared_ptr<Surface> s) {
  surface_ = std::move(s);
  for (auto& o : observers_) o(*this);
}

void Form::mouseMove(int x, int y) {
  auto hs = mouseMove_;
  for (auto& h : hs) h(x, y);
}

Control& Form::add(const std::string& name, Kind kind) {
  if (byName_.count(name)) throw std::logic_error("duplicate control " + section_ + "." + name);
  controls_.push_back(std::make_unique<Control>(*this, name, kind));
  byName_[name] = controls_.back().get();
  return *controls_.back();
}

Control& Form::operator[](const std::string& name) const {
  auto it = byName_.find(name);
  if (it == byName_.end()) throw std::out_of_range("no control " + section_ + "." + name);
  return *it->second;
}

Control* Form::find(const std::string& name) const {
  auto it = byName_.find(name);
  return it == byName_.end() ? nullptr : it->second;
}

Forms::Forms()
    : form1_(std::make_unique<Form>("FORM1", "Quorvel 2.0 Real-Time Spectrograph")),
      options0_(std::make_unique<Form>("OPTIONS0", "Settings")),
      options1_(std::make_unique<Form>("OPTIONS1", "Advanced Settings")),
      options2_(std::make_unique<Form>("OPTIONS2", "Special Settings")),
      specForm_(std::make_unique<Form>("SPECFORM", "Spectrum")),
      tcpIp_(std::make_unique<Form>("TCPIP", "TCP/IP")) {}

Form* Forms::find(const std::string& section) {
  for (Form* f : all())
    if (f->section() == section) return f;
  return nullptr;
}

Control* Forms::findKey(const std::string& key) {
  auto dot = key.find('.');
  if (dot == std::string::npos) return nullptr;
  Form* f = find(key.substr(0, dot));
  return f ? f->find(key.substr(dot + 1)) : nullptr;
}

std::vector<Form*> Forms::all() {
  return {form1_.get(), options0_.get(), options1_.get(), options2_.get(), specForm_.get(), tcpIp_.get()};
}

}  // namespace qv
