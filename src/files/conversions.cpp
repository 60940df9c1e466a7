#include "files/conversions.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "core/control.h"
#include "core/program.h"
#include "files/byte_source.h"
#include "files/file_info.h"
#include "files/guano.h"
#include "files/open_dialog.h"
#include "files/sample_reader.h"
#include "platform/dialogs.h"
#include "recording/wav_file.h"

namespace qv {

namespace {

std::string num(long long v) { return v < 0 ? std::to_string(v) : " " + std::to_string(v); }

// An output WAV being written: emptied on creation, samples appended from 48.
class WavOut {
 public:
  // An existing file of that name is kept: the output takes the next free suffix.
  bool create(std::string& path) {
    fd_ = createNewFile(path);
    path_ = path;
    if (fd_ < 0) return false;
    uint8_t zero[48] = {};
    length_ = 0;
    return put(zero, sizeof zero);
  }
  bool append(const int16_t* s, size_t n) {
    uint8_t b[4096];
    size_t done = 0;
    while (done < n) {
      size_t k = std::min(n - done, sizeof b / 2);
      for (size_t i = 0; i < k; ++i) putLe16(b + 2 * i, static_cast<uint16_t>(s[done + i]));
      if (!put(b, 2 * k)) return false;
      done += k;
    }
    return true;
  }
  // The header, with the metadata after the samples.
  bool finish(int channels, int rate, const GuanoRecord& meta) {
    if (fd_ < 0) return false;
    bool ok = finishWavFile(fd_, path_, length_, channels, rate, guanoText(meta), nullptr);
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    return ok;
  }
  ~WavOut() {
    if (fd_ >= 0) ::close(fd_);
  }

