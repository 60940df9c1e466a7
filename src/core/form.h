// One window of the program as a model: its named controls in control order.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/control.h"

namespace qv {

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
  bool minimized() const { return minimized_; }
  void setMinimized(bool m);
  int width() const { return width_; }
  int height() const { return height_; }
  void setSize(int w, int h);

  Control& add(const std::string& name, Kind kind);
  // Throws std::out_of_range with the key when absent: a misspelt name is a bug.
  Control& operator[](const std::string& name) const;
  Control* find(const std::string& name) const;
  const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }

  // Called when the form is shown, hidden, minimized, resized or retitled (the view follows it).
  using FormObserver = std::function<void(const Form&)>;
  void addObserver(FormObserver o) { observers_.push_back(std::move(o)); }

 private:
  std::string section_;
  std::string title_;
  bool shown_ = false;
  bool minimized_ = false;
  int width_ = 0;
  int height_ = 0;
  std::vector<std::unique_ptr<Control>> controls_;
  std::map<std::string, Control*> byName_;
  std::vector<FormObserver> observers_;
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
