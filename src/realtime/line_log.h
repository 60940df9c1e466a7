// A text log that survives a crash: created once per run, then opened,
// appended and closed for every line, so each written line is on disk.
// Appending builds nothing on the heap.
#pragma once

#include <string>
#include <string_view>

namespace qv {

class LineLog {
 public:
  // Creates (or empties) the file. False when it cannot be created; the log
  // then stays inactive and appends do nothing.
  bool create(const std::string& path);
  // False when the line could not be written (the log stays active).
  bool append(std::string_view line);
  void close() { active_ = false; }
  bool active() const { return active_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool active_ = false;
};

}  // namespace qv
