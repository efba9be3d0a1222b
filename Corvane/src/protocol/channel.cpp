#include "protocol/channel.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>

#include "plat/log.h"

namespace corvane {

Message buildOpenRequest(uint16_t code, uint16_t argument, const IpcLoginInfo& login,
                         int option) {
  MsgHeader h;
  h.code = code;
  h.argument = argument;
  h.length = kIpcOpenPayloadLength;
  h.option = option == kNoOption ? 0 : static_cast<uint16_t>(option);
  Message m = buildMessage(h, nullptr, 0);
  // The login record's fields need not be terminated: copy at most 15 characters.
  auto copyName = [&](size_t offset, const char* field) {
    size_t n = 0;
    while (n < kIpcNameFieldSize - 1 && field[n] != 0) ++n;
    std::memcpy(m.data() + offset, field, n);
  };
  copyName(kIpcOpenUserOffset, login.user);
  copyName(kIpcOpenPasswordOffset, login.password);
  return m;
}

bool openReplyAccepted(const uint8_t* reply, uint16_t* code) {
  MsgHeader h = MsgHeader::read(reply);
  if (code) *code = h.code;
  return h.status == 1 && h.code != kIpcServerFull;
}

ReplyRead RecvReply(int fd, Message& reply, const plat::Deadline& by, const HeaderCheck& accepts,
                    const plat::WakeFd* wake) {
  // A reply split by TCP is read to its end; its header is judged as soon as it is in.
  if (plat::recvAll(fd, reply.data(), kIpcMsgHeaderSize, by, wake) != kIpcMsgHeaderSize)
    return ReplyRead::Short;
  if (accepts && !accepts(reply.data())) return ReplyRead::Refused;
  const size_t rest = reply.size() - kIpcMsgHeaderSize;
  return plat::recvAll(fd, reply.data() + kIpcMsgHeaderSize, rest, by, wake) == rest
             ? ReplyRead::Whole
             : ReplyRead::Short;
}

bool handshakeChannel(int fd, uint16_t code, uint16_t argument, const IpcLoginInfo& login,
                      int option, const plat::Deadline& by, uint16_t* replyCode,
                      const plat::WakeFd* wake) {
  if (replyCode) *replyCode = 0;
  const Message req = buildOpenRequest(code, argument, login, option);
  if (!plat::sendAll(fd, req.data(), req.size(), by, wake)) return false;
  Message reply{};
  const ReplyRead r = RecvReply(
      fd, reply, by, [](const uint8_t* header) { return openReplyAccepted(header, nullptr); },
      wake);
  if (r == ReplyRead::Short) return false;
  // A refusal is told by its header: its code reaches the opener (server full) even when the
  // rest of the message never comes.
  return openReplyAccepted(reply.data(), replyCode);
}

plat::Socket OpenChannel(uint16_t code, uint16_t argument, const IpcLoginInfo& login, int option,
                         int timeoutSec, uint16_t* replyCode, const plat::WakeFd* wake) {
  if (replyCode) *replyCode = 0;
  in_addr a{};
  a.s_addr = htonl(login.address);
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &a, text, sizeof text);
  int err = 0;
  plat::Socket s = plat::connectTcp(text, login.port, kConnectTimeoutMs, &err, wake);
  if (!s.valid()) {
    PLAT_LOGD("corvane", "channel %04x: connect to %s:%u failed (%d)", code, text, login.port,
              err);
    return s;
  }
  if (code == kIpcChanVideo) {
    int size = kVideoReceiveBuffer;
    setsockopt(s.fd(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  }
  // The reply time counts from the request: the connect had its own.
  const plat::Deadline by = plat::Deadline::after(timeoutSec * 1000);
  if (!handshakeChannel(s.fd(), code, argument, login, option, by, replyCode, wake)) {
    PLAT_LOGD("corvane", "channel %04x refused (reply code %04x)", code,
              replyCode ? *replyCode : 0);
    return plat::Socket();
  }
  return s;
}

size_t RecvAll(int fd, void* buffer, size_t size, int timeoutMs, const plat::WakeFd* wake) {
  return plat::recvAll(fd, buffer, size, timeoutMs, wake);
}

size_t SendAll(int fd, const void* buffer, size_t size, int timeoutMs,
               const plat::WakeFd* wake) {
  const auto* p = static_cast<const uint8_t*>(buffer);
  size_t sent = 0;
  while (sent < size) {
    if (plat::waitWritable(fd, timeoutMs, wake) != plat::WaitResult::Ready) break;
    ssize_t n = ::send(fd, p + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  return sent;
}

size_t RecvAll(int fd, void* buffer, size_t size, const plat::Deadline& by,
               const plat::WakeFd* wake) {
  return plat::recvAll(fd, buffer, size, by, wake);
}

size_t SendAll(int fd, const void* buffer, size_t size, const plat::Deadline& by,
               const plat::WakeFd* wake) {
  return plat::sendAll(fd, buffer, size, by, wake) ? size : 0;
}

}  // namespace corvane
