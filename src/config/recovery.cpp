#include "config/recovery.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "core/program.h"
#include "files/header_tools.h"
#include "recording/rec_text.h"
#include "recording/recording_files.h"

namespace qv {

namespace {

bool isWavName(const std::filesystem::path& p) {
  std::string ext = p.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == ".wav";
}

}  // namespace

std::vector<std::string> repairInterruptedRecordings(Program& p) {
  std::vector<std::string> folders;
  if (Control* c = p.options0().find("FileRecPathField"); c && !c->text().empty())
    folders.push_back(rec::withSlash(c->text()));
  for (const std::string& f : spanFolders(p))
    if (std::find(folders.begin(), folders.end(), f) == folders.end()) folders.push_back(f);

  std::vector<std::string> repaired;
  for (const std::string& folder : folders) {
    std::error_code ec;
    std::vector<std::string> files;
    for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec)) {
      if (it->is_regular_file(ec) && isWavName(it->path())) files.push_back(it->path().string());
    }
    std::sort(files.begin(), files.end());
    for (const std::string& file : files) {
      InterruptedRepair r = repairInterruptedWav(file);
      if (r.outcome != InterruptedRepair::Repaired) continue;
      AppendRecLog(p, "Repaired " + file);
      repaired.push_back(file);
    }
  }
  return repaired;
}

}  // namespace qv
