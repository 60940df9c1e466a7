// File conversions of the file menu: a stereo WAV into two mono WAVs, a raw
// four-channel file into four mono WAVs, and a cut of whole minutes.
// Outputs are 16-bit WAV files of this program's layout (samples from byte
// 48); an existing output is emptied first and whole chunks are written, a
// chunk running past the end of the input being completed with zeros.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

class Program;

struct ConversionResult {
  bool ok = false;
  std::vector<std::string> outputs;
  std::string message;  // why nothing (or not everything) was written
};

// base + " ch1.wav" and base + " ch2.wav"; the input must have two channels.
ConversionResult splitStereoFile(const std::string& path);
// base + " ch1.wav" .. " ch4.wav" from a headerless 16-bit four-channel file.
ConversionResult splitFourChannelFile(const std::string& path, int sampleRate);
// base + " - cut" + start + ".wav": `minutes` minutes from minute `start`.
ConversionResult extractCut(const std::string& path, int startMinutes, int minutes);
std::string cutFileName(const std::string& path, int startMinutes);

// Menu handlers ("Split Stereo File", "Split 4 channels raw to .wav",
// "Extract Cut "). Problems are shown in a message box.
void Split2chwav_Click(Program& p);
void Split4ch_Click(Program& p);
void ExtractCut_Click(Program& p);
// "Check .ext file": shows the suggested divisor for an EXT file.
void CheckExtFile_Click(Program& p);

}  // namespace qv
