#pragma once
// The A-law and mu-law companding laws of G.711 on 16-bit linear samples.
#include <cstdint>

namespace corvane::g711 {
uint8_t alawEncode(int16_t sample);
int16_t alawDecode(uint8_t code);
uint8_t ulawEncode(int16_t sample);
int16_t ulawDecode(uint8_t code);
}  // namespace corvane::g711
