#include "config/field_map.h"

#include <cstdio>
#include <cstring>

#include "plat/bytes.h"
#include "protocol/packet.h"

namespace saxtrum::config {

namespace {

uint32_t readInt(const uint8_t* p, uint32_t size) {
  switch (size) {
    case 1: return p[0];
    case 2: return plat::getLe16(p);
    default: return plat::getLe32(p);
  }
}

void writeInt(uint8_t* p, uint32_t size, uint32_t v) {
  switch (size) {
    case 1: p[0] = static_cast<uint8_t>(v); break;
    case 2: plat::putLe16(p, static_cast<uint16_t>(v)); break;
    default: plat::putLe32(p, v); break;
  }
}

void copyText(const uint8_t* src, uint32_t srcSize, uint8_t* dst, uint32_t dstSize) {
  const size_t n = strnlen(reinterpret_cast<const char*>(src), srcSize);
  std::memcpy(dst, src, n < dstSize ? n : dstSize);
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void macToText(const uint8_t* mac, char* text, size_t width) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                mac[3], mac[4], mac[5]);
  std::memset(text, 0, width);
  std::memcpy(text, buf, strnlen(buf, width));
}

void macFromText(const char* text, size_t width, uint8_t* mac) {
  size_t at = 0;
  for (int group = 0; group < 6; ++group) {
    if (group > 0) {
      if (at >= width || text[at] != ':') return;
      ++at;
    }
    uint64_t value = 0;
    int digits = 0;
    while (at < width && digits < 20 && hexDigit(text[at]) >= 0) {
      value = value * 16 + static_cast<uint64_t>(hexDigit(text[at]));
      ++at;
      ++digits;
    }
    if (digits == 0) return;
    mac[group] = static_cast<uint8_t>(value);
  }
}

namespace {

// One field from one side to the other; toClient tells the direction.
void moveField(const Field& f, const uint8_t* from, uint8_t* to, bool toClient) {
  const uint32_t fromSize = toClient ? f.wireSize : f.clientSize;
  const uint32_t toSize = toClient ? f.clientSize : f.wireSize;
  switch (f.kind) {
    case FieldKind::Int: {
      const uint32_t bias = static_cast<uint32_t>(f.bias);
      const uint32_t v = readInt(from, fromSize);
      writeInt(to, toSize, toClient ? v + bias : v - bias);
      break;
    }
    case FieldKind::Bytes:
      std::memcpy(to, from, fromSize < toSize ? fromSize : toSize);
      break;
    case FieldKind::Text:
      copyText(from, fromSize, to, toSize);
      break;
    case FieldKind::Mac:
      if (toClient)
        macFromText(reinterpret_cast<const char*>(from), fromSize, to);
      else
        macToText(from, reinterpret_cast<char*>(to), toSize);
      break;
  }
}

}  // namespace

void unpackFields(const std::vector<Field>& fields, const uint8_t* wire, uint8_t* client) {
  for (const Field& f : fields)
    if (f.dir != FieldDir::SetOnly) moveField(f, wire + f.wire, client + f.client, true);
}

void packFields(const std::vector<Field>& fields, const uint8_t* client, uint8_t* wire) {
  for (const Field& f : fields)
    if (f.dir != FieldDir::GetOnly) moveField(f, client + f.client, wire + f.wire, false);
}

}  // namespace saxtrum::config
