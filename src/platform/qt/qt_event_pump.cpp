#include "platform/qt/qt_event_pump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace qv {

void QtEventPump::processEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtEventPump::processEventsFor(int ms) {
  // Sleeps until an event comes or the time is up, so a paused loop does not
  // spin a core; processEvents(flags, ms) alone returns at once when idle.
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  if (ms <= 0) return;
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  timer.start(ms);
  loop.processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void QtEventPump::post(int delayMs, std::function<void()> f) {
  QTimer::singleShot(delayMs > 0 ? delayMs : 0, QCoreApplication::instance(), std::move(f));
}

}  // namespace qv
