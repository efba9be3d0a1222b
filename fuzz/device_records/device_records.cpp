// Arbitrary bytes as the records devices send back: the camera's parameter records (read,
// written back, read again: the second write must equal the first) and the recorder's found
// file records and download progress.
//
// Input: byte 0 chooses the record; the rest is the record (zero-filled when short).
#include <cstdint>
#include <cstring>
#include <vector>

#include "Corvane/records.h"
#include "files/file_records.h"

namespace {

std::vector<uint8_t> record(const uint8_t* data, size_t size, size_t recordSize) {
  std::vector<uint8_t> r(recordSize, 0);
  std::memcpy(r.data(), data, size < recordSize ? size : recordSize);
  return r;
}

template <class R>
void roundTrip(const uint8_t* data, size_t size, size_t recordSize) {
  const auto in = record(data, size, recordSize);
  std::vector<uint8_t> once(recordSize, 0), twice(recordSize, 0);
  R::read(in.data()).write(once.data());
  R::read(once.data()).write(twice.data());
  if (once != twice) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t* p = data + 1;
  const size_t n = size - 1;
  switch (data[0] % 9) {
    case 0: roundTrip<IpcFactoryParam>(p, n, kIpcFactoryParamSize); break;
    case 1: roundTrip<IpcNetParam>(p, n, kIpcNetParamSize); break;
    case 2: roundTrip<IpcVideoParam>(p, n, kIpcVideoParamSize); break;
    case 3: roundTrip<IpcPictureParam>(p, n, kIpcPictureParamSize); break;
    case 4: roundTrip<IpcAudioParam>(p, n, kIpcAudioParamSize); break;
    case 5: roundTrip<IpcPtzParam>(p, n, kIpcPtzParamSize); break;
    case 6: IpcAbilityParam::read(record(p, n, kIpcAbilityParamSize).data()); break;
    case 7: {
      const auto wire = record(p, n, saxtrum::files::kFileOffSize + 4);
      QX_DVR_FIND_DATA found;
      saxtrum::files::foundFileFromWire(wire.data(), &found);
      // The name is cut to its field and always terminated.
      if (strnlen(found.sFileName, sizeof found.sFileName) > saxtrum::files::kFileNameChars)
        __builtin_trap();
      break;
    }
    default: {
      // Download progress from any byte count and file size stays within 0..100.
      const auto v = record(p, n, 12);
      uint64_t written;
      uint32_t fileSize;
      std::memcpy(&written, v.data(), 8);
      std::memcpy(&fileSize, v.data() + 8, 4);
      const int percent = saxtrum::files::downloadPercent(written, fileSize);
      if (percent < 0 || percent > 100) __builtin_trap();
      break;
    }
  }
  return 0;
}
