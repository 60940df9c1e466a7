// Which stored files the program reads, recognised by extension, and what is
// taken from each format's header.
#pragma once

#include <cstdint>
#include <string>

#include "files/wav_format.h"

namespace qv {

class Forms;

// Format codes of the current file (0: no usable file).
enum FileTypeCode : int {
  kFileNone = 0,
  kFileWav = 1,
  kFileMxx = 2,
  kFileSxx = 3,
  kFileDap = 4,
  kFileRaw = 5,   // .bin, .raw
  kFileExt = 6,
  kFileKay = 7,
  kFileEars = 9,  // .001 to .004
};

// The three raw-file fields of the advanced settings panel, read as numbers.
struct RawFileSettings {
  int headerSkip = 0;       // txtHeaderSkip
  int rawSampleRate = 5000; // txtRawSampleRate
  int scale32 = 8192;       // textScale32Bit
};
RawFileSettings rawFileSettings(Forms& forms);

// The current file's description. Positions are byte positions as the file
// loops count them: a sample frame takes 2 bytes per channel (4 for EXT), so
// that HeaderSize + frames x 2 x channels is the end of the samples whatever
// the stored width; for 16-bit files that is the position in the file.
// Fields a format does not set keep the value they had.
struct FileInfo {
  int FileType = kFileNone;
  int64_t HeaderSize = 0;
  int channels = 1;
  int SampleRate = 0;
  int64_t FileSize = 0;

  // How to read the samples (set for every format that opens).
  SampleCoding coding = SampleCoding::Int16;
  int64_t firstSample = 0;  // byte offset in the file
  int64_t sampleEnd = 0;    // end of the sample bytes in the file
  int64_t frames = 0;       // whole sample frames
  int scale32 = 8192;       // EXT divisor
  // WAV only.
  WavLayout wav;
  bool headerNeedsRepair = false;  // RIFF size field below 256: never completed
};

struct FileCheck {
  bool ok = false;
  std::string message;  // shown to the operator when !ok
};

// Upper-cased last three characters of a path.
std::string fileExtension(const std::string& path);

// Measures a file by its extension into `info`. On failure FileType and
// HeaderSize are 0 and `message` tells the operator why; the other fields are
// left as they were. Called when a file is opened and again at the start of
// every file loop, so a file that grew meanwhile is re-measured.
FileCheck GetFileInfo(const std::string& path, const RawFileSettings& raw, FileInfo& info);

// Seconds of audio before a loop position: 2 bytes per sample and channel (4
// for EXT); EARS positions count record headers too, so they are scaled by
// 500/512.
double positionSeconds(const FileInfo& info, int64_t position);

// The same from any byte source, for a file of extension `ext` (upper case);
// the path only goes into messages. No byte is written.
FileCheck describeFile(const ByteSource& src, const std::string& path, const std::string& ext,
                       const RawFileSettings& raw, FileInfo& info);
bool knownExtension(const std::string& ext);

// Channel count, rate, block align, bits and RIFF size of a WAV file, taken
// from its "fmt " chunk wherever it stands. False when the file cannot be
// read as WAV (error in `why`).
struct WavHeaderInfo {
  int channels = 0;
  int sampleRate = 0;
  int blockAlign = 0;
  int bitsPerSample = 0;
  int32_t riffSize = 0;
};
bool ReadWavHeader(const std::string& path, WavHeaderInfo& out, std::string* why = nullptr);

// Sample rate (leading number of the rate field) of an M or DAP file. Rewrites
// a plain sample count above 999999 as a kilo count ("2929k ") in place when
// the file is writable.
struct MxxHeader {
  int sampleRate = 0;
  int64_t fileSize = 0;  // file length - 256
  std::string countField;  // the 6-byte count field after any rewrite
};
bool ReadMxxHeader(const std::string& path, MxxHeader& out);
// The count field rewritten for n samples, or empty when it stays as it is.
std::string kiloCountField(const std::string& field, int64_t samples);

// KAY sampling rate: mantissa x 10^exponent, rounded; 0 when out of range.
int kaySampleRate(int16_t exponent, int16_t mantissa);

// "Check .ext file": peak absolute 32-bit value of the whole file and the
// suggested divisor 2^(round(log2(peak / 32768)) + 1), never below 1.
struct ExtPeak {
  bool ok = false;
  int64_t peak = 0;
  int64_t divisor = 1;
};
ExtPeak scanExtFile(const ByteSource& src);
int64_t extDivisorForPeak(int64_t peak);

}  // namespace qv
