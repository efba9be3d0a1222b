#include "protocol/library.h"

#include <atomic>
#include <vector>

#include "StreamPlay.h"
#include "protocol/fanout.h"

namespace saxtrum {

namespace {
std::atomic<FanOutFn> g_fanOut{nullptr};
}

void installFanOut(FanOutFn fn) { g_fanOut = fn; }

int fanOut(int32_t userId, int32_t slot, uint32_t command, uint8_t* data, uint32_t length) {
  FanOutFn fn = g_fanOut.load();
  return fn ? fn(userId, slot, command, data, length) : -1;
}

Library& library() {
  static Library lib;
  return lib;
}

int replyWaitMs() { return library().replyWaitMs.load(); }

int allocLoginSlot() {
  Library& lib = library();
  std::lock_guard<std::recursive_mutex> lock(lib.tableMutex);
  if (lib.loginCount >= kMaxLogins) {
    lib.lastError = QX_DVR_ERROR_NO_LOGIN_SLOT;
    return -1;
  }
  for (int i = 0; i < kMaxLogins; ++i) {
    if (!lib.logins[i].inUse) {
      lib.logins[i].inUse = true;
      ++lib.loginCount;
      return i;
    }
  }
  lib.lastError = QX_DVR_ERROR_NO_LOGIN_SLOT;
  return -1;
}

int freeLoginSlot(int32_t userId) {
  Library& lib = library();
  if (userId < 0 || userId >= kMaxLogins) {
    lib.lastError = QX_DVR_ERROR_NO_LOGIN_SLOT;
    return -1;
  }
  std::shared_ptr<DvrConnection> dropped;  // released outside the table lock
  std::lock_guard<std::recursive_mutex> lock(lib.tableMutex);
  LoginEntry& e = lib.logins[userId];
  if (!e.inUse) return -1;
  dropped = std::move(e.conn);
  e = LoginEntry{};
  --lib.loginCount;
  return 0;
}

std::shared_ptr<DvrConnection> loginConnection(int32_t userId) {
  if (userId < 0 || userId >= kMaxLogins) return nullptr;
  Library& lib = library();
  std::lock_guard<std::recursive_mutex> lock(lib.tableMutex);
  const LoginEntry& e = lib.logins[userId];
  return e.inUse ? e.conn : nullptr;
}

bool resolveHandle(int32_t handle, StreamRef& out) {
  if (handle < 0 || handle >= 0x800000) return false;
  const int32_t user = handleUser(static_cast<uint32_t>(handle));
  const int32_t slot = handleSlot(static_cast<uint32_t>(handle));
  if (slot >= kSlotCount) return false;
  auto conn = loginConnection(user);
  if (!conn) return false;
  out.userId = user;
  out.slot = slot;
  out.conn = std::move(conn);
  return true;
}

void stopAllLogins() {
  Library& lib = library();
  std::vector<std::shared_ptr<DvrConnection>> conns;
  {
    std::lock_guard<std::recursive_mutex> lock(lib.tableMutex);
    for (LoginEntry& e : lib.logins) {
      if (e.inUse && e.conn) conns.push_back(std::move(e.conn));
      e = LoginEntry{};
    }
    lib.loginCount = 0;
    lib.talk = TalkState{};
  }
  // Joined outside the table lock: a receive thread may be waiting for it in the fan-out.
  for (auto& c : conns) c->stop();
}

}  // namespace saxtrum

using namespace saxtrum;

extern "C" int net_callback_main(int32_t userId, int32_t slot, uint32_t command, uint8_t* data,
                                 uint32_t length) {
  if (userId < 0 || userId >= kMaxLogins || slot < 0 || slot >= kSlotCount) return -1;
  Library& lib = library();
  std::unique_lock<std::recursive_mutex> lock(lib.tableMutex);
  const LoginEntry& e = lib.logins[userId];
  if (!e.inUse || !e.conn) return -1;
  switch (command) {
    case NET_PREVIEW:
    case NET_REPLAY: {
      const StreamEntry& s = e.streams[slot];
      QX_DVR_DataCallBack cb = command == NET_PREVIEW ? s.live : s.playback;
      void* user = s.user;
      lock.unlock();
      if (cb) cb(makeStreamHandle(userId, slot), QX_DVR_DATA_STREAM, data, length, user);
      return 0;
    }
    case NET_DISCON:
      lock.unlock();
      lib.exception.call(QX_DVR_EXCEPTION_DISCONNECT, userId);
      return 0;
    case NET_SAVE_STOPPED:
      lock.unlock();
      lib.exception.call(QX_DVR_EXCEPTION_SAVE_STOPPED, makeStreamHandle(userId, slot));
      return 0;
    case NET_ALARM: {
      std::array<uint8_t, kAlarmRecordSize> wire{};
      e.conn->withSlot(slot, [&](RequestSlot& s) { wire = s.alarmRecord; });
      lock.unlock();
      // The client's callback runs with no library lock held: it may log out, stop streams
      // or wait for a thread that does.
      uint8_t alarmer[kAlarmerSize];
      buildAlarmer(userId, wire.data(), alarmer);
      forEachAlarm(wire.data(), [&](uint8_t* info) {
        lib.message.call(reinterpret_cast<char*>(alarmer), reinterpret_cast<char*>(info),
                         static_cast<uint32_t>(kAlarmInfoSize));
      });
      return 0;
    }
    default:
      return -1;
  }
}
