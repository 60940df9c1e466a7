// The "Spec" window's graph: the current spectrum (black) over the maximum
// since the last reset (a white area with a red outline) and the running
// average (cyan). Baseline at y = 128, one pixel per point, values upwards.
#pragma once

#include <vector>

namespace qv {

class Program;
class Surface;

class SpecWindow {
 public:
  explicit SpecWindow(Program& p);

  // Draws spectrum points 1..n-1 over what is there. n = 0 ("Reset All")
  // clears the graph, its average and maximum; the next spectrum reads the
  // averaging weight from the window's box again.
  void PlotSpec(const float* spec, int n);

  int PlotCount = 0;
  float AvgCoeff = 0.01f;
  float AvgCoeff1 = 0.99f;
  const std::vector<float>& plotMax() const { return max_; }
  const std::vector<float>& plotAvg() const { return avg_; }

 private:
  Surface* picture();

  Program& p_;
  std::vector<float> max_, avg_;
};

}  // namespace qv
