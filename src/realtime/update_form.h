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

struct DisplayState {
  ColourPalette palette;
  int PaletteNumber = 0;
  // The spectrogram width the operator chose with "x size" (whole tic
  // intervals); 0: the spectrogram fills the room left of the quick panel.
  int chosenWidth = 0;
};

void UpdateForm(Program& p, DisplayState& d);

// Reads a colour-scale box: the leading number of its text.
int paletteNumberOf(const Control& combo);
// Builds the palette from a colour-scale box and draws the bar into its form's Picture2.
void applyColourScale(Program& p, DisplayState& d, Control& combo);

// The picture's surface, created (w x h) when it has none and resized when
// smaller than asked; null when no surface factory is available.
std::shared_ptr<Surface> ensureSurface(Program& p, Control& picture, int w, int h);

// The main window's own surface (axes, channel letters), as large as the
// window, in the window background colour; null without a surface factory.
std::shared_ptr<Surface> mainWindowSurface(Program& p);

// The width the spectrogram may take: from its left edge to 16 pixels short
// of the quick panel, or of the window's edge when the panel is hidden.
int spectrogramRoom(Program& p, int left);

}  // namespace qv
