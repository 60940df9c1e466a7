#include "platform/image/big_buffer.h"

#include <sys/mman.h>

#include <cstdlib>

namespace qv {

namespace {
constexpr size_t kHugePage = size_t{2} << 20;
}

void BigBufferFree::operator()(uint8_t* p) const {
  if (!p) return;
  if (mapped) munmap(p, bytes);
  else std::free(p);
}

BigBuffer allocateBigBuffer(size_t bytes) {
  if (bytes < 4 * kHugePage) {
    auto* p = static_cast<uint8_t*>(std::calloc(bytes > 0 ? bytes : 1, 1));
    return BigBuffer(p, BigBufferFree{bytes, false});
  }
  // Fresh anonymous pages read as zero without a fill pass.
  const size_t size = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return BigBuffer(nullptr, BigBufferFree{});
  madvise(p, size, MADV_HUGEPAGE);  // advice only: small pages serve as well
  return BigBuffer(static_cast<uint8_t*>(p), BigBufferFree{size, true});
}

}  // namespace qv
