// Binds the controls of one Form to widgets, by name. Each widget mirrors its
// control through the control's observers (signals blocked while it follows,
// so nothing echoes back), and every operator action goes back through the
// control's setters so the control's handlers run exactly once, as they do for
// settings files, presets and remote commands.
#pragma once

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <QSize>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QMenuBar;
class QTimer;

namespace qv {

class Control;
class Form;
class PictureWidget;

class FormView : public QObject {
  Q_OBJECT
 public:
  // canvas: the widget the form's controls are placed on (control geometry is
  // relative to it, or to the frame holding the control). menuBar receives
  // the form's menus; without one, menu items are kept as unattached actions.
  // The form must outlive the view.
  FormView(Form& form, QWidget* canvas, QMenuBar* menuBar = nullptr, QObject* parent = nullptr);
  ~FormView() override;

  Form& form() const { return form_; }
  QWidget* canvas() const { return canvas_; }
  // The widget of a control (nullptr for menu items and unknown names).
  QWidget* widget(const std::string& name) const;
  // The action of a menu item (a menu's own action for an item with children).
  QAction* action(const std::string& name) const;
  QMenu* menu(const std::string& name) const;
  // Size that holds every top-level control with a small margin.
  QSize contentSize() const;

  // Repaints the pictures whose surfaces changed; runs on a short timer.
  void refreshPictures();

 signals:
  // The fallback placement moved controls (an unplaced picture got its size).
  void contentChanged();

 private:
  struct Binding {
    Control* control = nullptr;
    QPointer<QWidget> widget;
    QPointer<QAction> action;
    QPointer<QMenu> menu;
    int observer = 0;
    bool hasGeometry = false;  // the model placed it; otherwise the fallback flow did
    std::vector<std::string> shownItems;
    QPointer<QLabel> nameTag;  // fallback caption of an unplaced field
  };

  void createWidget(Binding& b);
  void createMenus();
  void connectWidget(Binding& b);
  // An operator's press goes through the program's command path: pressed
  // while a handler is still running (a wait, a dialog), it runs after it.
  // `after` brings the widget back to what the model decided.
  void press(Control* c, std::function<void()> act, std::function<void()> after);
  void sync(Binding& b);
  void syncCommon(Binding& b);
  void layoutUnplaced();
  int flowChildren(const std::string& parent, QWidget* container, int width, int top);
  QSize defaultSize(const Binding& b) const;
  static bool needsNameTag(const Control& c);
  Binding* find(const std::string& name);
  const Binding* find(const std::string& name) const;

  Form& form_;
  QPointer<QWidget> canvas_;
  QPointer<QMenuBar> menuBar_;
  std::vector<std::unique_ptr<Binding>> bindings_;
  std::map<std::string, Binding*> byName_;
  std::vector<QPointer<PictureWidget>> pictures_;
  QTimer* pictureTimer_ = nullptr;
  bool layoutDone_ = false;
};

// Strips the "&" mnemonic markers of a caption ("&&" stays a literal "&").
std::string plainCaption(const std::string& caption);

}  // namespace qv
