// AlarmThread: listens on the alarm channel and hands each alarm message to the hook; the
// channel is reopened whenever it is gone, also when its first open failed.
#include <cstring>

#include "plat/log.h"
#include "protocol/channel.h"
#include "session/alarm.h"
#include "session/cam_session.h"

namespace corvane {

namespace {

constexpr int kAlarmWaitMs = 5000;
constexpr int kRetryPauseMs = 200;
constexpr int kErrorPauseMs = 1000;

void closeAlarm(CamSession& s) {
  std::lock_guard<std::mutex> sk(s.sockMutex);
  s.alarm.close();
}

bool openAlarm(CamSession& s) {
  plat::Socket ch = OpenChannel(kIpcChanAlarm, kIpcChanDefaultArg, s.login, kNoOption,
                                kReplyTimeoutSec, nullptr, &s.closeWake);
  if (!ch.valid()) return false;
  std::lock_guard<std::mutex> sk(s.sockMutex);
  if (s.closing.load()) return false;
  s.alarm = std::move(ch);
  return true;
}

}  // namespace

bool DispatchAlarmMessage(CamSession& s, const uint8_t* msg) {
  const MsgHeader h = MsgHeader::read(msg);
  if (h.status != 1 && h.code != kIpcCmdAlarmPush && h.code != kIpcCmdAlarmPush2) return false;
  // The hook gets a copy: what it does with the pointer cannot reach our buffer.
  uint8_t payload[kIpcMsgPayloadSize];
  std::memcpy(payload, msg + kIpcMsgHeaderSize, sizeof payload);
  RaiseSessionEvent(s, kIpcEvAlarm, payload, 0);
  return true;
}

AlarmRead ReadAlarmMessage(CamSession& s, int fd) {
  switch (plat::waitReadable(fd, kAlarmWaitMs, &s.closeWake)) {
    case plat::WaitResult::Timeout:
      return AlarmRead::Idle;
    case plat::WaitResult::Woken:
      return AlarmRead::Idle;
    case plat::WaitResult::Error:
      return AlarmRead::Failed;
    case plat::WaitResult::Ready:
      break;
  }
  // The whole message, even when TCP splits it: a piece read on its own would make the rest
  // look like a message of its own. A message that has begun is whole within the wait.
  Message msg{};
  if (plat::recvAll(fd, msg.data(), msg.size(), plat::Deadline::after(kAlarmWaitMs),
                    &s.closeWake) != msg.size())
    return AlarmRead::Ended;
  DispatchAlarmMessage(s, msg.data());
  return AlarmRead::Message;
}

void AlarmThreadBody(CamSession& s) {
  closeAlarm(s);
  bool ended = !openAlarm(s);
  plat::Message m;
  // Each pass either waits (up to 5 s) or pauses; the quit message ends it.
  for (;;) {
    if (plat::peekMessage(m) && (m.message == kMsgQuit || m.message == plat::WM_QUIT)) break;
    if (s.closing.load()) {
      // The connection is being shut; wait for the quit message instead of spinning.
      if (plat::getMessage(m, kRetryPauseMs) &&
          (m.message == kMsgQuit || m.message == plat::WM_QUIT))
        break;
      continue;
    }
    if (ended) {
      closeAlarm(s);
      if (s.login.noControlReconnect || !openAlarm(s)) {
        s.pause(kRetryPauseMs);
        continue;
      }
      ended = false;
    }
    const int fd = s.alarm.fd();
    switch (ReadAlarmMessage(s, fd)) {
      case AlarmRead::Ended:
        ended = true;
        s.pause(kErrorPauseMs);
        break;
      case AlarmRead::Failed:
        s.pause(kErrorPauseMs);
        break;
      case AlarmRead::Idle:
      case AlarmRead::Message:
        break;
    }
  }
  closeAlarm(s);
}

}  // namespace corvane
