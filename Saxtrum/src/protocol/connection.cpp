#include "protocol/connection.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/socket.h>
#include <unistd.h>

#include "StreamPlay.h"
#include "plat/bytes.h"
#include "plat/clock.h"
#include "plat/log.h"
#include "protocol/fanout.h"
#include "protocol/library.h"

namespace saxtrum {

namespace {
// How often a file being written is flushed to the disk.
constexpr uint32_t kRecordSyncMs = 2000;
}  // namespace

namespace {
constexpr int kSelectMs = 50;
constexpr int kIdleMs = 100;
constexpr int kStopBoundMs = 1000;
constexpr int kMinConnectMs = 300;
constexpr size_t kScratchBytes = 1048576;  // the receive thread's buffer; a read takes 40,020

// Copies what arrived into a fixed-size keep and clears the rest, so a short reply never
// leaves bytes of an older one behind.
template <typename Dest>
void keep(Dest& dest, const uint8_t* payload, uint32_t length) {
  const size_t n = std::min<size_t>(dest.size(), length);
  std::memcpy(dest.data(), payload, n);
  std::memset(dest.data() + n, 0, dest.size() - n);
}
void keepVector(std::vector<uint8_t>& dest, size_t size, const uint8_t* payload,
                uint32_t length) {
  dest.assign(size, 0);
  std::memcpy(dest.data(), payload, std::min<size_t>(size, length));
}
}  // namespace

int connectWaitMs(int connectTimeMs) {
  return connectTimeMs < kMinConnectMs ? kMinConnectMs : connectTimeMs;
}

plat::Socket connectWithTimeout(int connectTimeMs, const std::string& host, uint16_t port,
                                const plat::WakeFd* wake) {
  if (port == 0) {
    std::printf("invalid port \"%d\"\n", port);
    return {};
  }
  in_addr addr{};
  if (inet_pton(AF_INET, host.c_str(), &addr) != 1) return {};  // no name lookup
  return plat::connectTcp(host, port, connectWaitMs(connectTimeMs), nullptr, wake);
}

DvrConnection::DvrConnection(int32_t userId) : userId_(userId) {}

DvrConnection::~DvrConnection() {
  if (thread_.joinable()) stop();
  endFiles();
}

std::shared_ptr<DvrConnection> DvrConnection::create(const Settings& s, int32_t userId) {
  std::shared_ptr<DvrConnection> c(new DvrConnection(userId));
  c->settings_ = s;
  c->settings_.host = s.host.substr(0, 31);
  c->settings_.user = s.user.substr(0, 32);
  c->settings_.password = s.password.substr(0, 32);
  std::lock_guard<std::mutex> lock(c->mu_);
  c->thread_ = std::thread([raw = c.get()] { raw->run(); });
  c->threadId_ = c->thread_.get_id();
  return c;
}

std::shared_ptr<DvrConnection> DvrConnection::createDetached(int32_t userId) {
  std::shared_ptr<DvrConnection> c(new DvrConnection(userId));
  c->state_ = kStateConnected;
  return c;
}

bool DvrConnection::onReceiveThread() const {
  return std::this_thread::get_id() == threadId_;
}

void DvrConnection::setState(int s) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    state_ = s;
  }
  stateCv_.notify_all();
  // Waiters of a connection that stops or breaks are not left waiting for a reply.
  if (s >= kStateStopRequested)
    for (auto& slot : slots_) slot.replyCv.notify_all();
}

void DvrConnection::markLost() {
  int expected = kStateConnected;
  if (!state_.compare_exchange_strong(expected, kStateBroken)) return;
  stateCv_.notify_all();
  // Other waiters give up at once, and the receive thread leaves its wait to report.
  for (auto& slot : slots_) slot.replyCv.notify_all();
  wake_.signal();
}

bool DvrConnection::waitConnected(int productMs) {
  std::unique_lock<std::mutex> lock(mu_);
  stateCv_.wait_for(lock, plat::scaledDuration(productMs),
                    [&] { return state_ != kStateCreated && state_ != kStateConnecting; });
  return state_ == kStateConnected;
}

