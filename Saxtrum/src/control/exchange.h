#pragma once
// One request on a slot of its own: take a slot, send, wait for the reply. Shared by the
// exports of files, logs, control, PTZ and configuration.
#include <cstdint>
#include <memory>
#include <vector>

#include "protocol/connection.h"

namespace saxtrum {

enum class Outcome {
  Ok,          // status 200; the slot is still taken
  NoSlot,      // all 32 slots busy
  SendFailed,  // the slot was released
  Failed,      // no reply in time or another status; the slot was released
};

struct Exchange {
  Outcome outcome = Outcome::NoSlot;
  int slot = -1;
  int32_t handle = -1;
  // Failed because the request went out and no answer came within the reply wait (or the
  // connection went meanwhile): the device may have carried it out all the same.
  bool unanswered = false;
};

// Takes a slot and sends the command with the payload on it; waits the reply wait.
Exchange exchangeOnNewSlot(DvrConnection& conn, int32_t userId, uint32_t command,
                           const uint8_t* payload, uint32_t length);
inline Exchange exchangeOnNewSlot(DvrConnection& conn, int32_t userId, uint32_t command,
                                  const std::vector<uint8_t>& payload) {
  return exchangeOnNewSlot(conn, userId, command, payload.data(),
                           static_cast<uint32_t>(payload.size()));
}

// Sends on a slot already taken and waits; true on status 200. The slot stays taken.
bool exchangeOnSlot(DvrConnection& conn, int32_t handle, uint32_t command,
                    const uint8_t* payload, uint32_t length);

// The stop of a stream: 0 when the send fails or the device answers with another status than
// 200; a missing answer counts as success (1). The slot stays taken.
int sendStop(DvrConnection& conn, int32_t handle, uint32_t command, const uint8_t* payload,
             uint32_t length);

}  // namespace saxtrum
