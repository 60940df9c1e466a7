#include "config/folder_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qv {

ProgramFolderLock::ProgramFolderLock(const std::string& programFolder) {
  std::string folder = programFolder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  const std::string path = folder + kProgramLockFile;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    message_ = "Cannot use the program folder " + folder + ": " + path + ": " + std::strerror(errno);
    return;
  }
  // A record lock, so the holder's process id can be asked for.
  struct flock lk {};
  lk.l_type = F_WRLCK;
  lk.l_whence = SEEK_SET;
  if (::fcntl(fd, F_SETLK, &lk) != 0) {
    struct flock who {};
    who.l_type = F_WRLCK;
    who.l_whence = SEEK_SET;
    if (::fcntl(fd, F_GETLK, &who) == 0 && who.l_type != F_UNLCK) holder_ = who.l_pid;
    ::close(fd);
    message_ = "The program folder " + folder + " is in use by another Quorvel" +
               (holder_ > 0 ? " (process " + std::to_string(holder_) + ")" : std::string()) +
               "; stop it first, or start this one with another folder (--home)";
    return;
  }
  const std::string pid = std::to_string(static_cast<long>(::getpid())) + "\n";
  if (::ftruncate(fd, 0) == 0) {
    const ssize_t n = ::pwrite(fd, pid.data(), pid.size(), 0);
    (void)n;  // the id in the file is for people; the lock is what counts
  }
  fd_ = fd;
}

ProgramFolderLock::~ProgramFolderLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace qv
