#include "shell/GuidString.h"

#include <cstdio>
#include <random>

#include "plat/text.h"

std::u16string FormatGuid(uint32_t data1, uint16_t data2, uint16_t data3,
                          const std::array<uint8_t, 8>& d) {
  char text[GUID_TEXT_CHARS + 1];
  std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", data1,
                data2, data3, d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7]);
  return plat::utf8ToUtf16(text);
}

std::u16string MakeGuidString() {
  uint32_t data1 = 0;
  uint16_t data2 = 0, data3 = 0;
  std::array<uint8_t, 8> data4{};
  try {
    std::random_device rd;
    std::uniform_int_distribution<uint32_t> dist;
    data1 = dist(rd);
    uint32_t w = dist(rd);
    data2 = static_cast<uint16_t>(w);
    // A random (version 4, variant 1) GUID, as the system's generator makes them.
    data3 = static_cast<uint16_t>(((w >> 16) & 0x0FFF) | 0x4000);
    uint32_t a = dist(rd), b = dist(rd);
    for (int i = 0; i < 4; ++i) {
      data4[i] = static_cast<uint8_t>(a >> (8 * i));
      data4[4 + i] = static_cast<uint8_t>(b >> (8 * i));
    }
    data4[0] = static_cast<uint8_t>((data4[0] & 0x3F) | 0x80);
  } catch (const std::exception&) {
    data1 = 0;
    data2 = data3 = 0;
    data4.fill(0);
  }
  return FormatGuid(data1, data2, data3, data4);
}

bool MakeGuidString(char16_t* buffer) {
  std::u16string text = MakeGuidString();
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = 0;
  return true;
}
