// What watches the spectrogram as it is drawn, besides the picture: told
// when a display begins and ends and given each finished column. Live runs
// and file playback draw through the same display, so both reach it.
#pragma once

namespace qv {

class ColumnObserver {
 public:
  virtual ~ColumnObserver() = default;
  // `rows` display values per channel and column; two channels or one.
  virtual void displayBegins(int rows, bool stereo) = 0;
  // One channel's display values of a finished column, row 0 the lowest
  // frequency; with two channels channel 0 comes first, then channel 1.
  virtual void column(const float* values, int rows, int channel) = 0;
  virtual void displayEnds() = 0;
};

}  // namespace qv
