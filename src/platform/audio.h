// Sound input and output as rings of buffers with done flags. The device
// fills (or drains) queued buffers on its own thread in queue order and sets
// their done flags; the program's thread polls the flags. Nothing else
// crosses threads.
//
// Device numbers: -1 is the default device, n >= 0 is devices()[n + 1]
// (position 0 of the list is the default device).
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
  kWaveError = 1,          // unspecified failure of the device
  kWaveBadDevice = 2,      // no such device, or it cannot be used now
  kWaveAllocated = 4,      // already open
  kWaveInvalidHandle = 5,  // not open
  kWaveNoMem = 7,          // the queue is full
  kWaveBadFormat = 32,
  kWaveStillPlaying = 33,  // the buffer is still queued
};

// One capture or playback buffer. `data` is sized by the program before it
// is handed over and not resized while queued: an input buffer is filled
// with data.size() samples, an output buffer plays its data.size() samples.
// Not movable (atomics): keep a ring of them in an array or behind pointers,
// and free them only after close() (or after they come back done).
struct WaveBuffer {
  std::vector<int16_t> data;
  std::atomic<bool> done{false};     // set by the device thread when filled / played (release)
  std::atomic<bool> queued{false};   // owned by the device until done
  uint32_t bytesRecorded = 0;        // valid once done
  // Input: samples the device had to drop, for want of a queued buffer, just
  // before it began to fill this one (valid once done).
  uint64_t lostBefore = 0;
};

struct WaveFormat {
  int sampleRate = 48000;
  int channels = 1;
  int bitsPerSample = 16;
};

// The standard 16-bit formats as the classic capability bits: mono / stereo
// at 11025 (0x4 / 0x8), 22050 (0x40 / 0x80), 44100 (0x400 / 0x800),
// 48000 (0x4000 / 0x8000) and 96000 Hz (0x40000 / 0x80000).
struct StandardFormatBit {
  int rate, channels;
  uint32_t bit;
};
inline constexpr StandardFormatBit kStandardFormats[] = {
    {11025, 1, 0x4},      {11025, 2, 0x8},      {22050, 1, 0x40},     {22050, 2, 0x80},
    {44100, 1, 0x400},    {44100, 2, 0x800},    {48000, 1, 0x4000},   {48000, 2, 0x8000},
    {96000, 1, 0x40000},  {96000, 2, 0x80000},
};

class AudioInput {
 public:
  virtual ~AudioInput() = default;
  // Device names in list order; position 0 is the default device. Lists
  // the devices afresh.
  virtual std::vector<AudioDeviceInfo> devices() = 0;
  // Whether the device accepts the format (query only).
  virtual int queryFormat(int device, const WaveFormat& f) = 0;
  virtual int open(int device, const WaveFormat& f) = 0;
  // Hands an empty buffer to the device; it is filled after the ones queued
  // before it. Clears its done flag and byte count.
  virtual int addBuffer(WaveBuffer& b) = 0;
  virtual int start() = 0;
  // Stops filling; a partly filled buffer is returned done with the bytes it
  // holds, the empty ones stay queued.
  virtual int stop() = 0;
  // Stops and returns every queued buffer marked done (unfilled ones with 0 bytes).
  virtual int reset() = 0;
  // Resets when needed; afterwards no buffer is touched again.
  virtual int close() = 0;
  // Words for the last failing call, for a message; empty when none.
  virtual std::string lastErrorText() const { return {}; }
  // Gaps the device itself reported since open: moments it had samples it
  // could not deliver (a card's or a sound server's overrun). 0 from a
  // device that reports none.
  virtual uint64_t gaps() const { return 0; }
  // Which standard formats the device accepts (kStandardFormats bits); asks
  // the device, so it is slow: for diagnostics, not for every listing.
  virtual uint32_t formatMask(int device) {
    uint32_t m = 0;
    for (auto& s : kStandardFormats)
      if (queryFormat(device, WaveFormat{s.rate, s.channels, 16}) == kWaveOk) m |= s.bit;
    return m;
  }
};

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  // Position 0 is the default device.
  virtual std::vector<AudioDeviceInfo> devices() = 0;
  // Whether the device accepts the format (query only).
  virtual int queryFormat(int device, const WaveFormat& f) = 0;
  virtual int open(int device, const WaveFormat& f) = 0;
  // Queues a buffer for playing after the ones before it; playing begins
  // with the first write. Its done flag is set once played.
  virtual int write(WaveBuffer& b) = 0;
  // Abandons every queued buffer at once, marking it done.
  virtual int reset() = 0;
  virtual int close() = 0;
  virtual std::string lastErrorText() const { return {}; }
  virtual uint32_t formatMask(int device) {
    uint32_t m = 0;
    for (auto& s : kStandardFormats)
      if (queryFormat(device, WaveFormat{s.rate, s.channels, 16}) == kWaveOk) m |= s.bit;
    return m;
  }
};

}  // namespace qv
