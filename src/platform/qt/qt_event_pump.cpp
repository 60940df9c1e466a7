#include "platform/qt/qt_event_pump.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace qv {

void QtEventPump::processEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtEventPump::processEventsFor(int ms) { QCoreApplication::processEvents(QEventLoop::AllEvents, ms); }

}  // namespace qv
