#pragma once
// The control exchange on a session's control connection: 544-byte request, 544-byte reply,
// under the session lock, which is held across the pair so no thread takes another's reply.
#include <cstddef>
#include <cstdint>

#include "plat/deadline.h"
#include "protocol/channel.h"
#include "protocol/wire.h"

namespace corvane {

struct CamSession;

// The two reply rules. Set: status 0 with any code, or status 1 with the exact code.
// Get: status 0 or 1, and the exact code.
bool setReplyAccepted(const uint8_t* reply, uint16_t expected);
bool getReplyAccepted(const uint8_t* reply, uint16_t expected);

// Drains what is pending (a late reply of an earlier exchange), then sends the message by
// the deadline. False when the connection is closed, broken or the send fails.
bool SendRequest(CamSession& s, const Message& msg, const plat::Deadline& by);
// Reads the 544-byte reply by the deadline; a header that `accepts` refuses ends it at once.
ReplyRead ReceiveReply(CamSession& s, Message& reply, const plat::Deadline& by,
                       const HeaderCheck& accepts);

// Each exchange ends, answered or not, within its reply time counted from when the request is
// sent, however slowly the camera's bytes come. *unanswered (may be null) tells whether the
// request went out and no whole reply came by its deadline (rather than it being refused or
// not sent).
bool SetParam(CamSession& s, uint16_t command, uint16_t argument, const void* payload,
              size_t length, uint16_t expected, int timeoutSec, bool* unanswered = nullptr);
// On success copies `length` bytes of the reply's payload back into the buffer.
bool GetParam(CamSession& s, uint16_t command, uint16_t argument, void* buffer, size_t length,
              uint16_t expected, bool* unanswered = nullptr);

}  // namespace corvane
