// Arbitrary datagrams on the LAN search socket, as anyone on the network may send them: an
// answer is taken only whole and for our probe, and every text of the record it gives the
// caller ends within its field.
//
// Input: bytes 0..3 the sender's address, 4..7 the probe's nonce, the rest the datagram.
#include <cstdint>
#include <cstring>

#include "answer.h"
#include "plat/bytes.h"

namespace {

bool Terminated(const char* field, size_t size) { return strnlen(field, size) < size; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  const uint32_t from = plat::getLe32(data), nonce = plat::getLe32(data + 4);
  tagDEVICEINFO rec;
  std::memset(&rec, 0xA5, sizeof rec);
  tagDEVICEINFO before = rec;
  if (!farlook::ReadAnswer(data + 8, size - 8, nonce, from, rec)) {
    if (std::memcmp(&rec, &before, sizeof rec) != 0) __builtin_trap();  // untouched
    return 0;
  }
  if (size - 8 != farlook::kAnswerBytes) __builtin_trap();
  if (!Terminated(rec.szIP, sizeof rec.szIP) || !Terminated(rec.szMac, sizeof rec.szMac) ||
      !Terminated(rec.szName, sizeof rec.szName))
    __builtin_trap();
  if (rec.szIP[0] == 0 || rec.nChannels < 0 || rec.nPort < 0 || rec.nPort > 65535) __builtin_trap();
  return 0;
}
