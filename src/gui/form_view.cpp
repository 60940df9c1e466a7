#include "gui/form_view.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

#include "core/command_path.h"
#include "core/control.h"
#include "core/form.h"
#include "gui/picture_widget.h"
#include "platform/surface.h"

namespace qv {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

// A narrow up-down control: two arrow buttons stacked, like the classic spin
// arrows placed beside a text box.
class UpDownPair : public QWidget {
 public:
  explicit UpDownPair(QWidget* parent) : QWidget(parent) {
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    up = new QToolButton(this);
    down = new QToolButton(this);
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {up, down}) {
      b->setAutoRepeat(true);
      b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
      b->setFocusPolicy(Qt::NoFocus);
      lay->addWidget(b);
    }
  }
  QToolButton* up;
  QToolButton* down;
};

// Enter in a combo's text field would reach the program as a list choice
// (a Click) although nothing was chosen; the text already went in as typed.
class SwallowEnter : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(e)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
    }
    return QObject::eventFilter(o, e);
  }
};

// A wheel turned over a settings box the operator has not clicked into must
// not change the setting (and maybe restart a run): it scrolls past instead.
class IgnoreStrayWheel : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Wheel) {
      auto* w = static_cast<QWidget*>(o);
      if (!w->hasFocus()) {
        e->ignore();
        return true;
      }
    }
    return QObject::eventFilter(o, e);
  }
};

bool hasSize(const Geometry& g) { return g.width > 0 && g.height > 0; }

// Up-downs narrower than this are arrow pairs; wider ones show their number.
constexpr int kArrowPairMaxWidth = 40;

// The fallback flow for controls the designer did not place.
constexpr int kMargin = 8;
constexpr int kGap = 6;
constexpr int kFrameTitle = 20;
constexpr int kDefaultFormWidth = 800;

}  // namespace

std::string plainCaption(const std::string& caption) {
  std::string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') out += '&', ++i;
      continue;
    }
    out += caption[i];
  }
  return out;
}

FormView::FormView(Form& form, QWidget* canvas, QMenuBar* menuBar, QObject* parent)
    : QObject(parent), form_(form), canvas_(canvas), menuBar_(menuBar) {
  for (auto& c : form_.controls()) {
    auto b = std::make_unique<Binding>();
    b->control = c.get();
    byName_[c->name()] = b.get();
    bindings_.push_back(std::move(b));
  }
  // Widgets first, all on the canvas, then into their frames: a frame may be
  // declared after the controls it holds.
  for (auto& b : bindings_)
    if (b->control->kind() != Kind::MenuItem) createWidget(*b);
  for (auto& b : bindings_) {
    if (!b->widget) continue;
    const std::string& p = b->control->parent();
    if (p.empty()) continue;
    Binding* holder = find(p);
    // A holder inside this control (a cycle in the design) keeps it on the canvas.
    if (holder && holder->widget && holder != b.get() && !b->widget->isAncestorOf(holder->widget))
      b->widget->setParent(holder->widget);
  }
  createMenus();
  for (auto& b : bindings_) {
    sync(*b);
    connectWidget(*b);
    Binding* raw = b.get();
    b->observer = b->control->addObserver([this, raw](const Control&) { sync(*raw); });
  }
  layoutUnplaced();
  layoutDone_ = true;
  for (auto& b : bindings_)
    if (b->widget) b->widget->setVisible(b->control->visible());

  if (!pictures_.empty()) {
    pictureTimer_ = new QTimer(this);
    pictureTimer_->setInterval(33);
    connect(pictureTimer_, &QTimer::timeout, this, &FormView::refreshPictures);
    pictureTimer_->start();
  }
}

FormView::~FormView() {
  for (auto& b : bindings_)
    if (b->observer) b->control->removeObserver(b->observer);
}

FormView::Binding* FormView::find(const std::string& name) {
  auto it = byName_.find(name);
  return it == byName_.end() ? nullptr : it->second;
}

