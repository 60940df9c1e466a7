// File navigation: the frame-step buttons, GoTo and Skip, Refresh and the
// zoom buttons, and the real-time controls that act in every mode. The step
// handlers only move FilePos; the running file loop redraws at its next pass.
#pragma once

#include <functional>

namespace qv {

class Program;
class Control;

enum class FrameMove { Start, Back, Forward, End, QuarterBack, QuarterForward, SixteenthBack, SixteenthForward };
void moveFrame(Program& p, FrameMove m);

// GoTo (absolute) or Skip (relative to FilePos) by the time typed in `field`;
// only while a loop runs. A position past the end shows "End of File"; in
// "File Analysis + Play" a position inside the file calls `reposition`.
void goToPosition(Program& p, Control& field, bool relative, const std::function<void()>& reposition);

// "Refresh": runs the file loop again with the current settings, nested in a
// running one, which then ends at the same Stop.
void Command14_Click(Program& p, const std::function<void()>& runLoop);
// "+" / "-": halve or double the scan step, then refresh.
void Command24_Click(Program& p, const std::function<void()>& runLoop);
void Command25_Click(Program& p, const std::function<void()>& runLoop);

struct NavigationHooks {
  std::function<void()> runLoop;            // the file analysis loop
  std::function<void()> playbackReposition; // GoTo/Skip while playing
};
void attachNavigation(Program& p, NavigationHooks hooks);
// Colour shift, gain and offset fields of the real-time controls.
void attachRealTimeControls(Program& p);

}  // namespace qv
