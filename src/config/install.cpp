#include <filesystem>

#include "config/presets.h"
#include "config/settings_commands.h"
#include "config/startup.h"
#include "core/program.h"

namespace qv {

namespace {

using Action = std::function<void(Program&, const StartupHooks&)>;

void attach(Program& program, Form& form, const char* name, const std::shared_ptr<StartupHooks>& hooks,
            Action action) {
  Control* c = form.find(name);
  if (!c) return;  // not in this build of the windows
  Program* p = &program;
  c->on(Event::Click, [p, hooks, action] { action(*p, *hooks); });
}

}  // namespace

std::shared_ptr<StartupHooks> installConfig(Program& program) {
  auto hooks = std::make_shared<StartupHooks>();
  Form& m = program.form1();
  Form& basic = program.options0();
  Form& adv = program.options1();

  // Main window menus.
  attach(program, m, "BasicSettings", hooks, openBasicSettings);
  attach(program, m, "AdvancedSettings", hooks, openAdvancedSettings);
  attach(program, m, "UndoLatest", hooks, [](Program& p, const StartupHooks&) { UndoLatest_Click(p); });
  attach(program, m, "PresetLoad", hooks, PresetLoad_Click);
  attach(program, m, "PresetSave", hooks, [](Program& p, const StartupHooks&) { PresetSave_Click(p); });
  attach(program, m, "PresetDefault", hooks, PresetDefault_Click);
  struct Quick {
    const char* name;
    const char* rate;
    const char* channels;
  };
  for (Quick q : {Quick{"Mono32", "32000", "1 - mono"}, Quick{"Mono48", "48000", "1 - mono"},
                  Quick{"Stereo32", "32000", "2 - stereo"}, Quick{"Stereo48", "48000", "2 - stereo"}})
    attach(program, m, q.name, hooks,
           [q](Program& p, const StartupHooks& h) { applyQuickPreset(p, q.rate, q.channels, h); });
  attach(program, m, "ExitProgram", hooks, [](Program& p, const StartupHooks& h) { requestShutdown(p, h); });

  // Advanced settings panel.
  attach(program, adv, "SaveDefControls", hooks, [](Program& p, const StartupHooks&) { SaveDefControls_Click(p); });
  attach(program, adv, "ResetControls", hooks, [](Program& p, const StartupHooks&) { ResetControls_Click(p); });
  attach(program, adv, "Command1", hooks, [](Program& p, const StartupHooks&) { DeleteDefault_Click(p); });
  attach(program, adv, "SaveControls", hooks, SaveControls_Click);
  attach(program, adv, "LoadControls", hooks, LoadControls_Click);
  attach(program, adv, "SaveDefPaths", hooks,
         [](Program& p, const StartupHooks&) { SaveDefPathsAdvanced_Click(p); });
  attach(program, adv, "Command4", hooks, advancedExit_Click);
  attach(program, adv, "Command10", hooks, advancedReset_Click);
  attach(program, adv, "ok", hooks, advancedApply_Click);

  // Settings panel. Its preset buttons act on the panel's own quick settings.
  attach(program, basic, "Command13", hooks, basicExit_Click);
  attach(program, basic, "Command10", hooks, basicReset_Click);
  attach(program, basic, "SaveDefPaths", hooks, [](Program& p, const StartupHooks&) { SaveDefPathsBasic_Click(p); });
  attach(program, basic, "PresetLoad", hooks, [](Program& p, const StartupHooks& h) {
    PresetLoad_Click(p, h);
    copyQuickSettingsToPanel(p);
    if (h.updateInfo) h.updateInfo();
  });
  attach(program, basic, "PresetSave", hooks, [](Program& p, const StartupHooks&) {
    copyPanelQuickSettingsToMain(p);
    PresetSave_Click(p);
  });
  attach(program, basic, "PresetLink", hooks, [](Program& p, const StartupHooks&) {
    copyPanelQuickSettingsToMain(p);
    PresetLink_Click(p);
  });
  attach(program, basic, "DefaultPresetSave", hooks, [](Program& p, const StartupHooks&) {
    copyPanelQuickSettingsToMain(p);
    DefaultPresetSave_Click(p);
  });
  attach(program, basic, "Command5", hooks, [](Program& p, const StartupHooks& h) {
    std::error_code ec;
    std::filesystem::remove(p.programFile(kDefaultPresetFile), ec);
    PresetDefault_Click(p, h);
    if (h.updateInfo) h.updateInfo();
  });
  return hooks;
}

}  // namespace qv
