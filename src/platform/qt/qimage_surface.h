// Surfaces backed by a QImage: they work without a display, and the view
// shows the image directly.
#pragma once

#include <QImage>

#include "platform/surface.h"

namespace qv {

class QImageSurface : public Surface {
 public:
  QImageSurface(int w, int h);
  // A picture taken elsewhere (a grab of a window), converted to this surface's pixel format.
  explicit QImageSurface(const QImage& picture);
  int width() const override { return img_.width(); }
  int height() const override { return img_.height(); }
  void resize(int w, int h) override;
  void setPixel(int x, int y, Rgb c) override;
  Rgb pixel(int x, int y) const override;
  void line(int x1, int y1, int x2, int y2, Rgb c) override;
  void fillBox(int x1, int y1, int x2, int y2, Rgb c) override;
  void text(int x, int y, const std::string& s, Rgb c) override;
  void clear() override;
  Rgb background() const override { return bg_; }
  void setBackground(Rgb c) override { bg_ = c; }
  void blit(int dx, int dy, int w, int h, const Surface& src, int sx, int sy) override;
  uint64_t generation() const override { return gen_; }
  bool save(const std::string& path) const override;

  const QImage& image() const { return img_; }
  // Direct row access for the column drawing hot path.
  uint32_t* row(int y) { return reinterpret_cast<uint32_t*>(img_.scanLine(y)); }
  void touch() { ++gen_; }

 private:
  QImage img_;
  Rgb bg_ = 0xFFFFFF;
  uint64_t gen_ = 0;
};

class QImageSurfaceFactory : public SurfaceFactory {
 public:
  std::shared_ptr<Surface> create(int w, int h) override { return std::make_shared<QImageSurface>(w, h); }
};

}  // namespace qv
