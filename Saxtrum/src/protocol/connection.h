#pragma once
// One login's TCP connection: connect with a time-out, the receive thread that frames and
// dispatches, the 32 request slots and the request/reply wait.
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "plat/deadline.h"
#include "plat/part_file.h"
#include "plat/socket.h"
#include "protocol/framer.h"
#include "protocol/packet.h"

namespace saxtrum {

enum ConnState : int {
  kStateCreated = 0,
  kStateConnecting = 1,
  kStateConnected = 2,
  kStateStopRequested = 3,
  kStateBroken = 4,
  kStateEnded = 5,
};

// Sizes of what the dispatcher keeps per slot.
constexpr size_t kFileRecordSize = 100;
constexpr size_t kVideoParamSize = 20;
constexpr size_t kLogBlockSize = 4420;
constexpr size_t kLoginReplySize = 72;
constexpr size_t kConfigReplySize = 30724;
constexpr size_t kAlarmOutSize = 96;
constexpr size_t kStreamHeaderSize = 16;
constexpr size_t kAlarmRecordSize = 244;
constexpr size_t kFoundFileCapacity = 40;
constexpr size_t kPtzCruiseSize = 128;
constexpr size_t kPathChars = 256;
// A local file's path: the caller's drive path mapped to a folder of this system may be
// longer than the 256 characters the device's own records hold.
constexpr size_t kLocalPathChars = 4096;

struct RequestSlot {
  bool busy = false;
  bool closing = false;  // being stopped: its data no longer reach player or callbacks
  uint32_t lastCommand = 0;
  intptr_t playWindow = 0;
  int32_t port = 0;  // StreamPlay port, 0 for none (ports count from 1)
  bool wakeOnFirst = true;
  bool callbackOn = false;
  bool writing = false;
  bool talk = false;
  uint64_t written = 0;  // bytes in the file, whole packets only
  uint32_t syncedTick = 0;  // when the file was last flushed to the disk
  std::string path;         // the file the data are for
  // Downloads, and saved streams where a file stands at `path` already, are written into a
  // part beside it, which takes its place once the download is whole or the saving ends;
  // until then `path` is left as it was.
  plat::PartFile part;
  bool direct = false;       // written at `path` itself (an export, a finished download, a new save)
  int directFd = -1;         // `path` open while written directly, from its first bytes to the end
  bool keepPartial = false;  // a saved stream keeps what it holds when it ends; a download does not
  uint64_t whole = 0;        // a download's bytes (stream header included) when it is complete
  bool failed = false;       // the download's file could not be written or put in place
  uint32_t packets = 0;
  bool replied = true;
  int64_t sentAt = 0;  // plat::monotonicMs when the last request was handed to the send
  uint32_t status = 0;
  std::array<uint8_t, kFileRecordSize> fileRecord{};
  std::array<uint8_t, kVideoParamSize> videoParams{};
  std::vector<uint8_t> logBlock;     // kLogBlockSize once used
  std::array<uint8_t, kLoginReplySize> loginReply{};
  std::vector<uint8_t> configReply;  // kConfigReplySize once used
  std::array<uint8_t, kAlarmOutSize> alarmOut{};
  std::array<uint8_t, kStreamHeaderSize> streamHeader{};
  std::array<uint8_t, kAlarmRecordSize> alarmRecord{};
  std::vector<uint8_t> foundFiles;   // up to kFoundFileCapacity records
  uint32_t foundIndex = 0;
  uint32_t foundCount = 0;
  std::array<uint8_t, kPtzCruiseSize> ptzCruise{};
  uint32_t generation = 0;  // raised on every allocation, so stale work can tell
  int feeding = 0;          // the receive thread is handing this slot's data out
  std::condition_variable replyCv;
  std::condition_variable idleCv;

  // Data from the next packet on go into `into`, which is to become `target`, or into the
  // target itself when no part is given.
  void beginFile(const std::string& target, plat::PartFile&& into, bool keepWhatItHolds) {
    closeDirect();
    path = target;
    part = std::move(into);
    keepPartial = keepWhatItHolds;
    direct = !part.active();
    failed = false;
    written = 0;
    writing = true;
  }
  void closeDirect() {
    if (directFd >= 0) ::close(directFd);
    directFd = -1;
  }
};

class DvrConnection : public std::enable_shared_from_this<DvrConnection> {
 public:
  struct Settings {
    std::string host, user, password;
    uint16_t port = 0;
    int connectTimeMs = 2000;
    int reconnectInterval = 0;
    int reconnectFlag = 0;
  };