 private:
  bool put(const uint8_t* b, size_t n) {
    while (n > 0) {
      ssize_t w = ::write(fd_, b, n);
      if (w <= 0) return false;
      b += w;
      length_ += w;
      n -= static_cast<size_t>(w);
    }
    return true;
  }
  std::string path_;
  int fd_ = -1;
  int64_t length_ = 0;
};

// What an input WAV file says about itself, or nothing.
GuanoRecord inputGuano(const std::string& path) {
  FileByteSource f;
  if (!f.open(path)) return {};
  GuanoChunk c = readGuanoChunk(f);
  return c.found ? guanoRecordOf(parseGuanoText(c.text)) : GuanoRecord{};
}

// An output's metadata: the input's place, note and tape speed, its own rate
// and length, and the time of its first frame when the input's is known.
GuanoRecord outputGuano(const GuanoRecord& in, int rate, int64_t frames, int64_t firstInputFrame) {
  GuanoRecord out;
  out.sampleRate = rate;
  out.frames = frames;
  out.tapeSpeed = in.tapeSpeed;
  out.position = in.position;
  out.note = in.note;
  const int64_t end = firstInputFrame + frames;
  int64_t lostBefore = 0;
  for (const GuanoGap& g : in.gaps)
    if (g.frame <= firstInputFrame) lostBefore += g.lost;
  const int inRate = in.sampleRate > 0 ? in.sampleRate : rate;
  if (in.timestamp && inRate > 0)
    out.timestamp = plusSeconds(*in.timestamp, static_cast<double>(firstInputFrame + lostBefore) / inRate);
  if (in.gapsKnown) {
    out.gapsKnown = true;
    for (const GuanoGap& g : in.gaps)
      if (g.frame > firstInputFrame && g.frame < end) out.gaps.push_back({g.frame - firstInputFrame, g.lost});
  }
  return out;
}

ConversionResult failed(std::string msg) {
  ConversionResult r;
  r.message = std::move(msg);
  return r;
}

// Opens a WAV input through the format reader.
bool openWav(const std::string& path, FileInfo& info, SampleReader& reader, std::string& why) {
  FileCheck c = GetFileInfo(path, RawFileSettings{}, info);
  if (!c.ok) {
    why = c.message;
    return false;
  }
  if (info.FileType != kFileWav) {
    why = path + " is not a WAV file";
    return false;
  }
  if (!reader.open(path, info)) {
    why = "Cannot open " + path;
    return false;
  }
  return true;
}

// Splits `frames` interleaved frames of `ch` channels into ch mono outputs,
// `chunk` frames at a time, each chunk written whole.
template <class Read>
bool splitInto(std::vector<WavOut>& outs, int ch, int64_t totalFrames, size_t chunk, Read read) {
  std::vector<int16_t> in(chunk * static_cast<size_t>(ch));
  std::vector<int16_t> mono(chunk);
  for (int64_t f = 0; f < totalFrames; f += static_cast<int64_t>(chunk)) {
    std::fill(in.begin(), in.end(), 0);
    read(f, in.data(), chunk);
    for (int c = 0; c < ch; ++c) {
      for (size_t i = 0; i < chunk; ++i) mono[i] = in[i * static_cast<size_t>(ch) + static_cast<size_t>(c)];
      if (!outs[static_cast<size_t>(c)].append(mono.data(), chunk)) return false;
    }
  }
  return true;
}

}  // namespace

ConversionResult splitStereoFile(const std::string& path) {
  FileInfo info;
  SampleReader reader;
  std::string why;
  if (!openWav(path, info, reader, why)) return failed(why);
  if (info.channels != 2)
    return failed(path + " has" + num(info.channels) + " channel(s): only stereo files can be split");
  std::string base = withoutExtension(path);
  ConversionResult r;
  r.outputs = {base + " ch1.wav", base + " ch2.wav"};
  std::vector<WavOut> outs(2);
  for (size_t i = 0; i < 2; ++i)
    if (!outs[i].create(r.outputs[i])) return failed("Cannot create " + r.outputs[i]);
  bool ok = splitInto(outs, 2, reader.frames(), 512,
                      [&](int64_t f, int16_t* out, size_t n) { reader.readFrames(f, out, n); });
  const int64_t written = (reader.frames() + 511) / 512 * 512;
  const GuanoRecord meta = outputGuano(inputGuano(path), info.SampleRate, written, 0);
  for (size_t i = 0; i < 2; ++i) ok = outs[i].finish(1, info.SampleRate, meta) && ok;
  if (!ok) return failed("Cannot write " + r.outputs[0] + " or " + r.outputs[1]);
  r.ok = true;
  return r;
}

ConversionResult splitFourChannelFile(const std::string& path, int sampleRate) {
  if (sampleRate < 1) return failed("Invalid sampling rate: nothing was written");
  FileByteSource in;
  if (!in.open(path)) return failed("Cannot open " + path);
  std::string base = withoutExtension(path);
  ConversionResult r;
  std::vector<WavOut> outs(4);
  for (int i = 0; i < 4; ++i) {
    r.outputs.push_back(base + " ch" + std::to_string(i + 1) + ".wav");
    if (!outs[static_cast<size_t>(i)].create(r.outputs.back())) return failed("Cannot create " + r.outputs.back());
  }
  const int64_t len = in.size();
  const int64_t frames = (len + 7) / 8;  // a partial last frame still gives a chunk
  std::vector<uint8_t> bytes(256 * 8);
  bool ok = splitInto(outs, 4, frames, 256, [&](int64_t f, int16_t* out, size_t n) {
    size_t got = in.readAt(f * 8, bytes.data(), n * 8);
    decodeSamples(SampleCoding::Int16, bytes.data(), got / 2, out);
  });
  GuanoRecord meta;
  meta.sampleRate = sampleRate;
  meta.frames = (frames + 255) / 256 * 256;
  for (auto& o : outs) ok = o.finish(1, sampleRate, meta) && ok;
  if (!ok) return failed("Cannot write the outputs of " + path);
  r.ok = true;
  return r;
}

std::string cutFileName(const std::string& path, int startMinutes) {
  return withoutExtension(path) + " - cut" + num(startMinutes) + ".wav";
}

ConversionResult extractCut(const std::string& path, int startMinutes, int minutes) {
  if (startMinutes < 0 || minutes < 1)
    return failed("The start must be 0 or more and the duration at least 1 minute: nothing was written");
  FileInfo info;
  SampleReader reader;
  std::string why;
  if (!openWav(path, info, reader, why)) return failed(why);
  const int64_t rate = info.SampleRate;
  const int ch = info.channels;
  const int64_t first = static_cast<int64_t>(startMinutes) * 60 * rate;
  if (first >= reader.frames())
    return failed("The file ends before minute" + num(startMinutes) + ": nothing was written");
  ConversionResult r;
  r.outputs = {cutFileName(path, startMinutes)};
  WavOut out;
  if (!out.create(r.outputs[0])) return failed("Cannot create " + r.outputs[0]);
  // One-second chunks, copied in pieces of bounded size.
  const size_t piece = static_cast<size_t>(std::min<int64_t>(rate, 65536));
  std::vector<int16_t> buf(piece * static_cast<size_t>(ch));
  bool ok = true;
  const int64_t total = static_cast<int64_t>(minutes) * 60 * rate;
  for (int64_t done = 0; ok && done < total;) {
    size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(piece), total - done));
    size_t got = reader.readFrames(first + done, buf.data(), n);
    std::fill(buf.begin() + static_cast<std::ptrdiff_t>(got * static_cast<size_t>(ch)), buf.end(), 0);
    ok = out.append(buf.data(), n * static_cast<size_t>(ch));
    done += static_cast<int64_t>(n);
  }
  ok = out.finish(ch, static_cast<int>(rate), outputGuano(inputGuano(path), static_cast<int>(rate), total, first)) && ok;
  if (!ok) return failed("Cannot write " + r.outputs[0]);
  r.ok = true;
  return r;
}

