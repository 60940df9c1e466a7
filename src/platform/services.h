// Everything outside the program, gathered for the core. The app installs the
// real implementations; tests install doubles.
#pragma once

namespace qv {

class AudioInput;
class AudioOutput;
class Dsp;
class Dialogs;
class EventPump;
class Clock;
class DiskInfo;
class Network;
class SurfaceFactory;
class TextLink;
class ScreenGrab;

struct Services {
  AudioInput* audioIn = nullptr;
  AudioOutput* audioOut = nullptr;
  Dsp* dsp = nullptr;
  Dialogs* dialogs = nullptr;
  EventPump* pump = nullptr;
  Clock* clock = nullptr;
  DiskInfo* disk = nullptr;
  Network* net = nullptr;
  SurfaceFactory* surfaces = nullptr;
  TextLink* textLink = nullptr;
  ScreenGrab* screen = nullptr;
};

}  // namespace qv
