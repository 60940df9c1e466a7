#include "files/playback.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <thread>
#include <vector>

#include "analysis/engine.h"
#include "analysis/text_format.h"
#include "core/program.h"
#include "files/file_info.h"
#include "files/sample_reader.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/surface.h"
#include "realtime/block_display.h"
#include "realtime/devices.h"
#include "realtime/palette.h"

namespace qv {

namespace {

// Test-marker lines reach this far below the top of the separator strip.
constexpr int kMarkLineRows = 44;

struct Session {
  FileInfo info;       // format of the first file: every play-list entry is read with it
  SampleReader reader;
  int64_t frame = 0;   // next frame to read
  Surface* pic = nullptr;
  int width = 1;
  bool stereo = false;
  int carrySamples = 0;  // interleaved samples kept in front of the block
};

std::map<const Program*, Session*>& sessions() {
  static std::map<const Program*, Session*> m;
  return m;
}

struct SessionGuard {
  const Program* p;
  SessionGuard(const Program* prog, Session* s) : p(prog) { sessions()[prog] = s; }
  ~SessionGuard() { sessions().erase(p); }
};

Session* sessionOf(const Program& p) {
  auto it = sessions().find(&p);
  return it == sessions().end() ? nullptr : it->second;
}

void setCaption(Program& p, const char* name, const std::string& text) {
  if (Control* c = p.form1().find(name)) c->setCaption(text);
}

// The channel-mode button chosen for a two-channel file: 1 L, 2 R, 3 L+R, 4 L-R.
int monoModeOf(Program& p) {
  for (int i = 1; i <= 4; ++i)
    if (Control* c = p.options0().find("OptionCS" + std::to_string(i)); c && c->checked()) return i;
  return 1;
}

const char* kModeLetters[] = {"M", "L", "R", "L+R", "L-R"};

int16_t saturate(long long v) { return static_cast<int16_t>(std::clamp<long long>(v, -32768, 32767)); }

// Frames of a play-list entry read with the first file's format: from the
// first sample to the end of this file.
int64_t framesWithFormat(const FileInfo& first, const std::string& path, int64_t& sampleEnd) {
  std::error_code ec;
  auto len = static_cast<int64_t>(std::filesystem::file_size(path, ec));
  if (ec) return -1;
  sampleEnd = len;
  if (first.coding == SampleCoding::Int16BE) return (len / 512) * 250 + std::max<int64_t>(0, len % 512 - 12) / 2;
  const int64_t frameBytes = static_cast<int64_t>(bytesPerSample(first.coding)) * std::max(1, first.channels);
  return std::max<int64_t>(0, (len - first.firstSample) / frameBytes);
}

double nowSeconds(Program& p) {
  if (Clock* c = p.services().clock) return c->secondsSinceMidnight();
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void clearPicture(Program& p, Session& s) {
  if (!s.pic) return;
  const int h = p.vars().specVsize;
  s.pic->fillBox(0, 0, s.width - 1, h - 1, rgb(255, 255, 255));
  s.pic->fillBox(0, h, s.width - 1, h + 15, kInactiveBorder);
}

}  // namespace

bool playbackRunning(const Program& p) { return sessionOf(p) != nullptr; }

bool repositionPlayback(Program& p, int64_t filePos) {
  Session* s = sessionOf(p);
  if (!s || p.vars().StopFlag) return false;
  if (filePos >= s->info.FileSize) return false;
  s->frame = std::clamp<int64_t>(s->reader.frameAt(filePos), 0, s->reader.frames());
  SpectrumEngine& e = p.analysis()->spectrum();
  std::fill(e.samples(), e.samples() + s->carrySamples + 1, int16_t{0});
  clearPicture(p, *s);
  p.vars().ColumnX = 0;
  return true;
}

void GoToS_Click(Program& p) {
  PublicVars& v = p.vars();
  if (v.Task != 3 || v.StopFlag || !playbackRunning(p)) return;
  if (Control* c = p.form1().find("PauseButton")) c->setValue(0);
  const double t = static_cast<double>(roundEven(ParseDuration(p.form1()["Text4"].text())));
  const int b = v.FileType == kFileExt ? 4 : 2;
  const auto pos = static_cast<int64_t>(t * v.SampleRate * b * v.Channels) + v.HeaderSize;
  if (!repositionPlayback(p, pos)) {
    if (Dialogs* d = p.services().dialogs) d->message("End of File");
  }
}

void RunFilePlay(Program& p, const FileLoopHooks& hooks) {
  PublicVars& v = p.vars();
  Form& f = p.form1();
  Form& o = p.options0();
  if (v.CurrentFile.empty() || !p.analysis()) return;
  AnalysisEngine& engine = *p.analysis();
  f["StartStop"].setCaption("Stop");

  auto finish = [&] {
    v.StopFlag = true;
    f["StartStop"].setCaption("Start");
    if (Control* c = f.find("PauseButton")) c->setValue(0);
    if (Control* c = f.find("Frame1")) c->setEnabled(true);
  };

  Session s;
  FileCheck check = GetFileInfo(v.CurrentFile, rawFileSettings(p.forms()), s.info);
  if (!check.ok) {
    if (Dialogs* d = p.services().dialogs) d->message(check.message);
    finish();
    return;
  }
  const FileInfo& info = s.info;
  v.FileType = info.FileType;
  v.HeaderSize = info.HeaderSize;
  v.Channels = std::clamp(info.channels, 1, 2);
  v.SampleRate = info.SampleRate;
  v.FileSize = info.FileSize;
  const int fileChannels = std::max(1, info.channels);
  s.stereo = fileChannels == 2 && o["OptionCS0"].checked();

  // The settings are read from the boxes: show the file's rate and channels there.
  if (Control* c = o.find("NchanCombo"); c && !c->items().empty())
    c->setListIndex(std::min<int>(v.Channels, static_cast<int>(c->items().size())) - 1);
  f["Combo2"].setText(std::to_string(info.SampleRate));
  PublicSettings(p);
  v.Channels = std::clamp(info.channels, 1, 2);
  v.SampleRate = info.SampleRate;
  {
    // Larger blocks at high rates, so one block's analysis fits in the other's play time.
    int block = f["Combo1"].intNumber();
    int floor = 0;
    if (info.SampleRate > 21000) floor = v.Channels * 4096;
    if (s.stereo && info.SampleRate > 48000) floor = v.Channels * 8192;
    if (block < floor) f["Combo1"].setText(std::to_string(floor));
  }

  // The analysis settings, as a live run derives them.
  Control& specGram = f["SpecGram"];
  {
    auto picture = spectrogramSurface(p);
    s.width = std::max(1, specGram.geometry().width > 0 ? specGram.geometry().width : picture ? picture->width() : 1);
  }
  RunParams run = engine.beginRun(s.width);
  v.Channels = std::clamp(info.channels, 1, 2);
  v.SampleRate = info.SampleRate;
  const int outChannels = s.stereo ? 2 : 1;
  // A block behind the carry must fit the sample array.
  run.BlockSize = std::clamp(run.BlockSize, 1, kMaxBlockSize);
  run.BlockSize = std::min(run.BlockSize, (kSampleCapacity - run.carry * outChannels) / outChannels);
  const int block = run.BlockSize;
  const int carry = run.carry;
  SpectrumEngine& spec = engine.spectrum();
  {
    // Played sound is always shown in decibels; two channels without the
    // averaging, cepstrum and spectrum window of the one-channel display.
    ColumnSetup cs = spec.setup();
    cs.zscale = 0;
    if (s.stereo) {
      cs.stride = 2;
      cs.avgMode = 0;
      cs.cepstrum = false;
    }
    spec.beginRun(cs);
    if (s.stereo) spec.plotSpec = nullptr;
  }
  if (!s.stereo)
    if (Control* sf = p.options2().find("SpecFormCheck"); sf && sf->checked()) p.forms().specForm().setShown(true);
  v.ChanMode = s.stereo ? "S" : (fileChannels >= 2 ? kModeLetters[monoModeOf(p)] : "M");
  const int mode = fileChannels >= 2 && !s.stereo ? monoModeOf(p) : 0;
  s.carrySamples = carry * outChannels;

  // The picture, its off-screen bitmap and scrolling, the detectors and the test markers.
  engine.UpdateForm();
  BlockDisplay display(p);
  if (!display.begin(s.stereo)) {
    engine.endRun();
    finish();
    return;
  }
  run.DisplayHeight = display.displayHeight();
  s.pic = display.picture();
  s.width = std::max(1, display.pictureWidth());
  if (!s.stereo) display.startDetectors(LogRunInfo{LogNamePart(p, ""), v.SampleRate, v.FFTsize, run.ScanStep});
  {
    MarkerLoad markers = loadTestMarkers(p, s.pic);
    std::vector<SampleMark> marks;
    marks.reserve(markers.markers.size());
    for (const Marker& m : markers.markers) marks.push_back({m.sampleIndex, m.label});
    display.setMarks(std::move(marks), kMarkLineRows);
  }
  if (s.stereo && s.pic) {
    s.pic->text(0, 0, "L", rgb(0, 0, 0));
    s.pic->text(0, v.specVsize / 2, "R", rgb(0, 0, 0));
  }

  {
    std::string name = v.CurrentFile.size() >= 97
                           ? "../" + v.CurrentFile.substr(v.CurrentFile.find_last_of('/') + 1)
                           : v.CurrentFile;
    const double total = static_cast<double>(info.FileSize) / (static_cast<double>(info.SampleRate) * 2 * fileChannels);
    setCaption(p, "Label4",
               name + strNum(static_cast<double>(roundEven(static_cast<double>(info.FileSize) / 1024))) + "kb" +
                   strNum(info.SampleRate) + "s/sec " + strNum(fileChannels) + "ch (" + v.ChanMode + ") Tot " +
                   formatDuration(total) + strNum(16) + "bit");
  }

  // Output device and format. A refusal leaves the caption at "Stop".
  auto refuse = [&](int err) {
    ReportWaveOpenError(p, err);
    display.end();
    engine.endRun();
    v.StopFlag = true;
  };
  AudioOutput* out = p.services().audioOut;
  if (!out) {
    refuse(kWaveBadDevice);
    return;
  }
  int device = FindOutputDevice(p, o["Combo9"].text());
  double speed = o.find("cmbSpeedUp") ? o["cmbSpeedUp"].number() : 1.0;
  if (!(speed > 0)) speed = 1.0;
  WaveFormat fmt;
  fmt.sampleRate = static_cast<int>(roundEven(info.SampleRate * speed));
  fmt.channels = outChannels;
  fmt.bitsPerSample = 16;
  if (int err = out->queryFormat(device, fmt); err != kWaveOk) {
    refuse(err);
    return;
  }

  std::array<WaveBuffer, 2> bufs;
  for (auto& b : bufs) b.data.assign(static_cast<size_t>(block) * outChannels, 0);
  if (int err = out->open(device, fmt); err != kWaveOk) {
    refuse(err);
    return;
  }
  v.ColumnX = static_cast<int>(roundEven(-static_cast<double>(v.FFTsize - run.ScanStep) / run.ScanStep));
  v.ColumnCount = 0;
  int16_t* samples = spec.samples();
  std::fill(samples, samples + 32768, int16_t{0});

  if (speed != 1.0) p.setStatus(p.status() + " Play Speed" + strNum(speed) + "x  ");
  else p.setStatus(p.status() + " Play ");

  if (!s.reader.open(v.CurrentFile, info)) {
    if (Dialogs* d = p.services().dialogs) d->message("Cannot read " + v.CurrentFile);
    out->reset();
    out->close();
    display.end();
    engine.endRun();
    finish();
    return;
  }
  SessionGuard guard(&p, &s);

  // Prime the ring with silence; the device starts with the first write.
  for (auto& b : bufs) out->write(b);

  std::vector<int16_t> readBuf(static_cast<size_t>(block) * fileChannels);
  std::vector<int16_t> playBuf(static_cast<size_t>(block) * outChannels);
  bool busy[2] = {false, false};
  int maxBusy = 0;
  int cursor = 0;
  double passStart = nowSeconds(p);
  bool fileEnded = false;
  int64_t blockFrame = 0;  // first frame of the block being shown
  Control* ddeBox = o.find("CheckDDEsend");
  Control* timeTag = o.find("TimeTag");
  // Controls read or written every pass, looked up once.
  Control* gainBox = f.find("Text2");
  Control* pauseBox = f.find("PauseButton");
  Control* label3 = f.find("Label3");
  Control* label5 = f.find("Label5");
  Control* label6 = f.find("Label6");
  Control* label27 = f.find("Label27");
  Control* label20 = f.find("Label20");
  Control* label21 = f.find("Label21");
  auto show = [](Control* c, const std::string& text) {
    if (c) c->setCaption(text);
  };
  std::string message;
  v.StopFlag = false;

  auto readBlock = [&]() {
    blockFrame = s.frame;
    size_t got = s.reader.readFrames(s.frame, readBuf.data(), static_cast<size_t>(block));
    s.frame += static_cast<int64_t>(got);
    std::fill(readBuf.begin() + static_cast<long>(got * fileChannels), readBuf.end(), int16_t{0});
    // Any number of channels the reader accepts is reduced to one as the file analysis does.
    if (fileChannels >= 2 && !s.stereo)
      reduceChannels(mode, readBuf.data(), static_cast<size_t>(block), fileChannels, playBuf.data());
    else std::copy(readBuf.begin(), readBuf.begin() + static_cast<long>(playBuf.size()), playBuf.begin());
  };

  // Opens the next play-list entry with the first file's format; false when none is left.
  auto advance = [&]() {
    if (v.PlayListSize <= 1) return false;
    if (cursor == 0) cursor = 1;
    while (v.PlayListSize > cursor && cursor + 1 < static_cast<int>(v.PlayList.size())) {
      ++cursor;
      const std::string next = v.PlayList[static_cast<size_t>(cursor)];
      FileInfo ni = info;
      int64_t end = 0;
      ni.frames = framesWithFormat(info, next, end);
      ni.sampleEnd = end;
      if (ni.frames < 0 || !s.reader.open(next, ni)) {
        p.setStatus(p.status() + " Cannot read " + next);
        continue;
      }
      v.CurrentFile = next;
      s.frame = 0;
      setCaption(p, "Label4", next);
      return true;
    }
    return false;
  };

  // The block as the live display shows a captured one: behind the carry,
  // offset removed (the gain is already in it, no dither), every column
  // drawn, then the carry kept for the next block.
  auto analyse = [&]() {
    ConditionSetup cond = engine.conditionSetup(false);
    cond.digitalGain = 1;
    std::copy(playBuf.begin(), playBuf.end(), samples + s.carrySamples);
    spec.ConditionBlock(s.carrySamples, block * outChannels, cond);
    display.readBlockSwitches();
    engine.refreshZoomMode();
    display.setMarkOrigin(blockFrame - carry);
    if (s.stereo)
      display.stereoColumns(0, run.columnsPerBlock, run);
    else
      display.monoColumns(0, run.columnsPerBlock, run);
    if (s.carrySamples > 0)
      std::memmove(samples, samples + static_cast<size_t>(block) * outChannels,
                   static_cast<size_t>(s.carrySamples) * sizeof(int16_t));
  };

  while (!fileEnded) {
    bool anyDone = false;
    for (int i = 0; i < 2 && !fileEnded; ++i) {
      WaveBuffer& b = bufs[static_cast<size_t>(i)];
      if (b.done.load(std::memory_order_acquire)) {
        anyDone = true;
        busy[i] = false;
        if (s.frame >= s.reader.frames() && !advance()) {
          fileEnded = true;
          break;
        }
        readBlock();
        v.DigitalGain = gainBox ? static_cast<int>(roundEven(gainBox->number())) : 1;
        if (v.DigitalGain > 1)
          for (auto& x : playBuf) x = saturate(static_cast<long long>(x) * v.DigitalGain);
        std::copy(playBuf.begin(), playBuf.end(), b.data.begin());
        out->write(b);

        const double now = nowSeconds(p);
        const std::string ms = strNum(roundEven((now - passStart) * 1000));
        show(label6, ms);
        show(label27, ms);
        const double seconds = static_cast<double>(s.frame) / std::max(1, info.SampleRate) * v.TapeSpeed;
        v.FileTime = formatDuration(seconds);
        show(label3, v.FileTime);
        if (timeTag)
          if (auto start = fileStartTime(v.CurrentFile, timeTag->text()))
            show(label5, "Daytime: " + formatDuration(ParseDuration(*start) + seconds));
        if (ddeBox && ddeBox->checked() && hooks.sendFileInfo) {
          message.assign(v.CurrentFile).append(", ").append(v.FileTime);
          hooks.sendFileInfo(message);
        }
        analyse();
      } else {
        busy[i] = true;
      }
      const int nBusy = int(busy[0]) + int(busy[1]);
      maxBusy = std::max(maxBusy, nBusy);
      show(label20, std::to_string(nBusy));
      show(label21, std::to_string(maxBusy));
      if (nBusy == 0) p.appendStatus("E");
    }
    if (fileEnded) break;
    passStart = nowSeconds(p);
    p.pumpEvents();
    if (pauseBox && pauseBox->checked()) {
      p.appendStatus("P");
      while (pauseBox->checked() && !v.StopFlag) {
        p.pumpEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }
    if (v.StopFlag) break;
    // The device needs a while to drain a block: do not spin flat out.
    if (!anyDone) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  s.reader.close();
  // At the end of the file, let the block still queued play out rather than
  // cutting the last moments of the recording off; a Stop abandons it.
  if (fileEnded) {
    while (!v.StopFlag && std::any_of(bufs.begin(), bufs.end(), [](const WaveBuffer& b) { return b.queued.load(); })) {
      p.pumpEvents();
      if (std::any_of(bufs.begin(), bufs.end(), [](const WaveBuffer& b) { return b.queued.load(); }))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  out->reset();
  out->close();
  display.end();
  engine.endRun();
  finish();
}

void installPlayback(Program& p) {
  Form& f = p.form1();
  if (Control* c = f.find("GoToS")) c->on(Event::Click, [&p] { GoToS_Click(p); });
  if (Control* c = f.find("Text4"))
    c->on(Event::Change, [&p] {
      if (Control* pause = p.form1().find("PauseButton")) pause->setValue(1);
    });
}

}  // namespace qv
