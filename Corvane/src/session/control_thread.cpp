// ControlThread: keeps the control connection alive (keep-alive every 10 s) and reopens it
// (every 5 s) after a failed keep-alive closed it.
#include "plat/clock.h"
#include "plat/event.h"
#include "plat/log.h"
#include "protocol/channel.h"
#include "protocol/exchange.h"
#include "session/cam_session.h"

namespace corvane {

namespace {

constexpr uintptr_t kKeepAliveTimer = 1;
constexpr uintptr_t kReconnectTimer = 2;
constexpr int kKeepAliveMs = 10000;
constexpr int kReconnectMs = 5000;
constexpr int kSuppressedPauseMs = 200;

bool openControl(CamSession& s) {
  plat::Socket ch = OpenChannel(kIpcChanControl, kIpcChanDefaultArg, s.login, kNoOption,
                                kReplyTimeoutSec, nullptr, &s.closeWake);
  if (!ch.valid()) return false;
  s.setControl(std::move(ch));
  return s.controlOpen();
}

void keepAlive(CamSession& s) {
  if (s.closing.load()) return;
  if (SetParam(s, kIpcCmdKeepAlive, 0, nullptr, 0, kIpcCmdKeepAliveReply, kReplyTimeoutSec))
    return;
  if (s.closing.load()) return;
  if (s.closeControl()) {
    PLAT_LOGI("corvane", "keep-alive failed; control connection closed");
    RaiseSessionEvent(s, kIpcEvControlLost, reinterpret_cast<void*>(s.handle), 0);
  }
}

void reconnect(CamSession& s) {
  if (s.closing.load() || s.controlOpen()) return;
  if (s.login.noControlReconnect) {
    s.pause(kSuppressedPauseMs);
    return;
  }
  openControl(s);
}

}  // namespace

void ControlThreadBody(CamSession& s) {
  if (s.controlOpen())
    RaiseStartEvent(s, kIpcEvControlOpen);
  else if (!openControl(s) && !s.closing.load())
    RaiseStartEvent(s, kIpcEvControlLost);

  plat::setThreadTimer(kKeepAliveTimer, kKeepAliveMs);
  plat::setThreadTimer(kReconnectTimer, kReconnectMs);
  plat::Message m;
  for (;;) {
    if (!plat::getMessage(m, kKeepAliveMs)) continue;
    if (m.message == kMsgQuit || m.message == plat::WM_QUIT) break;
    if ((m.message == plat::WM_TIMER && m.wParam == kKeepAliveTimer) ||
        m.message == kMsgKeepAliveNow) {
      keepAlive(s);
    } else if (m.message == plat::WM_TIMER && m.wParam == kReconnectTimer) {
      reconnect(s);
    } else if (m.message == kMsgHookSet) {
      int held;
      {
        std::lock_guard<std::mutex> lk(s.hookMutex);
        held = s.heldStartEvent;
        s.heldStartEvent = 0;
      }
      if (held) RaiseSessionEvent(s, held, reinterpret_cast<void*>(s.handle), 0);
    }
  }
  plat::killThreadTimer(kKeepAliveTimer);
  plat::killThreadTimer(kReconnectTimer);
  s.closeControl();
}

}  // namespace corvane
