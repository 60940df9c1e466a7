#include "realtime/spec_window.h"

#include <algorithm>
#include <cmath>

#include "core/program.h"
#include "platform/surface.h"
#include "realtime/palette.h"
#include "realtime/spectrum_ops.h"

namespace qv {
namespace {

constexpr int kBaseline = 128;
constexpr Rgb kWhite = rgb(255, 255, 255);
constexpr Rgb kBlack = rgb(0, 0, 0);
constexpr Rgb kCyan = rgb(0, 255, 255);
constexpr Rgb kRed = rgb(255, 0, 0);

// A level as a picture row; far-off values (linear scale) stay near the picture.
int row(float v) {
  if (!std::isfinite(v)) return kBaseline;
  return kBaseline - static_cast<int>(std::nearbyint(std::clamp(v, -4096.0f, 4096.0f)));
}

}  // namespace

SpecWindow::SpecWindow(Program& p) : p_(p), max_(SpectrumOps::kCapacity, 0.0f), avg_(SpectrumOps::kCapacity, 0.0f) {}

Surface* SpecWindow::picture() {
  Control* pic = p_.forms().specForm().find("Picture1");
  if (!pic) return nullptr;
  if (!pic->surface()) {
    SurfaceFactory* f = p_.services().surfaces;
    if (!f) return nullptr;
    const Geometry& g = pic->geometry();
    auto s = f->create(std::max(g.width, 1), std::max(g.height, 1));
    s->setBackground(inactiveBorder());
    s->clear();
    pic->setSurface(s);
  }
  return pic->surface().get();
}

void SpecWindow::PlotSpec(const float* spec, int n) {
  Surface* s = picture();
  if (n <= 0 || !spec) {
    if (s) s->clear();
    // The whole arrays, not only the first 256 points: a taller display's
    // maximum would otherwise survive "Reset All".
    std::fill(max_.begin(), max_.end(), 0.0f);
    std::fill(avg_.begin(), avg_.end(), 0.0f);
    PlotCount = 0;
    return;
  }
  if (PlotCount == 0) {
    const Control* box = p_.forms().specForm().find("Text1");
    const double w = box ? box->number() : 0.01;
    AvgCoeff = static_cast<float>(std::clamp(w, 0.0, 1.0));
    AvgCoeff1 = 1.0f - AvgCoeff;
  }
  ++PlotCount;
  n = std::min(n, SpectrumOps::kCapacity);
  // Point n is one past the column: the graph ends at point n - 1.
  for (int i = 2; i < n; ++i) {
    avg_[i - 1] = avg_[i - 1] * AvgCoeff1 + spec[i] * AvgCoeff;
    if (spec[i] > max_[i - 1]) max_[i - 1] = spec[i];
    if (!s) continue;
    s->line(i, kBaseline, i, row(max_[i - 1]), kWhite);
    s->line(i - 1, row(spec[i - 1]), i, row(spec[i]), kBlack);
    s->line(i - 1, row(avg_[i - 2]), i, row(avg_[i - 1]), kCyan);
    s->line(i - 1, row(max_[i - 2]), i, row(max_[i - 1]), kRed);
  }
}

}  // namespace qv
