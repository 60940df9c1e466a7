// A 16-bit PCM WAV file read as if it came from a microphone: frames in
// file order, looping at the end. The file is mapped, not loaded, so hours
// of recording cost no memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qv {

class WavFileSource {
 public:
  WavFileSource() = default;
  WavFileSource(const WavFileSource&) = delete;
  WavFileSource& operator=(const WavFileSource&) = delete;
  ~WavFileSource();

  // False with a reason when the file is missing, not a WAV file or not
  // 16-bit PCM.
  bool load(const std::string& path, std::string* error);
  void unload();
  bool loaded() const { return data_ != nullptr; }
  int channels() const { return channels_; }
  int sampleRate() const { return rate_; }
  size_t frames() const { return frames_; }
  void rewind() { pos_ = 0; }

  // The next `frames` frames with `channels` interleaved channels: channel c
  // takes file channel c (the last file channel when the file has fewer).
  void read(int16_t* out, int frames, int channels);

 private:
  int16_t sample(size_t frame, int ch) const;

  void* map_ = nullptr;
  size_t mapLen_ = 0;
  const unsigned char* data_ = nullptr;
  size_t frames_ = 0;
  int channels_ = 0;
  int rate_ = 0;
  size_t pos_ = 0;
};

}  // namespace qv
