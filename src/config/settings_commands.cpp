#include "config/settings_commands.h"

#include <cctype>
#include <filesystem>

#include "config/identity.h"
#include "config/presets.h"
#include "config/settings_file.h"
#include "config/startup.h"
#include "core/control.h"
#include "core/program.h"
#include "platform/dialogs.h"
#include "recording/folders.h"

namespace qv {

namespace {

void call(const std::function<void()>& f) {
  if (f) f();
}

bool endsWithIni(const std::string& s, bool ignoreCase) {
  if (s.size() < 4) return false;
  std::string tail = s.substr(s.size() - 4);
  if (ignoreCase)
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail == ".ini";
}

void info(Program& program, const std::string& text) {
  if (Dialogs* d = program.services().dialogs) d->message(text, kProductName, MsgButtons::Ok, MsgIcon::Information);
}

std::string snapshot(Program& program) { return program.programFile(kUndoSnapshotFile); }

void withTrailingSlash(Control* c) {
  if (c && !c->text().empty() && c->text().back() != '/') c->setText(c->text() + "/");
}

void createFolder(Program& program, const Control* c) {
  if (!c || c->text().empty()) return;
  // One level, as at start-up: a missing parent is a disk that is not mounted.
  FolderCheck made = makeFolderOneLevel(c->text());
  if (!made.ok) program.setStatus(made.message);
}

}  // namespace

void SaveDefControls_Click(Program& program) {
  program.setStatus("");
  if (SaveControls(program, program.programFile(kUserDefaultsFile))) program.setStatus("Saved Def Controls.");
}

void ResetControls_Click(Program& program) { LoadControls(program, program.programFile(kUserDefaultsFile)); }

void DeleteDefault_Click(Program& program) {
  std::error_code ec;
  std::filesystem::remove(program.programFile(kUserDefaultsFile), ec);
}

void SaveControls_Click(Program& program, const StartupHooks&) {
  Dialogs* d = program.services().dialogs;
  if (!d) return;
  FileDialogOptions o;
  o.initialFolder = program.programFolder();
  o.filter = "*.ini";
  o.defaultExt = "ini";
  std::string path = d->saveFile(o);
  if (path.empty() || path.find('*') != std::string::npos) return;
  if (!endsWithIni(path, false)) path += ".ini";
  SaveControls(program, path);
}

void LoadControls_Click(Program& program, const StartupHooks& hooks) {
  Dialogs* d = program.services().dialogs;
  if (!d) return;
  FileDialogOptions o;
  o.initialFolder = program.programFolder();
  o.filter = "*.ini";
  o.defaultExt = "ini";
  call(hooks.saveSpecGram);
  auto chosen = d->openFile(o);
  call(hooks.restoreSpecGram);
  std::error_code ec;
  if (chosen.empty() || !std::filesystem::is_regular_file(chosen.front(), ec)) return;
  std::string path = chosen.front();
  if (!endsWithIni(path, true)) path += ".ini";
  LoadControls(program, path);
}

void SaveDefPathsAdvanced_Click(Program& program) { SaveDefPaths(program); }

void SaveDefPathsBasic_Click(Program& program) {
  Control* rec = program.options0().find("FileRecPathField");
  std::string recPath = rec ? rec->text() : std::string();
  for (const char* n : {"DefSavePath", "DefLogPath"})
    if (Control* c = program.options1().find(n)) c->setText(recPath);
  SaveDefPaths(program);
}

void openAdvancedSettings(Program& program, const StartupHooks& hooks) {
  call(hooks.saveSpecGram);
  SaveControls(program, snapshot(program));
  program.options1().setShown(true);
}

void openBasicSettings(Program& program, const StartupHooks& hooks) {
  call(hooks.saveSpecGram);
  call(hooks.updateForm);
  copyQuickSettingsToPanel(program);
  call(hooks.drawColourBar);
  SaveControls(program, snapshot(program));
  program.options0().setShown(true);
}

void advancedExit_Click(Program& program, const StartupHooks& hooks) {
  LoadControls(program, snapshot(program));
  program.options1().setShown(false);
  call(hooks.setForm);
  call(hooks.updateForm);
  call(hooks.restoreSpecGram);
}

void advancedReset_Click(Program& program, const StartupHooks& hooks) {
  if (!LoadControls(program, snapshot(program))) return;
  call(hooks.setForm);
  info(program, "Restored previous settings");
}

void advancedApply_Click(Program& program, const StartupHooks& hooks) {
  Control* log = program.options1().find("DefLogPath");
  Control* save = program.options1().find("DefSavePath");
  withTrailingSlash(log);
  withTrailingSlash(save);
  createFolder(program, log);
  createFolder(program, save);
  program.options1().setShown(false);
  call(hooks.updateForm);
  call(hooks.restoreSpecGram);
}

void basicExit_Click(Program& program, const StartupHooks& hooks) {
  LoadControls(program, snapshot(program));
  program.options0().setShown(false);
  call(hooks.updateForm);
}

void basicReset_Click(Program& program, const StartupHooks&) {
  if (!LoadControls(program, snapshot(program))) return;
  info(program, "Restored previous settings");
}

void UndoLatest_Click(Program& program) {
  // Without a snapshot the "not available" message has been shown; claiming a restore would be false.
  if (!LoadControls(program, snapshot(program))) return;
  info(program, "Restored previous settings... only the very latest changes have been undone");
}

}  // namespace qv
