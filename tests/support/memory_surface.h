// Surface double: plain pixels in memory; lines are drawn only when vertical
// or horizontal (all the core tests need) and every text call is kept.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/surface.h"

namespace qv::test {

class MemorySurface : public Surface {
 public:
  struct Text {
    int x, y;
    std::string s;
    Rgb c;
  };
  std::vector<Text> texts;

  MemorySurface(int w, int h) { resize(w, h); }
  int width() const override { return w_; }
  int height() const override { return h_; }
  void resize(int w, int h) override {
    w_ = w;
    h_ = h;
    px_.assign(static_cast<size_t>(w) * h, bg_);
    ++gen_;
  }
  void setPixel(int x, int y, Rgb c) override {
    if (x >= 0 && y >= 0 && x < w_ && y < h_) px_[static_cast<size_t>(y) * w_ + x] = c;
    ++gen_;
  }
  Rgb pixel(int x, int y) const override {
    if (x >= 0 && y >= 0 && x < w_ && y < h_) return px_[static_cast<size_t>(y) * w_ + x];
    return bg_;
  }
  void line(int x1, int y1, int x2, int y2, Rgb c) override {
    if (x1 == x2)
      for (int y = std::min(y1, y2); y <= std::max(y1, y2); ++y) setPixel(x1, y, c);
    else if (y1 == y2)
      for (int x = std::min(x1, x2); x <= std::max(x1, x2); ++x) setPixel(x, y1, c);
  }
  void fillBox(int x1, int y1, int x2, int y2, Rgb c) override {
    for (int y = std::min(y1, y2); y <= std::max(y1, y2); ++y) line(x1, y, x2, y, c);
  }
  void text(int x, int y, const std::string& s, Rgb c) override { texts.push_back({x, y, s, c}); }
  void clear() override {
    std::fill(px_.begin(), px_.end(), bg_);
    texts.clear();
    ++gen_;
  }
  Rgb background() const override { return bg_; }
  void setBackground(Rgb c) override { bg_ = c; }
  void blit(int dx, int dy, int w, int h, const Surface& src, int sx, int sy) override {
    std::vector<Rgb> tmp(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) tmp[static_cast<size_t>(y) * w + x] = src.pixel(sx + x, sy + y);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) setPixel(dx + x, dy + y, tmp[static_cast<size_t>(y) * w + x]);
  }
  uint64_t generation() const override { return gen_; }
  bool save(const std::string&) const override { return false; }

 private:
  int w_ = 0, h_ = 0;
  Rgb bg_ = 0;
  std::vector<Rgb> px_;
  uint64_t gen_ = 0;
};

}  // namespace qv::test
