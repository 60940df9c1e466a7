// The tools panel ("Special Settings"): acquisition tuning, the serial GPS
// logger and the text link to another program.
#include "core/designer.h"
#include "core/designer_lists.h"
#include "core/designer_util.h"

namespace qv {

using namespace designer;

void buildOptions2(Form& f) {
  f.setSize(560, 276);
  at(frame(f, "FrameAcquisition", "Acquisition"), 8, 8, 264, 124);
  at(frame(f, "FrameGps", "GPS Logger"), 280, 8, 272, 200);
  at(frame(f, "FrameLink", "Text Link"), 8, 140, 264, 124);

  caption(f, "Combo2Label", "WaveIn Buffers", "FrameAcquisition", 8, 20, 100);
  at(tip(combo(f, "Combo2", lists::kWaveInBuffers, "2", "FrameAcquisition"), "WaveIn Buffers"), 110, 20, 80, 22);
  at(tip(check(f, "chkDither1", "Dither1", 0, "FrameAcquisition"), "Uniform dither"), 8, 46, 76, 20);
  at(tip(check(f, "chkDither2", "Dither2", 0, "FrameAcquisition"), "Triangular dither"), 88, 46, 76, 20);
  at(tip(check(f, "chkDither3", "Dither3", 0, "FrameAcquisition"), "High-pass dither"), 168, 46, 76, 20);
  caption(f, "txtDitherLabel", "Dither amount", "FrameAcquisition", 8, 70, 100);
  at(tip(text(f, "txtDither", "1", "FrameAcquisition"), "Dither amount in sample units"), 110, 70, 60, 20);
  at(tip(check(f, "SpecFormCheck", "Enable SpecForm", 0, "FrameAcquisition"), "Show the spectrum window while running"),
     8, 94, 150, 20);

  caption(f, "ComPortLabel", "Com Port", "FrameGps", 8, 20, 64);
  at(tip(text(f, "ComPort", "1", "FrameGps"), "Com Port Number"), 74, 20, 40, 20);
  caption(f, "ComSetLabel", "Settings", "FrameGps", 122, 20, 56);
  at(tip(text(f, "ComSet", "4800,N,8,1", "FrameGps"), "Baud, parity, data bits, stop bits"), 180, 20, 84, 20);
  caption(f, "LeadCharLabel", "Leading String", "FrameGps", 8, 44, 100);
  at(tip(text(f, "LeadChar", "$GPRMC", "FrameGps"), "Leading String / Char"), 110, 44, 90, 20);
  caption(f, "LatStringPosLabel", "Lat. field", "FrameGps", 8, 68, 64);
  at(tip(text(f, "LatStringPos", "4", "FrameGps"), "Position in the string"), 74, 68, 40, 20);
  caption(f, "LongStringPosLabel", "Long. field", "FrameGps", 122, 68, 70);
  at(tip(text(f, "LongStringPos", " 6", "FrameGps"), "Position in the string"), 194, 68, 40, 20);
  at(tip(check(f, "LogToFile", "Log to file >>", 0, "FrameGps"), "Append accepted lines to a text file"), 8, 92, 110,
     20);
  at(tip(text(f, "LogName", "temp.log", "FrameGps"), "Append to text file"), 122, 92, 142, 20);
  at(tip(check(f, "SingleShot", "Single Shot", 0, "FrameGps"), "Reads only one string"), 8, 116, 110, 20);
  at(tip(text(f, "GpsString", "", "FrameGps"), "Receiving string..."), 8, 140, 256, 20);
  at(tip(button(f, "StartGPS", "Start", "FrameGps"), "Read the GPS continuously"), 8, 166, 72, 26);
  at(tip(button(f, "StopGPS", "Stop", "FrameGps"), "Stop reading"), 88, 166, 72, 26);
  at(tip(button(f, "Command10", "Shot", "FrameGps"), "Read one string"), 168, 166, 72, 26);

  caption(f, "Text4Label", "Topic", "FrameLink", 8, 20, 48);
  at(tip(text(f, "Text4", "", "FrameLink"), "Link topic"), 58, 20, 198, 20);
  caption(f, "Text5Label", "Item", "FrameLink", 8, 44, 48);
  at(tip(text(f, "Text5", "", "FrameLink"), "Link item"), 58, 44, 198, 20);
  caption(f, "Text3Label", "Text", "FrameLink", 8, 68, 48);
  at(tip(text(f, "Text3", "", "FrameLink"), "Text to send"), 58, 68, 198, 20);
  at(tip(button(f, "cmdSendText", "Send", "FrameLink"), "Send the text through the link"), 8, 94, 72, 24);

  at(tip(button(f, "CloseButton", "Close"), "Close the panel"), 472, 236, 80, 28);
}

}  // namespace qv
