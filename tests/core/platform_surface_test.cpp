// Block copies on the QImage surface: scrolling within one picture and
// clipping at every edge.
#include <gtest/gtest.h>

#include "platform/qt/indexed_surface.h"
#include "platform/qt/qimage_surface.h"
#include "support/temp_dir.h"

#include <QImage>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace qv {
namespace {

// A picture whose every pixel tells where it is.
Rgb marker(int x, int y) { return rgb(x, y, 7); }
void paint(QImageSurface& s) {
  for (int y = 0; y < s.height(); ++y)
    for (int x = 0; x < s.width(); ++x) s.setPixel(x, y, marker(x, y));
}

TEST(QImageSurface, ScrollsWithinItselfInEveryDirection) {
  const int w = 40, h = 30;
  struct Case {
    int dx, dy, sx, sy;
  } cases[] = {{0, 0, 1, 0}, {1, 0, 0, 0}, {0, 0, 0, 1}, {0, 1, 0, 0}, {3, 2, 0, 0}, {0, 0, 3, 2}};
  for (auto c : cases) {
    QImageSurface s(w, h);
    paint(s);
    int bw = w - std::max(c.dx, c.sx), bh = h - std::max(c.dy, c.sy);
    s.blit(c.dx, c.dy, bw, bh, s, c.sx, c.sy);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        bool inside = x >= c.dx && x < c.dx + bw && y >= c.dy && y < c.dy + bh;
        Rgb want = inside ? marker(x - c.dx + c.sx, y - c.dy + c.sy) : marker(x, y);
        ASSERT_EQ(s.pixel(x, y), want) << "case " << c.dx << "," << c.dy << " from " << c.sx << "," << c.sy
                                       << " at " << x << "," << y;
      }
  }
}

TEST(QImageSurface, ClipsCopiesAtEveryEdge) {
  QImageSurface src(10, 10), dst(8, 6);
  paint(src);
  dst.setBackground(0);
  dst.clear();
  auto gen = dst.generation();
  // Source starting outside on the left/top: only the part inside is copied, shifted.
  dst.blit(0, 0, 5, 5, src, -2, -1);
  EXPECT_GT(dst.generation(), gen);
  EXPECT_EQ(dst.pixel(0, 0), 0u);
  EXPECT_EQ(dst.pixel(1, 0), 0u);
  EXPECT_EQ(dst.pixel(2, 1), marker(0, 0));
  EXPECT_EQ(dst.pixel(4, 4), marker(2, 3));
  EXPECT_EQ(dst.pixel(5, 5), 0u);

  // Destination partly outside on the right/bottom and on the left/top.
  dst.clear();
  dst.blit(6, 4, 5, 5, src, 0, 0);
  EXPECT_EQ(dst.pixel(6, 4), marker(0, 0));
  EXPECT_EQ(dst.pixel(7, 5), marker(1, 1));
  dst.clear();
  dst.blit(-3, -2, 5, 5, src, 0, 0);
  EXPECT_EQ(dst.pixel(0, 0), marker(3, 2));
  EXPECT_EQ(dst.pixel(1, 2), marker(4, 4));
  EXPECT_EQ(dst.pixel(2, 0), 0u);

  // Wider than both pictures, and wholly outside: no crash, nothing outside written.
  dst.clear();
  dst.blit(0, 0, 1000, 1000, src, 0, 0);
  EXPECT_EQ(dst.pixel(7, 5), marker(7, 5));
  gen = dst.generation();
  dst.blit(50, 50, 5, 5, src, 0, 0);
  dst.blit(0, 0, 5, 5, src, 20, 0);
  dst.blit(0, 0, -4, 5, src, 0, 0);
  EXPECT_EQ(dst.generation(), gen);
  EXPECT_EQ(dst.pixel(-1, 0), dst.background());
}

TEST(QImageSurface, BoxesLinesAndPixelsStayInside) {
  QImageSurface s(5, 4);
  s.setBackground(rgb(1, 2, 3));
  s.clear();
  s.fillBox(3, 2, -10, -10, rgb(255, 0, 0));  // corners in any order, clipped, inclusive
  EXPECT_EQ(s.pixel(0, 0), rgb(255, 0, 0));
  EXPECT_EQ(s.pixel(3, 2), rgb(255, 0, 0));
  EXPECT_EQ(s.pixel(4, 2), rgb(1, 2, 3));
  // Wholly outside on any side: nothing drawn (and no write past the row).
  s.fillBox(10, 0, 12, 2, rgb(9, 9, 9));
  s.fillBox(-6, 0, -2, 2, rgb(9, 9, 9));
  s.fillBox(0, 7, 4, 9, rgb(9, 9, 9));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) ASSERT_NE(s.pixel(x, y), rgb(9, 9, 9));
  s.line(-5, 3, 20, 3, rgb(0, 255, 0));
  for (int x = 0; x < 5; ++x) EXPECT_EQ(s.pixel(x, 3), rgb(0, 255, 0));
  s.setPixel(9, 9, 0);
  s.resize(3, 3);
  EXPECT_EQ(s.pixel(2, 2), rgb(1, 2, 3));
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// The slot-keeping picture: exact colours whether or not they fit its table,
// and PNG files that read back pixel for pixel.
TEST(IndexedSurface, KeepsEveryColourExactAndMovesTo32BitWhenTheTableIsFull) {
  IndexedSurface s(300, 20, 1);
  EXPECT_EQ(s.pixel(299, 19), rgb(255, 255, 255));
  EXPECT_EQ(s.slotOf(rgb(255, 255, 255)), 0);
  for (int i = 0; i < 255; ++i) s.setPixel(i, 1, rgb(i, 0, 1));
  EXPECT_TRUE(s.indexed());
  EXPECT_EQ(s.colours(), 256);
  EXPECT_EQ(s.slotOf(rgb(1, 2, 3)), -1) << "a full table refuses";
  EXPECT_TRUE(s.indexed()) << "asking does not convert";
  s.fillBox(0, 5, 299, 6, rgb(9, 9, 9));  // one colour too many
  EXPECT_FALSE(s.indexed());
  EXPECT_EQ(s.indexRow(0), nullptr);
  for (int i = 0; i < 255; ++i) ASSERT_EQ(s.pixel(i, 1), rgb(i, 0, 1));
  EXPECT_EQ(s.pixel(299, 6), rgb(9, 9, 9));
  EXPECT_EQ(s.pixel(299, 7), rgb(255, 255, 255));
}

