#include "platform/qt/qt_screen.h"

#include <QGuiApplication>
#include <QScreen>

namespace qv {

ScreenSize QtScreen::size() {
  QScreen* s = locate_ ? locate_() : nullptr;
  if (!s) s = QGuiApplication::primaryScreen();
  if (!s) return {1024, 768};
  const QSize g = s->geometry().size();
  return {g.width(), g.height()};
}

}  // namespace qv