const FormView::Binding* FormView::find(const std::string& name) const {
  auto it = byName_.find(name);
  return it == byName_.end() ? nullptr : it->second;
}

QWidget* FormView::widget(const std::string& name) const {
  const Binding* b = find(name);
  return b ? b->widget.data() : nullptr;
}

QAction* FormView::action(const std::string& name) const {
  const Binding* b = find(name);
  return b ? b->action.data() : nullptr;
}

QMenu* FormView::menu(const std::string& name) const {
  const Binding* b = find(name);
  return b ? b->menu.data() : nullptr;
}

void FormView::createWidget(Binding& b) {
  Control& c = *b.control;
  QWidget* w = nullptr;
  switch (c.kind()) {
    case Kind::TextBox:
      w = new QLineEdit(canvas_);
      break;
    case Kind::ComboBox: {
      auto* cb = new QComboBox(canvas_);
      cb->setEditable(true);
      // The model owns the list: typing a new text must not add an item.
      cb->setInsertPolicy(QComboBox::NoInsert);
      cb->setMaxVisibleItems(20);
      cb->lineEdit()->installEventFilter(new SwallowEnter(cb));
      cb->setFocusPolicy(Qt::StrongFocus);
      cb->installEventFilter(new IgnoreStrayWheel(cb));
      w = cb;
      break;
    }
    case Kind::CheckBox:
      w = new QCheckBox(canvas_);
      break;
    case Kind::OptionButton: {
      auto* rb = new QRadioButton(canvas_);
      // Groups are the model's, not the widget parent's.
      rb->setAutoExclusive(false);
      w = rb;
      break;
    }
    case Kind::UpDown:
      if (hasSize(c.geometry()) && c.geometry().width < kArrowPairMaxWidth) {
        w = new UpDownPair(canvas_);
      } else {
        auto* sb = new QSpinBox(canvas_);
        sb->setKeyboardTracking(false);
        sb->setFocusPolicy(Qt::StrongFocus);
        sb->installEventFilter(new IgnoreStrayWheel(sb));
        w = sb;
      }
      break;
    case Kind::HScrollBar:
      w = new QScrollBar(Qt::Horizontal, canvas_);
      break;
    case Kind::VScrollBar:
      w = new QScrollBar(Qt::Vertical, canvas_);
      break;
    case Kind::Label: {
      auto* l = new QLabel(canvas_);
      l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      l->setWordWrap(true);
      l->setTextFormat(Qt::PlainText);
      w = l;
      break;
    }
    case Kind::Button:
      w = new QPushButton(canvas_);
      break;
    case Kind::Frame:
      w = new QGroupBox(canvas_);
      break;
    case Kind::Picture: {
      auto* p = new PictureWidget(canvas_);
      pictures_.push_back(p);
      w = p;
      break;
    }
    case Kind::ListBox:
      w = new QListWidget(canvas_);
      break;
    case Kind::MenuItem:
      return;
  }
  w->setObjectName(q(c.name()));
  b.widget = w;
}

void FormView::createMenus() {
  // An item that holds other items is a menu; the rest are actions.
  std::map<std::string, bool> holds;
  for (auto& b : bindings_)
    if (b->control->kind() == Kind::MenuItem && !b->control->parent().empty()) holds[b->control->parent()] = true;

  for (auto& b : bindings_) {
    Control& c = *b->control;
    if (c.kind() != Kind::MenuItem) continue;
    if (holds.count(c.name())) {
      b->menu = new QMenu(canvas_);
      b->menu->setObjectName(q(c.name()));
      b->action = b->menu->menuAction();
    } else {
      b->action = new QAction(canvas_);
    }
    b->action->setObjectName(q(c.name()));
  }
  // Attach in control order so menus read as designed.
  for (auto& b : bindings_) {
    Control& c = *b->control;
    if (c.kind() != Kind::MenuItem) continue;
    Binding* holder = c.parent().empty() ? nullptr : find(c.parent());
    if (holder && holder->menu) {
      holder->menu->addAction(b->action);
    } else if (menuBar_) {
      menuBar_->addAction(b->action);
    } else if (canvas_) {
      canvas_->addAction(b->action);
    }
  }
}

