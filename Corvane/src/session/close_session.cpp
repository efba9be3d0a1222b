// Closing a session: children first, then its connections, then its two threads by the stop
// protocol (wake, quit message, bounded wait, join; a thread is never killed).
#include "plat/log.h"
#include "session/cam_session.h"

namespace corvane {

ChildCloser childCloser(ChildKind kind);

namespace {

void stopThread(CamSession& s, std::unique_ptr<plat::MessageThread>& t) {
  if (!t) return;
  // The thread's connections were shut down before, so its waits end; should it still not
  // leave in time, shut them again and join.
  t->stop(kThreadStopMs, [&s] { s.shutdownConnections(); }, kMsgQuit);
  t.reset();
}

}  // namespace

void CloseSession(CamSession& s) {
  s.closing.store(true);
  {
    // Streams first, then file tasks, then playbacks, all under the child-list event. The
    // lists are taken under their lock and the children closed outside it: a closing child
    // joins threads whose hooks may open a child of this session (refused now, as the
    // session is closing) and so take the lock.
    ChildListTurn turn(s, "a session's close");
    constexpr ChildKind kOrder[] = {ChildKind::Stream, ChildKind::FileTask, ChildKind::Playback};
    std::vector<intptr_t> taken[3];
    {
      std::lock_guard<std::mutex> lk(s.childMutex);
      for (int i = 0; i < 3; ++i) taken[i].swap(s.children[static_cast<int>(kOrder[i])]);
    }
    for (int i = 0; i < 3; ++i) {
      ChildCloser closer = childCloser(kOrder[i]);
      for (intptr_t child : taken[i])
        if (closer) closer(child);
    }
  }
  // Wake whoever waits on a connection (a caller's exchange, the two threads); the sockets
  // are closed only once their threads are gone.
  s.shutdownConnections();
  stopThread(s, s.controlThread);
  stopThread(s, s.alarmThread);
  std::lock_guard<std::recursive_mutex> lk(s.lock);
  std::lock_guard<std::mutex> sk(s.sockMutex);
  s.control.close();
  s.alarm.close();
}

}  // namespace corvane