bool DvrConnection::connectSession() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (state_ != kStateCreated) return false;  // stopped before it began
    framer_.reset();
    state_ = kStateConnecting;
  }
  plat::Socket s = connectWithTimeout(settings_.connectTimeMs, settings_.host, settings_.port,
                                      &wake_);
  if (!s.valid()) return false;  // stays connecting; the login gives up by time-out
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (state_ != kStateConnecting) return false;
    sock_ = std::move(s);
    state_ = kStateConnected;
  }
  stateCv_.notify_all();
  return true;
}

void DvrConnection::run() {
  { std::lock_guard<std::mutex> lock(mu_); }  // the creator has recorded the thread
  std::unique_ptr<uint8_t[]> scratch(new (std::nothrow) uint8_t[kScratchBytes]);
  if (!scratch) {
    // No memory for the buffer: the thread ends at once, and the login fails.
    PLAT_LOGW("Saxtrum", "login %d: no memory for the receive buffer", userId_);
    setState(kStateEnded);
    return;
  }
  connectSession();
  for (;;) {
    const int s = state_.load();
    if (s == kStateStopRequested || s == kStateEnded) break;
    if (s == kStateConnected) {
      const plat::WaitResult r = plat::waitReadable(sock_.fd(), kSelectMs, &wake_);
      if (r == plat::WaitResult::Woken) {
        wake_.clear();
        continue;
      }
      if (r == plat::WaitResult::Timeout) continue;
      long n = -1;
      if (r == plat::WaitResult::Ready) {
        do {
          n = ::recv(sock_.fd(), scratch.get(), kMaxPacket, 0);
        } while (n < 0 && errno == EINTR);
      }
      if (n <= 0 || !receiveBytes(scratch.get(), static_cast<size_t>(n))) markLost();
    } else if (s == kStateBroken) {
      fanOut(userId_, 0, NET_DISCON, nullptr, 0);
      int expected = kStateBroken;
      if (state_.compare_exchange_strong(expected, kStateStopRequested))
        setState(kStateStopRequested);
    } else {
      plat::waitReadable(wake_.fd(), kIdleMs);
    }
  }
  std::shared_ptr<DvrConnection> keepAlive;
  {
    std::lock_guard<std::mutex> lock(mu_);
    keepAlive.swap(self_);
  }
  setState(kStateEnded);
  // keepAlive may free the connection here, when it was stopped from this very thread.
}

void DvrConnection::stop() {
  if (state_.load() != kStateEnded) setState(kStateStopRequested);
  wake_.signal();
  // Players of streams still open are left as they are: the login goes, their ports stay.
  if (!thread_.joinable()) return;
  if (onReceiveThread()) {
    // Asked from a callback on the receive thread: it ends when the callback returns and
    // keeps the connection alive until then.
    {
      std::lock_guard<std::mutex> lock(mu_);
      self_ = shared_from_this();
      thread_.detach();
    }
    endFiles();
    return;
  }
  {
    std::unique_lock<std::mutex> lock(mu_);
    if (!stateCv_.wait_for(lock, plat::scaledDuration(kStopBoundMs),
                           [&] { return state_ == kStateEnded; }))
      PLAT_LOGW("Saxtrum", "receive thread of login %d still busy after the stop bound; waiting",
                userId_);
  }
  sock_.shutdownBoth();
  thread_.join();
  endFiles();
}

void DvrConnection::endFiles() {
  std::lock_guard<std::mutex> lock(mu_);
  for (RequestSlot& s : slots_) endSlotFile(s);
}

void DvrConnection::endSlotFile(RequestSlot& s) {
  s.closeDirect();
  if (!s.part.active()) return;
  s.writing = false;
  if (!s.keepPartial || s.written == 0) {
    s.part.discard();
    return;
  }
  const std::string target = s.path;
  if (!s.part.commit())
    PLAT_LOGW("Saxtrum", "saved stream not put in place as %s: %s", target.c_str(),
              std::strerror(errno));
}