void FormView::connectWidget(Binding& b) {
  Control* c = b.control;
  Binding* bp = &b;
  // After an operator action the widget shows what the model decided (a
  // handler may refuse or adjust the change).
  auto resync = [this, bp] { sync(*bp); };
  switch (c->kind()) {
    case Kind::TextBox: {
      auto* le = static_cast<QLineEdit*>(b.widget.data());
      connect(le, &QLineEdit::textEdited, this, [c, resync](const QString& t) {
        c->setText(t.toStdString());
        resync();
      });
      break;
    }
    case Kind::ComboBox: {
      auto* cb = static_cast<QComboBox*>(b.widget.data());
      connect(cb, &QComboBox::activated, this, [c, resync](int index) {
        c->setListIndex(index);
        resync();
      });
      connect(cb->lineEdit(), &QLineEdit::textEdited, this, [c, resync](const QString& t) {
        c->setText(t.toStdString());
        resync();
      });
      break;
    }
    case Kind::CheckBox: {
      auto* cb = static_cast<QCheckBox*>(b.widget.data());
      // An operator's click toggles between cleared and checked; grey (2) is
      // only ever set by the program.
      connect(cb, &QCheckBox::clicked, this, [this, c, resync] {
        press(c, [c] { c->setValue(c->value() == 1 ? 0 : 1); }, resync);
      });
      break;
    }
    case Kind::OptionButton: {
      auto* rb = static_cast<QRadioButton*>(b.widget.data());
      connect(rb, &QRadioButton::clicked, this, [this, c, resync] { press(c, [c] { c->setValue(1); }, resync); });
      break;
    }
    case Kind::UpDown:
      if (auto* pair = dynamic_cast<UpDownPair*>(b.widget.data())) {
        connect(pair->up, &QToolButton::clicked, this, [c] { c->setValue(c->value() + 1); });
        connect(pair->down, &QToolButton::clicked, this, [c] { c->setValue(c->value() - 1); });
      } else {
        auto* sb = static_cast<QSpinBox*>(b.widget.data());
        connect(sb, &QSpinBox::valueChanged, this, [c, resync](int v) {
          c->setValue(v);
          resync();
        });
      }
      break;
    case Kind::HScrollBar:
    case Kind::VScrollBar: {
      auto* sb = static_cast<QScrollBar*>(b.widget.data());
      connect(sb, &QScrollBar::valueChanged, this, [c](int v) { c->setValue(v); });
      break;
    }
    case Kind::Button: {
      auto* pb = static_cast<QPushButton*>(b.widget.data());
      connect(pb, &QPushButton::clicked, this, [this, c] { press(c, [c] { c->click(); }, nullptr); });
      break;
    }
    case Kind::ListBox: {
      auto* lw = static_cast<QListWidget*>(b.widget.data());
      connect(lw, &QListWidget::currentRowChanged, this, [c, resync](int row) {
        if (row >= 0) c->setListIndex(row);
        resync();
      });
      break;
    }
    case Kind::MenuItem:
      if (b.action && !b.menu) {
        connect(b.action, &QAction::triggered, this, [this, c, resync] { press(c, [c] { c->click(); }, resync); });
      }
      break;
    case Kind::Picture: {
      // The mouse goes to the picture's handlers in its pixel coordinates;
      // Qt numbers the buttons as the program does (1 left, 2 right, 4 middle).
      auto* pw = static_cast<PictureWidget*>(b.widget.data());
      connect(pw, &PictureWidget::mousePressed, this, [c](int x, int y, Qt::MouseButton button) {
        c->mouse(MouseAction::Down, {x, y, static_cast<int>(button) & 7});
      });
      connect(pw, &PictureWidget::mouseMoved, this, [c](int x, int y, Qt::MouseButtons buttons) {
        c->mouse(MouseAction::Move, {x, y, static_cast<int>(buttons) & 7});
      });
      break;
    }
    case Kind::Label:
    case Kind::Frame:
      break;
  }
}

