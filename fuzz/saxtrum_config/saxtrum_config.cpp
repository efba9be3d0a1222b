// Configuration replies from a device, whatever their length and contents, unpacked into the
// client's records and packed back.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "config/config_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const auto& layouts = saxtrum::config::recordLayouts();
  const auto& l = layouts[data[0] % layouts.size()];
  std::vector<uint8_t> client(l.clientSize);
  saxtrum::config::unpackReply(l, data + 1, size - 1, client.data());
  const auto request = saxtrum::config::buildSetRequest(l, 1, client.data());
  if (request.size() != 4 + l.wireSize) __builtin_trap();
  uint8_t mac[6];
  saxtrum::config::macFromText(reinterpret_cast<const char*>(data + 1), size - 1, mac);
  return 0;
}
