#include "files/file_loop.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "analysis/engine.h"
#include "analysis/text_format.h"
#include "core/program.h"
#include "files/byte_source.h"
#include "files/file_info.h"
#include "files/markers.h"
#include "files/sample_reader.h"
#include "platform/dialogs.h"
#include "platform/event_pump.h"
#include "platform/surface.h"
#include "realtime/palette.h"
#include "realtime/tracker.h"

namespace qv {

namespace {

constexpr Rgb kWhite = rgb(255, 255, 255);
constexpr Rgb kRed = rgb(255, 0, 0);
constexpr Rgb kBlack = rgb(0, 0, 0);
constexpr int kStripTop = 16;   // separator strip below the image
constexpr int kStripBottom = 96;
constexpr int kTextLinePx = 14;
// While the frame is current the loop only waits for the operator.
constexpr int kIdleWaitMs = 10;

const char* const kChanModes[] = {"M", "L", "R", "L+R", "L-R"};

void showMessage(Program& p, const std::string& text) {
  if (Dialogs* d = p.services().dialogs) d->message(text, "", MsgButtons::Ok);
}

// Fields a format does not set keep the values of the previous file.
FileInfo seedInfo(const PublicVars& v) {
  FileInfo i;
  i.SampleRate = v.SampleRate;
  i.channels = std::max(1, v.fchannels);
  i.FileSize = v.FileSize;
  return i;
}

}  // namespace

void reduceChannels(int mode, const int16_t* in, size_t frames, int channels, int16_t* out) {
  if (channels < 2 || mode == 0) {
    if (channels < 2) {
      std::memcpy(out, in, frames * sizeof(int16_t));
    } else {
      for (size_t i = 0; i < frames; ++i) out[i] = in[i * static_cast<size_t>(channels)];
    }
    return;
  }
  const size_t ch = static_cast<size_t>(channels);
  for (size_t i = 0; i < frames; ++i) {
    const int l = in[i * ch], r = in[i * ch + 1];
    switch (mode) {
      case 1: out[i] = static_cast<int16_t>(l); break;
      case 2: out[i] = static_cast<int16_t>(r); break;
      case 3: out[i] = static_cast<int16_t>(std::nearbyint(l / 2.0 + r / 2.0)); break;
      default: out[i] = static_cast<int16_t>(static_cast<uint16_t>(l - r)); break;
    }
  }
}

int firstColumnX(int fftSize, int scanStep) {
  return static_cast<int>(roundEven(1.0 - static_cast<double>(fftSize) / std::max(scanStep, 1)));
}

int64_t clampFramePosition(int64_t pos, int64_t headerSize, int64_t fileSize, int64_t fileStep) {
  if (pos < headerSize) pos = headerSize;
  if (fileSize - headerSize <= fileStep) return headerSize;
  if (pos > fileSize - fileStep) pos = fileSize - fileStep + 8192;
  return pos;
}

std::optional<std::string> fileStartTime(const std::string& path, const std::string& timeTag) {
  size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t p = timeTag.empty() ? std::string::npos : name.find(timeTag);
  if (p == std::string::npos) return std::nullopt;
  std::string hhmmss = p + 9 < name.size() ? name.substr(p + 9, 6) : std::string();
  std::string start = hhmmss.substr(0, std::min<size_t>(2, hhmmss.size()));
  if (hhmmss.size() > 2) start += ":" + hhmmss.substr(2, std::min<size_t>(2, hhmmss.size() - 2));
  if (hhmmss.size() > 4) start += ":" + hhmmss.substr(4);
  return start;
}

std::string daytimeStatus(const std::string& path, const std::string& timeTag, double specGramTimer) {
  const std::optional<std::string> start = fileStartTime(path, timeTag);
  if (!start) return "No timestamp";
  return "Daytime: File " + *start + "  Frame " + formatDuration(ParseDuration(*start) + specGramTimer);
}

MarkerLoad loadTestMarkers(Program& p, Surface* picture) {
  const std::string path = p.programFile("TEST.mrk");
  MarkerLoad markers;
  if (fileLength(path) < 0) return markers;
  markers = readMarkerFile(path);
  if (picture) {
    int y = 0;
    for (const Marker& m : markers.markers) {
      picture->text(0, y, strNum(m.id) + strNum(static_cast<double>(m.sampleIndex)) + " " + m.label, kBlack);
      y += kTextLinePx;
    }
  }
  if (Control* h = p.form1().find("HeadLine"))
    h->setText(strNum(static_cast<double>(markers.markers.size())) + " Markers");
  return markers;
}

void RunFileAnalysisLoop(Program& p, const FileLoopHooks& hooks) {
  PublicVars& v = p.vars();
  AnalysisEngine* eng = p.analysis();
  Form& f1 = p.form1();
  if (!eng) return;

  if (v.FileType == kFileEars) {
    showMessage(p, "For detailed file analysis convert EARS to WAV");
    return;
  }
  if (v.CurrentFile.empty() && hooks.openFileDialog) hooks.openFileDialog();
  if (v.CurrentFile.empty()) return;
  if (v.FilePos > 0 && v.FilePos == v.LastFilePos) return;

  // The file may have grown or changed since it was opened.
  FileInfo info = seedInfo(v);
  FileCheck check = GetFileInfo(v.CurrentFile, rawFileSettings(p.forms()), info);
  if (!check.ok) {
    showMessage(p, check.message);
    return;
  }
  if (info.FileType == kFileEars) {
    showMessage(p, "For detailed file analysis convert EARS to WAV");
    return;
  }
  SampleReader reader;
  if (!reader.open(v.CurrentFile, info)) {
    showMessage(p, "Cannot open " + v.CurrentFile);
    return;
  }
  v.FileType = info.FileType;
  v.HeaderSize = info.HeaderSize;
  v.fchannels = info.channels;
  v.SampleRate = info.SampleRate;
  v.FileSize = info.FileSize;
  f1["Combo2"].setText(std::to_string(info.SampleRate));

  // The picture: image rows, separator strip and waveform strip.
  Control& specPic = f1["SpecGram"];
  const Geometry& g = specPic.geometry();
  auto surface = ensureSurface(p, specPic, std::max(g.width, 1), std::max(g.height, v.specVsize + kStripBottom + 1));
  const int width = surface ? surface->width() : std::max(g.width, 1);

  // Settings of the run, as a live run derives them.
  const RunParams run = eng->beginRun(width);
  SpectrumEngine& spec = eng->spectrum();
  {
    // The file display is always in decibels.
    ColumnSetup s = spec.setup();
    if (s.zscale != 0) {
      s.zscale = 0;
      spec.beginRun(s);
    }
  }
  const int64_t overloadsBefore = spec.overloadCount;
  p.setStatus(eng->runTexts().statusLine);
  const int carry = run.carry;
  const int block = run.BlockSize;
  const int scan = run.ScanStep;
  const int rows = run.DisplayHeight;

  // Test markers, listed on the picture as they are read.
  const MarkerLoad markers = loadTestMarkers(p, surface.get());

  // Tracker; file analysis keeps no trigger log.
  FrequencyTracker tracker(p);
  tracker.start(LogRunInfo{LogNamePart(p, ""), v.SampleRate, v.FFTsize, scan});

  // Channel mode of a two-channel file.
  v.ChanMode = "M";
  int mode = 0;
  bool wasStereo = false;
  Form& o0 = p.options0();
  if (info.channels >= 2) {
    if (o0["OptionCS0"].checked()) {
      wasStereo = true;
      o0["OptionCS1"].setValue(1);
    }
    mode = 1;
    for (int i = 1; i <= 4; ++i)
      if (o0["OptionCS" + std::to_string(i)].checked()) mode = i;
    v.ChanMode = kChanModes[mode];
  }

  eng->UpdateForm();
  f1["Frame1"].setEnabled(true);
  if (Control* l = f1.find("Label4")) {
    l->setCaption(v.CurrentFile + strNum(static_cast<double>(roundEven(static_cast<double>(v.FileSize) / 1024.0))) +
                  "kb" + strNum(v.SampleRate) + "s/sec" + strNum(v.fchannels) + "ch (" + v.ChanMode + ")  Tot " +
                  formatDuration(positionSeconds(info, info.FileSize)) + strNum(16) + "bit");
  }
  if (Control* c = p.options2().find("SpecFormCheck"); c && c->checked()) p.forms().specForm().setShown(true);
  v.SpecGramTimer = 0;

  // EXT samples take 4 bytes each, so a frame does too.
  const int bytesPerSample = info.FileType == kFileExt ? 4 : 2;
  if (v.FilePos == 0) v.FilePos = info.HeaderSize;
  v.FileStep = std::max<int64_t>(static_cast<int64_t>(width) * scan * bytesPerSample * info.channels,
                                 32LL * info.channels);
  v.LastFilePos = 0;
  v.StopFlag = false;

  std::vector<int16_t> readBuf(static_cast<size_t>(block) * static_cast<size_t>(info.channels));
  int16_t* const samples = spec.samples();
  const std::string& timeTag = o0["TimeTag"].text();
  Control* label3 = f1.find("Label3");
  Control& trackerBox = f1["Check2"];
  Control& ddeBox = o0["CheckDDEsend"];
  char noDay[] = "----";
  int64_t textPos = -1;
  std::string dayText;
  const int stripTop = v.specVsize;

  do {
    // Position, elapsed time and daytime of the frame.
    v.FilePos = clampFramePosition(v.FilePos, info.HeaderSize, v.FileSize, v.FileStep);
    v.SpecGramTimer = positionSeconds(info, v.FilePos) * v.TapeSpeed;
    if (v.FilePos != textPos) {
      textPos = v.FilePos;
      v.FileTime = formatDuration(v.SpecGramTimer);
      if (label3) label3->setCaption(v.FileTime);
      dayText = daytimeStatus(v.CurrentFile, timeTag, v.SpecGramTimer);
      if (markers.truncated()) dayText += "  " + markers.notice();
      p.setStatus(dayText);
    }
    if (ddeBox.checked() && v.FilePos != v.LastFilePos && hooks.sendFileInfo)
      hooks.sendFileInfo(v.CurrentFile + ", " + v.FileTime);

    // A new frame, drawn without yielding.
    bool drawn = false;
    if (v.FilePos != v.LastFilePos) {
      drawn = true;
      const int64_t firstFrame = reader.frameAt(v.FilePos);
      int64_t next = firstFrame;
      v.ColumnX = firstColumnX(v.FFTsize, scan);
      v.LastFilePos = v.FilePos;
      std::fill(samples, samples + carry, int16_t{0});
      const double frameSeconds = static_cast<double>(firstFrame) / std::max(v.SampleRate, 1);
      while (next < reader.frames() && v.ColumnX <= width && !v.StopFlag) {
        size_t got = reader.readFrames(next, readBuf.data(), static_cast<size_t>(block));
        if (got == 0) break;
        next += static_cast<int64_t>(got);
        reduceChannels(mode, readBuf.data(), got, info.channels, samples + carry);
        // A short read at the end leaves silence behind the last sample.
        std::fill(samples + carry + got, samples + carry + block, int16_t{0});
        eng->ConditionBlock(carry, block, eng->conditionSetup(false));
        const bool trackOn = trackerBox.checked() && rows > 0;
        eng->refreshZoomMode();

        const int64_t framesRead = next - firstFrame;
        for (int k = 0; k < run.columnsPerBlock; ++k) {
          // Past the end of the file there is nothing to show: white follows.
          if (got < static_cast<size_t>(block) && static_cast<int64_t>(v.ColumnX) * scan >= framesRead) break;
          const ColumnResult& r = spec.ComputeSpectrumColumn(k * scan, v);
          const int x = v.ColumnX;
          if (surface && x >= 0 && x < width) {
            if (r.hasSpectrum) paintColumn(eng->palette(), spec.column(), rows, *surface, x);
            if (trackOn) {
              ColumnView c;
              c.P = spec.column();
              c.rows = rows;
              c.peakToPeak = r.peakToPeak;
              c.ColumnCount = roundEven(static_cast<double>(firstFrame) / scan + x);
              c.ColumnX = x;
              c.x = x;
              c.PixelHz = v.PixelHz;
              c.ZoomBase = v.ZoomBase;
              c.ColumnTimeMs = run.ColumnTimeMs;
              c.Darkness = v.Darkness;
              c.dayText = noDay;
              c.relativeSeconds = run.ColumnTimeMs * x / 1000.0 + frameSeconds;
              tracker.TrackColumn(c, surface.get());
            }
            surface->line(x, stripTop, x, stripTop + kStripTop, inactiveBorder());
            surface->line(x, stripTop + kStripTop, x, stripTop + kStripBottom, kWhite);
            surface->line(x, stripTop + kStripTop + r.barMax, x, stripTop + kStripTop + r.barMin,
                          r.waveColour ? kRed : kBlack);
          }
          ++v.ColumnX;
        }

        if (surface && !markers.markers.empty()) {
          const int64_t span = static_cast<int64_t>(width) * scan;
          for (const Marker& m : markers.markers) {
            if (m.sampleIndex < firstFrame || m.sampleIndex > firstFrame + span) continue;
            int mx = static_cast<int>(roundEven(static_cast<double>(m.sampleIndex - firstFrame) / scan));
            surface->line(mx, stripTop, mx, stripTop + kStripBottom, kRed);
            surface->text(mx + 2, stripTop + kStripTop + 2, m.label, kRed);
          }
        }
        if (carry > 0) std::memmove(samples, samples + block, static_cast<size_t>(carry) * sizeof(int16_t));
      }
      // The file ended inside the frame.
      if (surface && v.ColumnX < width) {
        const int from = std::max(v.ColumnX, 0);
        surface->fillBox(from, 0, width - 1, stripTop - 1, kWhite);
        surface->fillBox(from, stripTop + kStripTop, width - 1, stripTop + kStripBottom, kWhite);
      }
    }

    // The only place where the loop yields.
    if (drawn) p.pumpEvents();
    else p.pumpEventsFor(kIdleWaitMs);
  } while (!v.StopFlag);

  reader.close();
  if (wasStereo) o0["OptionCS0"].setValue(1);
  tracker.finish();
  spec.overloadCount = overloadsBefore;
  eng->endRun();
}

}  // namespace qv
