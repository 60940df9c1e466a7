#include "platform/audio/portaudio_output.h"

#include <portaudio.h>

namespace qv {

namespace {
// Runs on PortAudio's thread: no allocation, locks or Qt here.
int playCallback(const void*, void* out, unsigned long frames, const PaStreamCallbackTimeInfo*,
                 PaStreamCallbackFlags, void* self) {
  static_cast<PortAudioOutput*>(self)->deviceWants(static_cast<int16_t*>(out), frames);
  return paContinue;
}
}  // namespace

PortAudioOutput::~PortAudioOutput() { close(); }

void PortAudioOutput::list() {
  entries_.clear();
  std::vector<Entry> cards;
  for (auto& d : host_.scan())
    if (d.maxOutput > 0) cards.push_back({d.name, false, d.name, d.maxOutput});
  if (!cards.empty()) {
    entries_.push_back({kDefaultName, false, "", 2});
    entries_.insert(entries_.end(), cards.begin(), cards.end());
  }
  entries_.push_back({kSilentName, true, "", 8});
  listed_ = true;
}

std::vector<AudioDeviceInfo> PortAudioOutput::devices() {
  if (!open_ || !listed_) list();
  std::vector<AudioDeviceInfo> out;
  for (auto& e : entries_) out.push_back({e.name, e.maxChannels});
  return out;
}

const PortAudioOutput::Entry* PortAudioOutput::entry(int device) {
  if (!listed_) list();
  size_t pos = size_t(device + 1);
  if (device < -1 || pos >= entries_.size()) return nullptr;
  return &entries_[pos];
}

int PortAudioOutput::cardIndex(const Entry& e) {
  if (e.cardName.empty()) {
    int d = host_.defaultOutput();
    if (d >= 0) return d;
    for (auto& c : entries_)
      if (!c.silent && !c.cardName.empty()) return host_.indexOf(c.cardName, false);
    return -1;
  }
  return host_.indexOf(e.cardName, false);
}

int PortAudioOutput::fail(int code, const std::string& why) {
  error_ = why;
  return code;
}

int PortAudioOutput::check(const Entry& e, const WaveFormat& f, int* deviceChannels) {
  if (deviceChannels) *deviceChannels = f.channels;
  if (f.bitsPerSample != 16 || f.channels < 1 || f.sampleRate <= 0)
    return fail(kWaveBadFormat, "only 16-bit PCM with one or more channels can be played");
  if (e.silent) {
    if (f.channels > 8 || f.sampleRate < 100 || f.sampleRate > 2000000)
      return fail(kWaveBadFormat, "the silent output cannot take this format");
    return kWaveOk;
  }
  int idx = cardIndex(e);
  if (idx < 0) return fail(kWaveBadDevice, "sound output device " + e.name + " is gone");
  PaStreamParameters p{};
  p.device = idx;
  p.channelCount = f.channels;
  p.sampleFormat = paInt16;
  p.suggestedLatency = Pa_GetDeviceInfo(idx)->defaultHighOutputLatency;
  PaError r = Pa_IsFormatSupported(nullptr, &p, f.sampleRate);
  if (r == paFormatIsSupported) return kWaveOk;
  if (f.channels == 1 && r == paInvalidChannelCount) {
    // A card that plays only in stereo gets the mono block on both sides.
    p.channelCount = 2;
    if (Pa_IsFormatSupported(nullptr, &p, f.sampleRate) == paFormatIsSupported) {
      if (deviceChannels) *deviceChannels = 2;
      return kWaveOk;
    }
  }
  if (r == paInvalidDevice || r == paDeviceUnavailable) return fail(kWaveBadDevice, Pa_GetErrorText(r));
  return fail(kWaveBadFormat, Pa_GetErrorText(r));
}

int PortAudioOutput::queryFormat(int device, const WaveFormat& f) {
  error_.clear();
  const Entry* e = entry(device);
  if (!e) return fail(kWaveBadDevice, "no output device number " + std::to_string(device));
  return check(*e, f);
}

int PortAudioOutput::open(int device, const WaveFormat& f) {
  error_.clear();
  if (open_) return fail(kWaveAllocated, "the sound output is already open");
  const Entry* e = entry(device);
  if (!e) return fail(kWaveBadDevice, "no output device number " + std::to_string(device));
  if (int r = check(*e, f, &deviceChannels_)) return r;
  fmt_ = f;
  silent_ = e->silent;
  queue_.clearCounters();
  if (silent_) {
    scratch_.assign(size_t(PacedThread::chunkFrames(f.sampleRate)) * f.channels, 0);
  } else {
    PaStreamParameters p{};
    p.device = cardIndex(*e);
    p.channelCount = deviceChannels_;
    p.sampleFormat = paInt16;
    p.suggestedLatency = Pa_GetDeviceInfo(p.device)->defaultHighOutputLatency;
    PaStream* s = nullptr;
    PaError r =
        Pa_OpenStream(&s, nullptr, &p, f.sampleRate, paFramesPerBufferUnspecified, paClipOff, &playCallback, this);
    if (r != paNoError) return fail(PaHost::openErrorCode(r), Pa_GetErrorText(r));
    stream_ = s;
    PaHost::streamOpened();
  }
  open_ = true;
  return kWaveOk;
}

int PortAudioOutput::write(WaveBuffer& b) {
  if (!open_) return fail(kWaveInvalidHandle, "the sound output is not open");
  if (b.queued.load(std::memory_order_acquire)) return fail(kWaveStillPlaying, "buffer already queued");
  if (!queue_.push(&b)) return fail(kWaveNoMem, "too many buffers queued");
  if (!started_) {
    if (silent_) {
      const int ch = fmt_.channels;
      pacer_.start(fmt_.sampleRate, [this, ch](int frames) { queue_.drain(scratch_.data(), size_t(frames) * ch); });
    } else {
      PaError r = Pa_StartStream(static_cast<PaStream*>(stream_));
      if (r != paNoError) {
        queue_.flush();  // nothing will play it: hand it back
        return fail(kWaveError, Pa_GetErrorText(r));
      }
    }
    started_ = true;
  }
  return kWaveOk;
}

void PortAudioOutput::halt() {
  if (!started_) return;
  if (silent_) {
    pacer_.stop();
  } else {
    Pa_AbortStream(static_cast<PaStream*>(stream_));
  }
  started_ = false;
}

int PortAudioOutput::reset() {
  if (!open_) return fail(kWaveInvalidHandle, "the sound output is not open");
  halt();
  // The device thread is halted: this thread may hand back the queued buffers.
  queue_.flush();
  return kWaveOk;
}

int PortAudioOutput::close() {
  if (!open_) return kWaveOk;
  reset();
  PaHost::closeStream(stream_);
  scratch_.clear();
  scratch_.shrink_to_fit();
  open_ = false;
  return kWaveOk;
}

}  // namespace qv
