// The windows as designed: every control with its kind, caption, item list,
// designer default, tooltip, frame and pixel geometry.
#pragma once

namespace qv {

class Forms;
class Form;

void buildForms(Forms& forms);
void buildForm1(Form& f);
void buildOptions0(Form& f);
void buildOptions1(Form& f);
void buildOptions2(Form& f);
void buildSpecForm(Form& f);
void buildTcpIp(Form& f);

// The Mode menu's item for a task (1 to 4); null for any other.
const char* modeMenuItem(int task);

// The main window's design metrics in pixels (y downwards, inside the window).
// The run-time layout recomputes the same relations for other sizes.
namespace design {
constexpr int kFormWidth = 800;
constexpr int kSpecVsize = 256;                       // spectrogram image height
constexpr int kSpecTop = 52;                          // SpecGram top
constexpr int kSpecLeftTics = 80;                     // SpecGram left with "y tics"
constexpr int kSpecLeftPlain = 32;                    // and without
constexpr int kSpecHeight = kSpecVsize + 96;          // image, strip and waveform
constexpr int kQuickWidth = 192;                      // Frame1
constexpr int kQuickLeft = kFormWidth - kQuickWidth - 16;
constexpr int kLowerTop = kSpecTop + kSpecHeight + 32;  // Frame2, Frame3
constexpr int kLowerHeight = 176;                     // Frame2
constexpr int kFormHeight = kLowerTop + kLowerHeight + 56;
}  // namespace design

}  // namespace qv
