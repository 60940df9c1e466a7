#include "gui/splash_view.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "config/startup.h"
#include "realtime/palette.h"

namespace qv {
namespace {

// A strip of the default colour scale, as the spectrogram draws levels.
QPixmap scalePicture(int w, int h) {
  ColourPalette pal;
  QImage img(w, h, QImage::Format_RGB32);
  for (int x = 0; x < w; ++x) {
    const Rgb c = pal.at(x * 255 / std::max(w - 1, 1));
    for (int y = 0; y < h; ++y) img.setPixel(x, y, 0xFF000000u | c);
  }
  return QPixmap::fromImage(img);
}

}  // namespace

SplashView::SplashView(SplashWindow& splash, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), splash_(splash) {
  setObjectName("frmSplash");
  auto* lay = new QVBoxLayout(this);
  auto* picture = new QLabel(this);
  picture->setObjectName("Picture1");
  picture->setPixmap(scalePicture(440, 24));
  auto* text = new QPlainTextEdit(QString::fromStdString(splash.text).replace("\r\n", "\n"), this);
  text->setObjectName("Text");
  text->setReadOnly(true);
  text->setFrameShape(QFrame::NoFrame);
  progress_ = new QLineEdit(this);
  progress_->setObjectName("TextProgress");
  progress_->setReadOnly(true);
  lay->addWidget(picture);
  lay->addWidget(text, 1);
  lay->addWidget(progress_);
  resize(470, 260);
  if (QScreen* s = QGuiApplication::primaryScreen()) move(s->geometry().center() - rect().center());
  // A click on the picture or the text closes the window as well.
  for (QWidget* w : {static_cast<QWidget*>(picture), static_cast<QWidget*>(text->viewport()),
                     static_cast<QWidget*>(progress_)})
    w->installEventFilter(this);
  auto* timer = new QTimer(this);
  timer->setInterval(20);
  connect(timer, &QTimer::timeout, this, &SplashView::follow);
  timer->start();
  follow();
}

void SplashView::follow() {
  const QString dots = QString::fromStdString(splash_.textProgress);
  if (progress_->text() != dots) progress_->setText(dots);
}

void SplashView::keyPressEvent(QKeyEvent*) { splash_.close(); }

void SplashView::mousePressEvent(QMouseEvent*) { splash_.close(); }

bool SplashView::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::KeyPress) {
    splash_.close();
    return true;
  }
  return QWidget::eventFilter(o, e);
}

}  // namespace qv
