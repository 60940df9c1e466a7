// A pixel picture: the spectrogram, the waveform strip, palette bars and
// off-screen bitmaps all draw through this.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace qv {

// 0xRRGGBB
using Rgb = uint32_t;
constexpr Rgb rgb(int r, int g, int b) { return (uint32_t(r & 255) << 16) | (uint32_t(g & 255) << 8) | uint32_t(b & 255); }
constexpr int red(Rgb c) { return (c >> 16) & 255; }
constexpr int green(Rgb c) { return (c >> 8) & 255; }
constexpr int blue(Rgb c) { return c & 255; }

class Surface {
 public:
  virtual ~Surface() = default;
  virtual int width() const = 0;
  virtual int height() const = 0;
  // Reallocates; content is cleared to the background.
  virtual void resize(int w, int h) = 0;
  virtual void setPixel(int x, int y, Rgb c) = 0;
  // Outside the picture: the background colour.
  virtual Rgb pixel(int x, int y) const = 0;
  virtual void line(int x1, int y1, int x2, int y2, Rgb c) = 0;
  // Filled box with corners included.
  virtual void fillBox(int x1, int y1, int x2, int y2, Rgb c) = 0;
  // Text with its top-left corner at the pixel position.
  virtual void text(int x, int y, const std::string& s, Rgb c) = 0;
  virtual void clear() = 0;
  virtual Rgb background() const = 0;
  virtual void setBackground(Rgb c) = 0;
  // Copies a w x h block of src at (sx, sy) to (dx, dy); src may be this.
  virtual void blit(int dx, int dy, int w, int h, const Surface& src, int sx, int sy) = 0;
  // Bumped on every change so a view knows when to repaint.
  virtual uint64_t generation() const = 0;
  // Writes the picture to an image file (format by extension: .bmp, .png).
  virtual bool save(const std::string& path) const = 0;
};

// Surfaces that can hand out their pixel rows (32-bit words 0xFFRRGGBB) let
// a bulk writer fill them without a call per pixel.
class DirectPixels {
 public:
  virtual ~DirectPixels() = default;
  virtual uint32_t* pixelRow(int y) = 0;
};

// Surfaces that keep each pixel as a slot of a colour table of at most 256
// colours. A caller that got slots for all its colours may write them
// straight into the rows.
class IndexedPixels {
 public:
  virtual ~IndexedPixels() = default;
  // The slot of a colour, added to the table when new; -1 when the table is
  // full or the surface no longer keeps slots.
  virtual int slotOf(Rgb c) = 0;
  // Null when the surface no longer keeps slots.
  virtual uint8_t* indexRow(int y) = 0;
};

// Pixels of a print position: 8 pixels per character across.
constexpr int kCharWidthPx = 8;

class SurfaceFactory {
 public:
  virtual ~SurfaceFactory() = default;
  virtual std::shared_ptr<Surface> create(int w, int h) = 0;
};

}  // namespace qv
