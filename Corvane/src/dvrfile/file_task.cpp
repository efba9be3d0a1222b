// Search and download: open the channel, send the request, read the accepting reply, then
// message after message until the end mark. Reading stops at the end mark, so the caller's
// thread is not held for a further wait after the last record.
#include "dvrfile/file_task.h"

#include <algorithm>

#include "plat/log.h"
#include "protocol/channel.h"
#include "protocol/wire.h"

namespace corvane {

namespace {

constexpr uint16_t kCmdSearch = 0x5101;
constexpr uint16_t kCmdSearchReply = 0x5102;
constexpr uint16_t kCmdDownload = 0x5201;
constexpr uint16_t kCmdDownloadReply = 0x5202;
constexpr uint16_t kCmdFileData = 0xFE03;
constexpr uint16_t kCmdFileRecord = 0xFE04;
constexpr uint16_t kCmdEnd = 0xFE07;
constexpr int kWaitMs = 5000;

// One transfer on the task's connection. `onMessage` returns true to read on, false to end;
// the result is 1 when the end mark was seen.
template <typename OnAccepted, typename OnMessage>
int transfer(DvrFileTask& t, uint16_t channel, uint16_t command, uint16_t reply,
             const uint8_t* payload, size_t size, OnAccepted onAccepted, OnMessage onMessage) {
  plat::Socket s = OpenChannel(channel, 0, t.session->login, 0, kReplyTimeoutSec, nullptr,
                               &t.wake);
  if (!s.valid()) return 0;
  const int fd = s.fd();
  {
    std::lock_guard<std::mutex> lk(t.mutex);
    t.conn = std::move(s);
  }
  int ended = 0;
  MsgHeader h;
  h.code = command;
  h.length = static_cast<uint16_t>(size);
  const Message req = buildMessage(h, payload, size);
  Message m{};
  if (SendAll(fd, req.data(), req.size(), kWaitMs, &t.wake) == req.size() &&
      RecvAll(fd, m.data(), m.size(), kWaitMs, &t.wake) == m.size()) {
    const MsgHeader r = MsgHeader::read(m.data());
    if (r.code == reply && r.status == 1) {
      onAccepted(m.data() + kIpcMsgHeaderSize);
      // Bounded by what the camera sends: each pass needs a whole message.
      for (;;) {
        if (RecvAll(fd, m.data(), m.size(), kWaitMs, &t.wake) != m.size()) break;
        const MsgHeader mh = MsgHeader::read(m.data());
        if (mh.code == kCmdEnd) {
          onMessage(mh, m.data() + kIpcMsgHeaderSize);
          ended = 1;
          break;
        }
        if (!onMessage(mh, m.data() + kIpcMsgHeaderSize)) break;
      }
    }
  }
  std::lock_guard<std::mutex> lk(t.mutex);
  t.conn.close();
  return ended;
}

}  // namespace

HandleRegistry<DvrFileTask>& fileTasks() {
  static HandleRegistry<DvrFileTask> registry;
  return registry;
}

void DvrFileTask::interrupt() {
  wake.signal();
  std::lock_guard<std::mutex> lk(mutex);
  conn.shutdownBoth();
}

int DvrFileTask::search(const IpcFileSearchCond& condition, IpcSearchCallback callback,
                        void* user) {
  if (!callback) return 0;
  return transfer(
      *this, kIpcChanSearch, kCmdSearch, kCmdSearchReply, condition.bytes,
      sizeof condition.bytes, [](const uint8_t*) {},
      [&](const MsgHeader& h, const uint8_t* payload) {
        if (h.code == kCmdFileRecord) {
          callback(kIpcSearchRecord, payload, user);
          return true;
        }
        if (h.code == kCmdEnd) callback(kIpcSearchEnd, nullptr, user);
        return false;
      });
}

int DvrFileTask::download(const IpcDownloadRequest& request, IpcDownloadCallback callback,
                          void* user) {
  if (!callback) return 0;
  return transfer(
      *this, kIpcChanDownload, kCmdDownload, kCmdDownloadReply, request.bytes,
      sizeof request.bytes,
      [&](const uint8_t* info) { callback(kIpcDownloadAccepted, info, nullptr, 0, user); },
      [&](const MsgHeader& h, const uint8_t* payload) {
        if (h.code == kCmdFileData) {
          // The length field comes from the wire: never more than the payload holds.
          const int n = static_cast<int>(std::min<size_t>(h.length, kIpcMsgPayloadSize));
          callback(kIpcDownloadData, nullptr, payload, n, user);
          return true;
        }
        if (h.code == kCmdEnd) callback(kIpcDownloadEnd, payload, nullptr, 0, user);
        return false;
      });
}

}  // namespace corvane
