// Reads the samples of the current file as 16-bit samples, whatever their
// stored width, at 64-bit positions. The file loops own one reader for a run;
// its buffer is allocated when it opens, never per read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "files/byte_source.h"
#include "files/file_info.h"

namespace qv {

// Converts n stored samples to 16-bit samples. Wider integers are rounded to
// 16 bits and floats scaled by 32768 and clipped, so 24-bit and float copies
// of the same audio give the 16-bit values; EXT values are divided by the
// divisor, rounded half to even and clipped.
void decodeSamples(SampleCoding coding, const uint8_t* in, size_t n, int16_t* out, int extDivisor = 8192);

class SampleReader {
 public:
  SampleReader();
  ~SampleReader();

  // Opens `path` as described by `info` (from GetFileInfo).
  bool open(const std::string& path, const FileInfo& info);
  // Reads from any byte source (tests, fuzzing); the source must outlive the reader.
  void attach(const ByteSource& src, const FileInfo& info);
  void close();
  bool isOpen() const { return src_ != nullptr; }

  int channels() const { return channels_; }
  int64_t frames() const { return frames_; }

  // Copies up to `count` frames (count x channels samples) starting at frame
  // `frame`; returns the whole frames delivered (fewer at the end of the file).
  size_t readFrames(int64_t frame, int16_t* out, size_t count);

  // Frame at a loop position (see FileInfo) and back. EARS positions are
  // file bytes, 250 samples to every 512-byte record.
  int64_t frameAt(int64_t position) const;
  int64_t positionOf(int64_t frame) const;

 private:
  size_t readEars(int64_t frame, int16_t* out, size_t count);

  std::unique_ptr<FileByteSource> file_;
  const ByteSource* src_ = nullptr;
  FileInfo info_;
  int channels_ = 1;
  int frameBytes_ = 2;
  int64_t frames_ = 0;
  std::vector<uint8_t> buf_;
};

}  // namespace qv
