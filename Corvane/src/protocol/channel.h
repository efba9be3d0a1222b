#pragma once
// Opening a channel: one TCP connection per kind of traffic, all to the camera's one port,
// each opened by a channel-open request that the camera answers once.
#include <cstdint>
#include <functional>

#include "Corvane/protocol.h"
#include "plat/deadline.h"
#include "plat/socket.h"
#include "protocol/wire.h"

namespace corvane {

constexpr int kNoOption = -1;
constexpr int kConnectTimeoutMs = 5000;  // product ms
constexpr int kVideoReceiveBuffer = 307200;

// The 544-byte open request; user name and password are cut to 15 characters.
Message buildOpenRequest(uint16_t code, uint16_t argument, const IpcLoginInfo& login,
                         int option);

// Whether a complete channel-open reply accepts the channel; *code gets its command code.
bool openReplyAccepted(const uint8_t* reply, uint16_t* code);

// How the read of one 544-byte reply ended: all of it came; its header alone already failed
// the exchange (the rest is not waited for); or the deadline, the peer or a wake ended it
// before the message was whole.
enum class ReplyRead { Whole, Refused, Short };
// Reads one 544-byte message by the deadline, however its bytes trickle in. `accepts` judges
// the header (the message's first 12 bytes) as soon as they are in: a reply whose code or
// status already fails the exchange fails it at once.
using HeaderCheck = std::function<bool(const uint8_t* header)>;
ReplyRead RecvReply(int fd, Message& reply, const plat::Deadline& by, const HeaderCheck& accepts,
                    const plat::WakeFd* wake = nullptr);

// Sends the open request on a connected socket and reads the reply, the whole exchange ending
// by the deadline. *replyCode gets the reply's code once its header came (0 otherwise).
bool handshakeChannel(int fd, uint16_t code, uint16_t argument, const IpcLoginInfo& login,
                      int option, const plat::Deadline& by, uint16_t* replyCode,
                      const plat::WakeFd* wake = nullptr);

// Connects to the login record's address and port (the connect has its own time-out) and opens
// the channel, its request and reply within the time-out (seconds of product time) counted
// from when the request is sent; an invalid socket when the camera cannot be reached or does
// not accept (the reply code tells why).
plat::Socket OpenChannel(uint16_t code, uint16_t argument, const IpcLoginInfo& login, int option,
                         int timeoutSec, uint16_t* replyCode,
                         const plat::WakeFd* wake = nullptr);

// Loops of wait and transfer until the whole size is through, a wait expires or a call
// transfers nothing; the result is the byte count achieved (a send by a deadline: all or
// nothing). Media data (frames, audio and talk packets) wait up to timeoutMs for each
// arrival; requests and their replies pass a deadline for the whole transfer.
size_t RecvAll(int fd, void* buffer, size_t size, int timeoutMs,
               const plat::WakeFd* wake = nullptr);
size_t SendAll(int fd, const void* buffer, size_t size, int timeoutMs,
               const plat::WakeFd* wake = nullptr);
size_t RecvAll(int fd, void* buffer, size_t size, const plat::Deadline& by,
               const plat::WakeFd* wake = nullptr);
size_t SendAll(int fd, const void* buffer, size_t size, const plat::Deadline& by,
               const plat::WakeFd* wake = nullptr);

}  // namespace corvane
