#include "session/cam_session.h"

#include <algorithm>

#include "plat/clock.h"
#include "plat/log.h"

namespace corvane {

namespace {
std::atomic<ChildCloser> g_closers[kChildKinds];
}

void SetChildCloser(ChildKind kind, ChildCloser closer) {
  g_closers[static_cast<int>(kind)].store(closer);
}

ChildCloser childCloser(ChildKind kind) { return g_closers[static_cast<int>(kind)].load(); }

CamSession::~CamSession() {
  if (controlThread || alarmThread) CloseSession(*this);
}

bool CamSession::controlOpen() {
  std::lock_guard<std::mutex> lk(sockMutex);
  return control.valid();
}

void CamSession::setControl(plat::Socket s) {
  std::lock_guard<std::recursive_mutex> lk(lock);
  std::lock_guard<std::mutex> sk(sockMutex);
  if (closing.load()) return;  // s closes on the way out
  control = std::move(s);
}

bool CamSession::closeControl() {
  std::lock_guard<std::recursive_mutex> lk(lock);
  std::lock_guard<std::mutex> sk(sockMutex);
  if (!control.valid()) return false;
  control.close();
  return true;
}

void CamSession::shutdownConnections() {
  closeWake.signal();
  std::lock_guard<std::mutex> sk(sockMutex);
  control.shutdownBoth();
  alarm.shutdownBoth();
}

bool CamSession::pause(int productMs) {
  return plat::waitReadable(closeWake.fd(), productMs) == plat::WaitResult::Timeout;
}

HandleRegistry<CamSession>& sessions() {
  static HandleRegistry<CamSession> registry;
  return registry;
}

std::shared_ptr<CamSession> findSession(IPC_HANDLE handle) {
  if (!handle) return nullptr;
  return sessions().find(reinterpret_cast<intptr_t>(handle));
}

void RaiseSessionEvent(CamSession& s, int event, void* data, int length) {
  std::unique_lock<std::mutex> lk(s.hookMutex);
  IpcSessionHook hook = s.hook;
  void* user = s.hookUser;
  // Called without the lock (a hook that waits on the caller's thread must not block it),
  // but counted: changing the hook waits for the call to end.
  if (hook) s.hookCalls.run(lk, [&] { hook(event, data, length, user); });
}

void RaiseStartEvent(CamSession& s, int event) {
  std::unique_lock<std::mutex> lk(s.hookMutex);
  IpcSessionHook hook = s.hook;
  void* user = s.hookUser;
  if (!hook) {
    s.heldStartEvent = event;
    return;
  }
  s.hookCalls.run(lk, [&] { hook(event, reinterpret_cast<void*>(s.handle), 0, user); });
}

void RequestKeepAliveNow(CamSession& s) {
  if (s.controlThread) s.controlThread->post(kMsgKeepAliveNow);
}

bool AddChild(CamSession& s, ChildKind kind, intptr_t child) {
  std::lock_guard<std::mutex> lk(s.childMutex);
  // A close sets the flag before it takes the lists under this lock.
  if (s.closing.load()) return false;
  s.children[static_cast<int>(kind)].push_back(child);
  return true;
}

bool RemoveChild(CamSession& s, ChildKind kind, intptr_t child) {
  std::lock_guard<std::mutex> lk(s.childMutex);
  auto& list = s.children[static_cast<int>(kind)];
  auto it = std::find(list.begin(), list.end(), child);
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}

ChildListTurn::ChildListTurn(CamSession& s, const char* closing)
    : s_(s), taken_(s.childListEvent.wait(kChildListWaitMs)) {
  if (!taken_)
    PLAT_LOGW("corvane", "%s waited %d ms for the session's child list and goes on without it",
              closing, kChildListWaitMs);
}

ChildListTurn::~ChildListTurn() {
  if (taken_) s_.childListEvent.set();
}

}  // namespace corvane
