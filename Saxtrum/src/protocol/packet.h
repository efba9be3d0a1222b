#pragma once
// The recorder protocol's packet header and command codes.
#include <cstddef>
#include <cstdint>

namespace saxtrum {

constexpr uint32_t kPacketMagic = 0x0ABCDEF0;
constexpr size_t kHeaderSize = 20;
constexpr uint32_t kMaxPayload = 40000;
constexpr size_t kMaxPacket = kHeaderSize + kMaxPayload;  // 40,020
constexpr uint32_t kStatusOk = 200;
constexpr uint32_t kStatusFail = 300;

// Header field offsets.
constexpr size_t kOffMagic = 0, kOffCommand = 4, kOffLength = 8, kOffHandle = 12, kOffStatus = 16;

struct PacketHeader {
  uint32_t magic = kPacketMagic;
  uint32_t command = 0;
  uint32_t length = 0;
  uint32_t handle = 0;
  uint32_t status = 0;
};

void encodeHeader(const PacketHeader& h, uint8_t* out);
PacketHeader decodeHeader(const uint8_t* in);
// A header the framer accepts: the magic and a payload of 0..40,000 bytes.
bool headerValid(const PacketHeader& h);

enum DvrCommand : uint32_t {
  NET_HEART_BEAT = 0, NET_LOGIN = 1, NET_LOGOUT = 2, NET_PREVIEW = 3, NET_PREVIEW_STOP = 4,
  NET_REPLAY = 5, NET_STREAM_HEADER = 6, NET_REPLAY_STOP = 7, NET_DOWNLOAD = 8,
  NET_DOWNLOAD_STOP = 9, NET_TALK_OPEN = 10, NET_TALK_CLOSE = 11, NET_TALK_STREAM = 12,
  NET_FILE_INFO = 13, NET_FILE_FIND = 14, NET_FILE_FIND_NEXT = 15, NET_FILE_FIND_CLOSE = 16,
  NET_STREAM = 17, NET_PTZ_CONTROL = 18, NET_PTZ_PRESET = 19, NET_PTZ_CRUISE = 20,
  NET_PTZ_TRACK = 21, NET_FORMATDISK = 22, NET_REBOOT = 23, NET_SHUTDOWN = 24,
  NET_SETVEDIOPARAM = 25, NET_GETVEDIOPARAM = 26, NET_GETALARMOUT = 27, NET_SETALARMOUT = 28,
  NET_STARTMANREC = 29, NET_STOPMANREC = 30, NET_RESTORECONFIG = 31, NET_QUERY_LOG = 32,
  NET_GETNEXT_LOG = 33, NET_CLOSE_LOG = 34, NET_SET_ALARM = 35, NET_STOP_ALARM = 36,
  NET_ALARM = 37, NET_GET_TIME = 38, NET_GET_PTZCRUISE = 72, NET_DISCON = 73,
  NET_EXPORT_CFG = 74, NET_IMPORT_CFG = 75, NET_UPDATE_DEV = 76, NET_INVALID = 77,
};
constexpr uint32_t kCommandCount = 78;
// Library-internal fan-out code, never on the wire: a slot's saving stopped on a write error.
constexpr uint32_t NET_SAVE_STOPPED = 0x100;

// The name of a code (the table the library keeps), or null for codes 78 and above.
const char* commandName(uint32_t code);
// The configuration reads among codes 38..71, whose replies are kept whole.
bool isConfigGet(uint32_t code);

// Handles: (user id << 16) | slot.
constexpr int kMaxLogins = 128;
constexpr int kSlotCount = 32;
int32_t makeStreamHandle(int32_t userId, int32_t slot);  // -1 when out of range
inline int32_t handleUser(uint32_t handle) { return static_cast<int32_t>(handle >> 16); }
inline int32_t handleSlot(uint32_t handle) { return static_cast<int32_t>(handle & 0xFFFF); }

}  // namespace saxtrum
