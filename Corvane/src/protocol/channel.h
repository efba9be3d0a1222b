#pragma once
// Opening a channel: one TCP connection per kind of traffic, all to the camera's one port,
// each opened by a channel-open request that the camera answers once.
#include <cstdint>

#include "Corvane/protocol.h"
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

// Sends the open request on a connected socket and reads the reply until all 544 bytes have
// arrived or the time-out (seconds of product time) ends. *replyCode gets the reply's code
// when a whole reply came (0 otherwise).
bool handshakeChannel(int fd, uint16_t code, uint16_t argument, const IpcLoginInfo& login,
                      int option, int timeoutSec, uint16_t* replyCode,
                      const plat::WakeFd* wake = nullptr);

// Connects to the login record's address and port and opens the channel; an invalid socket
// when the camera cannot be reached or does not accept (the reply code tells why).
plat::Socket OpenChannel(uint16_t code, uint16_t argument, const IpcLoginInfo& login, int option,
                         int timeoutSec, uint16_t* replyCode,
                         const plat::WakeFd* wake = nullptr);

// Loops of wait and transfer until the whole size is through, a wait expires or a call
// transfers nothing; the result is the byte count achieved. Used by the media and file
// channels.
size_t RecvAll(int fd, void* buffer, size_t size, int timeoutMs,
               const plat::WakeFd* wake = nullptr);
size_t SendAll(int fd, const void* buffer, size_t size, int timeoutMs,
               const plat::WakeFd* wake = nullptr);

}  // namespace corvane
