#include "realtime/devices.h"

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "core/program.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/event_pump.h"
#include "platform/surface.h"
#include "realtime/print_line.h"

namespace qv {

namespace {

std::vector<std::string> namesOf(const std::vector<AudioDeviceInfo>& devs) {
  std::vector<std::string> names;
  names.reserve(devs.size());
  for (const auto& d : devs) names.push_back(CleanDeviceName(d.name));
  return names;
}

// Empties a list and fills it; the shown text is kept and, when listed,
// selected (the last equal entry wins).
void refill(Control& list, const std::vector<std::string>& names) {
  list.clearItems();
  for (const auto& n : names) list.addItem(n);
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == list.text()) list.setListIndex(static_cast<int>(i));
}

std::vector<AudioDeviceInfo> inputDevices(Program& p) {
  AudioInput* in = p.services().audioIn;
  return in ? in->devices() : std::vector<AudioDeviceInfo>{};
}

std::vector<AudioDeviceInfo> outputDevices(Program& p) {
  AudioOutput* out = p.services().audioOut;
  return out ? out->devices() : std::vector<AudioDeviceInfo>{};
}

int findDevice(Program& p, Control& list, const std::string& name, const std::string& warning) {
  int pos = -1;
  for (size_t i = 0; i < list.items().size(); ++i)
    if (list.items()[i] == name) pos = static_cast<int>(i);
  // No device named yet (a fresh start): the default device, nothing to warn about.
  if (pos < 0 && name.empty() && !list.items().empty()) pos = 0;
  if (pos < 0) {
    if (Dialogs* d = p.services().dialogs) d->message(warning, "Quorvel", MsgButtons::Ok, MsgIcon::Warning);
    ListAudioDevices(p);
    pos = 0;
  }
  if (pos < static_cast<int>(list.items().size())) list.setListIndex(pos);
  return pos - 1;
}

// Waits on the monotonic tick (a time-of-day timer never gets there across
// midnight), letting events run meanwhile.
void waitSeconds(Program& p, double s) {
  Clock* c = p.services().clock;
  if (!c) return;
  const int64_t start = c->tickMs();
  const int64_t span = static_cast<int64_t>(s * 1000.0);
  while (c->tickMs() - start < span) {
    if (EventPump* pump = p.services().pump) pump->processEventsFor(20);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace

std::string CleanDeviceName(const std::string& raw) {
  size_t n = 0;
  while (n < raw.size()) {
    unsigned char ch = static_cast<unsigned char>(raw[n]);
    if (ch < 32 || ch > 125) break;
    ++n;
  }
  return raw.substr(0, n);
}

DeviceCounts ListAudioDevices(Program& p) {
  std::vector<std::string> in = namesOf(inputDevices(p));
  refill(p.form1()["Combo10"], in);
  refill(p.options0()["Combo10"], in);
  std::vector<std::string> out = namesOf(outputDevices(p));
  refill(p.options0()["Combo9"], out);
  DeviceCounts counts;
  counts.inputs = in.empty() ? 0 : static_cast<int>(in.size()) - 1;
  counts.outputs = out.empty() ? 0 : static_cast<int>(out.size()) - 1;
  return counts;
}

int FindInputDevice(Program& p, const std::string& name) {
  return findDevice(p, p.form1()["Combo10"], name,
                    "Sound Input Device [" + name + "] not existent or not connected\n"
                        "Please select one among those listed in the Quick or Basic Settings panels\n"
                        "then save the updated configuration");
}

int FindOutputDevice(Program& p, const std::string& name) {
  return findDevice(p, p.options0()["Combo9"], name,
                    "Sound Output Device [" + name + "] not existent or not connected\n"
                        "Please select one among those listed in the Basic Settings panel");
}

int QueryInputFormat(Program& p, int device, int rate, int channels) {
  AudioInput* in = p.services().audioIn;
  if (!in) return kWaveBadDevice;
  WaveFormat f;
  f.sampleRate = rate;
  f.channels = static_cast<int16_t>(channels);
  f.bitsPerSample = 16;
  return in->queryFormat(device, f);
}

void ReportWaveOpenError(Program& p, int code) {
  char num[32];
  int n = formatLabelNumber(code, num);
  std::string text = "Couldn't open wave device due to Error " + std::string(num, static_cast<size_t>(n));
  if (code == kWaveBadFormat) text += " BADFORMAT";
  if (Dialogs* d = p.services().dialogs) d->message(text, "Quorvel", MsgButtons::Ok, MsgIcon::Warning);
  p.refuseStart(text);
  p.form1()["Frame1"].setEnabled(true);
  p.form1()["StartStop"].setCaption("RESET");
}

void RefreshAudioDevices(Program& p) {
  p.setStatus("Wait...");
  std::string shown = p.form1()["Combo10"].text();
  waitSeconds(p, 2);
  ListAudioDevices(p);
  p.setStatus("Ready...");
  FindInputDevice(p, shown);
}

void CheckAudioDevices(Program& p) {
  Control* pic = p.form1().find("SpecGram");
  std::shared_ptr<Surface> s = pic ? pic->surface() : nullptr;
  if (!s) return;
  s->clear();
  Rgb bg = s->background();
  Rgb ink = red(bg) + green(bg) + blue(bg) > 3 * 128 ? rgb(0, 0, 0) : rgb(255, 255, 255);
  constexpr int kLineHeight = 16;
  int row = 0;
  PrintLine line;
  auto print = [&](std::string_view t) {
    s->text(0, row * kLineHeight, std::string(t), ink);
    ++row;
  };
  auto printDevices = [&](const std::vector<AudioDeviceInfo>& devs) {
    for (size_t i = 0; i < devs.size(); ++i) {
      line.clear().integer(static_cast<int64_t>(i) - 1).text(CleanDeviceName(devs[i].name));
      line.zone().integer(devs[i].maxChannels);
      print(line.view());
    }
  };
  print("");
  print("WaveIn Devices");
  printDevices(inputDevices(p));
  print("");
  print("WaveOut Devices");
  printDevices(outputDevices(p));
}

void AttachDeviceHandlers(Program& p) {
  auto plain = [](std::string t) {
    std::erase(t, '&');  // menu accelerators
    return t;
  };
  for (const auto& c : p.form1().controls()) {
    if (c->kind() != Kind::MenuItem) continue;
    std::string caption = plain(c->caption());
    if (caption == "Refresh Audio Devices" || c->name() == "RefreshAudioDevices")
      c->on(Event::Click, [&p] { RefreshAudioDevices(p); });
    else if (caption == "Check Audio Devices" || c->name() == "CheckAudioDevices")
      c->on(Event::Click, [&p] { CheckAudioDevices(p); });
  }
  // Devices may have been switched while the Special Settings panel was open.
  auto wasShown = std::make_shared<bool>(p.options2().shown());
  p.options2().addObserver([&p, wasShown](const Form& f) {
    if (*wasShown && !f.shown()) ListAudioDevices(p);
    *wasShown = f.shown();
  });
}

}  // namespace qv
