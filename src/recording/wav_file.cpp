#include "recording/wav_file.h"

#include "files/byte_source.h"
#include "files/guano.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qv {

std::array<uint8_t, 44> buildWavHeader(int64_t fileLength, int channels, int sampleRate) {
  return buildWavHeader(fileLength, channels, sampleRate, fileLength);
}

std::array<uint8_t, 44> buildWavHeader(int64_t fileLength, int channels, int sampleRate, int64_t dataEnd) {
  std::array<uint8_t, 44> h{};
  if (channels < 1) channels = 1;
  std::memcpy(h.data(), "RIFF", 4);
  // RIFF counts everything after its own 8 bytes; an empty file keeps 0.
  putLe32(&h[4], static_cast<uint32_t>(fileLength >= 8 ? fileLength - 8 : 0));
  std::memcpy(&h[8], "WAVEfmt ", 8);
  putLe32(&h[16], 16);
  putLe16(&h[20], 1);
  putLe16(&h[22], static_cast<uint32_t>(channels));
  putLe32(&h[24], static_cast<uint32_t>(sampleRate));
  putLe32(&h[28], static_cast<uint32_t>(static_cast<int64_t>(sampleRate) * 2 * channels));
  putLe16(&h[32], static_cast<uint32_t>(channels * 2));
  putLe16(&h[34], 16);
  std::memcpy(&h[36], "data", 4);
  putLe32(&h[40], static_cast<uint32_t>(static_cast<int32_t>(dataEnd - 44)));
  return h;
}

static bool writeAll(int fd, const void* data, size_t n, int64_t offset, int* err) {
  auto p = static_cast<const char*>(data);
  while (n > 0) {
    ssize_t w = ::pwrite(fd, p, n, offset);
    if (w < 0) {
      if (errno == EINTR) continue;
      *err = errno;
      return false;
    }
    if (w == 0) {
      *err = ENOSPC;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
    offset += w;
  }
  return true;
}

static std::string reason(const std::string& what, const std::string& path, int err) {
  return what + " " + path + ": " + std::strerror(err);
}

static bool patchHeader(int fd, const std::string& path, int channels, int rate, std::string* error) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    if (error) *error = reason("Cannot read the length of", path, errno);
    return false;
  }
  int64_t length = st.st_size;
  if (length > kWavMaxFileBytes) {
    if (error) *error = path + " is longer than a WAV header can describe (4 GB)";
    return false;
  }
  auto h = buildWavHeader(length, channels, rate);
  int err = 0;
  if (!writeAll(fd, h.data(), h.size(), 0, &err)) {
    if (error) *error = reason("Cannot write the header of", path, err);
    return false;
  }
  return true;
}

bool WriteWavHeader(const std::string& path, int channels, int sampleRate, std::string* error) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (error) *error = reason("Cannot open", path, errno);
    return false;
  }
  bool ok = patchHeader(fd, path, channels, sampleRate, error);
  if (::close(fd) != 0 && ok) {
    if (error) *error = reason("Cannot close", path, errno);
    ok = false;
  }
  return ok;
}

bool finishWavFile(int fd, const std::string& path, int64_t dataEnd, int channels, int sampleRate,
                   const std::string& guano, std::string* error) {
  std::string chunk;
  // No larger than the readers take, or it would read back as samples.
  if (!guano.empty() && guano.size() <= kMaxGuanoBytes) {
    chunk.reserve(guano.size() + 9);
    chunk.append("guan");
    uint8_t n[4];
    putLe32(n, static_cast<uint32_t>(guano.size()));
    chunk.append(reinterpret_cast<const char*>(n), 4);
    chunk.append(guano);
    if (guano.size() % 2) chunk.push_back('\0');
  }
  if (dataEnd + static_cast<int64_t>(chunk.size()) > kWavMaxFileBytes) chunk.clear();
  const int64_t length = dataEnd + static_cast<int64_t>(chunk.size());
  int err = 0;
  // The header first: a file cut off before its chunk still reads its
  // samples only, and the repair finds the end of the file.
  auto h = buildWavHeader(length, channels, sampleRate, dataEnd);
  if (!writeAll(fd, h.data(), h.size(), 0, &err)) {
    if (error) *error = reason("Cannot write the header of", path, err);
    return false;
  }
  if (chunk.empty()) return true;
  if (writeAll(fd, chunk.data(), chunk.size(), dataEnd, &err) && ::ftruncate(fd, length) == 0) return true;
  // No room for the metadata (a full disk): the samples keep a header of their own.
  (void)!::ftruncate(fd, dataEnd);
  h = buildWavHeader(dataEnd, channels, sampleRate, dataEnd);
  if (!writeAll(fd, h.data(), h.size(), 0, &err)) {
    if (error) *error = reason("Cannot write the header of", path, err);
    return false;
  }
  return true;
}

