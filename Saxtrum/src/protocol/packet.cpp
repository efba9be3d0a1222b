#include "protocol/packet.h"

#include "plat/bytes.h"

namespace saxtrum {

void encodeHeader(const PacketHeader& h, uint8_t* out) {
  plat::putLe32(out + kOffMagic, h.magic);
  plat::putLe32(out + kOffCommand, h.command);
  plat::putLe32(out + kOffLength, h.length);
  plat::putLe32(out + kOffHandle, h.handle);
  plat::putLe32(out + kOffStatus, h.status);
}

PacketHeader decodeHeader(const uint8_t* in) {
  PacketHeader h;
  h.magic = plat::getLe32(in + kOffMagic);
  h.command = plat::getLe32(in + kOffCommand);
  h.length = plat::getLe32(in + kOffLength);
  h.handle = plat::getLe32(in + kOffHandle);
  h.status = plat::getLe32(in + kOffStatus);
  return h;
}

bool headerValid(const PacketHeader& h) {
  // The length is a signed field on the device side: anything above 40,000 (negative ones
  // included, seen unsigned) is refused.
  return h.magic == kPacketMagic && h.length <= kMaxPayload;
}

namespace {
const char* const kNames[kCommandCount] = {
    "NET_HEART_BEAT", "NET_LOGIN", "NET_LOGOUT", "NET_PREVIEW", "NET_PREVIEW_STOP",
    "NET_REPLAY", "NET_STREAM_HEADER", "NET_REPLAY_STOP", "NET_DOWNLOAD", "NET_DOWNLOAD_STOP",
    "NET_TALK_OPEN", "NET_TALK_CLOSE", "NET_TALK_STREAM", "NET_FILE_INFO", "NET_FILE_FIND",
    "NET_FILE_FIND_NEXT", "NET_FILE_FIND_CLOSE", "NET_STREAM", "NET_PTZ_CONTROL",
    "NET_PTZ_PRESET", "NET_PTZ_CRUISE", "NET_PTZ_TRACK", "NET_FORMATDISK", "NET_REBOOT",
    "NET_SHUTDOWN", "NET_SETVEDIOPARAM", "NET_GETVEDIOPARAM", "NET_GETALARMOUT",
    "NET_SETALARMOUT", "NET_STARTMANREC", "NET_STOPMANREC", "NET_RESTORECONFIG",
    "NET_QUERY_LOG", "NET_GETNEXT_LOG", "NET_CLOSE_LOG", "NET_SET_ALARM", "NET_STOP_ALARM",
    "NET_ALARM", "NET_GET_TIME", "NET_SET_TIME", "NET_SET_DECODER", "NET_GET_DECODER",
    "NET_SET_NETCFG", "NET_GET_NETCFG", "NET_GET_NTPCFG", "NET_SET_NTPCFG", "NET_GET_DDNSCFG",
    "NET_SET_DDNSCFG", "NET_GET_NETAPP", "NET_SET_NETAPP", "NET_GET_EMAILCFG",
    "NET_SET_EMAILCFG", "NET_GET_PREVIEWCFG", "NET_SET_PREVIEWCFG", "NET_GET_PICCFG",
    "NET_SET_PICCFG", "NET_GET_RECORD", "NET_SET_RECORD", "NET_GET_COMPRESSIONCFG",
    "NET_SET_COMPRESSIONCFG", "NET_GET_VIDEOOUTCFG", "NET_SET_VIDEOOUTCFG",
    "NET_GET_DEVICECFG", "NET_SET_DEVICECFG", "NET_SET_HDCFG", "NET_GET_HDCFG",
    "NET_GET_USERCFG", "NET_SET_USERCFG", "NET_GET_ALARMINCFG", "NET_SET_ALARMINCFG",
    "NET_GET_ALARMOUTCFG", "NET_SET_ALARMOUTCFG", "NET_GET_PTZCRUISE", "NET_DISCON",
    "NET_EXPORT_CFG", "NET_IMPORT_CFG", "NET_UPDATE_DEV", "NET_INVALID",
};
}  // namespace

const char* commandName(uint32_t code) { return code < kCommandCount ? kNames[code] : nullptr; }

bool isConfigGet(uint32_t code) {
  switch (code) {
    case 38: case 41: case 43: case 44: case 46: case 48: case 50: case 52: case 54:
    case 56: case 58: case 60: case 62: case 65: case 66: case 68: case 70:
      return true;
    default:
      return false;
  }
}

int32_t makeStreamHandle(int32_t userId, int32_t slot) {
  if (userId < 0 || userId >= kMaxLogins || slot < 0 || slot >= kSlotCount) return -1;
  return (userId << 16) | slot;
}

}  // namespace saxtrum
