// Sound input from the sound cards through PortAudio, plus two built-in
// inputs listed after the cards: "Test Signal" (synthesised whistles, clicks
// and noise) and "WAV File Input" (a 16-bit PCM file played in a loop). Both
// are paced at real time. Without any sound card position 0, the default
// device, is the test signal.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/audio/buffer_queue.h"
#include "platform/audio/pa_host.h"
#include "platform/audio/paced_thread.h"
#include "platform/audio/test_signal.h"
#include "platform/audio/wav_source.h"

namespace qv {

class PortAudioInput : public AudioInput {
 public:
  static constexpr const char* kDefaultName = "Default Input Device";
  static constexpr const char* kTestSignalName = "Test Signal";
  static constexpr const char* kWavFileName = "WAV File Input";

  // The random seed comes from QUORVEL_TEST_SIGNAL_SEED and the file from
  // QUORVEL_INPUT_WAV unless set below.
  PortAudioInput();
  ~PortAudioInput() override;

  std::vector<AudioDeviceInfo> devices() override;
  int queryFormat(int device, const WaveFormat& f) override;
  int open(int device, const WaveFormat& f) override;
  int addBuffer(WaveBuffer& b) override;
  int start() override;
  int stop() override;
  int reset() override;
  int close() override;
  std::string lastErrorText() const override { return error_; }

  // Take effect at the next open.
  void setTestSignalSeed(uint32_t seed) { seed_ = seed; }
  void setWavFile(const std::string& path) { wavPath_ = path; }
  const std::string& wavFile() const { return wavPath_; }

  // Samples that arrived while no buffer was queued, since open.
  uint64_t lostSamples() const { return queue_.lostSamples(); }
  uint64_t gaps() const override { return gaps_.load(std::memory_order_relaxed); }
  bool isOpen() const { return open_; }

  // Runs `f` on the sound card's thread at its first hand-over of a run.
  void onDeviceThread(void (*f)()) {
    if (!firstCall_) return;
    firstCall_ = false;
    f();
  }
  // The sound card's thread hands over what it captured; `overrun`: the card
  // dropped samples before these.
  void deviceData(const int16_t* in, unsigned long frames, bool overrun) {
    if (overrun && overrunsAreGaps_) gaps_.fetch_add(1, std::memory_order_relaxed);
    if (deviceChannels_ == fmt_.channels) queue_.fill(in, size_t(frames) * size_t(fmt_.channels));
    else queue_.fillFirstChannel(in, frames, deviceChannels_);
  }

 private:
  enum class Kind { Card, TestSignal, WavFile };
  struct Entry {
    std::string name;
    Kind kind = Kind::TestSignal;
    std::string cardName;  // empty: the system's default input
    int maxChannels = 0;
  };
  void list();
  const Entry* entry(int device);
  int cardIndex(const Entry& e);
  int check(const Entry& e, const WaveFormat& f, int* deviceChannels = nullptr);
  int fail(int code, const std::string& why);

  PaHost host_;
  std::vector<Entry> entries_;
  bool listed_ = false;
  uint32_t seed_;
  std::string wavPath_;
  std::string error_;

  bool open_ = false;
  bool started_ = false;
  Kind kind_ = Kind::TestSignal;
  WaveFormat fmt_;
  int deviceChannels_ = 1;  // what the card records: 2 when it cannot do mono
  void* stream_ = nullptr;
  BufferQueue queue_;
  std::atomic<uint64_t> gaps_{0};
  // JACK tells every client of every xrun anywhere in the server, most of
  // them costing this stream nothing: only other hosts' overruns are gaps.
  bool overrunsAreGaps_ = true;
  bool firstCall_ = false;  // set before the stream starts, then the device thread's
  PacedThread pacer_;
  std::unique_ptr<TestSignalGenerator> gen_;
  WavFileSource wav_;
  std::vector<int16_t> scratch_;
};

}  // namespace qv