void FormView::press(Control* c, std::function<void()> act, std::function<void()> after) {
  CommandPath* path = form_.commandPath();
  if (!path) {
    act();
    if (after) after();
    return;
  }
  Command cmd;
  cmd.name = c->key();
  cmd.origin = CommandOrigin::Local;
  QPointer<FormView> self(this);
  cmd.run = [self, act = std::move(act), after = std::move(after)] {
    act();
    if (self && after) after();
  };
  path->submit(std::move(cmd));
}

void FormView::syncCommon(Binding& b) {
  const Control& c = *b.control;
  QWidget* w = b.widget;
  if (!w) return;
  if (w->isEnabled() != c.enabled()) w->setEnabled(c.enabled());
  const QString tip = q(c.toolTip());
  if (w->toolTip() != tip) w->setToolTip(tip);
  if (hasSize(c.geometry())) {
    const Geometry& g = c.geometry();
    const QRect r(g.left, g.top, g.width, g.height);
    if (w->geometry() != r) w->setGeometry(r);
    b.hasGeometry = true;
    delete b.nameTag;
  }
  // Hidden-ness follows the model; shown widgets appear with their window.
  if (w->isHidden() == c.visible()) w->setVisible(c.visible());
  if (b.nameTag && b.nameTag->isHidden() == c.visible()) b.nameTag->setVisible(c.visible());
}

