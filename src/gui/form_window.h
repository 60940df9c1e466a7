// A top-level window showing one Form: its menus in a menu bar, its controls
// on a plain canvas at their designed positions. The window appears and hides
// with the Form (Form::setShown) and takes the Form's size (Form::setSize:
// the window's inner size, menu bar included); an operator's resize and
// close go back to the Form.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <memory>
#include <string>

namespace qv {

class Form;
class FormView;

class FormWindow : public QMainWindow {
  Q_OBJECT
 public:
  // With a parent the window stays a separate window that keeps above it.
  explicit FormWindow(Form& form, QWidget* parent = nullptr);
  ~FormWindow() override;

  Form& form() const { return form_; }
  FormView& view() const { return *view_; }
  // The widget of a control, by the control's name.
  QWidget* control(const std::string& name) const;
  // Brings the window in line with the Form (shown, size, title).
  void followForm();
  // Sizes the window to its controls while the Form has no size of its own.
  void fitContent();

 protected:
  void closeEvent(QCloseEvent* e) override;
  void changeEvent(QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  Form& form_;
  QWidget* canvas_;
  std::unique_ptr<FormView> view_;
  void applyFormSize();

  static constexpr int kEchoMs = 300;
  bool following_ = false;
  bool reporting_ = false;
  QElapsedTimer sinceResize_;
};

}  // namespace qv
