#include "api/requests.h"

namespace saxtrum {

bool resolveBusy(int32_t handle, StreamRef& out) {
  if (!resolveHandle(handle, out)) return false;
  return out.conn->withSlot(out.slot, [](RequestSlot& s) { return s.busy && !s.closing; });
}

int32_t slotPort(const StreamRef& r) {
  return r.conn->withSlot(r.slot, [](RequestSlot& s) { return s.port; });
}

StreamEntry streamEntry(const StreamRef& r) {
  Library& lib = library();
  std::lock_guard<std::recursive_mutex> lock(lib.tableMutex);
  return lib.logins[r.userId].streams[r.slot];
}

int setStreamCallback(int32_t handle, QX_DVR_DataCallBack StreamEntry::*which,
                      QX_DVR_DataCallBack callback, void* user) {
  StreamRef r;
  if (!resolveBusy(handle, r)) return 0;
  {
    Library& lib = library();
    std::lock_guard<std::recursive_mutex> lock(lib.tableMutex);
    StreamEntry& e = lib.logins[r.userId].streams[r.slot];
    e.*which = callback;
    e.user = user;
  }
  r.conn->withSlot(r.slot, [](RequestSlot& s) { s.callbackOn = true; });
  // A call of the callback it replaces may be running: once this returns, it has ended, so
  // the caller may free what the old one used.
  r.conn->waitFeedDone(r.slot);
  return 1;
}

}  // namespace saxtrum
