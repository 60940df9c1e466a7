// Zeroed buffers for whole pictures. A wide spectrogram is written a few
// columns at a time down hundreds of rows, each row on a page of its own:
// with small pages every row costs a TLB miss and the first touch of every
// page a fault, so large buffers ask the kernel for huge pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace qv {

struct BigBufferFree {
  size_t bytes = 0;
  bool mapped = false;
  void operator()(uint8_t* p) const;
};
using BigBuffer = std::unique_ptr<uint8_t, BigBufferFree>;

// `bytes` zero bytes; null when there is no memory for them.
BigBuffer allocateBigBuffer(size_t bytes);

}  // namespace qv
