#include "plat/aligned_bytes.h"

#include <cstdlib>

namespace plat {

void* allocatePictureBytes(size_t bytes) {
  void* p = nullptr;
  if (posix_memalign(&p, kCacheLine, bytes ? bytes : 1) != 0) return nullptr;
  return p;
}

void freePictureBytes(void* p) { std::free(p); }

}  // namespace plat
