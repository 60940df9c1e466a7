#include "platform/image/png_indexed.h"

#include "platform/image/big_buffer.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

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

// Writes one chunk whose data is the concatenation of `spans`.
struct Span {
  const uint8_t* data;
  size_t n;
};

bool writeChunk(std::FILE* f, const char type[4], const std::vector<Span>& spans) {
  size_t n = 0;
  for (const Span& s : spans) n += s.n;
  uint8_t head[8];
  put32(head, static_cast<uint32_t>(n));
  std::memcpy(head + 4, type, 4);
  uint32_t crc = libdeflate_crc32(0, head + 4, 4);
  if (std::fwrite(head, 1, 8, f) != 8) return false;
  for (const Span& s : spans) {
    if (s.n == 0) continue;
    crc = libdeflate_crc32(crc, s.data, s.n);
    if (std::fwrite(s.data, 1, s.n, f) != s.n) return false;
  }
  uint8_t tail[4];
  put32(tail, crc);
  return std::fwrite(tail, 1, 4, f) == 4;
}

// A band of rows and where its code goes. Every band but the last ends on
// a byte boundary with an empty stored block, so the bands' codes follow
// one another as a single stream; with run-length coding no match reaches
// back into the band before, so nothing is lost by coding them apart.
struct Band {
  const uint8_t* in = nullptr;
  size_t n = 0;
  uint8_t* out = nullptr;
  size_t cap = 0;
  size_t size = 0;
  uint32_t adler = 1;  // of the rows
  bool last = false;
  bool ok = false;
};

z_stream* openCoder(z_stream& z) {
  return deflateInit2(&z, 1, Z_DEFLATED, -15, 8, Z_RLE) == Z_OK ? &z : nullptr;
}

void codeBand(Band& b) {
  z_stream z{};
  if (!openCoder(z)) return;
  // zlib counts in 32 bits: large bands go in and come out in slices.
  constexpr size_t kSlice = size_t{1} << 30;
  size_t inAt = 0, outAt = 0;
  for (;;) {
    if (z.avail_in == 0 && inAt < b.n) {
      const size_t k = std::min(kSlice, b.n - inAt);
      z.next_in = const_cast<Bytef*>(b.in + inAt);
      z.avail_in = static_cast<uInt>(k);
      inAt += k;
    }
    if (z.avail_out == 0) {
      if (outAt >= b.cap) break;  // out of room: fails below
      const size_t k = std::min(kSlice, b.cap - outAt);
      z.next_out = b.out + outAt;
      z.avail_out = static_cast<uInt>(k);
      outAt += k;
    }
    const int flush = inAt < b.n ? Z_NO_FLUSH : (b.last ? Z_FINISH : Z_SYNC_FLUSH);
    const int r = deflate(&z, flush);
    if (r == Z_STREAM_END) {
      b.ok = true;
      break;
    }
    if (r != Z_OK && r != Z_BUF_ERROR) break;
    // A flush is complete once it leaves room over.
    if (flush == Z_SYNC_FLUSH && z.avail_in == 0 && z.avail_out > 0) {
      b.ok = true;
      break;
    }
  }
  b.size = static_cast<size_t>(z.total_out);
  deflateEnd(&z);
  b.adler = libdeflate_adler32(1, b.in, b.n);
}

}  // namespace

bool writeIndexedPng(const std::string& path, int width, int height, const uint8_t* rows,
                     const std::vector<uint32_t>& colours, int threads, std::string& error) {
  if (width < 1 || height < 1 || colours.empty() || colours.size() > 256) {
    error = "not a picture that fits a colour-mapped PNG";
    return false;
  }
  const size_t rowBytes = static_cast<size_t>(width) + 1;
  const size_t raw = static_cast<size_t>(height) * rowBytes;

  // Bands too small are not worth a thread.
  constexpr size_t kMinBand = size_t{1} << 20;
  const size_t most = std::max<size_t>(1, std::min<size_t>(raw / kMinBand, static_cast<size_t>(height)));
  const size_t wanted = std::clamp<size_t>(static_cast<size_t>(std::max(threads, 1)), 1, most);
  const size_t rowsPer = (static_cast<size_t>(height) + wanted - 1) / wanted;
  std::vector<Band> bands;
  for (size_t r = 0; r < static_cast<size_t>(height); r += rowsPer) {
    Band b;
    b.in = rows + r * rowBytes;
    b.n = std::min(rowsPer, static_cast<size_t>(height) - r) * rowBytes;
    bands.push_back(b);
  }
  bands.back().last = true;

  size_t total = 0;
  for (Band& b : bands) {
    z_stream z{};
    if (!openCoder(z)) {
      error = "out of memory";
      return false;
    }
    b.cap = static_cast<size_t>(deflateBound(&z, static_cast<uLong>(b.n))) + 16;  // and the closing stored block
    deflateEnd(&z);
    total += b.cap;
  }
  BigBuffer packed = allocateBigBuffer(total);
  if (!packed) {
    error = "out of memory";
    return false;
  }
  size_t at = 0;
  for (Band& b : bands) {
    b.out = packed.get() + at;
    at += b.cap;
  }
  std::vector<std::thread> helpers;
  for (size_t i = 1; i < bands.size(); ++i) {
    try {
      helpers.emplace_back(codeBand, std::ref(bands[i]));
    } catch (const std::system_error&) {
      codeBand(bands[i]);  // no thread to be had: code it here
    }
  }
  codeBand(bands[0]);
  for (std::thread& t : helpers) t.join();
  uLong adler = adler32(0, nullptr, 0);
  for (const Band& b : bands) {
    if (!b.ok) {
      error = "compression failed";
      return false;
    }
    adler = adler32_combine(adler, b.adler, static_cast<z_off_t>(b.n));
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
  bool ok = std::fwrite(kSignature, 1, 8, f.get()) == 8 && writeChunk(f.get(), "IHDR", {{ihdr, 13}}) &&
            writeChunk(f.get(), "PLTE", {{plte.data(), plte.size()}});

  // The stream: a header saying "deflate, fastest", the bands, the checksum.
  static const uint8_t kStreamHead[2] = {0x78, 0x01};
  uint8_t check[4];
  put32(check, static_cast<uint32_t>(adler));
  std::vector<Span> stream{{kStreamHead, 2}};
  for (const Band& b : bands) stream.push_back({b.out, b.size});
  stream.push_back({check, 4});
  // Chunk lengths are limited to 2^31 - 1.
  constexpr size_t kMaxChunk = size_t{1} << 30;
  std::vector<Span> chunk;
  size_t inChunk = 0;
  for (size_t i = 0; ok && i < stream.size(); ++i) {
    Span s = stream[i];
    while (ok && s.n > 0) {
      const size_t k = std::min(s.n, kMaxChunk - inChunk);
      chunk.push_back({s.data, k});
      inChunk += k;
      s.data += k;
      s.n -= k;
      if (inChunk == kMaxChunk) {
        ok = writeChunk(f.get(), "IDAT", chunk);
        chunk.clear();
        inChunk = 0;
      }
    }
  }
  if (ok && !chunk.empty()) ok = writeChunk(f.get(), "IDAT", chunk);
  ok = ok && writeChunk(f.get(), "IEND", {});
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