void DvrConnection::completeDownload(RequestSlot& s) {
  if (!s.part.commit()) {
    PLAT_LOGW("Saxtrum", "download not put in place as %s: %s", s.path.c_str(),
              std::strerror(errno));
    s.failed = true;
    s.writing = false;
    return;
  }
  // The file is the caller's now: bytes the device sends beyond its own size go on into it.
  s.direct = true;
}

int DvrConnection::nextFree() const {
  std::lock_guard<std::mutex> lock(mu_);
  return nextFree_;
}

int DvrConnection::allocSlot() {
  std::lock_guard<std::mutex> lock(mu_);
  if (nextFree_ < 0) return -1;
  const int i = nextFree_;
  RequestSlot& s = slots_[i];
  s.busy = true;
  s.closing = false;
  s.writing = false;
  s.callbackOn = false;
  s.talk = false;
  s.packets = 0;
  s.wakeOnFirst = true;
  s.port = 0;
  s.playWindow = 0;
  s.path.clear();
  s.part.discard();
  s.closeDirect();
  s.direct = s.keepPartial = s.failed = false;
  s.whole = s.written = 0;
  s.replied = true;
  s.sentAt = 0;
  s.foundFiles.clear();
  s.foundIndex = 0;
  s.foundCount = 0;
  ++s.generation;
  nextFree_ = -1;
  for (int k = 1; k < kSlotCount; ++k) {
    const int j = (i + k) % kSlotCount;
    if (!slots_[j].busy) {
      nextFree_ = j;
      break;
    }
  }
  return i;
}

int DvrConnection::releaseSlot(int slot) {
  if (slot < 0 || slot >= kSlotCount) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  RequestSlot& s = slots_[slot];
  endSlotFile(s);
  s.writing = false;
  s.callbackOn = false;
  s.busy = false;
  s.closing = false;
  s.talk = false;
  s.packets = 0;
  if (nextFree_ < 0) nextFree_ = slot;
  return 0;
}

void DvrConnection::stopStreamSlot(int slot, int32_t port) {
  if (slot < 0 || slot >= kSlotCount) return;
  {
    std::unique_lock<std::mutex> lock(mu_);
    slots_[slot].closing = true;
  }
  // The receive thread may be inside the player or a callback for this slot: the slot is
  // released only once it has left (unless we are that thread, stopping from a callback).
  waitFeedDone(slot);
  releaseSlot(slot);
  if (port > 0) {
    SPlay_Stop(port);
    SPlay_CloseStream(port);
    SPlay_FreePort(port);
  }
}

void DvrConnection::waitFeedDone(int slot) {
  if (slot < 0 || slot >= kSlotCount || onReceiveThread()) return;
  std::unique_lock<std::mutex> lock(mu_);
  RequestSlot& s = slots_[slot];
  if (!s.idleCv.wait_for(lock, plat::scaledDuration(kStopBoundMs), [&] { return s.feeding == 0; }))
    PLAT_LOGW("Saxtrum", "login %d: a callback of slot %d is still running", userId_, slot);
}

int DvrConnection::sendPacket(uint32_t handle, uint32_t command, const uint8_t* payload,
                              uint32_t length) {
  if (length > kMaxPayload || (length > 0 && payload == nullptr)) return -1;
  std::vector<uint8_t> buf(kHeaderSize + length);
  PacketHeader h;
  h.command = command;
  h.length = length;
  h.handle = handle;
  encodeHeader(h, buf.data());
  if (length) std::memcpy(buf.data() + kHeaderSize, payload, length);
  const int slot = handleSlot(handle);
  // The request's time counts from here: a device that takes its bytes slowly, or another
  // request's send it waits behind, uses up the same reply wait.
  const int64_t sentAt = plat::monotonicMs();
  const plat::Deadline by = plat::Deadline::after(replyWaitMs(), sentAt);
  int fd = -1;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (slot < kSlotCount) {
      slots_[slot].replied = false;
      slots_[slot].lastCommand = command;
      slots_[slot].sentAt = sentAt;
    }
    if (state_ == kStateConnected) fd = sock_.fd();
  }
  if (fd >= 0 && sendInTurn(fd, buf, by)) return 0;
  if (command == NET_LOGIN) return -1;
  const int s = state_.load();
  if (s != kStateStopRequested && s != kStateBroken && s != kStateEnded)
    fanOut(userId_, slot < kSlotCount ? slot : 0, NET_DISCON, nullptr, 0);
  return -1;
}

