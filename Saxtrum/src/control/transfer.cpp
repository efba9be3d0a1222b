#include "control/transfer.h"

#include <cstring>

#include "plat/bytes.h"
#include "protocol/packet.h"

namespace saxtrum::transfer {

void buildHeader(const std::string& name, uint32_t size, uint8_t* out) {
  std::memset(out, 0, kTransferHeaderSize);
  std::memcpy(out, name.data(), name.size() < kTransferNameChars ? name.size() : kTransferNameChars);
  plat::putLe32(out + kTransferNameChars, size);
}

std::string importName(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  if (cut == std::string::npos) return {};
  return path.substr(cut + 1);
}

}  // namespace saxtrum::transfer
