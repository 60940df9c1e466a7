// The colour table shared by every spectrogram drawing loop: level index
// -512..512, two steps per decibel, 19 colour scales.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "platform/surface.h"

namespace qv {

// The "inactive-border" system colour of the strips around the image: the
// window background of the platform, so that they blend with the window.
// The app takes it from the platform palette at start-up; grey until then.
Rgb inactiveBorder();
void setInactiveBorder(Rgb c);

class ColourPalette {
 public:
  static constexpr int kLow = -512;
  static constexpr int kHigh = 512;

  ColourPalette();
  // Fills entries 0..255 with scale `number` (0..18; others keep them), then
  // copies entry 0 below and entry 255 above.
  void BuildPalette(int number);

  // Entry i (clamped into -512..512) as drawn: 0xRRGGBB.
  Rgb at(int i) const { return table_[static_cast<size_t>(clampIndex(i) - kLow)]; }
  // Entry i packed as red + 256 x green + 65536 x blue.
  uint32_t packed(int i) const;
  // The colour of a display value: rounded to the nearest index (ties to
  // even) and kept inside the table whatever the value.
  Rgb lookup(float v) const { return table_[static_cast<size_t>(slot(v))]; }
  // The entry of a display value counted from the lowest (0..kHigh - kLow).
  static int slot(float v) {
    if (!(v > static_cast<float>(kLow))) return 0;  // also NaN
    if (v >= static_cast<float>(kHigh)) return kHigh - kLow;
    // Adding and taking away 1.5 x 2^23 rounds to the nearest integer, ties
    // to even, exactly for |v| < 2^22, without a library call per pixel.
    constexpr float kRound = 12582912.0f;
    return static_cast<int>((v + kRound) - kRound) - kLow;
  }

 private:
  static int clampIndex(int i) { return i < kLow ? kLow : (i > kHigh ? kHigh : i); }
  std::array<Rgb, kHigh - kLow + 1> table_{};
};

// One spectrogram column: row r of the values goes to pixel (x, rows - 1 - r),
// so the lowest frequency is at the bottom.
void paintColumn(const ColourPalette& p, const float* values, int rows, Surface& s, int x);

// Vertical lines (i, 0)-(i, 10) in the colours of entries 0..255.
void DrawPaletteBar(const ColourPalette& p, Surface& s);
// Level marks every 12 dB under the colour bar and the " dB" unit.
void DrawDbLegend(Surface& s);

}  // namespace qv
