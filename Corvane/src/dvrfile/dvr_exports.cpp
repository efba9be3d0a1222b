// The IPC_Dvr* exports: file tasks and playbacks, each in its session's list from open to
// close.
#include <new>

#include "dvrfile/file_task.h"
#include "dvrfile/playback.h"
#include "plat/log.h"
#include "session/thread_owner.h"

namespace corvane {
namespace {

void destroyFileTask(intptr_t handle) {
  if (auto t = fileTasks().remove(handle)) t->interrupt();
}

void destroyPlayback(intptr_t handle) {
  if (auto p = playbacks().remove(handle)) p->stop();
}

struct RegisterClosers {
  RegisterClosers() {
    SetChildCloser(ChildKind::FileTask, destroyFileTask);
    SetChildCloser(ChildKind::Playback, destroyPlayback);
  }
} g_registerClosers;

std::shared_ptr<DvrFileTask> findTask(IPC_HANDLE h) {
  return h ? fileTasks().find(reinterpret_cast<intptr_t>(h)) : nullptr;
}

std::shared_ptr<DvrPlayback> findPlayback(IPC_HANDLE h) {
  return h ? playbacks().find(reinterpret_cast<intptr_t>(h)) : nullptr;
}

}  // namespace
}  // namespace corvane

using namespace corvane;

extern "C" IPC_HANDLE IPC_DvrFilOpen(IPC_HANDLE session) {
  auto s = findSession(session);
  if (!s || s->closing.load()) return nullptr;
  auto task = std::make_shared<DvrFileTask>();
  task->session = s;
  const intptr_t h = fileTasks().add(task);
  if (!AddChild(*s, ChildKind::FileTask, h)) {
    destroyFileTask(h);  // the session closed meanwhile
    return nullptr;
  }
  return reinterpret_cast<IPC_HANDLE>(h);
}

extern "C" int IPC_DvrFilClose(IPC_HANDLE task) {
  auto t = findTask(task);
  if (!t) return 0;
  if (!RemoveChild(*t->session, ChildKind::FileTask, reinterpret_cast<intptr_t>(task))) return 0;
  destroyFileTask(reinterpret_cast<intptr_t>(task));
  return 1;
}

extern "C" int IPC_DvrSearchFil(IPC_HANDLE task, IpcFileSearchCond condition,
                                IpcSearchCallback callback, void* user) {
  // The results, the end mark among them, come only through the callback.
  if (auto t = findTask(task)) t->search(condition, callback, user);
  return 0;
}

extern "C" int IPC_DvrDonloadFil(IPC_HANDLE task, IpcDownloadRequest request,
                                 IpcDownloadCallback callback, void* user) {
  if (auto t = findTask(task)) t->download(request, callback, user);
  return 0;
}

extern "C" IPC_HANDLE IPC_DvrPlayBackOpen(IPC_HANDLE session, intptr_t window,
                                          const IpcPlaybackRequest* request) {
  auto s = findSession(session);
  if (!s || s->closing.load()) return nullptr;
  std::shared_ptr<DvrPlayback> p;
  try {
    p = std::make_shared<DvrPlayback>(s);
  } catch (const std::bad_alloc&) {
    // As a live stream's: the buffers are mapped as the playback is made.
    PLAT_LOGW("corvane", "playback not opened: no memory for its buffers");
    return nullptr;
  }
  const intptr_t h = playbacks().add(p);
  if (!AddChild(*s, ChildKind::Playback, h)) {
    destroyPlayback(h);  // the session closed meanwhile
    return nullptr;
  }
  p->start(window);
  if (request) p->openFile(*request);
  return reinterpret_cast<IPC_HANDLE>(h);
}

extern "C" int IPC_DvrPlayBackOpenFile(IPC_HANDLE playback, const IpcPlaybackRequest* request) {
  auto p = findPlayback(playback);
  if (!p || !request) return 0;
  return p->openFile(*request) ? 1 : 0;
}

extern "C" int IPC_DvrPlayBackSpeedCtrl(IPC_HANDLE playback, uint16_t speedCode) {
  auto p = findPlayback(playback);
  return p && p->speed(speedCode) ? 1 : 0;
}

extern "C" int IPC_DvrPlayBackStartAudio(IPC_HANDLE playback, int on) {
  auto p = findPlayback(playback);
  if (!p) return 0;
  p->setAudio(on != 0);
  return 1;
}

extern "C" int IPC_DvrPlayBackEnded(IPC_HANDLE playback) {
  auto p = findPlayback(playback);
  if (!p) return -1;
  return p->ended() ? 1 : 0;
}

extern "C" int IPC_DvrPlayBackClose(IPC_HANDLE playback) {
  auto p = findPlayback(playback);
  if (!p) return 0;
  if (OnThreadOf(p.get())) {
    PLAT_LOGW("corvane", "a playback cannot be closed from its own hook");
    return 0;
  }
  if (!RemoveChild(*p->session(), ChildKind::Playback, reinterpret_cast<intptr_t>(playback)))
    return 0;
  destroyPlayback(reinterpret_cast<intptr_t>(playback));
  return 1;
}
