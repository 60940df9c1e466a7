// Sound output to the sound cards through PortAudio. "Silent Output", listed
// after the cards (and the default when there is no card), plays into
// nothing at real time, so playback runs at its true pace on any machine.
#pragma once

#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/audio/buffer_queue.h"
#include "platform/audio/pa_host.h"
#include "platform/audio/paced_thread.h"

namespace qv {

class PortAudioOutput : public AudioOutput {
 public:
  static constexpr const char* kDefaultName = "Default Output Device";
  static constexpr const char* kSilentName = "Silent Output";

  PortAudioOutput() = default;
  ~PortAudioOutput() override;

  std::vector<AudioDeviceInfo> devices() override;
  int queryFormat(int device, const WaveFormat& f) override;
  int open(int device, const WaveFormat& f) override;
  int write(WaveBuffer& b) override;
  int reset() override;
  int close() override;
  std::string lastErrorText() const override { return error_; }

  bool isOpen() const { return open_; }
  // Samples of silence played because nothing was queued, since open.
  uint64_t idleSamples() const { return queue_.idleSamples(); }

  // The sound card's thread asks for the next frames.
  void deviceWants(int16_t* out, unsigned long frames) {
    queue_.drain(out, size_t(frames) * size_t(fmt_.channels));
    if (deviceChannels_ == 2 && fmt_.channels == 1)
      for (size_t i = frames; i-- > 0;) out[2 * i] = out[2 * i + 1] = out[i];  // mono to both sides
  }

 private:
  struct Entry {
    std::string name;
    bool silent = false;
    std::string cardName;  // empty: the system's default output
    int maxChannels = 0;
  };
  void list();
  const Entry* entry(int device);
  int cardIndex(const Entry& e);
  int check(const Entry& e, const WaveFormat& f, int* deviceChannels = nullptr);
  int fail(int code, const std::string& why);
  void halt();

  PaHost host_;
  std::vector<Entry> entries_;
  bool listed_ = false;
  std::string error_;

  bool open_ = false;
  bool started_ = false;
  bool silent_ = false;
  WaveFormat fmt_;
  int deviceChannels_ = 1;  // what the card plays: 2 when it cannot do mono
  void* stream_ = nullptr;
  BufferQueue queue_;
  PacedThread pacer_;
  std::vector<int16_t> scratch_;
};

}  // namespace qv
