// Pixel geometry every surface implementation draws with, so that lines,
// boxes and copies land on the same pixels whatever the storage.
#pragma once

#include <algorithm>
#include <cstdlib>

namespace qv {

// Calls f(x, y) for each pixel of the integer line from (x1, y1) to (x2, y2),
// both ends included (single pixels and tick marks are exact).
template <typename F>
void forEachLinePixel(int x1, int y1, int x2, int y2, F&& f) {
  const int dx = std::abs(x2 - x1), sx = x1 < x2 ? 1 : -1;
  const int dy = -std::abs(y2 - y1), sy = y1 < y2 ? 1 : -1;
  int err = dx + dy;
  for (int guard = 0; guard < 1 << 20; ++guard) {
    f(x1, y1);
    if (x1 == x2 && y1 == y2) break;
    const int e2 = 2 * err;
    if (e2 >= dy) err += dy, x1 += sx;
    if (e2 <= dx) err += dx, y1 += sy;
  }
}

// Orders and clips a box with corners included to a w x h picture; false
// when it lies wholly outside.
inline bool clipBox(int& x1, int& y1, int& x2, int& y2, int w, int h) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, w - 1);
  y2 = std::min(y2, h - 1);
  return x1 <= x2 && y1 <= y2;
}

// Clips a w x h copy from (sx, sy) of a srcW x srcH picture to (dx, dy) of a
// dstW x dstH one against both; false when nothing is left.
inline bool clipCopy(int& dx, int& dy, int& w, int& h, int& sx, int& sy, int srcW, int srcH, int dstW, int dstH) {
  if (sx < 0) dx -= sx, w += sx, sx = 0;
  if (sy < 0) dy -= sy, h += sy, sy = 0;
  if (dx < 0) sx -= dx, w += dx, dx = 0;
  if (dy < 0) sy -= dy, h += dy, dy = 0;
  w = std::min({w, srcW - sx, dstW - dx});
  h = std::min({h, srcH - sy, dstH - dy});
  return w > 0 && h > 0;
}

}  // namespace qv
