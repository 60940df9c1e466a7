#include "files/file_info.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "core/control.h"
#include "core/form.h"

namespace qv {

namespace {

constexpr int64_t kMaxFileRate = 10'000'000;

bool validRate(int64_t r) { return r >= 1 && r <= kMaxFileRate; }

int clampInt(long long v) { return static_cast<int>(std::clamp<long long>(v, -2147483647LL - 1, 2147483647LL)); }

std::string cannotOpen(const std::string& path, const std::string& why) {
  return "Cannot open " + path + ": " + why;
}

// Sets the reading description of a headered 16-bit file.
void set16(FileInfo& info, int64_t first, int64_t length, int channels) {
  info.coding = SampleCoding::Int16;
  info.firstSample = first;
  info.sampleEnd = length;
  info.frames = length > first ? (length - first) / (2 * channels) : 0;
}

}  // namespace

RawFileSettings rawFileSettings(Forms& forms) {
  Form& o = forms.options1();
  RawFileSettings r;
  r.headerSkip = o["txtHeaderSkip"].intNumber();
  r.rawSampleRate = o["txtRawSampleRate"].intNumber();
  r.scale32 = o["textScale32Bit"].intNumber();
  return r;
}

std::string fileExtension(const std::string& path) {
  std::string e = path.size() >= 3 ? path.substr(path.size() - 3) : path;
  for (char& c : e) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return e;
}

std::string kiloCountField(const std::string& field, int64_t samples) {
  if (field.find('k') != std::string::npos || samples <= 999999) return {};
  std::string t = std::to_string(samples / 1024) + "k     ";
  return t.substr(0, 6);
}

bool ReadMxxHeader(const std::string& path, MxxHeader& out) {
  FileByteSource f;
  bool writable = f.open(path, true);
  if (!writable && !f.open(path)) return false;
  uint8_t h[256] = {};
  f.readAt(0, h, sizeof h);
  int64_t len = f.size();
  std::string rate(reinterpret_cast<char*>(h + 18), 6);
  out.sampleRate = clampInt(roundEven(leadingNumber(rate)));
  out.fileSize = len - 256;
  out.countField.assign(reinterpret_cast<char*>(h + 26), 6);
  std::string k = kiloCountField(out.countField, out.fileSize / 2);
  if (!k.empty() && writable && f.writeAt(26, k.data(), 6)) out.countField = k;
  return true;
}

int kaySampleRate(int16_t exponent, int16_t mantissa) {
  double v = mantissa * std::pow(10.0, exponent);
  long long r = roundEven(v);
  if (r < 1 || r > 2147483647LL) return 0;
  return static_cast<int>(r);
}

bool ReadWavHeader(const std::string& path, WavHeaderInfo& out, std::string* why) {
  FileByteSource f;
  if (!f.open(path)) {
    if (why) *why = "the file cannot be opened";
    return false;
  }
  WavParse p = parseWav(f);
  if (!p.ok) {
    if (why) *why = p.error;
    return false;
  }
  out.channels = p.layout.channels;
  out.sampleRate = p.layout.sampleRate;
  out.blockAlign = p.layout.blockAlign;
  out.bitsPerSample = p.layout.bitsPerSample;
  out.riffSize = p.layout.riffSize;
  return true;
}

namespace {
const char* const kMxx[] = {"M08", "M09", "M11", "M16", "M22", "M32", "M44", "M48"};
const char* const kSxx[] = {"S08", "S09", "S11", "S16", "S22", "S32", "S44", "S48"};
bool inList(const std::string& ext, const char* const* list) {
  for (int i = 0; i < 8; ++i)
    if (ext == list[i]) return true;
  return false;
}
}  // namespace

bool knownExtension(const std::string& ext) {
  return ext == "WAV" || inList(ext, kMxx) || inList(ext, kSxx) || ext == "DAP" || ext == "BIN" || ext == "RAW" ||
         ext == "EXT" || ext == "KAY" || ext == "001" || ext == "002" || ext == "003" || ext == "004";
}

FileCheck GetFileInfo(const std::string& path, const RawFileSettings& raw, FileInfo& info) {
  info.FileType = kFileNone;
  info.HeaderSize = 0;
  info.headerNeedsRepair = false;
  FileCheck res;
  std::string ext = fileExtension(path);
  if (!knownExtension(ext)) {
    res.message = "Unknown File Extension (" + path + " > " + ext + ")";
    return res;
  }
  if (inList(ext, kMxx) || ext == "DAP") {
    MxxHeader h;
    if (fileLength(path) >= 256) ReadMxxHeader(path, h);  // the kilo-count rewrite
  }
  FileByteSource f;
  if (!f.open(path)) {
    res.message = "Cannot open " + path;
    return res;
  }
  return describeFile(f, path, ext, raw, info);
}

FileCheck describeFile(const ByteSource& f, const std::string& path, const std::string& ext,
                       const RawFileSettings& raw, FileInfo& info) {
  FileCheck res;
  info.FileType = kFileNone;
  info.HeaderSize = 0;
  info.headerNeedsRepair = false;
  auto in = [&](const char* const* list) { return inList(ext, list); };
  if (!knownExtension(ext)) {
    res.message = "Unknown File Extension (" + path + " > " + ext + ")";
    return res;
  }
  const int64_t len = f.size();
  FileInfo n = info;  // filled, then committed only when the file is usable
  n.scale32 = raw.scale32;

  if (ext == "WAV") {
    WavParse p = parseWav(f);
    if (!p.ok) {
      res.message = cannotOpen(path, p.error);
      return res;
    }
    const WavLayout& w = p.layout;
    if (!validRate(w.sampleRate)) {
      res.message = cannotOpen(path, "the WAV header gives no valid sampling rate");
      return res;
    }
    n.FileType = kFileWav;
    n.wav = w;
    n.HeaderSize = w.firstSample;
    n.channels = w.channels;
    n.SampleRate = w.sampleRate;
    n.coding = w.coding;
    n.firstSample = w.firstSample;
    n.sampleEnd = w.dataEnd;
    n.frames = w.frames;
    n.FileSize = w.firstSample + w.frames * 2 * w.channels;
    n.headerNeedsRepair = static_cast<uint32_t>(w.riffSize) < 256;
  } else if (in(kMxx) || ext == "DAP") {
    if (len < 256) {
      res.message = cannotOpen(path, "the file is shorter than its 256-byte header");
      return res;
    }
    uint8_t rateField[6];
    f.readAt(18, rateField, 6);
    MxxHeader h;
    h.sampleRate = clampInt(roundEven(leadingNumber(std::string(reinterpret_cast<char*>(rateField), 6))));
    h.fileSize = len - 256;
    if (!validRate(h.sampleRate)) {
      res.message = cannotOpen(path, "the header gives no valid sampling rate");
      return res;
    }
    n.FileType = ext == "DAP" ? kFileDap : kFileMxx;
    n.HeaderSize = 256;
    n.SampleRate = h.sampleRate;
    n.channels = 1;
    n.FileSize = h.fileSize;
    set16(n, 256, len, 1);
  } else if (in(kSxx)) {
    if (len < 256) {
      res.message = cannotOpen(path, "the file is shorter than its 256-byte header");
      return res;
    }
    // The header is not read: rate and channels stay those of the last file.
    // The end is the file's own, never the last file's.
    if (n.channels < 1) n.channels = 1;
    if (!validRate(n.SampleRate)) {
      res.message = cannotOpen(path, "no sampling rate is known for this file");
      return res;
    }
    n.FileType = kFileSxx;
    n.HeaderSize = 256;
    n.FileSize = len;
    set16(n, 256, len, n.channels);
  } else if (ext == "BIN" || ext == "RAW" || ext == "EXT") {
    if (!validRate(raw.rawSampleRate)) {
      res.message = cannotOpen(path, "set a valid \"Sample rate for .bin and .ext\" first");
      return res;
    }
    n.SampleRate = raw.rawSampleRate;
    n.channels = 1;
    n.FileSize = len;
    if (ext == "EXT") {
      if (raw.headerSkip < 0) {
        res.message = cannotOpen(path, "\"Heading bytes to skip\" is negative");
        return res;
      }
      if (raw.scale32 == 0) {
        res.message = cannotOpen(path, "\"Scale 32bit to 16bit by\" is 0");
        return res;
      }
      n.FileType = kFileExt;
      n.HeaderSize = raw.headerSkip;
      n.coding = SampleCoding::Int32Ext;
      n.firstSample = raw.headerSkip;
      n.sampleEnd = len;
      n.frames = len > raw.headerSkip ? (len - raw.headerSkip) / 4 : 0;
    } else {
      n.FileType = kFileRaw;
      n.HeaderSize = 0;
      set16(n, 0, len, 1);
    }
  } else if (ext == "KAY") {
    if (len < 512) {
      res.message = cannotOpen(path, "the file is shorter than its 512-byte header");
      return res;
    }
    uint8_t b[4];
    f.readAt(120, b, 4);
    int rate = kaySampleRate(static_cast<int16_t>(le16(b)), static_cast<int16_t>(le16(b + 2)));
    if (!validRate(rate)) {
      res.message = cannotOpen(path, "the header gives no valid sampling rate");
      return res;
    }
    n.FileType = kFileKay;
    n.HeaderSize = 512;
    n.FileSize = len;
    n.SampleRate = rate;
    n.channels = 1;
    set16(n, 512, len, 1);
  } else {  // EARS 001..004
    n.FileType = kFileEars;
    n.HeaderSize = 0;
    n.channels = 1;
    n.SampleRate = 25000;
    n.FileSize = len;
    n.coding = SampleCoding::Int16BE;
    n.firstSample = 0;
    n.sampleEnd = len;
    int64_t rest = len % 512 - 12;
    n.frames = (len / 512) * 250 + (rest > 0 ? std::min<int64_t>(rest, 500) / 2 : 0);
  }
  info = n;
  res.ok = true;
  return res;
}

double positionSeconds(const FileInfo& info, int64_t position) {
  if (info.SampleRate <= 0) return 0;
  double perFrame = info.FileType == kFileExt ? 4.0 : 2.0 * std::max(1, info.channels);
  double s = static_cast<double>(position - info.HeaderSize) / (info.SampleRate * perFrame);
  return info.FileType == kFileEars ? s * 500.0 / 512.0 : s;
}

int64_t extDivisorForPeak(int64_t peak) {
  if (peak <= 0) return 1;
  double e = std::log(static_cast<double>(peak) / 32768.0) / std::log(2.0);
  double d = std::pow(2.0, static_cast<double>(roundEven(e) + 1));
  return d < 1 ? 1 : static_cast<int64_t>(d);
}

ExtPeak scanExtFile(const ByteSource& src) {
  ExtPeak r;
  uint8_t buf[256 * 4];
  int64_t len = src.size();
  for (int64_t pos = 0; pos < len; pos += sizeof buf) {
    size_t got = src.readAt(pos, buf, sizeof buf);
    for (size_t i = 0; i + 4 <= got; i += 4) {
      int64_t v = static_cast<int32_t>(le32(buf + i));
      if (v < 0) v = -v;
      if (v > r.peak) r.peak = v;
    }
    if (got < sizeof buf) break;
  }
  r.divisor = extDivisorForPeak(r.peak);
  r.ok = true;
  return r;
}

}  // namespace qv