bool DvrConnection::sendInTurn(int fd, const std::vector<uint8_t>& bytes,
                               const plat::Deadline& by) {
  {
    std::unique_lock<std::mutex> lock(sendMu_);
    if (!sendCv_.wait_until(lock, by.until(), [&] { return !sending_; })) {
      PLAT_LOGW("Saxtrum", "login %d: no turn to send in time", userId_);
      return false;
    }
    sending_ = true;
  }
  const bool sent = plat::sendAll(fd, bytes.data(), bytes.size(), by);
  {
    std::lock_guard<std::mutex> lock(sendMu_);
    sending_ = false;
  }
  sendCv_.notify_one();
  return sent;
}

int DvrConnection::waitSlot(int slot, int productMs, bool lossOnTimeout) {
  if (slot < 0 || slot >= kSlotCount) return -1;
  std::unique_lock<std::mutex> lock(mu_);
  RequestSlot& s = slots_[slot];
  auto done = [&] { return s.replied || state_ != kStateConnected; };
  if (productMs <= 0)
    s.replyCv.wait(lock, done);
  else
    s.replyCv.wait_until(
        lock, plat::Deadline::after(productMs, s.sentAt ? s.sentAt : plat::monotonicMs()).until(),
        done);
  const bool answered = s.replied;
  const bool timedOut = !answered && state_ == kStateConnected;
  const uint32_t command = s.lastCommand;
  s.replied = true;  // a late reply no longer wakes anybody
  lock.unlock();
  if (timedOut && lossOnTimeout) {
    PLAT_LOGW("Saxtrum", "login %d: no reply to command %u in time; connection taken as lost",
              userId_, command);
    markLost();
  }
  return answered ? 0 : -1;
}

int DvrConnection::waitReplyOk(int slot, bool* unanswered) {
  const bool none = waitSlot(slot, replyWaitMs()) != 0;
  if (unanswered) *unanswered = none;
  if (none) return 0;
  std::lock_guard<std::mutex> lock(mu_);
  return slots_[slot].status == kStatusOk ? 1 : 0;
}

int DvrConnection::waitReplyStatus(int slot, bool* unanswered) {
  const int r = waitReplyOk(slot, unanswered);
  if (r != 1) releaseSlot(slot);
  return r;
}

void DvrConnection::signalSlot(int slot) {
  // Called with mu_ held by the dispatcher.
  RequestSlot& s = slots_[slot];
  if (!s.replied) {
    s.replied = true;
    s.replyCv.notify_all();
  }
}

bool DvrConnection::receiveBytes(const uint8_t* data, size_t n) {
  return framer_.feed(data, n, [this](const PacketHeader& h, const uint8_t* p) { dispatch(h, p); });
}

