#include "protocol/exchange.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>

#include "plat/log.h"
#include "session/cam_session.h"

namespace corvane {

bool setReplyAccepted(const uint8_t* reply, uint16_t expected) {
  MsgHeader h = MsgHeader::read(reply);
  return h.status == 0 || (h.status == 1 && h.code == expected);
}

bool getReplyAccepted(const uint8_t* reply, uint16_t expected) {
  MsgHeader h = MsgHeader::read(reply);
  return (h.status == 0 || h.status == 1) && h.code == expected;
}

namespace {

// Reads and discards what waits on the connection; false when the peer closed it or it broke.
bool drainPending(int fd) {
  uint8_t junk[256];
  // Bounded: what can be pending is bounded by the socket's buffer.
  for (int i = 0; i < 1 << 16; ++i) {
    ssize_t n = ::recv(fd, junk, sizeof junk, MSG_DONTWAIT);
    if (n > 0) continue;
    if (n == 0) return false;
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK;
  }
  return true;
}

}  // namespace

bool SendRequest(CamSession& s, const Message& msg, const plat::Deadline& by) {
  std::lock_guard<std::recursive_mutex> lk(s.lock);
  const int fd = s.control.fd();
  if (fd < 0) return false;
  if (!drainPending(fd)) {
    PLAT_LOGD("corvane", "control connection found closed before a request");
    return false;
  }
  return plat::sendAll(fd, msg.data(), msg.size(), by, &s.closeWake);
}

ReplyRead ReceiveReply(CamSession& s, Message& reply, const plat::Deadline& by,
                       const HeaderCheck& accepts) {
  std::lock_guard<std::recursive_mutex> lk(s.lock);
  const int fd = s.control.fd();
  if (fd < 0) return ReplyRead::Short;
  return RecvReply(fd, reply, by, accepts, &s.closeWake);
}

namespace {

using ReplyRule = bool (*)(const uint8_t* reply, uint16_t expected);

// One request and its reply under the session lock; true when the whole reply came and the
// rule accepts it.
bool exchange(CamSession& s, uint16_t command, uint16_t argument, const void* payload,
              size_t length, int timeoutSec, ReplyRule rule, uint16_t expected, Message& reply,
              bool* unanswered) {
  MsgHeader h;
  h.code = command;
  h.argument = argument;
  const Message req = buildMessage(h, payload, length);
  std::lock_guard<std::recursive_mutex> lk(s.lock);
  if (!s.control.valid()) return false;
  const plat::Deadline by = plat::Deadline::after(timeoutSec * 1000);
  if (!SendRequest(s, req, by)) return false;
  const ReplyRead r = ReceiveReply(s, reply, by, [&](const uint8_t* header) {
    return rule(header, expected);
  });
  // Sent, and no reply (or half of one) by the deadline: the camera may have acted on it.
  if (unanswered) *unanswered = r == ReplyRead::Short;
  return r == ReplyRead::Whole;
}

}  // namespace

bool SetParam(CamSession& s, uint16_t command, uint16_t argument, const void* payload,
              size_t length, uint16_t expected, int timeoutSec, bool* unanswered) {
  if (unanswered) *unanswered = false;
  Message reply{};
  return exchange(s, command, argument, payload, length, timeoutSec, setReplyAccepted, expected,
                  reply, unanswered);
}

bool GetParam(CamSession& s, uint16_t command, uint16_t argument, void* buffer, size_t length,
              uint16_t expected, bool* unanswered) {
  if (unanswered) *unanswered = false;
  if (length > kIpcMsgPayloadSize) return false;
  Message reply{};
  if (!exchange(s, command, argument, buffer, length, kReplyTimeoutSec, getReplyAccepted,
                expected, reply, unanswered))
    return false;
  if (length > 0) std::memcpy(buffer, reply.data() + kIpcMsgHeaderSize, length);
  return true;
}

}  // namespace corvane
