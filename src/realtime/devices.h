// Sound devices as the operator chooses them: by name, from lists whose
// position 0 is the default device (device number -1) and position p is
// device p - 1.
#pragma once

#include <string>

namespace qv {

class Program;

struct DeviceCounts {
  int inputs = 0;   // devices besides the default one
  int outputs = 0;
};

// The name as listed: up to the first character below 32 or above 125.
std::string CleanDeviceName(const std::string& raw);

// Refills the main window's input list (FORM1.Combo10), its Basic Settings
// copy (OPTIONS0.Combo10) and the output list (OPTIONS0.Combo9), keeping the
// shown text selected when it is still listed.
DeviceCounts ListAudioDevices(Program& p);

// Device number for a name shown in the input (output) list. An unknown name
// is reported, the lists are rebuilt and the default device is used.
int FindInputDevice(Program& p, const std::string& name);
int FindOutputDevice(Program& p, const std::string& name);

// Asks the device whether it takes 16-bit PCM at this rate and channel count,
// without opening it; 0 = accepted.
int QueryInputFormat(Program& p, int device, int rate, int channels);

// "Couldn't open wave device due to Error " + code (+ " BADFORMAT"), then the
// quick settings are enabled again and Start/Stop reads "RESET".
void ReportWaveOpenError(Program& p, int code);

// The "Refresh Audio Devices" and "Check Audio Devices" commands.
void RefreshAudioDevices(Program& p);
void CheckAudioDevices(Program& p);

// Attaches the two commands to the main window's menu items with those
// captions, when the menu has them, and relists the devices whenever the
// Special Settings panel closes. Call once at start-up.
void AttachDeviceHandlers(Program& p);

}  // namespace qv
