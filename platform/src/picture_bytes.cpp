#include "plat/aligned_bytes.h"

#include <cstdlib>
#include <cstring>

namespace plat {

void* allocatePictureBytes(size_t bytes) {
  void* p = nullptr;
  if (posix_memalign(&p, kCacheLine, bytes ? bytes : 1) != 0) return nullptr;
  std::memset(p, 0, bytes);
  return p;
}

void freePictureBytes(void* p) { std::free(p); }

}  // namespace plat
