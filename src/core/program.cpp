#include "core/program.h"

#include "platform/event_pump.h"

namespace qv {

static std::string withSlash(std::string s) {
  if (!s.empty() && s.back() != '/') s += '/';
  return s;
}

Program::Program(Services services, std::string programFolder)
    : services_(services),
      programFolder_(withSlash(std::move(programFolder))),
      commands_(services.clock, services.pump) {
  for (Form* f : forms_.all()) f->setCommandPath(&commands_);
}

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
  CommandPath::Pass pass(commands_, vars_.StopFlag);
  if (services_.pump) services_.pump->processEvents();
}

void Program::pumpEventsFor(int ms) {
  CommandPath::Pass pass(commands_, vars_.StopFlag);
  if (services_.pump) services_.pump->processEventsFor(ms);
}

}  // namespace qv
