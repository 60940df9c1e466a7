// Byte-by-byte file building for the file format tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace qv::test {

struct Bytes {
  std::string b;
  Bytes& tag(const std::string& t) {
    b += t;
    return *this;
  }
  Bytes& u8(unsigned v) {
    b += static_cast<char>(v & 0xFF);
    return *this;
  }
  Bytes& u16(unsigned v) { return u8(v).u8(v >> 8); }
  Bytes& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
  Bytes& s16(int v) { return u16(static_cast<unsigned>(v) & 0xFFFF); }
  Bytes& s16be(int v) { return u8((static_cast<unsigned>(v) >> 8) & 0xFF).u8(static_cast<unsigned>(v) & 0xFF); }
  Bytes& s24(int v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF).u8((v >> 16) & 0xFF); }
  Bytes& s32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
  Bytes& zeros(size_t n) {
    b.append(n, '\0');
    return *this;
  }
  Bytes& pad(size_t n, char c) {
    b.append(n, c);
    return *this;
  }
  size_t size() const { return b.size(); }
};

// The header this program writes: "fmt " at 12 (16 bytes), "data" at 36.
inline Bytes ownWavHeader(int channels, int rate, uint32_t riff, uint32_t data, int bits = 16, int tag = 1) {
  Bytes h;
  h.tag("RIFF").u32(riff).tag("WAVEfmt ").u32(16).u16(tag).u16(channels).u32(rate);
  h.u32(rate * channels * bits / 8).u16(channels * bits / 8).u16(bits).tag("data").u32(data);
  return h;
}

inline int16_t sampleAt(const std::string& bytes, size_t offset) {
  return static_cast<int16_t>(static_cast<uint8_t>(bytes[offset]) | (static_cast<uint8_t>(bytes[offset + 1]) << 8));
}

inline bool haveSox() { return std::system("sox --version >/dev/null 2>&1") == 0; }
inline bool run(const std::string& cmd) { return std::system((cmd + " 2>/dev/null").c_str()) == 0; }

}  // namespace qv::test
