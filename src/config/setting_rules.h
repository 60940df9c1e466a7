// What the analysis controls accept, so that a command line or a controls
// file can be refused with the control's own rule instead of being quietly
// repaired (or read as 0) when the run starts.
#pragma once

#include <string>

namespace qv {

class Control;

// Empty when control `c` takes `value`; otherwise one sentence naming the
// control and its rule, e.g. FORM1.Combo3 (FFT size) takes a power of two
// from 512 to 16384, not "banana". A combo box whose items all start with a
// number takes only text that starts with one; other controls take anything.
std::string settingValueProblem(const Control& c, const std::string& value);

}  // namespace qv
