#include "ptz/ptz_payload.h"

#include <cstring>

#include "plat/bytes.h"
#include "protocol/packet.h"

namespace saxtrum::ptz {

namespace {

struct CruiseForm {
  uint32_t command, action;
  int valueAt;  // -1: no value
  bool route, point;
};
constexpr CruiseForm kCruiseForms[] = {
    {30, 30, 12, true, true}, {31, 31, 24, true, true}, {32, 32, 4, true, true},
    {33, 33, 12, true, true}, {37, 20, -1, true, false}, {38, 21, -1, true, false},
    {39, 39, -1, false, false},
};

void start(uint32_t channelIndex, uint32_t action, uint8_t* out) {
  std::memset(out, 0, kPtzRequestSize);
  plat::putLe32(out + kPtzOffChannel, channelIndex);
  plat::putLe32(out + kPtzOffAction, action);
}

}  // namespace

uint32_t controlAction(uint32_t command, uint32_t stop) {
  if (stop != 0) return 0;
  switch (command) {
    case 11: return 11;
    case 12: return 12;
    case 13: return 13;
    case 14: return 14;
    case 15: return 10;
    case 16: return 9;
    case 21: return 3;
    case 22: return 4;
    case 23: return 1;
    case 24: return 2;
    case 25: return 5;
    case 26: return 7;
    case 27: return 6;
    case 28: return 8;
    case 29: return 18;
    default: return 0;
  }
}

uint32_t presetAction(uint32_t command) {
  switch (command) {
    case 8: return 15;
    case 9: return 17;
    case 39: return 16;
    default: return 0;
  }
}

void buildControl(uint32_t channelIndex, uint32_t command, uint32_t stop, uint8_t* out) {
  start(channelIndex, controlAction(command, stop), out);
}

void buildPreset(uint32_t channelIndex, uint32_t command, uint32_t preset, uint8_t* out) {
  start(channelIndex, presetAction(command), out);
  plat::putLe32(out + kPtzOffPreset, preset);
}

void buildCruise(uint32_t channelIndex, uint32_t command, uint8_t route, uint8_t point,
                 uint16_t value, uint8_t* out) {
  start(channelIndex, 0, out);
  for (const CruiseForm& f : kCruiseForms) {
    if (f.command != command) continue;
    plat::putLe32(out + kPtzOffAction, f.action);
    if (f.valueAt >= 0) plat::putLe32(out + f.valueAt, value);
    if (f.route) plat::putLe32(out + kPtzOffRoute, route);
    if (f.point) plat::putLe32(out + kPtzOffPoint, point);
  }
}

void buildTrack(uint32_t channelIndex, uint32_t command, uint8_t* out) {
  start(channelIndex, command, out);
}

}  // namespace saxtrum::ptz
