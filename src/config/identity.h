// The program's names, set once at start-up.
#pragma once

namespace qv {

inline constexpr const char* kProductName = "Quorvel";
inline constexpr const char* kModelName = "Real-Time Spectrograph";
inline constexpr const char* kVersionNumber = "2.0";
inline constexpr const char* kVersionString = "Quorvel 2.0";
inline constexpr const char* kMainCaption = "Quorvel 2.0 Real-Time Spectrograph";
inline constexpr const char* kHelpFile = "Quorvel_index.html";
inline constexpr const char* kRecLogName = "RecLog.Log";
inline constexpr const char* kSettingsExt = ".ini";
inline constexpr const char* kAudioExt = ".wav";

}  // namespace qv
