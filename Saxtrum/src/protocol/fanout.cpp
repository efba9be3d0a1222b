#include "protocol/fanout.h"

#include <cstring>

#include "plat/bytes.h"

namespace saxtrum {

void buildAlarmer(int32_t userId, const uint8_t* wire, uint8_t* a) {
  std::memset(a, 0, kAlarmerSize);
  std::memset(a, 1, 8);  // every field below is valid
  plat::putLe32(a + kAlarmerOffUser, static_cast<uint32_t>(userId));
  std::memcpy(a + kAlarmerOffSerial, wire + kAlarmOffSerial, 48);
  plat::putLe32(a + kAlarmerOffVersion, plat::getLe32(wire + kAlarmOffVersion));
  std::memcpy(a + kAlarmerOffName, wire + kAlarmOffName, 32);
  std::memcpy(a + kAlarmerOffMac, wire + kAlarmOffMac, 6);
  plat::putLe16(a + kAlarmerOffPort, plat::getLe16(wire + kAlarmOffPort));
  // The device's address text may be unterminated: it ends at the first channel entry.
  const size_t ipLen = strnlen(reinterpret_cast<const char*>(wire + kAlarmOffIp),
                               kAlarmOffChannels - kAlarmOffIp);
  std::memcpy(a + kAlarmerOffIp, wire + kAlarmOffIp, ipLen);
  std::memcpy(a + kAlarmerOffSocketIp, wire + kAlarmOffIp, ipLen);
  a[kAlarmerOffProtocol] = 0;
}

}  // namespace saxtrum
