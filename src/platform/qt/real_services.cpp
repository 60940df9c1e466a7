#include "platform/qt/real_services.h"

#include "platform/audio/portaudio_input.h"
#include "platform/audio/portaudio_output.h"
#include "platform/qt/qimage_surface.h"
#include "platform/qt/qt_event_pump.h"
#include "platform/qt/qt_network.h"
#include "platform/qt/std_disk.h"
#include "platform/qt/system_clock.h"
#include "platform/text_link.h"

namespace qv {

RealServices::RealServices()
    : audioIn_(std::make_unique<PortAudioInput>()),
      audioOut_(std::make_unique<PortAudioOutput>()),
      pump_(std::make_unique<QtEventPump>()),
      clock_(std::make_unique<SystemClock>()),
      disk_(std::make_unique<StdDisk>()),
      net_(std::make_unique<QtNetwork>()),
      surfaces_(std::make_unique<QImageSurfaceFactory>()),
      textLink_(std::make_unique<UdpTextLink>(*net_)) {}

RealServices::~RealServices() = default;

Services RealServices::services() const {
  Services s;
  s.audioIn = audioIn_.get();
  s.audioOut = audioOut_.get();
  s.pump = pump_.get();
  s.clock = clock_.get();
  s.disk = disk_.get();
  s.net = net_.get();
  s.surfaces = surfaces_.get();
  s.textLink = textLink_.get();
  return s;
}

}  // namespace qv