  // Starts the receive thread at once (it connects first).
  static std::shared_ptr<DvrConnection> create(const Settings& s, int32_t userId);
  // A connection without a thread or socket, fed by hand (the fuzz target and tests).
  static std::shared_ptr<DvrConnection> createDetached(int32_t userId);
  ~DvrConnection();

  // Stops the receive thread and waits for it to end. From the receive thread itself (a
  // callback logging out) it only asks, and the thread ends after the callback returns.
  void stop();

  int state() const { return state_.load(); }
  int32_t userId() const { return userId_; }
  // Waits up to productMs for the connect to end; true when connected.
  bool waitConnected(int productMs);
  bool onReceiveThread() const;

  // Request slots.
  int allocSlot();
  int releaseSlot(int slot);
  // Releases a stream's slot once the receive thread no longer feeds its player, then stops,
  // closes and frees the player port.
  void stopStreamSlot(int slot, int32_t port);
  // Returns once the receive thread no longer hands this slot's data out (at once on the
  // receive thread itself, where a callback is changing its own stream).
  void waitFeedDone(int slot);

  // 0 when sent, -1 on failure (a disconnect report unless already stopping). The send, its
  // turn at the socket included, ends within the reply wait.
  int sendPacket(uint32_t handle, uint32_t command, const uint8_t* payload, uint32_t length);
  // Waits for this slot's own reply until productMs after its request was sent, however the
  // device's bytes trickle in; 0 when it came, -1 on time-out or a bad slot. A device
  // that lets a request go unanswered for the whole wait is taken for dead (frozen or gone):
  // the connection counts as lost, which is reported once, and every later request on it
  // fails at once. The login's own first request passes lossOnTimeout false: a failed login
  // is told by its result alone.
  int waitSlot(int slot, int productMs, bool lossOnTimeout = true);
  // Waits the reply wait and answers 1 on status 200; *unanswered (may be null) tells whether
  // no reply came in that wait.
  int waitReplyOk(int slot, bool* unanswered = nullptr);
  // Like waitReplyOk, but releases the slot unless the answer is 1.
  int waitReplyStatus(int slot, bool* unanswered = nullptr);
  void signalSlot(int slot);

  // Bytes from the peer: framed and dispatched. False when the stream is given up.
  bool receiveBytes(const uint8_t* data, size_t n);

  // Ends the writing of a slot's file (with the connection's lock held): a saved stream's
  // part takes its name with what it holds, a download's part that is not whole is removed.
  static void endSlotFile(RequestSlot& slot);

  // Slot data, read and changed under the connection's lock.
  template <typename F>
  auto withSlot(int slot, F&& f) {
    std::lock_guard<std::mutex> lock(mu_);
    return f(slots_[slot]);
  }
  int nextFree() const;

 private:
  explicit DvrConnection(int32_t userId);
  void run();
  bool connectSession();
  void dispatch(const PacketHeader& h, const uint8_t* payload);
  void setState(int s);
  // Sends the whole buffer in its turn, both by the deadline; false when either ran out.
  bool sendInTurn(int fd, const std::vector<uint8_t>& bytes, const plat::Deadline& by);
  // A connected connection becomes broken: the receive thread reports the loss and ends.
  void markLost();
  int writeRecordFile(RequestSlot& slot, const uint8_t* data, uint32_t length, bool header);
  // A download that has all its bytes takes its name.
  void completeDownload(RequestSlot& slot);
  // The end of every slot's file when the connection goes.
  void endFiles();
  // Hands a slot's data to its player, callbacks: marks the slot as being fed meanwhile.
  void feedOut(int slot, uint32_t generation, uint32_t command, bool callback, int32_t port,
               const uint8_t* data, uint32_t length, bool setData);

  int32_t userId_;
  Settings settings_;
  std::atomic<int> state_{kStateCreated};
  mutable std::mutex mu_;
  std::condition_variable stateCv_;
  // One sender at a time; a turn is waited for until the request's deadline.
  std::mutex sendMu_;
  std::condition_variable sendCv_;
  bool sending_ = false;
  plat::Socket sock_;
  plat::WakeFd wake_;
  Framer framer_;
  int nextFree_ = 0;
  std::array<RequestSlot, kSlotCount> slots_;
  std::thread thread_;
  std::thread::id threadId_;
  std::shared_ptr<DvrConnection> self_;  // kept by a thread asked to stop from within
};

// The effective connect wait: the connect time, at least 300 ms.
int connectWaitMs(int connectTimeMs);
// Dotted IPv4 text only, port non-zero; an invalid socket on failure.
plat::Socket connectWithTimeout(int connectTimeMs, const std::string& host, uint16_t port,
                                const plat::WakeFd* wake);

}  // namespace saxtrum
