#include "config/program_folder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace qv {

static std::string slash(std::string s) {
  if (!s.empty() && s.back() != '/') s += '/';
  return s;
}

static bool writableFolder(const std::string& folder) {
  std::string probe = slash(folder) + "killme.tmp";
  FILE* f = std::fopen(probe.c_str(), "wb");
  if (!f) return false;
  std::fclose(f);
  std::remove(probe.c_str());
  return true;
}

std::string chooseProgramFolder(const std::string& homeOption, const std::string& envHome,
                                const std::string& executableFolder, const std::string& userHome) {
  std::string chosen;
  if (!homeOption.empty()) chosen = homeOption;
  else if (!envHome.empty()) chosen = envHome;
  else if (!executableFolder.empty() && writableFolder(executableFolder)) chosen = executableFolder;
  else chosen = slash(userHome.empty() ? std::string("/tmp") : userHome) + ".local/share/Quorvel";
  std::error_code ec;
  std::filesystem::create_directories(chosen, ec);
  return slash(chosen);
}

std::string defaultDataFolder() {
  const char* h = std::getenv("HOME");
  return slash(h && *h ? h : "/tmp") + "Quorvel/";
}

}  // namespace qv
