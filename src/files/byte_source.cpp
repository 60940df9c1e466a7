#include "files/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qv {

size_t MemoryByteSource::readAt(int64_t offset, void* buf, size_t n) const {
  if (offset < 0 || static_cast<uint64_t>(offset) >= n_) return 0;
  size_t avail = n_ - static_cast<size_t>(offset);
  if (n > avail) n = avail;
  std::memcpy(buf, data_ + offset, n);
  return n;
}

FileByteSource::~FileByteSource() { close(); }

bool FileByteSource::open(const std::string& path, bool writable) {
  close();
  fd_ = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd_ < 0) return false;
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    close();
    return false;
  }
  return true;
}

void FileByteSource::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int64_t FileByteSource::size() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return 0;
  return static_cast<int64_t>(st.st_size);
}

size_t FileByteSource::readAt(int64_t offset, void* buf, size_t n) const {
  if (fd_ < 0 || offset < 0) return 0;
  size_t done = 0;
  auto* p = static_cast<uint8_t*>(buf);
  while (done < n) {
    ssize_t r = ::pread(fd_, p + done, n - done, static_cast<off_t>(offset + static_cast<int64_t>(done)));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    done += static_cast<size_t>(r);
  }
  return done;
}

bool FileByteSource::writeAt(int64_t offset, const void* buf, size_t n) {
  if (fd_ < 0 || offset < 0) return false;
  size_t done = 0;
  auto* p = static_cast<const uint8_t*>(buf);
  while (done < n) {
    ssize_t r = ::pwrite(fd_, p + done, n - done, static_cast<off_t>(offset + static_cast<int64_t>(done)));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    done += static_cast<size_t>(r);
  }
  return true;
}

int64_t fileLength(const std::string& path) {
  FileByteSource f;
  if (!f.open(path)) return -1;
  return f.size();
}

}  // namespace qv
