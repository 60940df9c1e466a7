// Storage aligned for vector instructions (64 bytes covers every width the
// transform library may use).
#pragma once

#include <cstddef>
#include <new>

namespace qv {

template <typename T, size_t Align = 64>
struct AlignedAllocator {
  using value_type = T;
  template <typename U>
  struct rebind {
    using other = AlignedAllocator<U, Align>;
  };
  AlignedAllocator() = default;
  template <typename U>
  AlignedAllocator(const AlignedAllocator<U, Align>&) {}
  T* allocate(size_t n) { return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t(Align))); }
  void deallocate(T* p, size_t) { ::operator delete(p, std::align_val_t(Align)); }
  template <typename U>
  bool operator==(const AlignedAllocator<U, Align>&) const { return true; }
};

}  // namespace qv
