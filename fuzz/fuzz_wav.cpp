// WAV: chunk walk, header fields, every sample width.
#include <cstdint>

#include "files/wav_format.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::MemoryByteSource src(data, size);
  qv::WavParse p = qv::parseWav(src);
  (void)qv::decodeRawWavHeader(data, size);
  qv::FileInfo fi;
  qv::FileCheck c = qv::describeFile(src, "fuzz.wav", "WAV", {}, fi);
  if (c.ok && !p.ok) __builtin_trap();  // the describer may refuse more (rates), never less
  if (c.ok) {
    if (fi.firstSample < 0 || fi.sampleEnd > static_cast<int64_t>(size)) __builtin_trap();
    if (fi.firstSample + fi.frames * fi.wav.blockAlign > static_cast<int64_t>(size)) __builtin_trap();
    qv::readEverything(src, fi);
  } else if (c.message.empty()) {
    __builtin_trap();
  }
  return 0;
}
