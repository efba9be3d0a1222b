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

}  // namespace saxtrum
