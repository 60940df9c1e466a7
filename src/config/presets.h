// Presets: the eleven basic analysis settings in a small text file, the
// built-in settings, the default preset and the one-click presets.
#pragma once

#include <string>

namespace qv {

class Program;
struct StartupHooks;

inline constexpr const char* kDefaultPresetFile = "default.preset";
// Written to the program folder before every preset load.
inline constexpr const char* kTempPresetFile = "temp.preset";

// Writes the eleven lines from the current controls; false when the file
// cannot be written.
bool PresetSaveFile(Program& program, const std::string& path);
// Saves the current settings to temp.preset, then applies the file's lines
// ("*" keeps a setting) and runs UpdateForm. A file that cannot be read
// changes nothing, temp.preset included, and gives false.
bool PresetLoadFile(Program& program, const std::string& path, const StartupHooks& hooks);
// Applies the lines of a preset's content as PresetLoadFile does after saving temp.preset.
void applyPresetText(Program& program, std::string content, const StartupHooks& hooks);

// The built-in settings; the sampling rate and channels only in the live tasks.
void applyBuiltInPreset(Program& program);
// "Reset to default": default.preset when present, else the built-in settings.
void PresetDefault_Click(Program& program, const StartupHooks& hooks);
bool DefaultPresetSave_Click(Program& program);

// One-click presets of the "Presets" menu.
void applyQuickPreset(Program& program, const std::string& rate, const std::string& channels,
                      const StartupHooks& hooks);

// Dialog commands. The folder is the program folder when the settings
// panel's "Prog Path" is ticked, else the play path.
std::string presetFolder(Program& program);
void PresetLoad_Click(Program& program, const StartupHooks& hooks);
void PresetSave_Click(Program& program);
void PresetLink_Click(Program& program);

// For opening a recording: with "Preset Autoload" ticked and path + ".preset"
// present, shows "Loaded Settings for <path>" and loads it. True when loaded;
// the caller then sets the sampling rate from the recording itself.
bool PresetAutoload(Program& program, const std::string& recordingPath, const StartupHooks& hooks);

// Quick settings between the main window and the settings panel (Block
// Size, Sampling Rate, FFT size, Window Size, Window Type, Scan Step, Display
// Height, Colour Scale, audio device, RAM buffer).
void copyQuickSettingsToPanel(Program& program);
void copyPanelQuickSettingsToMain(Program& program);

}  // namespace qv
