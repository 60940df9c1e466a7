// WAV files as they are found on disk: the fixed 44-byte header this program
// writes, and RIFF files from other recorders whose "fmt " and "data" chunks
// may stand anywhere behind other chunks.
#pragma once

#include <cstdint>
#include <string>

#include "files/byte_source.h"

namespace qv {

// The 44 header bytes read at their fixed offsets, nothing checked.
struct RawWavHeader {
  char riffTag[4] = {};
  int32_t riffSize = 0;
  char waveTag[8] = {};
  int32_t fmtSize = 0;
  int16_t formatTag = 0;
  int16_t channels = 0;
  int32_t sampleRate = 0;
  int32_t byteRate = 0;
  int16_t blockAlign = 0;
  int16_t bitsPerSample = 0;
  char dataTag[4] = {};
  int32_t dataSize = 0;
};
// Fills the fields from up to 44 bytes; missing bytes read as zero.
RawWavHeader decodeRawWavHeader(const uint8_t* bytes, size_t n);

// How samples are stored; every kind is delivered as 16-bit samples.
enum class SampleCoding {
  UInt8,       // WAV 8-bit, offset binary
  Int16,       // little-endian
  Int24,       // little-endian, packed
  Int32,       // little-endian
  Float32,     // IEEE, full scale +-1.0
  Float64,
  Int16BE,     // EARS records
  Int32Ext,    // EXT: 32-bit divided by the operator's divisor
};
int bytesPerSample(SampleCoding c);

constexpr uint16_t kWavePcm = 1;
constexpr uint16_t kWaveFloat = 3;
constexpr uint16_t kWaveExtensible = 0xFFFE;

// What the chunk walk found.
struct WavLayout {
  uint16_t formatTag = 0;      // as stored (1, 3, 0xFFFE, ...)
  uint16_t effectiveTag = 0;   // the sub-format for extensible files
  int channels = 0;
  int sampleRate = 0;
  int byteRate = 0;
  int blockAlign = 0;          // bytes per frame actually used for reading
  int bitsPerSample = 0;
  SampleCoding coding = SampleCoding::Int16;
  int32_t riffSize = 0;        // bytes 4..7 as stored
  int64_t fmtOffset = -1;      // offset of the "fmt " chunk tag
  int64_t dataChunkOffset = -1;  // offset of the "data" chunk tag
  uint32_t dataSizeField = 0;  // the data chunk's size as stored
  int64_t firstSample = 0;     // byte offset of the first frame
  int64_t dataEnd = 0;         // end of the samples, never beyond the file
  int64_t frames = 0;          // whole frames between firstSample and dataEnd
  int64_t fileLength = 0;
};

struct WavParse {
  bool ok = false;
  std::string error;  // why the file cannot be read (without the path)
  WavLayout layout;
};

// Walks the chunks of a RIFF WAVE file. A "data" chunk whose body starts at
// byte 44 (the layout this program writes) keeps its first frame at byte 48,
// as every file of the system has it; samples end at the end of the "data"
// chunk or at the end of the file, whichever comes first.
WavParse parseWav(const ByteSource& src);

}  // namespace qv
