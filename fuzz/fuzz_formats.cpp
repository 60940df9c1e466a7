// Every other stored format: the first byte picks the extension and the raw
// settings, the rest is the file.
#include <cstdint>
#include <string>

#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kExt[] = {"M08", "M16", "M48", "DAP", "S16", "S44", "BIN", "RAW",
                                     "EXT", "KAY", "001", "002", "003", "004", "XYZ", "WAV"};
  if (size < 3) return 0;
  std::string ext = kExt[data[0] & 15];
  qv::RawFileSettings raw;
  raw.headerSkip = (data[1] & 0x80) ? -static_cast<int>(data[1] & 0x7F) : data[1];
  raw.scale32 = static_cast<int8_t>(data[2]) * 1024;
  raw.rawSampleRate = (data[0] >> 4) * 1000;
  qv::MemoryByteSource src(data + 3, size - 3);
  qv::FileInfo fi;
  fi.SampleRate = (data[0] & 0x80) ? 0 : 44100;  // the last file's, for S files
  fi.channels = (data[1] & 3);
  qv::FileCheck c = qv::describeFile(src, "fuzz." + ext, ext, raw, fi);
  if (c.ok == c.message.empty()) {
    if (c.ok) {
      if (fi.frames < 0 || fi.SampleRate < 1 || fi.channels < 1) __builtin_trap();
      qv::readEverything(src, fi);
    }
  } else {
    __builtin_trap();
  }
  (void)qv::kiloCountField(std::string(reinterpret_cast<const char*>(data), size < 6 ? size : 6),
                           static_cast<int64_t>(size) * 100000);
  qv::ExtPeak pk = qv::scanExtFile(src);
  if (pk.divisor < 1) __builtin_trap();
  return 0;
}
