#include "files/open_dialog.h"

#include <cctype>

#include "core/program.h"
#include "files/byte_source.h"
#include "platform/dialogs.h"

namespace qv {

namespace {
bool sameNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}
}  // namespace

std::string folderOf(const std::string& path) {
  size_t s = path.find_last_of('/');
  return s == std::string::npos ? std::string() : path.substr(0, s + 1);
}

std::string withoutExtension(const std::string& path) {
  if (path.size() >= 4 && path[path.size() - 4] == '.') return path.substr(0, path.size() - 4);
  return path;
}

std::string OpenFileDialog(Program& p, const std::string& folder, const std::string& extension) {
  Dialogs* d = p.services().dialogs;
  if (!d || !p.vars().StopFlag) return {};
  FileDialogOptions o;
  o.initialFolder = folder;
  if (!extension.empty()) {
    o.initialName = "*." + extension;
    o.filter = "*." + extension;
  }
  std::string name;
  for (;;) {
    std::vector<std::string> chosen = d->openFile(o);
    if (chosen.empty() || chosen.front().empty()) return {};
    name = chosen.front();
    std::string tail = name.size() >= 3 ? name.substr(name.size() - 3) : name;
    if (extension == "m??" || extension.empty() || sameNoCase(tail, extension)) break;
    o.initialName.clear();
  }
  if (fileLength(name) < 0) return {};
  p.options0()["DefPlayPathField"].setText(folderOf(name));
  return name;
}

}  // namespace qv