void FormView::sync(Binding& b) {
  const Control& c = *b.control;
  if (c.kind() == Kind::MenuItem) {
    QAction* a = b.action;
    if (!a) return;
    QSignalBlocker block(a);
    const QString caption = q(c.caption());
    if (b.menu) {
      if (b.menu->title() != caption) b.menu->setTitle(caption);
    } else {
      const bool separator = c.caption() == "-";
      if (a->isSeparator() != separator) a->setSeparator(separator);
      if (a->text() != caption) a->setText(caption);
      // A checked item shows its tick; the value is the model's checked state.
      if (c.value() != 0 && !a->isCheckable()) a->setCheckable(true);
      if (a->isCheckable() && a->isChecked() != (c.value() != 0)) a->setChecked(c.value() != 0);
    }
    if (a->isEnabled() != c.enabled()) a->setEnabled(c.enabled());
    if (a->isVisible() != c.visible()) a->setVisible(c.visible());
    if (a->toolTip() != q(c.toolTip()) && !c.toolTip().empty()) a->setToolTip(q(c.toolTip()));
    return;
  }
  QWidget* w = b.widget;
  if (!w) return;
  QSignalBlocker block(w);
  bool needsLayout = false;
  switch (c.kind()) {
    case Kind::TextBox: {
      auto* le = static_cast<QLineEdit*>(w);
      const QString t = q(c.text());
      if (le->text() != t) {
        // Keep the caret where the operator left it when the text was only adjusted.
        int pos = le->cursorPosition();
        le->setText(t);
        if (le->hasFocus()) le->setCursorPosition(std::min<int>(pos, t.size()));
      }
      break;
    }
    case Kind::ComboBox: {
      auto* cb = static_cast<QComboBox*>(w);
      QSignalBlocker blockEdit(cb->lineEdit());
      if (b.shownItems != c.items()) {
        cb->clear();
        QStringList list;
        list.reserve(static_cast<int>(c.items().size()));
        for (auto& s : c.items()) list << q(s);
        cb->addItems(list);
        b.shownItems = c.items();
      }
      if (cb->currentIndex() != c.listIndex()) cb->setCurrentIndex(c.listIndex());
      const QString t = q(c.text());
      if (cb->currentText() != t) cb->setEditText(t);
      break;
    }
    case Kind::CheckBox: {
      auto* cb = static_cast<QCheckBox*>(w);
      if (c.value() == 2 && !cb->isTristate()) cb->setTristate(true);
      const Qt::CheckState s = c.value() == 2 ? Qt::PartiallyChecked : c.value() ? Qt::Checked : Qt::Unchecked;
      if (cb->checkState() != s) cb->setCheckState(s);
      const QString t = q(c.caption());
      if (cb->text() != t) cb->setText(t);
      break;
    }
    case Kind::OptionButton: {
      auto* rb = static_cast<QRadioButton*>(w);
      if (rb->isChecked() != c.checked()) rb->setChecked(c.checked());
      const QString t = q(c.caption());
      if (rb->text() != t) rb->setText(t);
      break;
    }
    case Kind::UpDown:
      if (auto* sb = dynamic_cast<QSpinBox*>(w)) {
        if (sb->minimum() != c.minimum() || sb->maximum() != c.maximum())
          sb->setRange(std::min(c.minimum(), c.maximum()), std::max(c.minimum(), c.maximum()));
        if (sb->value() != c.value()) sb->setValue(c.value());
      } else if (auto* pair = dynamic_cast<UpDownPair*>(w)) {
        pair->up->setEnabled(c.value() < c.maximum());
        pair->down->setEnabled(c.value() > c.minimum());
      }
      break;
    case Kind::HScrollBar:
    case Kind::VScrollBar: {
      auto* sb = static_cast<QScrollBar*>(w);
      if (sb->minimum() != c.minimum() || sb->maximum() != c.maximum())
        sb->setRange(std::min(c.minimum(), c.maximum()), std::max(c.minimum(), c.maximum()));
      if (sb->value() != c.value()) sb->setValue(c.value());
      break;
    }
    case Kind::Label: {
      auto* l = static_cast<QLabel*>(w);
      const QString t = q(plainCaption(c.caption()));
      if (l->text() != t) l->setText(t);
      break;
    }
    case Kind::Button: {
      auto* pb = static_cast<QPushButton*>(w);
      const QString t = q(c.caption());
      if (pb->text() != t) pb->setText(t);
      // The back colour goes through the palette so the button keeps its style.
      const QVariant shown = pb->property("qvBackColour");
      if (!shown.isValid() || shown.toUInt() != c.backColour()) {
        pb->setProperty("qvBackColour", c.backColour());
        if (c.backColour() == 0) {
          pb->setPalette(QPalette());
        } else {
          QPalette pal = pb->palette();
          const uint32_t bc = c.backColour();
          pal.setColor(QPalette::Button, QColor((bc >> 16) & 255, (bc >> 8) & 255, bc & 255));
          pb->setPalette(pal);
        }
      }
      break;
    }
    case Kind::Frame: {
      auto* g = static_cast<QGroupBox*>(w);
      const QString t = q(c.caption());  // the box shows mnemonics itself
      if (g->title() != t) g->setTitle(t);
      break;
    }
    case Kind::Picture: {
      auto* p = static_cast<PictureWidget*>(w);
      p->setSurface(c.surface());
      p->refreshIfChanged();
      // An unplaced picture takes its surface's size; its neighbours move along.
      if (!b.hasGeometry && c.surface() && p->size() != p->sizeHint() && layoutDone_) needsLayout = true;
      break;
    }
    case Kind::ListBox: {
      auto* lw = static_cast<QListWidget*>(w);
      if (b.shownItems != c.items()) {
        lw->clear();
        for (auto& s : c.items()) lw->addItem(q(s));
        b.shownItems = c.items();
      }
      if (lw->currentRow() != c.listIndex()) lw->setCurrentRow(c.listIndex());
      break;
    }
    case Kind::MenuItem:
      break;
  }
  syncCommon(b);
  if (needsLayout) {
    layoutUnplaced();
    emit contentChanged();
  }
}

void FormView::refreshPictures() {
  for (auto& p : pictures_)
    if (p) p->refreshIfChanged();
}

