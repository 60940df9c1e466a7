// Random access to the bytes of a sample file, so that the format readers can
// run over a file on disk or over bytes in memory (tests, fuzzing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qv {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual int64_t size() const = 0;
  // Copies up to n bytes from offset; returns how many were available.
  virtual size_t readAt(int64_t offset, void* buf, size_t n) const = 0;
};

class MemoryByteSource : public ByteSource {
 public:
  MemoryByteSource(const uint8_t* data, size_t n) : data_(data), n_(n) {}
  int64_t size() const override { return static_cast<int64_t>(n_); }
  size_t readAt(int64_t offset, void* buf, size_t n) const override;

 private:
  const uint8_t* data_;
  size_t n_;
};

// A file opened read-only (or read-write) with 64-bit positions.
class FileByteSource : public ByteSource {
 public:
  FileByteSource() = default;
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  bool open(const std::string& path, bool writable = false);
  void close();
  bool isOpen() const { return fd_ >= 0; }
  int64_t size() const override;
  size_t readAt(int64_t offset, void* buf, size_t n) const override;
  bool writeAt(int64_t offset, const void* buf, size_t n);

 private:
  int fd_ = -1;
};

// Length of a file in bytes, -1 when it cannot be opened for reading.
int64_t fileLength(const std::string& path);

// Little-endian field readers over a byte array.
inline uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline void putLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void putLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace qv
