// Sound input and output as rings of buffers with done flags. The device
// fills (or drains) queued buffers on its own thread in queue order and sets
// their done flags; the program's thread polls the flags. Nothing else
// crosses threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qv {

struct AudioDeviceInfo {
  std::string name;
  int maxChannels = 0;
};

// Error codes as the wave interface reports them (32 = bad format).
enum WaveError : int {
  kWaveOk = 0,
  kWaveBadDevice = 2,
  kWaveNoMem = 7,
  kWaveAllocated = 4,
  kWaveBadFormat = 32,
  kWaveStillPlaying = 33,
};

struct WaveBuffer {
  std::vector<int16_t> data;         // capacity fixed at open
  std::atomic<bool> done{false};     // set by the device thread when filled / played
  std::atomic<bool> queued{false};   // owned by the device until done
  uint32_t bytesRecorded = 0;        // valid once done
};

struct WaveFormat {
  int sampleRate = 48000;
  int channels = 1;
  int bitsPerSample = 16;
};

class AudioInput {
 public:
  virtual ~AudioInput() = default;
  // Device names in list order; position 0 is the default device.
  virtual std::vector<AudioDeviceInfo> devices() = 0;
  // Whether the device accepts the format (query only).
  virtual int queryFormat(int device, const WaveFormat& f) = 0;
  virtual int open(int device, const WaveFormat& f) = 0;
  // Hands an empty buffer to the device; it is filled after the ones queued before it.
  virtual int addBuffer(WaveBuffer& b) = 0;
  virtual int start() = 0;
  virtual int stop() = 0;
  // Returns every queued buffer marked done, unfilled.
  virtual int reset() = 0;
  virtual int close() = 0;
};

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  virtual std::vector<AudioDeviceInfo> devices() = 0;
  virtual int open(int device, const WaveFormat& f) = 0;
  // Queues a buffer for playing; its done flag is set once played.
  virtual int write(WaveBuffer& b) = 0;
  virtual int reset() = 0;
  virtual int close() = 0;
};

}  // namespace qv
