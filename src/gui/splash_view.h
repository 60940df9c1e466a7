// The start-up window: the about text and the progress dots while the
// program loads. A key press or a click closes it at once.
#pragma once

#include <QWidget>

class QLineEdit;

namespace qv {

struct SplashWindow;

class SplashView : public QWidget {
  Q_OBJECT
 public:
  // The window shows `splash` and closes it on a key or a click; `splash`
  // must outlive the view.
  explicit SplashView(SplashWindow& splash, QWidget* parent = nullptr);
  SplashWindow& splash() const { return splash_; }

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  void follow();

  SplashWindow& splash_;
  QLineEdit* progress_ = nullptr;
};

}  // namespace qv
