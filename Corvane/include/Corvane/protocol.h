#pragma once
// The camera protocol's fixed numbers: message sizes, channel codes and the login record.
// Every connection to a camera (control, media, alarm, firmware, files) goes to the same
// port and is opened by a 544-byte channel-open request.
#include <cstddef>
#include <cstdint>

constexpr uint16_t kIpcMagic = 0xE0AF;
constexpr size_t kIpcMsgHeaderSize = 12;
constexpr size_t kIpcMsgSize = 544;  // every control message, channel-open request and reply
constexpr size_t kIpcMsgPayloadSize = kIpcMsgSize - kIpcMsgHeaderSize;  // 532
constexpr uint16_t kIpcServerFull = 0xFFFF;  // channel-open reply code: no room for the kind

// IpcChannelCode: the command code of a channel-open request.
enum IpcChannelCode : uint16_t {
  kIpcChanControl = 0xFF01,
  kIpcChanVideo = 0xFF02,
  kIpcChanAudio = 0xFF03,
  kIpcChanAlarm = 0xFF04,
  kIpcChanTalk = 0xFF06,
  kIpcChanFirmware = 0xFF07,
  kIpcChanPlayback = 0xFF08,
  kIpcChanDownload = 0xFF09,
  kIpcChanSearch = 0xFF0A,
};
constexpr uint16_t kIpcChanDefaultArg = 0x101;  // control, alarm and firmware channels
constexpr size_t kIpcOpenPayloadLength = 44;
constexpr size_t kIpcOpenUserOffset = 12;
constexpr size_t kIpcOpenPasswordOffset = 28;
constexpr size_t kIpcNameFieldSize = 16;  // at most 15 characters and a zero

// Control commands beyond the parameter table.
constexpr uint16_t kIpcCmdKeepAlive = 0x0103;
constexpr uint16_t kIpcCmdKeepAliveReply = 0x0104;
constexpr uint16_t kIpcCmdAlarmPush = 0x0309;
constexpr uint16_t kIpcCmdAlarmPush2 = 0x0F02;
constexpr uint16_t kIpcCmdFirmware = 0x2101;
constexpr uint16_t kIpcCmdFirmwareReply = 0x2102;

// IpcLoginInfo: built by the caller of IPC_SessionOpen; the session keeps a copy. The
// members sit at the record's offsets (checked at compile time), so the record can be handed
// on as its 52 bytes.
struct IpcLoginInfo {
  uint32_t address;         // IPv4 address, host byte order
  uint16_t port;            // no default: the caller always gives it
  char user[16];
  char password[16];
  uint16_t talkArgument;    // argument of the talk channel's open request
  int32_t connectNow;       // non-zero: open the control channel inside IPC_SessionOpen
  int32_t noControlReconnect;
  int32_t noMediaReconnect;
};
constexpr size_t kIpcLoginInfoSize = 52;
static_assert(sizeof(IpcLoginInfo) == kIpcLoginInfoSize);
static_assert(offsetof(IpcLoginInfo, port) == 4 && offsetof(IpcLoginInfo, user) == 6 &&
              offsetof(IpcLoginInfo, password) == 22 &&
              offsetof(IpcLoginInfo, talkArgument) == 38 &&
              offsetof(IpcLoginInfo, connectNow) == 40 &&
              offsetof(IpcLoginInfo, noControlReconnect) == 44 &&
              offsetof(IpcLoginInfo, noMediaReconnect) == 48);