int DvrConnection::writeRecordFile(RequestSlot& s, const uint8_t* data, uint32_t length,
                                   bool header) {
  // Into the part while there is one; at the path itself only where that is the file's place.
  // Either stays open from the first bytes to the end: nothing opens the file by its name
  // again for each packet.
  const bool intoPart = s.part.active();
  if (!intoPart && (!s.direct || s.path.empty())) return -1;
  const bool first = s.written == 0;
  if (!intoPart && s.directFd < 0)
    s.directFd = ::open(s.path.c_str(),
                        O_WRONLY | O_CREAT | O_CLOEXEC | (first ? O_TRUNC : O_APPEND), 0666);
  const int fd = intoPart ? s.part.fd() : s.directFd;
  const bool withHeader = header && first;
  bool ok = fd >= 0 &&
            (!withHeader || plat::writeAll(fd, s.streamHeader.data(), s.streamHeader.size()));
  ok = ok && (length == 0 || plat::writeAll(fd, data, length));
  if (ok) {
    s.written += (withHeader ? kStreamHeaderSize : 0) + length;
    // Every few seconds what was written goes to the disk: a power loss costs seconds only.
    const uint32_t now = plat::tickCount();
    if (now - s.syncedTick >= kRecordSyncMs) {
      s.syncedTick = now;
      ::fdatasync(fd);
    }
    return 0;
  }
  // The disk refused (full, failing, the folder gone): the file is cut back to its last whole
  // packet, so it stays playable, and nothing more is written to it.
  const int error = errno;
  s.writing = false;
  PLAT_LOGW("Saxtrum", "writing %s stopped: %s", s.path.c_str(), std::strerror(error));
  if (fd >= 0) {
    if (::ftruncate(fd, static_cast<off_t>(s.written)) != 0)
      PLAT_LOGW("Saxtrum", "%s keeps a part of its last packet", s.path.c_str());
  }
  // A saved stream ends here with what it holds; a download can no longer be whole.
  s.direct = false;
  if (intoPart && !s.keepPartial) s.failed = true;
  endSlotFile(s);
  return -1;
}

void DvrConnection::feedOut(int slot, uint32_t generation, uint32_t command, bool callback,
                            int32_t port, const uint8_t* data, uint32_t length, bool header) {
  std::array<uint8_t, kStreamHeaderSize> streamHeader{};
  {
    std::lock_guard<std::mutex> lock(mu_);
    ++slots_[slot].feeding;
    streamHeader = slots_[slot].streamHeader;
  }
  if (callback) fanOut(userId_, slot, command, const_cast<uint8_t*>(data), length);
  bool current;
  {
    // A callback may have stopped the stream: its port is then no longer ours.
    std::lock_guard<std::mutex> lock(mu_);
    const RequestSlot& s = slots_[slot];
    current = s.busy && !s.closing && s.generation == generation;
  }
  if (current && port > 0) {
    if (header) SPlay_InputData(port, streamHeader.data(), kStreamHeaderSize);
    SPlay_InputData(port, data, length);
  }
  {
    std::lock_guard<std::mutex> lock(mu_);
    --slots_[slot].feeding;
  }
  slots_[slot].idleCv.notify_all();
}

