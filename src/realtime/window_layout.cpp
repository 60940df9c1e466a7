#include "realtime/window_layout.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "analysis/engine.h"
#include "core/program.h"
#include "platform/dialogs.h"
#include "platform/screen_grab.h"
#include "platform/surface.h"
#include "realtime/palette.h"

namespace qv {
namespace {

constexpr int kDesignWidth = 800;
constexpr int kSpecTop = 52;
// Rows of the picture below the image: separator strip and waveform traces.
constexpr int kBelowImage = 96;
constexpr int kMinSpecVsize = 16;
constexpr int kMaxSpecVsize = 2048;
constexpr int kMinXSize = 128;

const char* const kRightColumn[] = {"Picture2", "Picture1", "Label3", "Label9", "BuffersCaption", "Label20",
                                    "Label21", "CpuCaption", "Label6", "FailsCaption", "L24", "OverloadsCaption",
                                    "L25", "Command23", "Label27", "Label28", "Label5"};
const char* const kBottomRows[] = {"LabelCursors", "Label5", "Label18", "Label24", "DateTime", "DDETXT"};

void setTop(Control& c, int top) {
  Geometry g = c.geometry();
  if (g.top == top) return;
  g.top = top;
  c.setGeometry(g);
}

void setLeft(Control& c, int left) {
  Geometry g = c.geometry();
  if (g.left == left) return;
  g.left = left;
  c.setGeometry(g);
}

int bottomOf(const Control& c) { return c.geometry().top + c.geometry().height; }

// Frame2's top for an image height: below the spectrogram and its time axis.
int lowerPanelTop(int specVsize) { return kSpecTop + specVsize + kBelowImage + 32; }

}  // namespace

WindowLayout::WindowLayout(Program& p, AnalysisEngine& engine) : p_(p), engine_(engine) {}

void WindowLayout::install() {
  Form& f = p_.form1();
  Form& adv = p_.options1();
  const int quickLeft = f["Frame1"].geometry().left;
  const int lowerBottom = bottomOf(f["Frame2"]);
  for (const char* n : kRightColumn)
    if (Control* c = f.find(n)) rightColumn_.emplace_back(c, c->geometry().left - quickLeft);
  for (const char* n : kBottomRows)
    if (Control* c = f.find(n)) bottomRows_.emplace_back(c, c->geometry().top - lowerBottom);

  adv["Combo2"].on(Event::Change, [this] { SetForm(); });
  adv["Combo4"].on(Event::Change, [this] { SetForm(); });
  adv["Textxsize"].on(Event::Change, [this] { Textxsize_Change(); });
  seenWidth_ = f.width();
  seenHeight_ = f.height();
  f.addObserver([this](const Form&) { formChanged(); });
}

void WindowLayout::formChanged() {
  Form& f = p_.form1();
  if (f.width() == seenWidth_ && f.height() == seenHeight_) return;
  seenWidth_ = f.width();
  seenHeight_ = f.height();
  // Our own size changes are followed where they are made.
  if (busy_ || f.windowState() == WindowState::Minimised) return;
  SetObjDimensions();
}

void WindowLayout::SetForm() {
  if (busy_) return;
  busy_ = true;
  Form& f = p_.form1();
  Form& adv = p_.options1();
  PublicVars& v = p_.vars();

  // 1-2. The screen that holds the window; headless, a 1024 x 768 one.
  const ScreenSize screen = p_.services().screen ? p_.services().screen->size() : ScreenSize{1024, 768};
  v.ScreenXsize = screen.width;
  v.ScreenYsize = screen.height;
  if (v.ScreenXsize < kDesignWidth) {
    if (Dialogs* d = p_.services().dialogs)
      d->message("Screen resolution not supported", "", MsgButtons::Ok, MsgIcon::Warning);
  } else if (v.ScreenXsize == kDesignWidth) {
    f.move(0, f.top());
  } else if (v.ScreenXsize == 1024) {
    f.setWindowState(WindowState::Normal);
  }

  // 3. The image height. One out of range (a typed value on its way, say)
  // is not taken; the status line says why.
  Control& specHeight = adv["Combo4"];
  const double h = specHeight.number();
  if (h >= kMinSpecVsize && h <= kMaxSpecVsize)
    v.specVsize = static_cast<int>(roundEven(h));
  else
    p_.setStatus("Spec height \"" + specHeight.text() + "\" is not " + std::to_string(kMinSpecVsize) + " to " +
                 std::to_string(kMaxSpecVsize) + " pixels; it stays " + std::to_string(v.specVsize));
  f["Combo7"].setText(std::to_string(v.specVsize));

  // 4-5. The two heights, from where the lower panel will be for this image.
  const int frame2Top = lowerPanelTop(v.specVsize);
  v.FormHeightMax = frame2Top + f["Frame2"].geometry().height + 56;
  v.FormHeightMin = frame2Top + 48;
  if (v.ScreenYsize == 1050) {
    v.FormHeightMax += 48;
    v.FormHeightMin += 16;
  }
  int width = kDesignWidth;

  // 6-7. The chosen width, never wider than the screen, centred.
  Control& chosen = adv["Combo2"];
  if (chosen.number() >= v.ScreenXsize) chosen.setText(std::to_string(v.ScreenXsize));
  if (v.ScreenXsize > kDesignWidth && f.windowState() == WindowState::Normal) {
    width = std::max(static_cast<int>(roundEven(chosen.number())), kDesignWidth);
    f.move(std::max((v.ScreenXsize - width) / 2, 0), f.top());
  }
  f.setSize(width, v.FormHeightMax);
  seenWidth_ = f.width();
  seenHeight_ = f.height();
  busy_ = false;

  // 8.
  SetObjDimensions();
}

void WindowLayout::SetObjDimensions() {
  const bool outer = !busy_;
  busy_ = true;
  Form& f = p_.form1();
  PublicVars& v = p_.vars();
  int width = f.width() > 0 ? f.width() : kDesignWidth;
  const bool normal = f.windowState() == WindowState::Normal;
  // 6 (first, so that the panels are placed for the final width): the lower
  // panels always fit across.
  const Control& frame3 = f["Frame3"];
  if (normal) width = std::max(width, frame3.geometry().left + frame3.geometry().width + 24);

  // 1, 3. The quick panel at the right edge, the status column with it.
  Control& frame1 = f["Frame1"];
  frame1.setGeometry({width - frame1.geometry().width - 16, kSpecTop - 6, frame1.geometry().width,
                      frame1.geometry().height});
  for (auto& [c, dx] : rightColumn_) setLeft(*c, frame1.geometry().left + dx);

  // 2. The spectrogram's height; its width follows the room (UpdateForm).
  Control& spec = f["SpecGram"];
  const int specHeight = v.specVsize + kBelowImage;
  spec.setGeometry({spec.geometry().left, kSpecTop, spec.geometry().width, specHeight});
  if (auto s = spec.surface())
    s->fillBox(0, v.specVsize, spec.geometry().width, v.specVsize + 16, inactiveBorder());

  // 4. The lower panels under the time axis, the status rows under them.
  Control& frame2 = f["Frame2"];
  const int lowerTop = lowerPanelTop(v.specVsize);
  setTop(frame2, lowerTop);
  setTop(f["Frame3"], lowerTop);
  Control& frame4 = f["Frame4"];
  frame4.setGeometry({272, v.specVsize + 176, frame4.geometry().width, frame4.geometry().height});
  setTop(f["Frame5"], lowerTop - 11);
  for (auto& [c, dy] : bottomRows_) setTop(*c, bottomOf(frame2) + dy);

  // 5. The second start button stands on the spectrogram's bottom edge.
  Control& start2 = f["Command23"];
  setTop(start2, kSpecTop + specHeight - start2.geometry().height);
  setTop(f["Label27"], bottomOf(start2) + 4);
  setTop(f["Label28"], bottomOf(start2) + 4);
  start2.setBackColour(f["StartStop"].backColour());

  // 6. One of the two heights.
  int height = f.height();
  if (normal) {
    if (height < v.FormHeightMin) height = v.FormHeightMin;
    if (height != v.FormHeightMin && height != v.FormHeightMax) height = v.FormHeightMax;
    const bool reduced = height == v.FormHeightMin;
    for (const char* n : {"Command23", "Label27", "Label28"}) f[n].setVisible(!reduced);
    f.setSize(width, height);
    seenWidth_ = f.width();
    seenHeight_ = f.height();
  }

  // 7-8.
  engine_.UpdateForm();
  showingWidth_ = true;
  p_.options1()["Textxsize"].setText(std::to_string(spec.geometry().width));
  showingWidth_ = false;
  if (outer) busy_ = false;
}

void WindowLayout::Textxsize_Change() {
  if (showingWidth_) return;
  Form& adv = p_.options1();
  // Beyond any screen the width is capped by the room anyway.
  const double x = std::clamp(adv["Textxsize"].number(), static_cast<double>(kMinXSize), 65536.0);
  const long long tic = roundEven(adv["Text15"].number());
  // A tic interval of 0 gives no width: it stays as it is.
  if (tic <= 0) return;
  const long long w = roundEven(x / static_cast<double>(tic)) * tic;
  engine_.display().chosenWidth = static_cast<int>(std::clamp<long long>(w, 1, 1 << 17));
  if (p_.vars().StopFlag) engine_.UpdateForm();
}

}  // namespace qv
