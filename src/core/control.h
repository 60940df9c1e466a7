// A named control of one of the program's windows. Every source of change
// (widgets, settings files, presets, command line, UDP, tests) goes through
// the setters here, so the control's own handlers run exactly as they would
// for an operator's edit.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qv {

class Form;
class Surface;

enum class Kind {
  TextBox,
  ComboBox,
  CheckBox,
  OptionButton,
  UpDown,
  HScrollBar,
  VScrollBar,
  Label,
  Button,
  Frame,
  MenuItem,
  Picture,
  ListBox,
};

const char* kindName(Kind k);

// The events a control raises; handlers are named after them (Combo1_Change).
enum class Event { Change, Click };

// The mouse over a picture, in its pixel coordinates. button: the button
// pressed (MouseDown) or the buttons held (MouseMove), 1 left, 2 right, 4 middle.
struct MouseEvent {
  int x = 0;
  int y = 0;
  int button = 0;
};
enum class MouseAction { Down, Move };
constexpr int kLeftButton = 1;
constexpr int kRightButton = 2;
constexpr int kMiddleButton = 4;

struct Geometry {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

class Control {
 public:
  using Handler = std::function<void()>;
  using Observer = std::function<void(const Control&)>;

  Control(Form& form, std::string name, Kind kind);
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& name() const { return name_; }
  Kind kind() const { return kind_; }
  Form& form() const { return form_; }
  // "FORM1.Combo1": the name used by settings files and --set.
  std::string key() const;
  // Kinds a controls file stores.
  bool isSaved() const;

  // Text of a text box or combo box. Setting a different text raises Change.
  const std::string& text() const { return text_; }
  void setText(const std::string& t);
  // Caption of labels, buttons, frames, menu items, check boxes, option buttons.
  const std::string& caption() const { return caption_; }
  void setCaption(const std::string& c);

  // Check box 0/1/2, option button 0/1, up-down and scroll bar value.
  // A check box or option button raises Click on a change, an up-down or
  // scroll bar raises Change. Values are clamped into [min, max] for
  // up-downs and scroll bars.
  int value() const { return value_; }
  void setValue(int v);
  bool checked() const { return value_ != 0; }

  // Leading number of the text ("4 Mbytes" -> 4, "off" -> 0).
  double number() const;
  int intNumber() const;  // number() rounded half to even

  // Combo and list items.
  const std::vector<std::string>& items() const { return items_; }
  void setItems(std::vector<std::string> items);
  void addItem(const std::string& item);
  void clearItems();
  // Selecting an entry writes its text and raises Click (like an operator's
  // choice from the list); -1 clears the selection without an event.
  int listIndex() const { return listIndex_; }
  void setListIndex(int index);
  // Chooses the item with this exact text; false when absent.
  bool selectItem(const std::string& text);

  // Buttons and menu items: raise Click. Check box: toggle. Option button: select.
  void click();

  bool enabled() const { return enabled_; }
  void setEnabled(bool e);
  bool visible() const { return visible_; }
  void setVisible(bool v);
  // Back colour of a button as 0xRRGGBB; 0 = the window system's default.
  uint32_t backColour() const { return backColour_; }
  void setBackColour(uint32_t c);
  const std::string& toolTip() const { return toolTip_; }
  void setToolTip(const std::string& t) { toolTip_ = t; }

  int minimum() const { return min_; }
  int maximum() const { return max_; }
  void setRange(int lo, int hi);

  // Option buttons exclude each other within one group of one form.
  const std::string& group() const { return group_; }
  void setGroup(const std::string& g) { group_ = g; }

  // Frame (or menu) that holds this control; empty for the form itself.
  const std::string& parent() const { return parent_; }
  void setParent(const std::string& p) { parent_ = p; }

  const Geometry& geometry() const { return geom_; }
  void setGeometry(Geometry g);

  // Pictures draw onto a surface; the view shows it.
  std::shared_ptr<Surface> surface() const { return surface_; }
  void setSurface(std::shared_ptr<Surface> s);

  // Subsystems attach their handlers; several may listen to one event.
  void on(Event e, Handler h);
  // Raises an event without a state change (a button press, a repeat choice).
  void raise(Event e);

  // Mouse handlers (SpecGram_MouseDown, SpecGram_MouseMove). A disabled
  // control takes no mouse input.
  using MouseHandler = std::function<void(const MouseEvent&)>;
  void onMouse(MouseAction a, MouseHandler h);
  void mouse(MouseAction a, const MouseEvent& m);

  // The view listens here to mirror state changes into widgets.
  int addObserver(Observer o);
  void removeObserver(int id);

 private:
  void notify();
  void setValueSilently(int v);

  Form& form_;
  std::string name_;
  Kind kind_;
  std::string text_;
  std::string caption_;
  std::string toolTip_;
  std::string group_;
  std::string parent_;
  int value_ = 0;
  int min_ = 0;
  int max_ = 100;
  std::vector<std::string> items_;
  int listIndex_ = -1;
  bool enabled_ = true;
  bool visible_ = true;
  uint32_t backColour_ = 0;
  Geometry geom_;
  std::shared_ptr<Surface> surface_;
  std::vector<Handler> onChange_;
  std::vector<Handler> onClick_;
  std::vector<std::pair<MouseAction, MouseHandler>> onMouse_;
  std::vector<std::pair<int, Observer>> observers_;
  int nextObserver_ = 1;
};

// Leading number of a text the way the controls read it: optional blanks,
// sign, digits, decimal point, exponent. "2 - stereo" -> 2, "off" -> 0.
double leadingNumber(const std::string& s);
// Round half to even, the program's default real-to-integer conversion.
long long roundEven(double x);

}  // namespace qv
