#include "platform/qt/indexed_surface.h"

#include "platform/surface_geometry.h"

#include "platform/image/png_indexed.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstring>
#include <new>

namespace qv {

IndexedSurface::IndexedSurface(int w, int h, int saveThreads) : saveThreads_(std::max(1, saveThreads)) {
  allocate(w, h);
}

void IndexedSurface::allocate(int w, int h) {
  w_ = std::max(w, 1);
  h_ = std::max(h, 1);
  stride_ = w_ + 1;
  rgb_ = QImage();
  rgbMode_ = false;
  // Fresh zeroed pages: every pixel is slot 0 without a fill pass.
  slots_ = allocateBigBuffer(static_cast<size_t>(stride_) * static_cast<size_t>(h_));
  if (!slots_) throw std::bad_alloc();
  table_.assign(1, bg_);
  untouched_ = true;
}

void IndexedSurface::resize(int w, int h) {
  allocate(w, h);
  ++gen_;
}

int IndexedSurface::slotOf(Rgb c) {
  if (rgbMode_) return -1;
  c &= 0xFFFFFFu;
  for (size_t i = 0; i < table_.size(); ++i)
    if (table_[i] == c) return static_cast<int>(i);
  if (table_.size() >= 256) return -1;
  table_.push_back(c);
  return static_cast<int>(table_.size() - 1);
}

int IndexedSurface::slotOrConvert(Rgb c) {
  const int s = slotOf(c);
  if (s < 0 && !rgbMode_) toRgb();
  return s;
}

void IndexedSurface::toRgb() {
  if (rgbMode_) return;
  rgb_ = QImage(w_, h_, QImage::Format_RGB32);
  if (rgb_.isNull()) throw std::bad_alloc();
  uint32_t lut[256] = {};
  for (size_t i = 0; i < table_.size(); ++i) lut[i] = 0xFF000000u | table_[i];
  for (int y = 0; y < h_; ++y) {
    const uint8_t* in = at(0, y);
    auto* out = reinterpret_cast<uint32_t*>(rgb_.scanLine(y));
    for (int x = 0; x < w_; ++x) out[x] = lut[in[x]];
  }
  slots_.reset();
  rgbMode_ = true;
}

void IndexedSurface::plot(int x, int y, Rgb c) {
  if (!rgbMode_) {
    const int s = slotOrConvert(c);
    if (s >= 0) {
      *at(x, y) = static_cast<uint8_t>(s);
      untouched_ = false;
      return;
    }
  }
  reinterpret_cast<uint32_t*>(rgb_.scanLine(y))[x] = 0xFF000000u | c;
}

void IndexedSurface::setPixel(int x, int y, Rgb c) {
  if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
  plot(x, y, c);
  ++gen_;
}

Rgb IndexedSurface::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= w_ || y >= h_) return bg_;
  if (rgbMode_) return reinterpret_cast<const uint32_t*>(rgb_.constScanLine(y))[x] & 0xFFFFFFu;
  return table_[*at(x, y)];
}

void IndexedSurface::line(int x1, int y1, int x2, int y2, Rgb c) {
  forEachLinePixel(x1, y1, x2, y2, [&](int x, int y) {
    if (x >= 0 && y >= 0 && x < w_ && y < h_) plot(x, y, c);
  });
  ++gen_;
}

void IndexedSurface::fillBox(int x1, int y1, int x2, int y2, Rgb c) {
  if (!clipBox(x1, y1, x2, y2, w_, h_)) return;
  ++gen_;
  const int s = rgbMode_ ? -1 : slotOrConvert(c);
  if (s >= 0) {
    for (int y = y1; y <= y2; ++y)
      std::memset(at(x1, y), s, static_cast<size_t>(x2 - x1 + 1));
    untouched_ = false;
    return;
  }
  for (int y = y1; y <= y2; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(rgb_.scanLine(y));
    std::fill(row + x1, row + x2 + 1, 0xFF000000u | c);
  }
}

