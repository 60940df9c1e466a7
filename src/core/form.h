// One window of the program as a model: its named controls in control order.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/control.h"

namespace qv {

class CommandPath;
enum class WindowState { Normal, Minimised, Maximised };

class Form {
 public:
  // section: the settings-file section ("FORM1", "OPTIONS0", ...).
  Form(std::string section, std::string title);
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& section() const { return section_; }
  const std::string& title() const { return title_; }
  void setTitle(const std::string& t);
  bool shown() const { return shown_; }
  void setShown(bool s);
  // Shown but reduced to its icon.
  bool minimized() const { return state_ == WindowState::Minimised; }
  void setMinimized(bool m);
  // Inner size in pixels: the client area under the menu bar.
  int width() const { return width_; }
  int height() const { return height_; }
  void setSize(int w, int h);
  // Position of the window on the screen; unplaced until moved.
  int left() const { return left_; }
  int top() const { return top_; }
  bool placed() const { return placed_; }
  void move(int left, int top);
  WindowState windowState() const { return state_; }
  void setWindowState(WindowState s);

  // The window's own drawing surface behind its controls, in the same pixel
  // coordinates as the controls (axes and letters around the pictures).
  std::shared_ptr<Surface> surface() const { return surface_; }
  void setSurface(std::shared_ptr<Surface> s);

  // The mouse over the window itself, outside its controls.
  void onMouseMove(std::function<void(int x, int y)> h) { mouseMove_.push_back(std::move(h)); }
  void mouseMove(int x, int y);

  Control& add(const std::string& name, Kind kind);
  // Throws std::out_of_range with the key when absent: a misspelt name is a bug.
  Control& operator[](const std::string& name) const;
  Control* find(const std::string& name) const;
  const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }

  // Called when the form is shown, hidden, resized, moved, retitled or
  // changes state (the view follows it).
  using FormObserver = std::function<void(const Form&)>;
  void addObserver(FormObserver o) { observers_.push_back(std::move(o)); }

  // Where the operator's presses on this window go (the program's command
  // path); a window without a program has none, and presses act at once.
  CommandPath* commandPath() const { return commandPath_; }
  void setCommandPath(CommandPath* p) { commandPath_ = p; }

 private:
  std::string section_;
  std::string title_;
  bool shown_ = false;
  int width_ = 0;
  int height_ = 0;
  int left_ = 0;
  int top_ = 0;
  bool placed_ = false;
  WindowState state_ = WindowState::Normal;
  std::shared_ptr<Surface> surface_;
  std::vector<std::function<void(int, int)>> mouseMove_;
  std::vector<std::unique_ptr<Control>> controls_;
  std::map<std::string, Control*> byName_;
  std::vector<FormObserver> observers_;
  CommandPath* commandPath_ = nullptr;
};

// All windows of the program, by section name.
class Forms {
 public:
  Forms();
  Form& form1() { return *form1_; }
  Form& options0() { return *options0_; }
  Form& options1() { return *options1_; }
  Form& options2() { return *options2_; }
  Form& specForm() { return *specForm_; }
  Form& tcpIp() { return *tcpIp_; }
  Form* find(const std::string& section);
  // "FORM1.Combo1" -> the control, or nullptr.
  Control* findKey(const std::string& key);
  std::vector<Form*> all();

 private:
  std::unique_ptr<Form> form1_, options0_, options1_, options2_, specForm_, tcpIp_;
};

}  // namespace qv
