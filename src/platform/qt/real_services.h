// One of each real platform piece, gathered into Services. The dialogs
// (Qt windows or headless) and the signal-processing library are set by
// the application.
#pragma once

#include <memory>

#include "platform/services.h"

namespace qv {

class PortAudioInput;
class PortAudioOutput;
class QtEventPump;
class SystemClock;
class StdDisk;
class QtNetwork;
class QImageSurfaceFactory;
class UdpTextLink;

class RealServices {
 public:
  RealServices();
  ~RealServices();
  RealServices(const RealServices&) = delete;
  RealServices& operator=(const RealServices&) = delete;

  // Pointers to the pieces owned here; dialogs and dsp are left null.
  Services services() const;

  PortAudioInput& audioIn() { return *audioIn_; }
  PortAudioOutput& audioOut() { return *audioOut_; }

 private:
  std::unique_ptr<PortAudioInput> audioIn_;
  std::unique_ptr<PortAudioOutput> audioOut_;
  std::unique_ptr<QtEventPump> pump_;
  std::unique_ptr<SystemClock> clock_;
  std::unique_ptr<StdDisk> disk_;
  std::unique_ptr<QtNetwork> net_;
  std::unique_ptr<QImageSurfaceFactory> surfaces_;
  std::unique_ptr<UdpTextLink> textLink_;
};

}  // namespace qv
