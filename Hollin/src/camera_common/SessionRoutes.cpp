#include "camera_common/SessionRoutes.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

#include "Corvane.h"
#include "camera_common/IpcHandle.h"
#include "camera_common/CameraPreview.h"
#include "plat/hook.h"

namespace hollin::routes {

namespace {

struct Member {
  CameraPreview* preview;
  DevHandle stream = 0;
  uint64_t openedSeq = 0;
};

struct Route {
  std::vector<Member> members;
  CameraPreview* opening = nullptr;
  bool hookSet = false;
};

std::mutex g_mutex;  // the routes; never held while a preview's handler or the camera library runs
std::map<DevHandle, Route> g_routes;
uint64_t g_seq = 0;
plat::HookCalls g_calls;  // handlers running, which a detach waits for
// Serialises setting and clearing the camera sessions' hooks (the session hook never takes it).
std::mutex g_hookMutex;

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

// On camera library threads. The preview's handler runs with no lock held; a preview's
// detach waits for a handler in progress, so the preview outlives every call it gets.
void SessionHook(int event, void* data, int, void* user) {
  const DevHandle session = reinterpret_cast<DevHandle>(user);
  const DevHandle stream = reinterpret_cast<DevHandle>(data);
  if (!IsStreamEvent(event) || stream == 0) return;
  std::unique_lock<std::mutex> lk(g_mutex);
  auto it = g_routes.find(session);
  if (it == g_routes.end()) return;
  Route& r = it->second;
  CameraPreview* target = nullptr;
  for (Member& m : r.members)
    if (m.stream != 0 && m.stream == stream) {
      target = m.preview;
      break;
    }
  // A stream not yet known: its open has not returned, so it is the opening preview's.
  if (!target && r.opening)
    for (Member& m : r.members)
      if (m.preview == r.opening) target = r.opening;
  if (target) g_calls.run(lk, [&] { target->OnSessionEvent(event, stream); });
}

Member* Find(Route& r, CameraPreview* p) {
  for (Member& m : r.members)
    if (m.preview == p) return &m;
  return nullptr;
}

}  // namespace

void Attach(DevHandle session, CameraPreview* preview) {
  std::lock_guard<std::mutex> hookLock(g_hookMutex);
  bool setHook = false;
  {
    std::lock_guard<std::mutex> lk(g_mutex);
    Route& r = g_routes[session];
    r.members.push_back(Member{preview});
    setHook = !r.hookSet && session != 0;
  }
  if (!setHook) return;
  const bool set = IPC_SetSessionHook(AsIpc(session), &SessionHook,
                                      reinterpret_cast<void*>(session)) == 1;
  std::lock_guard<std::mutex> lk(g_mutex);
  auto it = g_routes.find(session);
  if (it != g_routes.end()) it->second.hookSet = set;
}

void Detach(DevHandle session, CameraPreview* preview) {
  std::lock_guard<std::mutex> hookLock(g_hookMutex);
  bool cleanHook = false;
  {
    std::unique_lock<std::mutex> lk(g_mutex);
    auto it = g_routes.find(session);
    if (it == g_routes.end()) return;
    Route& r = it->second;
    std::erase_if(r.members, [&](const Member& m) { return m.preview == preview; });
    if (r.opening == preview) r.opening = nullptr;
    cleanHook = r.hookSet && r.members.empty();
    if (cleanHook) r.hookSet = false;
    if (r.members.empty()) g_routes.erase(it);
    // No new call reaches the preview now; one under way ends before it may go.
    g_calls.waitIdle(lk);
  }
  // The camera library's clear waits for a hook call in progress: never under our lock.
  if (cleanHook) IPC_CleanSessionHook(AsIpc(session));
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
