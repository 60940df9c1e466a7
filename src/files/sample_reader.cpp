#include "files/sample_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qv {

namespace {

constexpr size_t kChunkBytes = 64 * 1024;

inline int16_t clip16(long long v) { return static_cast<int16_t>(std::clamp<long long>(v, -32768, 32767)); }

inline int16_t fromFloat(double f) {
  if (!(f == f)) return 0;  // NaN
  // Half up, as the integer widths round, so float and 24-bit copies agree.
  double v = std::floor(f * 32768.0 + 0.5);
  if (v > 32767.0) return 32767;
  if (v < -32768.0) return -32768;
  return static_cast<int16_t>(v);
}

}  // namespace

void decodeSamples(SampleCoding coding, const uint8_t* in, size_t n, int16_t* out, int extDivisor) {
  switch (coding) {
    case SampleCoding::UInt8:
      for (size_t i = 0; i < n; ++i) out[i] = static_cast<int16_t>((in[i] - 128) * 256);
      break;
    case SampleCoding::Int16:
      for (size_t i = 0; i < n; ++i) out[i] = static_cast<int16_t>(le16(in + 2 * i));
      break;
    case SampleCoding::Int16BE:
      for (size_t i = 0; i < n; ++i) out[i] = static_cast<int16_t>((in[2 * i] << 8) | in[2 * i + 1]);
      break;
    case SampleCoding::Int24:
      for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = in + 3 * i;
        int32_t v = static_cast<int32_t>((static_cast<uint32_t>(p[0]) << 8) | (static_cast<uint32_t>(p[1]) << 16) |
                                         (static_cast<uint32_t>(p[2]) << 24)) >> 8;
        out[i] = clip16((static_cast<long long>(v) + 128) >> 8);
      }
      break;
    case SampleCoding::Int32:
      for (size_t i = 0; i < n; ++i) {
        long long v = static_cast<int32_t>(le32(in + 4 * i));
        out[i] = clip16((v + 32768) >> 16);
      }
      break;
    case SampleCoding::Float32:
      for (size_t i = 0; i < n; ++i) {
        uint32_t u = le32(in + 4 * i);
        float f;
        std::memcpy(&f, &u, 4);
        out[i] = fromFloat(f);
      }
      break;
    case SampleCoding::Float64:
      for (size_t i = 0; i < n; ++i) {
        uint64_t u = static_cast<uint64_t>(le32(in + 8 * i)) | (static_cast<uint64_t>(le32(in + 8 * i + 4)) << 32);
        double d;
        std::memcpy(&d, &u, 8);
        out[i] = fromFloat(d);
      }
      break;
    case SampleCoding::Int32Ext: {
      double div = extDivisor == 0 ? 1.0 : static_cast<double>(extDivisor);
      for (size_t i = 0; i < n; ++i) {
        double v = std::nearbyint(static_cast<int32_t>(le32(in + 4 * i)) / div);
        out[i] = v > 32767.0 ? int16_t{32767} : v < -32768.0 ? int16_t{-32768} : static_cast<int16_t>(v);
      }
      break;
    }
  }
}

SampleReader::SampleReader() = default;
SampleReader::~SampleReader() = default;

bool SampleReader::open(const std::string& path, const FileInfo& info) {
  close();
  auto f = std::make_unique<FileByteSource>();
  if (!f->open(path)) return false;
  file_ = std::move(f);
  attach(*file_, info);
  return true;
}

void SampleReader::attach(const ByteSource& src, const FileInfo& info) {
  src_ = &src;
  info_ = info;
  channels_ = std::max(1, info.channels);
  frameBytes_ = bytesPerSample(info.coding) * channels_;
  frames_ = std::max<int64_t>(0, info.frames);
  size_t want = kChunkBytes - kChunkBytes % static_cast<size_t>(frameBytes_);
  if (want == 0) want = static_cast<size_t>(frameBytes_);
  if (buf_.size() < want) buf_.assign(want, 0);
}

void SampleReader::close() {
  src_ = nullptr;
  file_.reset();
  frames_ = 0;
}

size_t SampleReader::readFrames(int64_t frame, int16_t* out, size_t count) {
  if (!src_ || frame < 0 || frame >= frames_ || count == 0) return 0;
  count = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), frames_ - frame));
  if (info_.coding == SampleCoding::Int16BE) return readEars(frame, out, count);
  const size_t perChunk = buf_.size() / static_cast<size_t>(frameBytes_);
  size_t done = 0;
  while (done < count) {
    size_t want = std::min(perChunk, count - done);
    int64_t at = info_.firstSample + (frame + static_cast<int64_t>(done)) * frameBytes_;
    size_t got = src_->readAt(at, buf_.data(), want * static_cast<size_t>(frameBytes_)) /
                 static_cast<size_t>(frameBytes_);
    decodeSamples(info_.coding, buf_.data(), got * static_cast<size_t>(channels_),
                  out + done * static_cast<size_t>(channels_), info_.scale32);
    done += got;
    if (got < want) break;  // the file shrank under us
  }
  return done;
}

size_t SampleReader::readEars(int64_t frame, int16_t* out, size_t count) {
  size_t done = 0;
  while (done < count) {
    int64_t k = frame + static_cast<int64_t>(done);
    int64_t rec = k / 250, inRec = k % 250;
    size_t want = std::min<size_t>(count - done, static_cast<size_t>(250 - inRec));
    size_t got = src_->readAt(rec * 512 + 12 + inRec * 2, buf_.data(), want * 2) / 2;
    decodeSamples(SampleCoding::Int16BE, buf_.data(), got, out + done);
    done += got;
    if (got < want) break;
  }
  return done;
}

int64_t SampleReader::frameAt(int64_t position) const {
  if (info_.coding == SampleCoding::Int16BE) {
    if (position < 0) return 0;
    int64_t in = position % 512 - 12;
    return (position / 512) * 250 + (in > 0 ? std::min<int64_t>(in, 500) / 2 : 0);
  }
  int64_t per = info_.coding == SampleCoding::Int32Ext ? 4 : 2LL * channels_;
  int64_t rel = position - info_.HeaderSize;
  return rel <= 0 ? 0 : rel / per;
}

int64_t SampleReader::positionOf(int64_t frame) const {
  if (info_.coding == SampleCoding::Int16BE) return (frame / 250) * 512 + 12 + (frame % 250) * 2;
  int64_t per = info_.coding == SampleCoding::Int32Ext ? 4 : 2LL * channels_;
  return info_.HeaderSize + frame * per;
}

}  // namespace qv
