#include "files/open_file.h"

#include "core/control.h"
#include "files/header_tools.h"

namespace qv {

OpenCheck checkFileForOpen(const std::string& path, const RawFileSettings& raw, FileInfo& info) {
  OpenCheck r;
  FileCheck c = GetFileInfo(path, raw, info);
  if (!c.ok) {
    r.message = c.message;
    return r;
  }
  if (info.FileType == kFileWav && info.headerNeedsRepair) {
    // The samples are read to the end of the file either way; a read-only
    // file simply keeps its header.
    r.headerRepaired = FixWavHeader(path).written;
  }
  r.ok = true;
  return r;
}

std::string openFileLabel(const std::string& path, int playListSize, int64_t fileSize, int sampleRate,
                          int channels) {
  auto num = [](long long v) { return v < 0 ? std::to_string(v) : " " + std::to_string(v); };
  std::string name = path;
  if (path.size() >= 97) {
    size_t s = path.find_last_of('/');
    name = "../" + (s == std::string::npos ? path : path.substr(s + 1));
  }
  std::string t = playListSize >= 1 ? "PlayList " : "";
  t += name + num(roundEven(static_cast<double>(fileSize) / 1024.0)) + "kb" + num(sampleRate) + "s/sec" +
       num(channels) + "ch" + num(16) + "bit";
  return t;
}

}  // namespace qv
