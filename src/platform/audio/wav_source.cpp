#include "platform/audio/wav_source.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qv {

namespace {
uint32_t le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t le16(const unsigned char* p) { return uint16_t(p[0] | (p[1] << 8)); }
}  // namespace

WavFileSource::~WavFileSource() { unload(); }

void WavFileSource::unload() {
  if (map_) munmap(map_, mapLen_);
  map_ = nullptr;
  mapLen_ = 0;
  data_ = nullptr;
  frames_ = 0;
  channels_ = rate_ = 0;
  pos_ = 0;
}

bool WavFileSource::load(const std::string& path, std::string* error) {
  unload();
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    unload();
    return false;
  };
  if (path.empty()) return fail("no WAV file chosen for the input");
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail("cannot open " + path + ": " + std::strerror(errno));
  struct stat st {};
  if (fstat(fd, &st) != 0 || st.st_size < 12) {
    ::close(fd);
    return fail(path + " is not a WAV file");
  }
  mapLen_ = size_t(st.st_size);
  void* m = mmap(nullptr, mapLen_, PROT_READ, MAP_PRIVATE, fd, 0);
  ::close(fd);
  if (m == MAP_FAILED) {
    mapLen_ = 0;
    return fail("cannot read " + path);
  }
  map_ = m;
  const unsigned char* p = static_cast<const unsigned char*>(m);
  if (std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVE", 4) != 0) return fail(path + " is not a WAV file");

  bool haveFmt = false;
  size_t off = 12;
  while (off + 8 <= mapLen_) {
    const unsigned char* ck = p + off;
    uint32_t len = le32(ck + 4);
    size_t body = off + 8;
    if (std::memcmp(ck, "fmt ", 4) == 0) {
      if (len < 16 || body + 16 > mapLen_) return fail(path + ": damaged format chunk");
      uint16_t tag = le16(p + body);
      channels_ = le16(p + body + 2);
      rate_ = int(le32(p + body + 4));
      uint16_t bits = le16(p + body + 14);
      if (tag == 0xFFFE && len >= 40 && body + 26 <= mapLen_) tag = le16(p + body + 24);  // extensible: sub-format
      if (tag != 1 || bits != 16) return fail(path + " is not 16-bit PCM");
      if (channels_ < 1) return fail(path + ": no channels");
      haveFmt = true;
    } else if (std::memcmp(ck, "data", 4) == 0) {
      if (!haveFmt) return fail(path + ": data before the format chunk");
      // A recording cut short keeps a zero or too large length: take what is there.
      size_t avail = mapLen_ - body;
      size_t n = (len == 0 || len > avail) ? avail : len;
      data_ = p + body;
      frames_ = n / (2 * size_t(channels_));
      if (frames_ == 0) return fail(path + " holds no samples");
      return true;
    }
    off = body + len + (len & 1);
  }
  return fail(path + ": no sample data found");
}

int16_t WavFileSource::sample(size_t frame, int ch) const {
  const unsigned char* s = data_ + (frame * channels_ + ch) * 2;
  return int16_t(le16(s));
}

void WavFileSource::read(int16_t* out, int frames, int channels) {
  for (int i = 0; i < frames; ++i) {
    if (!data_) {
      std::fill(out, out + channels, int16_t(0));
    } else {
      for (int c = 0; c < channels; ++c) out[c] = sample(pos_, std::min(c, channels_ - 1));
      if (++pos_ >= frames_) pos_ = 0;
    }
    out += channels;
  }
}

}  // namespace qv
