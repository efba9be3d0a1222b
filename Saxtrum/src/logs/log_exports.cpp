// Searching the device's log.
#include <cstring>
#include <vector>

#include "Saxtrum.h"
#include "api/requests.h"
#include "control/exchange.h"
#include "logs/log_query.h"

using namespace saxtrum;
using namespace saxtrum::logs;

namespace {

std::vector<uint8_t> keptBlock(DvrConnection& conn, int slot) {
  std::vector<uint8_t> block = conn.withSlot(slot, [](RequestSlot& s) { return s.logBlock; });
  block.resize(kLogBlockSize, 0);
  return block;
}

}  // namespace

extern "C" {

int32_t QX_DVR_FindDVRLog(int32_t userId, int32_t mode, uint32_t majorType, uint32_t minorType,
                          const QX_DVR_TIME* start, const QX_DVR_TIME* end) {
  if (!start || !end) return -1;
  auto conn = loginConnection(userId);
  if (!conn) return -1;
  std::vector<uint8_t> query(kLogBlockSize);
  buildLogQuery(mode, majorType, minorType, *start, *end, query.data());
  const Exchange e = exchangeOnNewSlot(*conn, userId, NET_QUERY_LOG, query);
  return e.outcome == Outcome::Ok ? e.handle : -1;
}

int32_t QX_DVR_FindNextLog(int32_t logHandle, uint8_t* record) {
  StreamRef r;
  if (!record || !resolveBusy(logHandle, r)) return QX_DVR_FILE_EXCEPTION;
  const std::vector<uint8_t> block = keptBlock(*r.conn, r.slot);
  if (r.conn->sendPacket(static_cast<uint32_t>(logHandle), NET_GETNEXT_LOG, block.data(),
                         kLogBlockSize) != 0 ||
      r.conn->waitSlot(r.slot, replyWaitMs()) != 0)
    return QX_DVR_FILE_EXCEPTION;
  const bool ok = r.conn->withSlot(r.slot, [](RequestSlot& s) { return s.status == kStatusOk; });
  if (!ok) return QX_DVR_NOMOREFILE;
  const std::vector<uint8_t> next = keptBlock(*r.conn, r.slot);
  std::memcpy(record, next.data() + kLogRecordOffset, QX_DVR_LOG_SIZE);
  return QX_DVR_FILE_SUCCESS;
}

int QX_DVR_FindLogClose(int32_t logHandle) {
  StreamRef r;
  if (!resolveBusy(logHandle, r)) return 0;
  const std::vector<uint8_t> block = keptBlock(*r.conn, r.slot);
  const bool ok = exchangeOnSlot(*r.conn, logHandle, NET_CLOSE_LOG, block.data(), kLogBlockSize);
  r.conn->releaseSlot(r.slot);
  return ok ? 1 : 0;
}

}  // extern "C"
