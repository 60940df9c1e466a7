// Applying the display settings to the main window: zoom, displayed band,
// colour scale, spectrogram layout, axes and the buffer menu.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "realtime/palette.h"

namespace qv {

class Program;
class Control;
class Surface;

// Axis drawing belongs to the axes code; until it is attached these do nothing.
struct AxisHooks {
  // (left, origin y, min freq, max freq, height, tic interval, units)
  std::function<void(int, int, float, float, int, double, const std::string&)> VerticalAxis;
  // (left, y, from, to, width, tic interval, units)
  std::function<void(int, int, double, double, int, double, const std::string&)> HorizontalAxis;
  std::function<void()> SetMVAxis;
};

struct DisplayState {
  ColourPalette palette;
  int PaletteNumber = 0;
  AxisHooks axes;
};

void UpdateForm(Program& p, DisplayState& d);

// Reads a colour-scale box: the leading number of its text.
int paletteNumberOf(const Control& combo);
// Builds the palette from a colour-scale box and draws the bar into its form's Picture2.
void applyColourScale(Program& p, DisplayState& d, Control& combo);

// The picture's surface, created (w x h) when it has none and resized when
// smaller than asked; null when no surface factory is available.
std::shared_ptr<Surface> ensureSurface(Program& p, Control& picture, int w, int h);

}  // namespace qv
