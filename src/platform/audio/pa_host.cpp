#include "platform/audio/pa_host.h"

#include "platform/audio.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <portaudio.h>

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

namespace {
void silentAlsa(const char*, int, const char*, int, const char*, ...) {}
void silentJack(const char*) {}
}  // namespace

void quietSoundLibraries() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (envTrue("QUORVEL_AUDIO_DEBUG")) return;
    snd_lib_error_set_handler(silentAlsa);
    jack_set_error_function(silentJack);
    jack_set_info_function(silentJack);
  });
}

PaHost::PaHost() {
  if (!soundCardsWanted()) return;
  quietSoundLibraries();
  std::lock_guard lock(g_mutex);
  ok_ = Pa_Initialize() == paNoError;
  if (ok_) ++g_users;
}

PaHost::~PaHost() {
  if (!ok_) return;
  std::lock_guard lock(g_mutex);
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
