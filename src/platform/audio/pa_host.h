// The PortAudio library, shared by input and output: initialised while any
// user holds it, rescanned for devices when no stream is open. The sound
// library's chatter on stderr (ALSA probing absent cards, JACK looking for
// its server) is kept from the user; QUORVEL_AUDIO_DEBUG=1 lets it through.
#pragma once

#include <string>
#include <vector>

namespace qv {

struct PaDeviceEntry {
  std::string name;  // unique within the list
  int index = -1;    // PortAudio device index of the current scan
  int maxInput = 0, maxOutput = 0;
  double defaultRate = 0;
};

class PaHost {
 public:
  PaHost();
  ~PaHost();
  PaHost(const PaHost&) = delete;
  PaHost& operator=(const PaHost&) = delete;

  bool available() const { return ok_; }
  // Lists the devices afresh (when no stream is open anywhere).
  std::vector<PaDeviceEntry> scan();
  // Current PortAudio index of a device listed by scan(), by name; -1 when gone.
  int indexOf(const std::string& name, bool input);
  int defaultInput();
  int defaultOutput();

  // Streams open in the process: no rescan while any is.
  static void streamOpened();
  static void streamClosed();
  // Closes a stream opened by either direction, quietly, and counts it closed.
  static void closeStream(void*& stream);
  // The device error code a failed stream open stands for: a format the
  // device refuses, or the device itself.
  static int openErrorCode(int paError);

 private:
  std::vector<PaDeviceEntry> list();
  bool ok_ = false;
};

// Sets the sound libraries' own error handlers (ALSA, JACK) to keep their
// probing messages to themselves, unless debugging audio. stderr itself is
// left alone: it belongs to the user. Once per process; PaHost calls it.
void quietSoundLibraries();

// Disabled by QUORVEL_NO_SOUND_CARD=1: only the built-in devices are listed,
// so runs and tests see the same devices on every machine.
bool soundCardsWanted();

}  // namespace qv
