// The tools panel's "GPS Logger": reads lines from a GPS receiver on a serial
// port, shows and optionally logs those that start with the leading string,
// and keeps the latitude and longitude texts. Every valid position sentence
// it hears also becomes the program's latest fix.
//
// Reading runs on the port's data events, not in a loop inside the "Start"
// handler: a recording started before or after it is never held up by it,
// and "Stop" (or the close operation) ends it at once.
#pragma once

#include <memory>
#include <string>

#include "remote/nmea.h"

namespace qv {

class Program;
class SerialPort;

class GpsLogger {
 public:
  explicit GpsLogger(Program& p);
  ~GpsLogger();
  GpsLogger(const GpsLogger&) = delete;
  GpsLogger& operator=(const GpsLogger&) = delete;

  // "Start": (re)opens the port with the panel's settings and reads until
  // "Stop", the close operation, or the first accepted line when
  // "Single Shot" is checked.
  void ReadGPS();
  // Waits, serving events, for one accepted line and returns it in
  // `Lettura`; false when the port could not be opened or the read was
  // stopped first. A continuous read going on meanwhile keeps going.
  bool ReadGPSsingle(std::string& Lettura);
  // "Shot": ReadGPSsingle, then the line in a message box.
  void Command10_Click();
  void StopGPS_Click();
  // Ends any read and closes the port (start-up, the panel unloading).
  void CloseGPS();
  // GPSLAT and GPSLONG from the panel's field positions.
  void DecodeString(const std::string& line);

  // 1 while a read is going on.
  int GPSreading = 0;
  std::string FULLGPS;
  std::string GPSLAT;
  std::string GPSLONG;

  bool portOpen() const;

 private:
  bool openPort();
  void closePortUnlessNeeded();
  void onData(const std::string& piece);
  void onLine(const std::string& line);
  void showPrompt();
  void report(const std::string& text);
  void updateReading();

  Program& p_;
  std::unique_ptr<SerialPort> port_;
  SerialLineAssembler lines_;
  bool continuous_ = false;
  bool shotWaiting_ = false;
  bool shotGot_ = false;
  std::string shotLine_;
};

// Appends the line and a CR LF to a text file, creating it when missing.
// False with the reason in `error`.
bool AddToFile(const std::string& fileName, const std::string& line, std::string& error);

// Attaches the logger's buttons, runs the close operation once (as at
// start-up) and again whenever the tools panel is closed.
std::shared_ptr<GpsLogger> installGpsLogger(Program& p);

}  // namespace qv
