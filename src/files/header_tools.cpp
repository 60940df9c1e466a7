#include "files/header_tools.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/program.h"
#include "files/byte_source.h"
#include "files/guano.h"
#include "files/open_dialog.h"
#include "files/wav_format.h"
#include "files/wav_header_local.h"
#include "platform/dialogs.h"

namespace qv {

namespace {

constexpr int64_t kWavHeaderEnd = 44;

std::string num(long long v) { return v < 0 ? std::to_string(v) : " " + std::to_string(v); }

std::string chars(const char* p, size_t n) {
  std::string s(p, n);
  for (char& c : s)
    if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) c = '?';
  return s;
}

}  // namespace

std::string wavHeaderReport(const std::string& path) {
  FileByteSource f;
  if (!f.open(path)) return "File " + path + "\r\ncannot be opened";
  uint8_t b[44] = {};
  size_t got = f.readAt(0, b, 44);
  if (got < 44)
    return "File " + path + "\r\nis only" + num(static_cast<long long>(got)) +
           " bytes long: too short for a WAV header";
  RawWavHeader h = decodeRawWavHeader(b, got);
  const char* nl = "\r\n";
  std::string r = "File " + path;
  r += nl + std::string("Signature ") + chars(h.riffTag, 4);
  r += nl + std::string("Filesize ") + num(h.riffSize);
  r += nl + std::string("Format ") + chars(h.waveTag, 8);
  r += nl + std::string(8, ' ') + num(h.fmtSize);
  r += nl + std::string("Mode ") + num(h.formatTag);
  r += nl + std::string("Channels ") + num(h.channels);
  r += nl + std::string("Sample rate ") + num(h.sampleRate);
  r += nl + std::string("Bytes x sec ") + num(h.byteRate);
  r += nl + std::string("Bytes x sample ") + num(h.blockAlign);
  r += nl + std::string("Bits x sample ") + num(h.bitsPerSample);
  r += nl + std::string("Data start ") + chars(h.dataTag, 4);
  r += nl + std::string("Data size ") + num(h.dataSize);
  return r;
}

void ShowWavHeader(Dialogs& dialogs, const std::string& path) {
  if (path.empty()) return;
  dialogs.message(wavHeaderReport(path), "", MsgButtons::Ok);
}

HeaderFix FixWavHeader(const std::string& path) {
  HeaderFix r;
  FileByteSource f;
  if (!f.open(path, true)) {
    r.message = "Cannot open " + path + " for writing";
    return r;
  }
  const int64_t len = f.size();
  uint8_t b[44] = {};
  if (len < 44 || f.readAt(0, b, 44) < 44) {
    r.message = path + " is shorter than a WAV header (44 bytes): nothing was written";
    return r;
  }
  if (std::memcmp(b, "RIFF", 4) != 0) {
    r.message = path + " does not start with \"RIFF\": it is not a WAV file, nothing was written";
    return r;
  }
  RawWavHeader h = decodeRawWavHeader(b, 44);
  bool ownLayout = std::memcmp(b + 36, "data", 4) == 0 && std::memcmp(b + 12, "fmt ", 4) == 0 &&
                   h.fmtSize == 16 && static_cast<uint16_t>(h.formatTag) != kWaveFloat;
  if (!ownLayout) {
    WavParse p = parseWav(f);
    if (p.ok) {
      // Another recorder's layout: mend the sizes, keep every other byte.
      uint8_t v[4];
      putLe32(v, static_cast<uint32_t>(std::min<int64_t>(len - 8, 0xFFFFFFFFLL)));
      bool ok = f.writeAt(4, v, 4);
      int64_t body = p.layout.dataChunkOffset + 8;
      if (body + static_cast<int64_t>(p.layout.dataSizeField) > len) {
        putLe32(v, static_cast<uint32_t>(std::min<int64_t>(len - body, 0xFFFFFFFFLL)));
        ok = ok && f.writeAt(p.layout.dataChunkOffset + 4, v, 4);
      }
      if (!ok) r.message = "Cannot write " + path;
      r.written = ok;
      r.sizesOnly = true;
      return r;
    }
  }
  // Metadata the recorder left after the samples stays out of the data.
  const GuanoChunk meta = findTrailingGuano(f, kWavHeaderEnd + 4);
  uint8_t out[44];
  files_detail::buildWavHeader(out, len, h.channels, h.sampleRate, meta.found ? meta.offset : len);
  if (!f.writeAt(0, out, 44)) {
    r.message = "Cannot write " + path;
    return r;
  }
  r.written = true;
  return r;
}

bool hasProvisionalHeader(const std::string& path) {
  FileByteSource f;
  uint8_t b[44] = {};
  if (!f.open(path) || f.readAt(0, b, 44) < 44) return false;
  RawWavHeader h = decodeRawWavHeader(b, 44);
  return std::memcmp(b, "RIFF", 4) == 0 && std::memcmp(b + 8, "WAVE", 4) == 0 && h.riffSize == 0 &&
         h.dataSize == -44;
}

InterruptedRepair repairInterruptedWav(const std::string& path, bool always) {
  InterruptedRepair r;
  // The recorder's lock is taken here too, so a recording cannot begin on
  // the file while it is repaired, and a recording in progress is skipped.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    r.outcome = InterruptedRepair::Failed;
    r.message = "Cannot open " + path + ": " + std::strerror(errno);
    return r;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    r.outcome = InterruptedRepair::BeingWritten;
    r.message = path + " is being recorded; left alone";
    return r;
  }
  if (always || hasProvisionalHeader(path)) {
    HeaderFix fix = FixWavHeader(path);
    r.outcome = fix.written ? InterruptedRepair::Repaired : InterruptedRepair::Failed;
    r.message = fix.message;
  }
  ::close(fd);
  return r;
}

void CheckWavHeader_Click(Program& p) {
  if (!p.services().dialogs) return;
  std::string path = OpenFileDialog(p, p.options0()["DefPlayPathField"].text(), "wav");
  ShowWavHeader(*p.services().dialogs, path);
}

void mnuFixWavHeader_Click(Program& p) {
  Dialogs* d = p.services().dialogs;
  if (!d) return;
  std::string path = OpenFileDialog(p, p.options0()["DefPlayPathField"].text(), "wav");
  if (path.empty()) return;
  HeaderFix fx = FixWavHeader(path);
  if (!fx.written) {
    d->message(fx.message, "", MsgButtons::Ok, MsgIcon::Warning);
    return;
  }
  ShowWavHeader(*d, path);
}

}  // namespace qv
