// One-shot device control: reboot, shut-down, disk format, alarm outputs, manual recording,
// factory settings and the cruise read.
#include <cstring>

#include "Saxtrum.h"
#include "api/requests.h"
#include "control/exchange.h"
#include "plat/bytes.h"
#include "protocol/packet.h"

using namespace saxtrum;

namespace {

// Sends on a slot of its own and gives the slot back; read sees the slot after a 200.
template <typename Read>
Outcome oneShot(int32_t userId, uint32_t command, const uint8_t* payload, uint32_t length,
                Read&& read) {
  auto conn = loginConnection(userId);
  if (!conn) return Outcome::NoSlot;
  const Exchange e = exchangeOnNewSlot(*conn, userId, command, payload, length);
  if (e.outcome == Outcome::Ok) {
    conn->withSlot(e.slot, read);
    conn->releaseSlot(e.slot);
  }
  return e.outcome;
}
Outcome oneShot(int32_t userId, uint32_t command, const uint8_t* payload = nullptr,
                uint32_t length = 0) {
  return oneShot(userId, command, payload, length, [](RequestSlot&) {});
}

int okOrZero(Outcome o) { return o == Outcome::Ok ? 1 : 0; }

// Reboot and shut-down tell a refused or unanswered request (-1) from one never sent (0).
int toldApart(Outcome o) {
  switch (o) {
    case Outcome::Ok: return 1;
    case Outcome::Failed: return -1;
    default: return 0;
  }
}

}  // namespace

extern "C" {

int QX_DVR_RebootDVR(int32_t userId) {
  if (!loginConnection(userId)) return -1;
  return toldApart(oneShot(userId, NET_REBOOT));
}

int QX_DVR_ShutDownDVR(int32_t userId) { return toldApart(oneShot(userId, NET_SHUTDOWN)); }

int32_t QX_DVR_FormatDisk(int32_t userId, int32_t disk) {
  auto conn = loginConnection(userId);
  if (!conn) return -1;
  uint8_t payload[4];
  plat::putLe32(payload, static_cast<uint32_t>(disk));
  const Exchange e = exchangeOnNewSlot(*conn, userId, NET_FORMATDISK, payload, sizeof payload);
  if (e.outcome != Outcome::Ok) return -1;
  // The format handle keeps its slot for the rest of the login.
  return e.handle;
}

int QX_DVR_GetAlarmOut(int32_t userId, uint8_t* status) {
  if (!status) return 0;
  const uint8_t payload[4] = {};
  return okOrZero(oneShot(userId, NET_GETALARMOUT, payload, sizeof payload, [&](RequestSlot& s) {
    std::memcpy(status, s.alarmOut.data(), QX_DVR_ALARMOUT_STATUS_SIZE);
  }));
}

int QX_DVR_SetAlarmOut(int32_t userId, int32_t output, int32_t state) {
  uint8_t payload[8];
  plat::putLe32(payload, static_cast<uint32_t>(output));
  plat::putLe32(payload + 4, static_cast<uint32_t>(state));
  return okOrZero(oneShot(userId, NET_SETALARMOUT, payload, sizeof payload));
}

int QX_DVR_StartDVRRecord(int32_t userId, int32_t channel, int32_t recordType) {
  uint8_t payload[8];
  plat::putLe32(payload, static_cast<uint32_t>(channel));
  plat::putLe32(payload + 4, static_cast<uint32_t>(recordType));
  return okOrZero(oneShot(userId, NET_STARTMANREC, payload, sizeof payload));
}

int QX_DVR_StopDVRRecord(int32_t userId, int32_t channel) {
  uint8_t payload[4];
  plat::putLe32(payload, static_cast<uint32_t>(channel));
  return okOrZero(oneShot(userId, NET_STOPMANREC, payload, sizeof payload));
}

int QX_DVR_RestoreConfig(int32_t userId) { return okOrZero(oneShot(userId, NET_RESTORECONFIG)); }

int QX_DVR_GetPTZCruise(int32_t userId, int32_t channel, int32_t route, uint8_t* cruise) {
  if (!loginConnection(userId)) return -1;
  if (!cruise) return 0;
  uint8_t payload[8];
  plat::putLe32(payload, static_cast<uint32_t>(channel));
  plat::putLe32(payload + 4, static_cast<uint32_t>(route));
  return okOrZero(oneShot(userId, NET_GET_PTZCRUISE, payload, sizeof payload, [&](RequestSlot& s) {
    std::memcpy(cruise, s.ptzCruise.data(), QX_DVR_PTZCRUISE_SIZE);
  }));
}

}  // extern "C"
