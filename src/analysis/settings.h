// Analysis settings: the repairs and consistency rules of the setting boxes,
// the working values a run reads from them and every value derived from those.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

class Program;
class Form;
class Control;
struct PublicVars;

// Largest block the sample array takes behind the longest carry.
constexpr int kMaxBlockSize = 131072;
// Largest RAM buffer, in 16-bit words (2 GB of memory); the block count
// itself is not limited.
constexpr int64_t kMaxRamBufferWords = int64_t{1} << 30;

// The parameters of one run and what follows from them.
struct RunParams {
  int BlockSize = 4096;
  int WindowSize = 512;
  int windowType = 1;
  int ScanStep = 512;
  int DisplayHeight = 256;
  int ramBufferMB = 0;
  int pictureWidth = 0;

  float BinWidthHz = 0;
  float ColumnTimeMs = 0;
  double blockSeconds = 0;
  int columnsPerBlock = 0;
  int carry = 0;
  int fftOrder = 0;
  bool skip = false;
  double overlapPercent = 0;
  int levelStart = 0;
  int levelLength = 0;
  double displaySeconds = 0;
  int ramBufferBlocks = 0;
  int64_t ramBufferSamples = 0;
  double ramBufferSeconds = 0;
  bool ramBufferClamped = false;  // the chosen size exceeded the block-count limit
};

// Fills the derived values of p from its own fields and the public variables.
void deriveRunParams(RunParams& p, const PublicVars& v);

// Texts written when a live run starts: the status line and the run
// information label (Label4).
struct RunTexts {
  std::string statusLine;
  std::string runInfo;
};
RunTexts runStatusTexts(const RunParams& p, const PublicVars& v);

// 3072 -> 2048, 5120 and 6144 -> 4096, 10240 and 12288 -> 8192, and sizes
// above the largest transform (16384) -> 16384, written back into the box.
void checkFFTsizeBox(Control& combo3);
void CheckFFTsize(Program& p);
void CheckQuickSettings(Program& p);
void PublicSettings(Program& p);

// Consistency rules on a form holding Combo1 (block), Combo3 (FFT), Combo4
// (window) and Combo6 (scan step): the main window or the Basic Settings copy.
void blockSizeChosen(Form& f);
void fftSizeChosen(Form& f);
void windowSizeChosen(Form& f);
// `scanStep`: the chosen value (a repair on the way may already have changed the box).
void scanStepChosen(Form& f, double scanStep);

// Channel mode chosen for two-channel files by the "Display as..." buttons:
// "M" (Stereo), "L", "R", "L+R", "L-R". Selects "Stereo" when none is.
std::string chanModeFromOptions(Program& p);

// Start of a live run: reads the boxes, runs PublicSettings, applies the two
// run-start clamps (written back) and derives the rest.
RunParams startRunSettings(Program& p, int pictureWidth);

// The six lines of the Basic Settings information box.
std::vector<std::string> updateInfoLines(Program& p);
// Recording duration in seconds for the panel's maximum file size.
double recDurationSeconds(Program& p);
// "= hh:mm:ss" for a duration.
std::string recDurationText(double seconds);

}  // namespace qv
