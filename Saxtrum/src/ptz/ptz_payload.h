#pragma once
// The 32-byte PTZ request: channel - 1 at 0, action at 8, then by kind.
#include <cstddef>
#include <cstdint>

namespace saxtrum::ptz {

constexpr size_t kPtzRequestSize = 32;
constexpr size_t kPtzOffChannel = 0, kPtzOffAction = 8, kPtzOffPreset = 12, kPtzOffRoute = 16,
                 kPtzOffPoint = 20;

// Action of a steering command; any stop flag sends 0 (stop).
uint32_t controlAction(uint32_t command, uint32_t stop);
uint32_t presetAction(uint32_t command);

void buildControl(uint32_t channelIndex, uint32_t command, uint32_t stop, uint8_t* out);
void buildPreset(uint32_t channelIndex, uint32_t command, uint32_t preset, uint8_t* out);
void buildCruise(uint32_t channelIndex, uint32_t command, uint8_t route, uint8_t point,
                 uint16_t value, uint8_t* out);
// The track command goes out as it is given, in the same layout.
void buildTrack(uint32_t channelIndex, uint32_t command, uint8_t* out);

}  // namespace saxtrum::ptz
