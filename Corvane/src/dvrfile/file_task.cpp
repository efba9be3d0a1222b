// Search and download: open the channel, send the request, read the accepting reply, then
// message after message. The end mark is handed on and reading goes on behind it: the
// transfer ends at a message of another kind, when the camera closes the connection, or when
// the next message does not come within its wait.
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

// One exchange on an open file connection: the request, the accepting reply, then message
// after message while `onMessage` takes them (it returns false for a kind it does not know).
// The request and its reply end within the wait counted from the send, and each later
// message within the wait counted from when it is awaited, however slowly its bytes come.
template <typename OnAccepted, typename OnMessage>
void exchange(int fd, uint16_t command, uint16_t reply, const uint8_t* payload, size_t size,
              OnAccepted onAccepted, OnMessage onMessage, const plat::WakeFd* wake) {
  MsgHeader h;
  h.code = command;
  h.length = static_cast<uint16_t>(size);
  const Message req = buildMessage(h, payload, size);
  const plat::Deadline by = plat::Deadline::after(kWaitMs);
  if (SendAll(fd, req.data(), req.size(), by, wake) != req.size()) return;
  Message m{};
  const auto accepted = [reply](const uint8_t* header) {
    const MsgHeader r = MsgHeader::read(header);
    return r.code == reply && r.status == 1;
  };
  if (RecvReply(fd, m, by, accepted, wake) != ReplyRead::Whole) return;
  onAccepted(m.data() + kIpcMsgHeaderSize);
  // Bounded by what the camera sends: each pass needs a whole message within its wait.
  for (;;) {
    if (RecvAll(fd, m.data(), m.size(), plat::Deadline::after(kWaitMs), wake) != m.size())
      return;
    if (!onMessage(MsgHeader::read(m.data()), m.data() + kIpcMsgHeaderSize)) return;
  }
}

// Opens the task's channel, runs `run` on it and closes it.
template <typename Run>
void onChannel(DvrFileTask& t, uint16_t channel, Run run) {
  if (t.busy.exchange(true)) {
    PLAT_LOGW("corvane", "a file task runs one search or download at a time");
    return;
  }
  struct Idle {
    std::atomic<bool>& busy;
    ~Idle() { busy.store(false); }
  } idle{t.busy};
  plat::Socket s = OpenChannel(channel, 0, t.session->login, 0, kReplyTimeoutSec, nullptr,
                               &t.wake);
  if (!s.valid()) return;
  const int fd = s.fd();
  {
    std::lock_guard<std::mutex> lk(t.mutex);
    t.conn = std::move(s);
  }
  run(fd);
  std::lock_guard<std::mutex> lk(t.mutex);
  t.conn.close();
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

void searchOn(int fd, const IpcFileSearchCond& condition, IpcSearchCallback callback,
              void* user, const plat::WakeFd* wake) {
  exchange(
      fd, kCmdSearch, kCmdSearchReply, condition.bytes, sizeof condition.bytes,
      [](const uint8_t*) {},
      [&](const MsgHeader& h, const uint8_t* payload) {
        if (h.code == kCmdFileRecord) callback(kIpcSearchRecord, payload, user);
        else if (h.code == kCmdEnd) callback(kIpcSearchEnd, nullptr, user);
        else return false;
        return true;
      },
      wake);
}

void downloadOn(int fd, const IpcDownloadRequest& request, IpcDownloadCallback callback,
                void* user, const plat::WakeFd* wake) {
  exchange(
      fd, kCmdDownload, kCmdDownloadReply, request.bytes, sizeof request.bytes,
      [&](const uint8_t* info) { callback(kIpcDownloadAccepted, info, nullptr, 0, user); },
      [&](const MsgHeader& h, const uint8_t* payload) {
        if (h.code == kCmdFileData) {
          // The length field comes from the wire: never more than the payload holds.
          const int n = static_cast<int>(std::min<size_t>(h.length, kIpcMsgPayloadSize));
          callback(kIpcDownloadData, nullptr, payload, n, user);
        } else if (h.code == kCmdEnd) {
          callback(kIpcDownloadEnd, payload, nullptr, 0, user);
        } else {
          return false;
        }
        return true;
      },
      wake);
}

void DvrFileTask::search(const IpcFileSearchCond& condition, IpcSearchCallback callback,
                         void* user) {
  if (!callback) return;
  onChannel(*this, kIpcChanSearch,
            [&](int fd) { searchOn(fd, condition, callback, user, &wake); });
}

void DvrFileTask::download(const IpcDownloadRequest& request, IpcDownloadCallback callback,
                           void* user) {
  if (!callback) return;
  onChannel(*this, kIpcChanDownload,
            [&](int fd) { downloadOn(fd, request, callback, user, &wake); });
}

}  // namespace corvane