void DvrConnection::dispatch(const PacketHeader& h, const uint8_t* p) {
  const int slot = handleSlot(h.handle);
  if (slot >= kSlotCount) return;
  const uint32_t cmd = h.command, len = h.length;
  const bool ok = h.status == kStatusOk;
  std::unique_lock<std::mutex> lock(mu_);
  RequestSlot& s = slots_[slot];
  if (!s.busy || s.closing) return;
  // Only an answer to the request last sent on the slot wakes its waiter or sets its status:
  // a late answer to an earlier request on the same slot must not pass for the new one.
  const bool answers = cmd == s.lastCommand;
  if (answers) s.status = h.status;
  auto signalSlot = [&](int i) {
    if (answers) this->signalSlot(i);
  };
  // A stream packet: into the file being written, then (unlocked) to callback and player.
  auto streamOut = [&](bool header) {
    ++s.packets;
    const bool saveStopped = s.writing && writeRecordFile(s, p, len, true) != 0 && !s.writing;
    const bool cb = s.callbackOn;
    const int32_t port = s.port;
    const uint32_t gen = s.generation;
    lock.unlock();
    feedOut(slot, gen, cmd, cb, port, p, len, header);
    // The client hears of it with no lock of ours held: it may stop the stream from there.
    if (saveStopped) fanOut(userId_, slot, NET_SAVE_STOPPED, nullptr, 0);
  };
  switch (cmd) {
    case NET_LOGIN:
      keep(s.loginReply, p, len);
      signalSlot(slot);
      return;
    case NET_PREVIEW: {
      if (s.packets == 0) {
        if (s.wakeOnFirst) signalSlot(slot);
        ++s.packets;
        return;  // the reply itself is not played
      }
      streamOut(false);
      return;
    }
    case NET_REPLAY: {
      bool first = false;
      if (s.packets == 0) {
        signalSlot(slot);
        if (!ok) return;
        first = true;
      }
      streamOut(first);
      return;
    }
    case NET_PREVIEW_STOP:
    case NET_REPLAY_STOP:
      s.packets = 0;
      signalSlot(slot);
      return;
    case NET_STREAM_HEADER:
      keep(s.streamHeader, p, len);
      return;
    case NET_DOWNLOAD:
      if (s.packets == 0) {
        if (writeRecordFile(s, p, len, true) != 0 && answers) s.status = kStatusFail;
        signalSlot(slot);
        ++s.packets;
      } else {
        ++s.packets;
        if (s.writing) writeRecordFile(s, p, len, true);
      }
      // Every byte the device said the file holds has come: the download is whole.
      if (ok && s.part.active() && s.written >= s.whole) completeDownload(s);
      return;
    case NET_DOWNLOAD_STOP:
      s.packets = 0;
      s.writing = false;
      signalSlot(slot);
      return;
    case NET_TALK_STREAM: {
      if (!s.talk || len < 12) return;
      ++s.packets;
      lock.unlock();
      // The audio follows the two values and the counter.
      SPlay_InputTalkData(p + 12, len - 12, plat::getLe32(p), plat::getLe32(p + 4));
      return;
    }
    case NET_FILE_INFO:
    case NET_FILE_FIND:
      if (ok) keep(s.fileRecord, p, len);
      signalSlot(slot);
      return;
    case NET_FILE_FIND_NEXT:
      if (ok) {
        const uint32_t count =
            std::min<uint32_t>(len / kFileRecordSize, kFoundFileCapacity);
        s.foundIndex = 0;
        s.foundCount = count;
        s.foundFiles.assign(p, p + count * kFileRecordSize);
      } else {
        s.foundIndex = 0;
        s.foundCount = 0;
        s.foundFiles.clear();
      }
      signalSlot(slot);
      return;
    case NET_GETVEDIOPARAM:
      if (ok) keep(s.videoParams, p, len);
      signalSlot(slot);
      return;
    case NET_GETALARMOUT:
      if (ok) keep(s.alarmOut, p, len);
      signalSlot(slot);
      return;
    case NET_QUERY_LOG:
    case NET_GETNEXT_LOG:
      if (ok) keepVector(s.logBlock, kLogBlockSize, p, len);
      signalSlot(slot);
      return;
    case NET_GET_PTZCRUISE:
      if (ok) keep(s.ptzCruise, p, len);
      signalSlot(slot);
      return;
    case NET_ALARM: {
      if (!s.callbackOn) return;
      keep(s.alarmRecord, p, len);
      lock.unlock();
      fanOut(userId_, slot, NET_ALARM, const_cast<uint8_t*>(p), len);
      return;
    }
    case NET_EXPORT_CFG:
      if (s.packets == 0) {
        if (ok && s.path.empty()) {
          // The device names the file; only its last component is used, so a device
          // cannot place files elsewhere.
          std::string name(reinterpret_cast<const char*>(p),
                           strnlen(reinterpret_cast<const char*>(p), std::min<size_t>(len, kPathChars)));
          const size_t cut = name.find_last_of("/\\");
          if (cut != std::string::npos) name = name.substr(cut + 1);
          if (name == "." || name == "..") name.clear();
          s.path = name;
        }
        ++s.packets;
        signalSlot(slot);
      } else {
        // The stream has no end mark: every later packet, an empty one too, is file data.
        writeRecordFile(s, p, len, false);
      }
      return;
    case NET_STREAM:
    case NET_DISCON:
      return;
    default:
      if (isConfigGet(cmd)) {
        if (ok) keepVector(s.configReply, kConfigReplySize, p, len);
        signalSlot(slot);
        return;
      }
      if (cmd >= 1 && cmd <= 76) signalSlot(slot);
      return;
  }
}

}  // namespace saxtrum
