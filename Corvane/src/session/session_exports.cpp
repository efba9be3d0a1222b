// The session exports. Sessions are handed out as handles from the registry; every export
// looks its handle up, so a closed or unknown handle returns 0 and touches nothing.
#include "Corvane/session.h"

#include <cstring>

#include "plat/log.h"
#include "protocol/channel.h"
#include "session/cam_session.h"
#include "session/thread_owner.h"

using namespace corvane;

extern "C" IPC_HANDLE IPC_SessionOpen(const IpcLoginInfo* login) {
  if (!login) return nullptr;
  auto s = std::make_shared<CamSession>();
  std::memcpy(&s->login, login, sizeof s->login);
  if (s->login.connectNow) {
    plat::Socket ch = OpenChannel(kIpcChanControl, kIpcChanDefaultArg, s->login, kNoOption,
                                  kReplyTimeoutSec, nullptr);
    if (!ch.valid()) return nullptr;
    s->control = std::move(ch);
  }
  CamSession* raw = s.get();
  s->controlThread =
      MakeOwnedThread("corvane-control", raw, raw, [raw] { ControlThreadBody(*raw); });
  s->alarmThread = MakeOwnedThread("corvane-alarm", raw, raw, [raw] { AlarmThreadBody(*raw); });
  s->handle = sessions().add(s);
  s->controlThread->start();
  s->alarmThread->start();
  return reinterpret_cast<IPC_HANDLE>(s->handle);
}

extern "C" int IPC_SessionClose(IPC_HANDLE session) {
  if (!session) return 1;
  auto found = findSession(session);
  if (!found) return 0;
  if (OnSessionThread(found.get())) {
    // A thread of the session or of one of its children cannot wait for itself to end.
    PLAT_LOGW("corvane", "a session cannot be closed from its own hook");
    return 0;
  }
  found.reset();
  // Out of the registry first: from here on every export given this handle fails.
  auto s = sessions().remove(reinterpret_cast<intptr_t>(session));
  if (!s) return 0;
  CloseSession(*s);
  return 1;
}

extern "C" int IPC_SetSessionHook(IPC_HANDLE session, IpcSessionHook hook, void* user) {
  auto s = findSession(session);
  if (!s) return 0;
  bool held;
  {
    std::unique_lock<std::mutex> lk(s->hookMutex);
    s->hook = hook;
    s->hookUser = user;
    held = hook && s->heldStartEvent != 0;
    s->hookCalls.waitIdle(lk);  // calls of the old hook have ended
  }
  // The start event came before any hook could be set: the control thread delivers it now.
  if (held && s->controlThread) s->controlThread->post(kMsgHookSet);
  return 1;
}

extern "C" int IPC_CleanSessionHook(IPC_HANDLE session) {
  auto s = findSession(session);
  if (!s) return 0;
  std::unique_lock<std::mutex> lk(s->hookMutex);
  s->hook = nullptr;
  s->hookUser = nullptr;
  // Once this returns no call of the hook runs on another thread: its user data may go.
  s->hookCalls.waitIdle(lk);
  return 1;
}
