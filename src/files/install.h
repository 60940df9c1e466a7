// The file subsystem attached to the program: the file menu, the tools menu's
// header and conversion items, the file analysis loop and its navigation.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "files/file_loop.h"

namespace qv {

class Program;
struct StartupHooks;

class FileSubsystem {
 public:
  FileSubsystem(Program& p, std::shared_ptr<StartupHooks> hooks);

  // Attaches the handlers and fills the start-up hook for opening a file.
  void install();

  void OpenFile(const std::string& path);
  void CloseFile_Click();
  // One of the "Open ..." menu items: the dialog for `extension` on the play path.
  void openByDialog(const std::string& extension);
  void OpenFilewav_Click() { openByDialog("wav"); }
  // The file analysis loop with this subsystem's hooks (the mode's Start).
  void RunFileAnalysis();
  void Command14_Click();

  // The text link of "DDE send file info"; nothing is sent until one is attached.
  std::function<void(const std::string&)> sendFileInfo;
  // GoTo / Skip during "File Analysis + Play": the playback resets its display.
  std::function<void()> playbackReposition;

 private:
  Program& p_;
  std::shared_ptr<StartupHooks> hooks_;
};

std::shared_ptr<FileSubsystem> installFiles(Program& p, std::shared_ptr<StartupHooks> hooks);

}  // namespace qv
