#include "camera_common/SessionRoutes.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

#include "Corvane.h"
#include "camera_common/WireBytes.h"
#include "camera_common/CameraPreview.h"

namespace hollin::routes {

namespace {

struct Member {
  CameraPreview* preview;
  bool hooked;
  DevHandle stream = 0;
  uint64_t openedSeq = 0;
};

struct Route {
  std::vector<Member> members;
  CameraPreview* opening = nullptr;
  bool hookSet = false;
};

std::mutex g_mutex;
std::map<DevHandle, Route> g_routes;
uint64_t g_seq = 0;

// Events whose data is the stream handle; the others carry the session or a record.
bool IsStreamEvent(int event) {
  switch (event) {
    case kIpcEvVideoConnected:
    case kIpcEvVideoLost:
    case kIpcEvAudioConnected:
    case kIpcEvAudioLost:
    case kIpcEvVideoFull:
    case kIpcEvAudioFull:
    case kIpcEvTalkFailed:
    case kIpcEvRecordFailed:
      return true;
    default:
      return false;
  }
}

// On camera library threads. The preview's handler only stores and posts, so holding the
// lock across it cannot block a thread that closes a stream (closing never takes it).
void SessionHook(int event, void* data, int, void* user) {
  const DevHandle session = reinterpret_cast<DevHandle>(user);
  const DevHandle stream = reinterpret_cast<DevHandle>(data);
  if (!IsStreamEvent(event) || stream == 0) return;
  std::lock_guard<std::mutex> lk(g_mutex);
  auto it = g_routes.find(session);
  if (it == g_routes.end()) return;
  Route& r = it->second;
  for (Member& m : r.members)
    if (m.hooked && m.stream != 0 && m.stream == stream) {
      m.preview->OnSessionEvent(event, stream);
      return;
    }
  // A stream not yet known: its open has not returned, so it is the opening preview's.
  if (r.opening) {
    for (Member& m : r.members)
      if (m.preview == r.opening && m.hooked) r.opening->OnSessionEvent(event, stream);
  }
}

Member* Find(Route& r, CameraPreview* p) {
  for (Member& m : r.members)
    if (m.preview == p) return &m;
  return nullptr;
}

}  // namespace

void Attach(DevHandle session, CameraPreview* preview, bool hooked) {
  std::lock_guard<std::mutex> lk(g_mutex);
  Route& r = g_routes[session];
  r.members.push_back(Member{preview, hooked});
  if (hooked && !r.hookSet && session != 0)
    r.hookSet = IPC_SetSessionHook(AsIpc(session), &SessionHook,
                                   reinterpret_cast<void*>(session)) == 1;
}

void Detach(DevHandle session, CameraPreview* preview) {
  std::lock_guard<std::mutex> lk(g_mutex);
  auto it = g_routes.find(session);
  if (it == g_routes.end()) return;
  Route& r = it->second;
  std::erase_if(r.members, [&](const Member& m) { return m.preview == preview; });
  if (r.opening == preview) r.opening = nullptr;
  const bool anyHooked =
      std::any_of(r.members.begin(), r.members.end(), [](const Member& m) { return m.hooked; });
  if (r.hookSet && !anyHooked) {
    IPC_CleanSessionHook(AsIpc(session));
    r.hookSet = false;
  }
  if (r.members.empty()) g_routes.erase(it);
}

void SetOpening(DevHandle session, CameraPreview* preview) {
  std::lock_guard<std::mutex> lk(g_mutex);
  auto it = g_routes.find(session);
  if (it != g_routes.end()) it->second.opening = preview;
}

void StreamChanged(DevHandle session, CameraPreview* preview, DevHandle stream, bool started) {
  std::lock_guard<std::mutex> lk(g_mutex);
  auto it = g_routes.find(session);
  if (it == g_routes.end()) return;
  if (Member* m = Find(it->second, preview)) {
    m->stream = stream;
    if (started) m->openedSeq = ++g_seq;
  }
}

DevHandle LastStream(DevHandle session) {
  std::lock_guard<std::mutex> lk(g_mutex);
  auto it = g_routes.find(session);
  if (it == g_routes.end()) return 0;
  const Member* best = nullptr;
  for (const Member& m : it->second.members)
    if (m.stream != 0 && (!best || m.openedSeq > best->openedSeq)) best = &m;
  return best ? best->stream : 0;
}

CameraPreview* FindByToken(uintptr_t token) {
  std::lock_guard<std::mutex> lk(g_mutex);
  for (auto& [session, r] : g_routes)
    for (Member& m : r.members)
      if (m.preview->Token() == token) return m.preview;
  return nullptr;
}

}  // namespace hollin::routes
