#include "recording/folders.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace qv {

namespace {

bool isFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

FolderCheck makeFolderOneLevel(const std::string& folderText) {
  FolderCheck r;
  std::string folder = folderText;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder.empty()) {
    r.message = "No folder given";
    return r;
  }
  if (isFolder(folder)) {
    r.ok = true;
    return r;
  }
  if (exists(folder)) {
    r.message = folderText + " is a file, not a folder";
    return r;
  }
  const size_t slash = folder.find_last_of('/');
  const std::string parent = slash == std::string::npos ? std::string(".") : slash == 0 ? "/" : folder.substr(0, slash);
  if (!isFolder(parent)) {
    r.message = "The folder " + folderText + " cannot be made: " + parent +
                (exists(parent) ? " is not a folder" : " does not exist (is its disk mounted?)");
    return r;
  }
  if (::mkdir(folder.c_str(), 0777) != 0 && !isFolder(folder)) {
    r.message = "The folder " + folderText + " cannot be made: " + std::strerror(errno);
    return r;
  }
  r.ok = true;
  return r;
}

}  // namespace qv
