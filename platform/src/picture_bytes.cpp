#include "plat/aligned_bytes.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace plat {

void* allocatePictureBytes(size_t bytes) {
  void* p = nullptr;
  if (posix_memalign(&p, kCacheLine, bytes ? bytes : 1) != 0) return nullptr;
  return p;
}

void freePictureBytes(void* p) { std::free(p); }

void* allocateZeroedBytes(size_t bytes) {
  void* p = mmap(nullptr, bytes ? bytes : 1, PROT_READ | PROT_WRITE,
                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

void freeZeroedBytes(void* p, size_t bytes) {
  if (p) munmap(p, bytes ? bytes : 1);
}

size_t residentBytes(const void* p, size_t bytes) {
  if (!p || bytes == 0) return 0;
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const size_t pages = (bytes + page - 1) / page;
  std::vector<unsigned char> in(pages);
  if (mincore(const_cast<void*>(p), bytes, in.data()) != 0) return 0;
  size_t n = 0;
  for (unsigned char c : in) n += c & 1;
  return n * page;
}

}  // namespace plat
