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

bool SendRequest(CamSession& s, const Message& msg) {
  std::lock_guard<std::recursive_mutex> lk(s.lock);
  const int fd = s.control.fd();
  if (fd < 0) return false;
  if (!drainPending(fd)) {
    PLAT_LOGD("corvane", "control connection found closed before a request");
    return false;
  }
  return plat::sendAll(fd, msg.data(), msg.size(), kReplyTimeoutSec * 1000, &s.closeWake);
}

size_t ReceiveReply(CamSession& s, uint8_t* buffer, size_t size, int timeoutSec) {
  std::lock_guard<std::recursive_mutex> lk(s.lock);
  const int fd = s.control.fd();
  if (fd < 0) return 0;
  return plat::recvAll(fd, buffer, size, timeoutSec * 1000, &s.closeWake);
}

namespace {

bool exchange(CamSession& s, uint16_t command, uint16_t argument, const void* payload,
              size_t length, int timeoutSec, Message& reply) {
  MsgHeader h;
  h.code = command;
  h.argument = argument;
  const Message req = buildMessage(h, payload, length);
  std::lock_guard<std::recursive_mutex> lk(s.lock);
  if (!s.control.valid()) return false;
  if (!SendRequest(s, req)) return false;
  return ReceiveReply(s, reply.data(), reply.size(), timeoutSec) == reply.size();
}

}  // namespace

bool SetParam(CamSession& s, uint16_t command, uint16_t argument, const void* payload,
              size_t length, uint16_t expected, int timeoutSec) {
  Message reply{};
  if (!exchange(s, command, argument, payload, length, timeoutSec, reply)) return false;
  return setReplyAccepted(reply.data(), expected);
}

bool GetParam(CamSession& s, uint16_t command, uint16_t argument, void* buffer, size_t length,
              uint16_t expected) {
  if (length > kIpcMsgPayloadSize) return false;
  Message reply{};
  if (!exchange(s, command, argument, buffer, length, kReplyTimeoutSec, reply)) return false;
  if (!getReplyAccepted(reply.data(), expected)) return false;
  if (length > 0) std::memcpy(buffer, reply.data() + kIpcMsgHeaderSize, length);
  return true;
}

}  // namespace corvane
