#include "platform/audio/pa_host.h"

#include "platform/audio.h"

#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace qv {

namespace {
std::mutex g_mutex;
int g_users = 0;
int g_streams = 0;

bool envTrue(const char* name) {
  const char* v = std::getenv(name);
  return v && *v && std::strcmp(v, "0") != 0;
}
}  // namespace

bool soundCardsWanted() { return !envTrue("QUORVEL_NO_SOUND_CARD"); }

QuietStderr::QuietStderr() {
  if (envTrue("QUORVEL_AUDIO_DEBUG")) return;
  std::fflush(stderr);
  int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0) return;
  saved_ = ::dup(2);
  if (saved_ >= 0) ::dup2(null, 2);
  ::close(null);
}

QuietStderr::~QuietStderr() {
  if (saved_ < 0) return;
  std::fflush(stderr);
  ::dup2(saved_, 2);
  ::close(saved_);
}

PaHost::PaHost() {
  if (!soundCardsWanted()) return;
  std::lock_guard lock(g_mutex);
  QuietStderr quiet;
  ok_ = Pa_Initialize() == paNoError;
  if (ok_) ++g_users;
}

PaHost::~PaHost() {
  if (!ok_) return;
  std::lock_guard lock(g_mutex);
  QuietStderr quiet;
  Pa_Terminate();
  --g_users;
}

void PaHost::streamOpened() {
  std::lock_guard lock(g_mutex);
  ++g_streams;
}

void PaHost::streamClosed() {
  std::lock_guard lock(g_mutex);
  --g_streams;
}

void PaHost::closeStream(void*& stream) {
  if (!stream) return;
  QuietStderr quiet;
  Pa_CloseStream(static_cast<PaStream*>(stream));
  stream = nullptr;
  streamClosed();
}

int PaHost::openErrorCode(int paError) {
  return paError == paInvalidSampleRate || paError == paInvalidChannelCount || paError == paSampleFormatNotSupported
             ? kWaveBadFormat
             : kWaveBadDevice;
}

std::vector<PaDeviceEntry> PaHost::scan() {
  if (!ok_) return {};
  {
    std::lock_guard lock(g_mutex);
    if (g_streams == 0) {
      // PortAudio counts initialisations: a real rescan needs all of them undone.
      QuietStderr quiet;
      for (int i = 0; i < g_users; ++i) Pa_Terminate();
      int again = 0;
      for (int i = 0; i < g_users; ++i) again += Pa_Initialize() == paNoError;
      if (again != g_users) {
        // Leave the count as the users expect; the device list comes back empty.
        for (int i = again; i < g_users; ++i) Pa_Initialize();
      }
    }
  }
  return list();
}

std::vector<PaDeviceEntry> PaHost::list() {
  std::vector<PaDeviceEntry> out;
  if (!ok_) return out;
  QuietStderr quiet;
  int n = Pa_GetDeviceCount();
  std::map<std::string, int> seen;
  for (int i = 0; i < n; ++i) {
    const PaDeviceInfo* d = Pa_GetDeviceInfo(i);
    if (!d || !d->name) continue;
    ++seen[d->name];
  }
  for (int i = 0; i < n; ++i) {
    const PaDeviceInfo* d = Pa_GetDeviceInfo(i);
    if (!d || !d->name) continue;
    PaDeviceEntry e;
    e.name = d->name;
    // The same name under two host interfaces (ALSA and JACK): tell them apart.
    if (seen[d->name] > 1) {
      const PaHostApiInfo* api = Pa_GetHostApiInfo(d->hostApi);
      if (api && api->name) e.name += std::string(" (") + api->name + ")";
    }
    e.index = i;
    e.maxInput = d->maxInputChannels;
    e.maxOutput = d->maxOutputChannels;
    e.defaultRate = d->defaultSampleRate;
    out.push_back(e);
  }
  return out;
}

int PaHost::indexOf(const std::string& name, bool input) {
  for (auto& e : list())
    if (e.name == name && (input ? e.maxInput : e.maxOutput) > 0) return e.index;
  return -1;
}

int PaHost::defaultInput() {
  if (!ok_) return -1;
  int d = Pa_GetDefaultInputDevice();
  return d == paNoDevice ? -1 : d;
}

int PaHost::defaultOutput() {
  if (!ok_) return -1;
  int d = Pa_GetDefaultOutputDevice();
  return d == paNoDevice ? -1 : d;
}

}  // namespace qv
