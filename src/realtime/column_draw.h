// Drawing spectrogram columns and the waveform strip on the spectrogram
// picture, shared by the live loops and the file loops.
//
// Picture geometry (y grows downward): spectrogram rows 0..specVsize-1 with
// the column image in the bottom displayHeight rows, a separator strip
// specVsize..specVsize+16, the waveform strip specVsize+17..specVsize+96.
//
// Columns are painted into a small off-screen bitmap `updateRate` columns
// wide (the drawing target) and reach the picture in one copy per full
// bitmap. Per column a loop calls, in order:
//   int x = d.beginColumn(ColumnX);   // place inside the bitmap
//   d.paintMono(x, P, palette) / d.paintStereo(...);
//   d.waveformMono(X, ...) or d.stripStereo(X) + d.barStereo(X, ch, ...)
//   d.endColumn(x, ColumnX);          // copy and scroll when the bitmap is full
// where X = d.pictureX(x, ColumnX). Nothing here allocates after begin().
//
// Scroll modes: 0 writes in place, left to right, wrapping at the right
// edge; 1 and 2 keep the newest columns at the right and scroll the picture
// left by a bitmap's width per copy (2 also scrolls the top of the strip).
//
// Two choices where the plain rules give no useful picture:
// - Update rate 0 with scrolling would draw beyond the picture and never copy:
//   it scrolls column by column as update rate 1 does.
// - Writing in place with a picture width that is not a multiple of the
//   update rate: the last partial group before the wrap is copied when the
//   rightmost column is drawn, so no column is missing at the right edge.
//   While scrolling, the place in the bitmap runs on across the ColumnX wrap,
//   so every group is full when copied.
#pragma once

#include <array>
#include <memory>

#include "platform/surface.h"
#include "realtime/palette.h"

namespace qv {

struct ColumnLayout {
  int pictureWidth = 0;   // W_pic
  int specVsize = 256;
  int displayHeight = 256;
  int updateRate = 2;     // 0: no bitmap, columns go straight onto the picture
  int scrollFlag = 1;     // 0, 1 or 2
  bool stereo = false;    // two-channel: scrolling whenever scrollFlag != 0, strip as flag 1
};

struct StereoBar {
  int barMin = 0;  // min / 2048
  int barMax = 0;  // max / 2048
};

class ColumnDraw {
 public:
  static constexpr int kMaxMarkers = 3;

  // The bitmap width a layout needs (0: none); the result of the two
  // choices above and of limiting the bitmap to the picture.
  static int bitmapColumns(const ColumnLayout& l);

  // `bitmap` must be bitmapColumns(l) x displayHeight (null when 0 columns).
  // With no bitmap the target is the picture itself and the display height
  // becomes specVsize.
  void begin(Surface& picture, Surface* bitmap, const ColumnLayout& l);
  void end();

  const ColumnLayout& layout() const { return l_; }
  int updateRate() const { return u_; }
  int displayHeight() const { return l_.displayHeight; }
  bool scrolling() const { return scroll_; }
  // Where columns are painted (the "Handle" of the run).
  Surface* target() const { return target_; }
  Surface* picture() const { return pic_; }

  // Frequency markers: rows > 0 (up to three) in palette entry `colourIndex`.
  void setMarkers(bool on, int m1, int m2, int m3, int colourIndex);

  // Column x inside the target for this ColumnX.
  int beginColumn(int ColumnX);
  // Picture column of the waveform of target column x.
  int pictureX(int x, int ColumnX) const;

  // One channel's display values (row 0 = lowest frequency) into column x.
  void paintMono(int x, const float* P, const ColourPalette& pal);
  // Two channels: rows paired, left channel in the upper half, right below;
  // with `rb` the lower half mixes both channels as direct colours.
  // Call for channel 0, then channel 1, with the same x.
  void paintStereo(int x, int ch, const float* P, const ColourPalette& pal, bool rb);

  // Separator, white strip, the bar (ends as the spectrum engine gives them),
  // and with in-place writing the cursor line at X + 1.
  void waveformMono(int X, int barMin, int barMax, Rgb colour);
  // Two channels: separator, white strip and cursor once per column ...
  void stripStereo(int X);
  // ... then per channel its bar (ends min / 2048, max / 2048).
  void barStereo(int X, int ch, int barMin, int barMax, Rgb colour);

  // Copies the bitmap to the picture when full (and scrolls), or flushes the
  // partial last group at the right edge when writing in place.
  void endColumn(int x, int ColumnX);

  // Number of bitmap copies made so far (each a screen update).
  long copies() const { return copies_; }

 private:
  void copyBitmap(int width, int dx);

  ColumnLayout l_;
  Surface* pic_ = nullptr;
  Surface* bitmap_ = nullptr;
  Surface* target_ = nullptr;
  int u_ = 0;
  bool scroll_ = false;
  int pos_ = 0;  // place in the bitmap while scrolling
  bool markersOn_ = false;
  std::array<int, kMaxMarkers> markers_{};
  int markerColour_ = 0;
  long copies_ = 0;
  // Left channel's paired values kept for the "RB" mix.
  std::unique_ptr<float[]> left_;
  int leftCapacity_ = 0;
};

}  // namespace qv
