#pragma once
#include <cstring>

#include "plat/bytes.h"

namespace saxtrum {

template <typename Emit>
void forEachAlarm(const uint8_t* wire, Emit&& emit) {
  struct Test {
    uint8_t bit;
    uint32_t type;
  };
  static const Test kTests[] = {{1u << 1, 3}, {1u << 0, 0}, {1u << 3, 6}, {1u << 2, 2}};
  uint8_t info[kAlarmInfoSize];
  for (const Test& t : kTests) {
    std::memset(info, 0, sizeof info);
    plat::putLe32(info + kInfoOffType, t.type);
    bool any = false;
    for (size_t i = 0; i < kAlarmChannels; ++i) {
      if (wire[kAlarmOffChannels + i * kAlarmChannelEntry] & t.bit) {
        info[kInfoOffChannels + i] = 1;
        any = true;
      }
    }
    if (any) emit(info);
  }
  // A disk alarm names the first disk only.
  std::memset(info, 0, sizeof info);
  plat::putLe32(info + kInfoOffType, 5);
  for (size_t i = 0; i < kAlarmChannels; ++i) {
    if (wire[kAlarmOffChannels + i * kAlarmChannelEntry] & (1u << 6)) {
      info[kInfoOffDisks + i] = 1;
      emit(info);
      break;
    }
  }
}

}  // namespace saxtrum
