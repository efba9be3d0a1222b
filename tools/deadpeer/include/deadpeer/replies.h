#pragma once
// The answers a peer sends, written from the wire formats of docs/protocols.md on their own.
#include <cstdint>

#include "deadpeer/peer.h"

namespace deadpeer {

// A camera message: 544 bytes, the 12-byte header (magic 0xE0AF, code, argument 0, payload
// length, status, option 0) and the payload at 12, cut to 532 bytes, zeros beyond.
Bytes cameraMessage(uint16_t code, uint16_t status, const Bytes& payload = {});
// A recorder packet: the 20-byte header (magic 0x0ABCDEF0, command, payload length, handle,
// status) and the payload.
Bytes recorderPacket(uint32_t command, uint32_t handle, uint32_t status, const Bytes& payload = {});

// What the device answers a request with when it accepts it: a camera a channel open with the
// channel's code and status 1, any other message with code + 1, status 1 and the request's
// payload back; a recorder the request's command and handle with status 200 (a login with a
// 72-byte description of a recorder of 4 channels).
Bytes deviceAnswer(Device device, const Bytes& request);
// An answer whose code is not the one asked for: a camera's code + 2 with status 1 (to a
// channel open 0xFFFF, the only code that refuses an open); a recorder's command + 1.
Bytes wrongCodeAnswer(Device device, const Bytes& request);

// The size of a request whose first bytes are `head` (a camera's: 544; a recorder's: its
// header and payload length, 0 for a header that is not the protocol's); headBytes is how many
// bytes are needed to tell.
size_t headBytes(Device device);
size_t requestSize(Device device, const uint8_t* head);

}  // namespace deadpeer
