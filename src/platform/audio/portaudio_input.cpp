#include "platform/audio/portaudio_input.h"

#include <portaudio.h>
#include <pthread.h>
#include <sched.h>

#include <cstdlib>

namespace qv {

namespace {
constexpr int kMaxBuiltInChannels = TestSignalGenerator::kMaxChannels;
bool builtInRateOk(int rate) { return rate >= 1000 && rate <= 1000000; }

// The thread that hands the samples over must not wait behind the rest of a
// busy machine: a sound server gives it a few milliseconds, and what it
// misses is lost before any buffer sees it. Asks for real-time scheduling
// once, unless the thread has it already; where that is not allowed the
// thread stays as it is.
void preferCaptureThread() {
  int policy = SCHED_OTHER;
  sched_param now{};
  if (pthread_getschedparam(pthread_self(), &policy, &now) == 0 && policy != SCHED_OTHER) return;
  sched_param p{};
  p.sched_priority = sched_get_priority_min(SCHED_FIFO) + 9;
  pthread_setschedparam(pthread_self(), SCHED_FIFO, &p);
}

// Runs on PortAudio's thread: no allocation, locks or Qt here.
int captureCallback(const void* in, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                    PaStreamCallbackFlags flags, void* self) {
  static_cast<PortAudioInput*>(self)->onDeviceThread(preferCaptureThread);
  // Samples were dropped before these (an overrun of the card, or an xrun
  // somewhere in a JACK server: the input sorts them out).
  static_cast<PortAudioInput*>(self)->deviceData(static_cast<const int16_t*>(in), frames,
                                                 (flags & paInputOverflow) != 0);
  return paContinue;
}
}  // namespace

PortAudioInput::PortAudioInput() : seed_(testSignalSeedFromEnvironment()) {
  if (const char* w = std::getenv("QUORVEL_INPUT_WAV")) wavPath_ = w;
}

PortAudioInput::~PortAudioInput() { close(); }

void PortAudioInput::list() {
  entries_.clear();
  std::vector<Entry> cards;
  for (auto& d : host_.scan())
    if (d.maxInput > 0) cards.push_back({d.name, Kind::Card, d.name, d.maxInput});
  if (!cards.empty()) {
    int def = host_.defaultInput();
    int ch = 2;
    for (auto& d : cards)
      if (host_.indexOf(d.cardName, true) == def) ch = d.maxChannels;
    entries_.push_back({kDefaultName, Kind::Card, "", ch});
    entries_.insert(entries_.end(), cards.begin(), cards.end());
    entries_.push_back({kTestSignalName, Kind::TestSignal, "", 2});
  } else {
    entries_.push_back({kTestSignalName, Kind::TestSignal, "", 2});
  }
  entries_.push_back({kWavFileName, Kind::WavFile, "", 2});
  listed_ = true;
}

std::vector<AudioDeviceInfo> PortAudioInput::devices() {
  if (!open_) list();
  else if (!listed_) list();
  std::vector<AudioDeviceInfo> out;
  for (auto& e : entries_) out.push_back({e.name, e.maxChannels});
  return out;
}

const PortAudioInput::Entry* PortAudioInput::entry(int device) {
  if (!listed_) list();
  size_t pos = size_t(device + 1);
  if (device < -1 || pos >= entries_.size()) return nullptr;
  return &entries_[pos];
}

int PortAudioInput::cardIndex(const Entry& e) {
  if (e.cardName.empty()) {
    int d = host_.defaultInput();
    if (d >= 0) return d;
    for (auto& c : entries_)
      if (c.kind == Kind::Card && !c.cardName.empty()) return host_.indexOf(c.cardName, true);
    return -1;
  }
  return host_.indexOf(e.cardName, true);
}

int PortAudioInput::fail(int code, const std::string& why) {
  error_ = why;
  return code;
}

int PortAudioInput::check(const Entry& e, const WaveFormat& f, int* deviceChannels) {
  if (deviceChannels) *deviceChannels = f.channels;
  if (f.bitsPerSample != 16 || f.channels < 1 || f.sampleRate <= 0)
    return fail(kWaveBadFormat, "only 16-bit PCM with one or more channels can be captured");
  switch (e.kind) {
    case Kind::TestSignal:
      if (f.channels > kMaxBuiltInChannels || !builtInRateOk(f.sampleRate))
        return fail(kWaveBadFormat, "the test signal cannot give this format");
      return kWaveOk;
    case Kind::WavFile: {
      if (f.channels > kMaxBuiltInChannels || !builtInRateOk(f.sampleRate))
        return fail(kWaveBadFormat, "the WAV file input cannot give this format");
      WavFileSource probe;
      std::string why;
      if (!probe.load(wavPath_, &why)) return fail(kWaveBadDevice, why);
      return kWaveOk;
    }
    case Kind::Card: {
      int idx = cardIndex(e);
      if (idx < 0) return fail(kWaveBadDevice, "sound input device " + e.name + " is gone");
      PaStreamParameters p{};
      p.device = idx;
      p.channelCount = f.channels;
      p.sampleFormat = paInt16;
      p.suggestedLatency = Pa_GetDeviceInfo(idx)->defaultHighInputLatency;
      PaError r = Pa_IsFormatSupported(&p, nullptr, f.sampleRate);
      if (r == paFormatIsSupported) return kWaveOk;
      if (f.channels == 1 && r == paInvalidChannelCount) {
        // Many cards record only in stereo: take the left channel of it.
        p.channelCount = 2;
        if (Pa_IsFormatSupported(&p, nullptr, f.sampleRate) == paFormatIsSupported) {
          if (deviceChannels) *deviceChannels = 2;
          return kWaveOk;
        }
      }
      if (r == paInvalidDevice || r == paDeviceUnavailable) return fail(kWaveBadDevice, Pa_GetErrorText(r));
      return fail(kWaveBadFormat, Pa_GetErrorText(r));
    }
  }
  return kWaveError;
}

int PortAudioInput::queryFormat(int device, const WaveFormat& f) {
  error_.clear();
  const Entry* e = entry(device);
  if (!e) return fail(kWaveBadDevice, "no input device number " + std::to_string(device));
  return check(*e, f);
}

int PortAudioInput::open(int device, const WaveFormat& f) {
  error_.clear();
  if (open_) return fail(kWaveAllocated, "the sound input is already open");
  const Entry* e = entry(device);
  if (!e) return fail(kWaveBadDevice, "no input device number " + std::to_string(device));
  if (int r = check(*e, f, &deviceChannels_)) return r;
  kind_ = e->kind;
  fmt_ = f;
  queue_.clearCounters();
  gaps_.store(0, std::memory_order_relaxed);
  switch (kind_) {
    case Kind::TestSignal:
      gen_ = std::make_unique<TestSignalGenerator>(seed_, f.sampleRate, f.channels);
      break;
    case Kind::WavFile: {
      std::string why;
      if (!wav_.load(wavPath_, &why)) return fail(kWaveBadDevice, why);
      break;
    }
    case Kind::Card: {
      PaStreamParameters p{};
      p.device = cardIndex(*e);
      p.channelCount = deviceChannels_;
      p.sampleFormat = paInt16;
      p.suggestedLatency = Pa_GetDeviceInfo(p.device)->defaultHighInputLatency;
      PaStream* s = nullptr;
      PaError r = Pa_OpenStream(&s, &p, nullptr, f.sampleRate, paFramesPerBufferUnspecified, paClipOff,
                                &captureCallback, this);
      if (r != paNoError) return fail(PaHost::openErrorCode(r), Pa_GetErrorText(r));
      const PaHostApiInfo* api = Pa_GetHostApiInfo(Pa_GetDeviceInfo(p.device)->hostApi);
      overrunsAreGaps_ = !api || api->type != paJACK;
      firstCall_ = true;
      stream_ = s;
      PaHost::streamOpened();
      break;
    }
  }
  if (kind_ != Kind::Card) scratch_.assign(size_t(PacedThread::chunkFrames(f.sampleRate)) * f.channels, 0);
  open_ = true;
  return kWaveOk;
}


int PortAudioInput::addBuffer(WaveBuffer& b) {
  if (!open_) return fail(kWaveInvalidHandle, "the sound input is not open");
  if (b.queued.load(std::memory_order_acquire)) return fail(kWaveStillPlaying, "buffer already queued");
  if (!queue_.push(&b)) return fail(kWaveNoMem, "too many buffers queued");
  return kWaveOk;
}

int PortAudioInput::start() {
  if (!open_) return fail(kWaveInvalidHandle, "the sound input is not open");
  if (started_) return kWaveOk;
  if (kind_ == Kind::Card) {
    PaError r = Pa_StartStream(static_cast<PaStream*>(stream_));
    if (r != paNoError) return fail(kWaveError, Pa_GetErrorText(r));
  } else {
    const int ch = fmt_.channels;
    if (kind_ == Kind::TestSignal) {
      pacer_.start(fmt_.sampleRate, [this, ch](int frames) {
        gen_->generate(scratch_.data(), frames);
        queue_.fill(scratch_.data(), size_t(frames) * ch);
      });
    } else {
      pacer_.start(fmt_.sampleRate, [this, ch](int frames) {
        wav_.read(scratch_.data(), frames, ch);
        queue_.fill(scratch_.data(), size_t(frames) * ch);
      });
    }
  }
  started_ = true;
  return kWaveOk;
}

int PortAudioInput::stop() {
  if (!open_) return fail(kWaveInvalidHandle, "the sound input is not open");
  if (started_) {
    if (kind_ == Kind::Card) {
      Pa_StopStream(static_cast<PaStream*>(stream_));
    } else {
      pacer_.stop();
    }
    started_ = false;
  }
  // The device thread is halted: this thread may finish the partial buffer.
  queue_.finishPartial();
  return kWaveOk;
}

int PortAudioInput::reset() {
  if (!open_) return fail(kWaveInvalidHandle, "the sound input is not open");
  stop();
  queue_.flush();
  return kWaveOk;
}

int PortAudioInput::close() {
  if (!open_) return kWaveOk;
  reset();
  PaHost::closeStream(stream_);
  gen_.reset();
  wav_.unload();
  scratch_.clear();
  scratch_.shrink_to_fit();
  open_ = false;
  return kWaveOk;
}

}  // namespace qv
