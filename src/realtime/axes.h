// The axes drawn on the main window around the spectrogram: time below it,
// frequency beside it (one axis, or one per channel half), and the input
// voltage beside the waveform traces. Pixel coordinates, y downwards; text
// is printed in 8-pixel character cells with its top-left corner given.
#pragma once

#include <string>

namespace qv {

class Program;
class Surface;

// Tape speed and frequency division: the recording was slowed down or its
// frequencies divided, so the axes show the original times and frequencies.
struct AxisCorrection {
  float TapeSpeed = 1;
  float FrequencyDivision = 1;
};

// Time axis along the line y = yorg, from xorg over xsize pixels, MinTime to
// MaxTime ms. Ticks every xtic pixels, labels every tick from 40 pixels up,
// else every second; each label centred under its tick, one that would touch
// the label before it left out; the unit (" ms", or " s" for long spans)
// after the last label. A spacing that rounds to 0 draws nothing.
void HorizontalAxis(Surface& s, float xorg, float yorg, float MinTime, float MaxTime, float xsize, float xtic,
                    const std::string& UnitsLabel, const AxisCorrection& c);

// Frequency axis left of x = xorg, from yorg (MinFreq) up ysize pixels
// (MaxFreq), in Hz or kHz; labels only at ticks whose value is whole in
// that unit, right-aligned against the ticks. Clears its label area first.
void VerticalAxis(Surface& s, float xorg, float yorg, float MinFreq, float MaxFreq, float ysize, float ytic,
                  const std::string& UnitsLabel, const AxisCorrection& c);

// A plain numeric axis (millivolts): every tick labelled, five characters.
void VerticalAxis2(Surface& s, float xorg, float yorg, float MinFreq, float MaxFreq, float ysize, float ytic,
                   const std::string& UnitsLabel);

// The input-voltage axis or axes of the waveform traces, when "Vin scale"
// is ticked: full scale = "Max input (mV)" / digital gain.
void SetMVAxis(Program& p);

}  // namespace qv
