#pragma once
// CamSession: the library's login to one camera. It keeps the login record, owns the control
// connection and its lock, the alarm connection, the two session threads, the hook, and the
// lists of children (live streams, remote playbacks, file tasks) that later opens fill.
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "Corvane/session.h"
#include "plat/event.h"
#include "plat/hook.h"
#include "plat/msgthread.h"
#include "plat/socket.h"
#include "session/handle_registry.h"

namespace corvane {

// Thread messages of the library. Threads also leave on the platform's own quit message.
constexpr uint32_t kMsgQuit = 0x4FF;
constexpr uint32_t kMsgKeepAliveNow = 0x402;
constexpr uint32_t kMsgRenderTick = 0x403;
constexpr uint32_t kMsgHookSet = 0x404;  // a hook arrived: deliver the held start event
constexpr uint32_t kMsgOpenFile = 0x412;
constexpr uint32_t kMsgSpeed = 0x413;

constexpr int kThreadStopMs = 10000;
constexpr int kReplyTimeoutSec = 5;

enum class ChildKind { Stream = 0, Playback = 1, FileTask = 2 };
constexpr int kChildKinds = 3;

// Stops and frees one child by its handle (the child's own module registers it).
using ChildCloser = void (*)(intptr_t child);
void SetChildCloser(ChildKind kind, ChildCloser closer);

struct CamSession {
  IpcLoginInfo login{};
  intptr_t handle = 0;

  // Hook and its user value; the start event of the control thread is held here when no
  // hook was set yet, and delivered once when one is.
  std::mutex hookMutex;
  IpcSessionHook hook = nullptr;
  void* hookUser = nullptr;
  plat::HookCalls hookCalls;  // calls in progress, which a change of hook waits for
  int heldStartEvent = 0;

  // Child lists and their lock, held only for a list operation.
  std::mutex childMutex;
  std::vector<intptr_t> children[kChildKinds];
  // The child-list event: a live stream's close and the session's close hold it from taking
  // their children off the lists until those are destroyed, so the two never run at once.
  // Auto-reset, made set.
  plat::Event childListEvent{false, true};

  // The session lock, held across a request and its reply.
  std::recursive_mutex lock;
  // Guards the socket numbers so that a shutdown from the closer never meets a close.
  std::mutex sockMutex;
  plat::Socket control;
  plat::Socket alarm;

  // Signalled once, when the session starts to close: ends every wait of its threads.
  plat::WakeFd closeWake;
  std::atomic<bool> closing{false};

  std::unique_ptr<plat::MessageThread> controlThread;
  std::unique_ptr<plat::MessageThread> alarmThread;

  CamSession() = default;
  // A session never closed (the process is ending) still stops its threads first.
  ~CamSession();
  CamSession(const CamSession&) = delete;
  CamSession& operator=(const CamSession&) = delete;

  bool controlOpen();
  // Installs a newly opened control connection (closes it instead when closing).
  void setControl(plat::Socket s);
  // Closes the control connection under the session lock; false when it was not open.
  bool closeControl();
  // Wakes every thread blocked on one of the session's connections.
  void shutdownConnections();
  // Sleeps a product duration unless the session closes first; false when closing.
  bool pause(int productMs);
};

HandleRegistry<CamSession>& sessions();
std::shared_ptr<CamSession> findSession(IPC_HANDLE handle);

// Calls the hook with its user value when one is set (on the calling library thread).
void RaiseSessionEvent(CamSession& s, int event, void* data, int length);
// The control thread's start event: held when no hook is set yet.
void RaiseStartEvent(CamSession& s, int event);
// Asks the control thread for a keep-alive exchange now.
void RequestKeepAliveNow(CamSession& s);

// Adds a child to one of the session's lists (false once the session closes: its lists were
// already walked, so the caller must close the child itself); removes it (false when not
// listed).
bool AddChild(CamSession& s, ChildKind kind, intptr_t child);
bool RemoveChild(CamSession& s, ChildKind kind, intptr_t child);

// A close's hold on the session's child-list event for its lifetime. The wait is bounded at
// kChildListWaitMs; one that runs out is logged and the close goes on without the event
// (then nothing is given back).
constexpr int kChildListWaitMs = 40000;
class ChildListTurn {
 public:
  ChildListTurn(CamSession& s, const char* closing);
  ~ChildListTurn();
  ChildListTurn(const ChildListTurn&) = delete;
  ChildListTurn& operator=(const ChildListTurn&) = delete;

 private:
  CamSession& s_;
  bool taken_;
};

void ControlThreadBody(CamSession& s);
void AlarmThreadBody(CamSession& s);
void CloseSession(CamSession& s);

}  // namespace corvane