QSize FormView::defaultSize(const Binding& b) const {
  const Control& c = *b.control;
  const QFontMetrics fm(b.widget ? b.widget->font() : QFont());
  const int textW = fm.horizontalAdvance(q(plainCaption(c.caption())));
  switch (c.kind()) {
    case Kind::TextBox: return {120, 22};
    case Kind::ComboBox: return {120, 22};
    case Kind::CheckBox:
    case Kind::OptionButton: return {std::max(textW + 28, 40), 20};
    case Kind::UpDown: return {60, 22};
    case Kind::HScrollBar: return {120, 17};
    case Kind::VScrollBar: return {17, 120};
    case Kind::Label: return {std::max(textW + 6, 40), 18};
    case Kind::Button: return {std::max(textW + 24, 80), 26};
    case Kind::Picture:
      if (auto s = c.surface()) return {s->width(), s->height()};
      return {320, 160};
    case Kind::ListBox: return {160, 100};
    case Kind::Frame:
    case Kind::MenuItem: return {0, 0};
  }
  return {0, 0};
}

int FormView::flowChildren(const std::string& parent, QWidget* container, int width, int top) {
  // Starts below whatever the designer did place in this container.
  int y = top;
  for (auto& b : bindings_) {
    if (!b->widget || !b->hasGeometry || b->control->parent() != parent) continue;
    if (b->widget->parentWidget() != container) continue;
    y = std::max(y, b->widget->geometry().bottom() + 1 + kGap);
  }
  int x = kMargin, rowH = 0;
  for (auto& b : bindings_) {
    if (!b->widget || b->hasGeometry || b->widget->parentWidget() != container) continue;
    if (!b->control->visible()) continue;
    QSize s;
    if (b->control->kind() == Kind::Frame) {
      const int w = width - 2 * kMargin;
      const int h = flowChildren(b->control->name(), b->widget, w, kFrameTitle);
      s = QSize(w, std::max(h, kFrameTitle + kMargin));
      if (x > kMargin) x = kMargin, y += rowH + kGap, rowH = 0;
    } else {
      s = defaultSize(*b);
      s.setWidth(std::min(s.width(), std::max(width - 2 * kMargin, 20)));
    }
    // A field without a caption of its own gets its tooltip or name beside it,
    // so an undesigned window still says what each box is.
    QLabel* tag = nullptr;
    if (needsNameTag(*b->control)) {
      if (!b->nameTag) {
        b->nameTag = new QLabel(container);
        b->nameTag->setText(q(b->control->toolTip().empty() ? b->control->name() : b->control->toolTip()));
        b->nameTag->show();
      }
      tag = b->nameTag;
    }
    const int tagW = tag ? tag->sizeHint().width() + 4 : 0;
    if (x > kMargin && x + tagW + s.width() > width - kMargin) x = kMargin, y += rowH + kGap, rowH = 0;
    if (tag) tag->setGeometry(x, y + (s.height() - tag->sizeHint().height()) / 2, tagW, tag->sizeHint().height());
    b->widget->setGeometry(x + tagW, y, s.width(), s.height());
    x += tagW + s.width() + 2 * kGap;
    rowH = std::max(rowH, s.height());
  }
  return y + rowH + kMargin;
}

bool FormView::needsNameTag(const Control& c) {
  switch (c.kind()) {
    case Kind::TextBox:
    case Kind::ComboBox:
    case Kind::UpDown:
    case Kind::HScrollBar:
    case Kind::VScrollBar:
    case Kind::ListBox:
      return true;
    case Kind::CheckBox:
    case Kind::OptionButton:
      return c.caption().empty();
    default:
      return false;
  }
}

void FormView::layoutUnplaced() {
  if (!canvas_) return;
  const int width = form_.width() > 0 ? form_.width() : kDefaultFormWidth;
  flowChildren("", canvas_, width, kMargin);
}

QSize FormView::contentSize() const {
  QRect r;
  for (auto& b : bindings_) {
    if (!b->widget || b->widget->parentWidget() != canvas_ || !b->control->visible()) continue;
    r = r.united(b->widget->geometry());
  }
  return {r.right() + 1 + kMargin, r.bottom() + 1 + kMargin};
}

}  // namespace qv
