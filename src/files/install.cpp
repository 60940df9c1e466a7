#include "files/install.h"

#include "config/startup.h"
#include "core/program.h"
#include "files/conversions.h"
#include "files/header_tools.h"
#include "files/navigation.h"
#include "files/open_dialog.h"
#include "files/open_file.h"

namespace qv {

FileSubsystem::FileSubsystem(Program& p, std::shared_ptr<StartupHooks> hooks)
    : p_(p), hooks_(hooks ? std::move(hooks) : std::make_shared<StartupHooks>()) {}

void FileSubsystem::OpenFile(const std::string& path) { qv::OpenFile(p_, path, *hooks_); }

void FileSubsystem::CloseFile_Click() { qv::CloseFile_Click(p_, *hooks_); }

void FileSubsystem::openByDialog(const std::string& extension) {
  // The picture is kept across the dialog only while no loop draws on it.
  const bool idle = p_.vars().StopFlag;
  if (idle && hooks_->saveSpecGram) hooks_->saveSpecGram();
  std::string path = OpenFileDialog(p_, p_.options0()["DefPlayPathField"].text(), extension);
  if (idle && !path.empty() && hooks_->restoreSpecGram) hooks_->restoreSpecGram();
  OpenFile(path);
}

void FileSubsystem::RunFileAnalysis() {
  FileLoopHooks h;
  h.openFileDialog = [this] { OpenFilewav_Click(); };
  h.sendFileInfo = [this](const std::string& text) {
    if (sendFileInfo) sendFileInfo(text);
  };
  RunFileAnalysisLoop(p_, h);
}

void FileSubsystem::Command14_Click() {
  qv::Command14_Click(p_, [this] { RunFileAnalysis(); });
}

void FileSubsystem::install() {
  Form& f = p_.form1();
  const std::pair<const char*, const char*> opens[] = {
      {"OpenFilewav", "wav"}, {"OpenFileKay", "kay"}, {"OpenFileBinary", "bin"}, {"OpenFileRaw", "raw"},
      {"OpenFileExt", "ext"}, {"OpenFileEARS", "001"}, {"OpenFileDap", "dap"},   {"OpenFileMxx", "m??"}};
  for (auto& [item, ext] : opens) f[item].on(Event::Click, [this, e = std::string(ext)] { openByDialog(e); });
  f["CloseFile"].on(Event::Click, [this] { CloseFile_Click(); });

  Program& p = p_;
  f["CheckWavHeader"].on(Event::Click, [&p] { CheckWavHeader_Click(p); });
  f["mnuFixWavHeader"].on(Event::Click, [&p] { mnuFixWavHeader_Click(p); });
  f["CheckExtFile"].on(Event::Click, [this] {
    CheckExtFile_Click(p_);
    if (hooks_->restoreSpecGram) hooks_->restoreSpecGram();
  });
  f["Split2chwav"].on(Event::Click, [&p] { Split2chwav_Click(p); });
  f["Split4ch"].on(Event::Click, [&p] { Split4ch_Click(p); });
  f["ExtractCut"].on(Event::Click, [&p] { ExtractCut_Click(p); });

  NavigationHooks nav;
  nav.runLoop = [this] { RunFileAnalysis(); };
  nav.playbackReposition = [this] {
    if (playbackReposition) playbackReposition();
  };
  attachNavigation(p_, nav);
  attachRealTimeControls(p_);

  hooks_->openFile = [this](const std::string& path) { OpenFile(path); };
}

std::shared_ptr<FileSubsystem> installFiles(Program& p, std::shared_ptr<StartupHooks> hooks) {
  auto s = std::make_shared<FileSubsystem>(p, std::move(hooks));
  s->install();
  return s;
}

}  // namespace qv
