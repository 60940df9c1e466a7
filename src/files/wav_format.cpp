#include "files/wav_format.h"

#include <algorithm>
#include <cstring>

namespace qv {

namespace {

bool tagIs(const uint8_t* p, const char* tag) { return std::memcmp(p, tag, 4) == 0; }

// Tail shared by every standard sub-format GUID (after the 2-byte tag and 2 zero bytes).
constexpr uint8_t kGuidTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

constexpr int kMaxChannels = 64;
constexpr int kMaxChunks = 100000;

}  // namespace

RawWavHeader decodeRawWavHeader(const uint8_t* bytes, size_t n) {
  uint8_t b[44] = {};
  std::memcpy(b, bytes, n < 44 ? n : 44);
  RawWavHeader h;
  std::memcpy(h.riffTag, b, 4);
  h.riffSize = static_cast<int32_t>(le32(b + 4));
  std::memcpy(h.waveTag, b + 8, 8);
  h.fmtSize = static_cast<int32_t>(le32(b + 16));
  h.formatTag = static_cast<int16_t>(le16(b + 20));
  h.channels = static_cast<int16_t>(le16(b + 22));
  h.sampleRate = static_cast<int32_t>(le32(b + 24));
  h.byteRate = static_cast<int32_t>(le32(b + 28));
  h.blockAlign = static_cast<int16_t>(le16(b + 32));
  h.bitsPerSample = static_cast<int16_t>(le16(b + 34));
  std::memcpy(h.dataTag, b + 36, 4);
  h.dataSize = static_cast<int32_t>(le32(b + 40));
  return h;
}

int bytesPerSample(SampleCoding c) {
  switch (c) {
    case SampleCoding::UInt8: return 1;
    case SampleCoding::Int16:
    case SampleCoding::Int16BE: return 2;
    case SampleCoding::Int24: return 3;
    case SampleCoding::Int32:
    case SampleCoding::Float32:
    case SampleCoding::Int32Ext: return 4;
    case SampleCoding::Float64: return 8;
  }
  return 2;
}

WavParse parseWav(const ByteSource& src) {
  WavParse r;
  WavLayout& w = r.layout;
  w.fileLength = src.size();
  uint8_t head[12];
  if (src.readAt(0, head, 12) < 12) {
    r.error = "the file is too short for a WAV header";
    return r;
  }
  // RF64 and BW64 are RIFF with 64-bit sizes in a "ds64" chunk (files of 4 GB and more).
  const bool wide = tagIs(head, "RF64") || tagIs(head, "BW64");
  if (!(tagIs(head, "RIFF") || wide) || !tagIs(head + 8, "WAVE")) {
    r.error = "not a RIFF WAVE file";
    return r;
  }
  w.riffSize = static_cast<int32_t>(le32(head + 4));

  // The RIFF size is not trusted (this program's own provisional headers hold
  // 0 there), so the walk goes to the end of the file.
  uint8_t fmt[40] = {};
  uint32_t fmtSize = 0;
  int64_t pos = 12;
  bool cutInFmt = false;
  uint64_t dataSize64 = 0;
  bool haveDs64 = false;
  for (int n = 0; n < kMaxChunks && pos + 8 <= w.fileLength; ++n) {
    uint8_t ch[8];
    if (src.readAt(pos, ch, 8) < 8) break;
    uint32_t size = le32(ch + 4);
    if (wide && tagIs(ch, "ds64") && !haveDs64 && size >= 16) {
      uint8_t ds[16];
      if (src.readAt(pos + 8, ds, 16) == 16) {
        dataSize64 = static_cast<uint64_t>(le32(ds + 8)) | (static_cast<uint64_t>(le32(ds + 12)) << 32);
        haveDs64 = true;
      }
    } else if (tagIs(ch, "fmt ") && w.fmtOffset < 0) {
      w.fmtOffset = pos;
      fmtSize = size;
      size_t want = size < sizeof fmt ? size : sizeof fmt;
      if (size < 16 || src.readAt(pos + 8, fmt, want) < want) cutInFmt = true;
    } else if (tagIs(ch, "data") && w.dataChunkOffset < 0) {
      w.dataChunkOffset = pos;
      w.dataSizeField = size;
      if (w.fmtOffset >= 0) break;
    }
    pos += 8 + static_cast<int64_t>(size) + (size & 1);
  }
  if (w.fmtOffset < 0 || cutInFmt) {
    r.error = "the WAV header is cut off or damaged (no complete \"fmt \" chunk)";
    return r;
  }
  if (w.dataChunkOffset < 0) {
    r.error = "the WAV file has no \"data\" chunk";
    return r;
  }

  w.formatTag = le16(fmt);
  w.channels = le16(fmt + 2);
  w.sampleRate = static_cast<int>(le32(fmt + 4) & 0x7FFFFFFF);
  w.byteRate = static_cast<int>(le32(fmt + 8) & 0x7FFFFFFF);
  int align = le16(fmt + 12);
  w.bitsPerSample = le16(fmt + 14);
  w.effectiveTag = w.formatTag;
  if (w.formatTag == kWaveExtensible) {
    if (fmtSize < 40 || le16(fmt + 16) < 22) {
      r.error = "the extensible WAV format block is cut off";
      return r;
    }
    if (le16(fmt + 26) != 0 || std::memcmp(fmt + 28, kGuidTail, sizeof kGuidTail) != 0) {
      r.error = "the WAV file uses an unknown sample format";
      return r;
    }
    w.effectiveTag = le16(fmt + 24);
  }
  if (w.effectiveTag != kWavePcm && w.effectiveTag != kWaveFloat) {
    r.error = "the WAV file holds compressed audio (format " + std::to_string(w.effectiveTag) +
              "); only PCM and float samples can be read";
    return r;
  }
  if (w.channels < 1 || w.channels > kMaxChannels) {
    r.error = "the WAV header gives " + std::to_string(w.channels) + " channels";
    return r;
  }
  if (w.sampleRate < 1) {
    r.error = "the WAV header gives no sampling rate";
    return r;
  }
  // The container width is the block align per channel; writers disagree on
  // the bits field (12-bit in 16, 20-bit in 24), never on the container.
  int container = (align > 0 && align % w.channels == 0) ? align / w.channels : (w.bitsPerSample + 7) / 8;
  bool known = false;
  if (w.effectiveTag == kWavePcm) {
    known = true;
    switch (container) {
      case 1: w.coding = SampleCoding::UInt8; break;
      case 2: w.coding = SampleCoding::Int16; break;
      case 3: w.coding = SampleCoding::Int24; break;
      case 4: w.coding = SampleCoding::Int32; break;
      default: known = false;
    }
  } else {
    known = true;
    if (container == 4) w.coding = SampleCoding::Float32;
    else if (container == 8) w.coding = SampleCoding::Float64;
    else known = false;
  }
  if (!known || w.bitsPerSample > container * 8 || w.bitsPerSample < 1) {
    r.error = "the WAV file has " + std::to_string(w.bitsPerSample) + "-bit samples in " +
              std::to_string(align) + "-byte frames, which cannot be read";
    return r;
  }
  w.blockAlign = container * w.channels;

  int64_t body = w.dataChunkOffset + 8;
  if (body == 44) {
    // Bytes 44..47 are no sample in this program's files: skip the whole
    // frames that cover them, which is byte 48 for every 16-bit file.
    w.firstSample = 44 + ((4 + w.blockAlign - 1) / w.blockAlign) * w.blockAlign;
  } else {
    w.firstSample = body;
  }
  uint64_t dataSize = w.dataSizeField;
  if (haveDs64 && w.dataSizeField == 0xFFFFFFFFu) dataSize = dataSize64;
  int64_t end = static_cast<uint64_t>(w.fileLength - body) < dataSize ? w.fileLength
                                                                       : body + static_cast<int64_t>(dataSize);
  w.dataEnd = end;
  // A short "data" chunk at byte 44 with wide frames would otherwise put the
  // first sample past the end of the samples (or of the file).
  if (w.firstSample > end) w.firstSample = std::max<int64_t>(end, body);
  w.frames = end > w.firstSample ? (end - w.firstSample) / w.blockAlign : 0;
  r.ok = true;
  return r;
}

}  // namespace qv
