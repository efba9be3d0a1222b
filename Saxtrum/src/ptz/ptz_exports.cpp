// PTZ on a live-view handle: its own slot carries the requests and is never released here.
#include "Saxtrum.h"
#include "api/requests.h"
#include "control/exchange.h"
#include "ptz/ptz_payload.h"

using namespace saxtrum;
using namespace saxtrum::ptz;

namespace {

template <typename Build>
int sendPtz(int32_t handle, uint32_t command, bool wait, Build&& build) {
  StreamRef r;
  if (!resolveBusy(handle, r)) return 0;
  uint8_t payload[kPtzRequestSize];
  build(streamEntry(r).channelIndex, payload);
  if (!wait)
    return r.conn->sendPacket(static_cast<uint32_t>(handle), command, payload, kPtzRequestSize) == 0
               ? 1
               : 0;
  return exchangeOnSlot(*r.conn, handle, command, payload, kPtzRequestSize) ? 1 : 0;
}

}  // namespace

extern "C" {

int QX_DVR_PTZControl(int32_t handle, uint32_t command, uint32_t stop) {
  return sendPtz(handle, NET_PTZ_CONTROL, false,
                 [&](uint32_t ch, uint8_t* p) { buildControl(ch, command, stop, p); });
}

int QX_DVR_PTZPreset(int32_t handle, uint32_t command, uint32_t preset) {
  return sendPtz(handle, NET_PTZ_PRESET, true,
                 [&](uint32_t ch, uint8_t* p) { buildPreset(ch, command, preset, p); });
}

int QX_DVR_PTZCruise(int32_t handle, uint32_t command, uint8_t route, uint8_t point,
                     uint16_t value) {
  return sendPtz(handle, NET_PTZ_CRUISE, true, [&](uint32_t ch, uint8_t* p) {
    buildCruise(ch, command, route, point, value, p);
  });
}

int QX_DVR_PTZTrack(int32_t handle, uint32_t command) {
  return sendPtz(handle, NET_PTZ_TRACK, true,
                 [&](uint32_t ch, uint8_t* p) { buildTrack(ch, command, p); });
}

int QX_DVR_GetPTZProtocol(int32_t, void*) { return 1; }

}  // extern "C"
