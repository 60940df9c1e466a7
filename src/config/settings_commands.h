// The operator's commands around controls files: user defaults, named
// files, default paths and the undo snapshot taken when a panel opens.
#pragma once

namespace qv {

class Program;
struct StartupHooks;

void SaveDefControls_Click(Program& program);
void ResetControls_Click(Program& program);  // "Load Default"
void DeleteDefault_Click(Program& program);  // advanced panel Command1
void SaveControls_Click(Program& program, const StartupHooks& hooks);
void LoadControls_Click(Program& program, const StartupHooks& hooks);
// Advanced panel: writes defpaths.ini from the four text boxes. Settings
// panel: first makes the save and log paths equal to the recording path.
void SaveDefPathsAdvanced_Click(Program& program);
void SaveDefPathsBasic_Click(Program& program);

// Opening a panel keeps the spectrogram image and writes annulla.ini.
void openAdvancedSettings(Program& program, const StartupHooks& hooks);
void openBasicSettings(Program& program, const StartupHooks& hooks);
void advancedExit_Click(Program& program, const StartupHooks& hooks);  // Command4
void advancedReset_Click(Program& program, const StartupHooks& hooks); // Command10
void advancedApply_Click(Program& program, const StartupHooks& hooks); // ok
void basicExit_Click(Program& program, const StartupHooks& hooks);     // Command13
void basicReset_Click(Program& program, const StartupHooks& hooks);    // Command10
void UndoLatest_Click(Program& program);

}  // namespace qv