void IndexedSurface::text(int x, int y, const std::string& s, Rgb c) {
  if (s.empty()) return;
  QFont f("DejaVu Sans Mono");
  f.setPixelSize(12);
  f.setStyleHint(QFont::Monospace, QFont::NoAntialias);
  const QFontMetrics fm(f);
  const QString q = QString::fromStdString(s);
  constexpr int kPad = 2;  // glyphs may reach a little left of their origin
  QImage glyphs(fm.horizontalAdvance(q) + 2 * kPad, fm.height() + 2 * kPad, QImage::Format_ARGB32_Premultiplied);
  if (glyphs.isNull()) return;
  glyphs.fill(0);
  {
    QPainter p(&glyphs);
    p.setFont(f);
    p.setPen(QColor::fromRgb(0xFF000000u | c));
    p.drawText(QPoint(kPad, kPad + fm.ascent()), q);
  }
  for (int j = 0; j < glyphs.height(); ++j) {
    const auto* row = reinterpret_cast<const QRgb*>(glyphs.constScanLine(j));
    for (int i = 0; i < glyphs.width(); ++i)
      if (qAlpha(row[i]) > 0) {
        const int px = x + i - kPad, py = y + j - kPad;
        if (px >= 0 && py >= 0 && px < w_ && py < h_) plot(px, py, c);
      }
  }
  ++gen_;
}

void IndexedSurface::clear() {
  ++gen_;
  // A new picture already holds its first background.
  if (!rgbMode_ && untouched_ && table_.front() == (bg_ & 0xFFFFFFu)) return;
  fillBox(0, 0, w_ - 1, h_ - 1, bg_);
}

void IndexedSurface::blit(int dx, int dy, int w, int h, const Surface& src, int sx, int sy) {
  if (!clipCopy(dx, dy, w, h, sx, sy, src.width(), src.height(), w_, h_)) return;
  // Read first, so a copy within this picture may overlap.
  std::vector<Rgb> block(static_cast<size_t>(w) * static_cast<size_t>(h));
  for (int r = 0; r < h; ++r)
    for (int col = 0; col < w; ++col) block[static_cast<size_t>(r) * w + col] = src.pixel(sx + col, sy + r);
  for (int r = 0; r < h; ++r)
    for (int col = 0; col < w; ++col) plot(dx + col, dy + r, block[static_cast<size_t>(r) * w + col]);
  ++gen_;
}

uint8_t* IndexedSurface::indexRow(int y) {
  if (rgbMode_ || y < 0 || y >= h_) return nullptr;
  untouched_ = false;
  ++gen_;
  return at(0, y);
}

uint32_t* IndexedSurface::pixelRow(int y) {
  if (y < 0 || y >= h_) return nullptr;
  toRgb();
  ++gen_;
  return reinterpret_cast<uint32_t*>(rgb_.scanLine(y));
}

bool IndexedSurface::save(const std::string& path) const {
  const QString name = QString::fromStdString(path);
  const bool png = name.endsWith(".png", Qt::CaseInsensitive);
  if (rgbMode_) {
    if (png) return rgb_.convertToFormat(QImage::Format_RGB888).save(name, "PNG", 80);  // zlib level 1
    return rgb_.save(name);
  }
  if (png) {
    std::string error;
    return writeIndexedPng(path, w_, h_, slots_.get(), table_, saveThreads_, error);
  }
  QImage copy(w_, h_, QImage::Format_Indexed8);
  if (copy.isNull()) return false;
  for (int y = 0; y < h_; ++y) std::memcpy(copy.scanLine(y), at(0, y), static_cast<size_t>(w_));
  QList<QRgb> colours;
  for (Rgb c : table_) colours.push_back(0xFF000000u | c);
  copy.setColorTable(colours);
  return copy.save(name);
}

}  // namespace qv
