// A text log that keeps every written line even when the program dies: the
// file is created anew at run start and each line goes straight to the
// system with one write (no user-space buffer), until the run closes it.
// Appending builds nothing on the heap.
#pragma once

#include <string>
#include <string_view>

namespace qv {

class LineLog {
 public:
  LineLog() = default;
  ~LineLog() { close(); }
  LineLog(const LineLog&) = delete;
  LineLog& operator=(const LineLog&) = delete;

  // Creates (or empties) the file. False when it cannot be created; the log
  // then stays inactive and appends do nothing.
  bool create(const std::string& path);
  // False when the line could not be written (the log stays active).
  bool append(std::string_view line);
  void close();
  bool active() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace qv
