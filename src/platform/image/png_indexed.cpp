#include "platform/image/png_indexed.h"

#include "platform/image/big_buffer.h"

#include <libdeflate.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace qv {

namespace {

void put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

bool writeChunk(std::FILE* f, const char type[4], const uint8_t* data, size_t n) {
  uint8_t head[8];
  put32(head, static_cast<uint32_t>(n));
  std::memcpy(head + 4, type, 4);
  uint32_t crc = libdeflate_crc32(0, head + 4, 4);
  if (n > 0) crc = libdeflate_crc32(crc, data, n);
  uint8_t tail[4];
  put32(tail, crc);
  return std::fwrite(head, 1, 8, f) == 8 && (n == 0 || std::fwrite(data, 1, n, f) == n) &&
         std::fwrite(tail, 1, 4, f) == 4;
}

}  // namespace

bool writeIndexedPng(const std::string& path, int width, int height, const uint8_t* rows,
                     const std::vector<uint32_t>& colours, int level, std::string& error) {
  if (width < 1 || height < 1 || colours.empty() || colours.size() > 256) {
    error = "not a picture that fits a colour-mapped PNG";
    return false;
  }
  const size_t raw = static_cast<size_t>(height) * (static_cast<size_t>(width) + 1);
  std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> c(
      libdeflate_alloc_compressor(level < 1 ? 1 : (level > 12 ? 12 : level)), libdeflate_free_compressor);
  if (!c) {
    error = "out of memory";
    return false;
  }
  const size_t bound = libdeflate_zlib_compress_bound(c.get(), raw);
  BigBuffer packed = allocateBigBuffer(bound);
  if (!packed) {
    error = "out of memory";
    return false;
  }
  const size_t packedSize = libdeflate_zlib_compress(c.get(), rows, raw, packed.get(), bound);
  if (packedSize == 0) {
    error = "compression failed";
    return false;
  }

  std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "wb"));
  if (!f) {
    error = std::strerror(errno);
    return false;
  }
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  uint8_t ihdr[13] = {};
  put32(ihdr, static_cast<uint32_t>(width));
  put32(ihdr + 4, static_cast<uint32_t>(height));
  ihdr[8] = 8;  // bits per slot
  ihdr[9] = 3;  // colour type: colour table
  std::vector<uint8_t> plte;
  plte.reserve(colours.size() * 3);
  for (uint32_t col : colours) {
    plte.push_back(static_cast<uint8_t>(col >> 16));
    plte.push_back(static_cast<uint8_t>(col >> 8));
    plte.push_back(static_cast<uint8_t>(col));
  }
  bool ok = std::fwrite(kSignature, 1, 8, f.get()) == 8 && writeChunk(f.get(), "IHDR", ihdr, 13) &&
            writeChunk(f.get(), "PLTE", plte.data(), plte.size());
  // Chunk lengths are limited to 2^31 - 1.
  constexpr size_t kMaxChunk = size_t{1} << 30;
  for (size_t at = 0; ok && at < packedSize; at += kMaxChunk)
    ok = writeChunk(f.get(), "IDAT", packed.get() + at, std::min(kMaxChunk, packedSize - at));
  ok = ok && writeChunk(f.get(), "IEND", nullptr, 0);
  if (ok) ok = std::fflush(f.get()) == 0;
  if (!ok) error = std::strerror(errno ? errno : EIO);
  if (std::fclose(f.release()) != 0 && ok) {
    ok = false;
    error = std::strerror(errno);
  }
  if (!ok) std::remove(path.c_str());
  return ok;
}

}  // namespace qv
