// One running instance per program folder. Two instances on one folder
// would append to one RecLog.Log, take each other's UDP ports and name
// their recordings alike; the second one is told who holds the folder.
#pragma once

#include <string>

namespace qv {

inline constexpr const char* kProgramLockFile = "Quorvel.lock";

class ProgramFolderLock {
 public:
  // Takes the lock on program folder + "Quorvel.lock" (made when missing)
  // and writes this process's id into it. The kernel drops the lock when the
  // process ends, however it ends, so a killed instance never blocks the next.
  explicit ProgramFolderLock(const std::string& programFolder);
  ~ProgramFolderLock();
  ProgramFolderLock(const ProgramFolderLock&) = delete;
  ProgramFolderLock& operator=(const ProgramFolderLock&) = delete;

  bool held() const { return fd_ >= 0; }
  // Why not held: which process holds the folder, or what failed.
  const std::string& message() const { return message_; }
  // The process holding the folder when this one could not (0 if unknown).
  long holder() const { return holder_; }

 private:
  int fd_ = -1;
  long holder_ = 0;
  std::string message_;
};

}  // namespace qv
