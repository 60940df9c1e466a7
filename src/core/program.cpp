#include "core/program.h"

#include "platform/event_pump.h"

namespace qv {

static std::string withSlash(std::string s) {
  if (!s.empty() && s.back() != '/') s += '/';
  return s;
}

Program::Program(Services services, std::string programFolder)
    : services_(services), programFolder_(withSlash(std::move(programFolder))) {}

void Program::setStatus(const std::string& text) {
  if (Control* c = form1().find("StatusLine")) c->setText(text);
}

void Program::appendStatus(const std::string& text) {
  if (Control* c = form1().find("StatusLine")) c->setText(c->text() + text);
}

std::string Program::status() {
  Control* c = form1().find("StatusLine");
  return c ? c->text() : std::string();
}

void Program::refuseStart(const std::string& why) {
  setStatus(why);
  for (auto& listener : refusalListeners_) listener(why);
}

void Program::onStartRefused(std::function<void(const std::string&)> listener) {
  if (listener) refusalListeners_.push_back(std::move(listener));
}

void Program::pumpEvents() {
  if (services_.pump) services_.pump->processEvents();
}

}  // namespace qv
