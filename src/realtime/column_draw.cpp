#include "realtime/column_draw.h"

#include <algorithm>
#include <cmath>

namespace qv {
namespace {

constexpr Rgb kWhite = rgb(255, 255, 255);

int channelByte(double v) { return static_cast<int>(std::clamp(std::nearbyint(v), 0.0, 255.0)); }

}  // namespace

int ColumnDraw::bitmapColumns(const ColumnLayout& l) {
  const bool scroll = l.scrollFlag != 0;
  int u = l.updateRate;
  if (u <= 0) u = scroll ? 1 : 0;
  if (l.pictureWidth > 0) u = std::min(u, l.pictureWidth);
  return std::max(u, 0);
}

void ColumnDraw::begin(Surface& picture, Surface* bitmap, const ColumnLayout& l) {
  l_ = l;
  pic_ = &picture;
  if (l_.pictureWidth <= 0) l_.pictureWidth = picture.width();
  u_ = bitmapColumns(l_);
  scroll_ = l_.scrollFlag != 0;
  if (u_ > 0 && bitmap) {
    bitmap_ = bitmap;
    target_ = bitmap;
  } else {
    u_ = 0;
    bitmap_ = nullptr;
    target_ = &picture;
    l_.displayHeight = l_.specVsize;
    scroll_ = false;  // nothing is ever copied without a bitmap
  }
  pos_ = 0;
  copies_ = 0;
  const int need = l_.displayHeight / 2 + 2;
  if (need > leftCapacity_) {
    left_ = std::make_unique<float[]>(static_cast<size_t>(need));
    leftCapacity_ = need;
  }
  std::fill(left_.get(), left_.get() + leftCapacity_, 0.0f);
}

void ColumnDraw::end() {
  pic_ = nullptr;
  bitmap_ = nullptr;
  target_ = nullptr;
}

void ColumnDraw::setMarkers(bool on, int m1, int m2, int m3, int colourIndex) {
  markersOn_ = on;
  markers_ = {m1, m2, m3};
  markerColour_ = colourIndex;
}

int ColumnDraw::beginColumn(int ColumnX) {
  if (u_ == 0) return ColumnX;
  if (scroll_) return pos_;
  return ColumnX % u_;
}

int ColumnDraw::pictureX(int x, int ColumnX) const {
  if (scroll_) return l_.pictureWidth - u_ + x;
  return ColumnX;
}

void ColumnDraw::paintMono(int x, const float* P, const ColourPalette& pal) {
  const int h = l_.displayHeight;
  if (h <= 0 || !target_) return;
  paintColumn(pal, P, h, *target_, x);
  if (markersOn_) {
    const Rgb c = pal.at(markerColour_);
    for (int m : markers_)
      if (m > 0 && m < h) target_->setPixel(x, h - 1 - m, c);
  }
}

void ColumnDraw::paintStereo(int x, int ch, const float* P, const ColourPalette& pal, bool rb) {
  const int h = l_.displayHeight;
  if (h <= 0 || !target_) return;
  const int h2 = static_cast<int>(std::nearbyint(h / 2.0));
  const int cap = std::min(h2, leftCapacity_);
  for (int d = 0; d < cap; ++d) {
    const int a = 2 * d;
    const int b = std::min(2 * d + 1, h - 1);
    const float q = (P[a] + P[b]) / 2;
    const int y = h2 * ch + h2 - 1 - d;
    if (ch == 0) {
      left_[static_cast<size_t>(d)] = q;
      target_->setPixel(x, y, pal.lookup(q));
    } else if (!rb) {
      target_->setPixel(x, y, pal.lookup(q));
    } else {
      const double r = std::max(q - 24.0, 0.0);
      const double l = std::max(left_[static_cast<size_t>(d)] - 24.0, 0.0);
      target_->setPixel(x, y, rgb(channelByte(r * 4), channelByte(r + l), channelByte(l * 4)));
    }
  }
}

void ColumnDraw::waveformMono(int X, int barMin, int barMax, Rgb colour) {
  if (!pic_) return;
  const int sv = l_.specVsize;
  pic_->line(X, sv, X, sv + 16, inactiveBorder());
  pic_->line(X, l_.scrollFlag == 2 ? sv + 16 : sv + 17, X, sv + 96, kWhite);
  pic_->line(X, sv + 16 + barMax, X, sv + 16 + barMin, colour);
  if (l_.scrollFlag == 0) pic_->line(X + 1, sv + 19, X + 1, sv + 92, inactiveBorder());
}

void ColumnDraw::stripStereo(int X) {
  if (!pic_) return;
  const int sv = l_.specVsize;
  pic_->line(X, sv, X, sv + 16, inactiveBorder());
  pic_->line(X, sv + 17, X, sv + 96, kWhite);
  pic_->line(X + 1, sv + 19, X + 1, sv + 92, inactiveBorder());
}

void ColumnDraw::barStereo(int X, int ch, int barMin, int barMax, Rgb colour) {
  if (!pic_) return;
  const int sv = l_.specVsize;
  pic_->line(X, sv + 36 * ch + 38 + barMax, X, sv + 36 * ch + 37 + barMin, colour);
}

void ColumnDraw::copyBitmap(int width, int dx) {
  if (!bitmap_ || !pic_ || width <= 0) return;
  const int h = l_.displayHeight;
  pic_->blit(dx, l_.specVsize - h, width, h, *bitmap_, 0, 0);
  ++copies_;
}

void ColumnDraw::endColumn(int x, int ColumnX) {
  if (u_ == 0 || !pic_) return;
  const int w = l_.pictureWidth;
  if (scroll_) {
    pos_ = (pos_ + 1) % u_;
    if (x != u_ - 1) return;
    copyBitmap(u_, w - u_);
    // The waveform rows scroll with the image: one copy within the picture.
    const int rows = std::min(l_.specVsize + 97, pic_->height());
    pic_->blit(0, 0, w - u_, rows, *pic_, u_, 0);
    return;
  }
  if (x == u_ - 1)
    copyBitmap(u_, ColumnX - u_ + 1);
  else if (ColumnX == w - 1)
    copyBitmap(x + 1, ColumnX - x);
}

}  // namespace qv
