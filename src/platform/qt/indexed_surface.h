// A picture kept as one byte per pixel, a slot of a colour table of at most
// 256 colours: batch-rendered spectrograms are huge and few-coloured, and
// this stores them in a quarter of the memory of 32-bit pixels and writes
// them as colour-mapped PNGs without a conversion pass. A colour that no
// longer fits moves the picture to 32-bit pixels, so drawing stays exact.
#pragma once

#include <QImage>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/image/big_buffer.h"
#include "platform/surface.h"

namespace qv {

class IndexedSurface : public Surface, public IndexedPixels, public DirectPixels {
 public:
  // Starts filled with the background (white) without touching the memory.
  // `saveThreads`: how many threads may compress the picture when saved.
  IndexedSurface(int w, int h, int saveThreads);

  int width() const override { return w_; }
  int height() const override { return h_; }
  void resize(int w, int h) override;
  void setPixel(int x, int y, Rgb c) override;
  Rgb pixel(int x, int y) const override;
  void line(int x1, int y1, int x2, int y2, Rgb c) override;
  void fillBox(int x1, int y1, int x2, int y2, Rgb c) override;
  // Without anti-aliasing, so text adds its ink colour only.
  void text(int x, int y, const std::string& s, Rgb c) override;
  void clear() override;
  Rgb background() const override { return bg_; }
  void setBackground(Rgb c) override { bg_ = c; }
  void blit(int dx, int dy, int w, int h, const Surface& src, int sx, int sy) override;
  uint64_t generation() const override { return gen_; }
  // PNG files are written with a colour table while the picture has one,
  // coded for speed, as these images are large.
  bool save(const std::string& path) const override;

  int slotOf(Rgb c) override;
  uint8_t* indexRow(int y) override;
  // Leaves 8-bit storage for good.
  uint32_t* pixelRow(int y) override;

  bool indexed() const { return !rgbMode_; }
  int colours() const { return static_cast<int>(table_.size()); }

 private:
  void allocate(int w, int h);
  // Slot for a colour, or -1 after moving to 32-bit pixels.
  int slotOrConvert(Rgb c);
  void toRgb();
  void plot(int x, int y, Rgb c);

  int w_ = 1, h_ = 1;
  int saveThreads_ = 1;
  // Each row is a zero byte, then its slots: the layout of a PNG data
  // stream, so a picture is written without a copy.
  int stride_ = 2;
  uint8_t* at(int x, int y) const { return slots_.get() + static_cast<size_t>(y) * stride_ + 1 + x; }
  BigBuffer slots_;
  std::vector<Rgb> table_;
  QImage rgb_;
  bool rgbMode_ = false;
  bool untouched_ = true;  // still all slot 0 (the first background) as allocated
  Rgb bg_ = 0xFFFFFF;
  uint64_t gen_ = 0;
};

class IndexedSurfaceFactory : public SurfaceFactory {
 public:
  // `saveThreads`: the cores a picture's compression may use, as many as
  // the work it ends is given.
  explicit IndexedSurfaceFactory(int saveThreads) : saveThreads_(saveThreads) {}
  std::shared_ptr<Surface> create(int w, int h) override {
    return std::make_shared<IndexedSurface>(w, h, saveThreads_);
  }

 private:
  int saveThreads_;
};

}  // namespace qv
