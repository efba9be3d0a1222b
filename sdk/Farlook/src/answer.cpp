#include "answer.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "plat/bytes.h"
#include "plat/text.h"

namespace farlook {

namespace {

std::string Field(const uint8_t* p, size_t size) {
  const char* c = reinterpret_cast<const char*>(p);
  return std::string(c, strnlen(c, size));
}

}  // namespace

bool ReadAnswer(const uint8_t* in, size_t n, uint32_t nonce, uint32_t from, tagDEVICEINFO& rec) {
  if (n != kAnswerBytes || std::memcmp(in, "FLKA", 4) != 0 || plat::getLe16(in + 4) != 1 || plat::getLe32(in + 8) != nonce)
    return false;
  std::memset(&rec, 0, sizeof rec);
  rec.nPort = plat::getLe16(in + 12);
  // A count the record's signed byte cannot hold is kept at its largest, never wrapped.
  rec.nChannels = static_cast<int8_t>(std::min<int>(in[14], 127));
  rec.nDevType = in[15];
  std::string address = Field(in + 16, 48);
  if (address.empty()) {
    address = std::to_string(from >> 24) + "." + std::to_string(from >> 16 & 0xFF) + "." +
              std::to_string(from >> 8 & 0xFF) + "." + std::to_string(from & 0xFF);
  }
  plat::copyToField(rec.szIP, sizeof rec.szIP, address);
  std::memcpy(rec.szMac, in + 64, sizeof rec.szMac);
  rec.szMac[sizeof rec.szMac - 1] = 0;
  plat::copyToField(rec.szName, sizeof rec.szName, Field(in + 88, 64));
  return true;
}

}  // namespace farlook
