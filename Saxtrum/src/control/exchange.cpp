#include "control/exchange.h"

#include "protocol/library.h"

namespace saxtrum {

Exchange exchangeOnNewSlot(DvrConnection& conn, int32_t userId, uint32_t command,
                           const uint8_t* payload, uint32_t length) {
  Exchange e;
  e.slot = conn.allocSlot();
  if (e.slot < 0) return e;
  e.handle = makeStreamHandle(userId, e.slot);
  if (conn.sendPacket(static_cast<uint32_t>(e.handle), command, payload, length) != 0) {
    conn.releaseSlot(e.slot);
    e.outcome = Outcome::SendFailed;
    return e;
  }
  e.outcome = conn.waitReplyStatus(e.slot, &e.unanswered) == 1 ? Outcome::Ok : Outcome::Failed;
  return e;
}

bool exchangeOnSlot(DvrConnection& conn, int32_t handle, uint32_t command,
                    const uint8_t* payload, uint32_t length) {
  if (conn.sendPacket(static_cast<uint32_t>(handle), command, payload, length) != 0) return false;
  return conn.waitReplyOk(handleSlot(static_cast<uint32_t>(handle))) == 1;
}

int sendStop(DvrConnection& conn, int32_t handle, uint32_t command, const uint8_t* payload,
             uint32_t length) {
  if (conn.sendPacket(static_cast<uint32_t>(handle), command, payload, length) != 0) return 0;
  const int slot = handleSlot(static_cast<uint32_t>(handle));
  if (conn.waitSlot(slot, replyWaitMs()) != 0) return 1;
  return conn.withSlot(slot, [](RequestSlot& s) { return s.status == kStatusOk ? 1 : 0; });
}

}  // namespace saxtrum
