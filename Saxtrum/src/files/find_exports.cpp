// Searching the device's recorded files.
#include <cstring>

#include "Saxtrum.h"
#include "api/requests.h"
#include "control/exchange.h"
#include "files/file_records.h"

using namespace saxtrum;
using namespace saxtrum::files;

namespace {
enum class Next { Served, End, Ask };
}  // namespace

extern "C" {

int32_t QX_DVR_FindFile(int32_t userId, const QX_DVR_FILECOND* condition) {
  if (!condition || condition->lChannel < 1 || condition->lChannel > 16) return -1;
  auto conn = loginConnection(userId);
  if (!conn) return -1;
  const int32_t mask = fileTypeMask(condition->dwFileType);
  if (mask < 0) return -1;
  uint8_t request[kFileRequestSize];
  buildFindRequest(*condition, static_cast<uint32_t>(mask), request);
  const Exchange e = exchangeOnNewSlot(*conn, userId, NET_FILE_FIND, request, kFileRequestSize);
  return e.outcome == Outcome::Ok ? e.handle : -1;
}

int32_t QX_DVR_FindNextFile(int32_t findHandle, QX_DVR_FIND_DATA* data) {
  StreamRef r;
  if (!data || !resolveBusy(findHandle, r)) return 0;
  uint8_t record[kFileRecordSize];
  const Next next = r.conn->withSlot(r.slot, [&](RequestSlot& s) {
    if (s.foundCount > 0 && s.foundIndex + 1 < s.foundCount) {
      ++s.foundIndex;
      std::memcpy(record, s.foundFiles.data() + s.foundIndex * kFileRecordSize, kFileRecordSize);
      return Next::Served;
    }
    // A short batch was the last one; so was an empty one.
    if (s.lastCommand == NET_FILE_FIND_NEXT && s.foundCount < kFoundFileCapacity)
      return Next::End;
    std::memcpy(record, s.fileRecord.data(), kFileRecordSize);
    return Next::Ask;
  });
  if (next == Next::End) return QX_DVR_NOMOREFILE;
  if (next == Next::Ask) {
    if (r.conn->sendPacket(static_cast<uint32_t>(findHandle), NET_FILE_FIND_NEXT, record,
                           kFileRecordSize) != 0 ||
        r.conn->waitSlot(r.slot, replyWaitMs()) != 0)
      return -1;
    const bool got = r.conn->withSlot(r.slot, [&](RequestSlot& s) {
      if (s.status != kStatusOk || s.foundCount == 0) return false;
      s.foundIndex = 0;
      std::memcpy(record, s.foundFiles.data(), kFileRecordSize);
      return true;
    });
    if (!got) return QX_DVR_NOMOREFILE;
  }
  foundFileFromWire(record, data);
  return QX_DVR_FILE_SUCCESS;
}

int QX_DVR_FindClose(int32_t findHandle) {
  StreamRef r;
  if (!resolveBusy(findHandle, r)) return 0;
  uint8_t record[kFileRecordSize];
  r.conn->withSlot(r.slot, [&](RequestSlot& s) {
    std::memcpy(record, s.fileRecord.data(), kFileRecordSize);
  });
  const int sent = r.conn->sendPacket(static_cast<uint32_t>(findHandle), NET_FILE_FIND_CLOSE,
                                      record, kFileRecordSize);
  // The search's slot goes back even when the close cannot reach a lost device.
  r.conn->releaseSlot(r.slot);
  return sent == 0 ? 1 : 0;
}

}  // extern "C"
