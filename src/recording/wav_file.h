// The WAV files the system writes: a 44-byte header, samples from byte 48.
// Bytes 44..47 are zero and counted as data (data size = file length - 44);
// stored files and every reader of the system rely on that layout.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qv {

constexpr int64_t kWavHeaderBytes = 44;
constexpr int64_t kWavDataStart = 48;
// Largest file whose size fields (length - 8, length - 44) fit in 32 bits.
constexpr int64_t kWavMaxFileBytes = 0xFFFFFFFFLL;

// Header for a file of `fileLength` bytes. An empty file gets the provisional
// sizes 0 and -44 (hex FFFFFFD4) that mark an interrupted recording.
std::array<uint8_t, 44> buildWavHeader(int64_t fileLength, int channels, int sampleRate);
// The same for a file whose samples end at `dataEnd` and are followed by
// other chunks up to `fileLength`.
std::array<uint8_t, 44> buildWavHeader(int64_t fileLength, int channels, int sampleRate, int64_t dataEnd);

// Closes a WAV file's content: `guano` (metadata text) as a "guan" chunk right
// after the samples that end at `dataEnd`, nothing after it, and the header
// whose data size covers the samples only. Without text, or when the chunk
// would not fit in a WAV file, the file ends with its samples. The samples
// are never touched; a chunk that cannot be written is taken away again.
bool finishWavFile(int fd, const std::string& path, int64_t dataEnd, int channels, int sampleRate,
                   const std::string& guano, std::string* error);

// Opens (or creates) the file keeping its content, writes the header for its
// current length at offset 0 and closes it. False, with a reason in `error`,
// when the file cannot be opened or written or is too long for a WAV header.
bool WriteWavHeader(const std::string& path, int channels, int sampleRate, std::string* error = nullptr);

// Opens a new file for writing at `path`, or, when a file of that name
// exists (whoever made it), at the first free "name-2.ext", "name-3.ext", ...
// An existing file is never opened, let alone truncated. On success `path`
// holds the name taken and the descriptor is returned; -1 with errno set
// otherwise.
int createNewFile(std::string& path);

// A file being written by WavWriter holds an exclusive advisory lock (flock)
// from creation to close: other processes, and repairs, leave it alone.
// True when `path` is locked that way right now.
bool fileBeingWritten(const std::string& path);

// A recording file from creation to the final header. Writes go straight to
// the file (no allocation per block); every failure returns false and leaves
// a reason in error(), so the caller can log it and stop.
class WavWriter {
 public:
  WavWriter() = default;
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Creates a new file at `wanted` or, when that name is taken, at the next
  // free suffix (createNewFile), locks it, writes the provisional header and
  // positions at byte 48. path() is the name taken.
  bool create(const std::string& wanted, int channels, int sampleRate);
  // Appends at the current position. Refused (nothing written) when the file
  // would grow past the 4 GB a WAV header can describe. A failed append
  // leaves the file as it was before it (a partly written block is cut off),
  // so the block can be written again elsewhere.
  bool append(const int16_t* samples, size_t count);
  // Circular recording: the next write goes to byte 48 again.
  bool rewind();
  // Final header for the file's length, then close. Harmless when not open.
  bool close();
  // The same with metadata after the samples (see finishWavFile).
  bool close(const std::string& guano);

  bool isOpen() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }
  // 0-based offset of the next byte written (48 right after create/rewind).
  int64_t position() const { return pos_; }
  // Length of the file (the longest reached, also after a rewind).
  int64_t length() const { return length_; }
  int channels() const { return channels_; }
  int sampleRate() const { return rate_; }
  const std::string& error() const { return error_; }
  // errno of the last failure (ENOSPC: the disk is full); 0 for the others.
  int errorCode() const { return errorCode_; }

 private:
  bool fail(const std::string& what, int err);

  int fd_ = -1;
  std::string path_;
  int channels_ = 1;
  int rate_ = 48000;
  int64_t pos_ = 0;
  int64_t length_ = 0;
  std::string error_;
  int errorCode_ = 0;
};

}  // namespace qv
