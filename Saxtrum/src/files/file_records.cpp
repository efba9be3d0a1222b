#include "files/file_records.h"

#include <cstring>

#include "plat/bytes.h"
#include "protocol/connection.h"
#include "protocol/packet.h"

namespace saxtrum::files {

int32_t fileTypeMask(uint32_t fileType) {
  switch (fileType) {
    case 0: return 2;
    case 1: return 4;
    case 2: return 8;
    case 3: return 12;
    case 6: return 1;
    case 255: return 15;
    default: return -1;
  }
}

void putTime(uint8_t* out, const QX_DVR_TIME& t) {
  plat::putLe32(out, t.dwYear);
  plat::putLe32(out + 4, t.dwMonth);
  plat::putLe32(out + 8, t.dwDay);
  plat::putLe32(out + 12, t.dwHour);
  plat::putLe32(out + 16, t.dwMinute);
  plat::putLe32(out + 20, t.dwSecond);
}

QX_DVR_TIME getTime(const uint8_t* in) {
  return {plat::getLe32(in), plat::getLe32(in + 4), plat::getLe32(in + 8), plat::getLe32(in + 12), plat::getLe32(in + 16),
          plat::getLe32(in + 20)};
}

void buildFindRequest(const QX_DVR_FILECOND& c, uint32_t mask, uint8_t* out) {
  std::memset(out, 0, kFileRequestSize);
  plat::putLe32(out, static_cast<uint32_t>(c.lChannel - 1));
  putTime(out + kFileOffStart, c.struStartTime);
  putTime(out + kFileOffEnd, c.struStopTime);
  plat::putLe32(out + kFileOffMask, mask);
}

void buildNameRequest(const char* name, uint8_t* out) {
  std::memset(out, 0, kFileRequestSize);
  if (name) std::memcpy(out + kFileOffName, name, strnlen(name, kFileNameChars));
}

void foundFileFromWire(const uint8_t* wire, QX_DVR_FIND_DATA* out) {
  std::memset(out, 0, sizeof *out);
  const char* name = reinterpret_cast<const char*>(wire + kFileOffName);
  std::memcpy(out->sFileName, name, strnlen(name, kFileNameChars));
  out->struStartTime = getTime(wire + kFileOffStart);
  out->struStopTime = getTime(wire + kFileOffEnd);
  out->dwFileSize = plat::getLe32(wire + kFileOffSize);
}

uint32_t fileRecordSize(const uint8_t* wire) { return plat::getLe32(wire + kFileOffSize); }

int downloadPercent(uint64_t written, uint32_t fileSize) {
  // 64 bits: written x 100 overflows 32 bits above about 42 MB.
  const uint64_t total = static_cast<uint64_t>(fileSize) + kStreamHeaderSize;
  const uint64_t percent = written * 100 / total;
  return percent > 100 ? 100 : static_cast<int>(percent);
}

float playPosFromPercent(uint32_t percent) { return static_cast<float>(percent) / 100.0f; }

uint32_t percentFromPlayPos(float position) {
  if (!(position > 0.0f)) return 0;
  return static_cast<uint32_t>(position * 100.0f);
}

}  // namespace saxtrum::files
