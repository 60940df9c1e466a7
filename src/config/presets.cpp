#include "config/presets.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/identity.h"
#include "config/startup.h"
#include "core/control.h"
#include "core/program.h"
#include "platform/dialogs.h"

namespace qv {

namespace {

struct PresetLine {
  bool mainWindow;  // else the settings panel
  const char* control;
};

// File order of the eleven lines.
constexpr PresetLine kLines[] = {
    {true, "Combo1"}, {true, "Combo2"},  {true, "Combo3"},  {true, "Combo4"},   {true, "Combo5"},      {true, "Combo6"},
    {true, "Combo8"}, {true, "Combo10"}, {true, "Combo12"}, {true, "ZoomFlag"}, {false, "NchanCombo"},
};
constexpr int kZoomLine = 9;  // 0-based

constexpr const char* kQuickCombos[] = {"Combo1", "Combo2", "Combo3", "Combo4",  "Combo5",
                                        "Combo6", "Combo7", "Combo8", "Combo10", "Combo12"};

Control* lineControl(Program& p, const PresetLine& l) {
  return (l.mainWindow ? p.form1() : p.options0()).find(l.control);
}

void call(const std::function<void()>& f) {
  if (f) f();
}

bool endsWith(const std::string& s, const std::string& suffix, bool ignoreCase) {
  if (s.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    char a = s[s.size() - suffix.size() + i], b = suffix[i];
    if (ignoreCase) {
      a = static_cast<char>(std::tolower(static_cast<unsigned char>(a)));
      b = static_cast<char>(std::tolower(static_cast<unsigned char>(b)));
    }
    if (a != b) return false;
  }
  return true;
}

bool isFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

std::string folderOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

void setText(Form& f, const char* name, const std::string& t) {
  if (Control* c = f.find(name)) c->setText(t);
}

void tellCannotWrite(Program& program, const std::string& path) {
  if (Dialogs* d = program.services().dialogs)
    d->message("Could not write " + path, kProductName, MsgButtons::Ok, MsgIcon::Error);
}

}  // namespace

bool PresetSaveFile(Program& program, const std::string& path) {
  std::string out;
  for (const PresetLine& l : kLines) {
    Control* c = lineControl(program, l);
    if (&l == &kLines[kZoomLine]) {
      int v = c ? c->value() : 0;
      out += (v < 0 ? std::to_string(v) : " " + std::to_string(v)) + " ";
    } else {
      out += c ? c->text() : std::string();
    }
    out += "\r\n";
  }
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  if (!f) return false;
  f << out;
  f.close();
  return !f.fail();
}

bool PresetLoadFile(Program& program, const std::string& path, const StartupHooks& hooks) {
  std::ifstream in(path, std::ios::binary);
  if (!in || !isFile(path)) return false;
  std::ostringstream s;
  s << in.rdbuf();
  in.close();
  // The settings this load replaces, kept in the program folder (never in
  // whatever folder the program was started from); a folder we cannot write
  // to must not stop the load.
  PresetSaveFile(program, program.programFile(kTempPresetFile));

  applyPresetText(program, s.str(), hooks);
  return true;
}

void applyPresetText(Program& program, std::string content, const StartupHooks& hooks) {
  if (content.rfind("\xEF\xBB\xBF", 0) == 0) content.erase(0, 3);  // a byte-order mark is not line 1's text
  std::istringstream lines(content);
  std::string line;
  for (size_t i = 0; i < std::size(kLines) && std::getline(lines, line); ++i) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "*") continue;
    Control* c = lineControl(program, kLines[i]);
    if (!c) continue;
    if (i == kZoomLine) {
      std::string field = line.substr(0, line.find(','));
      c->setValue(static_cast<int>(roundEven(leadingNumber(field))));
    } else {
      c->setText(line);
    }
  }
  call(hooks.updateForm);
}

