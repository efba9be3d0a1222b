#include "logs/log_query.h"

#include <cstring>

#include "plat/bytes.h"
#include "protocol/packet.h"

namespace saxtrum::logs {

namespace {

uint32_t alarmMinor(uint32_t minor) {
  switch (minor) {
    case 1: return 0x2;
    case 2: return 0x4;
    case 3: case 4: return 0x8;
    case 5: case 6: return 0x10;
    case 7: case 8: return 0x20;
    default: return 0;
  }
}

uint32_t exceptionMinor(uint32_t minor) {
  switch (minor) {
    case 33: case 34: return 0x1;
    case 35: return 0x2;
    case 36: return 0x4;
    case 38: return 0x8;
    case 40: return 0x20;
    case 37: case 39: case 41: case 42: case 43: return 0x40;
    default: return 0;
  }
}

uint32_t operationMinor(uint32_t minor) {
  switch (minor) {
    case 65: return 0x1;
    case 66: case 131: return 0x2;
    case 68: case 123: return 0x4;
    case 80: case 112: return 0x8;
    case 81: case 113: return 0x10;
    case 90: case 126: return 0x80;
    case 85: case 114: return 0x400;
    case 86: case 115: return 0x800;
    case 87: case 129: return 0x1000;
    case 137: return 0x2000;
    case 92: case 130: return 0x4000;
    case 83: case 84: case 127: case 128: return 0x8000;
    case 93: case 134: return 0x10000;
    case 94: case 135: return 0x20000;
    case 91: case 95: case 102: case 103: case 136: return 0x40000;
    case 98: return 0xd;
    default: break;
  }
  if ((minor >= 69 && minor <= 79) || (minor >= 109 && minor <= 111)) return 0;
  return minor >= 65 && minor <= 144 ? 0x400000 : 0;
}

uint32_t infoMinor(uint32_t minor) {
  if (minor == 161) return 0x1;
  if (minor >= 162 && minor <= 168) return 0x4;
  return 0;
}

}  // namespace

uint32_t majorCode(uint32_t majorType, uint32_t minorType) {
  switch (majorType) {
    case 1: return 4;
    case 2: return minorType == 33 ? 6 : 2;
    case 3: return 1;
    case 4: return 3;
    default: return 16;
  }
}

uint32_t minorMask(uint32_t majorType, uint32_t minorType) {
  switch (majorType) {
    case 1: return alarmMinor(minorType);
    case 2: return exceptionMinor(minorType);
    case 3: return operationMinor(minorType);
    case 4: return infoMinor(minorType);
    default: return 0;
  }
}

void putDeviceTime(uint8_t* out, const QX_DVR_TIME& t) {
  plat::putLe32(out, t.dwYear - 1900);
  plat::putLe32(out + 4, t.dwMonth - 1);
  plat::putLe32(out + 8, t.dwDay);
  plat::putLe32(out + 12, t.dwHour);
  plat::putLe32(out + 16, t.dwMinute);
  plat::putLe32(out + 20, t.dwSecond);
}

void buildLogQuery(int32_t mode, uint32_t majorType, uint32_t minorType, const QX_DVR_TIME& start,
                   const QX_DVR_TIME& end, uint8_t* out) {
  std::memset(out, 0, kLogBlockSize);
  putDeviceTime(out + kLogOffStart, start);
  putDeviceTime(out + kLogOffEnd, end);
  plat::putLe32(out + kLogOffMajor, majorCode(majorType, minorType));
  plat::putLe32(out + kLogOffMinor, minorMask(majorType, minorType));
  plat::putLe32(out + kLogOffMode, static_cast<uint32_t>(mode));
}

}  // namespace saxtrum::logs