void Split2chwav_Click(Program& p) {
  Dialogs* d = p.services().dialogs;
  std::string path = OpenFileDialog(p, p.options0()["DefPlayPathField"].text(), "wav");
  if (path.empty() || !d) return;
  ConversionResult r = splitStereoFile(path);
  if (!r.ok) d->message(r.message, "", MsgButtons::Ok, MsgIcon::Warning);
}

void Split4ch_Click(Program& p) {
  Dialogs* d = p.services().dialogs;
  std::string path = OpenFileDialog(p, p.options0()["DefPlayPathField"].text(), "bin");
  if (path.empty() || !d) return;
  std::string answer = d->input("Sampling rate for " + path, "", "");
  if (answer.empty()) return;
  long long rate = roundEven(leadingNumber(answer));
  if (rate < 1 || rate > 10'000'000) {
    d->message("Invalid sampling rate: " + answer, "", MsgButtons::Ok, MsgIcon::Warning);
    return;
  }
  ConversionResult r = splitFourChannelFile(path, static_cast<int>(rate));
  if (!r.ok) d->message(r.message, "", MsgButtons::Ok, MsgIcon::Warning);
}

void ExtractCut_Click(Program& p) {
  Dialogs* d = p.services().dialogs;
  std::string path = OpenFileDialog(p, p.options0()["DefPlayPathField"].text(), "wav");
  if (path.empty() || !d) return;
  FileInfo info;
  FileCheck c = GetFileInfo(path, RawFileSettings{}, info);
  if (!c.ok) {
    d->message(c.message, "", MsgButtons::Ok, MsgIcon::Warning);
    return;
  }
  std::string prompt = path + "\r\n" + num(info.SampleRate) + num(info.channels) + num(info.wav.riffSize) +
                       "\r\nStartPoint in minutes";
  std::string s = d->input(prompt, "", "");
  if (s.empty()) return;
  std::string m = d->input("Duration in minutes", "", "");
  if (m.empty()) return;
  auto minutes = [](const std::string& t) {
    return static_cast<int>(std::clamp<long long>(roundEven(leadingNumber(t)), -1000000, 1000000));
  };
  ConversionResult r = extractCut(path, minutes(s), minutes(m));
  if (!r.ok) d->message(r.message, "", MsgButtons::Ok, MsgIcon::Warning);
}

void CheckExtFile_Click(Program& p) {
  Dialogs* d = p.services().dialogs;
  std::string path = OpenFileDialog(p, p.options0()["DefPlayPathField"].text(), "ext");
  if (path.empty() || !d) return;
  FileByteSource f;
  if (!f.open(path)) {
    d->message("Cannot open " + path, "", MsgButtons::Ok, MsgIcon::Warning);
    return;
  }
  ExtPeak pk = scanExtFile(f);
  d->message(path + "\r\nOptimal conversion factor = " + num(pk.divisor), "", MsgButtons::Ok);
}

}  // namespace qv