TEST(IndexedSurface, RowsTextCopiesAndFiles) {
  test::TempDir d;
  IndexedSurface s(50, 30, 1);
  const int ink = s.slotOf(rgb(0, 0, 0)), red = s.slotOf(rgb(255, 0, 0));
  ASSERT_GE(ink, 0);
  uint8_t* row = s.indexRow(10);
  ASSERT_NE(row, nullptr);
  for (int x = 0; x < 50; ++x) row[x] = static_cast<uint8_t>(x % 2 ? red : ink);
  EXPECT_EQ(s.pixel(3, 10), rgb(255, 0, 0));
  EXPECT_EQ(s.pixel(4, 10), rgb(0, 0, 0));
  // Text adds its ink and nothing else: no blended edge colours.
  s.text(2, 14, "Hz 42", rgb(0, 0, 255));
  EXPECT_EQ(s.colours(), 4);
  int blue = 0;
  for (int y = 14; y < 30; ++y)
    for (int x = 0; x < 50; ++x) blue += s.pixel(x, y) == rgb(0, 0, 255);
  EXPECT_GT(blue, 10);
  // An overlapping copy within the picture moves the row down intact.
  s.blit(0, 11, 50, 1, s, 0, 10);
  for (int x = 0; x < 50; ++x) ASSERT_EQ(s.pixel(x, 11), s.pixel(x, 10));

  const std::string path = d.file("p.png");
  ASSERT_TRUE(s.save(path));
  QImage back(QString::fromStdString(path));
  ASSERT_EQ(back.format(), QImage::Format_Indexed8);
  ASSERT_EQ(back.width(), 50);
  ASSERT_EQ(back.height(), 30);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 50; ++x) ASSERT_EQ(back.pixel(x, y) & 0xFFFFFFu, s.pixel(x, y)) << x << "," << y;
  EXPECT_FALSE(s.save(d.file("no/such/folder/p.png")));
}


// A picture large enough to be compressed in bands on several threads is
// still one valid stream: every band decodes, the checksum over all of them
// holds, and the pixels are those of the one-thread file.
TEST(IndexedSurface, APictureCompressedInBandsIsOneExactStream) {
  test::TempDir d;
  const int w = 3001, h = 1777;  // about 5 MB: bands of unequal rows
  IndexedSurface one(w, h, 1), many(w, h, 4);
  uint32_t seed = 7;
  for (IndexedSurface* s : {&one, &many}) {
    for (int c = 0; c < 40; ++c) ASSERT_GE(s->slotOf(rgb(c * 6, 255 - c * 6, c)), 0);
    seed = 7;
    for (int y = 0; y < h; ++y) {
      uint8_t* row = s->indexRow(y);
      for (int x = 0; x < w; ++x) {
        seed = seed * 1664525u + 1013904223u;
        // Runs along the row, as a tone draws, broken by noise.
        row[x] = static_cast<uint8_t>((y / 50 + x / 300) % 3 == 0 ? 1 + (y % 7) : 1 + (seed >> 24) % 40);
      }
    }
  }
  const std::string a = d.file("one.png"), b = d.file("many.png");
  ASSERT_TRUE(one.save(a));
  ASSERT_TRUE(many.save(b));

  std::ifstream in(b, std::ios::binary);
  const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string stream;
  for (size_t at = 8; at + 12 <= file.size();) {
    const auto* p = reinterpret_cast<const unsigned char*>(file.data() + at);
    const size_t n = (size_t{p[0]} << 24) | (size_t{p[1]} << 16) | (size_t{p[2]} << 8) | p[3];
    if (file.compare(at + 4, 4, "IDAT") == 0) stream += file.substr(at + 8, n);
    at += 12 + n;
  }
  const size_t raw = static_cast<size_t>(h) * (w + 1);
  std::vector<unsigned char> rows(raw + 1);
  uLongf got = static_cast<uLongf>(rows.size());
  ASSERT_EQ(uncompress(rows.data(), &got, reinterpret_cast<const Bytef*>(stream.data()), static_cast<uLong>(stream.size())),
            Z_OK)
      << "the joined bands decode and their checksum holds";
  ASSERT_EQ(got, raw);
  for (int y = 0; y < h; ++y) {
    ASSERT_EQ(rows[static_cast<size_t>(y) * (w + 1)], 0) << "row " << y << " keeps its filter byte";
    ASSERT_EQ(std::memcmp(&rows[static_cast<size_t>(y) * (w + 1) + 1], many.indexRow(y), static_cast<size_t>(w)), 0)
        << "row " << y;
  }
  QImage ia(QString::fromStdString(a)), ib(QString::fromStdString(b));
  ASSERT_FALSE(ib.isNull());
  EXPECT_EQ(ia, ib);
}

}  // namespace
}  // namespace qv
