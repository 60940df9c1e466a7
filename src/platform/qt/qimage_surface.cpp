#include "platform/qt/qimage_surface.h"

#include "platform/surface_geometry.h"

#include <QFont>
#include <QPainter>
#include <algorithm>
#include <cstring>

namespace qv {

static QRgb toQ(Rgb c) { return 0xFF000000u | c; }

QImageSurface::QImageSurface(int w, int h) : img_(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32) {
  img_.fill(toQ(bg_));
}

QImageSurface::QImageSurface(const QImage& picture)
    : img_(picture.isNull() ? QImage(1, 1, QImage::Format_RGB32) : picture.convertToFormat(QImage::Format_RGB32)) {}

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
  forEachLinePixel(x1, y1, x2, y2, [&](int x, int y) {
    if (x >= 0 && y >= 0 && x < img_.width() && y < img_.height()) row(y)[x] = toQ(c);
  });
  ++gen_;
}

void QImageSurface::fillBox(int x1, int y1, int x2, int y2, Rgb c) {
  if (!clipBox(x1, y1, x2, y2, img_.width(), img_.height())) return;
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
  if (!clipCopy(dx, dy, w, h, sx, sy, src.width(), src.height(), img_.width(), img_.height())) return;
  if (auto* q = dynamic_cast<const QImageSurface*>(&src)) {
    // Row order chosen so an overlapping copy within one picture (scrolling) is safe.
    bool up = (q == this) && dy > sy;
    // The rows are looked up once per copy: a scroll copies every row of the picture.
    uchar* dBits = img_.bits();
    const uchar* sBits = q == this ? dBits : q->img_.constBits();
    const qsizetype dLine = img_.bytesPerLine(), sLine = q->img_.bytesPerLine();
    for (int i = 0; i < h; ++i) {
      int r = up ? h - 1 - i : i;
      const uchar* s = sBits + (sy + r) * sLine + qsizetype(sx) * 4;
      uchar* d = dBits + (dy + r) * dLine + qsizetype(dx) * 4;
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
