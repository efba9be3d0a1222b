// Configuration read and write by command number.
#include <cstring>

#include "Saxtrum/Config.h"
#include "Saxtrum/Unanswered.h"
#include "config/config_table.h"
#include "control/exchange.h"
#include "plat/bytes.h"
#include "protocol/library.h"

using namespace saxtrum;

namespace {
// Per thread, as the calls are: the last configuration write went out and was not answered.
thread_local bool t_writeUnanswered = false;
}  // namespace

extern "C" {

int QX_DVR_GetPellmore(int32_t userId, uint32_t command, int32_t channel, void* out,
                       uint32_t outSize, uint32_t* returned) {
  bool isGet = false;
  const config::RecordLayout* l = config::layoutForCommand(command, &isGet);
  auto conn = loginConnection(userId);
  if (!conn) return 0;
  // Never written past the caller's buffer: a record smaller than the command's is refused.
  if (!l || !isGet || !out || outSize < l->clientSize) return 0;
  const std::vector<uint8_t> request = config::buildGetRequest(*l, channel);
  const Exchange e = exchangeOnNewSlot(*conn, userId, l->getCode, request);
  if (e.outcome != Outcome::Ok) return 0;
  conn->withSlot(e.slot, [&](RequestSlot& s) {
    // The reply names its code in its first word. Only the code asked for is unpacked: the
    // caller's buffer holds that record, and another code's record may be larger.
    if (plat::getLe32(s.configReply.data()) != l->getCode) return;
    config::unpackReply(*l, s.configReply.data(), s.configReply.size(),
                        static_cast<uint8_t*>(out));
  });
  conn->releaseSlot(e.slot);
  if (returned) *returned = l->clientSize;
  return 1;
}

int QX_DVR_SetPellmore(int32_t userId, uint32_t command, int32_t channel, const void* in,
                       uint32_t inSize) {
  t_writeUnanswered = false;
  bool isGet = true;
  const config::RecordLayout* l = config::layoutForCommand(command, &isGet);
  auto conn = loginConnection(userId);
  if (!conn) return 0;
  if (!l || isGet || !in || inSize < l->clientSize) return 0;
  const std::vector<uint8_t> request =
      config::buildSetRequest(*l, channel, static_cast<const uint8_t*>(in));
  const Exchange e = exchangeOnNewSlot(*conn, userId, l->setCode, request);
  if (e.outcome != Outcome::Ok) {
    t_writeUnanswered = e.unanswered;
    return 0;
  }
  conn->releaseSlot(e.slot);
  return 1;
}

int QX_DVR_ConfigWriteUnanswered(void) { return t_writeUnanswered ? 1 : 0; }

}  // extern "C"
