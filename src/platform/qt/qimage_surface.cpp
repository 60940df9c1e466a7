#include "platform/qt/qimage_surface.h"

#include <QFont>
#include <QPainter>
#include <algorithm>
#include <cstring>

namespace qv {

static QRgb toQ(Rgb c) { return 0xFF000000u | c; }

QImageSurface::QImageSurface(int w, int h) : img_(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32) {
  img_.fill(toQ(bg_));
}

void QImageSurface::resize(int w, int h) {
  img_ = QImage(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
  img_.fill(toQ(bg_));
  ++gen_;
}

void QImageSurface::setPixel(int x, int y, Rgb c) {
  if (x < 0 || y < 0 || x >= img_.width() || y >= img_.height()) return;
  row(y)[x] = toQ(c);
  ++gen_;
}

Rgb QImageSurface::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= img_.width() || y >= img_.height()) return bg_;
  return reinterpret_cast<const uint32_t*>(img_.constScanLine(y))[x] & 0xFFFFFFu;
}

void QImageSurface::line(int x1, int y1, int x2, int y2, Rgb c) {
  // Integer line including both ends, so single pixels and ticks are exact.
  int dx = std::abs(x2 - x1), sx = x1 < x2 ? 1 : -1;
  int dy = -std::abs(y2 - y1), sy = y1 < y2 ? 1 : -1;
  int err = dx + dy;
  for (int guard = 0; guard < 1 << 20; ++guard) {
    if (x1 >= 0 && y1 >= 0 && x1 < img_.width() && y1 < img_.height()) row(y1)[x1] = toQ(c);
    if (x1 == x2 && y1 == y2) break;
    int e2 = 2 * err;
    if (e2 >= dy) err += dy, x1 += sx;
    if (e2 <= dx) err += dx, y1 += sy;
  }
  ++gen_;
}

void QImageSurface::fillBox(int x1, int y1, int x2, int y2, Rgb c) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, img_.width() - 1);
  y2 = std::min(y2, img_.height() - 1);
  if (x1 > x2 || y1 > y2) return;  // wholly outside
  for (int y = y1; y <= y2; ++y) std::fill(row(y) + x1, row(y) + x2 + 1, toQ(c));
  ++gen_;
}

void QImageSurface::text(int x, int y, const std::string& s, Rgb c) {
  QPainter p(&img_);
  QFont f("DejaVu Sans Mono");
  f.setPixelSize(12);
  f.setStyleHint(QFont::Monospace);
  p.setFont(f);
  p.setPen(QColor::fromRgb(toQ(c)));
  p.drawText(QPoint(x, y + QFontMetrics(f).ascent()), QString::fromStdString(s));
  ++gen_;
}

void QImageSurface::clear() {
  img_.fill(toQ(bg_));
  ++gen_;
}

void QImageSurface::blit(int dx, int dy, int w, int h, const Surface& src, int sx, int sy) {
  // Clip against both pictures.
  if (sx < 0) dx -= sx, w += sx, sx = 0;
  if (sy < 0) dy -= sy, h += sy, sy = 0;
  if (dx < 0) sx -= dx, w += dx, dx = 0;
  if (dy < 0) sy -= dy, h += dy, dy = 0;
  w = std::min({w, src.width() - sx, img_.width() - dx});
  h = std::min({h, src.height() - sy, img_.height() - dy});
  if (w <= 0 || h <= 0) return;
  if (auto* q = dynamic_cast<const QImageSurface*>(&src)) {
    // Row order chosen so an overlapping copy within one picture (scrolling) is safe.
    bool up = (q == this) && dy > sy;
    for (int i = 0; i < h; ++i) {
      int r = up ? h - 1 - i : i;
      const uint32_t* s = reinterpret_cast<const uint32_t*>(q->img_.constScanLine(sy + r)) + sx;
      uint32_t* d = row(dy + r) + dx;
      std::memmove(d, s, size_t(w) * 4);
    }
  } else {
    for (int r = 0; r < h; ++r)
      for (int c = 0; c < w; ++c) row(dy + r)[dx + c] = toQ(src.pixel(sx + c, sy + r));
  }
  ++gen_;
}

bool QImageSurface::save(const std::string& path) const { return img_.save(QString::fromStdString(path)); }

}  // namespace qv
