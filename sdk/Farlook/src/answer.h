#pragma once
// Reading a device's answer to the search probe (docs/protocols.md): anything that arrives
// on the search socket, from anyone.
#include <cstddef>
#include <cstdint>

#include "Farlook.h"

namespace farlook {

constexpr size_t kAnswerBytes = 160;

// Fills `rec` from an answer to the probe carrying `nonce`; false (rec untouched) for
// anything else. `from` (IPv4, host order) is the sender, the address when the answer names
// none. Every text of the record ends up terminated within its field.
bool ReadAnswer(const uint8_t* in, size_t n, uint32_t nonce, uint32_t from, tagDEVICEINFO& rec);

}  // namespace farlook
