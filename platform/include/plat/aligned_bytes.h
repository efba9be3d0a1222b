#pragma once
// Memory for pictures. Pictures are written with streaming stores, which are only fast when
// each store fills a whole cache line; a buffer from the plain allocator starts 16 bytes into
// one, so every line of it would be written in two halves.
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace plat {

inline constexpr size_t kCacheLine = 64;

// At least `bytes`, starting on a cache line, not initialised (as operator new); null when
// out of memory. Given back with `freePictureBytes`.
void* allocatePictureBytes(size_t bytes);
void freePictureBytes(void* p);

// Zero-filled memory that costs nothing until it is written: a mapping of its own whose
// pages are committed one by one as they are first touched. For buffers made once and kept
// for long, of which only a part may ever be used. Page-aligned; null when out of memory.
void* allocateZeroedBytes(size_t bytes);
void freeZeroedBytes(void* p, size_t bytes);
// Of the `bytes` from `p` (memory from allocateZeroedBytes), those in memory now.
size_t residentBytes(const void* p, size_t bytes);

template <typename T>
struct PictureAllocator {
  using value_type = T;
  PictureAllocator() = default;
  template <typename U>
  PictureAllocator(const PictureAllocator<U>&) noexcept {}
  T* allocate(size_t n) {
    if (void* p = allocatePictureBytes(n * sizeof(T))) return static_cast<T*>(p);
    throw std::bad_alloc();
  }
  void deallocate(T* p, size_t) noexcept { freePictureBytes(p); }
  template <typename U>
  bool operator==(const PictureAllocator<U>&) const noexcept { return true; }
};

using AlignedBytes = std::vector<uint8_t, PictureAllocator<uint8_t>>;

}  // namespace plat