void applyBuiltInPreset(Program& program) {
  Form& m = program.form1();
  bool live = program.vars().Task == 1 || program.vars().Task == 2;
  setText(m, "Combo1", "16384");
  if (live) setText(m, "Combo2", "48000");
  setText(m, "Combo3", "512");
  setText(m, "Combo4", "512");
  setText(m, "Combo5", "1 - Hanning");
  setText(m, "Combo6", "512");
  setText(m, "Combo8", "0");
  if (Control* z = m.find("ZoomFlag")) z->setValue(0);
  if (live) setText(program.options0(), "NchanCombo", "1 - mono (left)");
  setText(m, "Combo12", "off");
}

void PresetDefault_Click(Program& program, const StartupHooks& hooks) {
  std::string def = program.programFile(kDefaultPresetFile);
  if (isFile(def) && PresetLoadFile(program, def, hooks)) {
    call(hooks.updateForm);
    return;
  }
  applyBuiltInPreset(program);
  call(hooks.updateForm);
}

bool DefaultPresetSave_Click(Program& program) {
  std::string path = program.programFile(kDefaultPresetFile);
  if (PresetSaveFile(program, path)) return true;
  tellCannotWrite(program, path);
  return false;
}

void applyQuickPreset(Program& program, const std::string& rate, const std::string& channels,
                      const StartupHooks& hooks) {
  setText(program.form1(), "Combo2", rate);
  setText(program.options0(), "NchanCombo", channels);
  call(hooks.updateForm);
}

std::string presetFolder(Program& program) {
  Control* progPath = program.options0().find("Check4");
  if (progPath && progPath->checked()) return program.programFolder();
  Control* play = program.options0().find("DefPlayPathField");
  return play ? play->text() : std::string();
}

void PresetLoad_Click(Program& program, const StartupHooks& hooks) {
  Dialogs* d = program.services().dialogs;
  if (!d) return;
  FileDialogOptions o;
  o.initialFolder = presetFolder(program);
  o.initialName = "*.preset";
  o.filter = "*.preset";
  o.defaultExt = "preset";
  call(hooks.saveSpecGram);
  auto chosen = d->openFile(o);
  call(hooks.restoreSpecGram);
  if (chosen.empty() || !isFile(chosen.front())) return;
  std::string path = chosen.front();
  if (!endsWith(path, ".preset", true)) path += ".preset";
  PresetLoadFile(program, path, hooks);
}

void PresetSave_Click(Program& program) {
  Dialogs* d = program.services().dialogs;
  if (!d) return;
  FileDialogOptions o;
  o.initialFolder = presetFolder(program);
  o.filter = "*.preset";
  o.defaultExt = "preset";
  std::string path = d->saveFile(o);
  if (path.empty() || path.find('*') != std::string::npos) return;
  if (!endsWith(path, ".preset", false)) path += ".preset";
  if (!PresetSaveFile(program, path)) tellCannotWrite(program, path);
}

void PresetLink_Click(Program& program) {
  Dialogs* d = program.services().dialogs;
  if (!d) return;
  FileDialogOptions o;
  Control* play = program.options0().find("DefPlayPathField");
  o.initialFolder = play ? play->text() : std::string();
  o.filter = "*.wav";
  o.defaultExt = "wav";
  auto chosen = d->openFile(o);
  if (chosen.empty() || chosen.front().empty()) return;
  std::string path = chosen.front();
  std::error_code ec;
  if (!std::filesystem::is_directory(folderOf(path), ec)) return;
  if (!endsWith(path, ".preset", false)) path += ".preset";
  if (!PresetSaveFile(program, path)) tellCannotWrite(program, path);
}

bool PresetAutoload(Program& program, const std::string& recordingPath, const StartupHooks& hooks) {
  Control* flag = program.options0().find("PresetAutoloadFlag");
  if (!flag || !flag->checked()) return false;
  std::string preset = recordingPath + ".preset";
  if (!isFile(preset)) return false;
  program.setStatus("Loaded Settings for " + recordingPath);
  return PresetLoadFile(program, preset, hooks);
}

void copyQuickSettingsToPanel(Program& program) {
  for (const char* n : kQuickCombos)
    if (Control* src = program.form1().find(n)) setText(program.options0(), n, src->text());
}

void copyPanelQuickSettingsToMain(Program& program) {
  for (const char* n : kQuickCombos)
    if (Control* src = program.options0().find(n)) setText(program.form1(), n, src->text());
}

}  // namespace qv
