// The alarm channel: once set up, the device's alarm packets reach the message callback.
#include "Saxtrum.h"
#include "api/requests.h"
#include "control/exchange.h"

using namespace saxtrum;

extern "C" {

int32_t QX_DVR_SetupAlarmChan(int32_t userId) {
  auto conn = loginConnection(userId);
  if (!conn) return -1;
  const Exchange e = exchangeOnNewSlot(*conn, userId, NET_SET_ALARM, nullptr, 0);
  if (e.outcome != Outcome::Ok) return -1;
  conn->withSlot(e.slot, [](RequestSlot& s) { s.callbackOn = true; });
  return e.handle;
}

int QX_DVR_CloseAlarmChan(int32_t alarmHandle) {
  StreamRef r;
  if (!resolveBusy(alarmHandle, r)) return 0;
  const bool ok = exchangeOnSlot(*r.conn, alarmHandle, NET_STOP_ALARM, nullptr, 0);
  r.conn->releaseSlot(r.slot);
  return ok ? 1 : 0;
}

}  // extern "C"
