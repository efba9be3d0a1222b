// Two-way audio: the library's one talk session.
#include <algorithm>

#include "StreamPlay.h"
#include "Saxtrum.h"
#include "api/requests.h"
#include "plat/bytes.h"

using namespace saxtrum;

namespace {
constexpr uint32_t kTalkPrefix = 12;      // two values and the packet counter
constexpr uint32_t kTalkAudioMax = 2036;  // audio bytes per talk packet

void clearTalk(int32_t handle) {
  Library& lib = library();
  std::lock_guard<std::recursive_mutex> lock(lib.tableMutex);
  if (lib.talk.handle == handle) lib.talk = TalkState{};
}
}  // namespace

extern "C" {

int32_t QX_DVR_StartVoiceCom(int32_t userId, int32_t channel) {
  if (channel < 1 || channel > 16) return -1;
  auto conn = loginConnection(userId);
  if (!conn) return -1;
  const int slot = conn->allocSlot();
  if (slot < 0) return -1;
  const int32_t handle = makeStreamHandle(userId, slot);
  if (SPlay_OpenTalk(TalkDataCallBack, 0, 0) != 1) {
    conn->releaseSlot(slot);
    return -1;
  }
  // The player's talk stays open whatever follows: it sends nothing without an active talk.
  if (conn->sendPacket(static_cast<uint32_t>(handle), NET_TALK_OPEN, nullptr, 0) != 0) {
    conn->releaseSlot(slot);
    return -1;
  }
  if (conn->waitReplyStatus(slot) != 1) return -1;  // releases the slot
  {
    Library& lib = library();
    std::lock_guard<std::recursive_mutex> lock(lib.tableMutex);
    lib.talk.active = true;
    lib.talk.userId = userId;
    lib.talk.handle = handle;
    lib.talk.counter = 0;
  }
  conn->withSlot(slot, [](RequestSlot& s) { s.talk = true; });
  return handle;
}

int QX_DVR_StopVoiceCom(int32_t talkHandle) {
  StreamRef r;
  if (!resolveBusy(talkHandle, r)) return 0;
  int result = 1;
  if (r.conn->sendPacket(static_cast<uint32_t>(talkHandle), NET_TALK_CLOSE, nullptr, 0) != 0) {
    result = 0;
  } else if (r.conn->waitSlot(r.slot, replyWaitMs()) == 0 &&
             r.conn->withSlot(r.slot, [](RequestSlot& s) { return s.status != kStatusOk; })) {
    // A refused close still gives the slot back, so the talk ends here too: captured audio
    // sent on a slot the next request takes would be taken for that request's traffic.
    result = 0;
  }
  r.conn->withSlot(r.slot, [](RequestSlot& s) { s.talk = false; });
  clearTalk(talkHandle);
  r.conn->releaseSlot(r.slot);
  return result;
}

int TalkDataCallBack(const uint8_t* data, uint32_t length, uint32_t value1, uint32_t value2) {
  if (!data && length) return -1;
  int32_t handle;
  std::shared_ptr<DvrConnection> conn;
  Library& lib = library();
  std::unique_lock<std::recursive_mutex> lock(lib.tableMutex);
  if (!lib.talk.active) return -1;
  handle = lib.talk.handle;
  conn = lib.logins[lib.talk.userId].conn;
  if (!conn) return -1;
  // Blocks longer than one talk packet holds go out as several packets.
  uint32_t done = 0;
  do {
    const uint32_t n = std::min(length - done, kTalkAudioMax);
    uint8_t packet[kTalkPrefix + kTalkAudioMax];
    plat::putLe32(packet, value1);
    plat::putLe32(packet + 4, value2);
    plat::putLe32(packet + 8, lib.talk.counter++);
    if (n) std::memcpy(packet + kTalkPrefix, data + done, n);
    if (conn->sendPacket(static_cast<uint32_t>(handle), NET_TALK_STREAM, packet, kTalkPrefix + n) !=
        0)
      return -1;
    done += n;
  } while (done < length);
  return 0;
}

}  // extern "C"