int createNewFile(std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  const std::string stem = hasExt ? path.substr(0, dot) : path;
  const std::string ext = hasExt ? path.substr(dot) : std::string();
  // Two recordings begun in the same second share a timestamped name; so
  // may a file left by another program. Either way the next suffix is taken.
  constexpr int kMaxSuffix = 100000;
  for (int n = 1; n <= kMaxSuffix; ++n) {
    std::string candidate = n == 1 ? path : stem + "-" + std::to_string(n) + ext;
    int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      path = std::move(candidate);
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

bool fileBeingWritten(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool locked = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return locked;
}

WavWriter::~WavWriter() { close(); }

bool WavWriter::fail(const std::string& what, int err) {
  error_ = reason(what, path_, err);
  errorCode_ = err;
  return false;
}

bool WavWriter::create(const std::string& wanted, int channels, int sampleRate) {
  if (isOpen()) close();
  path_ = wanted;
  channels_ = channels < 1 ? 1 : channels;
  rate_ = sampleRate;
  error_.clear();
  errorCode_ = 0;
  pos_ = length_ = 0;
  fd_ = createNewFile(path_);
  if (fd_ < 0) return fail("Cannot create", errno);
  // Held until close: a repair at another start-up must not patch a file still growing.
  ::flock(fd_, LOCK_EX | LOCK_NB);
  auto h = buildWavHeader(0, channels_, rate_);
  int err = 0;
  if (!writeAll(fd_, h.data(), h.size(), 0, &err)) {
    ::close(fd_);
    fd_ = -1;
    return fail("Cannot write the header of", err);
  }
  length_ = kWavHeaderBytes;
  pos_ = kWavDataStart;
  return true;
}

bool WavWriter::append(const int16_t* samples, size_t count) {
  if (!isOpen()) {
    error_ = "No recording file is open";
    return false;
  }
  const int64_t bytes = static_cast<int64_t>(count) * 2;
  if (pos_ + bytes > kWavMaxFileBytes) {
    error_ = path_ + " reached the 4 GB a WAV file can hold";
    errorCode_ = EFBIG;
    return false;
  }
  int err = 0;
  // Samples are little-endian on disk, as on every machine this runs on.
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__);
  if (!writeAll(fd_, samples, static_cast<size_t>(bytes), pos_, &err)) {
    // Part of the block may have landed; the file ends where it ended before.
    // Should that fail too, the header patch counts whatever is there.
    const int cut = ::ftruncate(fd_, length_);
    (void)cut;
    return fail("Cannot write to", err);
  }
  pos_ += bytes;
  if (pos_ > length_) length_ = pos_;
  return true;
}

bool WavWriter::rewind() {
  if (!isOpen()) {
    error_ = "No recording file is open";
    return false;
  }
  pos_ = kWavDataStart;
  return true;
}

bool WavWriter::close(const std::string& guano) {
  if (!isOpen()) return true;
  bool ok = finishWavFile(fd_, path_, length_, channels_, rate_, guano, &error_);
  if (::close(fd_) != 0 && ok) ok = fail("Cannot close", errno);
  fd_ = -1;
  return ok;
}

bool WavWriter::close() {
  if (!isOpen()) return true;
  bool ok = patchHeader(fd_, path_, channels_, rate_, &error_);
  if (::close(fd_) != 0 && ok) ok = fail("Cannot close", errno);
  fd_ = -1;
  return ok;
}

}  // namespace qv
